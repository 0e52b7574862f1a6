#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "engine/pattern_list.h"
#include "framework/dialog.h"
#include "framework/window.h"

namespace engine {
void SearchTimerProc(framework::Window* window, unsigned message, std::uintptr_t id,
                     std::uint32_t time);
}

// The results dialog "Files Matching Pattern": runs one search, timer tick by
// timer tick, and lets the user browse what it found. The results list is
// the only store of results; every entry is plain text, and its kind, file
// and line number are read back from the text when a command needs them.
//
// Entries of the list:
//   plain path line      the path alone (a search without a search string)
//   collapsed file line  filePrefix + path
//   expanded file line   expandedPrefix + path, followed by its content lines
//   content line         contentIndent + marker + " " + line number + " " + text,
//                        marker "." match, ";" before context, ":" after context
class CListDialog : public framework::CDialog {
 public:
  CListDialog(std::string startDirectory, std::string patternText, std::string searchString,
              int searchSubdirectories, int ignoreCase);
  ~CListDialog() override;

  int DoModal() override;
  bool OnInitDialog() override;

  // 1 once the user chose Another Search, else 0.
  int IsAnotherSearch() const;

  // Kinds of entry. Each marker test also requires contentIndent in front, so
  // a file line whose path happens to hold a marker at that column is never
  // taken for a content line.
  bool IsFileLine(std::string_view text) const;
  bool IsContentLine(std::string_view text) const;
  bool IsMatchLine(std::string_view text) const;
  bool IsBeforeLine(std::string_view text) const;
  bool IsAfterLine(std::string_view text) const;
  // The number a content line shows, read as atoi reads the text from its
  // eighth character on (saturating instead of overflowing); 0 when no digits
  // stand there.
  static int LineNumberOf(std::string_view text);

  // Walks over a list laid out as above; index must name an existing entry.
  // The file line an entry belongs to (a plain path line or file line itself).
  int FindFileLine(const framework::ListBox& list, int index) const;
  // The match line of the group a content line belongs to.
  int FindMatchLine(const framework::ListBox& list, int index) const;
  // The topmost line of the run of before-context lines above a line.
  int FindGroupStart(const framework::ListBox& list, int index) const;
  // The lowest line of the run of after-context lines below a line.
  int FindGroupEnd(const framework::ListBox& list, int index) const;
  // The path an entry of either file kind or a plain path line names.
  std::string PathOfFileLine(std::string_view text) const;

  // Where a sorted add places an entry: file lines by their path, plain path
  // lines by their whole text; content lines have no key and stay with their
  // file line.
  std::optional<std::string_view> SortKeyOf(std::string_view text) const;

  // Starts the editor program on the arguments; non-zero when it started.
  static int LaunchEditor(std::string program, std::string a1, std::string a2, std::string a3,
                          std::string a4, std::string a5, std::string a6);

 protected:
  void DoDataExchange(framework::CDataExchange* pDX) override;

 private:
  friend void engine::SearchTimerProc(framework::Window* window, unsigned message,
                                      std::uintptr_t id, std::uint32_t time);

  // Splits the pattern text into patternList; shows the limit message when
  // the text holds more entries than the list takes.
  // Returns whether every entry fitted.
  bool ParsePatterns(std::string text);

  // The content scanner on this dialog's list: entries go in below `index`,
  // one after the other. Returns its result (mode 0: 1 when the file holds
  // searchText).
  int ScanFile(std::string searchText, std::string path, int mode, int index, std::string marker);

  // The search driver (engine/search_driver.cpp).
  void StartSearch();
  void ArmTimer();
  void DisarmTimer();
  void FinishSearch();
  // Lets go of the running search if it is this dialog's, so the search
  // state never points at a closed dialog.
  void AbandonSearch();

  // Behaviour.
  void UpdateControls();
  void OnStop();
  void OnAnotherSearch();
  // The editor used when none is saved.
  static std::string DefaultEditor();

  // Browsing: expand and contract, narrow and widen, editing a file.
  void OnExpand();
  void OnWiden();
  void OnNarrow();
  void OnEditFile();
  void OnBrowse();

  framework::ListBox* ResultsList() const;
  // The results list and its selected line, or nothing while no line is selected.
  std::optional<std::pair<framework::ListBox*, int>> SelectedLine() const;

  // The slot of patternList being searched.
  std::size_t currentPattern = 0;
  std::string searchString;
  std::string startDirectory;
  engine::PatternList patternList;
  int anotherSearch = 0;
  std::string editorPath;
  int searchSubdirectories = 0;
  int ignoreCase = 0;
  std::string profileSection;
  std::string filePrefix;
  std::string expandedPrefix;
  std::string contentIndent;
};
