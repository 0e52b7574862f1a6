#pragma once

#include <map>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under /tmp, removed with everything in it when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path() + "/" + relative.
  std::string operator/(const std::string& relative) const;
  // Writes a file (creating parent folders) and returns its full path.
  std::string Write(const std::string& relative, const std::string& content) const;
  std::string MakeDir(const std::string& relative) const;

 private:
  std::string path_;
};

struct ScriptRun {
  int exitCode = -1;
  std::string out;
  std::string err;
  // The dumps of `out`, each the lines before its "end".
  std::vector<std::vector<std::string>> Dumps() const;
  // The last dump.
  std::vector<std::string> LastDump() const;
};

struct ScriptOptions {
  // XDG_CONFIG_HOME for the run; required so tests never touch real settings.
  std::string configHome;
  // Extra environment (a value of "\x01unset" removes the variable).
  std::map<std::string, std::string> environment;
  std::string workingDirectory;
  // Runs this executable instead of the built morvel (a renamed copy, say).
  std::string binary;
};

// Runs the program with MORVEL_UI=script, feeding `script` on standard input.
ScriptRun RunScript(const std::string& script, const ScriptOptions& options);

// Lines of one window in a dump: its "window ..." line and the lines below it.
std::vector<std::string> WindowLines(const std::vector<std::string>& dump,
                                     const std::string& windowName);
// The quoted item lines of the list or combo box with that id in a window's lines.
std::vector<std::string> ItemsOf(const std::vector<std::string>& windowLines, int controlId);
// The line of a control (kind and id) in a window's lines, or "" when absent.
std::string ControlLine(const std::vector<std::string>& windowLines, int controlId);
// Quotes a text as a dump does.
std::string Quoted(const std::string& text);

}  // namespace testing_support
