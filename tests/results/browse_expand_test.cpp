// Expand and Contract through scripted sessions on real files.
#include <algorithm>

#include "tests/results/browse_session.h"

namespace {

using namespace browse_testing;

// Needle on lines 3 (twice) and 17 of a, on line 1 of b.
class ExpandTest : public ::testing::Test {
 protected:
  ExpandTest()
      : a(session.files.Write("a.txt", NumberedLines(20, {3, 3, 17}))),
        b(session.files.Write("b.txt", "needle first\nsecond\n")) {}

  ScriptRun Run(const std::string& commands) const {
    return session.Run(SearchScript(session.files.Path(), "*.txt", "needle") + "run\n" + commands);
  }

  std::vector<std::string> Expanded() const {
    return {Q("- " + a), Q(Content('.', 3, "line 3 needle needle")),
            Q(Content('.', 17, "line 17 needle")), Q("+ " + b)};
  }
  std::vector<std::string> Collapsed() const { return {Q("+ " + a), Q("+ " + b)}; }

  BrowseSession session;
  std::string a;
  std::string b;
};

// Button 4, Enter on the default button and a double-click all run the same
// handler: the file line decides, whatever line of its block is selected.
TEST_F(ExpandTest, EveryTriggerExpandsTheFileLineAndContractsFromAnyLineOfItsBlock) {
  const struct {
    const char* name;
    std::string onFileLine;
    std::string onContentLine;
  } triggers[] = {
      {"button", "select 1005 0\nclick 4\n", "select 1005 2\nclick 4\n"},
      {"enter", "select 1005 0\nkey enter\n", "select 1005 2\nkey enter\n"},
      {"double-click", "dblclick 1005 0\n", "dblclick 1005 2\n"},
  };
  for (const auto& trigger : triggers) {
    SCOPED_TRACE(trigger.name);
    ScriptRun run = Run(trigger.onFileLine + "dump\n" + trigger.onContentLine + "dump\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto dumps = run.Dumps();
    ASSERT_EQ(dumps.size(), 2u);

    EXPECT_EQ(ListItems(dumps[0]), Expanded());
    EXPECT_EQ(Selection(dumps[0]), 0);
    EXPECT_NE(ButtonLine(dumps[0], kExpand).find("\"&Contract\" enabled"), std::string::npos);
    EXPECT_NE(ButtonLine(dumps[0], kNarrow).find(" disabled"), std::string::npos);
    EXPECT_NE(ButtonLine(dumps[0], kWiden).find(" disabled"), std::string::npos);

    EXPECT_EQ(ListItems(dumps[1]), Collapsed());
    EXPECT_EQ(Selection(dumps[1]), 0);
    EXPECT_NE(ButtonLine(dumps[1], kExpand).find("\"E&xpand\" enabled"), std::string::npos);
    EXPECT_NE(ButtonLine(dumps[1], kNarrow).find(" disabled"), std::string::npos);
  }
}

TEST_F(ExpandTest, ContractRemovesContextLinesAndOnlyItsOwnBlock) {
  // Both files expanded; a's match on 17 widened so its block holds every kind.
  ScriptRun run =
      Run("select 1005 0\nclick 4\nselect 1005 3\nclick 4\n"
          "select 1005 2\nclick 1012\n"
          "select 1005 1\nclick 4\ndump\n"
          // The last block of the list: contracting stops at the list's end.
          "select 1005 2\nclick 4\ndump\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto dumps = run.Dumps();
  ASSERT_EQ(dumps.size(), 2u);
  EXPECT_EQ(ListItems(dumps[0]), (std::vector<std::string>{Q("+ " + a), Q("- " + b),
                                                           Q(Content('.', 1, "needle first"))}));
  EXPECT_EQ(Selection(dumps[0]), 0);
  EXPECT_EQ(ListItems(dumps[1]), Collapsed());
  EXPECT_EQ(Selection(dumps[1]), 1);
}

TEST_F(ExpandTest, ExpandingAgainReadsTheFileAfreshWithoutContext) {
  ScriptRun run =
      Run("select 1005 0\nclick 4\nselect 1005 1\nclick 1012\nclick 4\n"
          "select 1005 0\nclick 4\ndump\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ListItems(run.LastDump()), Expanded());
}

TEST_F(ExpandTest, EnterWithNothingSelectedChangesNothing) {
  ScriptRun run = Run("key enter\ndump\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::string> dump = run.LastDump();
  EXPECT_EQ(ListItems(dump), Collapsed());
  EXPECT_EQ(Selection(dump), -1);
  // The handler did not run the enabling rules: the template caption stands.
  EXPECT_NE(ButtonLine(dump, kExpand).find("\"E&xpand \""), std::string::npos);
}

TEST(BrowseExpand, WithoutASearchStringADoubleClickChangesNothing) {
  BrowseSession session;
  std::string a = session.files.Write("a.txt", "anything\n");
  ScriptRun run =
      session.Run(SearchScript(session.files.Path(), "*.txt", "") + "run\ndblclick 1005 0\ndump\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::string> dump = run.LastDump();
  EXPECT_EQ(ListItems(dump), std::vector<std::string>{Q(a)});
  EXPECT_EQ(Selection(dump), 0);
}

TEST(BrowseExpand, FileWithCarriageReturnsAndNoFinalLineEndExpandsItsLastLine) {
  BrowseSession session;
  std::string a = session.files.Write("a.txt", "x\r\nneedle\r\n\r\ntail needle");
  ScriptRun run = session.Run(SearchScript(session.files.Path(), "*.txt", "needle") +
                              "run\nselect 1005 0\nclick 4\ndump\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ListItems(run.LastDump()),
            (std::vector<std::string>{Q("- " + a), Q(Content('.', 2, "needle")),
                                      Q(Content('.', 4, "tail needle"))}));
}

// Files the search adds while a file is expanded go to their sorted places
// around its block and never between the block's lines.
TEST(BrowseExpand, ExpansionsWhileTheSearchIsStillAddingFiles) {
  BrowseSession session;
  std::vector<std::string> paths;
  for (const char* name : {"a.txt", "c.txt", "e.txt", "g.txt", "i.txt", "k.txt"})
    paths.push_back(session.files.Write(name, "one\nneedle two\nthree needle\n"));
  std::sort(paths.begin(), paths.end());
  auto indexOf = [](const std::vector<std::string>& items, const std::string& item) {
    return static_cast<int>(std::find(items.begin(), items.end(), item) - items.begin());
  };

  // One file per 20 ms tick: expand the first file found.
  LiveSession live(session.config.Path());
  live.Send(SearchScript(session.files.Path(), "*.txt", "needle") +
            "advance 20\nselect 1005 0\nclick 4\n");
  std::vector<std::string> first = ListItems(live.Dump());
  ASSERT_EQ(first.size(), 3u) << "one file expanded into two match lines";
  ASSERT_EQ(first[0].rfind("\"- ", 0), 0u);
  std::string expanded = first[0].substr(3, first[0].size() - 4);

  // Two files later, widen its first group; then expand the last file listed.
  live.Send("advance 40\n");
  std::vector<std::string> three = ListItems(live.Dump());
  ASSERT_EQ(three.size(), 5u);
  int fileLine = indexOf(three, Q("- " + expanded));
  ASSERT_LT(fileLine, 5);
  live.Send("select 1005 " + std::to_string(fileLine + 1) + "\nclick 1012\n");
  live.Send("select 1005 " + std::to_string(fileLine == 2 ? 0 : 5) + "\nclick 4\n");
  live.Send("advance 20\n");
  std::vector<std::string> running = live.Dump();
  EXPECT_EQ(ButtonLine(running, 1013).find("destroyed"), std::string::npos)
      << "the search is still running";
  live.Send("run\n");
  std::vector<std::string> items = ListItems(live.Dump());
  live.Send("key escape\n");

  std::string other = fileLine == 2 ? three[0] : three[4];
  other = other.substr(3, other.size() - 4);
  std::vector<std::string> expected;
  for (const std::string& path : paths) {
    if (path == expanded) {
      expected.push_back(Q("- " + path));
      expected.push_back(Q(Content(';', 1, "one")));
      expected.push_back(Q(Content('.', 2, "needle two")));
      expected.push_back(Q(Content('.', 3, "three needle")));
    } else if (path == other) {
      expected.push_back(Q("- " + path));
      expected.push_back(Q(Content('.', 2, "needle two")));
      expected.push_back(Q(Content('.', 3, "three needle")));
    } else {
      expected.push_back(Q("+ " + path));
    }
  }
  EXPECT_EQ(items, expected);
}

}  // namespace
