#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "criteria/find_dialog.h"
#include "tests/criteria/settings_fixture.h"

namespace criteria_tests {
namespace {

using testing_support::ControlLine;
using testing_support::ItemsOf;
using testing_support::WindowLines;

class FindDialogTest : public SettingsFixture {
 protected:
  std::vector<std::string> CriteriaAfter(const std::string& script) {
    auto run = Run(script + "dump\nkey escape\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return WindowLines(run.LastDump(), "130");
  }
};

TEST_F(FindDialogTest, FirstStartShowsEmptyCriteriaAndSavesNothingOnCancel) {
  auto window = CriteriaAfter("");
  ASSERT_FALSE(window.empty());
  EXPECT_EQ(window[0], "window 130 \"Morvel - version 1.0b1\" shown");
  EXPECT_EQ(ControlLine(window, 1007), "  combo 1007 \"\" enabled sel=-1");
  EXPECT_TRUE(ItemsOf(window, 1007).empty());
  EXPECT_EQ(ControlLine(window, 1001), "  edit 1001 \"\" enabled");
  EXPECT_EQ(ControlLine(window, 1003), "  edit 1003 \"\" enabled");
  EXPECT_EQ(ControlLine(window, 1002), "  check 1002 \"Search Subdirectories\" enabled unchecked");
  EXPECT_EQ(ControlLine(window, 1006), "  check 1006 \"Ignore Case\" disabled unchecked");
  EXPECT_EQ(ControlLine(window, 1004), "  button 1004 \"&Search\" disabled default");
  // Reading created the section key, still without values; Cancel wrote none.
  EXPECT_TRUE(KeyExists(kSection));
  EXPECT_EQ(ValueCount(), 0);
}

TEST_F(FindDialogTest, SearchIsEnabledOnlyWithDirectoryAndPatterns) {
  struct Case {
    const char* typing;
    const char* search;
  };
  const Case cases[] = {
      {"type 1007 /tmp\n", "disabled"},
      {"type 1001 *.c\n", "disabled"},
      {"type 1007 /tmp\ntype 1001 *.c\n", "enabled"},
      {"type 1007  \ntype 1001  \n", "enabled"},  // a single space in each
      {"type 1007 /tmp\ntype 1001 *.c\ntype 1001\n", "disabled"},
      {"type 1007 /tmp\ntype 1001 *.c\ntype 1007 \n", "disabled"},
  };
  for (const Case& c : cases) {
    auto window = CriteriaAfter(c.typing);
    EXPECT_EQ(ControlLine(window, 1004),
              std::string("  button 1004 \"&Search\" ") + c.search + " default")
        << c.typing;
  }
}

TEST_F(FindDialogTest, IgnoreCaseFollowsTheSearchStringButKeepsItsTick) {
  auto window = CriteriaAfter("type 1003 x\nclick 1006\ntype 1003 \n");
  EXPECT_EQ(ControlLine(window, 1006), "  check 1006 \"Ignore Case\" disabled checked");
}

TEST_F(FindDialogTest, HistoryReadsNumbersBelowTwentySkippingEmptiesAndCaseDuplicates) {
  PutString("Saved directory #0", "/A");
  PutString("Saved directory #1", "/a");
  PutString("Saved directory #2", "");
  PutString("Saved directory #3", "/B");
  PutString("Saved directory #5", "/0first");
  PutString("Saved directory #20", "/never");
  PutString("Search Directory", "/B");
  auto window = CriteriaAfter("");
  EXPECT_EQ(ItemsOf(window, 1007), (std::vector<std::string>{"\"/0first\"", "\"/A\"", "\"/B\""}));
  // The entry that begins with the saved directory is selected.
  EXPECT_EQ(ControlLine(window, 1007), "  combo 1007 \"/B\" enabled sel=2");
}

TEST_F(FindDialogTest, PickingAHistoryEntryRestoresTheMembers) {
  PutString("Saved directory #0", "/srv/one");
  PutString("Saved directory #1", "/srv/two");
  auto window = CriteriaAfter("type 1001 *.c\nclick 1002\nselect 1007 1\n");
  EXPECT_EQ(ControlLine(window, 1007), "  combo 1007 \"/srv/two\" enabled sel=1");
  EXPECT_EQ(ControlLine(window, 1004), "  button 1004 \"&Search\" enabled default");
  // Ticked after the last text change, so the pick clears it again.
  EXPECT_EQ(ControlLine(window, 1002), "  check 1002 \"Search Subdirectories\" enabled unchecked");
}

TEST_F(FindDialogTest, SupportDialogOpensBesideAUsableCriteriaDialog) {
  auto run =
      Run("click 1008\n"
          "window 130\n"
          "type 1001 *.h\n"
          "dump\n"
          "window 133\n"
          "key escape\n"
          "dump\n"
          "key escape\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto dumps = run.Dumps();
  ASSERT_EQ(dumps.size(), 2u);
  auto criteria = WindowLines(dumps[0], "130");
  auto support = WindowLines(dumps[0], "133");
  ASSERT_FALSE(criteria.empty());
  ASSERT_FALSE(support.empty());
  EXPECT_EQ(criteria[0], "window 130 \"Morvel - version 1.0b1\" shown");
  EXPECT_EQ(ControlLine(criteria, 1001), "  edit 1001 \"*.h\" enabled");
  EXPECT_EQ(support[0], "window 133 \"Support Information\" shown");
  EXPECT_EQ(ControlLine(support, 1015), "  static 1015 \"Morvel\" enabled");
  EXPECT_EQ(ControlLine(support, 1016), "  static 1016 \"1.0b1\" enabled");
  EXPECT_TRUE(WindowLines(dumps[1], "133").empty());
}

TEST_F(FindDialogTest, RenamedExecutableHasSettingsOfItsOwn) {
  PutString("Search Directory", "/srv/mine");
  std::string copy = tree.Path() + "/finder.bin";
  std::filesystem::copy_file(MORVEL_BINARY, copy);
  auto run = testing_support::RunScript("dump\nkey escape\n", {config.Path(), {}, {}, copy});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ControlLine(WindowLines(run.LastDump(), "130"), 1007),
            "  combo 1007 \"\" enabled sel=-1");
  EXPECT_TRUE(KeyExists("Software\\Quenlith\\finder\\Find Files Dialog"));
}

TEST_F(FindDialogTest, CorruptSettingsLeaveTheProgramWorkingAndTheFileUntouched) {
  std::filesystem::create_directories(config.Path() + "/Quenlith");
  const std::string garbage = "this is not a database\n\x01\x02\x03";
  {
    std::ofstream file(DatabasePath(), std::ios::binary);
    file << garbage;
  }
  auto run =
      Run("type 1007 /tmp\ntype 1001 *.zzz-none\nclick 1004\nrun\nclick 1010\ndump\nkey escape\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(ControlLine(WindowLines(run.LastDump(), "130"), 1007),
            "  combo 1007 \"/tmp\" enabled sel=-1");
  std::ifstream file(DatabasePath(), std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  EXPECT_EQ(content.str(), garbage);
  // One clear line about the store, however many operations failed.
  std::istringstream lines(run.err);
  std::string line;
  int storeLines = 0;
  while (std::getline(lines, line))
    storeLines += line.find("settings") != std::string::npos;
  EXPECT_EQ(storeLines, 1) << run.err;
}

TEST(NormalizeDirectoryTest, TrailingSeparatorsAndSpacesGoButTheRootStays) {
  struct Case {
    const char* typed;
    const char* normalized;
  };
  const Case cases[] = {
      {"/work/src/", "/work/src"}, {"/tmp//", "/tmp"},     {"/", "/"},  {"// ", "/"},
      {"/a b/ ", "/a b"},          {"  lead", "  lead"},   {"   ", ""}, {"", ""},
      {"rel/dir", "rel/dir"},      {"c:\\x\\", "c:\\x\\"},
  };
  for (const Case& c : cases) {
    std::string directory = c.typed;
    CFindDialog::NormalizeDirectory(directory);
    EXPECT_EQ(directory, c.normalized) << '"' << c.typed << '"';
  }
}

}  // namespace
}  // namespace criteria_tests
