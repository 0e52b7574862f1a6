#pragma once

#include <string>

#include "framework/backend.h"

namespace framework {

// Lists only directories and the files the user may execute (an option of
// this framework; a filter pattern cannot say it on this system).
constexpr unsigned OFN_EXECUTABLES = 0x80000000u;

// The open-file dialog. The filter is "description|pattern|...||". The
// default extension is kept for the caller to see; nothing is appended to a
// chosen name, since programs here have no extension.
class CFileDialog {
 public:
  CFileDialog(bool openFileDialog, const char* defaultExtension = nullptr,
              const char* fileName = nullptr, unsigned flags = 0, const char* filter = nullptr,
              void* parent = nullptr);

  // IDOK with a chosen path, IDCANCEL otherwise.
  int DoModal();
  // The full path chosen by the last DoModal that ended with IDOK.
  const std::string& GetPathName() const { return pathName_; }
  const OpenFileRequest& Request() const { return request_; }

  // Splits "a|b|c|d||" into (a, b), (c, d).
  static std::vector<FileFilter> ParseFilter(std::string_view filter);

 private:
  OpenFileRequest request_;
  std::string pathName_;
};

}  // namespace framework
