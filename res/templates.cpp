#include "res/templates.h"

#include "framework/window.h"
#include "res/resource.h"

namespace res {

using framework::ControlKind;
using framework::DialogTemplate;
namespace fw = framework;

namespace {
constexpr int kNoId = -1;
constexpr unsigned kModalPopup =
    fw::kDialogCaption | fw::kDialogSystemMenu | fw::kDialogModalFrame | fw::kDialogVisible;
}  // namespace

const DialogTemplate& FindFilesTemplate() {
  static const DialogTemplate dialog{
      IDD_FIND_FILES,
      "Select Files",
      211,
      123,
      "MS Sans Serif",
      8,
      kModalPopup | fw::kDialogMinimizeBox,
      {
          {IDC_START_DIRECTORY,
           ControlKind::ComboBox,
           "",
           {25, 59, 178, 90},
           fw::kStyleDropDown | fw::kStyleSorted | fw::kStyleAutoHScroll | fw::kStyleVScroll |
               fw::kStyleTabStop},
          {IDC_SEARCH_SUBDIRECTORIES,
           ControlKind::CheckBox,
           "Search Subdirectories",
           {25, 76, 86, 9},
           fw::kStyleAutoCheckBox | fw::kStyleTabStop},
          {IDC_FILENAME_PATTERN,
           ControlKind::Edit,
           "",
           {25, 102, 36, 12},
           fw::kStyleBorder | fw::kStyleAutoHScroll | fw::kStyleTabStop},
          {IDC_SEARCH_STRING,
           ControlKind::Edit,
           "",
           {93, 102, 36, 12},
           fw::kStyleBorder | fw::kStyleAutoHScroll | fw::kStyleTabStop},
          {IDC_IGNORE_CASE,
           ControlKind::CheckBox,
           "Ignore Case",
           {144, 105, 57, 9},
           fw::kStyleAutoCheckBox | fw::kStyleTabStop},
          {IDC_SEARCH,
           ControlKind::PushButton,
           "&Search",
           {154, 8, 50, 14},
           fw::kStyleDefaultButton | fw::kStyleTabStop},
          {fw::IDCANCEL, ControlKind::PushButton, "Cancel", {154, 25, 50, 14}, fw::kStyleTabStop},
          {kNoId, ControlKind::Static, "Directory to start in", {10, 47, 84, 8}, fw::kStyleNone},
          {kNoId, ControlKind::Static, "Filename pattern", {10, 91, 59, 9}, fw::kStyleNone},
          {kNoId,
           ControlKind::Static,
           "Search for string in files",
           {78, 91, 79, 9},
           fw::kStyleNone},
          {IDC_SUPPORT_INFO,
           ControlKind::PushButton,
           "Support &Info...",
           {10, 25, 50, 14},
           fw::kStyleTabStop},
      }};
  return dialog;
}

const DialogTemplate& ListFilesTemplate() {
  static const DialogTemplate dialog{
      IDD_LIST_FILES,
      "Files Matching Pattern",
      258,
      227,
      "MS Sans Serif",
      8,
      kModalPopup | fw::kDialogMinimizeBox,
      {
          {IDC_RESULTS_LIST,
           ControlKind::ListBox,
           "",
           {16, 78, 230, 138},
           fw::kStyleSorted | fw::kStyleNotify | fw::kStyleUseTabStops |
               fw::kStyleNoIntegralHeight | fw::kStyleVScroll | fw::kStyleHScroll |
               fw::kStyleBorder | fw::kStyleTabStop},
          {IDC_NARROW, ControlKind::PushButton, "&Narrow", {136, 55, 35, 14}, fw::kStyleTabStop},
          {IDC_WIDEN, ControlKind::PushButton, "&Widen", {136, 39, 35, 14}, fw::kStyleTabStop},
          {IDC_BROWSE, ControlKind::PushButton, "&Browse...", {136, 23, 35, 14}, fw::kStyleTabStop},
          {IDC_EXPAND,
           ControlKind::PushButton,
           "E&xpand ",
           {196, 7, 50, 14},
           fw::kStyleDefaultButton | fw::kStyleTabStop},
          {IDC_EDIT_FILE,
           ControlKind::PushButton,
           "&Edit File",
           {196, 23, 50, 14},
           fw::kStyleTabStop},
          {fw::IDCANCEL, ControlKind::PushButton, "Cancel", {196, 39, 50, 14}, fw::kStyleTabStop},
          {IDC_ANOTHER_SEARCH,
           ControlKind::PushButton,
           "&Another Search ...",
           {177, 55, 69, 14},
           fw::kStyleTabStop},
          {IDC_EDITOR_PATH,
           ControlKind::Edit,
           "",
           {16, 23, 116, 12},
           fw::kStyleAutoHScroll | fw::kStyleBorder | fw::kStyleTabStop},
          {kNoId,
           ControlKind::Static,
           "Pathname of editor to use:",
           {6, 11, 99, 11},
           fw::kStyleNone},
          {kNoId,
           ControlKind::Static,
           "Files found matching pattern",
           {6, 62, 99, 9},
           fw::kStyleNone},
          {IDC_STOP, ControlKind::PushButton, "&STOP", {136, 7, 35, 14}, fw::kStyleTabStop},
          {IDC_STATUS, ControlKind::Static, "", {16, 45, 116, 11}, fw::kStyleNone},
      }};
  return dialog;
}

const DialogTemplate& SupportInfoTemplate() {
  static const DialogTemplate dialog{
      IDD_SUPPORT_INFO,
      "Support Information",
      180,
      92,
      "MS Sans Serif",
      8,
      kModalPopup,
      {
          {fw::IDOK,
           ControlKind::PushButton,
           "&Close",
           {65, 70, 50, 14},
           fw::kStyleDefaultButton | fw::kStyleTabStop},
          {kNoId, ControlKind::GroupBox, "Program Information", {7, 7, 166, 54}, fw::kStyleNone},
          {kNoId, ControlKind::Static, "Program Name:", {15, 22, 62, 8}, fw::kStyleNone},
          {IDC_PROGRAM_NAME, ControlKind::Static, "", {80, 22, 86, 8}, fw::kStyleNone},
          {kNoId, ControlKind::Static, "Program Version:", {15, 38, 62, 8}, fw::kStyleNone},
          {IDC_PROGRAM_VERSION, ControlKind::Static, "", {80, 38, 86, 8}, fw::kStyleNone},
      }};
  return dialog;
}

}  // namespace res
