#include "tests/support/script_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "ui/headless/script_text.h"

namespace testing_support {

TempDir::TempDir() {
  char pattern[] = "/tmp/morvel-test-XXXXXX";
  if (!mkdtemp(pattern))
    throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  // Make every folder writable again so a test that locked one still cleans up.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_directory(error) && !it->is_symlink(error)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, error);
    }
  }
  std::filesystem::remove_all(path_, error);
}

std::string TempDir::operator/(const std::string& relative) const {
  return path_ + "/" + relative;
}

std::string TempDir::Write(const std::string& relative, const std::string& content) const {
  std::string full = *this / relative;
  std::filesystem::create_directories(std::filesystem::path(full).parent_path());
  std::ofstream file(full, std::ios::binary);
  file << content;
  return full;
}

std::string TempDir::MakeDir(const std::string& relative) const {
  std::string full = *this / relative;
  std::filesystem::create_directories(full);
  return full;
}

std::vector<std::vector<std::string>> ScriptRun::Dumps() const {
  std::vector<std::vector<std::string>> dumps;
  std::vector<std::string> current;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line == "end") {
      dumps.push_back(current);
      current.clear();
    } else {
      current.push_back(line);
    }
  }
  return dumps;
}

std::vector<std::string> ScriptRun::LastDump() const {
  auto dumps = Dumps();
  return dumps.empty() ? std::vector<std::string>{} : dumps.back();
}

namespace {

std::string ReadAll(int fd) {
  std::string data;
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      data.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  return data;
}

}  // namespace

ScriptRun RunScript(const std::string& script, const ScriptOptions& options) {
  if (options.configHome.empty())
    throw std::invalid_argument("RunScript needs a configHome");
  std::string script_file;
  {
    char pattern[] = "/tmp/morvel-script-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd < 0)
      throw std::runtime_error("mkstemp failed");
    script_file = pattern;
    std::size_t written = 0;
    while (written < script.size()) {
      ssize_t n = write(fd, script.data() + written, script.size() - written);
      if (n <= 0)
        break;
      written += static_cast<std::size_t>(n);
    }
    close(fd);
  }
  char outPattern[] = "/tmp/morvel-out-XXXXXX";
  char errPattern[] = "/tmp/morvel-err-XXXXXX";
  int outFd = mkstemp(outPattern);
  int errFd = mkstemp(errPattern);
  std::string binary = options.binary.empty() ? MORVEL_BINARY : options.binary;

  pid_t child = fork();
  if (child == 0) {
    int inFd = open(script_file.c_str(), O_RDONLY);
    dup2(inFd, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    setenv("MORVEL_UI", "script", 1);
    setenv("XDG_CONFIG_HOME", options.configHome.c_str(), 1);
    unsetenv("VISUAL");
    unsetenv("EDITOR");
    for (const auto& [name, value] : options.environment) {
      if (value == "\x01unset") {
        unsetenv(name.c_str());
      } else {
        setenv(name.c_str(), value.c_str(), 1);
      }
    }
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0)
      _exit(126);
    execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ScriptRun run;
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  lseek(outFd, 0, SEEK_SET);
  lseek(errFd, 0, SEEK_SET);
  run.out = ReadAll(outFd);
  run.err = ReadAll(errFd);
  close(outFd);
  close(errFd);
  unlink(outPattern);
  unlink(errPattern);
  unlink(script_file.c_str());
  return run;
}

std::vector<std::string> WindowLines(const std::vector<std::string>& dump,
                                     const std::string& windowName) {
  std::vector<std::string> lines;
  bool inside = false;
  std::string start = "window " + windowName + " ";
  for (const std::string& line : dump) {
    if (line.rfind("window ", 0) == 0)
      inside = line.rfind(start, 0) == 0;
    if (inside)
      lines.push_back(line);
  }
  return lines;
}

std::string ControlLine(const std::vector<std::string>& windowLines, int controlId) {
  std::string id = " " + std::to_string(controlId) + " ";
  for (const std::string& line : windowLines) {
    if (line.rfind("  ", 0) == 0 && line.rfind("    ", 0) != 0) {
      std::size_t space = line.find(' ', 2);
      if (space != std::string::npos && line.compare(space, id.size(), id) == 0)
        return line;
    }
  }
  return {};
}

std::vector<std::string> ItemsOf(const std::vector<std::string>& windowLines, int controlId) {
  std::vector<std::string> items;
  std::string control = ControlLine(windowLines, controlId);
  bool inside = false;
  for (const std::string& line : windowLines) {
    if (!control.empty() && line == control) {
      inside = true;
      continue;
    }
    if (inside) {
      if (line.rfind("    ", 0) != 0)
        break;
      items.push_back(line.substr(4));
    }
  }
  return items;
}

std::string Quoted(const std::string& text) {
  return headless::QuoteDumpText(text);
}

}  // namespace testing_support
