#pragma once

#include "framework/app.h"

// The application object: points the settings at the registry key, then runs
// the search criteria dialog for the whole run of the program.
class CFindApp : public framework::CWinApp {
 public:
  CFindApp() = default;
  bool InitInstance() override;
  bool OnIdle(long count) override;
};
