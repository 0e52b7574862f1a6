#pragma once

#include <QDialog>
#include <QRect>
#include <QSize>
#include <functional>
#include <vector>

#include "ui/qt/dialog_units.h"

namespace framework {
class Control;
class ListBox;
class Window;
}  // namespace framework

namespace qtui {

class ComboBoxModel;
class ListBoxModel;
class ListLineDelegate;

// Where a window's widgets hand the user's actions: the backend runs them on
// the framework's models when it may, and then lets loops that are done end.
class InputGate {
 public:
  virtual ~InputGate() = default;
  // Runs `action` for a user action on `window`; returns whether it ran.
  virtual bool Deliver(framework::Window& window, const std::function<void()>& action) = 0;
};

// One framework window drawn as a Qt dialog: a widget per control, placed by
// dialog units. Widgets show the models' state and turn what the user does
// into framework/user_input.h calls; the program's own writes to the models
// are applied with the widgets' signals blocked, so they never come back as
// notifications.
class WindowView : public QDialog {
  Q_OBJECT
 public:
  WindowView(framework::Window& window, InputGate& gate);
  ~WindowView() override;

  // The window drawn, or null once it has been destroyed.
  framework::Window* Model() const { return window_; }

  // Caption and focus; visibility is the backend's to apply.
  void SyncWindow();
  void SyncControl(const framework::Control& control);
  void ListRowsAboutToInsert(const framework::ListBox& list, int index, int count);
  void ListRowsInserted(const framework::ListBox& list);
  void ListRowsAboutToRemove(const framework::ListBox& list, int index, int count);
  void ListRowsRemoved(const framework::ListBox& list);
  // The model window is gone: drop every pointer into it.
  void Detach();

  // Puts the window in the middle of its screen the first time it is shown.
  void ShowWindowNow();
  // The user moved the keyboard focus to `widget` (or a widget inside it).
  void FocusWidgetChanged(QWidget* widget);

  QWidget* WidgetOf(const framework::Control& control) const;
  const DialogUnits& Units() const { return units_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 public slots:
  // Esc, through QDialog's own key handling.
  void reject() override;

 private:
  struct Binding {
    framework::Control* control = nullptr;
    QWidget* widget = nullptr;
    QRect baseRect;
    ListBoxModel* listModel = nullptr;
    ListLineDelegate* listDelegate = nullptr;
    ComboBoxModel* comboModel = nullptr;
    int shownExtent = 0;
  };

  void Build();
  QWidget* MakeWidget(Binding& binding);
  void ConnectList(Binding& binding);
  void ApplyControl(Binding& binding);
  void ApplyListSelection(Binding& binding);
  Binding* Find(const framework::Control& control);
  const Binding* Find(const framework::Control& control) const;
  // Runs a user action on a control, then shows the control's model again in
  // case the action was refused and the widget is ahead of it.
  void Act(framework::Control& control, const std::function<void()>& action);
  bool Resizable() const;

  framework::Window* window_;
  InputGate& gate_;
  DialogUnits units_;
  std::vector<Binding> bindings_;
  QSize baseSize_;
  bool applying_ = false;
  bool placed_ = false;
};

}  // namespace qtui
