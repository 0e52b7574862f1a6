#include "engine/search_driver.h"

#include "res/resource.h"
#include "results/list_dialog.h"

namespace engine {

SearchState searchState;

void SearchTimerProc(framework::Window* /*window*/, unsigned /*message*/, std::uintptr_t /*id*/,
                     std::uint32_t /*time*/) {
  CListDialog* dialog = searchState.ownerDialog;
  if (!dialog || !dialog->GetSafeWindow() || !searchState.currentWalker)
    return;
  if (searchState.stopRequested) {
    dialog->DisarmTimer();
    dialog->FinishSearch();
    return;
  }
  dialog->DisarmTimer();

  std::string entry = searchState.currentWalker->NextPath();
  if (entry.empty()) {
    const std::vector<std::string>& slots = dialog->patternList.slots;
    ++dialog->currentPattern;
    // An empty slot is the end marker or an empty entry of the pattern text;
    // either ends the search.
    if (dialog->currentPattern >= slots.size() || slots[dialog->currentPattern].empty()) {
      dialog->FinishSearch();
      return;
    }
    searchState.currentWalker.reset();
    searchState.currentWalker = std::make_unique<CDirectoryWalker>(
        searchState.searchDirectory, slots[dialog->currentPattern],
        dialog->searchSubdirectories != 0);
    searchState.currentWalker->Rewind();
    entry = searchState.currentWalker->NextPath();
  }

  if (framework::Control* status = dialog->GetDlgItem(res::IDC_STATUS))
    status->SetWindowText(entry);
  if (!entry.empty() && dialog->ScanFile(dialog->searchString, entry, 0, 0, "") != 0) {
    if (framework::ListBox* list = dialog->ResultsList()) {
      list->AddString(dialog->searchString.empty() ? entry : dialog->filePrefix + entry);
    }
  }
  dialog->ArmTimer();
}

}  // namespace engine

using engine::searchState;

void CListDialog::StartSearch() {
  UpdateData(true);
  currentPattern = 0;
  searchState.searchDirectory = startDirectory;
  // The first pattern is walked even when it is empty: it then finds nothing
  // and the first tick moves on to the next slot.
  const std::string firstPattern = patternList.slots.empty() ? "" : patternList.slots.front();
  searchState.currentWalker =
      std::make_unique<CDirectoryWalker>(startDirectory, firstPattern, searchSubdirectories != 0);
  searchState.currentWalker->Rewind();
  searchState.ownerDialog = this;
  ArmTimer();
}

void CListDialog::ArmTimer() {
  if (searchState.timerRunning)
    return;
  SetTimer(engine::kSearchTimerId, engine::kSearchTimerPeriodMs, engine::SearchTimerProc);
  searchState.timerRunning = 1;
}

void CListDialog::DisarmTimer() {
  if (!searchState.timerRunning)
    return;
  KillTimer(engine::kSearchTimerId);
  searchState.timerRunning = 0;
}

void CListDialog::FinishSearch() {
  if (searchState.currentWalker) {
    searchState.currentWalker.reset();
    if (framework::Control* stop = GetDlgItem(res::IDC_STOP))
      stop->DestroyWindow();
  }
  if (framework::Control* status = GetDlgItem(res::IDC_STATUS))
    status->SetWindowText("");
}

void CListDialog::AbandonSearch() {
  if (searchState.ownerDialog != this)
    return;
  // The timer went with the window; what is left is the walker and the
  // pointer back to this dialog.
  searchState.currentWalker.reset();
  searchState.ownerDialog = nullptr;
  searchState.timerRunning = 0;
  searchState.stopRequested = 0;
}
