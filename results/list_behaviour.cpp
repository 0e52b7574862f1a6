#include <string_view>

#include "engine/search_driver.h"
#include "framework/app.h"
#include "framework/program_launch.h"
#include "platform/process/process.h"
#include "res/resource.h"
#include "results/list_dialog.h"

namespace {

constexpr int kListExtentPixels = 1000;

void Enable(framework::CDialog& dialog, int id, bool enable) {
  if (framework::Control* control = dialog.GetDlgItem(id))
    control->EnableWindow(enable);
}

std::string_view FirstWord(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\n\v\f\r";
  std::size_t start = text.find_first_not_of(kBlanks);
  if (start == std::string_view::npos)
    return {};
  text.remove_prefix(start);
  return text.substr(0, text.find_first_of(kBlanks));
}

}  // namespace

std::string CListDialog::DefaultEditor() {
  std::string editor;
  for (const char* variable : {"VISUAL", "EDITOR"}) {
    std::optional<std::string> value = platform::Environment(variable);
    if (value && !FirstWord(*value).empty()) {
      editor = std::string(FirstWord(*value));
      break;
    }
  }
  if (editor.empty())
    editor = framework::ProgramsRunInForeground() ? "vi" : "xdg-open";
  // A full path is what the user sees in the field and what Edit File saves;
  // a name that is not on PATH stays as it is.
  return platform::ResolveProgram(editor).value_or(editor);
}

bool CListDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  editorPath = framework::AfxGetApp()->GetProfileString(profileSection, "Editor", DefaultEditor());
  Enable(*this, res::IDC_EDIT_FILE, false);
  Enable(*this, res::IDC_WIDEN, false);
  Enable(*this, res::IDC_NARROW, false);
  if (searchString.empty())
    Enable(*this, res::IDC_EXPAND, false);
  UpdateData(false);

  framework::ListBox* list = ResultsList();
  list->SetSortKey([this](std::string_view text) { return SortKeyOf(text); });

  engine::searchState.timerRunning = 0;
  engine::searchState.stopRequested = 0;
  engine::searchState.ownerDialog = nullptr;
  StartSearch();
  list->SetHorizontalExtent(kListExtentPixels);
  return true;
}

void CListDialog::UpdateControls() {
  UpdateData(true);
  Enable(*this, res::IDC_EDIT_FILE, !editorPath.empty());

  std::string_view selected;
  if (framework::ListBox* list = ResultsList(); list && list->GetCurSel() != framework::LB_ERR)
    selected = list->GetText(list->GetCurSel());

  if (framework::Control* expand = GetDlgItem(res::IDC_EXPAND))
    expand->SetWindowText(selected.starts_with(filePrefix) ? "E&xpand" : "&Contract");
  bool onContentLine = IsContentLine(selected);
  Enable(*this, res::IDC_NARROW, onContentLine);
  Enable(*this, res::IDC_WIDEN, onContentLine);
}

void CListDialog::OnStop() {
  engine::searchState.stopRequested = 1;
}

void CListDialog::OnAnotherSearch() {
  anotherSearch = 1;
  DestroyWindow();
}
