#include "app/find_app.h"

#include "app/identity.h"
#include "criteria/find_dialog.h"

bool CFindApp::InitInstance() {
  Enable3dControls();
  SetRegistryKey(identity::kRegistryKey);
  std::string title = identity::WindowTitle();
  {
    CFindDialog dialog(title, nullptr);
    dialog.DoModal();
  }
  framework::PostQuitMessage(0);
  // A dialog-based program: false tells the framework there is no message loop to enter.
  return false;
}

bool CFindApp::OnIdle(long count) {
  return CWinApp::OnIdle(count);
}
