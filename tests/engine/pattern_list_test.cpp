#include "engine/pattern_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Slots = std::vector<std::string>;

std::string Repeated(const std::string& entry, int count) {
  std::string text;
  for (int k = 0; k < count; ++k) {
    text += (k == 0 ? "" : " ") + entry + std::to_string(k);
  }
  return text;
}

Slots Numbered(const std::string& entry, int count) {
  Slots slots;
  for (int k = 0; k < count; ++k) {
    slots.push_back(entry + std::to_string(k));
  }
  return slots;
}

Slots WithEndMarker(Slots slots) {
  slots.emplace_back();
  return slots;
}

TEST(PatternList, SplitsAtEverySingleSpace) {
  const struct {
    std::string text;
    Slots patterns;
  } cases[] = {
      {"*.c *.h", {"*.c", "*.h"}},
      {"*.c;*.h", {"*.c;*.h"}},
      {"*.c,*.h\t*.x", {"*.c,*.h\t*.x"}},
      {"*.c ", {"*.c", ""}},
      {"*.c  *.h", {"*.c", "", "*.h"}},
      {" *.c", {"", "*.c"}},
      {"", {""}},
      {" ", {"", ""}},
      {"*.C", {"*.C"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("'" + c.text + "'");
    engine::PatternList list;
    EXPECT_TRUE(engine::SplitPatterns(c.text, list));
    EXPECT_EQ(list.slots, WithEndMarker(c.patterns));
  }
}

TEST(PatternList, KeepsTheFirstFiftyEntriesAndReportsMore) {
  const std::string fifty = Repeated("p", 50);
  const struct {
    std::string text;
    bool withinLimit;
    Slots patterns;
  } cases[] = {
      {fifty, true, Numbered("p", 50)},
      {fifty + " p50", false, Numbered("p", 50)},
      {fifty + " p50 p51 p52", false, Numbered("p", 50)},
      {fifty + " ", false, Numbered("p", 50)},
      {std::string(50, ' '), false, Slots(50, "")},
      {std::string(49, ' '), true, Slots(50, "")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.size());
    engine::PatternList list;
    EXPECT_EQ(engine::SplitPatterns(c.text, list), c.withinLimit);
    EXPECT_EQ(list.slots, WithEndMarker(c.patterns));
  }
}

TEST(PatternList, SplittingAgainReplacesTheEarlierList) {
  engine::PatternList list;
  ASSERT_TRUE(engine::SplitPatterns("a b c", list));
  ASSERT_TRUE(engine::SplitPatterns("d", list));
  EXPECT_EQ(list.slots, (Slots{"d", ""}));
}

}  // namespace
