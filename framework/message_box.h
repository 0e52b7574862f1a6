#pragma once

#include <string_view>

namespace framework {

constexpr unsigned MB_OK = 0x0;

// A modal message box with only an OK button, no icon and no owner. Its
// caption is `caption`, or the application name when that is empty.
// Returns IDOK.
int AfxMessageBox(std::string_view text, unsigned type = MB_OK, std::string_view caption = {});

}  // namespace framework
