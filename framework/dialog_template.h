#pragma once

#include <string>
#include <vector>

namespace framework {

// What kind of control a template entry makes.
enum class ControlKind { PushButton, CheckBox, Edit, ComboBox, ListBox, Static, GroupBox };

// Style bits that change how a control behaves; layout-only styles are not kept.
enum ControlStyle : unsigned {
  kStyleNone = 0,
  kStyleDefaultButton = 1u << 0,      // BS_DEFPUSHBUTTON
  kStyleTabStop = 1u << 1,            // WS_TABSTOP
  kStyleSorted = 1u << 2,             // CBS_SORT / LBS_SORT
  kStyleNotify = 1u << 3,             // LBS_NOTIFY
  kStyleUseTabStops = 1u << 4,        // LBS_USETABSTOPS
  kStyleAutoHScroll = 1u << 5,        // ES_AUTOHSCROLL / CBS_AUTOHSCROLL
  kStyleVScroll = 1u << 6,            // WS_VSCROLL
  kStyleHScroll = 1u << 7,            // WS_HSCROLL
  kStyleBorder = 1u << 8,             // WS_BORDER
  kStyleDropDown = 1u << 9,           // CBS_DROPDOWN (editable field)
  kStyleNoIntegralHeight = 1u << 10,  // LBS_NOINTEGRALHEIGHT
  kStyleAutoCheckBox = 1u << 11,      // BS_AUTOCHECKBOX
};

// A rectangle in dialog units.
struct DialogRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct ControlTemplate {
  int id = -1;
  ControlKind kind = ControlKind::Static;
  std::string caption;
  DialogRect rect;
  unsigned styles = kStyleNone;
};

// Window style bits of a dialog template.
enum DialogStyle : unsigned {
  kDialogNone = 0,
  kDialogCaption = 1u << 0,
  kDialogSystemMenu = 1u << 1,  // close box
  kDialogMinimizeBox = 1u << 2,
  kDialogModalFrame = 1u << 3,
  kDialogVisible = 1u << 4,
};

// A dialog as a control table; controls are in template order, which is
// also the tab order.
struct DialogTemplate {
  int id = 0;
  std::string caption;
  int width = 0;
  int height = 0;
  std::string fontName;
  int fontPoints = 8;
  unsigned styles = kDialogNone;
  std::vector<ControlTemplate> controls;
};

}  // namespace framework
