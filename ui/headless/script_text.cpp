#include "ui/headless/script_text.h"

namespace headless {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string UnescapeScriptText(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\' || i + 1 >= text.size()) {
      bytes.push_back(c);
      continue;
    }
    char next = text[i + 1];
    switch (next) {
      case '\\':
        bytes.push_back('\\');
        ++i;
        break;
      case 't':
        bytes.push_back('\t');
        ++i;
        break;
      case 'n':
        bytes.push_back('\n');
        ++i;
        break;
      case 'r':
        bytes.push_back('\r');
        ++i;
        break;
      case 'x':
        if (i + 3 < text.size() && HexValue(text[i + 2]) >= 0 && HexValue(text[i + 3]) >= 0) {
          bytes.push_back(static_cast<char>(HexValue(text[i + 2]) * 16 + HexValue(text[i + 3])));
          i += 3;
        } else {
          bytes.push_back(c);
        }
        break;
      default:
        bytes.push_back(c);
        break;
    }
  }
  return bytes;
}

std::string QuoteDumpText(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.push_back('"');
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\t':
        quoted += "\\t";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      default:
        if (byte < 32 || byte > 126) {
          quoted += "\\x";
          quoted.push_back(kHex[byte >> 4]);
          quoted.push_back(kHex[byte & 15]);
        } else {
          quoted.push_back(c);
        }
        break;
    }
  }
  quoted.push_back('"');
  return quoted;
}

}  // namespace headless
