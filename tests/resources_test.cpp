#include "res/resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "app/resource.h"

namespace {

DWORD ReadWord(std::span<const BYTE> bytes, std::size_t at) {
  return static_cast<DWORD>(bytes[at] | bytes[at + 1] << 8);
}

DWORD ReadDword(std::span<const BYTE> bytes, std::size_t at) {
  return ReadWord(bytes, at) | ReadWord(bytes, at + 2) << 16;
}

std::string Narrow(std::u16string_view text) {
  return std::string(text.begin(), text.end());
}

TEST(DialogResource, MainDialogHasItsExactLayout) {
  const DialogTemplate* dialog = FindDialogResource(IDD_VANTRACE21_DIALOG);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->id, 102u);
  EXPECT_EQ(dialog->style, 0x80000000u | 0x10000000u | 0x00C00000u | 0x00080000u | 0x80u | 0x40u);
  EXPECT_EQ(dialog->exStyle, 0x80000000u | 0x00040000u);
  EXPECT_EQ(dialog->x, 0);
  EXPECT_EQ(dialog->y, 0);
  EXPECT_EQ(dialog->cx, 130);
  EXPECT_EQ(dialog->cy, 90);
  EXPECT_EQ(Narrow(dialog->caption), "Vantrace21");
  EXPECT_EQ(Narrow(dialog->fontFace), "MS Shell Dlg");
  EXPECT_EQ(dialog->pointSize, 8);

  ASSERT_EQ(dialog->items.size(), 1u);
  const DialogItemTemplate& item = dialog->items[0];
  EXPECT_EQ(item.style, 0x40000000u | 0x10000000u | 0x00020000u);
  EXPECT_EQ(item.exStyle, 0u);
  EXPECT_EQ(item.x, 13);
  EXPECT_EQ(item.y, 33);
  EXPECT_EQ(item.cx, 112);
  EXPECT_EQ(item.cy, 17);
  EXPECT_EQ(item.id, -1);
  EXPECT_EQ(Narrow(item.windowClass), "Static");
  EXPECT_EQ(Narrow(item.text), "TODO: Place dialog controls here.");
}

TEST(DialogResource, OtherIdsHaveNoDialog) {
  for (UINT id : {0u, 101u, 103u, 128u, 57344u}) {
    EXPECT_EQ(FindDialogResource(id), nullptr) << id;
  }
}

TEST(StringResource, OnlyTheSocketsMessageExists) {
  const auto sockets = FindStringResource(IDP_SOCKETS_INIT_FAILED);
  ASSERT_TRUE(sockets.has_value());
  EXPECT_EQ(Narrow(*sockets), "Windows sockets initialization failed.");
  // 57344 is the application title; without it the title comes from the executable's name.
  for (UINT id : {0u, 102u, 104u, 128u, 57344u}) {
    EXPECT_FALSE(FindStringResource(id).has_value()) << id;
  }
}

TEST(VersionResource, NumbersAndNames) {
  const VersionResource& version = FindVersionResource();
  EXPECT_EQ(std::vector<WORD>(std::begin(version.fileVersion), std::end(version.fileVersion)),
            (std::vector<WORD>{1, 0, 0, 1}));
  EXPECT_EQ(std::vector<WORD>(std::begin(version.productVersion), std::end(version.productVersion)),
            (std::vector<WORD>{1, 0, 0, 1}));

  std::map<std::string, std::string> fields;
  for (const auto& [name, value] : version.strings) {
    EXPECT_TRUE(fields.emplace(Narrow(name), Narrow(value)).second) << "twice: " << Narrow(name);
    EXPECT_FALSE(value.empty()) << Narrow(name);
  }
  EXPECT_EQ(fields.size(), 8u);
  EXPECT_EQ(fields["InternalName"], "Vantrace21.exe");
  EXPECT_EQ(fields["OriginalFilename"], "Vantrace21.exe");
  EXPECT_EQ(fields["FileVersion"], "1, 0, 0, 1");
  for (const char* name :
       {"CompanyName", "FileDescription", "LegalCopyright", "ProductName", "ProductVersion"}) {
    EXPECT_TRUE(fields.count(name)) << name;
  }
}

// One pixel of an icon image, or nothing where the mask makes it transparent.
struct Pixel {
  bool opaque;
  int r, g, b;
};

class IconImageReader {
 public:
  explicit IconImageReader(const IconImage& image)
      : image_(image),
        size_(image.size),
        bits_(image.bitsPerPixel),
        paletteBytes_(bits_ <= 8 ? 4u << bits_ : 0u),
        colourRow_((size_ * bits_ + 31) / 32 * 4),
        maskRow_((size_ + 31) / 32 * 4) {}

