#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace engine {

// The filename patterns of one search, in the order they were typed, closed by
// an empty end marker. A pattern may itself be empty; whoever walks the list
// cannot tell it from the end marker, except in the first slot.
struct PatternList {
  static constexpr int kMaxPatterns = 50;

  std::vector<std::string> slots;  // the patterns, then the end marker ""
};

// Fills list from text: every single space closes an entry, so leading,
// trailing and doubled spaces give empty entries, and an empty text gives one
// empty entry. Nothing else separates patterns and nothing is trimmed. Returns
// false when a 51st entry was met; the first 50 are kept then and the rest of
// the text is ignored.
bool SplitPatterns(std::string_view text, PatternList& list);

}  // namespace engine
