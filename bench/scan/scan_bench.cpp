// Content scanner benchmarks, each against a reference tool run in the same
// process on the same data:
//   corpus DIR        writes the test-mode corpus (about 1 GB of text files)
//   test DIR          ScanFile test mode over the corpus vs grep -F -l, rg -j1 -F -l
//   list DIR          ScanFile list mode into the results list model vs grep -n -F
//   sorted DIR        a million sorted adds vs sort -f
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/content_scanner.h"
#include "framework/ordered_list.h"

extern char** environ;

namespace {

constexpr const char* kNeedle = "ConfigurationError";
constexpr const char* kIndent = "     ";
constexpr int kRepeats = 3;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The best of a few runs: the first one also brings the files into the cache.
double Best(const std::function<void()>& run) {
  double best = 1e30;
  for (int k = 0; k < kRepeats; ++k) {
    const Clock::time_point start = Clock::now();
    run();
    best = std::min(best, SecondsSince(start));
  }
  return best;
}

bool HaveProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string directory(rest.substr(0, colon));
    if (access((directory + "/" + name).c_str(), X_OK) == 0) {
      return true;
    }
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return false;
}

// Runs a program directly (no shell) in the C locale with its output sent to
// outputPath; returns its exit status.
int RunProgram(const std::vector<std::string>& arguments, const char* outputPath = "/dev/null") {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  std::vector<std::string> environment = {"LC_ALL=C"};
  for (char** variable = environ; *variable != nullptr; ++variable) {
    if (std::strncmp(*variable, "LC_", 3) != 0 && std::strncmp(*variable, "LANG", 4) != 0) {
      environment.emplace_back(*variable);
    }
  }
  std::vector<char*> envp;
  for (std::string& variable : environment) {
    envp.push_back(variable.data());
  }
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath,
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t child = 0;
  const int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    return -1;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::size_t CountLines(const std::string& path) {
  std::ifstream in(path);
  std::size_t lines = 0;
  for (std::string line; std::getline(in, line);) {
    ++lines;
  }
  return lines;
}

// Text that looks like prose or code: words of a fixed vocabulary with
// English-like letter frequencies, lines of 20 to 120 bytes.
class TextMaker {
 public:
  explicit TextMaker(std::uint64_t seed) : random_(seed) {
    const std::string letters =
        "eeeeeeeeeeeettttttttaaaaaaaooooooiiiiiinnnnnnsssssshhhhhhrrrrrr"
        "ddddllllcccuuummmwwffggyyppbbvkjxqz";
    for (int k = 0; k < 4000; ++k) {
      std::string word;
      const std::size_t length = 1 + random_() % 9;
      for (std::size_t n = 0; n < length; ++n) {
        word += letters[random_() % letters.size()];
      }
      if (random_() % 8 == 0) {
        word[0] = static_cast<char>(word[0] - 32);
      }
      words_.push_back(word);
    }
  }

  void AppendLine(std::string& out) {
    const std::size_t length = 20 + random_() % 100;
    const std::size_t start = out.size();
    while (out.size() - start < length) {
      out += words_[random_() % words_.size()];
      out += random_() % 10 == 0 ? ", " : " ";
    }
    out += '\n';
  }

  std::mt19937_64& Random() { return random_; }

 private:
  std::mt19937_64 random_;
  std::vector<std::string> words_;
};

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary)
      .write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

