#include "criteria/find_dialog.h"

#include "app/support_dialog.h"
#include "framework/app.h"
#include "res/resource.h"
#include "res/templates.h"
#include "results/list_dialog.h"

using framework::CDataExchange;

namespace {
constexpr int kHistoryValuesRead = 20;

std::string HistoryValueName(int number) {
  return "Saved directory #" + std::to_string(number);
}
}  // namespace

CFindDialog::CFindDialog(std::string title, framework::CDialog* parent)
    : CDialog(res::FindFilesTemplate(), parent),
      profileSection("Find Files Dialog"),
      windowTitle(std::move(title)) {
  MapCommand(res::IDC_SEARCH, framework::BN_CLICKED, &CFindDialog::OnSearch);
  MapCommand(res::IDC_START_DIRECTORY, framework::CBN_EDITCHANGE, &CFindDialog::OnDirectoryEdited);
  MapCommand(res::IDC_START_DIRECTORY, framework::CBN_EDITUPDATE, &CFindDialog::OnDirectoryEdited);
  MapCommand(res::IDC_START_DIRECTORY, framework::CBN_SELCHANGE, &CFindDialog::OnDirectorySelected);
  MapCommand(res::IDC_FILENAME_PATTERN, framework::EN_CHANGE, &CFindDialog::OnPatternChanged);
  MapCommand(res::IDC_SEARCH_STRING, framework::EN_CHANGE, &CFindDialog::OnSearchStringChanged);
  MapCommand(res::IDC_SUPPORT_INFO, framework::BN_CLICKED, &CFindDialog::OnSupportInfo);
}

int CFindDialog::DoModal() {
  return CDialog::DoModal();
}

bool CFindDialog::DestroyWindow() {
  return CDialog::DestroyWindow();
}

void CFindDialog::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  framework::DDX_Text(pDX, res::IDC_START_DIRECTORY, startDirectory);
  framework::DDX_Text(pDX, res::IDC_FILENAME_PATTERN, filenamePatterns);
  framework::DDX_Text(pDX, res::IDC_SEARCH_STRING, searchString);
  framework::DDX_Check(pDX, res::IDC_SEARCH_SUBDIRECTORIES, searchSubdirectories);
  framework::DDX_Check(pDX, res::IDC_IGNORE_CASE, ignoreCase);
}

bool CFindDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  framework::CWinApp* app = framework::AfxGetApp();
  startDirectory = app->GetProfileString(profileSection, "Search Directory");
  filenamePatterns = app->GetProfileString(profileSection, "Filename Search Pattern");
  searchString = app->GetProfileString(profileSection, "Search Pattern");
  searchSubdirectories = app->GetProfileInt(profileSection, "Subdirectory Flag", 0);
  ignoreCase = app->GetProfileInt(profileSection, "Ignore Case Flag", 0);

  framework::ComboBox* history = GetComboBox(res::IDC_START_DIRECTORY);
  for (int number = 0; number < kHistoryValuesRead; ++number) {
    std::string directory = app->GetProfileString(profileSection, HistoryValueName(number));
    if (directory.empty())
      continue;
    if (history->FindStringExact(-1, directory) == framework::CB_ERR) {
      history->AddString(directory);
    }
  }
  history->SelectString(-1, startDirectory);

  UpdateData(false);
  OnSearchStringChanged();
  UpdateSearchButton();
  SetWindowText(windowTitle);
  return true;
}

void CFindDialog::UpdateSearchButton() {
  UpdateData(true);
  GetDlgItem(res::IDC_SEARCH)->EnableWindow(!startDirectory.empty() && !filenamePatterns.empty());
}

void CFindDialog::OnDirectoryEdited() {
  UpdateSearchButton();
}

void CFindDialog::OnPatternChanged() {
  UpdateSearchButton();
}

void CFindDialog::OnSearchStringChanged() {
  UpdateData(true);
  GetDlgItem(res::IDC_IGNORE_CASE)->EnableWindow(!searchString.empty());
}

void CFindDialog::OnDirectorySelected() {
  framework::ComboBox* history = GetComboBox(res::IDC_START_DIRECTORY);
  int selection = history->GetCurSel();
  if (selection != framework::CB_ERR)
    startDirectory = history->GetLBText(selection);
  UpdateData(false);
  UpdateSearchButton();
}

void CFindDialog::NormalizeDirectory(std::string& directory) {
  bool hadSlash = directory.find('/') != std::string::npos;
  while (!directory.empty() && (directory.back() == '/' || directory.back() == ' ')) {
    directory.pop_back();
  }
  // Removing the separators of "/" (or "//", "/ ") would leave nothing to
  // search; what the user meant is the root.
  if (directory.empty() && hadSlash)
    directory = "/";
}

void CFindDialog::OnSupportInfo() {
  CSupportDialog support(nullptr);
  support.DoModal();
}

void CFindDialog::SaveHistory() {
  framework::CWinApp* app = framework::AfxGetApp();
  framework::ComboBox* history = GetComboBox(res::IDC_START_DIRECTORY);
  for (int i = 0; i < history->GetCount(); ++i) {
    app->WriteProfileString(profileSection, HistoryValueName(i), history->GetLBText(i));
  }
}

void CFindDialog::OnSearch() {
  UpdateData(true);
  NormalizeDirectory(startDirectory);

  framework::CWinApp* app = framework::AfxGetApp();
  app->WriteProfileString(profileSection, "Search Directory", startDirectory);
  app->WriteProfileString(profileSection, "Filename Search Pattern", filenamePatterns);
  app->WriteProfileString(profileSection, "Search Pattern", searchString);
  app->WriteProfileInt(profileSection, "Subdirectory Flag", searchSubdirectories);
  app->WriteProfileInt(profileSection, "Ignore Case Flag", ignoreCase);

  framework::ComboBox* history = GetComboBox(res::IDC_START_DIRECTORY);
  if (history->FindStringExact(-1, startDirectory) == framework::CB_ERR) {
    history->AddString(startDirectory);
  }
  SaveHistory();

  ShowWindow(framework::SW_HIDE);
  CListDialog results(startDirectory, filenamePatterns, searchString, searchSubdirectories,
                      ignoreCase);
  results.DoModal();
  if (results.IsAnotherSearch()) {
    ShowWindow(framework::SW_SHOWNORMAL);
  } else {
    DestroyWindow();
  }
}
