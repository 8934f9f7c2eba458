// The main dialog and the report run.
#include "app/vantrace_dlg.h"

#include "app/resource.h"
#include "log/report_log.h"
#include "probes/probes.h"

CVantraceDlg::CVantraceDlg(CWnd* parent) : CDialog(IDD_VANTRACE21_DIALOG, parent) {
  m_hIcon = LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCE(IDR_MAINFRAME));
}

CVantraceDlg::~CVantraceDlg() = default;

const AFX_MSGMAP* CVantraceDlg::GetThisMessageMap() {
  static const AFX_MSGMAP map{&CDialog::GetThisMessageMap, nullptr};
  return &map;
}
const AFX_MSGMAP* CVantraceDlg::GetMessageMap() const {
  return GetThisMessageMap();
}

BOOL CVantraceDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  // The one piece of state that passes between sections: what the HAL wrote for one section is
  // where the next HAL section starts from.
  HalOutputBuffer halOutput{};

  ReportSystemInfo();
  DumpAdaptersInfo();
  LogMessage(u"dumpStoregeGuids:");
  dumpStoregeGuids();
  DumpDeviceUniqueID();
  DumpDeviceGUID(halOutput);
  DumpDeviceGUID2(halOutput);
  GetMACaddress1();
  DumpBluetoothAddress();
  DumpDeviceUUID(halOutput);
  DumpDeviceUUID2(halOutput);
  GetTextDeviceID();
  Atlas_GetDeviceUUID();

  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  EndDialog(IDCANCEL);

  // "OK!" promises a complete report; when any line failed to reach the file, say so instead and
  // leave with a failing status.
  const DWORD lost = ReportLinesLost();
  if (lost == 0) {
    AfxMessageBox(u"OK!", MB_OK, 0);
  } else {
    const std::u16string path = LastReportPath();
    CString text;
    text.Format(u"Report incomplete: %d line(s) could not be written to %s", lost, path.c_str());
    AfxMessageBox(text, MB_OK, 0);
    if (CWinApp* app = AfxGetApp()) app->m_nExitCode = 1;
  }
  return TRUE;
}
