#include "framework/window.h"

#include <algorithm>

#include "framework/backend.h"
#include "framework/timers.h"

namespace framework {

namespace {

std::vector<Window*>& WindowList() {
  static std::vector<Window*> windows;
  return windows;
}

std::uint64_t nextShownSerial = 1;

unsigned char Fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Fold(static_cast<unsigned char>(a[i])) != Fold(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Windows-style search: from the item after start to the end, then from the top.
template <typename Predicate>
int SearchFrom(const std::vector<std::string>& items, int start, Predicate matches) {
  int count = static_cast<int>(items.size());
  if (count == 0)
    return CB_ERR;
  int first = (start < 0 || start >= count) ? 0 : start + 1;
  for (int step = 0; step < count; ++step) {
    int index = (first + step) % count;
    if (matches(items[static_cast<std::size_t>(index)]))
      return index;
  }
  return CB_ERR;
}

}  // namespace

// ---- Control

Control::Control(Window& owner, const ControlTemplate& controlTemplate)
    : owner_(owner), template_(controlTemplate), text_(controlTemplate.caption) {}

void Control::Changed() {
  if (Backend* backend = CurrentBackend(); backend && !owner_.IsDestroyed()) {
    backend->ControlChanged(*this);
  }
}

void Control::SetWindowText(std::string text) {
  if (text == text_)
    return;
  text_ = std::move(text);
  Changed();
}

void Control::EnableWindow(bool enable) {
  if (enable == enabled_)
    return;
  enabled_ = enable;
  if (!enabled_ && owner_.Focus() == this)
    owner_.SetFocus(nullptr);
  Changed();
}

void Control::ShowWindow(int command) {
  bool visible = command != SW_HIDE;
  if (visible == visible_)
    return;
  visible_ = visible;
  if (!visible_ && owner_.Focus() == this)
    owner_.SetFocus(nullptr);
  Changed();
}

void Control::DestroyWindow() {
  if (destroyed_)
    return;
  destroyed_ = true;
  if (owner_.Focus() == this)
    owner_.SetFocus(nullptr);
  Changed();
}

void Control::SetCheck(int state) {
  bool checked = state == BST_CHECKED;
  if (checked == checked_)
    return;
  checked_ = checked;
  Changed();
}

// ---- ComboBox

std::string ComboBox::GetLBText(int index) const {
  if (index < 0 || index >= GetCount())
    return {};
  return items_[static_cast<std::size_t>(index)];
}

int ComboBox::AddString(std::string text) {
  auto position = items_.end();
  if (HasStyle(kStyleSorted)) {
    position = std::upper_bound(items_.begin(), items_.end(), text,
                                [](const std::string& a, const std::string& b) {
                                  return OrderedList::CompareKeys(a, b) < 0;
                                });
  }
  int index = static_cast<int>(position - items_.begin());
  items_.insert(position, std::move(text));
  if (selection_ >= index)
    ++selection_;
  Changed();
  return index;
}

int ComboBox::FindStringExact(int start, std::string_view text) const {
  return SearchFrom(items_, start,
                    [text](const std::string& item) { return EqualIgnoringCase(item, text); });
}

int ComboBox::SelectString(int start, std::string_view text) {
  int index = SearchFrom(items_, start, [text](const std::string& item) {
    return StartsWithIgnoringCase(item, text);
  });
  if (index != CB_ERR)
    SetCurSel(index);
  return index;
}

int ComboBox::SetCurSel(int index) {
  if (index < 0 || index >= GetCount()) {
    selection_ = CB_ERR;
    Changed();
    return CB_ERR;
  }
  selection_ = index;
  SetWindowText(items_[static_cast<std::size_t>(index)]);
  Changed();
  return index;
}

// ---- ListBox

const std::string& ListBox::GetText(int index) const {
  static const std::string empty;
  if (index < 0 || index >= GetCount())
    return empty;
  return items_.At(index);
}

int ListBox::AddString(std::string text) {
  int index = HasStyle(kStyleSorted) ? items_.SortedIndexFor(text) : GetCount();
  return InsertString(index, std::move(text));
}

int ListBox::InsertString(int index, std::string text) {
  int count = GetCount();
  if (index < 0)
    index = count;
  if (index > count)
    return LB_ERR;
  Backend* backend = Owner().IsDestroyed() ? nullptr : CurrentBackend();
  if (backend)
    backend->ListRowsAboutToInsert(*this, index, 1);
  items_.Insert(index, std::move(text));
  if (selection_ >= index)
    ++selection_;
  if (backend)
    backend->ListRowsInserted(*this, index, 1);
  return index;
}

int ListBox::DeleteString(int index) {
  if (index < 0 || index >= GetCount())
    return LB_ERR;
  Backend* backend = Owner().IsDestroyed() ? nullptr : CurrentBackend();
  if (backend)
    backend->ListRowsAboutToRemove(*this, index, 1);
  items_.Erase(index);
  if (selection_ == index) {
    selection_ = LB_ERR;
  } else if (selection_ > index) {
    --selection_;
  }
  if (backend)
    backend->ListRowsRemoved(*this, index, 1);
  return GetCount();
}

void ListBox::ResetContent() {
  int count = GetCount();
  if (count == 0)
    return;
  Backend* backend = Owner().IsDestroyed() ? nullptr : CurrentBackend();
  if (backend)
    backend->ListRowsAboutToRemove(*this, 0, count);
  items_.Clear();
  selection_ = LB_ERR;
  if (backend)
    backend->ListRowsRemoved(*this, 0, count);
}

int ListBox::SetCurSel(int index) {
  if (index < -1 || index >= GetCount())
    return LB_ERR;
  if (index != selection_) {
    selection_ = index;
    Changed();
  }
  return index == -1 ? LB_ERR : index;
}

void ListBox::SetHorizontalExtent(int pixels) {
  if (pixels == horizontalExtent_)
    return;
  horizontalExtent_ = pixels;
  Changed();
}

// ---- Window

Window::Window(WindowKind kind, const DialogTemplate& dialogTemplate, WindowEvents* events)
    : kind_(kind), template_(dialogTemplate), events_(events), caption_(dialogTemplate.caption) {
  controls_.reserve(template_.controls.size());
  for (const ControlTemplate& control : template_.controls) {
    switch (control.kind) {
      case ControlKind::ComboBox:
        controls_.push_back(std::make_unique<ComboBox>(*this, control));
        break;
      case ControlKind::ListBox:
        controls_.push_back(std::make_unique<ListBox>(*this, control));
        break;
      default:
        controls_.push_back(std::make_unique<Control>(*this, control));
        break;
    }
  }
  WindowList().push_back(this);
  if (Backend* backend = CurrentBackend())
    backend->WindowCreated(*this);
}

Window::~Window() {
  if (!destroyed_)
    Destroy();
}

void Window::SetCaption(std::string caption) {
  if (caption == caption_)
    return;
  caption_ = std::move(caption);
  if (Backend* backend = CurrentBackend(); backend && !destroyed_)
    backend->WindowChanged(*this);
}

void Window::Show(bool visible) {
  if (destroyed_)
    return;
  if (visible)
    shownSerial_ = nextShownSerial++;
  if (visible == visible_)
    return;
  visible_ = visible;
  if (Backend* backend = CurrentBackend())
    backend->WindowChanged(*this);
}

void Window::Destroy() {
  if (destroyed_)
    return;
  visible_ = false;
  destroyed_ = true;
  KillWindowTimers(*this);
  auto& windows = WindowList();
  windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
  if (Backend* backend = CurrentBackend())
    backend->WindowDestroyed(*this);
}

Control* Window::Find(int id) const {
  for (const auto& control : controls_) {
    if (control->Id() == id)
      return control.get();
  }
  return nullptr;
}

Control* Window::DefaultButton() const {
  for (const auto& control : controls_) {
    if (control->IsPushButton() && control->IsDefaultButton() && !control->IsDestroyed()) {
      return control.get();
    }
  }
  return nullptr;
}

void Window::SetFocus(Control* control) {
  if (control == focus_)
    return;
  focus_ = control;
  if (Backend* backend = CurrentBackend(); backend && !destroyed_)
    backend->WindowChanged(*this);
}

Control* Window::FirstTabStop() const {
  for (const auto& control : controls_) {
    if (control->HasStyle(kStyleTabStop) && control->IsInteractive())
      return control.get();
  }
  return nullptr;
}

const std::vector<Window*>& AllWindows() {
  return WindowList();
}

}  // namespace framework
