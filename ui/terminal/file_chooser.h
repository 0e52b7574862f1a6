#pragma once

#include <optional>
#include <string>
#include <vector>

#include "framework/backend.h"

namespace terminal {

// The open-file chooser without its drawing: a directory, what it lists and
// which entry is selected. It moves through directories and picks a file.
class FileChooser {
 public:
  struct Entry {
    std::string name;
    bool isDirectory = false;
  };

  // Starts in the directory of the request's initial file name when that is
  // a directory that exists, else in the current directory, with the initial
  // file selected when it is listed.
  explicit FileChooser(const framework::OpenFileRequest& request);

  const std::string& Directory() const { return directory_; }
  // "..", unless at the root, then the directories, then the files, each
  // group by name. Hidden entries (a leading ".") are left out.
  const std::vector<Entry>& Entries() const { return entries_; }
  int Selected() const { return selected_; }
  void Select(int index);
  // Selects the next entry after the selected one whose name starts with
  // `letter`, ignoring ASCII case, wrapping round.
  void SelectByLetter(char letter);

  // Enter: a selected directory is entered and nothing is returned; a
  // selected file's full path is returned.
  std::optional<std::string> Activate();
  // Goes to the parent directory, selecting the one left.
  void GoUp();
  // Lists `directory` (made absolute), keeping the old one when it cannot be read.
  bool Enter(const std::string& directory);

  // The first row shown, kept by the drawing code.
  int top = 0;

 private:
  bool Listed(const std::string& name, bool isDirectory, bool executable) const;

  framework::OpenFileRequest request_;
  std::string directory_;
  std::vector<Entry> entries_;
  int selected_ = 0;
};

// Joins a directory and a name without doubling the separator.
std::string JoinPath(const std::string& directory, const std::string& name);

}  // namespace terminal
