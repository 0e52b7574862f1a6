#include "ui/terminal/keys.h"

#include <curses.h>

#include <chrono>

namespace terminal::keys {

namespace {

constexpr wint_t kEscape = 27;
constexpr wint_t kCtrlL = 12;
constexpr wint_t kCtrlW = 23;
constexpr wint_t kCtrlH = 8;
constexpr wint_t kDelete = 127;

std::int64_t MonotonicMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct LastPress {
  std::int64_t atMs = -kDoublePressMs * 2;
  int row = -1;
  int col = -1;
};
LastPress lastPress;

// The code curses gives Alt+Down where the terminal description names one.
int AltDownCode() {
  static const int code = [] {
    int defined = key_defined("\033[1;3B");
    return defined > 0 ? defined : -1;
  }();
  return code;
}

InputEvent FromMouse() {
  InputEvent event;
  MEVENT mouse;
  if (getmouse(&mouse) != OK)
    return event;
  event.key = Key::Mouse;
  event.row = mouse.y;
  event.col = mouse.x;
  if (mouse.bstate & BUTTON4_PRESSED) {
    event.mouse = MouseAction::WheelUp;
  } else if (mouse.bstate & BUTTON5_PRESSED) {
    event.mouse = MouseAction::WheelDown;
  } else if (mouse.bstate & BUTTON1_PRESSED) {
    std::int64_t now = MonotonicMs();
    bool twice = now - lastPress.atMs <= kDoublePressMs && lastPress.row == mouse.y &&
                 lastPress.col == mouse.x;
    event.mouse = twice ? MouseAction::DoublePress : MouseAction::Press;
    // A third press starts over rather than making another double press.
    lastPress = twice ? LastPress{} : LastPress{now, mouse.y, mouse.x};
  } else {
    event.key = Key::None;
  }
  return event;
}

InputEvent FromFunctionKey(wint_t code) {
  InputEvent event;
  switch (code) {
    case KEY_ENTER:
      event.key = Key::Enter;
      break;
    case KEY_BTAB:
      event.key = Key::BackTab;
      break;
    case KEY_BACKSPACE:
      event.key = Key::Backspace;
      break;
    case KEY_DC:
      event.key = Key::Delete;
      break;
    case KEY_LEFT:
      event.key = Key::Left;
      break;
    case KEY_RIGHT:
      event.key = Key::Right;
      break;
    case KEY_UP:
      event.key = Key::Up;
      break;
    case KEY_DOWN:
      event.key = Key::Down;
      break;
    case KEY_HOME:
      event.key = Key::Home;
      break;
    case KEY_END:
      event.key = Key::End;
      break;
    case KEY_PPAGE:
      event.key = Key::PageUp;
      break;
    case KEY_NPAGE:
      event.key = Key::PageDown;
      break;
    case KEY_RESIZE:
      event.key = Key::Resize;
      break;
    case KEY_MOUSE:
      return FromMouse();
    default:
      if (code == static_cast<wint_t>(KEY_F(4)) ||
          (AltDownCode() > 0 && code == static_cast<wint_t>(AltDownCode()))) {
        event.key = Key::OpenList;
      } else if (code == static_cast<wint_t>(KEY_F(6))) {
        event.key = Key::NextWindow;
      }
      break;
  }
  return event;
}

InputEvent FromCharacter(wint_t ch) {
  InputEvent event;
  switch (ch) {
    case '\r':
    case '\n':
      event.key = Key::Enter;
      break;
    case '\t':
      event.key = Key::Tab;
      break;
    case kEscape:
      event.key = Key::Escape;
      break;
    case kDelete:
    case kCtrlH:
      event.key = Key::Backspace;
      break;
    case kCtrlW:
      event.key = Key::NextWindow;
      break;
    case kCtrlL:
      event.key = Key::Redraw;
      break;
    default:
      if (ch >= 0x20) {
        event.key = Key::Char;
        event.ch = static_cast<char32_t>(ch);
      }
      break;
  }
  return event;
}

}  // namespace

InputEvent Read(int timeoutMs) {
  timeout(timeoutMs < 0 ? -1 : timeoutMs);
  wint_t ch = 0;
  int kind = get_wch(&ch);
  if (kind == ERR)
    return {};
  if (kind == KEY_CODE_YES)
    return FromFunctionKey(ch);
  if (ch != kEscape)
    return FromCharacter(ch);
  // Esc alone, or the first byte of Alt with a key: what follows at once decides.
  timeout(0);
  wint_t next = 0;
  int nextKind = get_wch(&next);
  if (nextKind == ERR)
    return FromCharacter(kEscape);
  InputEvent event = nextKind == KEY_CODE_YES ? FromFunctionKey(next) : FromCharacter(next);
  if (nextKind == KEY_CODE_YES && event.key == Key::Down) {
    event.key = Key::OpenList;
  } else if (event.key == Key::Escape) {
    return event;  // Esc Esc is one Esc
  } else {
    event.alt = true;
  }
  return event;
}

}  // namespace terminal::keys
