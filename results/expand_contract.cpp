// Expand and Contract: one handler that opens a collapsed file line into its
// match lines, or folds an expanded file's block back into its file line.
#include "framework/window.h"
#include "res/resource.h"
#include "results/list_dialog.h"

void CListDialog::OnExpand() {
  // Without a search string there is nothing to list inside a file.
  if (searchString.empty())
    return;
  // Enter reaches the default button before anything is selected.
  auto selection = SelectedLine();
  if (!selection)
    return;
  auto [list, selected] = *selection;

  // Whether to expand or contract is decided by the file line, not by the
  // caption of button 4.
  int fileLine = FindFileLine(*list, selected);
  std::string text = list->GetText(fileLine);
  if (text.starts_with(filePrefix)) {
    std::string path = text.substr(filePrefix.size());
    // Delete and insert at the same index: an insert is never re-sorted, so
    // the block stays where the file line was.
    list->DeleteString(fileLine);
    list->InsertString(fileLine, expandedPrefix + path);
    list->SetCurSel(fileLine);
    ScanFile(searchString, path, 1, fileLine, ".");
    UpdateControls();
  } else if (text.starts_with(expandedPrefix)) {
    std::string path = text.substr(expandedPrefix.size());
    list->DeleteString(fileLine);
    list->InsertString(fileLine, filePrefix + path);
    list->SetCurSel(fileLine);
    // Every content line of the block goes, context lines included; the
    // next file's line or the end of the list stops it.
    int next = fileLine + 1;
    while (next < list->GetCount() && IsContentLine(list->GetText(next)))
      list->DeleteString(next);
    UpdateControls();
  }
}
