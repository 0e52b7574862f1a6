#include "platform/directory/wildcard.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct MatchCase {
  std::string_view pattern;
  std::string_view name;
  bool matches;
};

// Each case is checked through both entry points, the one-off function and the
// prepared pattern, whose short paths must agree with the general matcher.
void ExpectCases(const std::vector<MatchCase>& cases) {
  for (const MatchCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "pattern \"" << c.pattern << "\" name \"" << c.name << "\"");
    EXPECT_EQ(platform::WildcardMatch(c.pattern, c.name), c.matches);
    EXPECT_EQ(platform::WildcardPattern(c.pattern).Matches(c.name), c.matches);
  }
}

TEST(WildcardTest, StarAndQuestionMark) {
  ExpectCases({
      {"*.c", "a.c", true},      {"*.c", ".c", true},      {"*.c", "a.cpp", false},
      {"*.c", "a.c.bak", false}, {"*.c", "c", false},      {"a*", "abc", true},
      {"a*", "a", true},         {"a*", "ba", false},      {"*", "anything at all", true},
      {"**", "x", true},         {"a*b*c", "aXbYc", true}, {"a*b*c", "aXcYb", false},
      {"*a*", "bab", true},      {"*ab", "aab", true},     {"*ab*ab", "abxabyab", true},
      {"a?c", "abc", true},      {"a?c", "ac", false},     {"a?c", "abbc", false},
      {"???", "abc", true},      {"*?", "", false},        {"name", "name", true},
      {"name", "names", false},  {"[a].c", "[a].c", true},  // brackets are plain characters
      {"[a].c", "a.c", false},
  });
}

TEST(WildcardTest, IgnoresCaseOfAsciiLettersOnly) {
  ExpectCases({
      {"*.C", "main.c", true},
      {"*.c", "MAIN.C", true},
      {"ReadMe", "README", true},
      {"x*", "X1", true},
      {"*\xC3\x89", "caf\xC3\xA9", false},  // É and é differ
      {"\xC9", "\xE9", false},              // so do the Latin-1 bytes
      {"@", "`", false},                    // neighbours of the letters are not folded
      {"[", "{", false},
  });
}

TEST(WildcardTest, PeriodRules) {
  ExpectCases({
      {"*.*", "README", true},
      {"*.*", "a.b", true},
      {"*.*", ".git", true},
      {"README.*", "readme", true},
      {"README.*", "README.md", true},
      {"README.*", "READMEX", false},
      {"*.", "README", true},
      {"*.", "a.b", false},
      {"*.", ".git", false},
      {"READ*.", "readme", true},
      {"READ*.", "readme.txt", false},
      {"a..", "a", true},
      {".", "a", false},
  });
}

TEST(WildcardTest, QuestionMarkTakesOneUtf8CharacterElseOneByte) {
  ExpectCases({
      {"?", "\xC3\xA9", true},  // é, two bytes, one character
      {"??", "\xC3\xA9", false},
      {"?x", "\xE6\x97\xA5x", true},    // a three-byte character
      {"?", "\xF0\x9F\x98\x80", true},  // a four-byte character
      {"*??", "\xC3\xA9", false},       // a star does not split a character either
      {"?", "\xE9", true},              // not UTF-8: one byte
      {"??", "\xE9\xE9", true},
      {"?", "\xC3\xA9\xFF", false},  // invalid as a whole: three bytes
      {"???", "\xC3\xA9\xFF", true},
      {"?", "\xC0\xAF", false},                // an overlong form is not UTF-8
      {"caf\xC3\xA9.*", "caf\xC3\xA9", true},  // literal bytes match as they are
  });
}

TEST(WildcardTest, EmptyPatternAndEmptyNameMatchNothing) {
  ExpectCases({
      {"", "a", false},
      {"", ".", false},
      {"*", "", false},
      {"", "", false},
  });
}

