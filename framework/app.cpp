#include "framework/app.h"

#include <cstdio>

#include "framework/backend.h"
#include "platform/process/process.h"
#include "platform/settings/settings_store.h"

namespace framework {

namespace {
CWinApp* theApplication = nullptr;
int quitCode = 0;
}  // namespace

CWinApp::CWinApp(const char* appName) {
  if (appName)
    appName_ = appName;
  theApplication = this;
}

CWinApp::~CWinApp() {
  if (theApplication == this)
    theApplication = nullptr;
}

bool CWinApp::InitInstance() {
  return false;
}

bool CWinApp::OnIdle(long /*count*/) {
  return false;
}

int CWinApp::ExitInstance() {
  return quitCode;
}

bool CWinApp::Enable3dControls() {
  return false;
}

void CWinApp::SetRegistryKey(std::string_view registryKey) {
  profileKeyPath_ = "Software\\" + std::string(registryKey) + "\\" + appName_;
  store_ = std::make_unique<platform::SettingsStore>(
      platform::SettingsStore::DefaultDatabasePath(registryKey));
}

std::string CWinApp::SectionPath(std::string_view section) const {
  return profileKeyPath_ + "\\" + std::string(section);
}

std::string CWinApp::GetProfileString(std::string_view section, std::string_view entry,
                                      std::string_view defaultValue) {
  if (store_) {
    if (auto value = store_->ReadString(SectionPath(section), entry))
      return *value;
  }
  return std::string(defaultValue);
}

int CWinApp::GetProfileInt(std::string_view section, std::string_view entry, int defaultValue) {
  if (store_) {
    if (auto value = store_->ReadInt(SectionPath(section), entry))
      return *value;
  }
  return defaultValue;
}

bool CWinApp::WriteProfileString(std::string_view section, std::string_view entry,
                                 std::string_view value) {
  return store_ && store_->WriteString(SectionPath(section), entry, value);
}

bool CWinApp::WriteProfileInt(std::string_view section, std::string_view entry, int value) {
  return store_ && store_->WriteInt(SectionPath(section), entry, value);
}

CWinApp* AfxGetApp() {
  return theApplication;
}

void PostQuitMessage(int exitCode) {
  quitCode = exitCode;
}

int RunApplication(Backend& backend) {
  SetCurrentBackend(&backend);
  int status = 0;
  if (CWinApp* app = AfxGetApp()) {
    std::string name = platform::ApplicationNameFromPath(platform::ExecutablePath());
    if (!name.empty())
      app->SetAppName(name);
    if (app->InitInstance()) {
      // A dialog-based program does all its work in InitInstance; a true
      // result would enter a message loop that this framework does not have.
    }
    status = app->ExitInstance();
  } else {
    std::fputs("morvel: no application object\n", stderr);
    status = 1;
  }
  SetCurrentBackend(nullptr);
  return status;
}

}  // namespace framework
