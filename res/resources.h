// The program's resources (dialog, strings, version block, icon) held as C++ data, and their
// look-ups.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/types.h"

inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD DS_MODALFRAME = 0x80;
inline constexpr DWORD DS_SETFONT = 0x40;
inline constexpr DWORD SS_LEFT = 0;
inline constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
inline constexpr DWORD WS_EX_CAPTIONOKBTN = 0x80000000;

// One control of a dialog; position and size are in dialog units.
struct DialogItemTemplate {
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;
  int id;
  std::u16string_view windowClass;
  std::u16string_view text;
};

// A dialog box; position and size are in dialog units.
struct DialogTemplate {
  UINT id;
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;
  std::u16string_view caption;
  std::u16string_view fontFace;
  WORD pointSize;
  std::span<const DialogItemTemplate> items;
};

// The dialog with this id, or nullptr.
const DialogTemplate* FindDialogResource(UINT id);

// The string-table entry with this id, or nothing.
std::optional<std::u16string_view> FindStringResource(UINT id);

// The version block: fixed numbers (major, minor, build, revision) and the string fields by name.
struct VersionResource {
  WORD fileVersion[4];
  WORD productVersion[4];
  std::span<const std::pair<std::u16string_view, std::u16string_view>> strings;
};

const VersionResource& FindVersionResource();

// One image of an icon group. dib is the image as an icon file stores it: a BITMAPINFOHEADER whose
// height is twice the image's, the palette (4 and 8 bits per pixel), the colour rows bottom-up,
// each padded to 4 bytes, then the 1-bit transparency mask rows (1 = transparent) bottom-up, also
// padded.
struct IconImage {
  int size;
  int bitsPerPixel;
  std::span<const BYTE> dib;
};

struct IconGroup {
  UINT id;
  std::span<const IconImage> images;
};

// The icon group with this id, or nullptr.
const IconGroup* FindIconGroup(UINT id);

// The group laid out as an .ico file: ICONDIR, one ICONDIRENTRY per image, then the images.
std::vector<BYTE> IconGroupAsIcoFile(const IconGroup& group);

// The application icon's nine images, defined in the generated res/icon_images.cpp.
extern const std::array<IconImage, 9> kMainframeIconImages;
