#include "platform/directory/wildcard.h"

#include <cstring>

namespace platform {
namespace {

unsigned char Fold(char c) {
  auto byte = static_cast<unsigned char>(c);
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

bool HasPeriod(std::string_view name) {
  return std::memchr(name.data(), '.', name.size()) != nullptr;
}

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    unsigned char lead = bytes[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    unsigned char low = 0x80;  // allowed range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0)
        low = 0xA0;
      if (lead == 0xED)
        high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0)
        low = 0x90;
      if (lead == 0xF4)
        high = 0x8F;
    } else {
      return false;
    }
    if (size - i < length || bytes[i + 1] < low || bytes[i + 1] > high) {
      return false;
    }
    for (std::size_t k = 2; k < length; ++k) {
      if (!IsContinuationByte(static_cast<char>(bytes[i + k]))) {
        return false;
      }
    }
    i += length;
  }
  return true;
}

// Bytes of the character at `pos`; one byte when the name is not taken as UTF-8, and
// at a stray continuation byte, so a step never runs past the name.
std::size_t CharacterLength(std::string_view name, std::size_t pos, bool utf8) {
  if (!utf8) {
    return 1;
  }
  auto lead = static_cast<unsigned char>(name[pos]);
  std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  return length <= name.size() - pos ? length : 1;
}

// `*` and `?` matching with one remembered star: linear in the usual case, at worst
// pattern length times name length, and never recursive.
bool MatchWildcards(std::string_view pattern, std::string_view name) {
  bool utf8 = !IsAscii(name) && IsValidUtf8(name);
  constexpr std::size_t kNoStar = std::string_view::npos;
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t afterStar = kNoStar;
  std::size_t starResume = 0;
  while (n < name.size()) {
    if (p < pattern.size()) {
      char pc = pattern[p];
      if (pc == '*') {
        afterStar = ++p;
        starResume = n;
        continue;
      }
      if (pc == '?') {
        n += CharacterLength(name, n, utf8);
        ++p;
        continue;
      }
      if (Fold(pc) == Fold(name[n])) {
        ++p;
        ++n;
        continue;
      }
    }
    if (afterStar == kNoStar) {
      return false;
    }
    // Let the last star take one more character and try again from there.
    starResume += CharacterLength(name, starResume, utf8);
    n = starResume;
    p = afterStar;
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

bool EqualFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) {
      return false;
    }
  }
  return true;
}

// The period rules reduce a pattern to a body matched by `*` and `?` alone.
struct PeriodRules {
  std::string_view body;
  bool onlyNamesWithoutPeriod = false;
  bool extensionOptional = false;
};

PeriodRules AnalysePeriods(std::string_view pattern) {
  PeriodRules rules{pattern};
  if (!pattern.empty() && pattern.back() == '.') {
    while (!rules.body.empty() && rules.body.back() == '.') {
      rules.body.remove_suffix(1);
    }
    rules.onlyNamesWithoutPeriod = true;
  } else if (pattern.ends_with(".*")) {
    rules.extensionOptional = true;
  }
  return rules;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (name.empty()) {
    return false;
  }
  PeriodRules rules = AnalysePeriods(pattern);
  if (rules.onlyNamesWithoutPeriod) {
    return !HasPeriod(name) && MatchWildcards(rules.body, name);
  }
  if (rules.extensionOptional && !HasPeriod(name)) {
    return MatchWildcards(rules.body.substr(0, rules.body.size() - 2), name);
  }
  return MatchWildcards(rules.body, name);
}

namespace {

bool HasWildcard(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

}  // namespace

WildcardPattern::WildcardPattern(std::string_view pattern) {
  text_.reserve(pattern.size());
  for (char c : pattern) {
    text_.push_back(static_cast<char>(Fold(c)));
  }
  PeriodRules rules = AnalysePeriods(text_);
  bodyLength_ = rules.body.size();
  onlyNamesWithoutPeriod_ = rules.onlyNamesWithoutPeriod;
  extensionOptional_ = rules.extensionOptional;

  auto shapeOf = [](std::string_view body) {
    if (body.empty()) {
      return Shape::kNothing;
    }
    if (body.find_first_not_of('*') == std::string_view::npos) {
      return Shape::kAnything;
    }
    if (!HasWildcard(body)) {
      return Shape::kLiteral;
    }
    std::string_view afterStar = body.substr(1);
    // A suffix test compares bytes at the name's end; that equals character-wise
    // matching as long as the suffix cannot begin inside a character.
    if (body.front() == '*' && !HasWildcard(afterStar) && !IsContinuationByte(afterStar.front())) {
      return Shape::kSuffix;
    }
    if (body.back() == '*' && !HasWildcard(body.substr(0, body.size() - 1))) {
      return Shape::kPrefix;
    }
    return Shape::kGeneral;
  };
  bodyShape_ = shapeOf(std::string_view(text_).substr(0, bodyLength_));
  if (extensionOptional_) {
    shortShape_ = shapeOf(std::string_view(text_).substr(0, bodyLength_ - 2));
  }
}

bool WildcardPattern::MatchesBody(std::size_t length, Shape shape, std::string_view name) const {
  std::string_view body(text_.data(), length);
  switch (shape) {
    case Shape::kNothing:
      return false;
    case Shape::kAnything:
      return true;
    case Shape::kLiteral:
      return EqualFolded(body, name);
    case Shape::kSuffix:
      return name.size() >= length - 1 &&
             EqualFolded(body.substr(1), name.substr(name.size() - (length - 1)));
    case Shape::kPrefix:
      return name.size() >= length - 1 &&
             EqualFolded(body.substr(0, length - 1), name.substr(0, length - 1));
    case Shape::kGeneral:
      return MatchWildcards(body, name);
  }
  return false;
}

bool WildcardPattern::Matches(std::string_view name) const {
  if (name.empty()) {
    return false;
  }
  if (onlyNamesWithoutPeriod_) {
    return !HasPeriod(name) && MatchesBody(bodyLength_, bodyShape_, name);
  }
  if (extensionOptional_ && !HasPeriod(name)) {
    return MatchesBody(bodyLength_ - 2, shortShape_, name);
  }
  return MatchesBody(bodyLength_, bodyShape_, name);
}

}  // namespace platform
