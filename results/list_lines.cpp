#include "results/list_dialog.h"

#include <climits>

namespace {

constexpr std::size_t kMarkerColumn = 5;
constexpr std::size_t kNumberColumn = 7;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The white space atoi skips.
bool IsAtoiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

bool CListDialog::IsFileLine(std::string_view text) const {
  return StartsWith(text, filePrefix) || StartsWith(text, expandedPrefix);
}

bool CListDialog::IsContentLine(std::string_view text) const {
  return StartsWith(text, contentIndent);
}

bool CListDialog::IsMatchLine(std::string_view text) const {
  return IsContentLine(text) && text.size() > kMarkerColumn && text[kMarkerColumn] == '.';
}

bool CListDialog::IsBeforeLine(std::string_view text) const {
  return IsContentLine(text) && text.size() > kMarkerColumn && text[kMarkerColumn] == ';';
}

bool CListDialog::IsAfterLine(std::string_view text) const {
  return IsContentLine(text) && text.size() > kMarkerColumn && text[kMarkerColumn] == ':';
}

int CListDialog::LineNumberOf(std::string_view text) {
  if (text.size() <= kNumberColumn)
    return 0;
  std::string_view rest = text.substr(kNumberColumn);
  std::size_t i = 0;
  while (i < rest.size() && IsAtoiSpace(rest[i]))
    ++i;
  bool negative = false;
  if (i < rest.size() && (rest[i] == '+' || rest[i] == '-')) {
    negative = rest[i] == '-';
    ++i;
  }
  // Accumulated as a negative number so that INT_MIN fits; saturates rather
  // than overflowing on absurdly long digit runs.
  long long value = 0;
  for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) {
    value = value * 10 - (rest[i] - '0');
    if (value < INT_MIN)
      return negative ? INT_MIN : INT_MAX;
  }
  if (negative)
    return static_cast<int>(value);
  return value < -static_cast<long long>(INT_MAX) ? INT_MAX : static_cast<int>(-value);
}

int CListDialog::FindFileLine(const framework::ListBox& list, int index) const {
  const std::string& text = list.GetText(index);
  if (IsFileLine(text) || !IsContentLine(text))
    return index;
  // Content lines always sit below their expanded file line; the top of the
  // list ends the walk should that ever not hold.
  while (index > 0 && !IsFileLine(list.GetText(index)))
    --index;
  return index;
}

int CListDialog::FindMatchLine(const framework::ListBox& list, int index) const {
  const std::string& text = list.GetText(index);
  if (IsMatchLine(text))
    return index;
  if (IsBeforeLine(text)) {
    int last = list.GetCount() - 1;
    while (index < last && !IsMatchLine(list.GetText(index)))
      ++index;
    return index;
  }
  if (IsAfterLine(text)) {
    while (index > 0 && !IsMatchLine(list.GetText(index)))
      --index;
    return index;
  }
  return index;
}

int CListDialog::FindGroupStart(const framework::ListBox& list, int index) const {
  int i = IsMatchLine(list.GetText(index)) ? index - 1 : index;
  while (i >= 0 && IsBeforeLine(list.GetText(i)))
    --i;
  return i + 1;
}

int CListDialog::FindGroupEnd(const framework::ListBox& list, int index) const {
  int last = list.GetCount() - 1;
  if (index >= last)
    return index;
  int i = index + 1;
  while (IsAfterLine(list.GetText(i)) && i != last)
    ++i;
  return IsAfterLine(list.GetText(i)) ? i : i - 1;
}

std::string CListDialog::PathOfFileLine(std::string_view text) const {
  if (StartsWith(text, filePrefix))
    return std::string(text.substr(filePrefix.size()));
  if (StartsWith(text, expandedPrefix))
    return std::string(text.substr(expandedPrefix.size()));
  return std::string(text);
}

std::optional<std::string_view> CListDialog::SortKeyOf(std::string_view text) const {
  // Without a search string every entry is a plain path, whatever it starts with.
  if (searchString.empty())
    return text;
  if (IsContentLine(text))
    return std::nullopt;
  if (StartsWith(text, filePrefix))
    return text.substr(filePrefix.size());
  if (StartsWith(text, expandedPrefix))
    return text.substr(expandedPrefix.size());
  return text;
}
