#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/directory_walker.h"
#include "framework/timers.h"

class CListDialog;

namespace engine {

// The search timer: window timer 1 of the results dialog, every 20 ms.
inline constexpr std::uintptr_t kSearchTimerId = 1;
inline constexpr unsigned kSearchTimerPeriodMs = 20;

// The running search, one for the process: the timer callback gets no
// context and reaches the search only through this record.
struct SearchState {
  // The walker of the pattern being searched; null before a search starts
  // and once it has finished or been abandoned.
  std::unique_ptr<CDirectoryWalker> currentWalker;
  // The start directory, for the walkers of the second and later patterns.
  std::string searchDirectory;
  // The dialog whose search is running; never a dialog that has closed.
  CListDialog* ownerDialog = nullptr;
  // 1 while the search timer is set.
  std::int32_t timerRunning = 0;
  // Set by STOP; the next tick ends the search.
  std::int32_t stopRequested = 0;
};

extern SearchState searchState;

// One tick of the search: examines the next file of the current pattern, or
// moves on to the next pattern, or finishes. The arguments are ignored.
void SearchTimerProc(framework::Window* window, unsigned message, std::uintptr_t id,
                     std::uint32_t time);

}  // namespace engine
