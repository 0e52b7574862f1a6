#pragma once

#include <string>

#include "framework/dialog.h"

// Shows the program's name and version. Opened without an owner, so the
// criteria dialog stays usable beside it.
class CSupportDialog : public framework::CDialog {
 public:
  explicit CSupportDialog(framework::CDialog* parent = nullptr);
  bool OnInitDialog() override;

 protected:
  void DoDataExchange(framework::CDataExchange* pDX) override;

 private:
  std::string programName;
  std::string programVersion;
};
