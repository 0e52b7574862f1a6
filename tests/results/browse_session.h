#pragma once

// Shared by the browsing tests: a scripted session of the whole program that
// searches a folder of real files, and helpers to read the results list.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/script_runner.h"

namespace browse_testing {

using testing_support::ScriptRun;
using testing_support::TempDir;

// The results dialog's window name and controls, as a dump names them.
inline constexpr char kResultsWindow[] = "131";
inline constexpr int kList = 1005;
inline constexpr int kExpand = 4;
inline constexpr int kEditFile = 3;
inline constexpr int kEditorPath = 1008;
inline constexpr int kNarrow = 1011;
inline constexpr int kWiden = 1012;

// Script lines that search `directory` for files matching `patterns` that
// hold `searchString`, leaving the results dialog open with the search started.
inline std::string SearchScript(const std::string& directory, const std::string& patterns,
                                const std::string& searchString) {
  std::string script = "type 1007 " + directory + "\n" + "type 1001 " + patterns + "\n";
  if (!searchString.empty())
    script += "type 1003 " + searchString + "\n";
  script += "click 1004\n";
  return script;
}

// Runs a session with its own settings folder; the script is closed by
// Escape on the results dialog, which ends the program.
class BrowseSession {
 public:
  ScriptRun Run(const std::string& script, testing_support::ScriptOptions options = {}) const {
    options.configHome = config.Path();
    return testing_support::RunScript(script + "window 131\nkey escape\n", options);
  }

  TempDir files;
  TempDir config;
};

// The results dialog's lines of one dump.
inline std::vector<std::string> Results(const std::vector<std::string>& dump) {
  return testing_support::WindowLines(dump, kResultsWindow);
}

inline std::vector<std::string> ListItems(const std::vector<std::string>& dump) {
  return testing_support::ItemsOf(Results(dump), kList);
}

// The selection the dump shows for the results list, or -2 when none is shown.
inline int Selection(const std::vector<std::string>& dump) {
  std::string line = testing_support::ControlLine(Results(dump), kList);
  std::size_t at = line.find(" sel=");
  return at == std::string::npos ? -2 : std::stoi(line.substr(at + 5));
}

inline std::string ButtonLine(const std::vector<std::string>& dump, int id) {
  return testing_support::ControlLine(Results(dump), id);
}

// A list entry as a dump quotes it.
inline std::string Q(const std::string& text) {
  return testing_support::Quoted(text);
}

// A content line of the results list: five spaces, marker, number, text.
inline std::string Content(char marker, int number, const std::string& text) {
  return "     " + std::string(1, marker) + " " + std::to_string(number) + " " + text;
}

// "line 1\n" ... "line N\n", with " needle" after the numbers given.
inline std::string NumberedLines(int count, const std::vector<int>& matches,
                                 bool finalLineEnd = true) {
  std::string text;
  for (int n = 1; n <= count; ++n) {
    text += "line " + std::to_string(n);
    for (int match : matches) {
      if (match == n)
        text += " needle";
    }
    if (n < count || finalLineEnd)
      text += "\n";
  }
  return text;
}

// A session fed one command at a time, so that files can change between
// commands the way they change while a user looks at the results.
class LiveSession {
 public:
  explicit LiveSession(const std::string& configHome) {
    // A session that ended early must fail the test, not kill it.
    signal(SIGPIPE, SIG_IGN);
    int toChild[2];
    int fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0)
      throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(toChild[0], 0);
      dup2(fromChild[1], 1);
      int devNull = open("/dev/null", O_WRONLY);
      dup2(devNull, 2);
      for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1], devNull})
        close(fd);
      setenv("MORVEL_UI", "script", 1);
      setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
      unsetenv("VISUAL");
      unsetenv("EDITOR");
      execl(MORVEL_BINARY, MORVEL_BINARY, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
  }
  ~LiveSession() {
    close(input_);
    close(output_);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  LiveSession(const LiveSession&) = delete;
  LiveSession& operator=(const LiveSession&) = delete;

  void Send(const std::string& lines) {
    std::size_t written = 0;
    while (written < lines.size()) {
      ssize_t n = write(input_, lines.data() + written, lines.size() - written);
      if (n <= 0)
        throw std::runtime_error("the session stopped reading");
      written += static_cast<std::size_t>(n);
    }
  }

  // Asks for a dump and returns its lines; empty when none came within 30 s.
  std::vector<std::string> Dump() {
    Send("dump\n");
    std::vector<std::string> lines;
    for (;;) {
      std::size_t newline = pending_.find('\n');
      if (newline != std::string::npos) {
        std::string line = pending_.substr(0, newline);
        pending_.erase(0, newline + 1);
        if (line == "end")
          return lines;
        lines.push_back(line);
        continue;
      }
      pollfd ready{output_, POLLIN, 0};
      char buffer[4096];
      ssize_t n = poll(&ready, 1, 30'000) == 1 ? read(output_, buffer, sizeof buffer) : 0;
      if (n <= 0)
        return {};
      pending_.append(buffer, static_cast<std::size_t>(n));
    }
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string pending_;
};

}  // namespace browse_testing
