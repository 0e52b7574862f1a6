#include "ui/terminal/display_text.h"

#include <cwchar>

namespace terminal {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp <= 0x10FFFF) {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 character at bytes[i]; returns its length, or 0 when the
// bytes there are not a valid, shortest-form encoding of a scalar value.
std::size_t DecodeUtf8(std::string_view bytes, std::size_t i, char32_t& cp) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  unsigned char lead = byte(i);
  std::size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > bytes.size())
    return 0;
  for (std::size_t k = 1; k < length; ++k) {
    unsigned char next = byte(i + k);
    if ((next & 0xC0) != 0x80)
      return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return length;
}

// Characters that reorder or hide text on screens that honour them.
bool IsBidiControl(char32_t cp) {
  return (cp >= 0x200E && cp <= 0x200F) || (cp >= 0x202A && cp <= 0x202E) ||
         (cp >= 0x2066 && cp <= 0x2069);
}

void PushEscape(std::vector<Cell>& cells, std::string_view escape) {
  for (char c : escape)
    cells.push_back({std::string(1, c), 1, true});
}

void PushCodePointEscape(std::vector<Cell>& cells, char32_t cp) {
  static const char kHex[] = "0123456789abcdef";
  std::string digits;
  for (char32_t rest = cp; rest != 0 || digits.empty(); rest >>= 4)
    digits.insert(digits.begin(), kHex[rest & 0xF]);
  PushEscape(cells, "\\u{" + digits + "}");
}

void PushReplacement(std::vector<Cell>& cells) {
  static const bool printable = ::wcwidth(static_cast<wchar_t>(kReplacement)) == 1;
  if (printable) {
    std::string mark;
    AppendUtf8(mark, kReplacement);
    cells.push_back({mark, 1, true});
  } else {
    cells.push_back({"?", 1, true});
  }
}

}  // namespace

std::vector<Cell> ToCells(std::string_view bytes, Tabs tabs, int columnLimit) {
  std::vector<Cell> cells;
  int column = 0;
  std::size_t i = 0;
  while (i < bytes.size() && (columnLimit < 0 || column < columnLimit)) {
    std::size_t firstNew = cells.size();
    char32_t cp = 0;
    std::size_t length = DecodeUtf8(bytes, i, cp);
    if (length == 0) {
      PushReplacement(cells);
      ++i;
    } else {
      i += length;
      if (cp == '\t' && tabs == Tabs::Expand) {
        int blanks = kTabStopColumns - column % kTabStopColumns;
        for (int k = 0; k < blanks; ++k)
          cells.push_back({" ", 1, false});
      } else if (cp < 0x20 || cp == 0x7F) {
        char shown = cp == 0x7F ? '?' : static_cast<char>(cp + 0x40);
        PushEscape(cells, std::string{'^', shown});
      } else if (cp < 0x7F) {
        cells.push_back({std::string(1, static_cast<char>(cp)), 1, false});
      } else if ((cp >= 0x80 && cp <= 0x9F) || IsBidiControl(cp)) {
        PushCodePointEscape(cells, cp);
      } else {
        int width = ::wcwidth(static_cast<wchar_t>(cp));
        std::string text;
        AppendUtf8(text, cp);
        if (width == 0 && !cells.empty() && !cells.back().escaped && cells.back().text != " ") {
          cells.back().text += text;  // a combining mark joins the character before it
        } else if (width == 1 || width == 2) {
          cells.push_back({text, width, false});
        } else {
          PushCodePointEscape(cells, cp);
        }
      }
    }
    for (std::size_t k = firstNew; k < cells.size(); ++k)
      column += cells[k].width;
  }
  return cells;
}

std::string JoinCells(const std::vector<Cell>& cells) {
  std::string joined;
  for (const Cell& cell : cells)
    joined += cell.text;
  return joined;
}

int CellsWidth(const std::vector<Cell>& cells) {
  int width = 0;
  for (const Cell& cell : cells)
    width += cell.width;
  return width;
}

Mnemonic ParseMnemonic(std::string_view caption) {
  Mnemonic result;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    char c = caption[i];
    if (c != '&') {
      result.text += c;
      continue;
    }
    if (i + 1 >= caption.size())
      break;  // a lone "&" at the end marks nothing
    char next = caption[++i];
    if (next != '&' && result.markedIndex < 0) {
      result.markedIndex = static_cast<int>(result.text.size());
      unsigned char u = static_cast<unsigned char>(next);
      result.key = static_cast<char>((u >= 'A' && u <= 'Z') ? u + 32 : u);
    }
    result.text += next;
  }
  return result;
}

}  // namespace terminal
