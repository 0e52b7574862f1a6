// Widen and Narrow through scripted sessions on real files.
#include "tests/results/browse_session.h"

namespace {

using namespace browse_testing;

struct ContextCase {
  const char* name;
  int lineCount;
  std::vector<int> matches;
  bool finalLineEnd;
  // A second matching file listed below, so the group is not the list's last entry.
  bool followingFile;
  // Script lines run after the file has been expanded (it is entry 0).
  std::string commands;
  // The content lines expected below the file line, as marker and number: ";9".
  std::vector<std::string> expected;
  int expectedSelection;
};

// Names the case in failure messages.
void PrintTo(const ContextCase& c, std::ostream* out) {
  *out << c.name;
}

std::string Select(int index) {
  return "select 1005 " + std::to_string(index) + "\n";
}
const std::string kWidenPress = "click 1012\n";
const std::string kNarrowPress = "click 1011\n";

std::string Times(int count, const std::string& lines) {
  std::string script;
  for (int i = 0; i < count; ++i)
    script += lines;
  return script;
}

// Lines 8 to 16 around matches at 10 and 14, built by widening each twice.
const std::string kTenAndFourteenWidened =
    Select(1) + Times(2, kWidenPress) + Select(6) + Times(2, kWidenPress);

const ContextCase kContextCases[] = {
    {"LoneMatchWidenedOnce",
     20,
     {10},
     true,
     true,
     Select(1) + kWidenPress,
     {";9", ".10", ":11"},
     2},
    {"LoneMatchWidenedTwice",
     20,
     {10},
     true,
     true,
     Select(1) + Times(2, kWidenPress),
     {";8", ";9", ".10", ":11", ":12"},
     3},
    {"NarrowUndoesOneWiden",
     20,
     {10},
     true,
     true,
     Select(1) + Times(2, kWidenPress) + kNarrowPress,
     {";9", ".10", ":11"},
     2},
    // The second group gains 13 on its first press and nothing above on the
    // second: 12 is already the first group's last line.
    {"TenAndFourteenEachWidenedTwice",
     20,
     {10, 14},
     true,
     true,
     kTenAndFourteenWidened,
     {";8", ";9", ".10", ":11", ":12", ";13", ".14", ":15", ":16"},
     7},
    {"TouchingGroupsWidenUpperAtEndOfList",
     20,
     {10, 11},
     true,
     false,
     Select(1) + kWidenPress,
     {";9", ".10", ".11"},
     2},
    {"TouchingGroupsWidenLower",
     20,
     {10, 11},
     true,
     true,
     Select(2) + kWidenPress,
     {".10", ".11", ":12"},
     2},
    {"AfterSideTestsTheLastEntryAfterTheBeforeSideGrew",
     20,
     {10, 12},
     true,
     false,
     Select(1) + kWidenPress,
     {";9", ".10", ":11", ".12"},
     2},
    {"GroupIsLastEntryOfList",
     20,
     {10},
     true,
     false,
     Select(1) + kWidenPress,
     {";9", ".10", ":11"},
     2},
    {"MatchOnLineOneGainsNothingAbove",
     20,
     {1},
     true,
     true,
     Select(1) + Times(2, kWidenPress),
     {".1", ":2", ":3"},
     1},
    {"LastLineWithoutLineEndGainsNothingBelow",
     20,
     {20},
     false,
     true,
     Select(1) + Times(2, kWidenPress),
     {";18", ";19", ".20"},
     3},
    {"LastLineWithLineEndGainsOneEmptyLine",
     20,
     {20},
     true,
     false,
     Select(1) + Times(3, kWidenPress),
     {";17", ";18", ";19", ".20", ":21"},
     4},
    {"WidenFromBeforeLineWidensItsGroup",
     20,
     {10},
     true,
     true,
     Select(1) + kWidenPress + Select(1) + kWidenPress,
     {";8", ";9", ".10", ":11", ":12"},
     2},
    {"WidenFromAfterLineWidensItsGroup",
     20,
     {10},
     true,
     true,
     Select(1) + kWidenPress + Select(3) + kWidenPress,
     {";8", ";9", ".10", ":11", ":12"},
     4},
    {"NarrowOnLowerBeforeLineTakesTheTopOne",
     20,
     {10},
     true,
     true,
     Select(1) + Times(2, kWidenPress) + Select(2) + kNarrowPress,
     {";9", ".10", ":11", ":12"},
     1},
    {"NarrowOnTopBeforeLineSelectsTheLineBelow",
     20,
     {10},
     true,
     true,
     Select(1) + Times(2, kWidenPress) + Select(1) + kNarrowPress,
     {";9", ".10", ":11", ":12"},
     1},
    // Deleting it leaves the match line selected, whose after side goes too.
    {"NarrowOnLoneBeforeLineNarrowsBothSides",
     20,
     {10},
     true,
     true,
     Select(1) + kWidenPress + Select(1) + kNarrowPress,
     {".10"},
     1},
    {"NarrowOnBottomAfterLineSelectsTheLineAbove",
     20,
     {10},
     true,
     true,
     Select(1) + Times(2, kWidenPress) + Select(5) + kNarrowPress,
     {";8", ";9", ".10", ":11"},
     4},
    {"NarrowOnUpperAfterLineTakesTheBottomOne",
     20,
     {10},
     true,
     false,
     Select(1) + Times(2, kWidenPress) + Select(4) + kNarrowPress,
     {";8", ";9", ".10", ":11"},
     4},
    {"NarrowOnAfterLineTakesTheTouchingGroupsTopLineToo",
     20,
     {10, 14},
     true,
     true,
     kTenAndFourteenWidened + Select(5) + kNarrowPress,
     {";8", ";9", ".10", ":11", ".14", ":15", ":16"},
     4},
    {"NarrowOnBareMatchChangesNothing", 20, {10}, true, true, Select(1) + kNarrowPress, {".10"}, 1},
    {"NarrowShrinksBackToTheMatchAndStops",
     20,
     {10},
     true,
     true,
     Select(1) + Times(2, kWidenPress) + Times(3, kNarrowPress),
     {".10"},
     1},
};

// The text line n of a file of NumberedLines shows; the line after a final
// line end is empty.
std::string LineText(const ContextCase& c, int n) {
  if (n > c.lineCount)
    return "";
  std::string text = "line " + std::to_string(n);
  for (int match : c.matches) {
    if (match == n)
      text += " needle";
  }
  return text;
}

class ContextTest : public ::testing::TestWithParam<ContextCase> {};

TEST_P(ContextTest, ListsEachLineOnceWithItsMarkerAndKeepsTheSelection) {
  const ContextCase& c = GetParam();
  BrowseSession session;
  std::string a =
      session.files.Write("a.txt", NumberedLines(c.lineCount, c.matches, c.finalLineEnd));
  std::string z;
  if (c.followingFile)
    z = session.files.Write("z.txt", "needle\n");

  ScriptRun run = session.Run(SearchScript(session.files.Path(), "*.txt", "needle") + "run\n" +
                              Select(0) + "click 4\n" + c.commands + "dump\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;

  std::vector<std::string> expected = {Q("- " + a)};
  for (const std::string& code : c.expected) {
    int number = std::stoi(code.substr(1));
    expected.push_back(Q(Content(code[0], number, LineText(c, number))));
  }
  if (c.followingFile)
    expected.push_back(Q("+ " + z));
  std::vector<std::string> dump = run.LastDump();
  EXPECT_EQ(ListItems(dump), expected);
  EXPECT_EQ(Selection(dump), c.expectedSelection);
  // The selection stays on a content line, so both buttons stay usable.
  EXPECT_NE(ButtonLine(dump, kNarrow).find(" enabled"), std::string::npos);
  EXPECT_NE(ButtonLine(dump, kWiden).find(" enabled"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BrowseContext, ContextTest, ::testing::ValuesIn(kContextCases),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// An expanded file line shows no line of the file: digits its path holds at
// the number's column must not stop a group near the top from widening.
TEST(BrowseContext, FileLineCountsAsLineZeroWhateverItsPathHolds) {
  BrowseSession session;
  // Relative to the session's folder, "- abcd/9000/a.txt" has 9000 at the column
  // where a content line's number stands.
  std::string a = session.files.Write("abcd/9000/a.txt", NumberedLines(6, {3}));
  testing_support::ScriptOptions options;
  options.workingDirectory = session.files.Path();
  ScriptRun run = session.Run(SearchScript("abcd/9000", "*.txt", "needle") + "run\n" + Select(0) +
                                  "click 4\n" + Select(1) + Times(3, kWidenPress) + "dump\n",
                              options);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ListItems(run.LastDump()),
            (std::vector<std::string>{
                Q("- abcd/9000/a.txt"), Q(Content(';', 1, "line 1")), Q(Content(';', 2, "line 2")),
                Q(Content('.', 3, "line 3 needle")), Q(Content(':', 4, "line 4")),
                Q(Content(':', 5, "line 5")), Q(Content(':', 6, "line 6"))}));
}

// A file that shrank since it was expanded yields no before-context line;
// the group must not be taken to have moved down.
TEST(BrowseContext, WidenOnAShrunkenFileKeepsTheSelectionAndTheList) {
  BrowseSession session;
  std::string a = session.files.Write("a.txt", NumberedLines(20, {10, 14}));
  std::string z = session.files.Write("z.txt", "needle\n");
  LiveSession live(session.config.Path());
  live.Send(SearchScript(session.files.Path(), "*.txt", "needle") + "run\n" + Select(0) +
            "click 4\n" + Select(1) + kWidenPress + Select(4));
  std::vector<std::string> before = live.Dump();
  ASSERT_EQ(
      ListItems(before),
      (std::vector<std::string>{
          Q("- " + a), Q(Content(';', 9, "line 9")), Q(Content('.', 10, "line 10 needle")),
          Q(Content(':', 11, "line 11")), Q(Content('.', 14, "line 14 needle")), Q("+ " + z)}));
  ASSERT_EQ(Selection(before), 4);

  // Line 13 is gone; line 8 is still there.
  session.files.Write("a.txt", NumberedLines(12, {}, false));
  live.Send(kWidenPress);
  std::vector<std::string> after = live.Dump();
  EXPECT_EQ(ListItems(after), ListItems(before));
  EXPECT_EQ(Selection(after), 4);

  // Lines that still exist are added as before.
  live.Send(Select(1) + kWidenPress);
  EXPECT_EQ(ListItems(live.Dump())[1], Q(Content(';', 8, "line 8")));
  live.Send("key escape\n");
}

}  // namespace
