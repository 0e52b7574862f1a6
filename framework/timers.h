#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace framework {

class Window;

// A timer callback with the shape of the window system's: window, message,
// timer id and time (ms on the backend's clock).
using TIMERPROC = void (*)(Window* window, unsigned message, std::uintptr_t id, std::uint32_t time);
constexpr unsigned WM_TIMER = 0x0113;

// Window timers. A timer set at time T with period P is due at T+P, T+2P, ...
// until it is killed or its window is destroyed. Setting an id that is set
// already restarts it.
bool SetWindowTimer(Window& window, std::uintptr_t id, unsigned periodMs, TIMERPROC callback);
bool KillWindowTimer(Window& window, std::uintptr_t id);
void KillWindowTimers(Window& window);

struct TimerInfo {
  std::uintptr_t id;
  unsigned periodMs;
};
// The timers a window has set, in the order they were set.
std::vector<TimerInfo> WindowTimers(const Window& window);

// The earliest due time, or nothing when no timer is set.
std::optional<std::int64_t> NextTimerDue();
bool AnyTimerSet();
// Fires, in due order, each timer due at or before now. A callback never runs
// inside another timer callback.
void FireDueTimers(std::int64_t now);

}  // namespace framework
