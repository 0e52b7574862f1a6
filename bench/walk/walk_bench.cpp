// Times CDirectoryWalker against GNU find doing the same work, and measures the
// walker's peak memory beside the bytes of the paths it keeps.
//
//   morvel_bench_walk generate DIR        builds the test tree as the new directory DIR
//   morvel_bench_walk compare DIR PATTERN  walker against find on DIR, best of 3 each
//   morvel_bench_walk memory DIR PATTERN   one walk, with its memory use
//
// find is asked for what the walker does: directories whose names hold a period are
// not entered, names are compared ignoring ASCII case, links to directories are
// neither entered nor listed, everything else that is not a directory is a result.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/directory_walker.h"

extern char** environ;

namespace {

constexpr int kDirectories = 20000;
constexpr int kFilesPerDirectory = 10;
constexpr int kChildrenPerDirectory = 8;
constexpr int kRuns = 3;

const char* const kExtensions[kFilesPerDirectory] = {".c", ".h",  ".txt", ".cpp", ".C",
                                                     ".o", ".md", "",     ".py",  ".json"};

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

int CreateAt(int parent, const std::string& name, bool directory) {
  if (directory) {
    if (mkdirat(parent, name.c_str(), 0755) != 0) {
      return -1;
    }
    return openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  int fd = openat(parent, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd >= 0) {
    close(fd);
  }
  return fd;
}

// A breadth-grown tree: each directory holds ten files of mixed extensions and up
// to eight subdirectories; every tenth directory has a period in its name (and is
// therefore skipped by both contestants, together with all below it).
int Generate(const std::string& root) {
  if (mkdir(root.c_str(), 0755) != 0) {
    std::perror(root.c_str());
    return 1;
  }
  std::vector<std::string> directories = {root};
  int made = 1;
  for (std::size_t i = 0; i < directories.size(); ++i) {
    int fd = open(directories[i].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      std::perror(directories[i].c_str());
      return 1;
    }
    for (int k = 0; k < kFilesPerDirectory; ++k) {
      std::string name = "file" + std::to_string(i) + "_" + std::to_string(k) + kExtensions[k];
      if (CreateAt(fd, name, false) < 0) {
        std::perror(name.c_str());
        return 1;
      }
    }
    bool periodInName = i % 10 == 9;
    for (int k = 0; k < kChildrenPerDirectory && made < kDirectories && !periodInName; ++k) {
      bool withPeriod = made % 10 == 9;
      std::string name = "dir" + std::to_string(made) + (withPeriod ? ".d" : "");
      int child = CreateAt(fd, name, true);
      if (child < 0) {
        std::perror(name.c_str());
        return 1;
      }
      close(child);
      directories.push_back(directories[i] + "/" + name);
      ++made;
    }
    close(fd);
  }
  std::printf("generated %d directories and %d files in %s\n", made, made * kFilesPerDirectory,
              root.c_str());
  return 0;
}

struct WalkResult {
  double seconds;
  std::size_t count;
};

// Construction walks the tree; reading every path back is what the driver does
// after, so it is timed as well.
WalkResult TimeWalker(const std::string& directory, const std::string& pattern) {
  auto start = std::chrono::steady_clock::now();
  CDirectoryWalker walker(directory, pattern);
  walker.Rewind();
  std::size_t count = 0;
  while (!walker.NextPath().empty()) {
    ++count;
  }
  double seconds = Seconds(std::chrono::steady_clock::now() - start);
  return {seconds, count};
}

struct FindResult {
  double seconds;
  std::size_t lines;
};

FindResult TimeFind(const std::string& directory, const std::string& pattern) {
  std::vector<std::string> args = {"find",   directory, "(",  "-name",  "*.*",    "-type",  "d",
                                   "-prune", ")",       "-o", "(",      "-iname", pattern,  "!",
                                   "-type",  "d",       "!",  "-xtype", "d",      "-print", ")"};
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  // find compares bytes and folds only ASCII letters in the C locale, as the walker does.
  std::vector<std::string> environment = {"LC_ALL=C"};
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "LC_", 3) != 0 && std::strncmp(*e, "LANG", 4) != 0) {
      environment.emplace_back(*e);
    }
  }
  std::vector<char*> envp;
  for (std::string& entry : environment) {
    envp.push_back(entry.data());
  }
  envp.push_back(nullptr);

  int output[2];
  if (pipe2(output, O_CLOEXEC) != 0) {
    std::perror("pipe");
    std::exit(1);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, "find", &actions, nullptr, argv.data(), envp.data()) != 0) {
    std::perror("find");
    std::exit(1);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(output[1]);
  std::size_t lines = 0;
  char buffer[1 << 16];
  for (;;) {
    ssize_t got = read(output[0], buffer, sizeof buffer);
    if (got <= 0) {
      break;
    }
    lines += static_cast<std::size_t>(std::count(buffer, buffer + got, '\n'));
  }
  close(output[0]);
  int status;
  waitpid(pid, &status, 0);
  return {Seconds(std::chrono::steady_clock::now() - start), lines};
}

