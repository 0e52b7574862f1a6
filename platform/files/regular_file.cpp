#include "platform/files/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {

// Offsets and sizes are 64-bit so files of 2 GB and more are read whole.
static_assert(sizeof(off_t) == 8, "64-bit file offsets are required");

RegularFile::RegularFile(const std::string& path) {
  // Checking the kind before opening keeps FIFOs and devices from ever being
  // opened; the check after opening closes the gap of a path replaced between.
  struct stat before {};
  if (stat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode)) {
    return;
  }
  int descriptor;
  do {
    descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) {
    return;
  }
  struct stat opened {};
  if (fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_size < 0) {
    close(descriptor);
    return;
  }
  descriptor_ = descriptor;
  size_ = static_cast<std::int64_t>(opened.st_size);
}

RegularFile::~RegularFile() {
  Close();
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), size_(std::exchange(other.size_, 0)) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
  if (this != &other) {
    Close();
    descriptor_ = std::exchange(other.descriptor_, -1);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

void RegularFile::Close() {
  if (descriptor_ >= 0) {
    // A retried close on Linux could close a descriptor reused meanwhile, so
    // the call is made once whatever it reports.
    close(descriptor_);
    descriptor_ = -1;
  }
  size_ = 0;
}

std::size_t RegularFile::ReadAt(std::int64_t offset, char* buffer, std::size_t count) const {
  if (descriptor_ < 0 || offset < 0) {
    return 0;
  }
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = pread(descriptor_, buffer + done, count - done,
                              static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // end of file or a read error: the caller gets what was read
    }
  }
  return done;
}

}  // namespace platform
