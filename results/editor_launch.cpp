// Edit File and Browse: opening the selected entry's file in the editor
// program, and choosing that program.
#include <vector>

#include "framework/app.h"
#include "framework/file_dialog.h"
#include "framework/program_launch.h"
#include "framework/window.h"
#include "res/resource.h"
#include "results/list_dialog.h"

void CListDialog::OnEditFile() {
  UpdateData(true);
  // The path field can enable Edit File before any line is selected; with
  // no file to open, nothing is saved or started.
  auto selection = SelectedLine();
  if (!selection)
    return;
  auto [list, selected] = *selection;
  std::string path = PathOfFileLine(list->GetText(FindFileLine(*list, selected)));

  // Saved before the launch, whether or not the editor then starts.
  framework::AfxGetApp()->WriteProfileString(profileSection, "Editor", editorPath);
  LaunchEditor(editorPath, path, "", "", "", "", "");
}

int CListDialog::LaunchEditor(std::string program, std::string a1, std::string a2, std::string a3,
                              std::string a4, std::string a5, std::string a6) {
  if (program.empty())
    return 0;
  // Each argument reaches the program as one argument, whatever spaces or
  // other bytes it holds; no shell and no command line stand in between.
  // Empty ones are unused slots, not empty arguments.
  std::vector<std::string> args;
  for (std::string* arg : {&a1, &a2, &a3, &a4, &a5, &a6}) {
    if (!arg->empty())
      args.push_back(std::move(*arg));
  }
  return framework::StartProgram(program, args) ? 1 : 0;
}

void CListDialog::OnBrowse() {
  // Programs carry no extension here, so the dialog lists directories and
  // executable files instead of filtering by name.
  framework::CFileDialog dialog(true, nullptr, nullptr, framework::OFN_EXECUTABLES,
                                "Executable Files|*||");
  if (dialog.DoModal() != framework::IDOK)
    return;
  editorPath = dialog.GetPathName();
  UpdateData(false);
}
