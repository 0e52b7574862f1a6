#include "framework/message_box.h"

#include <algorithm>
#include <string>

#include "framework/app.h"
#include "framework/backend.h"
#include "framework/window.h"

namespace framework {

namespace {

// Lays the box out from its text: about four dialog units per character.
DialogTemplate MessageTemplate(std::string_view text, std::string_view caption) {
  int longestLine = 0;
  int lines = 1;
  int current = 0;
  for (char c : text) {
    if (c == '\n') {
      ++lines;
      current = 0;
    } else {
      longestLine = std::max(longestLine, ++current);
    }
  }
  int textWidth = std::clamp(longestLine * 4, 60, 320);
  int width = textWidth + 24;
  int textHeight = lines * 8;
  DialogTemplate box;
  box.id = 0;
  box.caption = std::string(caption);
  box.width = width;
  box.height = textHeight + 44;
  box.styles = kDialogCaption | kDialogSystemMenu | kDialogModalFrame;
  box.controls.push_back(
      {-1, ControlKind::Static, std::string(text), {12, 10, textWidth, textHeight}, kStyleNone});
  box.controls.push_back({IDOK,
                          ControlKind::PushButton,
                          "OK",
                          {(width - 50) / 2, textHeight + 20, 50, 14},
                          kStyleDefaultButton | kStyleTabStop});
  return box;
}

class MessageBoxEvents : public WindowEvents {
 public:
  void OnNotify(int controlId, int code) override {
    if (code == BN_CLICKED && (controlId == IDOK || controlId == IDCANCEL))
      done = true;
  }
  void OnCloseRequest() override { done = true; }
  bool done = false;
};

}  // namespace

int AfxMessageBox(std::string_view text, unsigned /*type*/, std::string_view caption) {
  std::string title(caption);
  if (title.empty() && AfxGetApp())
    title = AfxGetApp()->AppName();
  Backend* backend = CurrentBackend();
  if (!backend)
    return IDOK;
  MessageBoxEvents events;
  Window window(WindowKind::MessageBox, MessageTemplate(text, title), &events);
  window.Show(true);
  window.SetFocus(window.Find(IDOK));
  backend->RunModalLoop(window, [&] { return events.done || window.IsDestroyed(); });
  window.Destroy();
  return IDOK;
}

}  // namespace framework
