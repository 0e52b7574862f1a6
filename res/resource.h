#pragma once

// Template and control ids of the program's dialogs.
namespace res {

// Search criteria dialog.
constexpr int IDD_FIND_FILES = 130;
constexpr int IDC_FILENAME_PATTERN = 1001;
constexpr int IDC_SEARCH_SUBDIRECTORIES = 1002;
constexpr int IDC_SEARCH_STRING = 1003;
constexpr int IDC_SEARCH = 1004;
constexpr int IDC_IGNORE_CASE = 1006;
constexpr int IDC_START_DIRECTORY = 1007;
constexpr int IDC_SUPPORT_INFO = 1008;

// Results dialog.
constexpr int IDD_LIST_FILES = 131;
constexpr int IDC_EDIT_FILE = 3;
constexpr int IDC_EXPAND = 4;
constexpr int IDC_RESULTS_LIST = 1005;
constexpr int IDC_EDITOR_PATH = 1008;
constexpr int IDC_BROWSE = 1009;
constexpr int IDC_ANOTHER_SEARCH = 1010;
constexpr int IDC_NARROW = 1011;
constexpr int IDC_WIDEN = 1012;
constexpr int IDC_STOP = 1013;
constexpr int IDC_STATUS = 1014;

// Support information dialog.
constexpr int IDD_SUPPORT_INFO = 133;
constexpr int IDC_PROGRAM_NAME = 1015;
constexpr int IDC_PROGRAM_VERSION = 1016;

}  // namespace res
