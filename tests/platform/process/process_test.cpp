#include "platform/process/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/scoped_environment.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

using testing_support::ScopedEnvironment;

bool HasNoChildren() {
  int status;
  return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

class PlatformProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/morvel-process-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string WriteFile(const std::string& name, const std::string& text, fs::perms perms) {
    std::string path = dir_ + "/" + name;
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
    fs::permissions(path, perms);
    return path;
  }
  std::string WriteScript(const std::string& name, const std::string& body) {
    return WriteFile(name, "#!/bin/sh\n" + body, fs::perms::owner_all);
  }

  std::string dir_;
};

TEST(ApplicationNameFromPathTest, DropsDirectoryAndExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"/usr/bin/morvel.bin", "morvel"},
      {"morvel", "morvel"},
      {"/opt/my tools/morvel", "morvel"},
      {"/a.d/morvel", "morvel"},
      {"/a/b/archive.tar.gz", "archive.tar"},
      {"/home/u/.hidden", ".hidden"},
      {"/home/u/.hidden.bak", ".hidden"},
      {"..", ".."},
      {"name.", "name"},
      {"/usr/bin/", ""},
      {"", ""},
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(ApplicationNameFromPath(path), expected) << path;
  }
}

TEST(ExecutablePathTest, NamesTheRunningExecutable) {
  std::string path = ExecutablePath();
  struct stat reported;
  struct stat running;
  ASSERT_EQ(::stat(path.c_str(), &reported), 0) << path;
  ASSERT_EQ(::stat("/proc/self/exe", &running), 0);
  EXPECT_EQ(reported.st_ino, running.st_ino);
  EXPECT_EQ(reported.st_dev, running.st_dev);
  EXPECT_EQ(path.front(), '/');
}

TEST(PlatformEnvironmentTest, TellsUnsetFromEmpty) {
  const char* name = "MORVEL_TEST_ENVIRONMENT_VALUE";
  ScopedEnvironment saved(name);
  ::setenv(name, "a b", 1);
  EXPECT_EQ(Environment(name), "a b");
  ::setenv(name, "", 1);
  EXPECT_EQ(Environment(name), "");
  ::unsetenv(name);
  EXPECT_EQ(Environment(name), std::nullopt);
}

TEST_F(PlatformProcessTest, ResolveProgramFindsOnlyExecutableFiles) {
  ScopedEnvironment savedPath("PATH");
  std::string tool = WriteScript("first/tool", "exit 0\n");
  WriteScript("second/tool", "exit 0\n");
  std::string other = WriteScript("second/other", "exit 0\n");
  std::string plain =
      WriteFile("first/plain", "text\n", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directories(dir_ + "/first/folder");
  std::string path = "/nonexistent:" + dir_ + "/first/:" + dir_ + "/second";
  ::setenv("PATH", path.c_str(), 1);

  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"tool", dir_ + "/first/tool"},  // the first directory on PATH wins
      {"other", other},
      {"plain", std::nullopt},
      {"folder", std::nullopt},
      {"missing", std::nullopt},
      {"", std::nullopt},
      {tool, tool},
      {plain, std::nullopt},
      {dir_ + "/first/folder", std::nullopt},
      {dir_ + "/missing", std::nullopt},
  };
  for (const auto& [program, expected] : cases) {
    EXPECT_EQ(ResolveProgram(program), expected) << program;
  }
}

// What the recording program saw, written by itself; see RecordingScript.
struct Recording {
  std::string standardInput;
  std::string standardOutput;
  std::string standardError;
  std::string descriptor57;
  pid_t session = 0;
  int controllingTerminal = -1;
  std::vector<std::string> args;
};

// A program that writes what it was given: its standard streams, whether
// descriptor 57 is open, its /proc stat line and then its arguments, one a line.
// It writes to a temporary name and renames, so the report appears whole.
std::string RecordingScriptBody(const std::string& report) {
  return "in=$(readlink /proc/$$/fd/0)\n"
         "out=$(readlink /proc/$$/fd/1)\n"
         "err=$(readlink /proc/$$/fd/2)\n"
         "if [ -e /proc/$$/fd/57 ]; then fd57=open; else fd57=closed; fi\n"
         "stat=$(cat /proc/$$/stat)\n"
         "{\n"
         "  printf '%s\\n' \"$in\" \"$out\" \"$err\" \"$fd57\" \"$stat\"\n"
         "  for arg in \"$@\"; do printf '%s\\n' \"$arg\"; done\n"
         "} > '" +
         report +
         ".tmp'\n"
         "mv '" +
         report + ".tmp' '" + report + "'\n";
}