  std::size_t ExpectedBytes() const {
    return 40 + paletteBytes_ + (colourRow_ + maskRow_) * static_cast<std::size_t>(size_);
  }

  // x, y from the top-left corner; rows are stored bottom-up.
  Pixel At(int x, int y) const {
    const std::span<const BYTE> dib = image_.dib;
    const std::size_t row = static_cast<std::size_t>(size_ - 1 - y);
    const std::size_t colours = 40 + paletteBytes_ + row * colourRow_;
    const std::size_t mask = 40 + paletteBytes_ + colourRow_ * size_ + row * maskRow_;
    Pixel pixel{};
    pixel.opaque = (dib[mask + x / 8] & (0x80 >> (x % 8))) == 0;
    std::size_t bgr = 0;
    if (bits_ == 24) {
      bgr = colours + x * 3u;
    } else {
      const int index =
          bits_ == 8 ? dib[colours + x] : (dib[colours + x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0F;
      bgr = 40 + index * 4u;
    }
    pixel.b = dib[bgr];
    pixel.g = dib[bgr + 1];
    pixel.r = dib[bgr + 2];
    return pixel;
  }

 private:
  const IconImage& image_;
  int size_, bits_;
  std::size_t paletteBytes_, colourRow_, maskRow_;
};

TEST(IconResource, GroupHasNineImagesWithWellFormedHeadersAndSizes) {
  EXPECT_EQ(FindIconGroup(102), nullptr);
  ASSERT_NE(FindIconGroup(IDR_MAINFRAME), nullptr);
  const IconGroup& group = *FindIconGroup(IDR_MAINFRAME);
  EXPECT_EQ(group.id, 128u);

  // Header + palette + colour rows + mask rows, worked out by hand.
  const std::map<std::pair<int, int>, std::size_t> expected = {
      {{16, 4}, 40 + 64 + 16 * 8 + 16 * 4},    {{16, 8}, 40 + 1024 + 16 * 16 + 16 * 4},
      {{16, 24}, 40 + 16 * 48 + 16 * 4},       {{32, 4}, 40 + 64 + 32 * 16 + 32 * 4},
      {{32, 8}, 40 + 1024 + 32 * 32 + 32 * 4}, {{32, 24}, 40 + 32 * 96 + 32 * 4},
      {{48, 4}, 40 + 64 + 48 * 24 + 48 * 8},   {{48, 8}, 40 + 1024 + 48 * 48 + 48 * 8},
      {{48, 24}, 40 + 48 * 144 + 48 * 8},
  };
  ASSERT_EQ(group.images.size(), 9u);
  std::set<std::pair<int, int>> seen;
  for (const IconImage& image : group.images) {
    SCOPED_TRACE(std::to_string(image.size) + "px " + std::to_string(image.bitsPerPixel) + "bpp");
    EXPECT_TRUE(seen.insert({image.size, image.bitsPerPixel}).second);
    ASSERT_TRUE(expected.count({image.size, image.bitsPerPixel}));
    ASSERT_EQ(image.dib.size(), expected.at({image.size, image.bitsPerPixel}));
    EXPECT_EQ(image.dib.size(), IconImageReader(image).ExpectedBytes());

    EXPECT_EQ(ReadDword(image.dib, 0), 40u);                                 // header size
    EXPECT_EQ(ReadDword(image.dib, 4), static_cast<DWORD>(image.size));      // width
    EXPECT_EQ(ReadDword(image.dib, 8), static_cast<DWORD>(image.size * 2));  // colour + mask
    EXPECT_EQ(ReadWord(image.dib, 12), 1u);                                  // planes
    EXPECT_EQ(ReadWord(image.dib, 14), static_cast<DWORD>(image.bitsPerPixel));
    EXPECT_EQ(ReadDword(image.dib, 16), 0u);  // uncompressed
    // Colours used: 0 (the whole palette) or exactly the palette's size.
    const DWORD used = ReadDword(image.dib, 32);
    EXPECT_TRUE(used == 0 || (image.bitsPerPixel <= 8 && used == (1u << image.bitsPerPixel)));
  }
  EXPECT_EQ(seen.size(), 9u);
}

// The three depths of a size are one drawing: the same mask, transparent pixels black (so that
// drawing through the mask leaves the background as it was), and the palette images equal to or
// close to the 24-bit one (which also catches a palette stored in the wrong byte order).
TEST(IconResource, DepthsOfASizeShowTheSameDrawing) {
  ASSERT_NE(FindIconGroup(IDR_MAINFRAME), nullptr);
  const IconGroup& group = *FindIconGroup(IDR_MAINFRAME);
  for (int size : {16, 32, 48}) {
    const IconImage* trueColour = nullptr;
    for (const IconImage& image : group.images) {
      if (image.size == size && image.bitsPerPixel == 24) trueColour = &image;
    }
    ASSERT_NE(trueColour, nullptr) << size;
    const IconImageReader reference(*trueColour);

    int opaque = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) opaque += reference.At(x, y).opaque;
    }
    // A drawing, not an empty or solid square.
    EXPECT_GT(opaque, size * size / 3) << size;
    EXPECT_LT(opaque, size * size) << size;

    for (const IconImage& image : group.images) {
      if (image.size != size) continue;
      SCOPED_TRACE(std::to_string(size) + "px " + std::to_string(image.bitsPerPixel) + "bpp");
      const IconImageReader reader(image);
      long error = 0;
      for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
          const Pixel want = reference.At(x, y), got = reader.At(x, y);
          ASSERT_EQ(got.opaque, want.opaque) << x << "," << y;
          if (!got.opaque) {
            ASSERT_EQ(got.r | got.g | got.b, 0) << x << "," << y;
            continue;
          }
          const int worst = std::max(
              {std::abs(got.r - want.r), std::abs(got.g - want.g), std::abs(got.b - want.b)});
          EXPECT_LE(worst, 40) << x << "," << y;
          error += worst;
        }
      }
      if (image.bitsPerPixel == 4) {
        EXPECT_LE(error, opaque * 8L);  // on average within 8 levels per pixel
      } else {
        // The drawing has fewer than 256 colours, so the 8-bit palette holds every one of them.
        EXPECT_EQ(error, 0);
      }
    }
  }
}

