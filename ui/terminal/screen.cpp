#include "ui/terminal/screen.h"

#include <curses.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace terminal::screen {

namespace {

// What the signal handlers need, prepared while it is safe to allocate: the
// terminal modes found at start and the bytes that undo our screen modes.
struct RestoreState {
  termios modes{};
  bool haveModes = false;
  char sequence[512] = {};
  std::size_t length = 0;
};
RestoreState restore;
volatile sig_atomic_t takenOver = 0;
SCREEN* theScreen = nullptr;
bool colours = false;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV,
                            SIGBUS, SIGFPE,  SIGILL, SIGABRT, SIGPIPE};
struct sigaction previousActions[sizeof(kSignals) / sizeof(kSignals[0])];
bool handlersInstalled = false;

// Mouse reporting modes a terminal with a mouse may have been put in.
constexpr char kMouseOff[] = "\033[?1006l\033[?1002l\033[?1000l";
constexpr mmask_t kMouseEvents = BUTTON1_PRESSED | BUTTON4_PRESSED | BUTTON5_PRESSED;

void WriteAll(const char* bytes, std::size_t length) {
  while (length > 0) {
    ssize_t written = ::write(STDOUT_FILENO, bytes, length);
    if (written <= 0)
      return;
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
}

// Only async-signal-safe calls: write, tcsetattr, sigaction, raise.
void OnFatalSignal(int signalNumber) {
  if (takenOver) {
    takenOver = 0;
    WriteAll(restore.sequence, restore.length);
    if (restore.haveModes)
      ::tcsetattr(STDIN_FILENO, TCSANOW, &restore.modes);
  }
  for (std::size_t i = 0; i < sizeof(kSignals) / sizeof(kSignals[0]); ++i) {
    if (kSignals[i] == signalNumber)
      ::sigaction(signalNumber, &previousActions[i], nullptr);
  }
  ::raise(signalNumber);
}

void InstallHandlers() {
  if (handlersInstalled)
    return;
  handlersInstalled = true;
  struct sigaction action = {};
  action.sa_handler = OnFatalSignal;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < sizeof(kSignals) / sizeof(kSignals[0]); ++i) {
    ::sigaction(kSignals[i], nullptr, &previousActions[i]);
    // A signal the caller chose to ignore (nohup) stays ignored.
    if (previousActions[i].sa_handler == SIG_IGN)
      continue;
    ::sigaction(kSignals[i], &action, nullptr);
  }
}

void AppendCapability(const char* name) {
  char* value = tigetstr(name);
  if (value == nullptr || value == reinterpret_cast<char*>(-1))
    return;
  std::size_t length = std::strlen(value);
  if (restore.length + length >= sizeof(restore.sequence))
    return;
  std::memcpy(restore.sequence + restore.length, value, length);
  restore.length += length;
}

void PrepareRestoreSequence() {
  restore.length = 0;
  char* mouseKey = tigetstr("kmous");
  if (mouseKey != nullptr && mouseKey != reinterpret_cast<char*>(-1)) {
    std::memcpy(restore.sequence, kMouseOff, sizeof(kMouseOff) - 1);
    restore.length = sizeof(kMouseOff) - 1;
  }
  AppendCapability("sgr0");
  AppendCapability("cnorm");
  AppendCapability("rmkx");
  AppendCapability("rmcup");
}

void AtExit() {
  Close();
}

enum Pair : short { kFramePair = 1, kFieldPair, kEscapePair, kDisabledPair, kCaptionPair };

