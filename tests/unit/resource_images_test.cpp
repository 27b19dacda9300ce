// The pictures that setup.rc links into SETUP.EXE: the backdrop bitmap, the six
// faces of the two owner-drawn choice buttons and the copy cursor. windres copies
// these files into the resources unchecked, and LoadBitmapA, LoadIconA and
// LoadCursorA reject (or silently mangle) a header they do not expect, so the
// formats are checked here field by field.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "resources/resource_ids.h"

namespace {

// The repository root, resolved by name: the test data folder need not exist.
const std::filesystem::path kRepo = (std::filesystem::path(VX_TEST_DATA_DIR) / ".." / "..").lexically_normal();
const std::string kImagesDir = (kRepo / "src/resources/images/").string();
const std::string kGenerator = (kRepo / "tools/make_images.py").string();

using Bytes = std::vector<uint8_t>;
using Rgb = std::array<uint8_t, 3>;

// The standard 16-colour palette of Windows in VGA order: a 16-colour display
// shows exactly these, so a picture in them is never dithered by the driver.
const Rgb kStandardPalette[16] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};
constexpr uint8_t kBlack = 0, kDarkGrey = 8, kWhite = 15;

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t U16(const Bytes& b, size_t at) {
  return at + 2 <= b.size() ? static_cast<uint32_t>(b[at] | b[at + 1] << 8) : 0xFFFFFFFFu;
}

uint32_t U32(const Bytes& b, size_t at) {
  return at + 4 <= b.size() ? static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
                                  static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24
                            : 0xFFFFFFFFu;
}

// A device-independent bitmap as the three formats embed it: BITMAPINFOHEADER,
// colour table, colour rows bottom-up and, in icons and cursors, the AND mask.
struct Dib {
  bool complete = false;
  uint32_t headerSize = 0, width = 0, height = 0, planes = 0, bitCount = 0;
  uint32_t compression = 0, sizeImage = 0, colorsUsed = 0;
  std::vector<Rgb> palette;
  uint32_t rows = 0;           // rows of the colour image
  std::vector<uint8_t> index;  // palette index per pixel, top row first
  std::vector<uint8_t> clear;  // AND-mask bit per pixel (1 = see-through)

  uint8_t At(uint32_t x, uint32_t y) const { return index[y * width + x]; }
  bool Clear(uint32_t x, uint32_t y) const { return clear[y * width + x] != 0; }
};

uint32_t Stride(uint32_t width, uint32_t bits) { return (width * bits + 31) / 32 * 4; }

// rows: the colour image's height; withMask: an AND mask follows the colour rows.
Dib ParseDib(const Bytes& b, size_t at, uint32_t rows, bool withMask) {
  Dib d;
  d.headerSize = U32(b, at);
  d.width = U32(b, at + 4);
  d.height = U32(b, at + 8);
  d.planes = U16(b, at + 12);
  d.bitCount = U16(b, at + 14);
  d.compression = U32(b, at + 16);
  d.sizeImage = U32(b, at + 20);
  d.colorsUsed = U32(b, at + 32);
  d.rows = rows;
  if (d.bitCount != 1 && d.bitCount != 4) return d;
  if (d.width > 4096 || rows > 4096) return d;
  const uint32_t colours = d.colorsUsed != 0 ? d.colorsUsed : 1u << d.bitCount;
  if (colours > 256) return d;
  size_t p = at + d.headerSize;
  for (uint32_t i = 0; i < colours; ++i, p += 4) {
    if (p + 4 > b.size()) return d;
    d.palette.push_back({b[p + 2], b[p + 1], b[p]});  // stored blue, green, red
  }
  const uint32_t stride = Stride(d.width, d.bitCount);
  const uint32_t maskStride = Stride(d.width, 1);
  if (p + static_cast<size_t>(stride) * rows + (withMask ? static_cast<size_t>(maskStride) * rows : 0) > b.size()) {
    return d;
  }
  d.index.resize(static_cast<size_t>(d.width) * rows);
  d.clear.assign(static_cast<size_t>(d.width) * rows, 0);
  for (uint32_t y = 0; y < rows; ++y) {
    const size_t row = p + static_cast<size_t>(rows - 1 - y) * stride;
    for (uint32_t x = 0; x < d.width; ++x) {
      d.index[y * d.width + x] = d.bitCount == 4
                                     ? static_cast<uint8_t>(x % 2 == 0 ? b[row + x / 2] >> 4 : b[row + x / 2] & 0x0F)
                                     : static_cast<uint8_t>(b[row + x / 8] >> (7 - x % 8) & 1);
    }
  }
  if (withMask) {
    const size_t mask = p + static_cast<size_t>(stride) * rows;
    for (uint32_t y = 0; y < rows; ++y) {
      const size_t row = mask + static_cast<size_t>(rows - 1 - y) * maskStride;
      for (uint32_t x = 0; x < d.width; ++x) d.clear[y * d.width + x] = b[row + x / 8] >> (7 - x % 8) & 1;
    }
  }
  d.complete = true;
  return d;
}

