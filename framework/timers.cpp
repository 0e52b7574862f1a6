#include "framework/timers.h"

#include <algorithm>
#include <vector>

#include "framework/backend.h"
#include "framework/window.h"

namespace framework {

namespace {

struct TimerEntry {
  Window* window;
  std::uintptr_t id;
  unsigned periodMs;
  TIMERPROC callback;
  std::int64_t due;
  std::uint64_t order;  // ties between equal due times go to the timer set first
};

std::vector<TimerEntry>& Timers() {
  static std::vector<TimerEntry> timers;
  return timers;
}

std::uint64_t nextOrder = 1;
bool firing = false;

std::int64_t Now() {
  Backend* backend = CurrentBackend();
  return backend ? backend->NowMs() : 0;
}

void Notify() {
  if (Backend* backend = CurrentBackend())
    backend->TimersChanged();
}

auto FindTimer(const Window& window, std::uintptr_t id) {
  return std::find_if(Timers().begin(), Timers().end(), [&](const TimerEntry& entry) {
    return entry.window == &window && entry.id == id;
  });
}

}  // namespace

bool SetWindowTimer(Window& window, std::uintptr_t id, unsigned periodMs, TIMERPROC callback) {
  if (window.IsDestroyed())
    return false;
  unsigned period = periodMs == 0 ? 1 : periodMs;
  std::int64_t due = Now() + period;
  auto found = FindTimer(window, id);
  if (found != Timers().end()) {
    found->periodMs = period;
    found->callback = callback;
    found->due = due;
    found->order = nextOrder++;
  } else {
    Timers().push_back({&window, id, period, callback, due, nextOrder++});
  }
  Notify();
  return true;
}

bool KillWindowTimer(Window& window, std::uintptr_t id) {
  auto found = FindTimer(window, id);
  if (found == Timers().end())
    return false;
  Timers().erase(found);
  Notify();
  return true;
}

void KillWindowTimers(Window& window) {
  auto& timers = Timers();
  auto before = timers.size();
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [&](const TimerEntry& entry) { return entry.window == &window; }),
               timers.end());
  if (timers.size() != before)
    Notify();
}

std::vector<TimerInfo> WindowTimers(const Window& window) {
  std::vector<const TimerEntry*> mine;
  for (const TimerEntry& entry : Timers()) {
    if (entry.window == &window)
      mine.push_back(&entry);
  }
  std::sort(mine.begin(), mine.end(),
            [](const TimerEntry* a, const TimerEntry* b) { return a->order < b->order; });
  std::vector<TimerInfo> result;
  for (const TimerEntry* entry : mine)
    result.push_back({entry->id, entry->periodMs});
  return result;
}

std::optional<std::int64_t> NextTimerDue() {
  std::optional<std::int64_t> earliest;
  for (const TimerEntry& entry : Timers()) {
    if (!earliest || entry.due < *earliest)
      earliest = entry.due;
  }
  return earliest;
}

bool AnyTimerSet() {
  return !Timers().empty();
}

void FireDueTimers(std::int64_t now) {
  if (firing)
    return;
  firing = true;
  // Each pass fires the earliest due timer; callbacks may set and kill timers.
  for (int guard = 0; guard < 100000; ++guard) {
    auto& timers = Timers();
    auto earliest = timers.end();
    for (auto it = timers.begin(); it != timers.end(); ++it) {
      if (it->due > now)
        continue;
      if (earliest == timers.end() || it->due < earliest->due ||
          (it->due == earliest->due && it->order < earliest->order)) {
        earliest = it;
      }
    }
    if (earliest == timers.end())
      break;
    Window* window = earliest->window;
    std::uintptr_t id = earliest->id;
    TIMERPROC callback = earliest->callback;
    std::int64_t next = earliest->due + earliest->periodMs;
    // A late timer does not fire again for every period it missed.
    earliest->due = next > now ? next : now + earliest->periodMs;
    if (callback)
      callback(window, WM_TIMER, id, static_cast<std::uint32_t>(now));
  }
  firing = false;
}

}  // namespace framework
