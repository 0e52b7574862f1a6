#include "engine/pattern_list.h"

#include <cstddef>

namespace engine {

bool SplitPatterns(std::string_view text, PatternList& list) {
  list.slots.clear();
  bool withinLimit = true;
  std::size_t entryStart = 0;
  // The end of the text closes the last entry, just as a space would.
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (at < text.size() && text[at] != ' ') {
      continue;
    }
    if (list.slots.size() == static_cast<std::size_t>(PatternList::kMaxPatterns)) {
      withinLimit = false;
      break;
    }
    list.slots.emplace_back(text.substr(entryStart, at - entryStart));
    entryStart = at + 1;
  }
  list.slots.emplace_back();  // the end marker
  return withinLimit;
}

}  // namespace engine