size_t DistinctColours(const Dib& d) { return std::set<uint8_t>(d.index.begin(), d.index.end()).size(); }

void ExpectStandardPalette(const Dib& d) {
  ASSERT_EQ(d.palette.size(), 16u);
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE("colour " + std::to_string(i));
    EXPECT_EQ(d.palette[i], kStandardPalette[i]);
  }
}

struct Field {
  const char* name;
  uint32_t actual;
  uint32_t expected;
};

void ExpectFields(const std::vector<Field>& fields) {
  for (const Field& f : fields) {
    SCOPED_TRACE(f.name);
    EXPECT_EQ(f.actual, f.expected);
  }
}

// ---------------------------------------------------------------- bitmap 123

constexpr uint32_t kSplashWidth = 426, kSplashHeight = 253;

TEST(SplashBitmap, HeadersDescribeUncompressedSixteenColourPicture) {
  const Bytes b = ReadBytes(kImagesDir + "splash.bmp");
  ASSERT_GT(b.size(), 54u) << "splash.bmp missing or truncated";
  const Dib d = ParseDib(b, 14, kSplashHeight, false);
  ASSERT_TRUE(d.complete);
  const uint32_t stride = Stride(kSplashWidth, 4);
  EXPECT_EQ(stride, 216u) << "213 bytes of pixels a row, padded to a multiple of 4";
  const uint32_t pixelsOffset = 14 + 40 + 16 * 4;
  ExpectFields({
      {"signature", U16(b, 0), 'B' | 'M' << 8},
      {"bfSize is the file size", U32(b, 2), static_cast<uint32_t>(b.size())},
      {"bfReserved1", U16(b, 6), 0},
      {"bfReserved2", U16(b, 8), 0},
      {"bfOffBits follows the colour table", U32(b, 10), pixelsOffset},
      {"biSize", d.headerSize, 40},
      {"biWidth", d.width, kSplashWidth},
      {"biHeight (positive: bottom-up rows)", d.height, kSplashHeight},
      {"biPlanes", d.planes, 1},
      {"biBitCount", d.bitCount, 4},
      {"biCompression BI_RGB", d.compression, 0},
      {"biSizeImage", d.sizeImage, stride * kSplashHeight},
      {"file ends with the last row", static_cast<uint32_t>(b.size()), pixelsOffset + stride * kSplashHeight},
  });
  EXPECT_TRUE(d.colorsUsed == 0 || d.colorsUsed == 16) << d.colorsUsed;
  ExpectStandardPalette(d);
}

TEST(SplashBitmap, ShowsAPictureInTheAreaTheBackdropPaints) {
  const Dib d = ParseDib(ReadBytes(kImagesDir + "splash.bmp"), 14, kSplashHeight, false);
  ASSERT_TRUE(d.complete);
  // The backdrop stretches only the top-left 425 x 252: the scene, the logo at
  // the upper left and the white caption at the lower right must all lie inside it.
  struct Region {
    const char* name;
    uint32_t x0, y0, x1, y1;
    size_t minColours;
    size_t minWhite;
  } const regions[] = {
      {"whole visible picture", 0, 0, 425, 252, 10, 0},
      {"logo, upper left", 0, 0, 140, 80, 4, 500},
      {"caption, lower right", 285, 200, 425, 252, 3, 300},
  };
  for (const Region& r : regions) {
    SCOPED_TRACE(r.name);
    std::set<uint8_t> used;
    size_t white = 0;
    for (uint32_t y = r.y0; y < r.y1; ++y) {
      for (uint32_t x = r.x0; x < r.x1; ++x) {
        used.insert(d.At(x, y));
        white += d.At(x, y) == kWhite;
      }
    }
    EXPECT_GE(used.size(), r.minColours);
    EXPECT_GE(white, r.minWhite);
  }
}

