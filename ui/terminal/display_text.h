#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace terminal {

// One terminal cell of text that is safe to print: a printable character (with
// any combining marks after it), or one character of a visible escape such as
// "^[" or "\x9b". Width is 1, or 2 for a wide character.
struct Cell {
  std::string text;
  int width = 1;
  // Part of a visible escape or a replacement mark; drawn so it stands out.
  bool escaped = false;
};

// How a TAB is shown: as the escape "^I", or as blanks up to the next stop.
enum class Tabs { Escape, Expand };
constexpr int kTabStopColumns = 8;

// Turns untrusted bytes into cells. Nothing that a terminal would act on
// survives: control characters (C0, DEL, C1) become visible escapes, invalid
// UTF-8 becomes U+FFFD one byte at a time, and characters the locale cannot
// print become "\u{...}" escapes. With Tabs::Expand a TAB becomes blanks up to
// the next multiple of kTabStopColumns, counted from the start of the text.
// With a column limit, conversion stops once the cells reach that width, so a
// huge line costs only what is shown of it.
std::vector<Cell> ToCells(std::string_view bytes, Tabs tabs = Tabs::Escape, int columnLimit = -1);

// Appends the UTF-8 encoding of a code point; values past U+10FFFF add nothing.
void AppendUtf8(std::string& out, char32_t cp);

// The cells joined back into one printable string, for tests and plain output.
std::string JoinCells(const std::vector<Cell>& cells);

// Total width in terminal columns.
int CellsWidth(const std::vector<Cell>& cells);

// A caption with "&" marking its access key: the text to show ("&&" is one
// "&") and the index into that text of the marked character, or -1.
struct Mnemonic {
  std::string text;
  int markedIndex = -1;
  // The marked character in lower case, or 0.
  char key = 0;
};
Mnemonic ParseMnemonic(std::string_view caption);

}  // namespace terminal
