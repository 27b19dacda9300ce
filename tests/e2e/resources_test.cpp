// What the resource compiler and the image generator actually put into
// SETUP.EXE, read back from the executable and compared with the tables the
// program was designed to: every template's style, caption, size and font, and
// every control's id, class, style, place and text; the picture formats.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kFrame = 0x90C800C0;  // popup, visible, caption, system menu, modal frame, set font
constexpr DWORD kDefaultButton = 0x50010001;
constexpr DWORD kPushButton = 0x50010000;
constexpr DWORD kText = 0x50020000;
constexpr DWORD kHiddenText = 0x40020000;
constexpr DWORD kFaceButton = 0x5001000B;  // owner-drawn, tab stop
constexpr DWORD kPathEdit = 0x40810080;    // border, auto h-scroll, tab stop, hidden
constexpr DWORD kDriveList = 0x40A10103;   // sorted, notify, v-scroll, border, no integral height, tab stop, hidden
constexpr WORD kNone = 0xFFFF;

struct Control {
  WORD id;
  const char* className;
  DWORD style;
  short x, y, cx, cy;
  const char* text;
};

struct Dialog {
  const char* name;
  const char* caption;
  short cx, cy;
  std::vector<Control> controls;
};

const std::vector<Dialog>& ExpectedDialogs() {
  // clang-format off
  static const std::vector<Dialog> dialogs = {
      {"WELCOMEDLG", "Welcome", 186, 90, {
          {1001,  "Button", kDefaultButton, 28, 65, 50, 14, "&Continue"},
          {1000,  "Button", kPushButton,    98, 65, 50, 14, "&Exit"},
          {kNone, "Static", kText,          23, 24, 138, 27,
           "Welcome to Ulvane Systems Vantrix Setup.  This setup will install Vantrix Software for you."},
      }},
      {"INSTOPTION", "Setup", 182, 124, {
          {1006,  "Button",  kDefaultButton, 34, 107, 50, 14, "&Continue"},
          {1007,  "Button",  kPushButton,    95, 107, 50, 14, "&Exit"},
          {1002,  "Button",  kFaceButton,    14, 24, 21, 20, ""},
          {1003,  "Button",  kFaceButton,    14, 47, 21, 20, ""},
          {kNone, "Static",  kText,          55, 25, 108, 19, "Express Setup: Setup will install Vantrix to C:\\VX95"},
          {kNone, "Static",  kText,          55, 50, 108, 19, "Custom Setup: Install files to other directory."},
          {1004,  "Edit",    kPathEdit,      86, 70, 65, 12, ""},
          {1005,  "Static",  kHiddenText,    13, 69, 40, 10, "Install file to:"},
          {1015,  "ListBox", kDriveList,     54, 70, 29, 22, ""},
          {1020,  "Static",  kHiddenText,    13, 95, 118, 8, "Example:       [-c-]          VX95"},
          {kNone, "Static",  kText,          17, 5, 144, 15,
           "Please choose one of the following and click \"Continue\" button or hit \"Enter\"."},
      }},
      {"COPYDIALOG", "Setup", 186, 95, {
          {1011,  "Button", kDefaultButton, 67, 71, 50, 14, "&Cancel"},
          {1024,  "Static", kText,          38, 16, 138, 9, ""},
          {1025,  "Static", kText,          38, 32, 138, 9, ""},
          {kNone, "Static", kText,          8, 3, 123, 8, "Please wait while copying files..."},
          {kNone, "Static", kText,          8, 16, 20, 9, "From:"},
          {kNone, "Static", kText,          8, 32, 22, 9, "To:"},
      }},
      {"UPDATEENVDLG", "Updating....", 186, 76, {
          {kNone, "Static", kText, 29, 23, 127, 30,
           "Wait...\r\tSetup is now updating system                 database..."},
      }},
      {"SUCCESSDLG", "Setup Complete!", 186, 95, {
          {1012,  "Button", kDefaultButton, 34, 73, 50, 14, "&Restart Now"},
          {1013,  "Button", kPushButton,    101, 73, 50, 14, "&Continue"},
          {kNone, "Static", kText,          19, 14, 153, 49,
           "To finish this setup, please click \"Restart Now\" button or hit \"Enter\" to reboot your computer. "
           "\n\nOr click \"Continue\" to return to windows and reboot your computer later."},
      }},
      {"RESTARTCOM", "Setup", 179, 74, {
          {IDOK,  "Button", kDefaultButton, 62, 52, 50, 14, "OK"},
          {kNone, "Static", kText,          13, 10, 152, 35,
           "Remember to restart computer later to complete this setup.\n\nThanks for choosing Ulvane Systems."},
      }},
      {"FOUNDWINDOW", "Vantrix found", 186, 95, {
          {1027,  "Button", kDefaultButton, 67, 70, 50, 14, "OK"},
          {kNone, "Static", kText,          23, 26, 141, 27,
           "Vantrix is currently running on your computer, please quit this application then restart setup again."},
      }},
  };
  // clang-format on
  return dialogs;
}

