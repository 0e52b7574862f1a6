// NOT DONE YET: placeholders for Expand and Contract, Narrow and Widen, Edit
// File and Browse, so the command table links. Each one does nothing for now;
// the browsing commands replace this whole file.
#include "results/list_dialog.h"

void CListDialog::OnExpand() {}

void CListDialog::OnWiden() {}

void CListDialog::OnNarrow() {}

void CListDialog::OnEditFile() {}

void CListDialog::OnBrowse() {}

int CListDialog::LaunchEditor(std::string /*program*/, std::string /*a1*/, std::string /*a2*/,
                              std::string /*a3*/, std::string /*a4*/, std::string /*a5*/,
                              std::string /*a6*/) {
  return 0;
}
