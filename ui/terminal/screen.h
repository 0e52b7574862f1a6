#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/terminal/display_text.h"
#include "ui/terminal/layout.h"

// Everything the backend writes to the terminal goes through here: setting the
// terminal up and restoring it on every way out, and drawing text that has
// passed through the sanitizer of display_text.h.
namespace terminal::screen {

// How a piece of the screen looks; mapped to colours where the terminal has them.
enum class Style {
  Normal,
  Frame,
  ActiveFrame,
  ActiveCaption,
  Disabled,
  Focused,
  Field,
  FocusedField,
  Selection,
  InactiveSelection,
  Escape,
};

// Takes the terminal over (alternate screen, no echo, keypad, mouse) and
// installs the handlers that restore it when a signal ends the process. On
// failure it leaves the terminal as it was and says why.
bool Open(std::string& whyNot);
// Gives the terminal back as it was found. Safe to call twice.
void Close();
bool IsOpen();

// Hands the terminal to a program run in the foreground, and takes it back.
void Suspend();
void Resume();

CellSize Size();
// Blanks the whole screen before a redraw; the terminal is updated by Show only.
void Clear();
// Makes the next Show repaint every cell, as after a resize or a program run.
void Invalidate();
void Show();

// Blanks `width` cells.
void Fill(int row, int col, int width, Style style);
// Draws cells clipped to [col, col + width), starting `skip` columns into them.
// A wide character cut by an edge is drawn as a blank.
void Cells(int row, int col, int width, const std::vector<Cell>& cells, Style style, int skip = 0);
// Untrusted text, sanitized; returns the columns drawn.
int Text(int row, int col, int width, std::string_view text, Style style);
// A caption with its access key underlined.
void Caption(int row, int col, int width, const Mnemonic& caption, Style style);
// A line-drawing box around `rect` (the rectangle includes the lines).
void Box(const CellRect& rect, Style style);
void HorizontalLine(int row, int col, int width, Style style);
void VerticalLine(int row, int col, int height, Style style);
// One cell of a scroll bar: the thumb or the track.
void ScrollMark(int row, int col, bool thumb, Style style);

void PlaceCursor(int row, int col);
void HideCursor();

}  // namespace terminal::screen
