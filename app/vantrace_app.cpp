// The application object.
#include "app/vantrace_app.h"

#include "app/resource.h"
#include "app/vantrace_dlg.h"

CVantraceApp theApp;

CVantraceApp::CVantraceApp() = default;
CVantraceApp::~CVantraceApp() = default;

const AFX_MSGMAP* CVantraceApp::GetThisMessageMap() {
  static const AFX_MSGMAP map{&CWinApp::GetThisMessageMap, nullptr};
  return &map;
}
const AFX_MSGMAP* CVantraceApp::GetMessageMap() const {
  return GetThisMessageMap();
}

BOOL CVantraceApp::InitInstance() {
  // Sockets must be ready before the report run: the Bluetooth address probe opens one.
  if (!AfxSocketInit()) {
    AfxMessageBox(IDP_SOCKETS_INIT_FAILED);
    m_nExitCode = 1;
    return FALSE;
  }

  SetRegistryKey(u"Local AppWizard-Generated Applications");

  CVantraceDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;

  // The dialog has ended and the report is written; no message loop follows.
  return FALSE;
}
