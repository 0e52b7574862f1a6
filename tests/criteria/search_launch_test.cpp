#include <gtest/gtest.h>

#include "tests/criteria/settings_fixture.h"

namespace criteria_tests {
namespace {

using testing_support::ControlLine;
using testing_support::ItemsOf;
using testing_support::WindowLines;

class SearchLaunchTest : public SettingsFixture {
 protected:
  // Types the criteria, presses Search and, in the results dialog, Another Search.
  static std::string SearchFrom(const std::string& directory, const std::string& patterns = "*.c") {
    return "window 130\ntype 1007 " + directory + "\ntype 1001 " + patterns +
           "\nclick 1004\nrun\nwindow 131\nclick 1010\n";
  }
};

TEST_F(SearchLaunchTest, SavesNormalizedCriteriaAndShowsThemAsTypedAfterAnotherSearch) {
  tree.MakeDir("work");
  auto run = Run(SearchFrom(tree.Path() + "/work/", "*.c *.h") +
                 "type 1003 needle\nclick 1006\nclick 1002\nclick 1004\nrun\nwindow 131\n"
                 "click 1010\ndump\nkey escape\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto values = Values();
  EXPECT_EQ(values["Search Directory"], tree.Path() + "/work");
  EXPECT_EQ(values["Filename Search Pattern"], "*.c *.h");
  EXPECT_EQ(values["Search Pattern"], "needle");
  EXPECT_EQ(values["Subdirectory Flag"], "1");
  EXPECT_EQ(values["Ignore Case Flag"], "1");
  EXPECT_EQ(values["Saved directory #0"], tree.Path() + "/work");
  // Five criteria and one history value, nothing else.
  EXPECT_EQ(values.size(), 6u);
  auto criteria = WindowLines(run.LastDump(), "130");
  EXPECT_EQ(criteria[0], "window 130 \"Morvel - version 1.0b1\" shown");
  EXPECT_EQ(ControlLine(criteria, 1007),
            "  combo 1007 " + testing_support::Quoted(tree.Path() + "/work/") + " enabled sel=-1");
  EXPECT_EQ(ControlLine(criteria, 1002), "  check 1002 \"Search Subdirectories\" enabled checked");
}

TEST_F(SearchLaunchTest, HistoryIgnoresCaseAndKeepsTheFirstSpelling) {
  auto run = Run(SearchFrom("/T/Work") + SearchFrom("/t/work") + "key escape\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto values = Values();
  EXPECT_EQ(values["Saved directory #0"], "/T/Work");
  EXPECT_EQ(values.count("Saved directory #1"), 0u);
  EXPECT_EQ(values["Search Directory"], "/t/work");
}

TEST_F(SearchLaunchTest, HistoryIsSavedInSortedOrder) {
  PutString("Saved directory #0", "/A");
  PutString("Saved directory #1", "/D/B");
  auto run = Run(SearchFrom("/C/B") + "key escape\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto values = Values();
  EXPECT_EQ(values["Saved directory #0"], "/A");
  EXPECT_EQ(values["Saved directory #1"], "/C/B");
  EXPECT_EQ(values["Saved directory #2"], "/D/B");
}

TEST_F(SearchLaunchTest, LongHistoryIsSavedWholeAndReadBackUpToTwenty) {
  std::string script;
  for (int i = 0; i < 25; ++i)
    script += SearchFrom("/h" + std::string(i < 10 ? "0" : "") + std::to_string(i));
  auto run = Run(script + "key escape\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto values = Values();
  EXPECT_EQ(values["Saved directory #24"], "/h24");
  auto next = Run("dump\nkey escape\n");
  auto items = ItemsOf(WindowLines(next.LastDump(), "130"), 1007);
  ASSERT_EQ(items.size(), 20u);
  EXPECT_EQ(items.front(), "\"/h00\"");
  EXPECT_EQ(items.back(), "\"/h19\"");
}

TEST_F(SearchLaunchTest, CancelInTheResultsEndsTheProgramKeepingWhatSearchSaved) {
  auto run = Run("type 1007 /nowhere-at-all\ntype 1001 *.c\nclick 1004\nwindow 131\nclick 2\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Values()["Search Directory"], "/nowhere-at-all");
}

TEST_F(SearchLaunchTest, TwoSearchesInOneRunEachStartWithAnEmptyList) {
  tree.Write("one/a.c", "x");
  tree.Write("two/b.c", "x");
  auto run = Run(SearchFrom(tree.Path() + "/one") + "type 1007 " + tree.Path() +
                 "/two\nclick 1004\nrun\ndump\nkey escape\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto results = WindowLines(run.LastDump(), "131");
  EXPECT_EQ(ItemsOf(results, 1005),
            (std::vector<std::string>{testing_support::Quoted(tree.Path() + "/two/b.c")}));
}

}  // namespace
}  // namespace criteria_tests
