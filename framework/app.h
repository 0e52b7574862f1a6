#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace platform {
class SettingsStore;
}

namespace framework {

class Backend;

// The application object. Exactly one exists; the framework's start-up
// (RunApplication) names it after the executable and calls InitInstance.
class CWinApp {
 public:
  explicit CWinApp(const char* appName = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual bool InitInstance();
  virtual bool OnIdle(long count);
  virtual int ExitInstance();

  // Controls have one look on this system: nothing to enable, so it reports false.
  bool Enable3dControls();
  // From here on the profile functions use the settings store under
  // Software\<registryKey>\<application name>.
  void SetRegistryKey(std::string_view registryKey);

  std::string GetProfileString(std::string_view section, std::string_view entry,
                               std::string_view defaultValue = {});
  int GetProfileInt(std::string_view section, std::string_view entry, int defaultValue);
  bool WriteProfileString(std::string_view section, std::string_view entry, std::string_view value);
  bool WriteProfileInt(std::string_view section, std::string_view entry, int value);

  // The application name: the executable's file name without directory and extension.
  const std::string& AppName() const { return appName_; }
  void SetAppName(std::string appName) { appName_ = std::move(appName); }
  // The key path that profile sections live under, empty before SetRegistryKey.
  const std::string& ProfileKeyPath() const { return profileKeyPath_; }

 private:
  std::string SectionPath(std::string_view section) const;

  std::string appName_;
  std::string profileKeyPath_;
  std::unique_ptr<platform::SettingsStore> store_;
};

CWinApp* AfxGetApp();

// Ends the application's loops with an exit code; the framework's start-up returns it.
void PostQuitMessage(int exitCode);

// The framework's start-up: installs the backend, names the application
// after the executable (/proc/self/exe), runs InitInstance and returns the
// process's exit status.
int RunApplication(Backend& backend);

}  // namespace framework