// A plain recursive reading of the rules, to hold the real matcher against.
class ReferenceMatcher {
 public:
  static bool Matches(std::string_view pattern, std::string_view name) {
    if (pattern.empty() || name.empty()) {
      return false;
    }
    bool hasPeriod = name.find('.') != std::string_view::npos;
    if (pattern.back() == '.') {
      while (!pattern.empty() && pattern.back() == '.') {
        pattern.remove_suffix(1);
      }
      return !hasPeriod && Match(pattern, name, Units(name));
    }
    std::vector<std::size_t> units = Units(name);
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" && !hasPeriod) {
      return Match(pattern.substr(0, pattern.size() - 2), name, units);
    }
    return Match(pattern, name, units);
  }

 private:
  // Start offsets of the characters: code points of valid UTF-8, else bytes.
  static std::vector<std::size_t> Units(std::string_view name) {
    std::vector<std::size_t> starts;
    std::u32string decoded;
    std::size_t i = 0;
    bool valid = true;
    while (i < name.size() && valid) {
      auto b = static_cast<unsigned char>(name[i]);
      int length = b < 0x80           ? 1
                   : (b >> 5) == 0x6  ? 2
                   : (b >> 4) == 0xE  ? 3
                   : (b >> 3) == 0x1E ? 4
                                      : 0;
      if (length == 0 || i + length > name.size()) {
        valid = false;
        break;
      }
      std::uint32_t cp = length == 1 ? b : b & (0x7F >> length);
      for (int k = 1; k < length; ++k) {
        auto c = static_cast<unsigned char>(name[i + k]);
        if ((c & 0xC0) != 0x80) {
          valid = false;
        }
        cp = (cp << 6) | (c & 0x3F);
      }
      static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
      if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        valid = false;
      }
      starts.push_back(i);
      i += length;
    }
    if (!valid) {
      starts.clear();
      for (std::size_t k = 0; k < name.size(); ++k) {
        starts.push_back(k);
      }
    }
    return starts;
  }

  static bool IsStart(const std::vector<std::size_t>& units, std::size_t pos) {
    for (std::size_t s : units) {
      if (s == pos) {
        return true;
      }
    }
    return pos == 0;
  }

  static std::size_t NextStart(const std::vector<std::size_t>& units, std::size_t pos,
                               std::size_t size) {
    for (std::size_t s : units) {
      if (s > pos) {
        return s;
      }
    }
    return size;
  }

  static char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

  static bool Match(std::string_view p, std::string_view name,
                    const std::vector<std::size_t>& units, std::size_t n = 0) {
    if (p.empty()) {
      return n == name.size();
    }
    if (p[0] == '*') {
      for (std::size_t k = n;; k = NextStart(units, k, name.size())) {
        if ((k == n || k == name.size() || IsStart(units, k)) &&
            Match(p.substr(1), name, units, k)) {
          return true;
        }
        if (k >= name.size()) {
          return false;
        }
      }
    }
    if (n >= name.size()) {
      return false;
    }
    if (p[0] == '?') {
      return Match(p.substr(1), name, units, NextStart(units, n, name.size()));
    }
    return Lower(p[0]) == Lower(name[n]) && Match(p.substr(1), name, units, n + 1);
  }
};

TEST(WildcardTest, AgreesWithPlainReadingOfTheRulesOnGeneratedCases) {
  // Pieces chosen so the period rules, case folding and multi-byte characters meet.
  const std::vector<std::string> namePieces = {"a", "B", "b", ".", "\xC3\xA9", "\xE9", "c"};
  const std::vector<std::string> patternPieces = {"a", "b", "*", "?", ".", "\xC3\xA9", "C"};
  std::uint32_t seed = 12345;
  auto next = [&seed](std::size_t bound) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<std::size_t>((seed >> 16) % bound);
  };
  int matched = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string pattern;
    std::string name;
    for (std::size_t k = next(6); k > 0; --k) {
      pattern += patternPieces[next(patternPieces.size())];
    }
    for (std::size_t k = next(6); k > 0; --k) {
      name += namePieces[next(namePieces.size())];
    }
    bool expected = ReferenceMatcher::Matches(pattern, name);
    matched += expected ? 1 : 0;
    ASSERT_EQ(platform::WildcardMatch(pattern, name), expected)
        << "pattern \"" << pattern << "\" name \"" << name << "\"";
    ASSERT_EQ(platform::WildcardPattern(pattern).Matches(name), expected)
        << "pattern \"" << pattern << "\" name \"" << name << "\"";
  }
  // The generated cases must exercise both outcomes to mean anything.
  EXPECT_GT(matched, 1000);
  EXPECT_LT(matched, 19000);
}

}  // namespace
