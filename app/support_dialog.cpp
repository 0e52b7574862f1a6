#include "app/support_dialog.h"

#include "app/identity.h"
#include "res/resource.h"
#include "res/templates.h"

CSupportDialog::CSupportDialog(framework::CDialog* parent)
    : CDialog(res::SupportInfoTemplate(), parent),
      programName(identity::kProductName),
      programVersion(identity::VersionText()) {}

bool CSupportDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  UpdateData(false);
  return true;
}

void CSupportDialog::DoDataExchange(framework::CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  framework::DDX_Text(pDX, res::IDC_PROGRAM_NAME, programName);
  framework::DDX_Text(pDX, res::IDC_PROGRAM_VERSION, programVersion);
}
