#include "tests/ui/terminal/tmux_session.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace terminal_testing {

namespace {

constexpr int kPollMs = 50;
constexpr const char* kSessionName = "morvel";

// Records the terminal modes around the program and keeps the pane alive
// after it, so that its state can still be read. A trapped (not ignored)
// SIGINT lets Ctrl+C reach the program with its default action.
constexpr const char* kPaneScript = R"(trap 'true' INT
stty -g > "$WORK/before"
"$MORVEL"
status=$?
stty -g > "$WORK/after"
echo $status > "$WORK/status.tmp"
mv "$WORK/status.tmp" "$WORK/status"
exec sleep 100000
)";

int sessionCounter = 0;

void Sleep(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  return text;
}

}  // namespace

ScratchDir::ScratchDir() {
  char pattern[] = "/tmp/morvel-terminal-XXXXXX";
  if (!::mkdtemp(pattern))
    throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

std::string ScratchDir::Write(const std::string& relative, const std::string& content) const {
  std::filesystem::path path = std::filesystem::path(path_) / relative;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
  return path.string();
}

std::string RunAndRead(const std::vector<std::string>& argv) {
  int ends[2];
  if (::pipe(ends) != 0)
    return {};
  pid_t child = ::fork();
  if (child == 0) {
    ::dup2(ends[1], STDOUT_FILENO);
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDERR_FILENO);
    ::close(ends[0]);
    ::close(ends[1]);
    std::vector<char*> args;
    for (const std::string& arg : argv)
      args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(ends[1]);
  std::string output;
  char buffer[4096];
  for (;;) {
    ssize_t got = ::read(ends[0], buffer, sizeof buffer);
    if (got <= 0)
      break;
    output.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(ends[0]);
  int status = 0;
  if (child > 0)
    ::waitpid(child, &status, 0);
  return output;
}

TmuxSession::TmuxSession(int cols, int rows,
                         const std::map<std::string, std::string>& environment) {
  socket_ = "morvel-test-" + std::to_string(::getpid()) + "-" + std::to_string(++sessionCounter);
  std::string script = work_.Write("pane.sh", kPaneScript);
  std::map<std::string, std::string> variables = {
      {"MORVEL", MORVEL_BINARY}, {"WORK", work_.Path()},  {"XDG_CONFIG_HOME", config_.Path()},
      {"MORVEL_UI", "terminal"}, {"LANG", "C.UTF-8"},     {"LC_ALL", "C.UTF-8"},
      {"EDITOR", "/bin/true"},   {"VISUAL", "/bin/true"},
  };
  for (const auto& [name, value] : environment)
    variables[name] = value;
  std::vector<std::string> args = {
      "new-session",       "-d", "-s", kSessionName, "-x", std::to_string(cols), "-y",
      std::to_string(rows)};
  for (const auto& [name, value] : variables) {
    args.push_back("-e");
    args.push_back(name + "=" + value);
  }
  args.push_back("sh " + script);
  Tmux(args);
  Tmux({"pipe-pane", "-o", "-t", kSessionName, "cat >> " + work_.Path() + "/output"});
}

TmuxSession::~TmuxSession() {
  Tmux({"kill-server"});
}

std::vector<std::string> TmuxSession::Tmux(std::vector<std::string> args) const {
  args.insert(args.begin(), {"tmux", "-L", socket_, "-f", "/dev/null"});
  std::string output = RunAndRead(args);
  std::vector<std::string> lines;
  std::istringstream stream(output);
  for (std::string line; std::getline(stream, line);)
    lines.push_back(line);
  return lines;
}

void TmuxSession::Keys(const std::vector<std::string>& keys) {
  std::vector<std::string> args = {"send-keys", "-t", kSessionName};
  args.insert(args.end(), keys.begin(), keys.end());
  Tmux(args);
}

void TmuxSession::Click(int row, int col) {
  // The X10 encoding: ESC [ M, then button, column and row, each plus 32.
  auto report = [&](int button) {
    return std::string("\033[M") + static_cast<char>(32 + button) + static_cast<char>(33 + col) +
           static_cast<char>(33 + row);
  };
  Type(report(0) + report(3));
}

CellPosition FindOnScreen(const std::string& screen, const std::string& text, int after) {
  std::istringstream lines(screen);
  int row = 0;
  for (std::string line; std::getline(lines, line); ++row) {
    std::size_t at = line.find(text);
    if (row < after || at == std::string::npos)
      continue;
    int col = 0;
    for (std::size_t i = 0; i < at; ++i) {
      if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80)
        ++col;
    }
    return {row, col};
  }
  return {};
}

void TmuxSession::Type(const std::string& text) {
  Tmux({"send-keys", "-t", kSessionName, "-l", text});
}

std::string TmuxSession::Screen() {
  std::string screen;
  for (const std::string& line : Tmux({"capture-pane", "-p", "-t", kSessionName}))
    screen += line + "\n";
  lastScreen_ = screen;
  return screen;
}

std::string TmuxSession::Format(const std::string& format) {
  std::vector<std::string> lines = Tmux({"display-message", "-p", "-t", kSessionName, format});
  return lines.empty() ? std::string() : lines.front();
}

bool TmuxSession::WaitFor(const std::function<bool(const std::string&)>& ready, int boundMs) {
  // A capture can fall in the middle of a redraw; only a screen that stays
  // the same over one more poll counts, so checks after a wait see it whole.
  std::string previous;
  for (int waited = 0; waited <= boundMs; waited += kPollMs) {
    std::string screen = Screen();
    if (screen == previous && ready(screen))
      return true;
    previous = screen;
    Sleep(kPollMs);
  }
  return false;
}

bool TmuxSession::WaitForText(const std::string& text, int boundMs) {
  return WaitFor([&](const std::string& screen) { return screen.find(text) != std::string::npos; },
                 boundMs);
}

int TmuxSession::ProgramPid() {
  for (int waited = 0; waited <= 5000; waited += kPollMs) {
    std::string shell = Format("#{pane_pid}");
    std::ifstream children("/proc/" + shell + "/task/" + shell + "/children");
    int pid = 0;
    if (children >> pid && pid > 0)
      return pid;
    Sleep(kPollMs);
  }
  return -1;
}

int TmuxSession::WaitForExit(int boundMs) {
  for (int waited = 0; waited <= boundMs; waited += kPollMs) {
    std::string status = Trimmed(Read("status"));
    if (!status.empty())
      return std::stoi(status);
    Sleep(kPollMs);
  }
  return -1;
}

std::string TmuxSession::Read(const std::string& name) const {
  std::ifstream file(work_.Path() + "/" + name, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

std::string TmuxSession::ModesBefore() const {
  return Trimmed(Read("before"));
}

std::string TmuxSession::ModesAfter() const {
  return Trimmed(Read("after"));
}

std::string TmuxSession::Output() const {
  return Read("output");
}

}  // namespace terminal_testing
