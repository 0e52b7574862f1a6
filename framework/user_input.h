#pragma once

#include <string>

#include "framework/window.h"

namespace framework {

// What a user does, in one place for every backend: each function changes the
// control's model as the user's action would and sends the notification that
// action causes. A control that is disabled, hidden or destroyed, or of the
// wrong kind, takes no user action: the function changes nothing and returns false.
namespace user {

// Replaces the whole text of an edit or of a combo box's field.
bool TypeText(Control& control, std::string text);
// Presses a push button, or toggles a check box.
bool Click(Control& control);
// Selects item `index` of a list box or of a combo box's list.
bool Select(Control& control, int index);
// Selects item `index` of a list box, then double-clicks it.
bool DoubleClick(Control& control, int index);
// Enter: the focused push button, else the default push button, else IDOK.
bool PressEnter(Window& window);
// Esc and the close box.
bool RequestClose(Window& window);

}  // namespace user
}  // namespace framework
