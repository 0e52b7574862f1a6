#pragma once

#include <cstdint>

// Reading the keyboard and the mouse: every terminal key code is turned into
// one of the named keys below here, so nothing else sees curses' codes.
namespace terminal::keys {

enum class Key {
  None,  // nothing arrived in time
  Char,  // a character, in `ch`
  Enter,
  Escape,
  Tab,
  BackTab,
  Backspace,
  Delete,
  Left,
  Right,
  Up,
  Down,
  Home,
  End,
  PageUp,
  PageDown,
  OpenList,    // F4 or Alt+Down: open a combo box's list
  NextWindow,  // F6 or Ctrl+W: make the next shown window active
  Redraw,      // Ctrl+L
  Resize,
  Mouse,
};

enum class MouseAction { Press, DoublePress, WheelUp, WheelDown };

struct InputEvent {
  Key key = Key::None;
  char32_t ch = 0;
  // Alt (or Esc) was held with the key: Alt+S arrives as Key::Char 's', alt.
  bool alt = false;
  MouseAction mouse = MouseAction::Press;
  int row = 0;
  int col = 0;
};

// Two presses on one cell this close together make a double press.
constexpr std::int64_t kDoublePressMs = 400;

// Waits at most timeoutMs (forever when negative) for one event.
InputEvent Read(int timeoutMs);

}  // namespace terminal::keys
