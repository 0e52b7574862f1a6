#include "ui/qt/qt_backend.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

#include "framework/timers.h"
#include "framework/window.h"
#include "ui/qt/window_view.h"

namespace qtui {

namespace {

constexpr const char* kNoDisplayMessage =
    "morvel: cannot open a display for the desktop interface (MORVEL_UI=terminal or "
    "MORVEL_UI=script runs without one)\n";

bool EnvironmentNamesADisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value)
      return true;
  }
  return false;
}

// While the application object is made, Qt's platform plugin reports a
// missing display with several lines and then aborts; the user gets one line
// and a plain failure status instead.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext&, const QString&) {
  if (type == QtFatalMsg) {
    std::fputs(kNoDisplayMessage, stderr);
    std::fflush(stderr);
    std::_Exit(1);
  }
}

WindowView* ViewOf(const framework::Window& window) {
  return static_cast<WindowView*>(window.backendData);
}

// Lets the open-file dialog list only directories and files the user may run.
class ExecutablesFilter : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
    if (!files)
      return true;
    QFileInfo info = files->fileInfo(files->index(row, 0, parent));
    return info.isDir() || (info.isFile() && info.isExecutable());
  }
};

}  // namespace

// Everything the backend keeps: the application object, the clock and timer,
// the stack of running modal loops and the handler depth that keeps user
// input and timer callbacks out of each other.
class BackendCore : public InputGate {
 public:
  explicit BackendCore(std::unique_ptr<QApplication> application)
      : application_(std::move(application)) {
    clock_.start();
    QApplication::setQuitOnLastWindowClosed(false);
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { OnTimer(); });
    focusConnection_ =
        QObject::connect(qApp, &QApplication::focusChanged, [](QWidget*, QWidget* now) {
          if (auto* view = now ? qobject_cast<WindowView*>(now->window()) : nullptr)
            view->FocusWidgetChanged(now);
        });
  }

  ~BackendCore() override {
    QObject::disconnect(focusConnection_);
    EndBusy();
    for (const QPointer<WindowView>& view : views_)
      delete view.data();
  }

  bool Deliver(framework::Window& window, const std::function<void()>& action) override {
    // Input that arrives while a handler runs, or for a window that is not
    // shown (queued clicks on a window just hidden), is not the user's
    // action on what the program now shows.
    if (depth_ > 0 || window.IsDestroyed() || !window.IsVisible())
      return false;
    // Once a loop has been told to end, input that was queued behind the
    // action that ended it (a close after Enter) must not act on a dialog
    // that is already done.
    if (std::any_of(loops_.begin(), loops_.end(),
                    [](const ModalLoop* loop) { return loop->exited; }))
      return false;
    ++depth_;
    action();
    --depth_;
    AfterDispatch();
    return true;
  }

  void WindowCreated(framework::Window& window) {
    if (window.Kind() != framework::WindowKind::FileDialog) {
      auto* view = new WindowView(window, *this);
      window.backendData = view;
      views_.push_back(view);
    }
    StartBusy();
  }

  void WindowDestroyed(framework::Window& window) {
    if (WindowView* view = ViewOf(window)) {
      window.backendData = nullptr;
      pendingHides_.erase(view);
      view->Detach();
      view->hide();
      // Not deleted here: the destruction may come from a handler running
      // inside one of the view's own signals.
      view->deleteLater();
    }
    for (auto& [model, dialog] : fileDialogs_) {
      if (model == &window && dialog)
        dialog->reject();
    }
  }

  void WindowChanged(framework::Window& window) {
    WindowView* view = ViewOf(window);
    if (!view)
      return;
    if (window.IsVisible()) {
      pendingHides_.erase(view);
      if (!view->isVisible())
        view->ShowWindowNow();
      else
        view->SyncWindow();
    } else if (depth_ > 0) {
      // Hidden when the handler is done: until then the window stays on
      // screen with the busy cursor, rather than leaving a hole while a
      // handler works (the first walk of a search).
      view->SyncWindow();
      pendingHides_.insert(view);
    } else {
      view->hide();
    }
  }

  void RunModalLoop(const std::function<bool()>& finished) {
    EndBusy();
    ApplyPendingHides();
    ArmTimer();
    ModalLoop entry{&finished, nullptr, false};
    QEventLoop loop;
    entry.loop = &loop;
    loops_.push_back(&entry);
    int outerDepth = std::exchange(depth_, 0);
    while (!finished()) {
      entry.exited = false;
      if (loop.exec() != 0)
        break;  // the application is quitting
    }
    depth_ = outerDepth;
    loops_.pop_back();
  }

  std::optional<std::string> RunOpenFileDialog(framework::Window& window,
                                               const framework::OpenFileRequest& request) {
    EndBusy();
    ApplyPendingHides();
    QFileDialog dialog(TopmostView(), QString::fromUtf8(request.title.c_str()));
    dialog.setObjectName(QStringLiteral("file"));
    // Qt's own dialog: the only one that honours the filter below.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QStringList nameFilters;
    for (const framework::FileFilter& filter : request.filters) {
      QString patterns = QString::fromUtf8(filter.pattern.c_str()).replace(u';', u' ');
      nameFilters << QStringLiteral("%1 (%2)").arg(QString::fromUtf8(filter.description.c_str()),
                                                   patterns);
    }
    if (!nameFilters.isEmpty())
      dialog.setNameFilters(nameFilters);
    if (request.executablesOnly)
      dialog.setProxyModel(new ExecutablesFilter(&dialog));
    if (!request.initialFileName.empty()) {
      QFileInfo initial(QFile::decodeName(request.initialFileName.c_str()));
      if (request.initialFileName.find('/') != std::string::npos)
        dialog.setDirectory(initial.absolutePath());
      dialog.selectFile(initial.fileName());
    }

    fileDialogs_.emplace_back(&window, &dialog);
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, [&loop] { loop.exit(0); });
    dialog.open();
    int outerDepth = std::exchange(depth_, 0);
    ArmTimer();
    if (!window.IsDestroyed())
      loop.exec();
    depth_ = outerDepth;
    fileDialogs_.erase(std::find_if(fileDialogs_.begin(), fileDialogs_.end(),
                                    [&](const auto& entry) { return entry.second == &dialog; }));
    QStringList chosen = dialog.selectedFiles();
    if (dialog.result() != QDialog::Accepted || chosen.isEmpty())
      return std::nullopt;
    QByteArray path = QFile::encodeName(chosen.front());
    return std::string(path.constData(), static_cast<std::size_t>(path.size()));
  }

  std::int64_t NowMs() const { return clock_.elapsed(); }

  void ArmTimer() {
    std::optional<std::int64_t> due = framework::NextTimerDue();
    if (!due) {
      timer_.stop();
      return;
    }
    std::int64_t wait = std::clamp<std::int64_t>(*due - NowMs(), 0, INT_MAX);
    timer_.start(static_cast<int>(wait));
  }

 private:
  struct ModalLoop {
    const std::function<bool()>* finished;
    QEventLoop* loop;
    bool exited;
  };

  void OnTimer() {
    // Inside a handler the timers wait: a callback never runs inside
    // another handler. The handler's end arms the timer again.
    if (depth_ > 0)
      return;
    ++depth_;
    framework::FireDueTimers(NowMs());
    --depth_;
    AfterDispatch();
  }

  void AfterDispatch() {
    ApplyPendingHides();
    // A handler or timer may have ended any of the running loops, an outer
    // one too; an outer loop returns once the loops inside it have.
    for (ModalLoop* entry : loops_) {
      if (!entry->exited && (*entry->finished)()) {
        entry->exited = true;
        entry->loop->exit(0);
      }
    }
    ArmTimer();
  }

  void ApplyPendingHides() {
    std::set<WindowView*> hides = std::exchange(pendingHides_, {});
    for (WindowView* view : hides)
      view->hide();
  }

  void StartBusy() {
    if (!busy_) {
      busy_ = true;
      QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    // Lets the busy cursor and pending repaints reach the screen before the
    // program goes on working; user input waits in the queue, and timers
    // and input that would reach the framework are held off by the depth.
    ++depth_;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    --depth_;
  }

  void EndBusy() {
    if (busy_) {
      busy_ = false;
      QApplication::restoreOverrideCursor();
    }
  }

  QWidget* TopmostView() const {
    WindowView* topmost = nullptr;
    std::uint64_t serial = 0;
    for (framework::Window* window : framework::AllWindows()) {
      WindowView* view = ViewOf(*window);
      if (view && window->IsVisible() && window->ShownSerial() >= serial) {
        topmost = view;
        serial = window->ShownSerial();
      }
    }
    return topmost;
  }

  std::unique_ptr<QApplication> application_;
  QElapsedTimer clock_;
  QTimer timer_;
  QMetaObject::Connection focusConnection_;
  std::vector<QPointer<WindowView>> views_;
  std::vector<ModalLoop*> loops_;
  std::vector<std::pair<framework::Window*, QPointer<QFileDialog>>> fileDialogs_;
  std::set<WindowView*> pendingHides_;
  int depth_ = 0;
  bool busy_ = false;
};

