// The application object: starts sockets and runs the main dialog, whose initialisation is the
// report run.
#pragma once

#include "platform/mfc.h"

class CVantraceApp : public CWinApp {
 public:
  CVantraceApp();
  ~CVantraceApp() override;

  const AFX_MSGMAP* GetMessageMap() const override;
  static const AFX_MSGMAP* GetThisMessageMap();
  BOOL InitInstance() override;
};

// The process's one application object.
extern CVantraceApp theApp;
