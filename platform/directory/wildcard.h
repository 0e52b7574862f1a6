#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// File-name wildcards with the program's own rules, the same on every system:
//  - ASCII letters match without regard to case; every other byte matches itself;
//  - `*` matches any run of characters, including none;
//  - `?` matches one character: one UTF-8 character when the name is valid UTF-8,
//    otherwise one byte;
//  - a pattern ending in ".*" also matches a name without a period that matches the
//    pattern without its ".*" (so "*.*" matches every name, "README.*" matches README);
//  - a pattern ending in "." matches only names without a period, compared with the
//    pattern without its trailing periods (so "*." selects the names without a period).
// An empty pattern matches nothing, and nothing matches an empty name.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// A pattern prepared once for matching many names. Matching never allocates; the
// common shapes ("*.c", "name*", "*", a plain name) take a short path.
class WildcardPattern {
 public:
  explicit WildcardPattern(std::string_view pattern);

  bool Matches(std::string_view name) const;

 private:
  enum class Shape { kNothing, kAnything, kLiteral, kSuffix, kPrefix, kGeneral };

  bool MatchesBody(std::size_t length, Shape shape, std::string_view name) const;

  std::string text_;  // the pattern with ASCII letters folded to lower case
  std::size_t bodyLength_ = 0;
  Shape bodyShape_ = Shape::kNothing;
  bool onlyNamesWithoutPeriod_ = false;
  bool extensionOptional_ = false;      // a name without a period may skip the final ".*"
  Shape shortShape_ = Shape::kNothing;  // the shape without the final ".*"
};

}  // namespace platform
