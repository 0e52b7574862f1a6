#include "ui/terminal/display_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace terminal {
namespace {

class DisplayTextTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr); }
};

const std::string kReplacementMark = "\xEF\xBF\xBD";

// True when the text holds nothing a terminal acts on: no C0 control, no
// DEL, no C1 control, and only well-formed UTF-8.
bool SafeToPrint(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F)
      return false;
    if (byte == 0xC2 && i + 1 < text.size()) {
      auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F)
        return false;
    }
  }
  std::vector<Cell> again = ToCells(text);
  for (const Cell& cell : again) {
    if (cell.text == kReplacementMark && text.find(kReplacementMark) == std::string::npos)
      return false;
  }
  return true;
}

TEST_F(DisplayTextTest, UntrustedBytesBecomeVisibleEscapes) {
  struct Case {
    std::string bytes;
    Tabs tabs;
    std::string shown;
  } cases[] = {
      {"plain name.txt", Tabs::Escape, "plain name.txt"},
      {"a\x1b[31mb", Tabs::Escape, "a^[[31mb"},
      {"\x1b]2;title\x07", Tabs::Escape, "^[]2;title^G"},
      {std::string("nul\0x", 5), Tabs::Escape, "nul^@x"},
      {"\x08\x7f\n\r", Tabs::Escape, "^H^?^J^M"},
      {"a\tb", Tabs::Escape, "a^Ib"},
      {"bad\xff", Tabs::Escape, "bad" + kReplacementMark},
      {"\xc0\xaf", Tabs::Escape, kReplacementMark + kReplacementMark},  // overlong "/"
      {"\xed\xa0\x80", Tabs::Escape, kReplacementMark + kReplacementMark + kReplacementMark},
      {"cut\xe2\x82", Tabs::Escape, "cut" + kReplacementMark + kReplacementMark},
      {"\xc2\x9b"
       "2J",
       Tabs::Escape, "\\u{9b}2J"},  // C1 CSI
      {"abc\xe2\x80\xae"
       "fdp.exe",
       Tabs::Escape, "abc\\u{202e}fdp.exe"},  // right-to-left override
      {"caf\xc3\xa9", Tabs::Escape, "caf\xc3\xa9"},
  };
  for (const Case& c : cases) {
    std::string shown = JoinCells(ToCells(c.bytes, c.tabs));
    EXPECT_EQ(shown, c.shown) << "for the bytes of \"" << c.shown << "\"";
    EXPECT_TRUE(SafeToPrint(shown)) << c.shown;
  }
}

TEST_F(DisplayTextTest, EverySingleByteAndBytePairComesOutSafe) {
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      std::string bytes{static_cast<char>(first), static_cast<char>(second)};
      ASSERT_TRUE(SafeToPrint(JoinCells(ToCells(bytes)))) << first << " " << second;
    }
  }
}

TEST_F(DisplayTextTest, TabsExpandToEveryEighthColumnFromTheStartOfTheText) {
  struct Case {
    std::string bytes;
    std::string shown;
  } cases[] = {
      {"\tx", "        x"},
      {"ab\tc", "ab      c"},
      {"1234567\tx", "1234567 x"},
      {"12345678\tx", "12345678        x"},
      {"\x1b\tx", "^[      x"},                    // an escape takes its visible width
      {"\xe6\x97\xa5\tx", "\xe6\x97\xa5      x"},  // a wide character takes two
  };
  for (const Case& c : cases)
    EXPECT_EQ(JoinCells(ToCells(c.bytes, Tabs::Expand)), c.shown) << c.shown;
}

TEST_F(DisplayTextTest, CellsCarryWidthsAndMarkEscapes) {
  std::vector<Cell> wide = ToCells("\xe6\x97\xa5\xe6\x9c\xac");
  ASSERT_EQ(wide.size(), 2u);
  EXPECT_EQ(wide[0].width, 2);
  EXPECT_EQ(CellsWidth(wide), 4);

  std::vector<Cell> combined = ToCells("e\xcc\x81x");  // e with a combining acute accent
  ASSERT_EQ(combined.size(), 2u);
  EXPECT_EQ(combined[0].text, "e\xcc\x81");
  EXPECT_EQ(CellsWidth(combined), 2);

  std::vector<Cell> escape = ToCells("a\x1b");
  ASSERT_EQ(escape.size(), 3u);
  EXPECT_FALSE(escape[0].escaped);
  EXPECT_TRUE(escape[1].escaped);
  EXPECT_TRUE(escape[2].escaped);
}

TEST_F(DisplayTextTest, ColumnLimitStopsEarlyOnHugeLines) {
  std::string huge(1'000'000, 'x');
  std::vector<Cell> cells = ToCells(huge, Tabs::Expand, 100);
  EXPECT_GE(CellsWidth(cells), 100);
  EXPECT_LT(CellsWidth(cells), 110);
}

TEST_F(DisplayTextTest, MnemonicsMarkTheLetterAfterTheAmpersand) {
  struct Case {
    const char* caption;
    const char* text;
    int index;
    char key;
  } cases[] = {
      {"&Search", "Search", 0, 's'},
      {"E&xpand ", "Expand ", 1, 'x'},
      {"Support &Info...", "Support Info...", 8, 'i'},
      {"a&&b", "a&b", -1, 0},
      {"Cancel", "Cancel", -1, 0},
      {"end&", "end", -1, 0},
  };
  for (const Case& c : cases) {
    Mnemonic parsed = ParseMnemonic(c.caption);
    EXPECT_EQ(parsed.text, c.text) << c.caption;
    EXPECT_EQ(parsed.markedIndex, c.index) << c.caption;
    EXPECT_EQ(parsed.key, c.key) << c.caption;
  }
}

}  // namespace
}  // namespace terminal
