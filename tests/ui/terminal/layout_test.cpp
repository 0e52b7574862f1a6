#include "ui/terminal/layout.h"

#include <gtest/gtest.h>

#include "framework/window.h"
#include "res/resource.h"
#include "res/templates.h"

namespace terminal {
namespace {

using framework::ControlKind;
using framework::DialogTemplate;

int IndexOf(const DialogTemplate& dialog, int id) {
  for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
    if (dialog.controls[i].id == id)
      return static_cast<int>(i);
  }
  return -1;
}

void ExpectInside(const DialogTemplate& dialog, const WindowShape& shape) {
  ASSERT_EQ(shape.controls.size(), dialog.controls.size());
  for (std::size_t i = 0; i < shape.controls.size(); ++i) {
    const CellRect& r = shape.controls[i];
    EXPECT_GE(r.row, 0) << "control " << i;
    EXPECT_GE(r.col, 0) << "control " << i;
    EXPECT_LE(r.Bottom(), shape.height - 2) << "control " << i;
    EXPECT_LE(r.col, shape.width - 2) << "control " << i;
  }
}

TEST(LayoutTest, CriteriaDialogKeepsFourByEightUnitsPerCellWhereItFits) {
  const DialogTemplate& dialog = res::FindFilesTemplate();
  WindowShape shape = ShapeWindow(dialog, {24, 80});
  EXPECT_EQ(shape.width, 53 + 2);   // 211 units, rounded up, and the border
  EXPECT_EQ(shape.height, 16 + 2);  // 123 units
  ExpectInside(dialog, shape);
  const CellRect& combo = shape.controls[IndexOf(dialog, res::IDC_START_DIRECTORY)];
  EXPECT_EQ(combo.col, 25 / 4);
  EXPECT_EQ(combo.height, 1) << "a combo box shows its field; its list drops down";
  const CellRect& pattern = shape.controls[IndexOf(dialog, res::IDC_FILENAME_PATTERN)];
  const CellRect& search = shape.controls[IndexOf(dialog, res::IDC_SEARCH)];
  const CellRect& cancel = shape.controls[IndexOf(dialog, framework::IDCANCEL)];
  EXPECT_LT(search.row, cancel.row);
  EXPECT_GT(pattern.row, combo.row);
}

TEST(LayoutTest, DialogsScaleDownToFitASmallTerminal) {
  for (const DialogTemplate* dialog : {&res::FindFilesTemplate(), &res::SupportInfoTemplate()}) {
    WindowShape shape = ShapeWindow(*dialog, {12, 40});
    EXPECT_LE(shape.width, 40);
    EXPECT_LE(shape.height, 12);
    ExpectInside(*dialog, shape);
  }
}

TEST(LayoutTest, ResultsWindowFillsTheTerminalAndItsListTakesTheRoom) {
  const DialogTemplate& dialog = res::ListFilesTemplate();
  const int list = IndexOf(dialog, res::IDC_RESULTS_LIST);
  struct Case {
    CellSize screen;
    int minimumListRows;
  } cases[] = {{{24, 80}, 12}, {{60, 200}, 45}};
  for (const Case& c : cases) {
    WindowShape shape = ShapeWindow(dialog, c.screen);
    EXPECT_EQ(shape.width, c.screen.cols);
    EXPECT_EQ(shape.height, c.screen.rows);
    ExpectInside(dialog, shape);
    const CellRect& box = shape.controls[static_cast<std::size_t>(list)];
    EXPECT_GE(box.height, c.minimumListRows) << c.screen.cols << "x" << c.screen.rows;
    EXPECT_GE(box.Right(), shape.width - 2 - 4) << "the list reaches across";
    for (std::size_t i = 0; i < shape.controls.size(); ++i) {
      if (static_cast<int>(i) != list) {
        EXPECT_LT(shape.controls[i].row, box.row) << "control " << i << " above the list";
      }
    }
  }
}

TEST(LayoutTest, WindowsGoSideBySideWhenTheyFitElseSpreadOverTheScreen) {
  const CellSize criteria{18, 55};
  const CellSize support{14, 47};
  std::vector<CellRect> wide = PlaceWindows({criteria, support}, {30, 120});
  ASSERT_EQ(wide.size(), 2u);
  EXPECT_EQ(wide[0].row, wide[1].row);
  EXPECT_GT(wide[1].col, wide[0].Right() - 1);
  EXPECT_LE(wide[1].Right(), 120);

  std::vector<CellRect> narrow = PlaceWindows({criteria, support}, {24, 80});
  ASSERT_EQ(narrow.size(), 2u);
  EXPECT_EQ(narrow[0].row, 0);
  EXPECT_EQ(narrow[0].col, 0);
  EXPECT_EQ(narrow[1].Bottom(), 24);
  EXPECT_EQ(narrow[1].Right(), 80);

  std::vector<CellRect> alone = PlaceWindows({criteria}, {24, 80});
  ASSERT_EQ(alone.size(), 1u);
  EXPECT_EQ(alone[0].col, (80 - 55) / 2);
  EXPECT_EQ(alone[0].row, (24 - 18) / 2);
}

}  // namespace
}  // namespace terminal