TEST(IconResource, IcoFileHasDirectoryEntriesAndImagesInPlace) {
  ASSERT_NE(FindIconGroup(IDR_MAINFRAME), nullptr);
  const IconGroup& group = *FindIconGroup(IDR_MAINFRAME);
  const std::vector<BYTE> file = IconGroupAsIcoFile(group);
  ASSERT_GE(file.size(), 6u + 16u * 9u);
  EXPECT_EQ(ReadWord(file, 0), 0u);  // reserved
  EXPECT_EQ(ReadWord(file, 2), 1u);  // icon
  ASSERT_EQ(ReadWord(file, 4), 9u);

  std::size_t next = 6 + 16 * 9;
  for (std::size_t i = 0; i < 9; ++i) {
    const IconImage& image = group.images[i];
    SCOPED_TRACE(i);
    const std::size_t entry = 6 + 16 * i;
    EXPECT_EQ(file[entry], image.size);
    EXPECT_EQ(file[entry + 1], image.size);
    EXPECT_EQ(file[entry + 2], image.bitsPerPixel == 4 ? 16 : 0);
    EXPECT_EQ(file[entry + 3], 0);
    EXPECT_EQ(ReadWord(file, entry + 4), 1u);
    EXPECT_EQ(ReadWord(file, entry + 6), static_cast<DWORD>(image.bitsPerPixel));
    const DWORD bytes = ReadDword(file, entry + 8), offset = ReadDword(file, entry + 12);
    EXPECT_EQ(bytes, image.dib.size());
    EXPECT_EQ(offset, next);  // packed one after another, after the directory
    ASSERT_LE(std::size_t{offset} + bytes, file.size());
    EXPECT_TRUE(std::equal(image.dib.begin(), image.dib.end(), file.begin() + offset));
    next = std::size_t{offset} + bytes;
  }
  EXPECT_EQ(next, file.size());
}

TEST(IconResource, IcoFileEdgeCases) {
  // No images: just the directory header.
  EXPECT_EQ(IconGroupAsIcoFile(IconGroup{1, {}}), (std::vector<BYTE>{0, 0, 1, 0, 0, 0}));

  // A 256-pixel image's width and height are written as 0, and so is its colour count above 8
  // bits per pixel. The image bytes are copied as they are.
  static constexpr BYTE kBytes[] = {0xAA, 0xBB, 0xCC};
  static constexpr IconImage kImages[] = {{256, 32, kBytes}};
  EXPECT_EQ(
      IconGroupAsIcoFile(IconGroup{1, kImages}),
      (std::vector<BYTE>{0,    0,    1,   0, 1,  0,         // directory, one entry
                         0,    0,    0,   0, 1,  0, 32, 0,  // 0x0, no palette, 1 plane, 32 bits
                         3,    0,    0,   0, 22, 0, 0,  0,  // 3 bytes at offset 22
                         0xAA, 0xBB, 0xCC}));
}

}  // namespace
