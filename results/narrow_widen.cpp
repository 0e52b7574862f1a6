// Narrow and Widen: one file line less or more of context on each side of
// the group that the selected content line belongs to. The context of a
// group is exactly the context lines the list holds for it; nothing else is
// remembered.
#include "framework/window.h"
#include "res/resource.h"
#include "results/list_dialog.h"

namespace {

constexpr char kBeforeMarker[] = ";";
constexpr char kAfterMarker[] = ":";
// Context mode reads no search text; one byte makes every byte a scanned position.
constexpr char kContextPlaceholder[] = " ";

}  // namespace

void CListDialog::OnWiden() {
  auto selection = SelectedLine();
  if (!selection)
    return;
  auto [list, selected] = *selection;
  int match = FindMatchLine(*list, selected);
  int first = FindGroupStart(*list, match);
  int up = LineNumberOf(list->GetText(first)) - 1;
  int fileLine = FindFileLine(*list, match);
  std::string path = PathOfFileLine(list->GetText(fileLine));

  // Before side. The entry above the group is either the previous group's
  // last line or the file line; the file line shows no file line of its own,
  // so it stands for line 0 whatever digits its path holds.
  const std::string& aboveText = list->GetText(first - 1);
  int above = IsContentLine(aboveText) ? LineNumberOf(aboveText) : 0;
  if (above < up) {
    int countBefore = list->GetCount();
    ScanFile(kContextPlaceholder, path, -up, first - 1, kBeforeMarker);
    // A file that shrank or vanished since it was expanded yields no line;
    // only a line really inserted moves the group down.
    if (list->GetCount() > countBefore) {
      ++match;
      ++selected;
    }
  }

  // After side.
  int last = FindGroupEnd(*list, match);
  int down = LineNumberOf(list->GetText(last)) + 1;
  bool lastInList = last == list->GetCount() - 1;
  // The entry below is the next group's first line, which may show line down
  // already, or the next file's line.
  if (lastInList || !IsContentLine(list->GetText(last + 1)) ||
      LineNumberOf(list->GetText(last + 1)) > down) {
    ScanFile(kContextPlaceholder, path, -down, last, kAfterMarker);
  }
  list->SetCurSel(selected);
}

void CListDialog::OnNarrow() {
  auto selection = SelectedLine();
  if (!selection)
    return;
  auto [list, selected] = *selection;

  // Before side: the top line of the run of before-context lines, as the
  // selected entry reaches it.
  int first = FindGroupStart(*list, selected);
  if (first < list->GetCount() && IsBeforeLine(list->GetText(first))) {
    list->DeleteString(first);
    if (first == selected) {
      list->SetCurSel(selected);  // the entry that moved up into its place
    } else if (first < selected) {
      --selected;
      list->SetCurSel(selected);
    }
  }

  // After side, from the selection as it now stands: after deleting a lone
  // before-context line that is the match line, whose after side goes too.
  int last = FindGroupEnd(*list, selected);
  if (IsAfterLine(list->GetText(last))) {
    list->DeleteString(last);
    if (last <= selected)
      --selected;
    list->SetCurSel(selected);
  }
}
