#include "ui/terminal/layout.h"

#include <algorithm>
#include <cmath>

namespace terminal {

using framework::ControlKind;
using framework::ControlTemplate;
using framework::DialogTemplate;

namespace {

// The border takes one cell on each side.
constexpr int kFrame = 2;
// Height of the one-line part of a control, in dialog units: a button face,
// an edit field, the field of a combo box.
constexpr int kLineUnits = 14;
constexpr int kComboFieldUnits = 12;
constexpr int kMinimumListRows = 3;

int Round(double value) {
  return static_cast<int>(std::floor(value + 0.5));
}

bool Grows(const DialogTemplate& dialogTemplate) {
  return std::any_of(dialogTemplate.controls.begin(), dialogTemplate.controls.end(),
                     [](const ControlTemplate& c) { return c.kind == ControlKind::ListBox; });
}

bool IsBoxed(const ControlTemplate& control) {
  return control.kind == ControlKind::ListBox || control.kind == ControlKind::GroupBox;
}

// Controls drawn on one line sit on the line that holds their middle.
int LineUnits(const ControlTemplate& control) {
  if (control.kind == ControlKind::ComboBox)
    return kComboFieldUnits;
  return std::min(control.rect.height, kLineUnits);
}

}  // namespace

WindowShape ShapeWindow(const DialogTemplate& dialogTemplate, CellSize screen) {
  const int naturalCols = (dialogTemplate.width + kUnitsPerColumn - 1) / kUnitsPerColumn;
  const int naturalRows = (dialogTemplate.height + kUnitsPerRow - 1) / kUnitsPerRow;
  const int roomCols = std::max(1, screen.cols - kFrame);
  const int roomRows = std::max(1, screen.rows - kFrame);
  const double sx = naturalCols > roomCols ? double(roomCols) / naturalCols : 1.0;
  const double sy = naturalRows > roomRows ? double(roomRows) / naturalRows : 1.0;
  const bool grows = Grows(dialogTemplate);

  WindowShape shape;
  int clientCols = grows ? roomCols : std::min(roomCols, Round(naturalCols * sx));
  int clientRows = grows ? roomRows : std::min(roomRows, Round(naturalRows * sy));
  shape.width = clientCols + kFrame;
  shape.height = clientRows + kFrame;

  auto col = [&](int units) { return Round(units * sx / kUnitsPerColumn); };
  auto row = [&](int units) { return Round(units * sy / kUnitsPerRow); };
  for (const ControlTemplate& control : dialogTemplate.controls) {
    const framework::DialogRect& r = control.rect;
    CellRect cells;
    cells.col = col(r.x);
    cells.width = std::max(1, col(r.x + r.width) - cells.col);
    if (IsBoxed(control)) {
      cells.row = row(r.y);
      cells.height = std::max(kMinimumListRows, row(r.y + r.height) - cells.row);
      if (grows && control.kind == ControlKind::ListBox) {
        int rightMargin = col(dialogTemplate.width - r.x - r.width);
        int bottomMargin = row(dialogTemplate.height - r.y - r.height);
        cells.width = std::max(cells.width, clientCols - rightMargin - cells.col);
        cells.height = std::max(cells.height,
                                std::max(kMinimumListRows, clientRows - bottomMargin - cells.row));
      }
    } else if (control.kind == ControlKind::Static && row(r.height) > 1) {
      cells.row = row(r.y);
      cells.height = row(r.y + r.height) - cells.row;
    } else {
      cells.row =
          static_cast<int>(std::floor((r.y + LineUnits(control) / 2.0) * sy / kUnitsPerRow));
      cells.height = 1;
    }
    shape.controls.push_back(cells);
  }
  return shape;
}

std::vector<CellRect> PlaceWindows(const std::vector<CellSize>& sizes, CellSize screen) {
  std::vector<CellRect> places;
  const int count = static_cast<int>(sizes.size());
  int totalCols = -1;
  int totalRows = -1;
  int widest = 0;
  int tallest = 0;
  for (const CellSize& size : sizes) {
    totalCols += size.cols + 1;
    totalRows += size.rows + 1;
    widest = std::max(widest, size.cols);
    tallest = std::max(tallest, size.rows);
  }
  auto centred = [](int room, int size) { return std::max(0, (room - size) / 2); };
  if (count > 1 && totalCols <= screen.cols && tallest <= screen.rows) {
    int left = centred(screen.cols, totalCols);
    int top = centred(screen.rows, tallest);
    for (const CellSize& size : sizes) {
      places.push_back({top, left, size.rows, size.cols});
      left += size.cols + 1;
    }
  } else if (count > 1 && totalRows <= screen.rows && widest <= screen.cols) {
    int top = centred(screen.rows, totalRows);
    for (const CellSize& size : sizes) {
      places.push_back({top, centred(screen.cols, size.cols), size.rows, size.cols});
      top += size.rows + 1;
    }
  } else {
    for (int i = 0; i < count; ++i) {
      const CellSize& size = sizes[static_cast<std::size_t>(i)];
      int top = count > 1 ? std::max(0, i * (screen.rows - size.rows) / (count - 1))
                          : centred(screen.rows, size.rows);
      int left = count > 1 ? std::max(0, i * (screen.cols - size.cols) / (count - 1))
                           : centred(screen.cols, size.cols);
      places.push_back({top, left, size.rows, size.cols});
    }
  }
  return places;
}

}  // namespace terminal