// The peak resident memory of this process so far, in kilobytes. Read from the
// process's own memory map: unlike the resource usage counters, it does not carry
// over the parent's size from before the program was started.
long PeakKilobytes() {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) {
    return -1;
  }
  char line[256];
  long kilobytes = -1;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, "VmHWM: %ld", &kilobytes) == 1) {
      break;
    }
  }
  std::fclose(status);
  return kilobytes;
}

// One walk in a fresh process, so that its peak memory is the walker's alone.
int MeasureMemory(const std::string& directory, const std::string& pattern) {
  long before = PeakKilobytes();
  CDirectoryWalker walker(directory, pattern);
  long after = PeakKilobytes();
  std::printf(
      "  memory: paths %zu bytes, stored in %zu bytes; process peak %ld KB, "
      "%ld KB above its peak before the walk\n",
      walker.PathBytes(), walker.StoredBytes(), after, after - before);
  return 0;
}

void RunMemoryMeasurement(const char* self, const std::string& directory,
                          const std::string& pattern) {
  std::fflush(stdout);
  std::vector<std::string> args = {self, "memory", directory, pattern};
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, self, nullptr, nullptr, argv.data(), environ) != 0) {
    std::printf("  memory: could not start %s\n", self);
    return;
  }
  int status;
  waitpid(pid, &status, 0);
}

int Compare(const char* self, const std::string& directory, const std::string& pattern) {
  // Warm the caches, and the allocator, for both.
  TimeWalker(directory, pattern);
  TimeFind(directory, pattern);

  WalkResult walk{1e9, 0};
  FindResult find{1e9, 0};
  for (int run = 0; run < kRuns; ++run) {
    WalkResult w = TimeWalker(directory, pattern);
    if (w.seconds < walk.seconds) {
      walk = w;
    }
    FindResult f = TimeFind(directory, pattern);
    if (f.seconds < find.seconds) {
      find = f;
    }
  }

  std::printf("walk %s for \"%s\" (best of %d)\n", directory.c_str(), pattern.c_str(), kRuns);
  std::printf("  CDirectoryWalker  %8.3f s  %zu files\n", walk.seconds, walk.count);
  std::printf("  GNU find          %8.3f s  %zu files%s\n", find.seconds, find.lines,
              walk.count == find.lines ? "  (counts match)" : "  (COUNTS DIFFER)");
  std::printf("  ratio walker/find %8.2f\n", walk.seconds / find.seconds);
  RunMemoryMeasurement(self, directory, pattern);
  return walk.count == find.lines ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "generate" && argc == 3) {
    return Generate(argv[2]);
  }
  if (mode == "compare" && argc == 4) {
    return Compare(argv[0], argv[2], argv[3]);
  }
  if (mode == "memory" && argc == 4) {
    return MeasureMemory(argv[2], argv[3]);
  }
  std::fprintf(stderr, "usage: %s generate DIR | compare DIR PATTERN\n", argv[0]);
  return 2;
}
