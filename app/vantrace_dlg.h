// The main dialog. Its initialisation runs the whole report, ends the dialog and shows the closing
// message box.
#pragma once

#include "platform/mfc.h"

class CVantraceDlg : public CDialog {
 public:
  explicit CVantraceDlg(CWnd* parent = nullptr);
  ~CVantraceDlg() override;

  const AFX_MSGMAP* GetMessageMap() const override;
  static const AFX_MSGMAP* GetThisMessageMap();

 protected:
  BOOL OnInitDialog() override;

 private:
  HICON m_hIcon;
};
