#include "framework/timers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/backend.h"
#include "framework/window.h"

namespace {

using namespace framework;

// A clock the test moves by hand.
class ClockBackend : public Backend {
 public:
  void WindowCreated(Window&) override {}
  void WindowDestroyed(Window&) override {}
  void WindowChanged(Window&) override {}
  void ControlChanged(Control&) override {}
  void ListRowsInserted(ListBox&, int, int) override {}
  void ListRowsRemoved(ListBox&, int, int) override {}
  void RunModalLoop(Window&, const std::function<bool()>&) override {}
  std::optional<std::string> RunOpenFileDialog(Window&, const OpenFileRequest&) override {
    return {};
  }
  std::int64_t NowMs() override { return now; }
  std::int64_t now = 0;
};

std::vector<std::string> fired;

void Record(Window* /*window*/, unsigned /*message*/, std::uintptr_t id, std::uint32_t time) {
  fired.push_back(std::to_string(id) + "@" + std::to_string(time));
}

void KillsItself(Window* window, unsigned, std::uintptr_t id, std::uint32_t time) {
  Record(window, 0, id, time);
  KillWindowTimer(*window, id);
}

class TimersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fired.clear();
    SetCurrentBackend(&clock);
  }
  void TearDown() override { SetCurrentBackend(nullptr); }
  void AdvanceTo(std::int64_t time) {
    while (auto due = NextTimerDue()) {
      if (*due > time)
        break;
      clock.now = *due;
      FireDueTimers(clock.now);
    }
    clock.now = time;
  }
  ClockBackend clock;
  DialogTemplate emptyTemplate;
};

TEST_F(TimersTest, PeriodicTimersFireInTimeOrder) {
  Window window(WindowKind::Dialog, emptyTemplate, nullptr);
  SetWindowTimer(window, 1, 20, Record);
  clock.now = 5;
  SetWindowTimer(window, 2, 30, Record);
  AdvanceTo(60);
  EXPECT_EQ(fired, (std::vector<std::string>{"1@20", "2@35", "1@40", "1@60"}));
}

TEST_F(TimersTest, KilledTimersAndDestroyedWindowsStopFiring) {
  Window window(WindowKind::Dialog, emptyTemplate, nullptr);
  Window other(WindowKind::Dialog, emptyTemplate, nullptr);
  SetWindowTimer(window, 1, 10, KillsItself);
  SetWindowTimer(other, 7, 10, Record);
  AdvanceTo(10);
  other.Destroy();
  AdvanceTo(100);
  EXPECT_EQ(fired, (std::vector<std::string>{"1@10", "7@10"}));
  EXPECT_FALSE(AnyTimerSet());
}

TEST_F(TimersTest, SettingAgainRestartsTheTimer) {
  Window window(WindowKind::Dialog, emptyTemplate, nullptr);
  SetWindowTimer(window, 1, 20, Record);
  clock.now = 15;
  SetWindowTimer(window, 1, 20, Record);
  ASSERT_EQ(WindowTimers(window).size(), 1u);
  AdvanceTo(35);
  EXPECT_EQ(fired, (std::vector<std::string>{"1@35"}));
  KillWindowTimers(window);
}

TEST_F(TimersTest, ALateTimerFiresOnceNotOncePerMissedPeriod) {
  Window window(WindowKind::Dialog, emptyTemplate, nullptr);
  SetWindowTimer(window, 3, 20, Record);
  clock.now = 95;
  FireDueTimers(clock.now);
  EXPECT_EQ(fired, (std::vector<std::string>{"3@95"}));
  EXPECT_EQ(NextTimerDue(), 115);
  KillWindowTimers(window);
}

}  // namespace
