// The application framework over the installed device.
#include "platform/mfc.h"

#include <map>
#include <memory>

#include "platform/device.h"
#include "platform/wformat.h"
#include "res/resources.h"

// A window of this display-less platform: what has been sent to it.
struct WindowRecord {
  HICON bigIcon = nullptr;
  HICON smallIcon = nullptr;
};

// An icon loaded from the program's resources.
struct IconRecord {
  UINT id;
  const IconGroup* group;
};

namespace {
CWinApp* theApplication = nullptr;

// The application's title: the executable's file name without its extension.
std::u16string TitleFromModulePath(const std::u16string& path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of(u'.');
  if (dot != std::u16string::npos && dot > 0) name.resize(dot);
  return name;
}

std::u16string ApplicationTitle() {
  if (theApplication != nullptr && !theApplication->m_pszAppName.empty()) {
    return theApplication->m_pszAppName;
  }
  return TitleFromModulePath(CurrentDevice().ModuleFileName());
}

const AFX_MSGMAP* NoBaseMap() {
  return nullptr;
}
}  // namespace

// --- Icons and messages ---

HICON LoadIconW(HINSTANCE /*instance*/, LPCWSTR name) {
  // Icons are looked up by resource number; names are not used by this program.
  const auto id = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name));
  if (id == 0 || id > 0xFFFF) return nullptr;
  const IconGroup* group = FindIconGroup(id);
  if (group == nullptr) return nullptr;
  // Icons live as long as the process, as resource icons do.
  static std::map<UINT, std::unique_ptr<IconRecord>> loaded;
  auto& record = loaded[id];
  if (!record) record = std::make_unique<IconRecord>(IconRecord{id, group});
  return record.get();
}

UINT IconResourceId(HICON icon) {
  return icon != nullptr ? icon->id : 0;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == nullptr || message != WM_SETICON) return 0;
  HICON icon = reinterpret_cast<HICON>(lParam);
  HICON& slot = wParam == ICON_BIG ? window->bigIcon : window->smallIcon;
  HICON previous = slot;
  slot = icon;
  return reinterpret_cast<LRESULT>(previous);
}

HICON GetWindowIcon(HWND window, WPARAM which) {
  if (window == nullptr) return nullptr;
  return which == ICON_BIG ? window->bigIcon : window->smallIcon;
}

// --- CString ---

CString& CString::operator=(LPCWSTR text) {
  text_ = text != nullptr ? text : u"";
  return *this;
}

CString& CString::operator+=(LPCWSTR text) {
  if (text != nullptr) text_ += text;
  return *this;
}

void CString::Format(LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::FormatV(LPCWSTR format, va_list args) {
  // Grow until the whole result fits; the formatter reports -1 (or the full count) when it did not.
  for (std::size_t room = 256; room <= (std::size_t{1} << 24); room *= 2) {
    std::u16string buffer(room, u'\0');
    va_list copy;
    va_copy(copy, args);
    const int n = _vsnwprintf(buffer.data(), room, format, copy);
    va_end(copy);
    if (n >= 0 && static_cast<std::size_t>(n) < room) {
      // Stop at the first NUL, as the text would be read by anyone holding it.
      buffer.resize(std::u16string_view(buffer.c_str()).size());
      text_ = std::move(buffer);
      return;
    }
  }
  text_.clear();
}

// --- Message maps ---

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP map{&NoBaseMap, nullptr};
  return &map;
}
const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
  return GetThisMessageMap();
}

const AFX_MSGMAP* CDialog::GetThisMessageMap() {
  static const AFX_MSGMAP map{&CCmdTarget::GetThisMessageMap, nullptr};
  return &map;
}
const AFX_MSGMAP* CDialog::GetMessageMap() const {
  return GetThisMessageMap();
}

const AFX_MSGMAP* CWinApp::GetThisMessageMap() {
  static const AFX_MSGMAP map{&CCmdTarget::GetThisMessageMap, nullptr};
  return &map;
}
const AFX_MSGMAP* CWinApp::GetMessageMap() const {
  return GetThisMessageMap();
}

// --- CDialog ---

