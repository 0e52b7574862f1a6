#pragma once

#include <vector>

#include "framework/dialog_template.h"

namespace terminal {

// A rectangle of terminal cells.
struct CellRect {
  int row = 0;
  int col = 0;
  int height = 0;
  int width = 0;

  int Bottom() const { return row + height; }
  int Right() const { return col + width; }
  bool Contains(int r, int c) const { return r >= row && r < Bottom() && c >= col && c < Right(); }
};

struct CellSize {
  int rows = 0;
  int cols = 0;
};

// One horizontal dialog unit is a quarter of a cell, one vertical unit an eighth.
constexpr int kUnitsPerColumn = 4;
constexpr int kUnitsPerRow = 8;

// A window laid out in cells: the size of its frame (border included) and the
// rectangle of each control in template order, relative to the top left
// inside the border.
struct WindowShape {
  int height = 0;
  int width = 0;
  std::vector<CellRect> controls;
};

// Lays a template out at 4 by 8 dialog units per cell, scaled down where it
// does not fit `screen`. A window with a list box fills the whole screen and
// the list box takes the extra room, so it shows as many lines as fit.
WindowShape ShapeWindow(const framework::DialogTemplate& dialogTemplate, CellSize screen);

// Where the windows of these sizes go, in order: side by side when they fit,
// else one above the other, else spread from the top left corner to the
// bottom right one, overlapping.
std::vector<CellRect> PlaceWindows(const std::vector<CellSize>& sizes, CellSize screen);

}  // namespace terminal
