#include "res/resources.h"

#include "app/resource.h"

namespace {

constexpr DialogItemTemplate kMainDialogItems[] = {
    {WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 0, 13, 33, 112, 17, IDC_STATIC, u"Static",
     u"TODO: Place dialog controls here."},
};

constexpr DialogTemplate kMainDialog = {
    IDD_VANTRACE21_DIALOG,
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    WS_EX_CAPTIONOKBTN | WS_EX_APPWINDOW,
    0,
    0,
    130,
    90,
    u"Vantrace21",
    u"MS Shell Dlg",
    8,
    kMainDialogItems,
};

struct StringEntry {
  UINT id;
  std::u16string_view text;
};

// No application title (57344) on purpose: without one the framework titles the program after its
// executable's file name.
constexpr StringEntry kStringTable[] = {
    {IDP_SOCKETS_INIT_FAILED, u"Windows sockets initialization failed."},
};

constexpr std::pair<std::u16string_view, std::u16string_view> kVersionStrings[] = {
    {u"CompanyName", u"TODO: <Company name>"},
    {u"FileDescription", u"TODO: <File description>"},
    {u"FileVersion", u"1, 0, 0, 1"},
    {u"InternalName", u"Vantrace21.exe"},
    {u"LegalCopyright", u"TODO: <Copyright notice>"},
    {u"OriginalFilename", u"Vantrace21.exe"},
    {u"ProductName", u"TODO: <Product name>"},
    {u"ProductVersion", u"1, 0, 0, 1"},
};

constexpr VersionResource kVersion = {
    {1, 0, 0, 1},
    {1, 0, 0, 1},
    kVersionStrings,
};

constinit const IconGroup kMainframeIcon = {IDR_MAINFRAME, kMainframeIconImages};

void PutWord(std::vector<BYTE>& out, WORD value) {
  out.push_back(static_cast<BYTE>(value & 0xFF));
  out.push_back(static_cast<BYTE>(value >> 8));
}

void PutDword(std::vector<BYTE>& out, DWORD value) {
  PutWord(out, static_cast<WORD>(value & 0xFFFF));
  PutWord(out, static_cast<WORD>(value >> 16));
}

}  // namespace

const DialogTemplate* FindDialogResource(UINT id) {
  return id == kMainDialog.id ? &kMainDialog : nullptr;
}

std::optional<std::u16string_view> FindStringResource(UINT id) {
  for (const StringEntry& entry : kStringTable) {
    if (entry.id == id) return entry.text;
  }
  return std::nullopt;
}

const VersionResource& FindVersionResource() {
  return kVersion;
}

const IconGroup* FindIconGroup(UINT id) {
  return id == kMainframeIcon.id ? &kMainframeIcon : nullptr;
}

std::vector<BYTE> IconGroupAsIcoFile(const IconGroup& group) {
  constexpr std::size_t kDirSize = 6;
  constexpr std::size_t kEntrySize = 16;
  const std::size_t count = group.images.size();

  std::vector<BYTE> out;
  PutWord(out, 0);  // reserved
  PutWord(out, 1);  // resource type: icon
  PutWord(out, static_cast<WORD>(count));

  std::size_t offset = kDirSize + kEntrySize * count;
  for (const IconImage& image : group.images) {
    // The entry's width and height are one byte each; 256 pixels is written as 0.
    const BYTE side = static_cast<BYTE>(image.size >= 256 ? 0 : image.size);
    out.push_back(side);
    out.push_back(side);
    // Colour count: the palette size below 8 bits per pixel, 0 from there up.
    out.push_back(static_cast<BYTE>(image.bitsPerPixel < 8 ? 1u << image.bitsPerPixel : 0u));
    out.push_back(0);  // reserved
    PutWord(out, 1);   // colour planes
    PutWord(out, static_cast<WORD>(image.bitsPerPixel));
    PutDword(out, static_cast<DWORD>(image.dib.size()));
    PutDword(out, static_cast<DWORD>(offset));
    offset += image.dib.size();
  }
  for (const IconImage& image : group.images) {
    out.insert(out.end(), image.dib.begin(), image.dib.end());
  }
  return out;
}
