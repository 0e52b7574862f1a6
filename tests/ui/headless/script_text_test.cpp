#include "ui/headless/script_text.h"

#include <gtest/gtest.h>

namespace {

TEST(ScriptTextTest, UnescapesArguments) {
  struct Case {
    const char* script;
    std::string bytes;
  };
  const Case cases[] = {
      {"plain text", "plain text"}, {"a\\\\b", "a\\b"},
      {"tab\\there", "tab\there"},  {"\\n\\r", "\n\r"},
      {"\\x1b[31m", "\x1b[31m"},    {"\\x00z", std::string("\0z", 2)},
      {"\\xZZ", "\\xZZ"},           {"\\q", "\\q"},
      {"end\\", "end\\"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(headless::UnescapeScriptText(c.script), c.bytes) << c.script;
}

TEST(ScriptTextTest, QuotesDumpsAsPlainAscii) {
  struct Case {
    std::string text;
    const char* quoted;
  };
  const Case cases[] = {
      {"a \"b\" \\c", "\"a \\\"b\\\" \\\\c\""},
      {"\t\n\r", "\"\\t\\n\\r\""},
      {"\x1b[2J", "\"\\x1b[2J\""},
      {"caf\xc3\xa9\x7f", "\"caf\\xc3\\xa9\\x7f\""},
      {std::string("\0", 1), "\"\\x00\""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(headless::QuoteDumpText(c.text), c.quoted);
}

}  // namespace