// -------------------------------------------------------------- button faces

constexpr uint32_t kIconSize = 32;

struct FaceFile {
  int resourceId;
  const char* file;
};
// clang-format off
const FaceFile kFaces[] = {
    {IDI_EXPRESS_RAISED, "express_raised.ico"},   {IDI_EXPRESS_PRESSED, "express_pressed.ico"},
    {IDI_CUSTOM_PRESSED, "custom_pressed.ico"},   {IDI_CUSTOM_RAISED, "custom_raised.ico"},
    {IDI_CUSTOM_FOCUS, "custom_focus.ico"},       {IDI_EXPRESS_FOCUS, "express_focus.ico"},
};
// clang-format on

// ICONDIR + one ICONDIRENTRY, then the image at the entry's offset.
constexpr size_t kDirectorySize = 6 + 16;

Dib LoadFace(const char* file) {
  const Bytes b = ReadBytes(kImagesDir + file);
  return ParseDib(b, U32(b, 18), kIconSize, true);
}

TEST(ButtonFaceIcons, EachFileHoldsOneSixteenColourImageOf32By32) {
  for (const FaceFile& face : kFaces) {
    SCOPED_TRACE(std::string(face.file) + " (icon " + std::to_string(face.resourceId) + ")");
    const Bytes b = ReadBytes(kImagesDir + face.file);
    ASSERT_GT(b.size(), kDirectorySize + 40) << "missing or truncated";
    const uint32_t offset = U32(b, 18);
    const Dib d = ParseDib(b, offset, kIconSize, true);
    ASSERT_TRUE(d.complete);
    const uint32_t colourBytes = Stride(kIconSize, 4) * kIconSize;
    const uint32_t maskBytes = Stride(kIconSize, 1) * kIconSize;
    ExpectFields({
        {"idReserved", U16(b, 0), 0},
        {"idType (icon)", U16(b, 2), 1},
        {"idCount", U16(b, 4), 1},
        {"bWidth", b[6], kIconSize},
        {"bHeight", b[7], kIconSize},
        {"bColorCount", b[8], 16},
        {"bReserved", b[9], 0},
        {"wPlanes", U16(b, 10), 1},
        {"wBitCount", U16(b, 12), 4},
        {"dwBytesInRes", U32(b, 14), 40 + 16 * 4 + colourBytes + maskBytes},
        {"dwImageOffset", offset, kDirectorySize},
        {"file ends with the image", static_cast<uint32_t>(b.size()), offset + U32(b, 14)},
        {"biSize", d.headerSize, 40},
        {"biWidth", d.width, kIconSize},
        {"biHeight counts colour image and AND mask", d.height, 2 * kIconSize},
        {"biPlanes", d.planes, 1},
        {"biBitCount", d.bitCount, 4},
        {"biCompression BI_RGB", d.compression, 0},
    });
    EXPECT_TRUE(d.sizeImage == 0 || d.sizeImage == colourBytes + maskBytes) << d.sizeImage;
    ExpectStandardPalette(d);
  }
}

TEST(ButtonFaceIcons, FacesAreOpaqueAndDrawn) {
  for (const FaceFile& face : kFaces) {
    SCOPED_TRACE(face.file);
    const Dib d = LoadFace(face.file);
    ASSERT_TRUE(d.complete);
    // DrawIcon paints the face over the button: a see-through pixel would let
    // the button's own background show inside the 3-D frame.
    size_t clear = 0;
    for (uint8_t bit : d.clear) clear += bit;
    EXPECT_EQ(clear, 0u);
    EXPECT_GE(DistinctColours(d), 6u) << "grey frame plus a coloured motif";
  }
}