std::vector<std::string> CorpusFiles(const std::string& directory) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    if (entry.is_regular_file() && entry.path().extension() == ".txt") {
      files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

int MakeCorpus(const std::string& directory) {
  std::filesystem::create_directories(directory);
  TextMaker maker(1);
  std::mt19937_64& random = maker.Random();
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const std::uint64_t total = 1'000'000'000;
  std::uint64_t written = 0;
  int files = 0;
  int withNeedle = 0;
  std::string contents;
  while (written < total) {
    // Sizes from 1 KB to 50 MB, most of them small as in a source tree.
    const double u = unit(random);
    const auto size = static_cast<std::size_t>(1000.0 * std::pow(50'000.0, u * u));
    contents.clear();
    while (contents.size() < size) {
      maker.AppendLine(contents);
    }
    const std::uint64_t kind = random() % 20;
    if (kind < 2 || kind == 2) {
      // One file in ten holds the needle, one in twenty in other capitals.
      const std::string needle = kind == 2 ? "configurationERROR" : kNeedle;
      contents.replace(random() % (contents.size() - needle.size()), needle.size(), needle);
      withNeedle += 1;
    }
    char name[32];
    std::snprintf(name, sizeof name, "/file%05d.txt", files);
    WriteFile(directory + name, contents);
    written += contents.size();
    files += 1;
  }
  std::printf("corpus: %d files, %.0f MB, %d with the needle in some capitals\n", files,
              static_cast<double>(written) / 1e6, withNeedle);
  return 0;
}

void PrintRatio(const char* what, double ours, const char* reference, double theirs) {
  std::printf("  %-34s %8.3f s   %-22s %8.3f s   ratio %.2f\n", what, ours, reference, theirs,
              ours / theirs);
}

int BenchTestMode(const std::string& directory) {
  const std::vector<std::string> files = CorpusFiles(directory);
  if (files.empty()) {
    std::fprintf(stderr, "no corpus in %s\n", directory.c_str());
    return 1;
  }
  const bool haveRipgrep = HaveProgram("rg");
  const std::string listed = directory + "/listed.out";
  std::printf("test mode over %zu files:\n", files.size());
  int status = 0;
  for (const bool ignoreCase : {false, true}) {
    std::vector<std::string> grep = {"grep", "-F", "-l"};
    std::vector<std::string> rg = {"rg", "--no-config", "-j1", "-F", "-l"};
    for (std::vector<std::string>* command : {&grep, &rg}) {
      if (ignoreCase) {
        command->push_back("-i");
      }
      command->push_back("--");
      command->push_back(kNeedle);
      command->insert(command->end(), files.begin(), files.end());
    }
    std::size_t matched = 0;
    auto runReference = [&](const std::vector<std::string>& command) {
      const Clock::time_point start = Clock::now();
      RunProgram(command, listed.c_str());
      const double seconds = SecondsSince(start);
      const std::size_t found = CountLines(listed);
      if (found != matched) {
        std::printf("  MISMATCH: %s listed %zu files, ScanFile %zu\n", command[0].c_str(), found,
                    matched);
        status = 1;
      }
      return seconds;
    };
    // Rounds take turns so that a change in the machine's load meets all three.
    double ours = 1e30;
    double grepSeconds = 1e30;
    double rgSeconds = 1e30;
    for (int round = 0; round < kRepeats; ++round) {
      const Clock::time_point start = Clock::now();
      matched = 0;
      for (const std::string& path : files) {
        matched += static_cast<std::size_t>(
            engine::ScanFile(kNeedle, path, 0, ignoreCase, kIndent, "", nullptr));
      }
      ours = std::min(ours, SecondsSince(start));
      grepSeconds = std::min(grepSeconds, runReference(grep));
      if (haveRipgrep) {
        rgSeconds = std::min(rgSeconds, runReference(rg));
      }
    }
    std::printf(" %s (%zu files match):\n", ignoreCase ? "ignoring case" : "exact case", matched);
    PrintRatio("ScanFile test mode", ours, ignoreCase ? "grep -F -l -i" : "grep -F -l",
               grepSeconds);
    if (haveRipgrep) {
      PrintRatio("ScanFile test mode", ours, ignoreCase ? "rg -j1 -F -l -i" : "rg -j1 -F -l",
                 rgSeconds);
    } else {
      std::printf("  rg not found: ripgrep comparison skipped\n");
    }
  }
  return status;
}

// One entry per file line the way the results list shows them: file lines
// sort by their path, content lines travel with the file line above them.
std::optional<std::string_view> FileLineKey(std::string_view text) {
  if (text.starts_with("+ ") || text.starts_with("- ")) {
    return text.substr(2);
  }
  if (text.starts_with(kIndent)) {
    return std::nullopt;
  }
  return text;
}

int BenchListMode(const std::string& directory) {
  const std::string path = directory + "/matches.txt";
  if (!std::filesystem::exists(path)) {
    // 100 MB of text lines, 100,000 of them spread evenly holding the needle.
    TextMaker maker(2);
    std::vector<std::string> lines;
    std::size_t bytes = 0;
    while (bytes < 100'000'000) {
      std::string line;
      maker.AppendLine(line);
      bytes += line.size();
      lines.push_back(std::move(line));
    }
    std::string contents;
    contents.reserve(bytes + 100'000 * (std::strlen(kNeedle) + 1));
    const std::size_t matching = 100'000;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      if ((k + 1) * matching / lines.size() != k * matching / lines.size()) {
        lines[k].insert(lines[k].size() - 1, std::string(" ") + kNeedle);
      }
      contents += lines[k];
    }
    WriteFile(path, contents);
  }
  std::size_t inserted = 0;
  // Only the expansion is timed: the file line and the matches below it.
  auto expand = [&](int filler) {
    double best = 1e30;
    for (int run = 0; run < kRepeats; ++run) {
      framework::OrderedList list;
      list.SetSortKey(FileLineKey);
      for (int k = 0; k < filler; ++k) {
        list.AddSorted("+ " + directory + "/dir" + std::to_string(k) + "/other.txt");
      }
      const Clock::time_point start = Clock::now();
      int index = list.AddSorted("- " + path);
      const int first = index + 1;
      engine::ScanFile(kNeedle, path, 1, false, kIndent, ".",
                       [&](std::string&& entry) { list.Insert(++index, std::move(entry)); });
      best = std::min(best, SecondsSince(start));
      inserted = static_cast<std::size_t>(index - first + 1);
    }
    return best;
  };
  const double empty = expand(0);
  const double filled = expand(10'000);
  // grep stops at the first match when its output is /dev/null, so its lines
  // go to a file, as ours go into the list.
  const std::string output = directory + "/grep.out";
  const double grepSeconds = Best([&] {
    RunProgram({"grep", "-n", "-F", "--", kNeedle, path}, output.c_str());
  });
  const std::size_t grepLines = CountLines(output);
  int status = 0;
  if (grepLines != inserted) {
    std::printf("  MISMATCH: grep listed %zu lines, ScanFile %zu\n", grepLines, inserted);
    status = 1;
  }
  std::printf("list matches, 100 MB file, %zu matching lines:\n", inserted);
  PrintRatio("ScanFile list mode, empty list", empty, "grep -n -F", grepSeconds);
  PrintRatio("ScanFile list mode, 10,000 lines", filled, "grep -n -F", grepSeconds);
  std::printf("  10,000 lines against an empty list: ratio %.2f\n", filled / empty);
  return status;
}

int BenchSortedList(const std::string& directory) {
  std::mt19937_64 random(3);
  std::vector<std::string> paths;
  paths.reserve(1'000'000);
  for (int k = 0; k < 1'000'000; ++k) {
    char name[96];
    std::snprintf(name, sizeof name, "/home/user/Project%llu/src/Module_%llu/file%d.c",
                  static_cast<unsigned long long>(random() % 300),
                  static_cast<unsigned long long>(random() % 1000), k);
    paths.emplace_back(name);
  }
  std::shuffle(paths.begin(), paths.end(), random);
  const std::string input = directory + "/lines.txt";
  {
    std::string contents;
    for (const std::string& path : paths) {
      contents += "+ " + path + "\n";
    }
    WriteFile(input, contents);
  }
  const double ours = Best([&] {
    framework::OrderedList list;
    list.SetSortKey(FileLineKey);
    for (const std::string& path : paths) {
      list.AddSorted("+ " + path);
    }
  });
  const double sortSeconds = Best([&] { RunProgram({"sort", "-f", input}); });
  // The list works on one thread; sort uses every core unless told not to.
  const double oneThreadSeconds = Best([&] { RunProgram({"sort", "-f", "--parallel=1", input}); });
  std::printf("sorted list, 1,000,000 file lines in random order:\n");
  PrintRatio("OrderedList sorted adds", ours, "sort -f", sortSeconds);
  PrintRatio("OrderedList sorted adds", ours, "sort -f --parallel=1", oneThreadSeconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s corpus|test|list|sorted DIR\n", argv[0]);
    return 2;
  }
  const std::string_view command = argv[1];
  const std::string directory = argv[2];
  if (command == "corpus") {
    return MakeCorpus(directory);
  }
  if (command == "test") {
    return BenchTestMode(directory);
  }
  if (command == "list") {
    return BenchListMode(directory);
  }
  if (command == "sorted") {
    return BenchSortedList(directory);
  }
  std::fprintf(stderr, "unknown benchmark: %s\n", argv[1]);
  return 2;
}
