// The search and the results dialog, end to end: the real program driven by
// scripts on real directory trees, one `advance 20` per tick of the search.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/process/process.h"
#include "tests/support/script_runner.h"

namespace {

using testing_support::ControlLine;
using testing_support::ItemsOf;
using testing_support::Quoted;
using testing_support::RunScript;
using testing_support::ScriptRun;
using testing_support::TempDir;
using testing_support::WindowLines;
using Lines = std::vector<std::string>;

const std::string kStopLine = "  button 1013 \"&STOP\" enabled";
const std::string kStopGoneLine = kStopLine + " destroyed";
const std::string kTimerLine = "  timer 1 20";

struct Criteria {
  std::string patterns;
  std::string text;
  bool subdirectories = true;
  bool ignoreCase = false;
};

// Types the criteria into the criteria dialog, presses Search and points the
// script at the results window.
std::string SearchScript(const std::string& directory, const Criteria& criteria) {
  std::string script = "window 130\ntype 1007 " + directory + "\ntype 1001 " + criteria.patterns +
                       "\ntype 1003 " + criteria.text + "\n";
  if (criteria.subdirectories)
    script += "click 1002\n";
  if (criteria.ignoreCase)
    script += "click 1006\n";
  return script + "click 1004\nwindow 131\n";
}

// A dump after the dialog opens and after each of `ticks` ticks.
std::string TickDumps(int ticks) {
  std::string script = "dump\n";
  for (int k = 0; k < ticks; ++k)
    script += "advance 20\ndump\n";
  return script;
}

Lines QuotedAll(Lines texts) {
  for (std::string& text : texts)
    text = Quoted(text);
  return texts;
}

std::string StatusLine(const std::string& path) {
  return "  static 1014 " + Quoted(path) + " enabled";
}

bool HasLine(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class SearchTest : public ::testing::Test {
 protected:
  // Each run starts from empty settings, so no criteria carry over.
  ScriptRun Run(const std::string& script, std::map<std::string, std::string> environment = {}) {
    TempDir config;
    ScriptRun run = RunScript(script, {config.Path(), std::move(environment), "", ""});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run;
  }
  // The results window of every dump.
  std::vector<Lines> ResultsWindows(const ScriptRun& run) {
    std::vector<Lines> windows;
    for (const Lines& dump : run.Dumps())
      windows.push_back(WindowLines(dump, "131"));
    return windows;
  }
  // The listed lines once the search has run out.
  Lines FinalList(const std::string& directory, const Criteria& criteria) {
    ScriptRun run = Run(SearchScript(directory, criteria) + "run\ndump\nkey escape\n");
    Lines window = WindowLines(run.LastDump(), "131");
    EXPECT_EQ(ControlLine(window, 1013), kStopGoneLine);
    return ItemsOf(window, 1005);
  }

  TempDir tree_;
};

TEST_F(SearchTest, ExaminesOneFilePerTickAndListsEachAsTheStatusLineShowsIt) {
  const Lines files = {tree_.Write("a.c", "1"), tree_.Write("b.c", "2"), tree_.Write("c.c", "3"),
                       tree_.Write("sub/d.c", "4")};
  tree_.Write("x.h", "5");
  ScriptRun run = Run(SearchScript(tree_.Path(), {"*.c", ""}) + TickDumps(5) + "key escape\n");
  std::vector<Lines> windows = ResultsWindows(run);
  ASSERT_EQ(windows.size(), 6u) << run.out;

  EXPECT_TRUE(ItemsOf(windows[0], 1005).empty());
  EXPECT_EQ(ControlLine(windows[0], 1014), StatusLine(""));
  EXPECT_EQ(ControlLine(windows[0], 1013), kStopLine);
  EXPECT_TRUE(HasLine(windows[0], kTimerLine));

  Lines examined;
  for (int tick = 1; tick <= 4; ++tick) {
    SCOPED_TRACE(tick);
    const Lines& window = windows[static_cast<std::size_t>(tick)];
    std::string status = ControlLine(window, 1014);
    auto shown = std::find_if(files.begin(), files.end(),
                              [&](const std::string& file) { return status == StatusLine(file); });
    ASSERT_NE(shown, files.end()) << status;
    examined.push_back(*shown);
    Lines sorted = examined;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(ItemsOf(window, 1005), QuotedAll(sorted));
    EXPECT_EQ(ControlLine(window, 1013), kStopLine);
    EXPECT_TRUE(HasLine(window, kTimerLine));
  }
  // Breadth-first: the subdirectory's file comes after the start directory's.
  EXPECT_EQ(examined.back(), files.back());
  EXPECT_EQ(std::set<std::string>(examined.begin(), examined.end()),
            std::set<std::string>(files.begin(), files.end()));

  const Lines& finished = windows[5];
  EXPECT_EQ(ItemsOf(finished, 1005), QuotedAll(files));
  EXPECT_EQ(ControlLine(finished, 1014), StatusLine(""));
  EXPECT_EQ(ControlLine(finished, 1013), kStopGoneLine);
  EXPECT_FALSE(HasLine(finished, kTimerLine));
}

TEST_F(SearchTest, ListsOnlyFilesHoldingTheTextButShowsEveryFileExamined) {
  const Lines files = {tree_.Write("a.c", "no"), tree_.Write("b.c", "a Needle here"),
                       tree_.Write("c.c", "nope")};
  ScriptRun run =
      Run(SearchScript(tree_.Path(), {"*.c", "Needle"}) + TickDumps(4) + "key escape\n");
  std::vector<Lines> windows = ResultsWindows(run);
  ASSERT_EQ(windows.size(), 5u) << run.out;
  std::set<std::string> shown;
  for (int tick = 1; tick <= 3; ++tick)
    shown.insert(ControlLine(windows[static_cast<std::size_t>(tick)], 1014));
  EXPECT_EQ(shown, (std::set<std::string>{StatusLine(files[0]), StatusLine(files[1]),
                                          StatusLine(files[2])}));
  EXPECT_EQ(ItemsOf(windows[4], 1005), QuotedAll({"+ " + files[1]}));
  EXPECT_EQ(ControlLine(windows[4], 1013), kStopGoneLine);
}

TEST_F(SearchTest, FoldsCaseOnlyWhenAsked) {
  const std::string upper = tree_.Write("upper.c", "NEEDLE");
  tree_.Write("other.c", "haystack");
  EXPECT_EQ(FinalList(tree_.Path(), {"*.c", "needle", true, true}), QuotedAll({"+ " + upper}));
  EXPECT_TRUE(FinalList(tree_.Path(), {"*.c", "needle", true, false}).empty());
}

TEST_F(SearchTest, SearchesSubdirectoriesOnlyWhenAsked) {
  const std::string top = tree_.Write("top.c", "");
  const std::string deep = tree_.Write("sub/deeper/deep.c", "");
  EXPECT_EQ(FinalList(tree_.Path(), {"*.c", "", true}), QuotedAll({deep, top}));
  EXPECT_EQ(FinalList(tree_.Path(), {"*.c", "", false}), QuotedAll({top}));
}

TEST_F(SearchTest, PlacesLateFilesAtTheirPlaceIgnoringCase) {
  // The subdirectory's file is examined last but sorts first; "m" sorts
  // before "Z" only when case is ignored.
  const std::string late = tree_.Write("a/b.c", "x");
  const std::string upper = tree_.Write("Z.c", "x");
  const std::string lower = tree_.Write("m.c", "x");
  EXPECT_EQ(FinalList(tree_.Path(), {"*.c", "x"}),
            QuotedAll({"+ " + late, "+ " + lower, "+ " + upper}));
}

TEST_F(SearchTest, SplitsPatternsAtEverySpaceAndEndsAtAnEmptyOne) {
  const std::string c = tree_.Write("a.c", "");
  const std::string h = tree_.Write("b.h", "");
  tree_.Write("c.txt", "");
  const struct {
    std::string patterns;
    Lines listed;
  } cases[] = {
      {"*.c", {c}},        {"*.c ", {c}},   {"*.c  *.h", {c}}, {" *.c", {c}}, {"*.c *.h", {c, h}},
      {"*.h *.c", {c, h}}, {"*.c;*.h", {}}, {"*.x *.c", {c}},  {" ", {}},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE("'" + testCase.patterns + "'");
    EXPECT_EQ(FinalList(tree_.Path(), {testCase.patterns, ""}), QuotedAll(testCase.listed));
  }
}

TEST_F(SearchTest, APatternThatFindsNothingCostsOneTick) {
  const std::string c = tree_.Write("a.c", "");
  {
    // Nothing matches the first pattern: the first tick already examines a.c.
    ScriptRun run =
        Run(SearchScript(tree_.Path(), {"*.x *.c", ""}) + TickDumps(1) + "key escape\n");
    std::vector<Lines> windows = ResultsWindows(run);
    ASSERT_EQ(windows.size(), 2u) << run.out;
    EXPECT_EQ(ControlLine(windows[1], 1014), StatusLine(c));
    EXPECT_EQ(ItemsOf(windows[1], 1005), QuotedAll({c}));
  }
  {
    // Nothing matches the last one: a tick that clears the status line and
    // lists nothing, then the end.
    ScriptRun run =
        Run(SearchScript(tree_.Path(), {"*.c *.x", "x"}) + TickDumps(3) + "key escape\n");
    std::vector<Lines> windows = ResultsWindows(run);
    ASSERT_EQ(windows.size(), 4u) << run.out;
    EXPECT_EQ(ControlLine(windows[1], 1014), StatusLine(c));
    EXPECT_EQ(ControlLine(windows[2], 1014), StatusLine(""));
    EXPECT_EQ(ControlLine(windows[2], 1013), kStopLine);
    EXPECT_TRUE(ItemsOf(windows[2], 1005).empty());
    EXPECT_EQ(ControlLine(windows[3], 1013), kStopGoneLine);
    EXPECT_FALSE(HasLine(windows[3], kTimerLine));
  }
}

std::string NumberedPatterns(int count) {
  std::string text;
  for (int k = 0; k < count; ++k)
    text += "p" + std::to_string(k) + ".none ";
  return text;
}

TEST_F(SearchTest, TakesFiftyPatternsAndWarnsOnceAboutMore) {
  const std::string c = tree_.Write("a.c", "");
  {
    ScriptRun run = Run(SearchScript(tree_.Path(), {NumberedPatterns(49) + "*.c", ""}) +
                        "run\ndump\nkey escape\n");
    EXPECT_TRUE(WindowLines(run.LastDump(), "message").empty());
    EXPECT_EQ(ItemsOf(WindowLines(run.LastDump(), "131"), 1005), QuotedAll({c}));
  }
  {
    // The 51st entry is never searched.
    ScriptRun run = Run(SearchScript(tree_.Path(), {NumberedPatterns(50) + "*.c", ""}) +
                        "window message\ndump\nkey enter\nwindow 131\nrun\ndump\nkey escape\n");
    auto dumps = run.Dumps();
    ASSERT_EQ(dumps.size(), 2u) << run.out;
    EXPECT_EQ(WindowLines(dumps[0], "message"),
              (Lines{"window message \"morvel\" shown",
                     "  static -1 \"Too many filename patterns (50 max)\" enabled",
                     "  button 1 \"OK\" enabled default"}));
    EXPECT_TRUE(WindowLines(dumps[0], "131").empty());
    EXPECT_TRUE(WindowLines(dumps[1], "message").empty());
    Lines results = WindowLines(dumps[1], "131");
    EXPECT_TRUE(ItemsOf(results, 1005).empty());
    EXPECT_EQ(ControlLine(results, 1013), kStopGoneLine);
  }
}

TEST_F(SearchTest, StopEndsTheSearchAtTheNextTick) {
  for (const char* name : {"a.c", "b.c", "c.c", "d.c", "e.c"})
    tree_.Write(name, "");
  ScriptRun run = Run(SearchScript(tree_.Path(), {"*.c", ""}) +
                      "advance 20\nadvance 20\nclick 1013\ndump\nadvance 20\ndump\nadvance 200\n"
                      "dump\nkey escape\n");
  std::vector<Lines> windows = ResultsWindows(run);
  ASSERT_EQ(windows.size(), 3u) << run.out;
  EXPECT_EQ(ControlLine(windows[0], 1013), kStopLine);
  EXPECT_EQ(ItemsOf(windows[0], 1005).size(), 2u);
  for (std::size_t k : {1u, 2u}) {
    EXPECT_EQ(ControlLine(windows[k], 1013), kStopGoneLine);
    EXPECT_EQ(ControlLine(windows[k], 1014), StatusLine(""));
    EXPECT_FALSE(HasLine(windows[k], kTimerLine));
    EXPECT_EQ(ItemsOf(windows[k], 1005), ItemsOf(windows[0], 1005));
  }
}

TEST_F(SearchTest, EnablesButtonsByTheSelectionAndTheEditorPath) {
  const std::string file = tree_.Write("a.c", "needle");
  ScriptRun run = Run(SearchScript(tree_.Path(), {"*.c", "needle"}) +
                          "type 1008 /bin/ed\nrun\ndump\nselect 1005 0\ndump\ntype 1008 \ndump\n"
                          "type 1008 x\ndump\nkey escape\n",
                      {{"VISUAL", "/bin/true"}});
  std::vector<Lines> windows = ResultsWindows(run);
  ASSERT_EQ(windows.size(), 4u) << run.out;
  // Typing in the field ran the rules, but nothing was selected yet.
  EXPECT_EQ(ControlLine(windows[0], 4), "  button 4 \"&Contract\" enabled default");
  EXPECT_EQ(ControlLine(windows[0], 3), "  button 3 \"&Edit File\" enabled");
  EXPECT_EQ(ControlLine(windows[1], 4), "  button 4 \"E&xpand\" enabled default");
  EXPECT_EQ(ControlLine(windows[1], 1011), "  button 1011 \"&Narrow\" disabled");
  EXPECT_EQ(ControlLine(windows[1], 1012), "  button 1012 \"&Widen\" disabled");
  EXPECT_EQ(ControlLine(windows[2], 3), "  button 3 \"&Edit File\" disabled");
  EXPECT_EQ(ControlLine(windows[3], 3), "  button 3 \"&Edit File\" enabled");
  EXPECT_EQ(ControlLine(windows[3], 4), "  button 4 \"E&xpand\" enabled default");
}

TEST_F(SearchTest, NarrowAndWidenFollowContentLines) {
  tree_.Write("a.c", "needle\n");
  ScriptRun run = Run(SearchScript(tree_.Path(), {"*.c", "needle"}) +
                      "run\nselect 1005 0\nclick 4\nselect 1005 1\ndump\nselect 1005 0\ndump\n"
                      "key escape\n");
  std::vector<Lines> windows = ResultsWindows(run);
  ASSERT_EQ(windows.size(), 2u) << run.out;
  ASSERT_EQ(ItemsOf(windows[0], 1005).size(), 2u) << run.out;
  // A content line.
  EXPECT_EQ(ControlLine(windows[0], 4), "  button 4 \"&Contract\" enabled default");
  EXPECT_EQ(ControlLine(windows[0], 1011), "  button 1011 \"&Narrow\" enabled");
  EXPECT_EQ(ControlLine(windows[0], 1012), "  button 1012 \"&Widen\" enabled");
  // The expanded file line.
  EXPECT_EQ(ControlLine(windows[1], 4), "  button 4 \"&Contract\" enabled default");
  EXPECT_EQ(ControlLine(windows[1], 1011), "  button 1011 \"&Narrow\" disabled");
  EXPECT_EQ(ControlLine(windows[1], 1012), "  button 1012 \"&Widen\" disabled");
}

TEST_F(SearchTest, OpensWithOnlyTheSearchButtonsThatApply) {
  tree_.Write("a.c", "needle");
  const struct {
    std::string text;
    std::string expand;
  } cases[] = {
      {"needle", "  button 4 \"E&xpand \" enabled default"},
      {"", "  button 4 \"E&xpand \" disabled default"},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.text);
    ScriptRun run = Run(SearchScript(tree_.Path(), {"*.c", testCase.text}) + "dump\nkey escape\n",
                        {{"VISUAL", "/bin/true"}});
    Lines window = WindowLines(run.LastDump(), "131");
    EXPECT_EQ(ControlLine(window, 4), testCase.expand);
    EXPECT_EQ(ControlLine(window, 3), "  button 3 \"&Edit File\" disabled");
    EXPECT_EQ(ControlLine(window, 1011), "  button 1011 \"&Narrow\" disabled");
    EXPECT_EQ(ControlLine(window, 1012), "  button 1012 \"&Widen\" disabled");
    EXPECT_EQ(ControlLine(window, 1008), "  edit 1008 \"/bin/true\" enabled");
    EXPECT_EQ(ControlLine(window, 1005), "  list 1005 \"\" enabled extent=1000 sel=-1");
  }
}

TEST_F(SearchTest, WithoutASearchStringNothingExpands) {
  const std::string file = tree_.Write("a.c", "needle");
  ScriptRun run = Run(SearchScript(tree_.Path(), {"*.c", ""}) +
                      "run\ndblclick 1005 0\nkey enter\ndump\nkey escape\n");
  Lines window = WindowLines(run.LastDump(), "131");
  EXPECT_EQ(ItemsOf(window, 1005), QuotedAll({file}));
  EXPECT_EQ(ControlLine(window, 4), "  button 4 \"&Contract\" disabled default");
}

TEST_F(SearchTest, DefaultEditorIsTheFirstWordOfTheVariableOnThePath) {
  const std::string sh = platform::ResolveProgram("sh").value_or("sh");
  const std::string xdgOpen = platform::ResolveProgram("xdg-open").value_or("xdg-open");
  const struct {
    std::string visual, editor, shown;
  } cases[] = {
      {"sh -c 'x'", "vi", sh},
      {"\x01unset", "sh", sh},
      {"", "  sh  -e", sh},
      {"\x01unset", "no-such-editor-anywhere --wait", "no-such-editor-anywhere"},
      {"\x01unset", "\x01unset", xdgOpen},
  };
  tree_.Write("a.c", "");
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.visual + " / " + testCase.editor);
    ScriptRun run = Run(SearchScript(tree_.Path(), {"*.c", ""}) + "dump\nkey escape\n",
                        {{"VISUAL", testCase.visual}, {"EDITOR", testCase.editor}});
    EXPECT_EQ(ControlLine(WindowLines(run.LastDump(), "131"), 1008),
              "  edit 1008 " + Quoted(testCase.shown) + " enabled");
  }
}

