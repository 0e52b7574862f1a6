// Runs a whole search through CListDialog and its 20 ms timer on a real
// clock, and compares the elapsed time with the least the design allows: one
// tick per file plus the tick that finds the patterns used up, each 20 ms
// after the previous one, plus the walk and the scans, measured alone.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "engine/content_scanner.h"
#include "engine/directory_walker.h"
#include "engine/search_driver.h"
#include "framework/app.h"
#include "framework/backend.h"
#include "framework/timers.h"
#include "framework/window.h"
#include "res/resource.h"
#include "results/list_dialog.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDirectories = 10;
constexpr int kFilesPerDirectory = 100;
constexpr int kFiles = kDirectories * kFilesPerDirectory;
constexpr double kAllowedOverheadPercent = 5.0;
const char* const kNeedle = "needle";

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A backend on the real clock: the modal loop sleeps until the next timer is
// due and fires it, and closes the dialog once its search has finished (the
// STOP button is gone).
class RealClockBackend : public framework::Backend {
 public:
  void WindowCreated(framework::Window&) override {}
  void WindowDestroyed(framework::Window&) override {}
  void WindowChanged(framework::Window&) override {}
  void ControlChanged(framework::Control&) override {}
  void ListRowsInserted(framework::ListBox&, int, int) override {}
  void ListRowsRemoved(framework::ListBox&, int, int) override {}

  void RunModalLoop(framework::Window& window, const std::function<bool()>& finished) override {
    while (!finished()) {
      framework::Control* stop = window.Find(res::IDC_STOP);
      if (stop && stop->IsDestroyed()) {
        if (auto* list = dynamic_cast<framework::ListBox*>(window.Find(res::IDC_RESULTS_LIST)))
          listed_ = list->GetCount();
        window.Events()->OnCloseRequest();
        continue;
      }
      std::optional<std::int64_t> due = framework::NextTimerDue();
      if (!due) {
        std::fprintf(stderr, "the search stopped without finishing\n");
        window.Events()->OnCloseRequest();
        continue;
      }
      std::this_thread::sleep_until(start_ + std::chrono::milliseconds(*due));
      framework::FireDueTimers(NowMs());
    }
  }
  std::optional<std::string> RunOpenFileDialog(framework::Window&,
                                               const framework::OpenFileRequest&) override {
    return std::nullopt;
  }
  // Whole milliseconds, as the timers take them: a tick that starts on the
  // due millisecond and takes less than one sets the next 20 ms on.
  std::int64_t NowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
  }
  // The lines in the results list when the search finished.
  int Listed() const { return listed_; }

 private:
  int listed_ = -1;
  Clock::time_point start_ = Clock::now();
};

// 1,000 files of about 4 KB in ten directories; every other one holds the
// needle near its end, so half the scans read the whole file.
std::string MakeTree() {
  char pattern[] = "/tmp/morveldriverXXXXXX";
  if (!mkdtemp(pattern)) {
    std::perror("mkdtemp");
    std::exit(2);
  }
  std::string root = pattern;
  std::string filler;
  for (int line = 0; line < 80; ++line)
    filler += "line " + std::to_string(line) + " of some ordinary text in a file\n";
  for (int d = 0; d < kDirectories; ++d) {
    std::string directory = root + "/dir" + std::to_string(d);
    std::filesystem::create_directories(directory);
    for (int f = 0; f < kFilesPerDirectory; ++f) {
      std::ofstream file(directory + "/file" + std::to_string(f) + ".c", std::ios::binary);
      file << filler << ((f % 2 == 0) ? kNeedle : "haystack") << "\n";
    }
  }
  return root;
}

struct Alone {
  double walkMs = 0;
  double scanMs = 0;
  int files = 0;
  int matching = 0;
};

Alone MeasureAlone(const std::string& root) {
  Alone alone;
  Clock::time_point start = Clock::now();
  CDirectoryWalker walker(root, "*.c", true);
  walker.Rewind();
  alone.walkMs = MsSince(start);
  const std::string contentIndent = "     ";
  for (std::string path = walker.NextPath(); !path.empty(); path = walker.NextPath()) {
    start = Clock::now();
    int found = engine::ScanFile(kNeedle, path, 0, false, contentIndent, "", [](std::string&&) {});
    alone.scanMs += MsSince(start);
    ++alone.files;
    alone.matching += found != 0;
  }
  return alone;
}

// The same ticks with nothing in them: each sleep ends on a whole
// millisecond 20 ms after the millisecond in which the previous one ended,
// just as the loop above sets and fires the timer. What this takes beyond
// ticks x 20 ms is the system's wake-up latency, which no driver can avoid.
double EmptyTicksMs(int ticks) {
  Clock::time_point start = Clock::now();
  for (int tick = 0; tick < ticks; ++tick) {
    auto now = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    std::this_thread::sleep_until(start + now +
                                  std::chrono::milliseconds(engine::kSearchTimerPeriodMs));
  }
  return MsSince(start);
}

}  // namespace

int main() {
  framework::CWinApp application("morvel_bench_driver");
  RealClockBackend backend;
  framework::SetCurrentBackend(&backend);

  std::string root = MakeTree();
  // Warm the page cache the same way for both measurements.
  MeasureAlone(root);
  Alone alone = MeasureAlone(root);

  // One tick per file, and one that finds the pattern used up.
  const int ticks = alone.files + 1;
  // Measured before and after the search, so a change in the machine's load
  // during the run shows in both.
  double emptyTicksMs = EmptyTicksMs(ticks / 2);

  Clock::time_point start = Clock::now();
  {
    CListDialog dialog(root, "*.c", kNeedle, 1, 0);
    dialog.DoModal();
  }
  double elapsedMs = MsSince(start);
  emptyTicksMs += EmptyTicksMs(ticks - ticks / 2);
  std::filesystem::remove_all(root);
  framework::SetCurrentBackend(nullptr);

  const double workMs = alone.walkMs + alone.scanMs;
  const double floorMs = ticks * double(engine::kSearchTimerPeriodMs) + workMs;
  const double referenceMs = emptyTicksMs + workMs;
  const double overheadPercent = 100.0 * (elapsedMs - referenceMs) / referenceMs;
  std::printf("driver: %d files (%d matching), %d ticks of %u ms\n", alone.files, alone.matching,
              ticks, engine::kSearchTimerPeriodMs);
  std::printf("  walk alone %.1f ms, scans alone %.1f ms\n", alone.walkMs, alone.scanMs);
  std::printf("  design floor %.1f ms (ticks x 20 ms + walk + scans)\n", floorMs);
  std::printf("  empty ticks on this machine %.1f ms, + walk + scans = reference %.1f ms\n",
              emptyTicksMs, referenceMs);
  std::printf(
      "  search through the driver %.1f ms: %.4f x the floor, %.4f x the reference, "
      "overhead %+.2f%%\n",
      elapsedMs, elapsedMs / floorMs, elapsedMs / referenceMs, overheadPercent);
  if (alone.files != kFiles || backend.Listed() != alone.matching) {
    std::printf("  FAIL: %d lines listed for %d matching files of %d\n", backend.Listed(),
                alone.matching, kFiles);
    return 1;
  }
  if (overheadPercent > kAllowedOverheadPercent) {
    std::printf("  FAIL: overhead above %.0f%% of the reference\n", kAllowedOverheadPercent);
    return 1;
  }
  std::printf("  ok: within %.0f%% of the reference\n", kAllowedOverheadPercent);
  return 0;
}
