#include "framework/dialog.h"

#include "framework/backend.h"

namespace framework {

void DDX_Text(CDataExchange* pDX, int controlId, std::string& value) {
  Control* control = pDX->m_pDlgWnd->GetDlgItem(controlId);
  if (!control)
    return;
  if (pDX->m_bSaveAndValidate) {
    value = control->Text();
  } else {
    control->SetWindowText(value);
  }
}

void DDX_Check(CDataExchange* pDX, int controlId, int& value) {
  Control* control = pDX->m_pDlgWnd->GetDlgItem(controlId);
  if (!control)
    return;
  if (pDX->m_bSaveAndValidate) {
    value = control->GetCheck() == BST_CHECKED ? 1 : 0;
  } else {
    control->SetCheck(value ? BST_CHECKED : BST_UNCHECKED);
  }
}

CDialog::CDialog(const DialogTemplate& dialogTemplate, CDialog* /*parent*/)
    : template_(dialogTemplate) {}

CDialog::~CDialog() = default;

int CDialog::DoModal() {
  Backend* backend = CurrentBackend();
  if (!backend || window_)
    return -1;
  ended_ = false;
  result_ = -1;
  window_ = std::make_unique<Window>(WindowKind::Dialog, template_, this);
  window_->Show(true);
  if (OnInitDialog() && window_ && !window_->IsDestroyed()) {
    window_->SetFocus(window_->FirstTabStop());
  }
  // The loop ends when the dialog is ended or its window destroyed; `this`
  // may not be touched by the backend after that.
  Window& window = *window_;
  backend->RunModalLoop(window, [this] { return ended_ || !window_ || window_->IsDestroyed(); });
  if (window_) {
    window_->Destroy();
    window_.reset();
  }
  return result_;
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::OnOK() {
  if (UpdateData(true))
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange* /*pDX*/) {}

bool CDialog::DestroyWindow() {
  if (!window_ || window_->IsDestroyed())
    return false;
  window_->Destroy();
  return true;
}

bool CDialog::UpdateData(bool saveAndValidate) {
  if (!GetSafeWindow())
    return false;
  bool wasExchanging = exchanging_;
  exchanging_ = true;
  CDataExchange exchange(*this, saveAndValidate);
  DoDataExchange(&exchange);
  exchanging_ = wasExchanging;
  return true;
}

void CDialog::EndDialog(int result) {
  result_ = result;
  ended_ = true;
}

bool CDialog::ShowWindow(int command) {
  Window* window = GetSafeWindow();
  if (!window)
    return false;
  bool wasVisible = window->IsVisible();
  window->Show(command != SW_HIDE);
  return wasVisible;
}

void CDialog::SetWindowText(std::string caption) {
  if (Window* window = GetSafeWindow())
    window->SetCaption(std::move(caption));
}

Control* CDialog::GetDlgItem(int id) const {
  Window* window = GetSafeWindow();
  return window ? window->Find(id) : nullptr;
}

ListBox* CDialog::GetListBox(int id) const {
  return dynamic_cast<ListBox*>(GetDlgItem(id));
}

ComboBox* CDialog::GetComboBox(int id) const {
  return dynamic_cast<ComboBox*>(GetDlgItem(id));
}

bool CDialog::SetTimer(std::uintptr_t id, unsigned periodMs, TIMERPROC callback) {
  Window* window = GetSafeWindow();
  return window && SetWindowTimer(*window, id, periodMs, callback);
}

bool CDialog::KillTimer(std::uintptr_t id) {
  Window* window = GetSafeWindow();
  return window && KillWindowTimer(*window, id);
}

Window* CDialog::GetSafeWindow() const {
  return (window_ && !window_->IsDestroyed()) ? window_.get() : nullptr;
}

void CDialog::OnNotify(int controlId, int code) {
  if (exchanging_ || !GetSafeWindow())
    return;
  for (const Command& command : commands_) {
    if (command.controlId == controlId && command.code == code) {
      // Copied: the handler may change the command table's owner.
      auto handler = command.handler;
      handler();
      return;
    }
  }
  if (code == BN_CLICKED && controlId == IDOK) {
    OnOK();
  } else if (code == BN_CLICKED && controlId == IDCANCEL) {
    OnCancel();
  }
}

void CDialog::OnCloseRequest() {
  if (GetSafeWindow())
    OnCancel();
}

}  // namespace framework