// A reader over a resource's bytes.
class Reader {
 public:
  Reader(const BYTE* data, size_t size) : data_(data), size_(size) {}
  WORD Word() { return Take<WORD>(); }
  DWORD Dword() { return Take<DWORD>(); }
  short Short() { return static_cast<short>(Take<WORD>()); }
  void AlignDword() { offset_ = (offset_ + 3) & ~size_t{3}; }
  bool ok() const { return offset_ <= size_; }
  // A text, or an ordinal (0xFFFF followed by a number) written as "#number".
  std::string SzOrOrdinal() {
    if (offset_ + 2 <= size_ && data_[offset_] == 0xFF && data_[offset_ + 1] == 0xFF) {
      offset_ += 2;
      return "#" + std::to_string(Word());
    }
    std::string text;
    for (WORD c = 0; (c = Word()) != 0 && ok();) text += c < 0x100 ? static_cast<char>(c) : '?';
    return text;
  }

 private:
  template <typename T>
  T Take() {
    T value{};
    if (offset_ + sizeof value <= size_) std::memcpy(&value, data_ + offset_, sizeof value);
    offset_ += sizeof value;
    return value;
  }
  const BYTE* data_;
  size_t size_;
  size_t offset_ = 0;
};

// The predefined control classes that a template may name by atom.
std::string ControlClass(const std::string& name) {
  if (name == "#128") return "Button";
  if (name == "#129") return "Edit";
  if (name == "#130") return "Static";
  if (name == "#131") return "ListBox";
  return name;
}

class SetupResources : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExA("B:\\SETUP.EXE", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  // The bytes of a resource in US English, the templates' language.
  std::string Bytes(LPCSTR type, LPCSTR name) {
    HRSRC found = FindResourceExA(module_, type, name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (found == nullptr) return {};
    const void* data = LockResource(LoadResource(module_, found));
    return std::string(static_cast<const char*>(data), SizeofResource(module_, found));
  }
  HMODULE module_ = nullptr;
};

TEST_F(SetupResources, EveryTemplateMatchesItsTable) {
  for (const Dialog& expected : ExpectedDialogs()) {
    SCOPED_TRACE(expected.name);
    const std::string bytes = Bytes(RT_DIALOG, expected.name);
    ASSERT_FALSE(bytes.empty()) << "no template in US English";
    Reader in(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
    const DWORD style = in.Dword();
    ASSERT_NE(style >> 16, 0xFFFF0000u >> 16) << "an extended template";
    EXPECT_EQ(style, kFrame);
    EXPECT_EQ(in.Dword(), 0u) << "extended style";
    const WORD count = in.Word();
    EXPECT_EQ(in.Short(), 0);
    EXPECT_EQ(in.Short(), 0);
    EXPECT_EQ(in.Short(), expected.cx);
    EXPECT_EQ(in.Short(), expected.cy);
    EXPECT_EQ(in.SzOrOrdinal(), "") << "menu";
    EXPECT_EQ(in.SzOrOrdinal(), "") << "window class";
    EXPECT_EQ(in.SzOrOrdinal(), expected.caption);
    EXPECT_EQ(in.Word(), 8) << "font size";
    EXPECT_EQ(in.SzOrOrdinal(), "MS Sans Serif");
    ASSERT_EQ(count, expected.controls.size());
    for (const Control& control : expected.controls) {
      SCOPED_TRACE(control.text);
      SCOPED_TRACE(control.id);
      in.AlignDword();
      EXPECT_EQ(in.Dword(), control.style) << std::hex << "style";
      EXPECT_EQ(in.Dword(), 0u) << "extended style";
      EXPECT_EQ(in.Short(), control.x);
      EXPECT_EQ(in.Short(), control.y);
      EXPECT_EQ(in.Short(), control.cx);
      EXPECT_EQ(in.Short(), control.cy);
      EXPECT_EQ(in.Word(), control.id);
      EXPECT_EQ(ControlClass(in.SzOrOrdinal()), control.className);
      EXPECT_EQ(in.SzOrOrdinal(), control.text);
      EXPECT_EQ(in.Word(), 0) << "creation data";
    }
    EXPECT_TRUE(in.ok()) << "template shorter than its controls";
  }
}

// The standard 16-colour palette in its usual order.
// clang-format off
const RGBQUAD kStandardPalette[16] = {
    {0, 0, 0, 0},     {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0},
    {128, 0, 0, 0},   {128, 0, 128, 0}, {128, 128, 0, 0}, {192, 192, 192, 0},
    {128, 128, 128, 0}, {0, 0, 255, 0}, {0, 255, 0, 0},   {0, 255, 255, 0},
    {255, 0, 0, 0},   {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0},
};
// clang-format on

TEST_F(SetupResources, SplashIs426By253In16ColoursUncompressed) {
  const std::string bytes = Bytes(RT_BITMAP, MAKEINTRESOURCEA(123));
  ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER) + sizeof kStandardPalette);
  BITMAPINFOHEADER header;
  std::memcpy(&header, bytes.data(), sizeof header);
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, 426);
  EXPECT_EQ(header.biHeight, 253);
  EXPECT_EQ(header.biPlanes, 1);
  EXPECT_EQ(header.biBitCount, 4);
  EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  const size_t rowBytes = size_t{(426 * 4 + 31) / 32} * 4;
  EXPECT_EQ(bytes.size(), sizeof header + sizeof kStandardPalette + rowBytes * 253);
  EXPECT_EQ(std::memcmp(bytes.data() + sizeof header, kStandardPalette, sizeof kStandardPalette), 0);
}