attr_t Attributes(Style style) {
  switch (style) {
    case Style::Normal:
      return A_NORMAL;
    case Style::Frame:
      return colours ? COLOR_PAIR(kFramePair) : A_NORMAL;
    case Style::ActiveFrame:
      return A_BOLD;
    case Style::ActiveCaption:
      return colours ? (COLOR_PAIR(kCaptionPair) | A_BOLD) : A_REVERSE;
    case Style::Disabled:
      return colours ? COLOR_PAIR(kDisabledPair) : A_DIM;
    case Style::Focused:
      return A_REVERSE;
    case Style::Field:
      return colours ? COLOR_PAIR(kFieldPair) : A_UNDERLINE;
    case Style::FocusedField:
      return colours ? (COLOR_PAIR(kFieldPair) | A_BOLD) : (A_UNDERLINE | A_BOLD);
    case Style::Selection:
      return A_REVERSE;
    case Style::InactiveSelection:
      return A_REVERSE | A_DIM;
    case Style::Escape:
      return colours ? (COLOR_PAIR(kEscapePair) | A_BOLD) : A_BOLD;
  }
  return A_NORMAL;
}

void SetStyle(Style style) {
  attrset(Attributes(style));
}

bool Inside(int row, int col) {
  return row >= 0 && col >= 0 && row < LINES && col < COLS;
}

void PutCell(int row, int col, const char* utf8) {
  if (Inside(row, col))
    mvaddstr(row, col, utf8);
}

void PutLine(int row, int col, chtype glyph) {
  if (Inside(row, col))
    mvaddch(row, col, glyph);
}

}  // namespace

bool Open(std::string& whyNot) {
  if (theScreen)
    return true;
  if (!::isatty(STDIN_FILENO) || !::isatty(STDOUT_FILENO)) {
    whyNot = "standard input and output must be a terminal";
    return false;
  }
  restore.haveModes = ::tcgetattr(STDIN_FILENO, &restore.modes) == 0;
  const char* type = std::getenv("TERM");
  if (type == nullptr || *type == '\0') {
    whyNot = "TERM is not set, so the terminal's type is unknown";
    return false;
  }
  // Handlers first: curses then sees them and installs none of its own for
  // these signals. They restore nothing until the screen is taken over.
  InstallHandlers();
  theScreen = newterm(nullptr, stdout, stdin);
  if (theScreen == nullptr) {
    whyNot = "cannot use the terminal of type \"" + std::string(type) + "\"";
    return false;
  }
  set_term(theScreen);
  PrepareRestoreSequence();
  takenOver = 1;
  static bool exitHookSet = false;
  if (!exitHookSet) {
    exitHookSet = true;
    std::atexit(AtExit);
  }
  cbreak();  // Ctrl+C still interrupts, and the handler restores the terminal
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  set_escdelay(25);
  mousemask(kMouseEvents, nullptr);
  mouseinterval(0);
  if (has_colors() && start_color() == OK) {
    use_default_colors();
    colours = true;
    init_pair(kFramePair, COLOR_CYAN, -1);
    init_pair(kFieldPair, COLOR_BLACK, COLOR_CYAN);
    init_pair(kEscapePair, COLOR_RED, -1);
    init_pair(kDisabledPair, COLORS >= 16 ? 8 : COLOR_BLUE, -1);
    init_pair(kCaptionPair, COLOR_WHITE, COLOR_BLUE);
  }
  curs_set(0);
  return true;
}

void Close() {
  if (!theScreen)
    return;
  takenOver = 0;
  endwin();
  WriteAll(kMouseOff, sizeof(kMouseOff) - 1);
  delscreen(theScreen);
  theScreen = nullptr;
  if (restore.haveModes)
    ::tcsetattr(STDIN_FILENO, TCSANOW, &restore.modes);
}

bool IsOpen() {
  return theScreen != nullptr;
}

void Suspend() {
  if (!theScreen)
    return;
  def_prog_mode();
  endwin();
  takenOver = 0;
  std::fflush(stdout);
}

void Resume() {
  if (!theScreen)
    return;
  reset_prog_mode();
  takenOver = 1;
  keypad(stdscr, TRUE);
  mousemask(kMouseEvents, nullptr);
  Invalidate();
}

CellSize Size() {
  return {LINES, COLS};
}

