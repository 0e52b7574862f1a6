#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// What a directory listing itself says about an entry, before any look-up.
enum class ListedType { kDirectory, kNonDirectory, kSymbolicLink, kUnknown };

// What a walk takes an entry for. Symbolic links to anything but a directory are
// files; so are dangling links, named pipes, sockets and devices. A link to a
// directory is neither a file nor a directory to enter, so walks cannot loop.
enum class EntryKind { kFile, kDirectory, kNeither };

struct DirectoryEntry {
  // The entry's bytes exactly as stored, whatever encoding they are in. Valid until
  // the next call of Next, Open or Close; followed by a zero byte.
  std::string_view name;
  ListedType type = ListedType::kUnknown;
};

// Lists one directory at a time, in the order the file system returns the entries,
// with "." and ".." left out. One reader can list many directories in turn and keeps
// its buffer between them.
class DirectoryReader {
 public:
  DirectoryReader();
  ~DirectoryReader();
  DirectoryReader(const DirectoryReader&) = delete;
  DirectoryReader& operator=(const DirectoryReader&) = delete;

  // Opens `path` for listing, closing the directory listed before. Symbolic links are
  // followed only in the components that lie within the first `followLength` bytes of
  // the path; a later component that is a link is not entered, even when a directory
  // was replaced by one after it was listed. Paths longer than the system takes in
  // one call are opened a component at a time. Returns false when the directory
  // cannot be opened.
  bool Open(const std::string& path, std::size_t followLength = std::string::npos);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // The next entry; false at the end of the listing, and on a read error.
  bool Next(DirectoryEntry& entry);

  // Asks the file system only when the listed type does not settle the kind:
  // for symbolic links and for file systems that do not report types. An entry
  // that vanished meanwhile is kNeither.
  EntryKind KindOf(const DirectoryEntry& entry) const;

 private:
  bool Fill();

  int fd_ = -1;
  std::unique_ptr<unsigned char[]> buffer_;
  std::size_t filled_ = 0;
  std::size_t offset_ = 0;
  bool exhausted_ = false;
};

}  // namespace platform
