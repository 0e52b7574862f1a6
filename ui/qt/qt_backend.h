#pragma once

#include <memory>

#include "framework/backend.h"

namespace qtui {

class BackendCore;

// The desktop backend: every framework window becomes a Qt Widgets dialog,
// window timers run on one Qt timer, and modal runs are nested Qt event loops
// on the one thread, so windows without an owner stay usable.
class QtBackend : public framework::Backend {
 public:
  // Makes the Qt application object. When there is no display to show
  // windows on, prints one line saying so to standard error and returns null.
  static std::unique_ptr<QtBackend> Create(int& argc, char** argv);
  ~QtBackend() override;

  void WindowCreated(framework::Window& window) override;
  void WindowDestroyed(framework::Window& window) override;
  void WindowChanged(framework::Window& window) override;
  void ControlChanged(framework::Control& control) override;
  void ListRowsAboutToInsert(framework::ListBox& list, int index, int count) override;
  void ListRowsInserted(framework::ListBox& list, int index, int count) override;
  void ListRowsAboutToRemove(framework::ListBox& list, int index, int count) override;
  void ListRowsRemoved(framework::ListBox& list, int index, int count) override;

  void RunModalLoop(framework::Window& window, const std::function<bool()>& finished) override;
  std::optional<std::string> RunOpenFileDialog(framework::Window& window,
                                               const framework::OpenFileRequest& request) override;

  std::int64_t NowMs() override;
  void TimersChanged() override;

 private:
  explicit QtBackend(std::unique_ptr<BackendCore> core);
  std::unique_ptr<BackendCore> core_;
};

}  // namespace qtui
