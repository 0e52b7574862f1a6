#include "results/list_dialog.h"

#include <utility>

#include "engine/content_scanner.h"
#include "framework/message_box.h"
#include "res/resource.h"
#include "res/templates.h"

CListDialog::CListDialog(std::string startDirectoryValue, std::string patternText,
                         std::string searchStringValue, int searchSubdirectoriesValue,
                         int ignoreCaseValue)
    : CDialog(res::ListFilesTemplate()),
      searchString(std::move(searchStringValue)),
      startDirectory(std::move(startDirectoryValue)) {
  ParsePatterns(std::move(patternText));
  searchSubdirectories = searchSubdirectoriesValue;
  ignoreCase = ignoreCaseValue;
  anotherSearch = 0;
  profileSection = "List Files Dialog";
  filePrefix = "+ ";
  expandedPrefix = "- ";
  contentIndent = "     ";

  using framework::BN_CLICKED;
  MapCommand(res::IDC_EDIT_FILE, BN_CLICKED, &CListDialog::OnEditFile);
  MapCommand(res::IDC_RESULTS_LIST, framework::LBN_DBLCLK, &CListDialog::OnExpand);
  MapCommand(res::IDC_RESULTS_LIST, framework::LBN_SELCHANGE, &CListDialog::UpdateControls);
  MapCommand(res::IDC_BROWSE, BN_CLICKED, &CListDialog::OnBrowse);
  MapCommand(res::IDC_EXPAND, BN_CLICKED, &CListDialog::OnExpand);
  MapCommand(res::IDC_ANOTHER_SEARCH, BN_CLICKED, &CListDialog::OnAnotherSearch);
  MapCommand(res::IDC_EDITOR_PATH, framework::EN_CHANGE, &CListDialog::UpdateControls);
  MapCommand(res::IDC_NARROW, BN_CLICKED, &CListDialog::OnNarrow);
  MapCommand(res::IDC_WIDEN, BN_CLICKED, &CListDialog::OnWiden);
  MapCommand(res::IDC_STOP, BN_CLICKED, &CListDialog::OnStop);
}

CListDialog::~CListDialog() {
  AbandonSearch();
}

int CListDialog::DoModal() {
  int result = CDialog::DoModal();
  // However the dialog ended, a search still running belongs to a window
  // that is gone.
  AbandonSearch();
  return result;
}

int CListDialog::IsAnotherSearch() const {
  return anotherSearch;
}

void CListDialog::DoDataExchange(framework::CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  framework::DDX_Text(pDX, res::IDC_EDITOR_PATH, editorPath);
}

bool CListDialog::ParsePatterns(std::string text) {
  if (engine::SplitPatterns(text, patternList))
    return true;
  // The text is built from the constant; nothing the user typed is a format.
  framework::AfxMessageBox("Too many filename patterns (" +
                           std::to_string(engine::PatternList::kMaxPatterns) + " max)");
  return false;
}

int CListDialog::ScanFile(std::string searchText, std::string path, int mode, int index,
                          std::string marker) {
  framework::ListBox* list = ResultsList();
  int insertAt = index;
  return engine::ScanFile(searchText, path, mode, ignoreCase != 0, contentIndent, marker,
                          [list, &insertAt](std::string&& entry) {
                            if (list)
                              list->InsertString(++insertAt, std::move(entry));
                          });
}

framework::ListBox* CListDialog::ResultsList() const {
  return GetListBox(res::IDC_RESULTS_LIST);
}

std::optional<std::pair<framework::ListBox*, int>> CListDialog::SelectedLine() const {
  framework::ListBox* list = ResultsList();
  if (!list || list->GetCurSel() == framework::LB_ERR)
    return std::nullopt;
  return std::make_pair(list, list->GetCurSel());
}
