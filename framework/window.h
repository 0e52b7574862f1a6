#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/dialog_template.h"
#include "framework/ordered_list.h"

namespace framework {

class Window;

// Result codes and the "no item" answer of lists and combo boxes.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int LB_ERR = -1;
constexpr int CB_ERR = -1;

// Notification codes, as a control reports them to its dialog.
constexpr int BN_CLICKED = 0;
constexpr int EN_CHANGE = 0x0300;
constexpr int EN_UPDATE = 0x0400;
constexpr int CBN_SELCHANGE = 1;
constexpr int CBN_DBLCLK = 2;
constexpr int CBN_EDITCHANGE = 5;
constexpr int CBN_EDITUPDATE = 6;
constexpr int LBN_SELCHANGE = 1;
constexpr int LBN_DBLCLK = 2;

// Check states.
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;

// Show commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// The model of one control. The program changes it through these members
// without any notification coming back; user actions go through
// framework/user_input.h, which is where notifications start.
class Control {
 public:
  Control(Window& owner, const ControlTemplate& controlTemplate);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  Window& Owner() const { return owner_; }
  int Id() const { return template_.id; }
  ControlKind Kind() const { return template_.kind; }
  const DialogRect& Rect() const { return template_.rect; }
  unsigned Styles() const { return template_.styles; }
  bool HasStyle(unsigned style) const { return (template_.styles & style) != 0; }

  // The caption of a button or static, the text of an edit, the field of a combo box.
  const std::string& Text() const { return text_; }
  void SetWindowText(std::string text);

  bool IsEnabled() const { return enabled_; }
  void EnableWindow(bool enable);
  bool IsVisible() const { return visible_; }
  void ShowWindow(int command);
  // A destroyed control is gone from its window for good: not drawn, no input.
  bool IsDestroyed() const { return destroyed_; }
  void DestroyWindow();
  // Whether a user could act on the control now.
  bool IsInteractive() const { return enabled_ && visible_ && !destroyed_; }

  bool IsDefaultButton() const { return HasStyle(kStyleDefaultButton); }
  bool IsPushButton() const { return Kind() == ControlKind::PushButton; }

  // Check boxes.
  int GetCheck() const { return checked_ ? BST_CHECKED : BST_UNCHECKED; }
  void SetCheck(int state);

 protected:
  void Changed();

 private:
  Window& owner_;
  ControlTemplate template_;
  std::string text_;
  bool enabled_ = true;
  bool visible_ = true;
  bool destroyed_ = false;
  bool checked_ = false;
};

// A drop-down combo box with an editable field and a list, sorted when its
// template says so. Comparisons ignore ASCII case.
class ComboBox : public Control {
 public:
  using Control::Control;

  int GetCount() const { return static_cast<int>(items_.size()); }
  std::string GetLBText(int index) const;
  int AddString(std::string text);
  // The first item after `start` (wrapping round; -1 searches from the top)
  // equal to text, ignoring case; CB_ERR when there is none.
  int FindStringExact(int start, std::string_view text) const;
  // Selects the first item after `start` that begins with text, ignoring
  // case, and shows it in the field; CB_ERR (selection kept) when none does.
  int SelectString(int start, std::string_view text);
  int GetCurSel() const { return selection_; }
  int SetCurSel(int index);

 private:
  std::vector<std::string> items_;
  int selection_ = CB_ERR;
};

// A single-selection list box over an OrderedList. The selection follows its
// item when lines are inserted or deleted above it.
class ListBox : public Control {
 public:
  using Control::Control;

  int GetCount() const { return items_.Count(); }
  // The item's text; an empty text for an index outside the list.
  const std::string& GetText(int index) const;
  // Sorted add when the list is sorted, else an append; returns the index.
  int AddString(std::string text);
  // Inserts before index (-1 appends); returns the index or LB_ERR.
  int InsertString(int index, std::string text);
  // Returns the count left, or LB_ERR for an index outside the list.
  int DeleteString(int index);
  void ResetContent();
  int GetCurSel() const { return selection_; }
  // -1 clears the selection; an index outside the list gives LB_ERR.
  int SetCurSel(int index);
  int GetHorizontalExtent() const { return horizontalExtent_; }
  void SetHorizontalExtent(int pixels);
  // How sorted adds order items; see OrderedList::SetSortKey.
  void SetSortKey(OrderedList::SortKeyFunction keyOf) { items_.SetSortKey(std::move(keyOf)); }
  const OrderedList& Items() const { return items_; }

 private:
  OrderedList items_;
  int selection_ = LB_ERR;
  int horizontalExtent_ = 0;
};

enum class WindowKind { Dialog, MessageBox, FileDialog };

// Receives what the user does to a window; dialogs and message boxes are targets.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  // A control reported a notification code.
  virtual void OnNotify(int controlId, int code) = 0;
  // Esc or the close box.
  virtual void OnCloseRequest() = 0;
};

// One top-level window: a dialog made from its template, a message box, or an
// open-file dialog. Backends draw it and feed user input back through
// framework/user_input.h; they hang their own state on backendData.
class Window {
 public:
  Window(WindowKind kind, const DialogTemplate& dialogTemplate, WindowEvents* events);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  WindowKind Kind() const { return kind_; }
  int TemplateId() const { return template_.id; }
  const DialogTemplate& Template() const { return template_; }
  WindowEvents* Events() const { return events_; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  bool IsVisible() const { return visible_; }
  void Show(bool visible);
  // Counts up each time the window is shown, so the most recently shown one can be found.
  std::uint64_t ShownSerial() const { return shownSerial_; }
  bool IsDestroyed() const { return destroyed_; }
  // Hides the window, kills its timers and takes it off the list of windows;
  // the object itself lives on until its owner deletes it.
  void Destroy();

  const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }
  Control* Find(int id) const;
  Control* DefaultButton() const;
  // The control that has the keyboard focus, or null.
  Control* Focus() const { return focus_; }
  void SetFocus(Control* control);
  // The first control in tab order that can take the focus.
  Control* FirstTabStop() const;

  void* backendData = nullptr;

 private:
  WindowKind kind_;
  DialogTemplate template_;
  WindowEvents* events_;
  std::string caption_;
  bool visible_ = false;
  bool destroyed_ = false;
  std::uint64_t shownSerial_ = 0;
  std::vector<std::unique_ptr<Control>> controls_;
  Control* focus_ = nullptr;
};

// Every window that exists and is not destroyed, in the order of creation.
const std::vector<Window*>& AllWindows();

}  // namespace framework
