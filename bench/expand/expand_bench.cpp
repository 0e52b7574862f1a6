// Expanding a large file in the results dialog, against grep -n -F finding
// the same lines in the same file, measured in the same run:
//   morvel_bench_expand generate DIR   writes DIR: 10,000 small matching files
//                                      and one of 100 MB with 100,000 matching lines
//   morvel_bench_expand compare DIR    searches DIR in the real results dialog,
//                                      then times Expand and Contract of the large
//                                      file (best of 3) beside grep -n -F
//
// The dialog runs through the framework on a minimal backend that only
// dispatches timers and sends the user's actions through framework/user_input.h,
// so the time is that of the real handler on the real list model.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/backend.h"
#include "framework/timers.h"
#include "framework/user_input.h"
#include "framework/window.h"
#include "res/resource.h"
#include "results/list_dialog.h"

extern char** environ;

namespace {

constexpr const char* kNeedle = "QuartzXylophone";
constexpr const char* kLargeName = "m-large.txt";
constexpr int kSmallFiles = 10'000;
constexpr int kLargeLines = 1'000'000;
constexpr std::size_t kLineBytes = 100;  // 100 MB in all
constexpr int kMatchEvery = 10;          // 100,000 matching lines
constexpr int kRuns = 3;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int Generate(const std::string& directory) {
  std::filesystem::create_directories(directory);
  for (int i = 0; i < kSmallFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/f%05d.txt", i);
    std::ofstream(directory + name) << "a line\nthe " << kNeedle << " here\n";
  }
  // Lines of exactly 100 bytes from a few words that cannot form the needle.
  const char* const words[] = {"alpha",   "bravo", "charlie", "delta", "echo",
                               "foxtrot", "golf",  "hotel",   "india", "juliet"};
  std::ofstream large(directory + "/" + kLargeName, std::ios::binary);
  std::string line;
  unsigned state = 12345;
  for (int n = 1; n <= kLargeLines; ++n) {
    line.clear();
    const bool match = n % kMatchEvery == 0;
    const std::size_t textBytes = kLineBytes - 1 - (match ? std::strlen(kNeedle) + 1 : 0);
    while (line.size() < textBytes) {
      state = state * 1103515245u + 12345u;
      line += words[(state >> 16) % 10];
      line += ' ';
    }
    line.resize(textBytes);
    if (match) {
      line += ' ';
      line += kNeedle;
    }
    line += '\n';
    large << line;
  }
  return large ? 0 : 1;
}

// The lines grep -n -F prints for the needle, and the time it takes.
struct GrepResult {
  double seconds;
  long lines;
};

GrepResult TimeGrep(const std::string& path) {
  std::vector<std::string> environment = {"LC_ALL=C"};
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "LC_", 3) != 0 && std::strncmp(*e, "LANG", 4) != 0)
      environment.emplace_back(*e);
  }
  std::vector<char*> envp;
  for (std::string& entry : environment)
    envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string needle = kNeedle;
  std::string program = "grep";
  std::string options = "-n";
  std::string fixed = "-F";
  std::string file = path;
  char* argv[] = {program.data(), options.data(), fixed.data(),
                  needle.data(),  file.data(),    nullptr};

  int output[2];
  if (pipe2(output, O_CLOEXEC) != 0) {
    std::perror("pipe");
    std::exit(1);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  Clock::time_point start = Clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, "grep", &actions, nullptr, argv, envp.data()) != 0) {
    std::perror("grep");
    std::exit(1);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(output[1]);
  long lines = 0;
  char buffer[1 << 16];
  for (;;) {
    ssize_t got = read(output[0], buffer, sizeof buffer);
    if (got <= 0)
      break;
    lines += std::count(buffer, buffer + got, '\n');
  }
  close(output[0]);
  int status;
  waitpid(pid, &status, 0);
  return {SecondsSince(start), lines};
}

struct ExpandResult {
  double expandSeconds = 1e30;
  double contractSeconds = 1e30;
  int fileLines = 0;
  int matchLines = -1;
  bool contractedBack = false;
};

// Enough of a backend to run a modal dialog without a screen: the virtual
// clock jumps to each due timer, and `script` plays the user once the
// dialog's modal loop has started.
class BenchBackend : public framework::Backend {
 public:
  explicit BenchBackend(std::function<void(framework::Window&)> script)
      : script_(std::move(script)) {}

