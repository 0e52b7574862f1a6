#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/dialog_template.h"
#include "framework/timers.h"
#include "framework/window.h"

namespace framework {

class CDialog;

// Carries the direction of one data exchange between a dialog's members and
// its controls.
class CDataExchange {
 public:
  CDataExchange(CDialog& dialog, bool saveAndValidate)
      : m_pDlgWnd(&dialog), m_bSaveAndValidate(saveAndValidate) {}
  CDialog* m_pDlgWnd;
  // True: controls into members; false: members into controls.
  bool m_bSaveAndValidate;
};

// Exchanges the text of an edit, static, button or combo box field.
void DDX_Text(CDataExchange* pDX, int controlId, std::string& value);
// Exchanges the state of a check box as 0 or 1.
void DDX_Check(CDataExchange* pDX, int controlId, int& value);

// A dialog made from a template. DoModal creates its window, runs
// OnInitDialog and dispatches until EndDialog or DestroyWindow; notifications
// reach the handlers of its command table.
class CDialog : public WindowEvents {
 public:
  explicit CDialog(const DialogTemplate& dialogTemplate, CDialog* parent = nullptr);
  ~CDialog() override;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // The class's run-time name, for code that must tell dialogs apart.
  virtual const char* GetRuntimeClassName() const { return "CDialog"; }
  virtual int DoModal();
  virtual bool OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange* pDX);
  virtual bool DestroyWindow();

  // true: controls into members; false: members into controls. Notifications
  // from the dialog's controls are dropped while it runs.
  bool UpdateData(bool saveAndValidate = true);
  void EndDialog(int result);
  bool ShowWindow(int command);
  void SetWindowText(std::string caption);

  // The control with that id while the window exists, else null.
  Control* GetDlgItem(int id) const;
  ListBox* GetListBox(int id) const;
  ComboBox* GetComboBox(int id) const;

  bool SetTimer(std::uintptr_t id, unsigned periodMs, TIMERPROC callback);
  bool KillTimer(std::uintptr_t id);

  // The dialog's window; null before DoModal and after it has been destroyed.
  Window* GetSafeWindow() const;
  int TemplateId() const { return template_.id; }

  // WindowEvents
  void OnNotify(int controlId, int code) override;
  void OnCloseRequest() override;

 protected:
  // One entry of the command table: a control id and notification code
  // routed to a member handler.
  template <typename Dialog>
  void MapCommand(int controlId, int code, void (Dialog::*handler)()) {
    commands_.push_back(
        {controlId, code, [this, handler] { (static_cast<Dialog*>(this)->*handler)(); }});
  }

 private:
  struct Command {
    int controlId;
    int code;
    std::function<void()> handler;
  };
  const DialogTemplate& template_;
  std::unique_ptr<Window> window_;
  std::vector<Command> commands_;
  bool exchanging_ = false;
  bool ended_ = false;
  int result_ = -1;
};

}  // namespace framework
