#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The files below one start directory whose names match one filename pattern.
//
// The whole walk runs in the constructor; afterwards the walker only hands out the
// paths it found, one at a time. The walk is breadth-first, level by level: the
// matching files of the start directory, then those of each of its subdirectories,
// then the next level down. A directory's files come in the order the file system
// lists them, and its subdirectories are searched in that order too. Only
// subdirectories whose names hold no period are entered; symbolic links to
// directories are never entered. A directory that cannot be read contributes
// nothing, silently.
//
// The paths are kept in one compact store: their bytes and a terminating zero each,
// in blocks, so memory stays close to the size of the paths themselves.
class CDirectoryWalker {
 public:
  // `directory` is used as given; a result's path is directory + "/" + the names on
  // the way down, with no separator added after a directory that already ends in
  // one (so the root "/" gives "/name"). An empty directory or an empty pattern finds
  // nothing without touching the file system. With `searchSubdirectories` false only
  // the start directory's own files are results.
  CDirectoryWalker(std::string_view directory, std::string_view pattern,
                   bool searchSubdirectories = true);
  CDirectoryWalker(const CDirectoryWalker&) = delete;
  CDirectoryWalker& operator=(const CDirectoryWalker&) = delete;

  // Goes back to the first result.
  void Rewind();

  // The full path of the next result; "" once the results are used up, and on every
  // call after that.
  std::string NextPath();

  std::size_t Count() const { return count_; }
  // Bytes of all result paths, without terminators.
  std::size_t PathBytes() const { return pathBytes_; }
  // Bytes held to store them.
  std::size_t StoredBytes() const;

 private:
  struct Block {
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
    std::size_t used = 0;
  };

  void Walk(std::string_view directory, std::string_view pattern, bool searchSubdirectories);
  void TrimLastBlock();
  void AppendResult(std::string_view directory, bool addSeparator, std::string_view name);

  std::vector<Block> blocks_;
  std::size_t count_ = 0;
  std::size_t pathBytes_ = 0;
  std::size_t cursorBlock_ = 0;
  std::size_t cursorOffset_ = 0;
};
