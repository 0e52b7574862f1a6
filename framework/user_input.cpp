#include "framework/user_input.h"

namespace framework::user {

namespace {

void Notify(Control& control, int code) {
  if (WindowEvents* events = control.Owner().Events())
    events->OnNotify(control.Id(), code);
}

bool Acceptable(const Control& control) {
  return control.IsInteractive() && !control.Owner().IsDestroyed();
}

}  // namespace

bool TypeText(Control& control, std::string text) {
  if (!Acceptable(control))
    return false;
  if (control.Kind() != ControlKind::Edit && control.Kind() != ControlKind::ComboBox)
    return false;
  if (control.Text() == text)
    return true;
  control.SetWindowText(std::move(text));
  if (control.Kind() == ControlKind::Edit) {
    Notify(control, EN_UPDATE);
    Notify(control, EN_CHANGE);
  } else {
    Notify(control, CBN_EDITUPDATE);
    Notify(control, CBN_EDITCHANGE);
  }
  return true;
}

bool Click(Control& control) {
  if (!Acceptable(control))
    return false;
  if (control.Kind() == ControlKind::CheckBox) {
    control.SetCheck(control.GetCheck() == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  } else if (control.Kind() != ControlKind::PushButton) {
    return false;
  }
  Notify(control, BN_CLICKED);
  return true;
}

bool Select(Control& control, int index) {
  if (!Acceptable(control))
    return false;
  if (auto* list = dynamic_cast<ListBox*>(&control)) {
    if (index < 0 || index >= list->GetCount())
      return false;
    list->SetCurSel(index);
    if (list->HasStyle(kStyleNotify))
      Notify(control, LBN_SELCHANGE);
    return true;
  }
  if (auto* combo = dynamic_cast<ComboBox*>(&control)) {
    if (index < 0 || index >= combo->GetCount())
      return false;
    combo->SetCurSel(index);
    Notify(control, CBN_SELCHANGE);
    return true;
  }
  return false;
}

bool DoubleClick(Control& control, int index) {
  auto* list = dynamic_cast<ListBox*>(&control);
  if (!list || !Select(control, index))
    return false;
  if (list->HasStyle(kStyleNotify))
    Notify(control, LBN_DBLCLK);
  return true;
}

bool PressEnter(Window& window) {
  if (window.IsDestroyed())
    return false;
  Control* focus = window.Focus();
  if (focus && focus->IsPushButton() && focus->IsInteractive())
    return Click(*focus);
  if (Control* button = window.DefaultButton())
    return Click(*button);
  if (WindowEvents* events = window.Events())
    events->OnNotify(IDOK, BN_CLICKED);
  return true;
}

bool RequestClose(Window& window) {
  if (window.IsDestroyed())
    return false;
  if (WindowEvents* events = window.Events())
    events->OnCloseRequest();
  return true;
}

}  // namespace framework::user
