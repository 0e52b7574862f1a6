#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "framework/backend.h"

namespace headless {

// The in-memory backend: windows exist only as the framework's models, time
// is a virtual clock that moves only when the script says so, and user input
// comes as one command per line. docs/scripting.md describes the commands
// and the dump format.
class ScriptBackend : public framework::Backend {
 public:
  ScriptBackend(std::istream& input, std::ostream& output, std::ostream& errors);

  void WindowCreated(framework::Window&) override {}
  void WindowDestroyed(framework::Window& window) override;
  void WindowChanged(framework::Window&) override {}
  void ControlChanged(framework::Control&) override {}
  void ListRowsInserted(framework::ListBox&, int, int) override {}
  void ListRowsRemoved(framework::ListBox&, int, int) override {}

  void RunModalLoop(framework::Window& window, const std::function<bool()>& finished) override;
  std::optional<std::string> RunOpenFileDialog(framework::Window& window,
                                               const framework::OpenFileRequest& request) override;
  std::int64_t NowMs() override { return now_; }

  // Runs one command line.
  void Execute(std::string_view line);
  // Writes every window's state, then "end".
  void Dump();

  // The bound of `run`, in virtual milliseconds.
  static constexpr std::int64_t kRunBoundMs = 100'000'000;

 private:
  struct FileAnswer {
    bool answered = false;
    std::optional<std::string> path;
  };

  framework::Window* TargetWindow() const;
  framework::Control* TargetControl(std::string_view idText, std::string_view command);
  void Refuse(std::string_view what);
  void Advance(std::int64_t milliseconds);
  void RunTimersOut();

  std::istream& input_;
  std::ostream& output_;
  std::ostream& errors_;
  std::int64_t now_ = 0;
  // What `window` last named: a template id, "message" or "file".
  std::optional<std::string> namedWindow_;
  framework::Window* waitingFileDialog_ = nullptr;
  FileAnswer* fileAnswer_ = nullptr;
};

}  // namespace headless
