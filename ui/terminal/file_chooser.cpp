#include "ui/terminal/file_chooser.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace terminal {

namespace {

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string CurrentDirectory() {
  struct Free {
    void operator()(char* text) const { std::free(text); }
  };
  std::unique_ptr<char, Free> path(::getcwd(nullptr, 0));
  return path ? std::string(path.get()) : std::string("/");
}

std::string Parent(const std::string& directory) {
  std::size_t slash = directory.find_last_of('/');
  if (slash == std::string::npos || slash == 0)
    return "/";
  return directory.substr(0, slash);
}

std::string LastName(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Removes "." and ".." steps and doubled separators from an absolute path.
std::string Normalised(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos)
      slash = path.size();
    std::string part = path.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty())
        parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string result;
  for (const std::string& part : parts)
    result += "/" + part;
  return result.empty() ? "/" : result;
}

}  // namespace

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (!directory.empty() && directory.back() == '/')
    return directory + name;
  return directory + "/" + name;
}

FileChooser::FileChooser(const framework::OpenFileRequest& request) : request_(request) {
  const std::string& initial = request.initialFileName;
  std::string start = CurrentDirectory();
  std::string wanted;
  if (!initial.empty()) {
    std::string absolute = initial.front() == '/' ? initial : JoinPath(start, initial);
    struct stat info;
    if (::stat(absolute.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      start = absolute;
    } else if (std::string parent = Parent(absolute);
               ::stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      start = parent;
      wanted = LastName(absolute);
    }
  }
  if (!Enter(start))
    Enter("/");
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!wanted.empty() && entries_[i].name == wanted)
      selected_ = static_cast<int>(i);
  }
}

bool FileChooser::Listed(const std::string& name, bool isDirectory, bool executable) const {
  if (isDirectory)
    return true;
  if (request_.executablesOnly)
    return executable;
  if (request_.filters.empty())
    return true;
  // The first filter is the one in force; its patterns are separated by ";".
  const std::string& patterns = request_.filters.front().pattern;
  std::size_t start = 0;
  while (start <= patterns.size()) {
    std::size_t end = patterns.find(';', start);
    if (end == std::string::npos)
      end = patterns.size();
    std::string pattern = patterns.substr(start, end - start);
    if (pattern == "*.*" || ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

bool FileChooser::Enter(const std::string& directory) {
  std::string absolute = Normalised(
      directory.empty() || directory.front() != '/' ? JoinPath(directory_, directory) : directory);
  struct CloseDirectory {
    void operator()(DIR* directory) const { ::closedir(directory); }
  };
  std::unique_ptr<DIR, CloseDirectory> handle(::opendir(absolute.c_str()));
  if (!handle)
    return false;
  std::vector<Entry> directories;
  std::vector<Entry> files;
  while (dirent* item = ::readdir(handle.get())) {
    std::string name = item->d_name;
    if (name.empty() || name.front() == '.')
      continue;
    std::string path = JoinPath(absolute, name);
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
      continue;
    bool isDirectory = S_ISDIR(info.st_mode);
    bool executable = S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
    if (!isDirectory && !S_ISREG(info.st_mode))
      continue;
    if (!Listed(name, isDirectory, executable))
      continue;
    (isDirectory ? directories : files).push_back({name, isDirectory});
  }
  auto byName = [](const Entry& a, const Entry& b) { return a.name < b.name; };
  std::sort(directories.begin(), directories.end(), byName);
  std::sort(files.begin(), files.end(), byName);
  entries_.clear();
  if (absolute != "/")
    entries_.push_back({"..", true});
  entries_.insert(entries_.end(), directories.begin(), directories.end());
  entries_.insert(entries_.end(), files.begin(), files.end());
  directory_ = absolute;
  selected_ = 0;
  top = 0;
  return true;
}

void FileChooser::Select(int index) {
  if (entries_.empty())
    return;
  selected_ = std::clamp(index, 0, static_cast<int>(entries_.size()) - 1);
}

void FileChooser::SelectByLetter(char letter) {
  int count = static_cast<int>(entries_.size());
  for (int step = 1; step <= count; ++step) {
    int index = (selected_ + step) % count;
    const std::string& name = entries_[static_cast<std::size_t>(index)].name;
    if (!name.empty() && Lower(name.front()) == Lower(letter)) {
      selected_ = index;
      return;
    }
  }
}

std::optional<std::string> FileChooser::Activate() {
  if (selected_ < 0 || selected_ >= static_cast<int>(entries_.size()))
    return {};
  const Entry& entry = entries_[static_cast<std::size_t>(selected_)];
  if (entry.name == "..") {
    GoUp();
    return {};
  }
  std::string path = JoinPath(directory_, entry.name);
  if (entry.isDirectory) {
    Enter(path);
    return {};
  }
  return path;
}

void FileChooser::GoUp() {
  if (directory_ == "/")
    return;
  std::string left = LastName(directory_);
  if (!Enter(Parent(directory_)))
    return;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].isDirectory && entries_[i].name == left)
      selected_ = static_cast<int>(i);
  }
}

}  // namespace terminal
