// The bounded text helpers every subsystem builds its paths with: a text that
// does not fit is refused whole, never cut, and nothing is written past the
// capacity.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/bounded_text.h"

namespace {

// A buffer with guard bytes on both sides, to see any write past the capacity.
struct Guarded {
  char bytes[8 + 16 + 8]{};
  Guarded() { std::memset(bytes, '#', sizeof bytes); }
  char* text() { return bytes + 8; }
  bool guardsIntact(size_t capacity) const {
    for (size_t i = 0; i < 8; ++i) {
      if (bytes[i] != '#' || bytes[8 + capacity + i] != '#') return false;
    }
    return true;
  }
};

TEST(BoundedText, CopyFitsExactlyOrIsRefusedWhole) {
  struct Case {
    const char* source;
    size_t capacity;
    bool fits;
  };
  // clang-format off
  const Case cases[] = {
      {"",          1, true},
      {"a",         1, false},  // no room for the terminator
      {"abc",       4, true},
      {"abcd",      4, false},
      {"c:\\vx95\\", 16, true},
      {"0123456789abcdef", 16, false},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    SCOPED_TRACE(c.capacity);
    Guarded buffer;
    EXPECT_EQ(vx::CopyText(buffer.text(), c.capacity, c.source), c.fits);
    EXPECT_EQ(std::string(buffer.text()), c.fits ? std::string(c.source) : std::string());
    EXPECT_TRUE(buffer.guardsIntact(c.capacity));
  }
}

TEST(BoundedText, AppendLeavesTheTextAsItWasWhenTheResultWouldNotFit) {
  Guarded buffer;
  ASSERT_TRUE(vx::CopyText(buffer.text(), 10, "c:\\vx95\\"));
  EXPECT_FALSE(vx::AppendText(buffer.text(), 10, "vp"));  // 10 bytes with the terminator: one too many
  EXPECT_STREQ(buffer.text(), "c:\\vx95\\");
  EXPECT_TRUE(vx::AppendText(buffer.text(), 10, "v"));
  EXPECT_STREQ(buffer.text(), "c:\\vx95\\v");
  EXPECT_TRUE(buffer.guardsIntact(10));
}

TEST(BoundedText, LoweringChangesOnlyTheLettersAToZ) {
  char text[] = "DEVICE=C:\\MOUSE\\Mouse.COM /Y [Windows] \xC4\xD6\xDC @[`{";
  vx::LowerAscii(text);
  EXPECT_STREQ(text, "device=c:\\mouse\\mouse.com /y [windows] \xC4\xD6\xDC @[`{");
}

TEST(BoundedText, ContainsFindsAPatternAnywhereByteForByte) {
  struct Case {
    const char* haystack;
    const char* needle;
    bool found;
  };
  // clang-format off
  const Case cases[] = {
      {"lh c:\\mouse\\ctmouse.exe", "ctmouse", true},
      {"ctmous",                   "ctmouse", false},
      {"xxtarvik",                 "tarvik",  true},
      {"TARVIK",                   "tarvik",  false},  // callers lower a copy first
      {"vxmouse.vx",               "vxmouse.vxd", false},
      {"",                         "",        true},
      {"anything",                 "",        true},
      {"aab",                      "ab",      true},   // a partial match restarts correctly
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.haystack);
    EXPECT_EQ(vx::ContainsText(c.haystack, c.needle), c.found) << c.needle;
  }
}

TEST(BoundedText, FourDigitInstanceNames) {
  struct Case {
    unsigned value;
    const char* name;
  };
  const Case cases[] = {{0, "0000"}, {12, "0012"}, {345, "0345"}, {999, "0999"}, {9999, "9999"}};
  for (const Case& c : cases) {
    char name[5];
    ASSERT_TRUE(vx::FormatFourDigits(name, sizeof name, c.value));
    EXPECT_STREQ(name, c.name);
  }
  char name[5] = "keep";
  EXPECT_FALSE(vx::FormatFourDigits(name, sizeof name, 10000));
  EXPECT_FALSE(vx::FormatFourDigits(name, 4, 1));
  EXPECT_STREQ(name, "keep");
}

}  // namespace
