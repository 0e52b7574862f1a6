#include "platform/directory/directory_reader.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace platform {
namespace {

// Large enough that most directories are listed in one system call.
constexpr std::size_t kBufferSize = 64 * 1024;

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

// Opens a path too long for one system call by walking it down one component at a
// time, each opened relative to the one before.
int OpenByComponents(const std::string& path, std::size_t followLength) {
  int current = AT_FDCWD;
  std::size_t pos = 0;
  if (!path.empty() && path.front() == '/') {
    current = open("/", kDirectoryFlags);
    if (current < 0) {
      return -1;
    }
    pos = 1;
  }
  std::string component;
  while (pos < path.size()) {
    std::size_t end = path.find('/', pos);
    if (end == std::string::npos) {
      end = path.size();
    }
    if (end > pos) {
      component.assign(path, pos, end - pos);
      int flags = kDirectoryFlags | (end > followLength ? O_NOFOLLOW : 0);
      int next = openat(current, component.c_str(), flags);
      if (current != AT_FDCWD) {
        close(current);
      }
      if (next < 0) {
        return -1;
      }
      current = next;
    }
    pos = end + 1;
  }
  // A relative path of nothing but separators names the current directory.
  return current == AT_FDCWD ? open(".", kDirectoryFlags) : current;
}

ListedType FromDirentType(unsigned char type) {
  switch (type) {
    case DT_DIR:
      return ListedType::kDirectory;
    case DT_LNK:
      return ListedType::kSymbolicLink;
    case DT_UNKNOWN:
      return ListedType::kUnknown;
    default:
      return ListedType::kNonDirectory;
  }
}

}  // namespace

DirectoryReader::DirectoryReader() : buffer_(new unsigned char[kBufferSize]) {}

DirectoryReader::~DirectoryReader() {
  Close();
}

bool DirectoryReader::Open(const std::string& path, std::size_t followLength) {
  Close();
  if (path.empty()) {
    return false;
  }
  int flags = kDirectoryFlags | (path.size() > followLength ? O_NOFOLLOW : 0);
  fd_ = open(path.c_str(), flags);
  if (fd_ < 0 && errno == ENAMETOOLONG) {
    fd_ = OpenByComponents(path, followLength);
  }
  return fd_ >= 0;
}

void DirectoryReader::Close() {
  if (fd_ >= 0) {
    close(fd_);
  }
  fd_ = -1;
  filled_ = 0;
  offset_ = 0;
  exhausted_ = false;
}

bool DirectoryReader::Fill() {
  if (exhausted_ || fd_ < 0) {
    return false;
  }
  ssize_t got;
  do {
    got = getdents64(fd_, buffer_.get(), kBufferSize);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) {
    exhausted_ = true;
    return false;
  }
  filled_ = static_cast<std::size_t>(got);
  offset_ = 0;
  return true;
}

bool DirectoryReader::Next(DirectoryEntry& entry) {
  for (;;) {
    if (offset_ >= filled_ && !Fill()) {
      return false;
    }
    const unsigned char* record = buffer_.get() + offset_;
    unsigned short recordLength;
    std::memcpy(&recordLength, record + offsetof(struct dirent64, d_reclen), sizeof recordLength);
    if (recordLength == 0) {  // never from a sound kernel; do not spin on it
      exhausted_ = true;
      filled_ = 0;
      return false;
    }
    offset_ += recordLength;
    const char* name = reinterpret_cast<const char*>(record + offsetof(struct dirent64, d_name));
    std::size_t nameLength = strnlen(name, recordLength - offsetof(struct dirent64, d_name));
    if (name[0] == '.' && (nameLength == 1 || (nameLength == 2 && name[1] == '.'))) {
      continue;
    }
    entry.name = std::string_view(name, nameLength);
    entry.type = FromDirentType(record[offsetof(struct dirent64, d_type)]);
    return true;
  }
}

EntryKind DirectoryReader::KindOf(const DirectoryEntry& entry) const {
  ListedType type = entry.type;
  struct stat status;
  if (type == ListedType::kUnknown) {
    if (fstatat(fd_, entry.name.data(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
      return EntryKind::kNeither;
    }
    if (S_ISDIR(status.st_mode)) {
      return EntryKind::kDirectory;
    }
    type = S_ISLNK(status.st_mode) ? ListedType::kSymbolicLink : ListedType::kNonDirectory;
  }
  switch (type) {
    case ListedType::kDirectory:
      return EntryKind::kDirectory;
    case ListedType::kSymbolicLink:
      // A link whose target cannot be reached (dangling, looping, no permission) is
      // still a name in this directory that is not a directory.
      if (fstatat(fd_, entry.name.data(), &status, 0) == 0 && S_ISDIR(status.st_mode)) {
        return EntryKind::kNeither;
      }
      return EntryKind::kFile;
    default:
      return EntryKind::kFile;
  }
}

}  // namespace platform
