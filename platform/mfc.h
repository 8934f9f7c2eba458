// The application framework: application object, windows and modal dialogs, message boxes, socket
// start-up, the growable string CString and the folder search CFileFind.
//
// The platform has no display: a dialog is created and initialised but never drawn, and a message
// box is shown by the device (LinuxDevice prints it, SimulatedDevice records it).
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

// --- Messages and message boxes ---
inline constexpr UINT WM_SETICON = 0x0080;
inline constexpr WPARAM ICON_SMALL = 0;
inline constexpr WPARAM ICON_BIG = 1;
inline constexpr UINT MB_OK = 0;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

inline LPCWSTR MAKEINTRESOURCE(UINT id) {
  return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(id));
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The icon that a window holds for ICON_BIG or ICON_SMALL; null when none was set.
HICON GetWindowIcon(HWND window, WPARAM which);
// The resource id of the icon group behind a handle from LoadIconW; 0 for none.
UINT IconResourceId(HICON icon);

// --- CString ---
class CString {
 public:
  CString() = default;
  CString(LPCWSTR text) : text_(text != nullptr ? text : u"") {}  // NOLINT: implicit, as MFC's
  explicit CString(std::u16string text) : text_(std::move(text)) {}

  int GetLength() const { return static_cast<int>(text_.size()); }
  bool IsEmpty() const { return text_.empty(); }
  operator LPCWSTR() const { return text_.c_str(); }  // NOLINT: implicit, as MFC's
  const std::u16string& str() const { return text_; }

  CString& operator=(LPCWSTR text);
  CString& operator+=(LPCWSTR text);
  // Formats with the platform's wide printf rules, as large as the result needs.
  void Format(LPCWSTR format, ...);
  void FormatV(LPCWSTR format, va_list args);

 private:
  std::u16string text_;
};

// --- Windows and dialogs ---
class CWnd {
 public:
  virtual ~CWnd() = default;
  HWND GetSafeHwnd() const { return m_hWnd; }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageW(m_hWnd, message, wParam, lParam);
  }
  HWND m_hWnd = nullptr;
};

// A message map: the framework's table of message handlers, linked to the base class's map.
struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const void* lpEntries;  // this platform's maps carry no entries
};

class CCmdTarget : public CWnd {
 public:
  virtual const AFX_MSGMAP* GetMessageMap() const;
  static const AFX_MSGMAP* GetThisMessageMap();
};

class CDialog : public CCmdTarget {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // Creates the dialog from its template, runs OnInitDialog and returns the result given to
  // EndDialog. With no display there is no one to press a button, so a dialog that does not end
  // itself while it initialises is ended with IDCANCEL.
  virtual INT_PTR DoModal();
  virtual BOOL OnInitDialog();
  void EndDialog(int result);

  const AFX_MSGMAP* GetMessageMap() const override;
  static const AFX_MSGMAP* GetThisMessageMap();

  UINT templateId() const { return templateId_; }

 private:
  UINT templateId_;
  CWnd* parent_;
  bool ended_ = false;
  int result_ = IDCANCEL;
};

// --- The application ---
class CWinApp : public CCmdTarget {
 public:
  explicit CWinApp(LPCWSTR appName = nullptr);
  ~CWinApp() override;

  virtual BOOL InitInstance();
  // The process's exit status.
  virtual int ExitInstance();
  void SetRegistryKey(LPCWSTR registryKey);

  const AFX_MSGMAP* GetMessageMap() const override;
  static const AFX_MSGMAP* GetThisMessageMap();

  CWnd* m_pMainWnd = nullptr;
  // The application's title: its name, or the executable's file name without its extension.
  std::u16string m_pszAppName;
  std::u16string m_pszRegistryKey;
  // The status that ExitInstance returns; 0 unless the application sets it.
  int m_nExitCode = 0;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();
// Shows a message box captioned with the application's title; returns IDOK.
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK, UINT helpId = 0);
// The string-resource form; a string that does not exist shows an empty box.
int AfxMessageBox(UINT stringId, UINT type = MB_OK, UINT helpId = static_cast<UINT>(-1));
// Starts the sockets layer (version 1.1); FALSE when it cannot start.
struct WSADATA;
BOOL AfxSocketInit(WSADATA* data = nullptr);

// The framework's entry: runs the application object's life and returns the process's exit status.
int AfxWinMain();

// --- CFileFind ---
class CFileFind {
 public:
  CFileFind() = default;
  ~CFileFind() { Close(); }
  CFileFind(const CFileFind&) = delete;
  CFileFind& operator=(const CFileFind&) = delete;

  // Starts a search for a pattern "<folder>\*"; FALSE when the folder has no entry or cannot be
  // searched.
  BOOL FindFile(LPCWSTR pattern = u"\\*");
  // Makes the next entry current; FALSE when the entry now current is the last one.
  BOOL FindNextFile();
  CString GetFilePath() const;
  CString GetFileName() const;
  void Close();

 private:
  std::u16string folder_;
  std::vector<std::u16string> names_;
  std::size_t next_ = 0;  // index of the entry that FindNextFile makes current
  bool open_ = false;
};