TEST_F(SearchTest, EveryWayOfClosingEndsTheRunWithoutAnotherSearch) {
  tree_.Write("a.c", "");
  for (const char* close : {"click 2", "key escape", "key close"}) {
    SCOPED_TRACE(close);
    ScriptRun run =
        Run(SearchScript(tree_.Path(), {"*.c", ""}) + "advance 20\n" + close + "\ndump\n");
    EXPECT_TRUE(run.LastDump().empty()) << run.out;
  }
}

TEST_F(SearchTest, EachSearchStartsEmptyAfterAnotherSearch) {
  TempDir second;
  tree_.Write("one.c", "");
  const Lines later = {second.Write("two.c", ""), second.Write("three.c", "")};
  // The first search is left while it runs, the second runs out.
  for (const char* leaveFirst : {"run\n", "advance 20\n"}) {
    SCOPED_TRACE(leaveFirst);
    std::string script = SearchScript(tree_.Path(), {"*.c", ""}) + leaveFirst +
                         "click 1010\nwindow 130\ndump\n" +
                         SearchScript(second.Path(), {"*.c", ""}) + "dump\nrun\ndump\nkey escape\n";
    ScriptRun run = Run(script);
    auto dumps = run.Dumps();
    ASSERT_EQ(dumps.size(), 3u) << run.out;
    // Back in the criteria dialog, with no results window left.
    EXPECT_TRUE(WindowLines(dumps[0], "131").empty());
    EXPECT_FALSE(WindowLines(dumps[0], "130").empty());
    Lines opened = WindowLines(dumps[1], "131");
    EXPECT_TRUE(ItemsOf(opened, 1005).empty());
    EXPECT_EQ(ControlLine(opened, 1013), kStopLine);
    EXPECT_TRUE(HasLine(opened, kTimerLine));
    Lines done = WindowLines(dumps[2], "131");
    Lines sorted = later;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(ItemsOf(done, 1005), QuotedAll(sorted));
    EXPECT_EQ(ControlLine(done, 1013), kStopGoneLine);
    EXPECT_EQ(ControlLine(done, 1014), StatusLine(""));
  }
}

}  // namespace
