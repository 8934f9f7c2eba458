// Draws the application icon (a magnifying glass over a chip) and writes res/icon_images.cpp.
//
// The icon is drawn from simple shapes at 16, 32 and 48 pixels, each size with its own hand-tuned
// geometry so that the small sizes stay crisp. Every size is stored at 24 bits per pixel and,
// quantised by median cut, at 8 and 4 bits per pixel. Build and run from the repository root:
//   g++ -std=c++20 -O2 tools/draw_icon.cpp -o /tmp/draw_icon && /tmp/draw_icon
// An optional argument names another output file.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

constexpr Rgb Hex(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value)};
}

Rgb Mix(Rgb a, Rgb b, double t) {
  auto channel = [t](int x, int y) {
    return static_cast<std::uint8_t>(std::lround(x + (y - x) * std::clamp(t, 0.0, 1.0)));
  };
  return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

// The palette of the drawing.
constexpr Rgb kPin = Hex(0xC3CCD6);
constexpr Rgb kPinShade = Hex(0x8D99A6);
constexpr Rgb kBodyTop = Hex(0x3A5068);
constexpr Rgb kBodyBottom = Hex(0x1F2C3A);
constexpr Rgb kBodyMark = Hex(0x6C8AA8);
constexpr Rgb kOutline = Hex(0x2A1606);
constexpr Rgb kRing = Hex(0xF6A623);
constexpr Rgb kRingShade = Hex(0xC97B0C);
constexpr Rgb kGlass = Hex(0xD4F0FB);
constexpr Rgb kGlassDeep = Hex(0x9FD8EE);
constexpr Rgb kTrace = Hex(0x3E9AC0);
constexpr Rgb kHighlight = Hex(0xFFFFFF);
constexpr Rgb kHandle = Hex(0xB8431C);
constexpr Rgb kHandleShade = Hex(0x7E2A0F);

using Inside = std::function<bool(double, double)>;

Inside Rect(double x0, double y0, double x1, double y1) {
  return [=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

Inside RoundRect(double x0, double y0, double x1, double y1, double radius) {
  return [=](double x, double y) {
    if (x < x0 || x >= x1 || y < y0 || y >= y1) return false;
    const double dx = std::max({x0 + radius - x, 0.0, x - (x1 - radius)});
    const double dy = std::max({y0 + radius - y, 0.0, y - (y1 - radius)});
    return dx * dx + dy * dy <= radius * radius;
  };
}

Inside Disc(double cx, double cy, double radius) {
  return [=](double x, double y) {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
  };
}

// A thick line from (ax, ay) to (bx, by) with round ends.
Inside Stroke(double ax, double ay, double bx, double by, double halfWidth) {
  return [=](double x, double y) {
    const double vx = bx - ax, vy = by - ay;
    const double t = std::clamp(((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    const double dx = x - (ax + t * vx), dy = y - (ay + t * vy);
    return dx * dx + dy * dy <= halfWidth * halfWidth;
  };
}

Inside Both(Inside a, Inside b) {
  return [=](double x, double y) { return a(x, y) && b(x, y); };
}

Inside Without(Inside a, Inside b) {
  return [=](double x, double y) { return a(x, y) && !b(x, y); };
}

// A square image with a 1-bit transparency: every pixel not painted stays transparent.
class Canvas {
 public:
  explicit Canvas(int size) : size_(size), colour_(size * size), opaque_(size * size, false) {}

  int size() const { return size_; }
  Rgb colour(int x, int y) const { return colour_[y * size_ + x]; }
  bool opaque(int x, int y) const { return opaque_[y * size_ + x]; }

  // Paints each pixel whose centre lies inside the shape; colourAt gets the pixel centre.
  void Fill(const Inside& inside, const std::function<Rgb(double, double)>& colourAt) {
    for (int y = 0; y < size_; ++y) {
      for (int x = 0; x < size_; ++x) {
        const double cx = x + 0.5, cy = y + 0.5;
        if (!inside(cx, cy)) continue;
        colour_[y * size_ + x] = colourAt(cx, cy);
        opaque_[y * size_ + x] = true;
      }
    }
  }
  void Fill(const Inside& inside, Rgb colour) {
    Fill(inside, [colour](double, double) { return colour; });
  }

 private:
  int size_;
  std::vector<Rgb> colour_;
  std::vector<bool> opaque_;
};

// The layout of one size, in pixels. The chip body is the square [bodyLo, bodyHi) on both axes.
struct Geometry {
  int size;
  double bodyLo, bodyHi, bodyRadius;
  int pins;
  double pinWidth, pinGap, pinLength;
  double lensX, lensY, lensRadius, ringWidth, outline;
  double handleAx, handleAy, handleBx, handleBy, handleHalf;
  bool detailed;  // shading, highlight, orientation mark and traces under the glass
};

constexpr Geometry kGeometries[] = {
    {16, 2, 11, 2, 3, 1, 1, 2, 9.5, 9.5, 4.6, 1.6, 0.0, 12.3, 12.3, 14.8, 14.8, 1.3, false},
    {32, 3, 23, 2, 4, 2, 2, 3, 19.0, 19.0, 9.0, 2.6, 1.0, 25.0, 25.0, 29.6, 29.6, 2.4, true},
    {48, 4, 34, 3, 5, 3, 3, 4, 28.5, 28.5, 13.5, 3.6, 1.2, 37.5, 37.5, 44.6, 44.6, 3.4, true},
};

Canvas Draw(const Geometry& g) {
  Canvas canvas(g.size);
  const double bodySide = g.bodyHi - g.bodyLo;

  // Pins along all four sides, centred on each side of the body.
  const double pinsSpan = g.pins * g.pinWidth + (g.pins - 1) * g.pinGap;
  const double firstPin = g.bodyLo + std::round((bodySide - pinsSpan) / 2);
  // Single-pixel pins need the darker tone to show on a light background.
  const Rgb pin = g.detailed ? kPin : kPinShade;
  for (int i = 0; i < g.pins; ++i) {
    const double a = firstPin + i * (g.pinWidth + g.pinGap), b = a + g.pinWidth;
    const double outLo = g.bodyLo - g.pinLength, outHi = g.bodyHi + g.pinLength;
    canvas.Fill(Rect(a, outLo, b, g.bodyLo), pin);  // top
    canvas.Fill(Rect(a, g.bodyHi, b, outHi), pin);  // bottom
    canvas.Fill(Rect(outLo, a, g.bodyLo, b), pin);  // left
    canvas.Fill(Rect(g.bodyHi, a, outHi, b), pin);  // right
    if (g.detailed) {
      // The lower edge of each side pin and the right edge of each top/bottom pin in shade.
      canvas.Fill(Rect(b - 1, outLo, b, g.bodyLo), kPinShade);
      canvas.Fill(Rect(b - 1, g.bodyHi, b, outHi), kPinShade);
      canvas.Fill(Rect(outLo, b - 1, g.bodyLo, b), kPinShade);
      canvas.Fill(Rect(g.bodyHi, b - 1, outHi, b), kPinShade);
    }
  }

  // The chip body, lit from above, with an orientation mark near its top-left corner.
  const Inside body = RoundRect(g.bodyLo, g.bodyLo, g.bodyHi, g.bodyHi, g.bodyRadius);
  if (g.detailed) {
    canvas.Fill(body, [&](double, double y) {
      return Mix(kBodyTop, kBodyBottom, (y - g.bodyLo) / bodySide);
    });
    const double markAt = g.bodyLo + bodySide * 0.2;
    canvas.Fill(Disc(markAt, markAt, bodySide * 0.07), kBodyMark);
  } else {
    canvas.Fill(body, Mix(kBodyTop, kBodyBottom, 0.4));
  }

  // The handle runs from under the lens to the bottom-right corner.
  const Inside handle = Stroke(g.handleAx, g.handleAy, g.handleBx, g.handleBy, g.handleHalf);
  if (g.outline > 0) {
    canvas.Fill(Stroke(g.handleAx, g.handleAy, g.handleBx, g.handleBy, g.handleHalf + g.outline),
                kOutline);
    // The side of the handle away from the light in shade.
    canvas.Fill(handle, [&](double x, double y) {
      const double across = ((y - g.handleAy) - (x - g.handleAx)) / std::sqrt(2.0);
      return across > g.handleHalf * 0.25 ? kHandleShade : kHandle;
    });
  } else {
    canvas.Fill(handle, kHandle);
  }

  // The lens: dark outline, ring, and the glass with what it magnifies.
  const double glassRadius = g.lensRadius - g.ringWidth;
  if (g.outline > 0) canvas.Fill(Disc(g.lensX, g.lensY, g.lensRadius + g.outline), kOutline);
  if (g.detailed) {
    canvas.Fill(Disc(g.lensX, g.lensY, g.lensRadius), [&](double x, double y) {
      // Shade the lower-right half of the ring.
      return (x - g.lensX) + (y - g.lensY) > g.lensRadius * 0.5 ? kRingShade : kRing;
    });
  } else {
    canvas.Fill(Disc(g.lensX, g.lensY, g.lensRadius), kRing);
  }
  const Inside glass = Disc(g.lensX, g.lensY, glassRadius);
  if (g.detailed) {
    canvas.Fill(glass, [&](double x, double y) {
      const double d = std::hypot(x - g.lensX + glassRadius * 0.3, y - g.lensY + glassRadius * 0.3);
      return Mix(kGlass, kGlassDeep, d / (glassRadius * 1.6));
    });
    // Magnified circuit traces: two lines with a pad at each end.
    const double u = glassRadius / 6;
    const double x0 = g.lensX - 3.2 * u, x1 = g.lensX + 3.0 * u;
    const double yA = g.lensY + 0.4 * u, yB = g.lensY + 2.6 * u;
    const double w = std::max(0.5, u * 0.45);
    canvas.Fill(Both(glass, Stroke(x0, yA, g.lensX + 0.6 * u, yA, w)), kTrace);
    canvas.Fill(Both(glass, Stroke(g.lensX + 0.6 * u, yA, x1, yA - 2.4 * u, w)), kTrace);
    canvas.Fill(Both(glass, Stroke(x0 + u, yB, x1, yB, w)), kTrace);
    canvas.Fill(Both(glass, Disc(x1, yA - 2.4 * u, w * 2)), kTrace);
    canvas.Fill(Both(glass, Disc(x0 + u, yB, w * 2)), kTrace);
    // A crescent of light on the upper left of the glass.
    const double shift = glassRadius * 0.18;
    canvas.Fill(Both(Without(Disc(g.lensX, g.lensY, glassRadius * 0.8),
                             Disc(g.lensX + shift, g.lensY + shift, glassRadius * 0.8)),
                     Rect(0, 0, g.lensX, g.lensY)),
                kHighlight);
  } else {
    // Too small for shading: a deeper glass with a glint and one trace across it.
    canvas.Fill(glass, kGlassDeep);
    const double gx = std::floor(g.lensX), gy = std::floor(g.lensY);
    canvas.Fill(Rect(gx - 2, gy - 1, gx - 1, gy), kHighlight);
    canvas.Fill(Rect(gx - 1, gy - 2, gx, gy - 1), kHighlight);
    canvas.Fill(Rect(gx - 2, gy + 1, gx + 2, gy + 2), kTrace);
  }
  return canvas;
}

int Distance(Rgb a, Rgb b) {
  const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return dr * dr + dg * dg + db * db;
}

// Reduces the colours (with their pixel counts) to at most `limit` by median cut: the box with the
// widest channel range is split at the pixel-weighted median of that channel until there are
// enough boxes; each box becomes the weighted mean of its colours.
std::vector<Rgb> MedianCut(const std::vector<std::pair<Rgb, int>>& colours, std::size_t limit) {
  using Box = std::vector<std::pair<Rgb, int>>;
  auto channel = [](Rgb c, int which) { return which == 0 ? c.r : which == 1 ? c.g : c.b; };
  auto widest = [&](const Box& box, int& which) {
    int best = -1;
    for (int ch = 0; ch < 3; ++ch) {
      int lo = 255, hi = 0;
      for (const auto& [c, n] : box) {
        lo = std::min<int>(lo, channel(c, ch));
        hi = std::max<int>(hi, channel(c, ch));
      }
      if (hi - lo > best) best = hi - lo, which = ch;
    }
    return best;
  };

  std::vector<Box> boxes;
  if (!colours.empty()) boxes.push_back(colours);
  while (boxes.size() < limit) {
    std::size_t pick = boxes.size();
    int pickRange = 0, pickChannel = 0;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      int which = 0;
      const int range = boxes[i].size() > 1 ? widest(boxes[i], which) : 0;
      if (range > pickRange) pick = i, pickRange = range, pickChannel = which;
    }
    if (pick == boxes.size()) break;  // every box holds a single colour
    Box& box = boxes[pick];
    std::sort(box.begin(), box.end(), [&](const auto& a, const auto& b) {
      return channel(a.first, pickChannel) < channel(b.first, pickChannel);
    });
    long total = 0;
    for (const auto& entry : box) total += entry.second;
    long seen = 0;
    std::size_t cut = 1;
    for (; cut < box.size(); ++cut) {
      seen += box[cut - 1].second;
      if (seen * 2 >= total) break;
    }
    cut = std::min(cut, box.size() - 1);
    Box upper(box.begin() + static_cast<long>(cut), box.end());
    box.resize(cut);
    boxes.push_back(std::move(upper));
  }

  std::vector<Rgb> palette;
  for (const Box& box : boxes) {
    double r = 0, g = 0, b = 0, n = 0;
    for (const auto& [c, count] : box)
      r += c.r * count, g += c.g * count, b += c.b * count, n += count;
    palette.push_back({static_cast<std::uint8_t>(std::lround(r / n)),
                       static_cast<std::uint8_t>(std::lround(g / n)),
                       static_cast<std::uint8_t>(std::lround(b / n))});
  }
  return palette;
}

void PutWord(std::vector<std::uint8_t>& out, unsigned value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void PutDword(std::vector<std::uint8_t>& out, std::uint32_t value) {
  PutWord(out, value & 0xFFFF);
  PutWord(out, value >> 16);
}

// The canvas as an icon image: BITMAPINFOHEADER (height doubled), palette, colour rows and mask
// rows, both bottom-up and padded to 4 bytes. Transparent pixels are black in the colour rows, so
// that drawing through the mask leaves the background untouched; palette entry 0 is that black.
std::vector<std::uint8_t> EncodeDib(const Canvas& canvas, int bitsPerPixel) {
  const int size = canvas.size();
  const int colourRow = (size * bitsPerPixel + 31) / 32 * 4;
  const int maskRow = (size + 31) / 32 * 4;

  std::vector<Rgb> palette;
  std::vector<std::vector<int>> index(size, std::vector<int>(size, 0));
  if (bitsPerPixel <= 8) {
    std::vector<std::pair<Rgb, int>> colours;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        if (!canvas.opaque(x, y)) continue;
        const Rgb c = canvas.colour(x, y);
        auto it = std::find_if(colours.begin(), colours.end(),
                               [&](const auto& entry) { return entry.first == c; });
        if (it == colours.end()) {
          colours.push_back({c, 1});
        } else {
          ++it->second;
        }
      }
    }
    palette.push_back(Rgb{});
    for (Rgb c : MedianCut(colours, (std::size_t{1} << bitsPerPixel) - 1)) palette.push_back(c);
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        if (!canvas.opaque(x, y)) continue;
        int best = 1;
        for (int i = 2; i < static_cast<int>(palette.size()); ++i) {
          if (Distance(palette[i], canvas.colour(x, y)) <
              Distance(palette[best], canvas.colour(x, y)))
            best = i;
        }
        index[y][x] = best;
      }
    }
    palette.resize(std::size_t{1} << bitsPerPixel);
  }

  std::vector<std::uint8_t> out;
  PutDword(out, 40);
  PutDword(out, static_cast<std::uint32_t>(size));
  PutDword(out, static_cast<std::uint32_t>(size * 2));
  PutWord(out, 1);
  PutWord(out, static_cast<unsigned>(bitsPerPixel));
  PutDword(out, 0);  // no compression
  PutDword(out, static_cast<std::uint32_t>((colourRow + maskRow) * size));
  PutDword(out, 0);
  PutDword(out, 0);
  PutDword(out, 0);  // colours used: the whole palette
  PutDword(out, 0);
  for (Rgb c : palette) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  for (int y = size - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(colourRow, 0);
    for (int x = 0; x < size; ++x) {
      const Rgb c = canvas.opaque(x, y) ? canvas.colour(x, y) : Rgb{};
      switch (bitsPerPixel) {
        case 4:
          row[x / 2] |= static_cast<std::uint8_t>(index[y][x] << (x % 2 == 0 ? 4 : 0));
          break;
        case 8:
          row[x] = static_cast<std::uint8_t>(index[y][x]);
          break;
        default:
          row[x * 3] = c.b;
          row[x * 3 + 1] = c.g;
          row[x * 3 + 2] = c.r;
          break;
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = size - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(maskRow, 0);
    for (int x = 0; x < size; ++x) {
      if (!canvas.opaque(x, y)) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// A byte array as a C++ definition laid out the way clang-format lays it out (16 to a line).
std::string ByteArray(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  std::ostringstream text;
  text << "constexpr BYTE " << name << "[" << bytes.size() << "] = {\n";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02x,", bytes[i]);
    text << (i % 16 == 0 ? "    " : " ") << hex;
    if (i % 16 == 15 || i + 1 == bytes.size()) text << "\n";
  }
  text << "};\n";
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "res/icon_images.cpp";
  constexpr int kDepths[] = {4, 8, 24};

  std::ostringstream arrays, table;
  for (const Geometry& geometry : kGeometries) {
    const Canvas canvas = Draw(geometry);
    for (int bits : kDepths) {
      const std::string name =
          "kIcon" + std::to_string(geometry.size) + "Bpp" + std::to_string(bits);
      arrays << ByteArray(name, EncodeDib(canvas, bits)) << "\n";
      table << "    {" << geometry.size << ", " << bits << ", " << name << "},\n";
    }
  }

  std::ofstream file(path, std::ios::binary);
  file << "// Generated by tools/draw_icon.cpp; do not edit. Regenerate from the repository root "
          "with\n"
          "//   g++ -std=c++20 -O2 tools/draw_icon.cpp -o /tmp/draw_icon && /tmp/draw_icon\n"
          "#include \"res/resources.h\"\n\n"
          "namespace {\n\n"
       << arrays.str()
       << "}  // namespace\n\n"
          "constinit const std::array<IconImage, 9> kMainframeIconImages = {{\n"
       << table.str() << "}};\n";
  file.close();
  if (!file) {
    std::cerr << "draw_icon: cannot write " << path << "\n";
    return 1;
  }
  std::cout << "wrote " << path << "\n";
  return 0;
}