std::unique_ptr<QtBackend> QtBackend::Create(int& argc, char** argv) {
  std::unique_ptr<QApplication> application;
  if (!QCoreApplication::instance()) {
    if (!EnvironmentNamesADisplay()) {
      std::fputs(kNoDisplayMessage, stderr);
      return nullptr;
    }
    QtMessageHandler previous = qInstallMessageHandler(StartupMessageHandler);
    application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
  } else if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    std::fputs("morvel: the desktop interface needs a widget application object\n", stderr);
    return nullptr;
  }
  return std::unique_ptr<QtBackend>(
      new QtBackend(std::make_unique<BackendCore>(std::move(application))));
}

QtBackend::QtBackend(std::unique_ptr<BackendCore> core) : core_(std::move(core)) {}

QtBackend::~QtBackend() = default;

void QtBackend::WindowCreated(framework::Window& window) {
  core_->WindowCreated(window);
}

void QtBackend::WindowDestroyed(framework::Window& window) {
  core_->WindowDestroyed(window);
}

void QtBackend::WindowChanged(framework::Window& window) {
  core_->WindowChanged(window);
}

void QtBackend::ControlChanged(framework::Control& control) {
  if (WindowView* view = ViewOf(control.Owner()))
    view->SyncControl(control);
}

void QtBackend::ListRowsAboutToInsert(framework::ListBox& list, int index, int count) {
  if (WindowView* view = ViewOf(list.Owner()))
    view->ListRowsAboutToInsert(list, index, count);
}

void QtBackend::ListRowsInserted(framework::ListBox& list, int, int) {
  if (WindowView* view = ViewOf(list.Owner()))
    view->ListRowsInserted(list);
}

void QtBackend::ListRowsAboutToRemove(framework::ListBox& list, int index, int count) {
  if (WindowView* view = ViewOf(list.Owner()))
    view->ListRowsAboutToRemove(list, index, count);
}

void QtBackend::ListRowsRemoved(framework::ListBox& list, int, int) {
  if (WindowView* view = ViewOf(list.Owner()))
    view->ListRowsRemoved(list);
}

void QtBackend::RunModalLoop(framework::Window&, const std::function<bool()>& finished) {
  core_->RunModalLoop(finished);
}

std::optional<std::string> QtBackend::RunOpenFileDialog(framework::Window& window,
                                                        const framework::OpenFileRequest& request) {
  return core_->RunOpenFileDialog(window, request);
}

std::int64_t QtBackend::NowMs() {
  return core_->NowMs();
}

void QtBackend::TimersChanged() {
  core_->ArmTimer();
}

}  // namespace qtui
