#include "framework/dialog.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "framework/backend.h"
#include "framework/file_dialog.h"
#include "framework/message_box.h"
#include "ui/headless/script_backend.h"

namespace {

using namespace framework;

DialogTemplate EchoTemplate() {
  DialogTemplate dialog;
  dialog.id = 901;
  dialog.caption = "Echo";
  dialog.controls = {
      {21, ControlKind::Edit, "", {0, 0, 40, 12}, kStyleTabStop},
      {22, ControlKind::CheckBox, "Flag", {0, 20, 40, 12}, kStyleTabStop},
      {23, ControlKind::PushButton, "&Copy", {0, 40, 40, 12}, kStyleDefaultButton},
      {24, ControlKind::Static, "", {0, 60, 40, 12}, kStyleNone},
      {IDCANCEL, ControlKind::PushButton, "Cancel", {50, 40, 40, 12}, kStyleTabStop},
  };
  return dialog;
}

// Copies the edit's text to the static on every change; the copy itself
// writes controls through UpdateData, which must not come back as a change.
class EchoDialog : public CDialog {
 public:
  EchoDialog() : CDialog(templateData) {
    MapCommand(21, EN_CHANGE, &EchoDialog::OnTextChanged);
    MapCommand(23, BN_CLICKED, &EchoDialog::OnCopy);
  }
  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    text = "initial";
    UpdateData(false);
    return true;
  }
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, 21, text);
    DDX_Check(pDX, 22, flag);
    DDX_Text(pDX, 24, copy);
  }
  void OnTextChanged() {
    ++changes;
    UpdateData(true);
    copy = text + (flag ? "!" : "");
    text += "+";  // written back below; a notification from it would recurse
    UpdateData(false);
  }
  void OnCopy() {
    AfxMessageBox("copied");
    CFileDialog files(true, nullptr, nullptr, OFN_EXECUTABLES, "Programs|*||");
    if (files.DoModal() == IDOK)
      chosen = files.GetPathName();
  }

  static inline DialogTemplate templateData = EchoTemplate();
  std::string text;
  std::string copy;
  std::string chosen;
  int flag = 0;
  int changes = 0;
};

struct ScriptedRun {
  explicit ScriptedRun(const std::string& script) : input(script), backend(input, output, errors) {
    SetCurrentBackend(&backend);
  }
  ~ScriptedRun() { SetCurrentBackend(nullptr); }
  std::istringstream input;
  std::ostringstream output;
  std::ostringstream errors;
  headless::ScriptBackend backend;
};

TEST(DialogTest, DataExchangeWritesNeverReenterChangeHandlers) {
  ScriptedRun run("click 22\ntype 21 abc\ndump\nkey escape\n");
  EchoDialog dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.changes, 1);
  EXPECT_EQ(dialog.copy, "abc!");
  EXPECT_NE(run.output.str().find("  edit 21 \"abc+\" enabled\n"), std::string::npos)
      << run.output.str();
  EXPECT_EQ(run.errors.str(), "");
}

TEST(DialogTest, NestedMessageBoxAndFileDialogRunInsideTheHandler) {
  ScriptedRun run(
      "click 23\n"
      "dump\n"
      "key enter\n"
      "dump\n"
      "file /usr/bin/vi\n"
      "window 901\n"
      "click 2\n");
  EchoDialog dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.chosen, "/usr/bin/vi");
  const std::string out = run.output.str();
  EXPECT_NE(out.find("window message \"\" shown\n  static -1 \"copied\" enabled\n"
                     "  button 1 \"OK\" enabled default\nend\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("window file \"Open\" shown\nend\n"), std::string::npos) << out;
}

TEST(DialogTest, FileDialogCancelAndRefusedAnswers) {
  ScriptedRun run("file /nowhere\nclick 23\nkey enter\nfile-cancel\nkey escape\n");
  EchoDialog dialog;
  dialog.DoModal();
  EXPECT_EQ(dialog.chosen, "");
  EXPECT_NE(run.errors.str().find("no open-file dialog is waiting"), std::string::npos);
}

TEST(DialogTest, ActionsOnUnusableControlsAreRefusedOnStandardError) {
  ScriptedRun run("click 99\nclick 24\ntype 22 x\nadvance x\nbogus\nkey escape\n");
  EchoDialog dialog;
  dialog.DoModal();
  std::istringstream lines(run.errors.str());
  std::string line;
  int refusals = 0;
  while (std::getline(lines, line)) {
    EXPECT_EQ(line.rfind("morvel: script: ", 0), 0u) << line;
    ++refusals;
  }
  EXPECT_EQ(refusals, 5);
  EXPECT_EQ(dialog.changes, 0);
}

TEST(DialogTest, ParseFilterSplitsPairsUntilDoubleBar) {
  auto filters = CFileDialog::ParseFilter("Executable Files (*.exe) | *.exe||ignored|x");
  ASSERT_EQ(filters.size(), 1u);
  EXPECT_EQ(filters[0].description, "Executable Files (*.exe) ");
  EXPECT_EQ(filters[0].pattern, " *.exe");
}

}  // namespace
