#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace framework {

class Control;
class ListBox;
class Window;

// One entry of an open-file dialog's filter.
struct FileFilter {
  std::string description;
  std::string pattern;
};

// What the program asks of an open-file dialog.
struct OpenFileRequest {
  std::string title;
  std::string defaultExtension;
  std::string initialFileName;
  std::vector<FileFilter> filters;
  // List only directories and files the user may execute.
  bool executablesOnly = false;
};

// A presentation backend: it makes the framework's windows real and runs the
// event loops. The framework tells it about every change to its models after
// the change (and, for list rows, before too, for toolkits that need it).
class Backend {
 public:
  virtual ~Backend() = default;

  virtual void WindowCreated(Window& window) = 0;
  // The window is off the list of windows; its object may be deleted soon after.
  virtual void WindowDestroyed(Window& window) = 0;
  // Caption, visibility or focus of the window changed.
  virtual void WindowChanged(Window& window) = 0;
  // Text, state or selection of a control changed.
  virtual void ControlChanged(Control& control) = 0;
  virtual void ListRowsAboutToInsert(ListBox& /*list*/, int /*index*/, int /*count*/) {}
  virtual void ListRowsInserted(ListBox& list, int index, int count) = 0;
  virtual void ListRowsAboutToRemove(ListBox& /*list*/, int /*index*/, int /*count*/) {}
  virtual void ListRowsRemoved(ListBox& list, int index, int count) = 0;

  // Dispatches user input and due timers until finished() holds. Loops nest.
  virtual void RunModalLoop(Window& window, const std::function<bool()>& finished) = 0;
  // Shows the open-file dialog for `window` (a WindowKind::FileDialog window)
  // and returns the chosen path, or nothing when it was cancelled. Timers keep
  // firing meanwhile.
  virtual std::optional<std::string> RunOpenFileDialog(Window& window,
                                                       const OpenFileRequest& request) = 0;

  // Milliseconds on the backend's monotonic clock; timers are due by it.
  virtual std::int64_t NowMs() = 0;
  // The earliest due time of the window timers may have changed.
  virtual void TimersChanged() {}

  // A terminal backend runs programs in the foreground and restores its screen after.
  virtual bool RunsProgramsInForeground() const { return false; }
  virtual void SuspendForProgram() {}
  virtual void ResumeAfterProgram() {}
};

// The backend in use; null when none is installed (models still work, unseen).
Backend* CurrentBackend();
void SetCurrentBackend(Backend* backend);

}  // namespace framework