struct Button {
  const char* name;
  const char* raised;
  const char* pressed;
  const char* focus;
};
const Button kButtons[] = {
    {"express", "express_raised.ico", "express_pressed.ico", "express_focus.ico"},
    {"custom", "custom_raised.ico", "custom_pressed.ico", "custom_focus.ico"},
};

// True when (x, y) lies on the frame's outer pixel ring on the given sides.
bool OnTopLeftEdge(uint32_t x, uint32_t y) { return (x == 0 || y == 0) && x < 31 && y < 31; }
bool OnBottomRightEdge(uint32_t x, uint32_t y) { return (x == 31 || y == 31) && x > 0 && y > 0; }

TEST(ButtonFaceIcons, RaisedPressedAndFocusFacesShowTheirState) {
  for (const Button& button : kButtons) {
    SCOPED_TRACE(button.name);
    const Dib raised = LoadFace(button.raised);
    const Dib pressed = LoadFace(button.pressed);
    const Dib focus = LoadFace(button.focus);
    ASSERT_TRUE(raised.complete && pressed.complete && focus.complete);
    EXPECT_NE(raised.index, pressed.index);
    EXPECT_NE(raised.index, focus.index);
    EXPECT_NE(pressed.index, focus.index);

    for (uint32_t y = 0; y < kIconSize; ++y) {
      for (uint32_t x = 0; x < kIconSize; ++x) {
        SCOPED_TRACE("pixel " + std::to_string(x) + "," + std::to_string(y));
        if (OnTopLeftEdge(x, y)) {
          EXPECT_EQ(raised.At(x, y), kWhite) << "raised: lit from the top left";
          EXPECT_EQ(pressed.At(x, y), kBlack) << "pressed: shadow at the top left";
        }
        if (OnBottomRightEdge(x, y)) {
          EXPECT_EQ(raised.At(x, y), kBlack) << "raised: shadow at the bottom right";
          EXPECT_EQ(pressed.At(x, y), kWhite) << "pressed: lit at the bottom right";
        }
        if ((x == 30 || y == 30) && x > 1 && y > 1 && x < 31 && y < 31) {
          EXPECT_EQ(raised.At(x, y), kDarkGrey) << "raised: inner shadow";
        }
        // Sunken: the motif moves one pixel right and down.
        if (x >= 2 && y >= 2 && x <= 28 && y <= 28) {
          EXPECT_EQ(pressed.At(x + 1, y + 1), raised.At(x, y));
        }
      }
    }

    // The focus face is the raised face plus a dotted black rectangle inside
    // the frame, and nothing else.
    size_t dots = 0;
    for (uint32_t y = 0; y < kIconSize; ++y) {
      for (uint32_t x = 0; x < kIconSize; ++x) {
        if (focus.At(x, y) == raised.At(x, y)) continue;
        SCOPED_TRACE("pixel " + std::to_string(x) + "," + std::to_string(y));
        const bool onRing = (x == 3 || y == 3 || x == 28 || y == 28) && x >= 3 && y >= 3 && x <= 28 && y <= 28;
        EXPECT_TRUE(onRing);
        EXPECT_EQ(focus.At(x, y), kBlack);
        ++dots;
      }
    }
    EXPECT_GE(dots, 30u) << "the focus rectangle is visible";
    for (uint32_t i = 3; i < 28; ++i) {
      EXPECT_FALSE(focus.At(i, 3) == kBlack && focus.At(i + 1, 3) == kBlack)
          << "top edge of the focus rectangle is dotted at " << i;
    }
  }
}

// ---------------------------------------------------------------- cursor 125

