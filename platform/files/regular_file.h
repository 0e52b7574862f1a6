#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// A file opened for reading its bytes, and only if it is a regular file.
//
// Named pipes, sockets and devices are refused before they are opened, so
// looking into a tree that holds them (a search from "/" meets /dev) never
// blocks waiting for a writer and never triggers a device's open side effects.
// The open takes no lock and asks for no exclusive access: a file that another
// program has open is read like any other. The descriptor is closed when the
// object is destroyed, on every path.
class RegularFile {
 public:
  RegularFile() = default;
  // Opens path; IsOpen() tells whether that worked.
  explicit RegularFile(const std::string& path);
  ~RegularFile();

  RegularFile(RegularFile&& other) noexcept;
  RegularFile& operator=(RegularFile&& other) noexcept;
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  bool IsOpen() const { return descriptor_ >= 0; }

  // The size in bytes when the file was opened; 0 when it is not open.
  std::int64_t Size() const { return size_; }

  // Reads up to count bytes starting at offset into buffer and returns how
  // many were read. Fewer than count means the end of the file was reached or
  // reading failed; interrupted and partial reads are retried.
  std::size_t ReadAt(std::int64_t offset, char* buffer, std::size_t count) const;

 private:
  void Close();

  int descriptor_ = -1;
  std::int64_t size_ = 0;
};

}  // namespace platform
