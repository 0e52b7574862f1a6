#pragma once

// A scratch directory tree for tests of directory listing and walking. Paths are
// relative to its root; the whole tree is removed again, however deep it grew.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

namespace testing_support {

class TempTree {
 public:
  TempTree() {
    char pattern[] = "/tmp/morvel-tree-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      throw std::runtime_error("mkdtemp failed");
    }
    root_ = pattern;
  }
  ~TempTree() { RemoveAt(AT_FDCWD, root_.c_str()); }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& Root() const { return root_; }
  std::string Path(std::string_view relative) const { return root_ + "/" + std::string(relative); }

  void Directory(std::string_view relative) const { Check(mkdir(Path(relative).c_str(), 0755)); }
  void File(std::string_view relative) const {
    int fd = open(Path(relative).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    Check(fd);
    close(fd);
  }
  void Link(std::string_view relative, std::string_view target) const {
    Check(symlink(std::string(target).c_str(), Path(relative).c_str()));
  }
  void Fifo(std::string_view relative) const { Check(mkfifo(Path(relative).c_str(), 0644)); }

  // Creates `depth` nested directories named `component` below `relative` and returns
  // the full path of the innermost; works past the length one system call accepts.
  std::string DeepDirectories(std::string_view relative, const std::string& component,
                              int depth) const {
    std::string path = Path(relative);
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    Check(fd);
    for (int i = 0; i < depth; ++i) {
      Check(mkdirat(fd, component.c_str(), 0755));
      int next = openat(fd, component.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      close(fd);
      Check(next);
      fd = next;
      path += "/" + component;
    }
    close(fd);
    return path;
  }

  // Creates an empty file `name` in the innermost of `depth` nested `component`
  // directories below `relative`.
  void FileDeepDown(std::string_view relative, const std::string& component, int depth,
                    const std::string& name) const {
    int fd = open(Path(relative).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    Check(fd);
    for (int i = 0; i < depth; ++i) {
      int next = openat(fd, component.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      close(fd);
      Check(next);
      fd = next;
    }
    int file = openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    close(fd);
    Check(file);
    close(file);
  }

 private:
  static void Check(int result) {
    if (result < 0) {
      throw std::runtime_error("creating the test tree failed");
    }
  }

  // Removes through directory descriptors, so depth and path length do not matter.
  static void RemoveAt(int parent, const char* name) {
    struct stat status;
    if (fstatat(parent, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
      return;
    }
    if (!S_ISDIR(status.st_mode)) {
      unlinkat(parent, name, 0);
      return;
    }
    fchmodat(parent, name, 0700, 0);  // a test may have made it unreadable
    int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      return;
    }
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
      close(fd);
      return;
    }
    while (dirent* entry = readdir(dir)) {
      std::string_view child = entry->d_name;
      if (child != "." && child != "..") {
        RemoveAt(dirfd(dir), entry->d_name);
      }
    }
    closedir(dir);
    unlinkat(parent, name, AT_REMOVEDIR);
  }

  std::string root_;
};

}  // namespace testing_support