std::optional<Recording> WaitForRecording(const std::string& report) {
  for (int attempt = 0; attempt < 2000 && !fs::exists(report); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::ifstream in(report);
  if (!in) {
    return std::nullopt;
  }
  Recording recording;
  std::string stat;
  std::getline(in, recording.standardInput);
  std::getline(in, recording.standardOutput);
  std::getline(in, recording.standardError);
  std::getline(in, recording.descriptor57);
  std::getline(in, stat);
  // After the command name in parentheses: state ppid pgrp session tty_nr.
  std::istringstream fields(stat.substr(stat.rfind(')') + 1));
  std::string state;
  pid_t parent;
  pid_t group;
  fields >> state >> parent >> group >> recording.session >> recording.controllingTerminal;
  for (std::string line; std::getline(in, line);) {
    recording.args.push_back(line);
  }
  return recording;
}

TEST_F(PlatformProcessTest, LaunchDetachedPassesEachArgumentWholeAndDetaches) {
  std::string report = dir_ + "/report";
  std::string recorder = WriteScript("record", RecordingScriptBody(report));
  // A descriptor without close-on-exec must still not reach the program.
  int leaked = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaked, 0);
  ASSERT_EQ(::dup2(leaked, 57), 57);
  ::close(leaked);

  const std::vector<std::string> args = {"/tmp/dir with spaces/file name.txt", "", "$(touch x); *",
                                         " padded  "};
  bool launched = LaunchDetached(recorder, args);
  ::close(57);
  ASSERT_TRUE(launched);
  EXPECT_TRUE(HasNoChildren()) << "the launch left a child to reap";

  std::optional<Recording> recording = WaitForRecording(report);
  ASSERT_TRUE(recording) << "the program never wrote its report";
  EXPECT_EQ(recording->args, args);
  EXPECT_EQ(recording->standardInput, "/dev/null");
  EXPECT_EQ(recording->standardOutput, "/dev/null");
  EXPECT_EQ(recording->standardError, "/dev/null");
  EXPECT_EQ(recording->descriptor57, "closed");
  EXPECT_NE(recording->session, ::getsid(0));
  EXPECT_EQ(recording->controllingTerminal, 0);
  EXPECT_FALSE(fs::exists(dir_ + "/x")) << "an argument went through a shell";
}

TEST_F(PlatformProcessTest, LaunchDetachedReturnsWhileTheProgramRuns) {
  // The program waits (boundedly) for a file that the test creates only after the
  // launch has returned; a launch that waited for the program would see it give up.
  std::string go = dir_ + "/go";
  std::string report = dir_ + "/report";
  std::string waiter =
      WriteScript("wait-for-go",
                  "i=0\n"
                  "while [ ! -e '" +
                      go +
                      "' ] && [ $i -lt 1000 ]; do sleep 0.01; i=$((i + 1)); done\n"
                      "if [ -e '" +
                      go + "' ]; then echo went; else echo gave-up; fi > '" + report +
                      ".tmp'\n"
                      "mv '" +
                      report + ".tmp' '" + report + "'\n");
  ASSERT_TRUE(LaunchDetached(waiter, {}));
  std::ofstream(go) << "go\n";
  for (int attempt = 0; attempt < 2000 && !fs::exists(report); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::string outcome;
  std::getline(std::ifstream(report), outcome);
  EXPECT_EQ(outcome, "went");
}

TEST_F(PlatformProcessTest, LaunchDetachedReportsProgramsThatCannotRun) {
  const std::string programs[] = {
      dir_ + "/missing",
      WriteFile("not-executable", "#!/bin/sh\nexit 0\n",
                fs::perms::owner_read | fs::perms::owner_write),
      WriteFile("bad-interpreter", "#!/nonexistent/sh\n", fs::perms::owner_all),
      dir_,
  };
  for (const std::string& program : programs) {
    EXPECT_FALSE(LaunchDetached(program, {"arg"})) << program;
    EXPECT_EQ(RunInForeground(program, {"arg"}), -1) << program;
  }
  EXPECT_TRUE(HasNoChildren());
}

TEST_F(PlatformProcessTest, RunInForegroundReturnsTheExitStatus) {
  struct Case {
    const char* body;
    std::vector<std::string> args;
    int expected;
  };
  const Case cases[] = {
      {"exit 7\n", {}, 7},
      {"exit 0\n", {}, 0},
      {"exit $#\n", {"a b", "", "c"}, 3},
      {"[ \"$1\" = 'x y' ] && exit 5; exit 1\n", {"x y"}, 5},
      // Killed by the signal, so SIGINT was not left ignored for the program.
      {"kill -INT $$; exit 0\n", {}, 128 + SIGINT},
  };
  for (const Case& c : cases) {
    std::string program = WriteScript("run", c.body);
    EXPECT_EQ(RunInForeground(program, c.args), c.expected) << c.body;
  }
  EXPECT_TRUE(HasNoChildren());
}

void CountSignal(int) {}

TEST_F(PlatformProcessTest, RunInForegroundRestoresSignalHandling) {
  struct sigaction handler = {};
  handler.sa_handler = CountSignal;
  sigemptyset(&handler.sa_mask);
  struct sigaction previousInterrupt;
  struct sigaction previousQuit;
  ASSERT_EQ(::sigaction(SIGINT, &handler, &previousInterrupt), 0);
  ASSERT_EQ(::sigaction(SIGQUIT, &handler, &previousQuit), 0);

  EXPECT_EQ(RunInForeground(WriteScript("run", "exit 0\n"), {}), 0);

  struct sigaction after;
  ::sigaction(SIGINT, nullptr, &after);
  EXPECT_EQ(after.sa_handler, &CountSignal);
  ::sigaction(SIGQUIT, nullptr, &after);
  EXPECT_EQ(after.sa_handler, &CountSignal);
  sigset_t mask;
  ::sigprocmask(SIG_SETMASK, nullptr, &mask);
  EXPECT_FALSE(sigismember(&mask, SIGCHLD));
  ::sigaction(SIGINT, &previousInterrupt, nullptr);
  ::sigaction(SIGQUIT, &previousQuit, nullptr);
}

}  // namespace
}  // namespace platform