#pragma pack(push, 2)
struct GroupEntry {
  BYTE width, height, colorCount, reserved;
  WORD planes, bitCount;  // for a cursor: the hot spot is in the image, not here
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

TEST_F(SetupResources, ButtonFacesAre32By32In16Colours) {
  for (int id : {106, 107, 108, 109, 120, 121}) {
    SCOPED_TRACE(id);
    const std::string group = Bytes(RT_GROUP_ICON, MAKEINTRESOURCEA(id));
    ASSERT_EQ(group.size(), 6 + sizeof(GroupEntry));
    EXPECT_EQ(group.substr(0, 6), std::string("\0\0\1\0\1\0", 6)) << "one icon image";
    GroupEntry entry{};
    std::memcpy(&entry, group.data() + 6, sizeof entry);
    EXPECT_EQ(entry.width, 32);
    EXPECT_EQ(entry.height, 32);
    EXPECT_EQ(entry.colorCount, 16);
    EXPECT_EQ(entry.bitCount, 4);
    const std::string image = Bytes(RT_ICON, MAKEINTRESOURCEA(entry.id));
    ASSERT_EQ(image.size(), entry.bytes);
    BITMAPINFOHEADER header;
    std::memcpy(&header, image.data(), sizeof header);
    EXPECT_EQ(header.biWidth, 32);
    EXPECT_EQ(header.biHeight, 64) << "colour image and mask";
    EXPECT_EQ(header.biBitCount, 4);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  }
}

TEST_F(SetupResources, CursorIsA32By32MonochromeHourglassWithHotSpot10x15) {
  const std::string group = Bytes(RT_GROUP_CURSOR, MAKEINTRESOURCEA(125));
  ASSERT_EQ(group.size(), 6 + 14u);
  EXPECT_EQ(group.substr(0, 6), std::string("\0\0\2\0\1\0", 6)) << "one cursor image";
  WORD imageId = 0;
  std::memcpy(&imageId, group.data() + 6 + 12, sizeof imageId);
  const std::string image = Bytes(RT_CURSOR, MAKEINTRESOURCEA(imageId));
  ASSERT_GE(image.size(), 4 + sizeof(BITMAPINFOHEADER));
  WORD hotSpot[2];
  std::memcpy(hotSpot, image.data(), sizeof hotSpot);
  EXPECT_EQ(hotSpot[0], 10);
  EXPECT_EQ(hotSpot[1], 15);
  BITMAPINFOHEADER header;
  std::memcpy(&header, image.data() + 4, sizeof header);
  EXPECT_EQ(header.biWidth, 32);
  EXPECT_EQ(header.biHeight, 64);
  EXPECT_EQ(header.biBitCount, 1);
}

}  // namespace
