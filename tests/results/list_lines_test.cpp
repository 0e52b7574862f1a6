#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "framework/window.h"
#include "res/resource.h"
#include "res/templates.h"
#include "results/list_dialog.h"

namespace {

// A results list outside any dialog, filled at explicit indexes.
class ResultsListTest : public ::testing::Test {
 protected:
  ResultsListTest()
      : window_(framework::WindowKind::Dialog, res::ListFilesTemplate(), nullptr),
        list_(*dynamic_cast<framework::ListBox*>(window_.Find(res::IDC_RESULTS_LIST))) {}

  void Fill(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
      list_.InsertString(-1, line);
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < list_.GetCount(); ++i)
      lines.push_back(list_.GetText(i));
    return lines;
  }

  CListDialog dialog_{"/d", "*.c", "needle", 1, 0};
  framework::Window window_;
  framework::ListBox& list_;
};

TEST_F(ResultsListTest, ClassifiesEveryKindOfLine) {
  const struct {
    std::string text;
    bool file, content, match, before, after;
  } cases[] = {
      {"+ /d/a.c", true, false, false, false, false},
      {"- /d/a.c", true, false, false, false, false},
      {"/d/a.c", false, false, false, false, false},
      {"     . 12 text", false, true, true, false, false},
      {"     ; 3 x", false, true, false, true, false},
      {"     : 4 ", false, true, false, false, true},
      {"     x", false, true, false, false, false},
      {"     ", false, true, false, false, false},
      // A marker at the sixth column of a file line's path is no content line.
      {"- ./a.c", true, false, false, false, false},
      {"+ ./a:b.c", true, false, false, false, false},
      {"- ./a;b.c", true, false, false, false, false},
      {"    . 1 four spaces", false, false, false, false, false},
      {"+", false, false, false, false, false},
      {"", false, false, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("'" + c.text + "'");
    EXPECT_EQ(dialog_.IsFileLine(c.text), c.file);
    EXPECT_EQ(dialog_.IsContentLine(c.text), c.content);
    EXPECT_EQ(dialog_.IsMatchLine(c.text), c.match);
    EXPECT_EQ(dialog_.IsBeforeLine(c.text), c.before);
    EXPECT_EQ(dialog_.IsAfterLine(c.text), c.after);
  }
}

TEST_F(ResultsListTest, ReadsLineNumbersAsAtoiWithoutOverflow) {
  const struct {
    std::string text;
    int number;
  } cases[] = {
      {"     . 9 a", 9},
      {"     . 10 a", 10},
      {"     : 12345 x 67", 12345},
      {"     ; 7", 7},
      {"     . ", 0},
      {"     .", 0},
      {"     . x12", 0},
      {"     . \t 42x", 42},
      {"     . -7 a", -7},
      {"     . +7 a", 7},
      {"     . 2147483647", INT_MAX},
      {"     . -2147483648", INT_MIN},
      {"     . 2147483648", INT_MAX},
      {"     . 99999999999999999999999 a", INT_MAX},
      {"     . -99999999999999999999999 a", INT_MIN},
      {"+ /tmp/x", 0},
      {"+ /d/a/12", 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("'" + c.text + "'");
    EXPECT_EQ(CListDialog::LineNumberOf(c.text), c.number);
  }
}

TEST_F(ResultsListTest, TakesThePathOfEveryFileKind) {
  EXPECT_EQ(dialog_.PathOfFileLine("+ /d/a b.c"), "/d/a b.c");
  EXPECT_EQ(dialog_.PathOfFileLine("- /d/a.c"), "/d/a.c");
  EXPECT_EQ(dialog_.PathOfFileLine("/d/+ a.c"), "/d/+ a.c");
}

// Two expanded files with touching groups, and file lines whose paths hold a
// marker at the sixth column.
const std::vector<std::string> kExpanded = {
    "+ /d/a.c",         // 0
    "- /d/b.c",         // 1
    "     ; 1 x",       // 2
    "     ; 2 x",       // 3
    "     . 3 needle",  // 4
    "     : 4 y",       // 5
    "     : 5 y",       // 6
    "     . 7 needle",  // 7
    "     . 8 needle",  // 8
    "     : 9 z",       // 9
    "- ./a:b.c",        // 10
    "     . 1 needle",  // 11
    "- ./x;y.c",        // 12
    "     . 2 needle",  // 13
    "     : 3 s",       // 14
};

TEST_F(ResultsListTest, FindsTheFileLineOfAnEntry) {
  Fill(kExpanded);
  const std::pair<int, int> cases[] = {{0, 0}, {1, 1},   {2, 1},   {4, 1},   {6, 1},
                                       {9, 1}, {10, 10}, {11, 10}, {12, 12}, {14, 12}};
  for (auto [index, fileLine] : cases) {
    SCOPED_TRACE(index);
    EXPECT_EQ(dialog_.FindFileLine(list_, index), fileLine);
  }
}

TEST_F(ResultsListTest, APlainPathLineIsItsOwnFileLine) {
  Fill({"/d/a.c", "/d/b.c"});
  EXPECT_EQ(dialog_.FindFileLine(list_, 1), 1);
  EXPECT_EQ(dialog_.FindFileLine(list_, 0), 0);
}

TEST_F(ResultsListTest, FindsTheMatchLineOfAGroup) {
  Fill(kExpanded);
  const std::pair<int, int> cases[] = {{2, 4}, {3, 4}, {4, 4},   {5, 4},   {6, 4},
                                       {7, 7}, {9, 8}, {11, 11}, {14, 13}, {0, 0}};
  for (auto [index, matchLine] : cases) {
    SCOPED_TRACE(index);
    EXPECT_EQ(dialog_.FindMatchLine(list_, index), matchLine);
  }
}

TEST_F(ResultsListTest, FindsTheStartOfAGroup) {
  Fill(kExpanded);
  const std::pair<int, int> cases[] = {
      {4, 2},    // two before-context lines above: the upper one
      {3, 2},    // inside the run
      {2, 2},    // top of the run
      {7, 7},    // the line above is an after-context line of the previous group
      {8, 8},    // another match line directly above
      {11, 11},  // directly below its file line
      {13, 13},  // below a file line whose path has ';' at the sixth column
      {5, 6},    // an after-context line gives the entry below it
      {9, 10},   // ... even when that is a file line
      {14, 15},  // ... or lies beyond the end of the list
  };
  for (auto [index, start] : cases) {
    SCOPED_TRACE(index);
    EXPECT_EQ(dialog_.FindGroupStart(list_, index), start);
  }
}

TEST_F(ResultsListTest, FindsTheEndOfAGroup) {
  Fill(kExpanded);
  const std::pair<int, int> cases[] = {
      {4, 6},    // two after-context lines below
      {5, 6},    // the run below an after-context line
      {7, 7},    // the next entry is a match line
      {8, 9},    // stops before a file line whose path has ':' at the sixth column
      {13, 14},  // an after-context line that is the last entry
      {14, 14},  // the last entry itself
      {0, 0},
  };
  for (auto [index, end] : cases) {
    SCOPED_TRACE(index);
    EXPECT_EQ(dialog_.FindGroupEnd(list_, index), end);
  }
}

TEST_F(ResultsListTest, FindsTheEndOfAGroupThatRunsToTheEndOfTheList) {
  Fill({"- /d/a.c", "     . 1 needle", "     : 2 a", "     : 3 b", "     : 4 c"});
  EXPECT_EQ(dialog_.FindGroupEnd(list_, 1), 4);
  EXPECT_EQ(dialog_.FindGroupStart(list_, 1), 1);
}

TEST_F(ResultsListTest, SortedAddsPlaceFileLinesByPathAndNeverInsideAnExpandedFile) {
  list_.SetSortKey([this](std::string_view text) { return dialog_.SortKeyOf(text); });
  list_.AddString("+ /d/b.c");
  list_.AddString("+ /d/D.c");
  // Expand b.c at its index, as Expand does.
  list_.DeleteString(0);
  list_.InsertString(0, "- /d/b.c");
  list_.InsertString(1, "     . 1 needle");
  list_.InsertString(2, "     . 4 needle");
  list_.AddString("+ /d/c.c");
  list_.AddString("+ /d/A.c");
  list_.AddString("+ /d/e.c");
  list_.AddString("+ /d/b.a");
  EXPECT_EQ(Lines(),
            (std::vector<std::string>{"+ /d/A.c", "+ /d/b.a", "- /d/b.c", "     . 1 needle",
                                      "     . 4 needle", "+ /d/c.c", "+ /d/D.c", "+ /d/e.c"}));
}

TEST_F(ResultsListTest, SortedAddsOfPlainPathsUseTheWholeTextIgnoringCase) {
  CListDialog plain("/d", "*", "", 1, 0);
  list_.SetSortKey([&plain](std::string_view text) { return plain.SortKeyOf(text); });
  for (const char* path : {"/d/b", "/d/C", "/d/a", "+ x", "     y"})
    list_.AddString(path);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"     y", "+ x", "/d/a", "/d/b", "/d/C"}));
}

}  // namespace