TEST(HourglassCursor, OneMonochromeImageWithItsHotSpot) {
  const Bytes b = ReadBytes(kImagesDir + "hourglass.cur");
  ASSERT_GT(b.size(), kDirectorySize + 40) << "hourglass.cur missing or truncated";
  const uint32_t offset = U32(b, 18);
  const Dib d = ParseDib(b, offset, kIconSize, true);
  ASSERT_TRUE(d.complete);
  const uint32_t planeBytes = Stride(kIconSize, 1) * kIconSize;
  ExpectFields({
      {"idReserved", U16(b, 0), 0},
      {"idType (cursor)", U16(b, 2), 2},
      {"idCount", U16(b, 4), 1},
      {"bWidth", b[6], kIconSize},
      {"bHeight", b[7], kIconSize},
      {"hot spot x (wPlanes field)", U16(b, 10), 10},
      {"hot spot y (wBitCount field)", U16(b, 12), 15},
      {"dwBytesInRes", U32(b, 14), 40 + 2 * 4 + 2 * planeBytes},
      {"dwImageOffset", offset, kDirectorySize},
      {"file ends with the image", static_cast<uint32_t>(b.size()), offset + U32(b, 14)},
      {"biSize", d.headerSize, 40},
      {"biWidth", d.width, kIconSize},
      {"biHeight counts XOR and AND planes", d.height, 2 * kIconSize},
      {"biPlanes", d.planes, 1},
      {"biBitCount (monochrome)", d.bitCount, 1},
      {"biCompression BI_RGB", d.compression, 0},
  });
  ASSERT_EQ(d.palette.size(), 2u);
  EXPECT_EQ(d.palette[0], (Rgb{0, 0, 0}));
  EXPECT_EQ(d.palette[1], (Rgb{0xFF, 0xFF, 0xFF}));
}

TEST(HourglassCursor, HourglassStandsOnTheHotSpotWithASeeThroughSurround) {
  const Bytes b = ReadBytes(kImagesDir + "hourglass.cur");
  const Dib d = ParseDib(b, U32(b, 18), kIconSize, true);
  ASSERT_TRUE(d.complete);
  size_t black = 0;
  size_t white = 0;
  size_t clear = 0;
  for (uint32_t y = 0; y < kIconSize; ++y) {
    for (uint32_t x = 0; x < kIconSize; ++x) {
      if (d.Clear(x, y)) {
        ++clear;
        // A see-through pixel must leave the screen unchanged: AND 1 with XOR 0.
        EXPECT_EQ(d.At(x, y), 0) << "inverting pixel at " << x << "," << y;
      } else {
        ++(d.At(x, y) == 0 ? black : white);
      }
    }
  }
  EXPECT_FALSE(d.Clear(10, 15)) << "the hot spot lies on the hourglass";
  for (auto corner : {std::array<uint32_t, 2>{31, 0}, {31, 31}}) {
    EXPECT_TRUE(d.Clear(corner[0], corner[1])) << corner[0] << "," << corner[1];
  }
  EXPECT_GE(black, 60u);
  EXPECT_GE(white, 60u);
  EXPECT_GE(clear, 300u);
}

// ------------------------------------------------------------ the generator

// The script needs Debian's python3-pil; an interpreter earlier on PATH (a
// version manager's, say) may lack it, so the system one is tried first.
std::string FindPythonWithPil() {
  for (const char* python : {"/usr/bin/python3", "python3"}) {
    const std::string probe = std::string(python) + " -c 'import PIL' >/dev/null 2>&1";
    // The test runs the project's own generator through the shell, on purpose.
    if (std::system(probe.c_str()) == 0) return python;  // NOLINT(cert-env33-c)
  }
  return "";
}

TEST(ImageGenerator, RegeneratesTheCheckedInFilesByteForByte) {
  const std::string python = FindPythonWithPil();
  if (python.empty()) GTEST_SKIP() << "no python3 with PIL (Debian package python3-pil)";
  std::string pattern = (std::filesystem::temp_directory_path() / "vx_images_XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::string out = pattern;
  const std::string command = python + " '" + kGenerator + "' --out '" + out + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;  // NOLINT(cert-env33-c)
  const char* const files[] = {"splash.bmp",        "express_raised.ico", "express_pressed.ico", "custom_pressed.ico",
                               "custom_raised.ico", "custom_focus.ico",   "express_focus.ico",   "hourglass.cur"};
  for (const char* file : files) {
    SCOPED_TRACE(file);
    const Bytes made = ReadBytes(out + "/" + file);
    EXPECT_FALSE(made.empty());
    EXPECT_TRUE(made == ReadBytes(kImagesDir + file)) << "run tools/make_images.py and check in";
  }
  std::filesystem::remove_all(out);
}

}  // namespace
