// The real program in a tmux pane: keys go in, the screen is read back.
#include <signal.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/terminal/tmux_session.h"

namespace {

using terminal_testing::CellPosition;
using terminal_testing::FindOnScreen;
using terminal_testing::ScratchDir;
using terminal_testing::TmuxSession;

constexpr const char* kCriteriaCaption = "Morvel - version 1.0b1";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Fills the criteria dialog, which starts with the focus on the directory.
void EnterCriteria(TmuxSession& session, const std::string& directory, const std::string& patterns,
                   const std::string& searchString) {
  ASSERT_TRUE(session.WaitForText(kCriteriaCaption)) << session.LastScreen();
  session.Type(directory);
  session.Keys({"Tab", "Tab"});
  session.Type(patterns);
  session.Keys({"Tab"});
  if (!searchString.empty())
    session.Type(searchString);
  // A field scrolls to keep its end in sight, so the end of the last text shows.
  const std::string& last = searchString.empty() ? patterns : searchString;
  ASSERT_TRUE(session.WaitForText(last.substr(last.size() > 5 ? last.size() - 5 : 0)))
      << session.LastScreen();
}

TEST(TerminalSession, SearchThenExpandAndWidenShowTheLinesOfTheFile) {
  ScratchDir tree;
  tree.Write("a.txt", "alpha\nneedle one\nbeta\ngamma\n");
  tree.Write("b.txt", "no match here\n");
  tree.Write("c.log", "needle\n");
  TmuxSession session(80, 24);
  EnterCriteria(session, tree.Path(), "*.txt", "needle");
  session.Keys({"Enter"});

  ASSERT_TRUE(session.WaitForText("+ " + tree.Path() + "/a.txt")) << session.LastScreen();
  EXPECT_FALSE(Contains(session.LastScreen(), "b.txt")) << session.LastScreen();
  EXPECT_FALSE(Contains(session.LastScreen(), "c.log")) << session.LastScreen();

  session.Keys({"Down", "Enter"});  // select the file, then the default button Expand
  ASSERT_TRUE(session.WaitForText("     . 2 needle one")) << session.LastScreen();
  EXPECT_TRUE(Contains(session.LastScreen(), "- " + tree.Path() + "/a.txt"));
  EXPECT_TRUE(Contains(session.LastScreen(), "Contract")) << session.LastScreen();

  session.Keys({"Down", "M-w"});  // the match line, then Alt+W for Widen
  ASSERT_TRUE(session.WaitFor([](const std::string& screen) {
    return Contains(screen, "     ; 1 alpha") && Contains(screen, "     : 3 beta");
  })) << session.LastScreen();
  EXPECT_FALSE(Contains(session.LastScreen(), "gamma")) << "one line on each side only";

  session.Keys({"Escape"});
  EXPECT_EQ(session.WaitForExit(), 0);
}

TEST(TerminalSession, FiftyOnePatternsShowTheLimitMessageThenTheResults) {
  ScratchDir tree;
  tree.Write("p1", "");
  std::string patterns;
  for (int i = 1; i <= 51; ++i)
    patterns += (i > 1 ? " p" : "p") + std::to_string(i);
  TmuxSession session(80, 24);
  EnterCriteria(session, tree.Path(), patterns, "");
  session.Keys({"Enter"});

  ASSERT_TRUE(session.WaitForText("Too many filename patterns (50 max)")) << session.LastScreen();
  EXPECT_TRUE(Contains(session.LastScreen(), "OK")) << session.LastScreen();
  EXPECT_FALSE(Contains(session.LastScreen(), kCriteriaCaption)) << "no dialog is shown with it";
  session.Keys({"Enter"});
  ASSERT_TRUE(session.WaitForText(tree.Path() + "/p1")) << session.LastScreen();
  EXPECT_TRUE(Contains(session.LastScreen(), "Files Matching Pattern"));
  EXPECT_FALSE(Contains(session.LastScreen(), "Too many"));
}

TEST(TerminalSession, SupportDialogOpensBesideTheCriteriaDialogWhichStaysUsable) {
  TmuxSession session(120, 30);
  ASSERT_TRUE(session.WaitForText(kCriteriaCaption)) << session.LastScreen();
  session.Keys({"M-i"});
  ASSERT_TRUE(session.WaitForText("Program Version:")) << session.LastScreen();

  std::string captionRow;
  std::string nameRow;
  for (std::size_t start = 0, end; start < session.LastScreen().size(); start = end + 1) {
    end = session.LastScreen().find('\n', start);
    std::string row = session.LastScreen().substr(start, end - start);
    if (Contains(row, "Support Information"))
      captionRow = row;
    if (Contains(row, "Program Name:"))
      nameRow = row;
  }
  EXPECT_TRUE(Contains(captionRow, kCriteriaCaption)) << "side by side:\n" << session.LastScreen();
  EXPECT_LT(captionRow.find(kCriteriaCaption), captionRow.find("Support Information"));
  EXPECT_TRUE(Contains(nameRow, "Morvel")) << session.LastScreen();
  EXPECT_TRUE(Contains(session.LastScreen(), "1.0b1"));

  session.Keys({"F6"});  // the criteria dialog takes the keyboard and still works
  session.Type("/typed/while/support/open");
  ASSERT_TRUE(session.WaitForText("/typed/while/support/open")) << session.LastScreen();
  EXPECT_TRUE(Contains(session.LastScreen(), "Program Version:"));

  session.Keys({"F6", "Enter"});  // back to the support dialog: Close
  ASSERT_TRUE(session.WaitFor([](const std::string& screen) {
    return !Contains(screen, "Program Version:") && Contains(screen, kCriteriaCaption);
  })) << session.LastScreen();
  EXPECT_TRUE(Contains(session.LastScreen(), "/typed/while/support/open"));
}

TEST(TerminalSession, EscapeSequencesInNamesAndLinesAreShownNotObeyed) {
  ScratchDir tree;
  tree.Write("title\033]2;PWNED\007.txt", "needle \033[2J\033]2;PWNED\007 after ab\tTAB\n");
  tree.Write("red\033[31mX.txt", "needle\n");
  tree.Write("bad\xff.txt", "needle\n");
  TmuxSession session(100, 30);
  EnterCriteria(session, tree.Path(), "*.txt", "needle");
  session.Keys({"Enter"});

  ASSERT_TRUE(session.WaitForText("title^[]2;PWNED^G.txt")) << session.LastScreen();
  ASSERT_TRUE(session.WaitForText("red^[[31mX.txt")) << session.LastScreen();
  ASSERT_TRUE(session.WaitForText("bad\xEF\xBF\xBD.txt")) << session.LastScreen();

  // Sorted: "bad", "red", "title"; the third one expanded shows its line.
  session.Keys({"Down", "Down", "Down", "Enter"});
  ASSERT_TRUE(session.WaitForText(". 1 needle ^[[2J^[]2;PWNED^G after ab      TAB"))
      << "escapes shown, the TAB expanded to the next stop:\n"
      << session.LastScreen();

  EXPECT_NE(session.Format("#{pane_title}"), "PWNED");
  std::string output = session.Output();
  EXPECT_EQ(output.find("\033]2;PWNED"), std::string::npos);
  EXPECT_EQ(output.find("\033[31mX"), std::string::npos);
  EXPECT_EQ(output.find("\033[2J\033]"), std::string::npos);
  EXPECT_EQ(output.find('\xff'), std::string::npos);
}

TEST(TerminalSession, MouseClicksPressButtonsCloseWindowsAndDoubleClicksExpand) {
  ScratchDir tree;
  tree.Write("a.txt", "needle\n");
  TmuxSession session(80, 24);
  ASSERT_TRUE(session.WaitForText(kCriteriaCaption)) << session.LastScreen();
  CellPosition support = FindOnScreen(session.LastScreen(), "Support Info...");
  ASSERT_GE(support.row, 0);
  session.Click(support.row, support.col);
  ASSERT_TRUE(session.WaitForText("Program Version:")) << session.LastScreen();

  CellPosition caption = FindOnScreen(session.LastScreen(), "Support Information");
  CellPosition closeBox = FindOnScreen(session.LastScreen(), "[x]", caption.row);
  ASSERT_EQ(closeBox.row, caption.row) << session.LastScreen();
  session.Click(closeBox.row, closeBox.col + 1);
  ASSERT_TRUE(session.WaitFor([](const std::string& screen) {
    return !Contains(screen, "Program Version:");
  })) << session.LastScreen();

  EnterCriteria(session, tree.Path(), "*.txt", "needle");
  session.Keys({"Enter"});
  ASSERT_TRUE(session.WaitForText("+ " + tree.Path() + "/a.txt")) << session.LastScreen();
  CellPosition line = FindOnScreen(session.LastScreen(), "+ " + tree.Path());
  session.Click(line.row, line.col);
  session.Click(line.row, line.col);
  ASSERT_TRUE(session.WaitForText("     . 1 needle")) << session.LastScreen();
  EXPECT_TRUE(Contains(session.LastScreen(), "- " + tree.Path() + "/a.txt"));
}

struct WayOut {
  const char* name;
  // Keys, or a signal sent to the program when keys is empty.
  std::vector<std::string> keys;
  int signal;
  // The status the shell sees; kAnyFailure where a sanitizer may report first.
  int status;
};
constexpr int kAnyFailure = -2;

class TerminalRestored : public testing::TestWithParam<WayOut> {};

TEST_P(TerminalRestored, ModesScreenMouseAndCursorComeBack) {
  const WayOut& way = GetParam();
  TmuxSession session(80, 24);
  ASSERT_TRUE(session.WaitForText(kCriteriaCaption)) << session.LastScreen();
  ASSERT_EQ(session.Format("#{alternate_on}"), "1");
  if (way.keys.empty()) {
    int pid = session.ProgramPid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, way.signal), 0);
  } else {
    session.Keys(way.keys);
  }
  int status = session.WaitForExit();
  if (way.status == kAnyFailure) {
    EXPECT_GT(status, 0);
  } else {
    EXPECT_EQ(status, way.status);
  }
  EXPECT_EQ(session.ModesAfter(), session.ModesBefore());
  EXPECT_FALSE(session.ModesBefore().empty());
  EXPECT_EQ(session.Format("#{alternate_on}"), "0");
  EXPECT_EQ(session.Format("#{mouse_any_flag}"), "0");
  EXPECT_EQ(session.Format("#{cursor_flag}"), "1");
  EXPECT_EQ(session.Format("#{keypad_cursor_flag}"), "0");
}

INSTANTIATE_TEST_SUITE_P(EveryWayOut, TerminalRestored,
                         testing::Values(WayOut{"Escape", {"Escape"}, 0, 0},
                                         WayOut{"CtrlC", {"C-c"}, 0, 128 + SIGINT},
                                         WayOut{"Terminate", {}, SIGTERM, 128 + SIGTERM},
                                         WayOut{"HangUp", {}, SIGHUP, 128 + SIGHUP},
                                         WayOut{"Crash", {}, SIGSEGV, kAnyFailure}),
                         [](const testing::TestParamInfo<WayOut>& way) {
                           return std::string(way.param.name);
                         });

}  // namespace