  void WindowCreated(framework::Window&) override {}
  void WindowDestroyed(framework::Window&) override {}
  void WindowChanged(framework::Window&) override {}
  void ControlChanged(framework::Control&) override {}
  void ListRowsInserted(framework::ListBox&, int, int) override {}
  void ListRowsRemoved(framework::ListBox&, int, int) override {}

  void RunModalLoop(framework::Window& window, const std::function<bool()>& finished) override {
    script_(window);
    while (!finished()) {
      // Nothing else could end the loop: ask for the window to close.
      framework::user::RequestClose(window);
    }
  }
  std::optional<std::string> RunOpenFileDialog(framework::Window&,
                                               const framework::OpenFileRequest&) override {
    return std::nullopt;
  }
  std::int64_t NowMs() override { return now_; }

  // Fires the timers until none is set: the search runs to its end.
  void RunTimersOut() {
    while (auto due = framework::NextTimerDue()) {
      now_ = std::max(now_, *due);
      framework::FireDueTimers(now_);
    }
  }

 private:
  std::function<void(framework::Window&)> script_;
  std::int64_t now_ = 0;
};

class BenchApp : public framework::CWinApp {
 public:
  // No registry key: settings take their defaults and nothing is written.
  bool InitInstance() override {
    CListDialog dialog(directory, "*.txt", kNeedle, 0, 0);
    dialog.DoModal();
    return false;
  }
  std::string directory;
};

BenchApp theApp;

ExpandResult TimeExpand(const std::string& directory) {
  ExpandResult result;
  const std::string largeLine = "+ " + directory + "/" + kLargeName;
  BenchBackend* backendPointer = nullptr;
  BenchBackend backend([&](framework::Window& window) {
    backendPointer->RunTimersOut();
    auto* list = dynamic_cast<framework::ListBox*>(window.Find(res::IDC_RESULTS_LIST));
    framework::Control* expand = window.Find(res::IDC_EXPAND);
    if (!list || !expand)
      return;
    result.fileLines = list->GetCount();
    int index = -1;
    for (int i = 0; i < list->GetCount(); ++i) {
      if (list->GetText(i) == largeLine) {
        index = i;
        break;
      }
    }
    if (index < 0)
      return;
    framework::user::Select(*list, index);
    for (int run = 0; run < kRuns; ++run) {
      Clock::time_point start = Clock::now();
      framework::user::Click(*expand);
      result.expandSeconds = std::min(result.expandSeconds, SecondsSince(start));
      result.matchLines = list->GetCount() - result.fileLines;

      start = Clock::now();
      framework::user::Click(*expand);
      result.contractSeconds = std::min(result.contractSeconds, SecondsSince(start));
      result.contractedBack = list->GetCount() == result.fileLines && list->GetCurSel() == index &&
                              list->GetText(index) == largeLine;
    }
  });
  backendPointer = &backend;
  theApp.directory = directory;
  framework::RunApplication(backend);
  return result;
}

int Compare(const std::string& directory) {
  const std::string large = directory + "/" + kLargeName;
  TimeGrep(large);  // brings the file into the cache
  GrepResult grep{1e30, 0};
  for (int run = 0; run < kRuns; ++run) {
    GrepResult g = TimeGrep(large);
    if (g.seconds < grep.seconds)
      grep = g;
  }
  ExpandResult expand = TimeExpand(directory);

  std::printf("expand %s (100 MB, %ld matching lines) among %d file lines (best of %d)\n",
              kLargeName, grep.lines, expand.fileLines, kRuns);
  std::printf("  Expand           %8.3f s  %d match lines%s\n", expand.expandSeconds,
              expand.matchLines,
              expand.matchLines == grep.lines ? "  (counts match)" : "  (COUNTS DIFFER)");
  std::printf("  Contract         %8.3f s%s\n", expand.contractSeconds,
              expand.contractedBack ? "" : "  (LIST NOT RESTORED)");
  std::printf("  grep -n -F       %8.3f s  %ld lines\n", grep.seconds, grep.lines);
  std::printf("  ratio expand/grep %7.2f\n", expand.expandSeconds / grep.seconds);
  bool sound = expand.matchLines == grep.lines && expand.contractedBack &&
               expand.fileLines == kSmallFiles + 1;
  return sound ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "generate" && argc == 3)
    return Generate(argv[2]);
  if (mode == "compare" && argc == 3)
    return Compare(argv[2]);
  std::fprintf(stderr, "usage: %s generate DIR | compare DIR\n", argv[0]);
  return 2;
}
