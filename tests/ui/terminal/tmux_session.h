#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace terminal_testing {

// A folder under /tmp, removed with its contents when the object dies.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return path_; }
  // Writes a file below the folder (making its parents) and returns its path.
  std::string Write(const std::string& relative, const std::string& content) const;

 private:
  std::string path_;
};

// Where `text` first shows on a screen, counting one cell per character;
// {-1, -1} when it does not. `after` skips rows above it.
struct CellPosition {
  int row = -1;
  int col = -1;
};
CellPosition FindOnScreen(const std::string& screen, const std::string& text, int after = 0);

// Runs a program and returns what it wrote on standard output.
std::string RunAndRead(const std::vector<std::string>& argv);

// The real program in a tmux pane of a given size, on a tmux server of its
// own. The pane runs a small shell script that records the terminal modes
// before and after the program, so tests can see the terminal was restored.
// The server is killed when the object dies.
class TmuxSession {
 public:
  TmuxSession(int cols, int rows, const std::map<std::string, std::string>& environment = {});
  ~TmuxSession();
  TmuxSession(const TmuxSession&) = delete;
  TmuxSession& operator=(const TmuxSession&) = delete;

  // tmux key names: "Tab", "Enter", "M-s", "C-c", "F6" ...
  void Keys(const std::vector<std::string>& keys);
  // Literal text, typed as it is.
  void Type(const std::string& text);
  // A press and release of the left mouse button on a cell (0-based), as a
  // terminal reports it to a program that asked for mouse events.
  void Click(int row, int col);
  // The screen as text, one line per row.
  std::string Screen();
  // A tmux format of the pane, such as "#{pane_title}".
  std::string Format(const std::string& format);
  // Polls the screen until `ready` holds or the bound passes; the last
  // screen is left in LastScreen() either way.
  bool WaitFor(const std::function<bool(const std::string&)>& ready, int boundMs = 15000);
  bool WaitForText(const std::string& text, int boundMs = 15000);
  const std::string& LastScreen() const { return lastScreen_; }

  // The process id of the program, once it runs.
  int ProgramPid();
  // Waits for the program to end; its exit status as the shell reports it
  // (128 + n for a signal), or -1 when it did not end in time.
  int WaitForExit(int boundMs = 15000);
  // Terminal modes ("stty -g") before the program started and after it ended.
  std::string ModesBefore() const;
  std::string ModesAfter() const;
  // Everything the program wrote to the pane, as recorded by tmux.
  std::string Output() const;
  const std::string& ConfigHome() const { return config_.Path(); }

 private:
  std::vector<std::string> Tmux(std::vector<std::string> args) const;
  std::string Read(const std::string& name) const;

  ScratchDir work_;
  ScratchDir config_;
  std::string socket_;
  std::string lastScreen_;
};

}  // namespace terminal_testing
