#pragma once

#include <string>

#include "framework/dialog.h"

// The search criteria dialog: the start directory (typed or picked from the
// history), the filename patterns, an optional text to find in the files and
// the two options. It lives for the whole run and runs one results dialog
// per search.
class CFindDialog : public framework::CDialog {
 public:
  CFindDialog(std::string windowTitle, framework::CDialog* parent);

  const char* GetRuntimeClassName() const override { return "CFindDialog"; }
  bool OnInitDialog() override;
  bool DestroyWindow() override;
  int DoModal() override;

  // Rewrites a start directory in place: trailing "/" and spaces go, but a
  // text of slashes keeps the root "/".
  static void NormalizeDirectory(std::string& directory);
  // Enables Search while both the directory and the patterns are non-empty.
  void UpdateSearchButton();

 protected:
  void DoDataExchange(framework::CDataExchange* pDX) override;

 private:
  void OnSearch();
  void OnDirectoryEdited();
  void OnDirectorySelected();
  void OnPatternChanged();
  void OnSearchStringChanged();
  void OnSupportInfo();
  void SaveHistory();

  std::string startDirectory;
  std::string filenamePatterns;
  std::string searchString;
  int searchSubdirectories = 0;
  int ignoreCase = 0;
  std::string profileSection;
  std::string windowTitle;
};
