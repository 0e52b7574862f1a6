// Edit File and Browse through scripted sessions: the editor is a small
// script that records how it was started.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/results/browse_session.h"

namespace {

using namespace browse_testing;

class EditorTest : public ::testing::Test {
 protected:
  EditorTest() : record(tools / "record"), editor(tools / "recorder") {
    // One printf per start: its argument count in brackets, then each
    // argument on a line of its own, appended in one write.
    tools.Write("recorder", "#!/bin/sh\nprintf '[%s]\\n' \"$#\" > \"" + record + ".$$\"\n" +
                                "printf '%s\\n' \"$@\" >> \"" + record + ".$$\"\n" + "cat \"" +
                                record + ".$$\" >> \"" + record + "\"\nrm -f \"" + record +
                                ".$$\"\n");
    chmod(editor.c_str(), 0755);
  }

  // The starts recorded so far, each its argument lines, once `count` have
  // arrived; fewer when they do not arrive within ten seconds.
  std::vector<std::vector<std::string>> WaitForStarts(std::size_t count) const {
    std::vector<std::vector<std::string>> starts;
    for (int attempt = 0; attempt < 500; ++attempt) {
      starts = Starts();
      if (starts.size() >= count)
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return starts;
  }

  std::vector<std::vector<std::string>> Starts() const {
    std::vector<std::vector<std::string>> starts;
    std::ifstream in(record);
    std::string line;
    while (std::getline(in, line)) {
      if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
        starts.emplace_back();
        int arguments = std::stoi(line.substr(1));
        for (int i = 0; i < arguments && std::getline(in, line); ++i)
          starts.back().push_back(line);
      }
    }
    return starts;
  }

  // The editor path a new session starts with, read back from the settings.
  std::string SavedEditor() const {
    ScriptRun run = session.Run(SearchScript(session.files.Path(), "*.none", "") + "dump\n");
    return ButtonLine(run.LastDump(), kEditorPath);
  }

  BrowseSession session;
  TempDir tools;
  std::string record;
  std::string editor;
};

// Every kind of line names its file; the path stays one argument however many
// spaces it holds, and the list, the selection and the buttons stay as they were.
TEST_F(EditorTest, StartsTheEditorOnTheSelectedEntrysFileFromEveryKindOfLine) {
  std::string a = session.files.Write("with space/a  b.txt", NumberedLines(9, {4}));
  std::string c = session.files.Write("with space/c d.txt", "needle\n");
  std::string before = "select 1005 0\nclick 4\nselect 1005 1\nclick 1012\n";
  const struct {
    const char* kind;
    int index;
    std::string path;
  } lines[] = {
      {"expanded file line", 0, a}, {"before-context line", 1, a}, {"match line", 2, a},
      {"after-context line", 3, a}, {"collapsed file line", 4, c},
  };
  std::string script = SearchScript(session.files / "with space", "*.txt", "needle") + "run\n" +
                       before + "type 1008 " + editor + "\n";
  for (const auto& line : lines)
    script += "select 1005 " + std::to_string(line.index) + "\ndump\nclick 3\ndump\n";
  ScriptRun run = session.Run(script);
  ASSERT_EQ(run.exitCode, 0) << run.err;

  auto dumps = run.Dumps();
  ASSERT_EQ(dumps.size(), 2 * std::size(lines));
  for (std::size_t i = 0; i < std::size(lines); ++i) {
    SCOPED_TRACE(lines[i].kind);
    EXPECT_EQ(Results(dumps[2 * i + 1]), Results(dumps[2 * i]));
  }
  std::vector<std::vector<std::string>> expected;
  for (const auto& line : lines)
    expected.push_back({line.path});
  std::vector<std::vector<std::string>> starts = WaitForStarts(expected.size());
  // The editors run side by side, so their records may come in any order.
  std::sort(starts.begin(), starts.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(starts, expected);
  EXPECT_EQ(SavedEditor(), "  edit 1008 " + Q(editor) + " enabled");
}

// Without a search string the line is the path itself; bytes a shell would
// read as syntax reach the editor untouched. The editor is found on PATH.
TEST_F(EditorTest, PlainPathLineIsThePathAndABareNameIsLookedUpOnPath) {
  std::string odd = session.files.Write("it's $HOME; `x` \"q\" & *.txt", "x\n");
  testing_support::ScriptOptions options;
  options.environment["PATH"] = tools.Path() + ":/usr/bin:/bin";
  ScriptRun run = session.Run(SearchScript(session.files.Path(), "*.txt", "") +
                                  "run\ntype 1008 recorder\nselect 1005 0\nclick 3\n",
                              options);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(WaitForStarts(1), (std::vector<std::vector<std::string>>{{odd}}));
}

TEST_F(EditorTest, FailedStartIsSilentAndTheEditorIsSavedAnyway) {
  session.files.Write("a.txt", "needle\n");
  std::string missing = tools / "no such editor";
  ScriptRun run =
      session.Run(SearchScript(session.files.Path(), "*.txt", "needle") + "run\ntype 1008 " +
                  missing + "\nselect 1005 0\ndump\nclick 3\ndump\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto dumps = run.Dumps();
  ASSERT_EQ(dumps.size(), 2u);
  EXPECT_EQ(dumps[1], dumps[0]) << "no message box and no change";
  EXPECT_EQ(SavedEditor(), "  edit 1008 " + Q(missing) + " enabled");
}

// Typing a path enables Edit File before any line is selected.
TEST_F(EditorTest, EditFileWithNothingSelectedStartsAndSavesNothing) {
  std::string a = session.files.Write("a.txt", "needle\n");
  std::string saved = SavedEditor();
  ScriptRun run = session.Run(SearchScript(session.files.Path(), "*.txt", "needle") +
                              "run\ntype 1008 " + editor + "\nclick 3\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(SavedEditor(), saved);

  // The same session with a line selected does start it, exactly once.
  run = session.Run(SearchScript(session.files.Path(), "*.txt", "needle") + "run\ntype 1008 " +
                    editor + "\nclick 3\nselect 1005 0\nclick 3\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(WaitForStarts(1), (std::vector<std::vector<std::string>>{{a}}));
}

// The chosen program goes into the field only; Edit File's state and the
// settings wait for the user's next action. The search goes on meanwhile.
TEST_F(EditorTest, BrowseFillsTheFieldOnOkAndKeepsItOnCancel) {
  session.files.Write("a.txt", "needle\n");
  session.files.Write("b.txt", "needle\n");
  std::string saved = SavedEditor();
  ScriptRun run = session.Run(SearchScript(session.files.Path(), "*.txt", "needle") +
                              "click 1009\nadvance 1000\nfile " + editor +
                              "\ndump\n"
                              "type 1008 /old/editor\nclick 1009\nfile-cancel\ndump\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto dumps = run.Dumps();
  ASSERT_EQ(dumps.size(), 2u);
  EXPECT_EQ(ButtonLine(dumps[0], kEditorPath), "  edit 1008 " + Q(editor) + " enabled");
  EXPECT_NE(ButtonLine(dumps[0], kEditFile).find(" disabled"), std::string::npos);
  EXPECT_EQ(ListItems(dumps[0]).size(), 2u) << "files found while the dialog was open";
  EXPECT_EQ(ButtonLine(dumps[1], kEditorPath), "  edit 1008 \"/old/editor\" enabled");
  EXPECT_EQ(SavedEditor(), saved);
}

}  // namespace
