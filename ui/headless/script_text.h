#pragma once

#include <string>
#include <string_view>

namespace headless {

// Turns the escapes of a script argument into bytes: \\ \t \n \r and \xHH.
// Any other backslash sequence stands for itself, both characters kept.
std::string UnescapeScriptText(std::string_view text);

// Quotes a text for a dump: within double quotes, `"` and `\` are escaped and
// every byte below 32 or above 126 is written as \t, \n, \r or \xHH, so a
// dump is plain ASCII whatever the text holds.
std::string QuoteDumpText(std::string_view text);

}  // namespace headless