CDialog::CDialog(UINT templateId, CWnd* parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() {
  delete m_hWnd;
  m_hWnd = nullptr;
}

INT_PTR CDialog::DoModal() {
  if (FindDialogResource(templateId_) == nullptr) return -1;
  ended_ = false;
  result_ = IDCANCEL;
  delete m_hWnd;
  m_hWnd = new WindowRecord{};
  OnInitDialog();
  // The window is torn down once the dialog has ended.
  delete m_hWnd;
  m_hWnd = nullptr;
  return ended_ ? result_ : IDCANCEL;
}

BOOL CDialog::OnInitDialog() {
  return TRUE;
}

void CDialog::EndDialog(int result) {
  ended_ = true;
  result_ = result;
}

// --- CWinApp ---

CWinApp::CWinApp(LPCWSTR appName) {
  if (appName != nullptr) m_pszAppName = appName;
  theApplication = this;
}

CWinApp::~CWinApp() {
  if (theApplication == this) theApplication = nullptr;
}

BOOL CWinApp::InitInstance() {
  return TRUE;
}

int CWinApp::ExitInstance() {
  return m_nExitCode;
}

void CWinApp::SetRegistryKey(LPCWSTR registryKey) {
  // The key is only named; this platform keeps no registry and nothing is read or written.
  m_pszRegistryKey = registryKey != nullptr ? registryKey : u"";
}

CWinApp* AfxGetApp() {
  return theApplication;
}

HINSTANCE AfxGetResourceHandle() {
  return nullptr;
}

int AfxMessageBox(LPCWSTR text, UINT /*type*/, UINT /*helpId*/) {
  CurrentDevice().ShowMessageBox(ApplicationTitle(), text != nullptr ? text : u"");
  return IDOK;
}

int AfxMessageBox(UINT stringId, UINT type, UINT helpId) {
  const auto text = FindStringResource(stringId);
  const std::u16string copy(text ? *text : std::u16string_view{});
  return AfxMessageBox(copy.c_str(), type, helpId);
}

BOOL AfxSocketInit(WSADATA* /*data*/) {
  return CurrentDevice().StartSockets() ? TRUE : FALSE;
}

int AfxWinMain() {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  app->m_nExitCode = 0;
  app->m_pMainWnd = nullptr;
  if (app->m_pszAppName.empty()) {
    app->m_pszAppName = TitleFromModulePath(CurrentDevice().ModuleFileName());
  }
  if (!app->InitInstance()) return app->ExitInstance();
  // An application that returns TRUE would run a message loop; with no display, nothing would ever
  // arrive, so it exits at once.
  return app->ExitInstance();
}

// --- CFileFind ---

BOOL CFileFind::FindFile(LPCWSTR pattern) {
  Close();
  const std::u16string_view text(pattern != nullptr ? pattern : u"\\*");
  const std::size_t slash = text.find_last_of(u'\\');
  folder_ =
      slash == std::u16string_view::npos ? std::u16string() : std::u16string(text.substr(0, slash));
  const std::u16string_view filter =
      slash == std::u16string_view::npos ? text : text.substr(slash + 1);
  if (filter != u"*" && filter != u"*.*") return FALSE;  // this program only lists whole folders
  auto names = CurrentDevice().ListFolder(folder_.empty() ? std::u16string_view(u"\\") : folder_);
  if (!names || names->empty()) return FALSE;
  names_ = std::move(*names);
  next_ = 0;
  open_ = true;
  return TRUE;
}

BOOL CFileFind::FindNextFile() {
  if (!open_ || next_ >= names_.size()) return FALSE;
  ++next_;
  return next_ < names_.size() ? TRUE : FALSE;
}

CString CFileFind::GetFileName() const {
  if (!open_ || next_ == 0) return CString();
  return CString(names_[next_ - 1]);
}

CString CFileFind::GetFilePath() const {
  if (!open_ || next_ == 0) return CString();
  return CString(folder_ + u"\\" + names_[next_ - 1]);
}

void CFileFind::Close() {
  names_.clear();
  folder_.clear();
  next_ = 0;
  open_ = false;
}
