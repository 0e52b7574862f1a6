#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/backend.h"
#include "framework/window.h"
#include "ui/terminal/keys.h"
#include "ui/terminal/layout.h"

namespace terminal {

struct WindowView;

// The terminal front end: draws every shown window of the framework with
// curses and turns keys and mouse events into the framework's user actions.
// Several windows may be shown at once; one of them is active and takes the
// keyboard. Control state stays in the framework's models; this class keeps
// only what a screen needs besides (scroll positions, cursors, placement).
class TerminalBackend : public framework::Backend {
 public:
  // Takes the terminal over; prints one line to stderr and returns null when
  // it cannot.
  static std::unique_ptr<TerminalBackend> Create();
  ~TerminalBackend() override;
  TerminalBackend(const TerminalBackend&) = delete;
  TerminalBackend& operator=(const TerminalBackend&) = delete;

  void WindowCreated(framework::Window& window) override;
  void WindowDestroyed(framework::Window& window) override;
  void WindowChanged(framework::Window& window) override;
  void ControlChanged(framework::Control& control) override;
  void ListRowsInserted(framework::ListBox& list, int index, int count) override;
  void ListRowsRemoved(framework::ListBox& list, int index, int count) override;

  void RunModalLoop(framework::Window& window, const std::function<bool()>& finished) override;
  std::optional<std::string> RunOpenFileDialog(framework::Window& window,
                                               const framework::OpenFileRequest& request) override;
  std::int64_t NowMs() override;

  bool RunsProgramsInForeground() const override { return true; }
  void SuspendForProgram() override;
  void ResumeAfterProgram() override;

  // What a handler did, so that the loop redraws only when asked.
  enum Outcome : unsigned { kIgnored = 0, kHandled = 1u << 0, kRedraw = 1u << 1 };

 private:
  TerminalBackend() = default;

  std::shared_ptr<WindowView> ViewOf(const framework::Window& window) const;
  std::vector<framework::Window*> ShownWindows() const;
  framework::Window* LatestShown() const;
  void LayOut();
  void Redraw();
  void DrawWindow(framework::Window& window, WindowView& view);
  void DrawControl(framework::Window& window, WindowView& view, std::size_t index);
  void DrawChooser(framework::Window& window, WindowView& view);
  void DrawDropDown(framework::Window& window, WindowView& view);
  int WaitMs();

  // The one dispatch point of user input.
  unsigned Dispatch(const keys::InputEvent& event);
  unsigned HandleMouse(const keys::InputEvent& event);
  unsigned HandleChooserKey(framework::Window& window, WindowView& view,
                            const keys::InputEvent& event);
  unsigned HandleChooserMouse(WindowView& view, const keys::InputEvent& event);
  unsigned HandleDropDownKey(framework::Window& window, WindowView& view,
                             const keys::InputEvent& event);
  unsigned HandleControlKey(framework::Control& control, WindowView& view,
                            const keys::InputEvent& event);
  unsigned HandleTextKey(framework::Control& control, WindowView& view,
                         const keys::InputEvent& event);
  unsigned HandleListKey(framework::ListBox& list, WindowView& view, const keys::InputEvent& event);
  unsigned HandleWindowKey(framework::Window& window, WindowView& view,
                           const keys::InputEvent& event);
  unsigned HandleControlMouse(framework::Window& window, WindowView& view, std::size_t index,
                              const keys::InputEvent& event);
  unsigned ActivateMnemonic(framework::Window& window, char key);
  unsigned MoveFocus(framework::Window& window, WindowView& view, bool forward);
  unsigned ActivateNextWindow();
  void Activate(framework::Window* window);

  std::unordered_map<const framework::Window*, std::shared_ptr<WindowView>> views_;
  framework::Window* active_ = nullptr;
  // Open-file choosers take all input while they are open; innermost last.
  std::vector<framework::Window*> choosers_;
  bool needsRedraw_ = true;
  CellSize laidOutFor_;
};

}  // namespace terminal
