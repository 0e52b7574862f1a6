#include "framework/file_dialog.h"

#include "framework/window.h"

namespace framework {

CFileDialog::CFileDialog(bool /*openFileDialog*/, const char* defaultExtension,
                         const char* fileName, unsigned flags, const char* filter,
                         void* /*parent*/) {
  request_.title = "Open";
  if (defaultExtension)
    request_.defaultExtension = defaultExtension;
  if (fileName)
    request_.initialFileName = fileName;
  if (filter)
    request_.filters = ParseFilter(filter);
  request_.executablesOnly = (flags & OFN_EXECUTABLES) != 0;
}

int CFileDialog::DoModal() {
  Backend* backend = CurrentBackend();
  if (!backend)
    return IDCANCEL;
  DialogTemplate fileTemplate;
  fileTemplate.caption = request_.title;
  fileTemplate.width = 280;
  fileTemplate.height = 160;
  fileTemplate.styles = kDialogCaption | kDialogSystemMenu | kDialogModalFrame;
  Window window(WindowKind::FileDialog, fileTemplate, nullptr);
  window.Show(true);
  std::optional<std::string> chosen = backend->RunOpenFileDialog(window, request_);
  window.Destroy();
  if (!chosen || chosen->empty())
    return IDCANCEL;
  pathName_ = *chosen;
  return IDOK;
}

std::vector<FileFilter> CFileDialog::ParseFilter(std::string_view filter) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < filter.size()) {
    std::size_t bar = filter.find('|', start);
    if (bar == std::string_view::npos)
      bar = filter.size();
    if (bar == start)
      break;  // "||" ends the list
    parts.emplace_back(filter.substr(start, bar - start));
    start = bar + 1;
  }
  std::vector<FileFilter> filters;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
    filters.push_back({parts[i], parts[i + 1]});
  return filters;
}

}  // namespace framework