void Clear() {
  attrset(A_NORMAL);
  erase();
}

void Invalidate() {
  clearok(curscr, TRUE);
}

void Show() {
  refresh();
}

void Fill(int row, int col, int width, Style style) {
  SetStyle(style);
  for (int i = 0; i < width; ++i)
    PutCell(row, col + i, " ");
}

void Cells(int row, int col, int width, const std::vector<Cell>& cells, Style style, int skip) {
  int x = 0;  // column within the text
  for (const Cell& cell : cells) {
    if (x >= skip + width)
      break;
    int start = x - skip;
    x += cell.width;
    if (x <= skip)
      continue;
    SetStyle(cell.escaped ? Style::Escape : style);
    if (start < 0 || start + cell.width > width) {
      // Cut by an edge: blanks keep the columns right.
      for (int k = std::max(0, start); k < std::min(width, start + cell.width); ++k)
        PutCell(row, col + k, " ");
    } else if (Inside(row, col + start) && col + start + cell.width <= COLS) {
      PutCell(row, col + start, cell.text.c_str());
    }
  }
  SetStyle(Style::Normal);
}

int Text(int row, int col, int width, std::string_view text, Style style) {
  std::vector<Cell> cells = ToCells(text);
  Cells(row, col, width, cells, style);
  return std::min(width, CellsWidth(cells));
}

void Caption(int row, int col, int width, const Mnemonic& caption, Style style) {
  std::vector<Cell> cells = ToCells(caption.text);
  Cells(row, col, width, cells, style);
  if (caption.markedIndex < 0)
    return;
  std::vector<Cell> before = ToCells(
      std::string_view(caption.text).substr(0, static_cast<std::size_t>(caption.markedIndex)));
  std::vector<Cell> marked = ToCells(
      std::string_view(caption.text).substr(static_cast<std::size_t>(caption.markedIndex), 1));
  int at = CellsWidth(before);
  if (at < width && !marked.empty()) {
    attrset(Attributes(style) | A_UNDERLINE);
    PutCell(row, col + at, marked.front().text.c_str());
    SetStyle(Style::Normal);
  }
}

void Box(const CellRect& rect, Style style) {
  if (rect.width < 2 || rect.height < 2)
    return;
  SetStyle(style);
  int top = rect.row;
  int bottom = rect.Bottom() - 1;
  int left = rect.col;
  int right = rect.Right() - 1;
  PutLine(top, left, ACS_ULCORNER);
  PutLine(top, right, ACS_URCORNER);
  PutLine(bottom, left, ACS_LLCORNER);
  PutLine(bottom, right, ACS_LRCORNER);
  for (int c = left + 1; c < right; ++c) {
    PutLine(top, c, ACS_HLINE);
    PutLine(bottom, c, ACS_HLINE);
  }
  for (int r = top + 1; r < bottom; ++r) {
    PutLine(r, left, ACS_VLINE);
    PutLine(r, right, ACS_VLINE);
  }
  SetStyle(Style::Normal);
}

void HorizontalLine(int row, int col, int width, Style style) {
  SetStyle(style);
  for (int c = col; c < col + width; ++c)
    PutLine(row, c, ACS_HLINE);
  SetStyle(Style::Normal);
}

void VerticalLine(int row, int col, int height, Style style) {
  SetStyle(style);
  for (int r = row; r < row + height; ++r)
    PutLine(r, col, ACS_VLINE);
  SetStyle(Style::Normal);
}

void ScrollMark(int row, int col, bool thumb, Style style) {
  SetStyle(style);
  PutLine(row, col, thumb ? ACS_CKBOARD : ACS_VLINE);
  SetStyle(Style::Normal);
}

void PlaceCursor(int row, int col) {
  if (!Inside(row, col))
    return HideCursor();
  move(row, col);
  curs_set(1);
}

void HideCursor() {
  curs_set(0);
}

}  // namespace terminal::screen
