#include "destination/path_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace vx {
namespace {

struct CheckResult {
  PathVerdict verdict;
  std::string pathText;
  std::string installDir;
};

// Runs the check with both output buffers filled with a marker, so that a refusal
// that writes into them shows.
CheckResult Check(char drive, const std::string& text) {
  char pathText[kPathTextCapacity];
  char installDir[kPathCapacity];
  std::strcpy(pathText, "untouched");
  std::strcpy(installDir, "c:\\vx95");
  const PathVerdict verdict = CheckCustomPath(drive, text.c_str(), pathText, installDir);
  return {verdict, pathText, installDir};
}

// A path of `length` characters made of 7-character names and single
// backslashes; a separator that would come last becomes an eighth letter.
std::string PathOfLength(size_t length) {
  std::string path;
  while (path.size() < length) {
    path += (path.size() % 8 == 7) ? '\\' : 'a';
  }
  if (path.back() == '\\') path.back() = 'b';
  return path;
}

TEST(CustomPathTest, AcceptedPathsFormInstallDir) {
  struct Case {
    char drive;
    const char* text;
    const char* pathText;
    const char* installDir;
  };
  // clang-format off
  const Case cases[] = {
      {'d', "tools\\bin",           "tools\\bin",       "d:\\tools\\bin"},
      {'c', "VX95",                 "VX95",             "c:\\VX95"},
      {'z', "x",                    "x",                "z:\\x"},
      {'d', "\\\\\\tools",          "tools",            "d:\\tools"},
      {'d', "tools\\",              "tools\\",          "d:\\tools\\"},
      {'d', "tools\\\\bin",         "tools\\\\bin",     "d:\\tools\\\\bin"},
      {'d', "tools\\\\bin\\",       "tools\\\\bin\\",   "d:\\tools\\\\bin\\"},
      {'d', "\\abcdefgh\\\\",       "abcdefgh\\\\",     "d:\\abcdefgh\\\\"},
      {'d', "abcdefgh\\12345678",   "abcdefgh\\12345678", "d:\\abcdefgh\\12345678"},
      {'d', "caf\xE9\\\x80\xFF",    "caf\xE9\\\x80\xFF", "d:\\caf\xE9\\\x80\xFF"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const CheckResult result = Check(c.drive, c.text);
    EXPECT_EQ(result.verdict, PathVerdict::kAccepted);
    EXPECT_EQ(result.pathText, c.pathText);
    EXPECT_EQ(result.installDir, c.installDir);
  }
}

TEST(CustomPathTest, RefusalsInTheOrderTheUserMeetsThem) {
  struct Case {
    char drive;
    const char* text;
    PathVerdict verdict;
  };
  // clang-format off
  const Case cases[] = {
      {'a',    "tools",          PathVerdict::kInvalidDrive},
      {'b',    "tools",          PathVerdict::kInvalidDrive},
      {'C',    "tools",          PathVerdict::kInvalidDrive},   // upper case sorts below 'c'
      {'\0',   "tools",          PathVerdict::kInvalidDrive},   // no entry selected
      {'\xE4', "tools",          PathVerdict::kInvalidDrive},   // above 127 is negative
      {'a',    "abcdefghi",      PathVerdict::kInvalidDrive},   // the drive comes first
      {'d',    "abcdefghi",      PathVerdict::kComponentTooLong},
      {'d',    "abc.efghi",      PathVerdict::kComponentTooLong},  // length before characters
      {'d',    "a\\abcdefghi\\b", PathVerdict::kComponentTooLong},
      {'d',    "\\\\abcdefghi\\", PathVerdict::kComponentTooLong},
      {'d',    "abcdefghi \\",   PathVerdict::kComponentTooLong},
      {'d',    "\\a b",          PathVerdict::kForbiddenCharacter},
      {'d',    "tools\\a.b",     PathVerdict::kForbiddenCharacter},
      {'d',    "",               PathVerdict::kEmpty},
      {'d',    "\\",             PathVerdict::kEmpty},
      {'d',    "\\\\\\",         PathVerdict::kEmpty},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.drive) + " " + c.text);
    const CheckResult result = Check(c.drive, c.text);
    EXPECT_EQ(result.verdict, c.verdict);
    // A refusal leaves installDir as Continue set it and forms no path.
    EXPECT_EQ(result.pathText, "untouched");
    EXPECT_EQ(result.installDir, "c:\\vx95");
  }
}

TEST(CustomPathTest, EachForbiddenCharacterIsRefusedAndItsNeighboursAreNot) {
  const std::string forbidden = " \"*,./:;<=>?";
  for (char c : forbidden) {
    SCOPED_TRACE(std::string("forbidden ") + c);
    EXPECT_EQ(Check('d', std::string("ab") + c + "d").verdict, PathVerdict::kForbiddenCharacter);
    EXPECT_EQ(Check('d', std::string(1, c)).verdict, PathVerdict::kForbiddenCharacter);
  }
  const std::string allowed = "!#$%&'()+-09@AZ[]^_`az{}~\x7F\x80\xFF\x01\t";
  for (char c : allowed) {
    SCOPED_TRACE(std::string("allowed ") + c);
    const CheckResult result = Check('d', std::string("ab") + c + "d");
    EXPECT_EQ(result.verdict, PathVerdict::kAccepted);
    EXPECT_EQ(result.installDir, std::string("d:\\ab") + c + "d");
  }
}

TEST(CustomPathTest, OnlyTheFirst254CharactersCount) {
  // 246 backslashes and an 8-character name make 254; the ninth letter and the
  // full stop behind them are past the edit box's limit.
  const std::string text = std::string(246, '\\') + "abcdefgh" + "i.";
  const CheckResult result = Check('d', text);
  EXPECT_EQ(result.verdict, PathVerdict::kAccepted);
  EXPECT_EQ(result.pathText, "abcdefgh");
  EXPECT_EQ(result.installDir, "d:\\abcdefgh");

  // 254 backslashes: the name after them is never read.
  EXPECT_EQ(Check('d', std::string(254, '\\') + "tools").verdict, PathVerdict::kEmpty);
}

// The copy opens every file through an OFSTRUCT, which holds 127 characters:
// "d:\", 112 typed characters, "\" and "vp95dll.dll" are the most it can take.
TEST(CustomPathTest, InstallDirLeavesRoomForTheLongestInstalledName) {
  struct Case {
    std::string text;
    PathVerdict verdict;
  };
  // clang-format off
  const Case cases[] = {
      {PathOfLength(112),              PathVerdict::kAccepted},
      {PathOfLength(113),              PathVerdict::kNoRoomForFiles},
      {PathOfLength(254),              PathVerdict::kNoRoomForFiles},
      {"\\\\\\" + PathOfLength(112),   PathVerdict::kAccepted},  // leading backslashes are not kept
      {PathOfLength(111) + "\\",       PathVerdict::kAccepted},
      {PathOfLength(112) + "\\",       PathVerdict::kNoRoomForFiles},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    const CheckResult result = Check('d', c.text);
    EXPECT_EQ(result.verdict, c.verdict);
    if (c.verdict != PathVerdict::kAccepted) continue;
    // What the copy dialog forms fills an OFSTRUCT's path to its last byte.
    const std::string destination = result.installDir + "\\" + "vp95dll.dll";
    EXPECT_EQ(destination.size() + 1, kOpenPathCapacity);
  }
}

TEST(CustomPathTest, MessagesOfEachRefusal) {
  struct Case {
    PathVerdict verdict;
    const char* message;
  };
  // clang-format off
  const Case cases[] = {
      {PathVerdict::kInvalidDrive,       "Invalid Drive!"},
      {PathVerdict::kComponentTooLong,   "Invalid path!"},
      {PathVerdict::kForbiddenCharacter, "Invalid Path!"},
      {PathVerdict::kEmpty,              "Invalid Path!"},
      {PathVerdict::kNoRoomForFiles,     "Invalid path!"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ASSERT_NE(VerdictMessage(c.verdict), nullptr);
    EXPECT_STREQ(VerdictMessage(c.verdict), c.message);
  }
  EXPECT_EQ(VerdictMessage(PathVerdict::kAccepted), nullptr);
}

TEST(DriveListTest, LetterComesFromTheThirdCharacter) {
  struct Case {
    const char* entry;
    char letter;
    bool accepted;
  };
  // clang-format off
  const Case cases[] = {
      {"[-a-]", 'a', false},
      {"[-b-]", 'b', false},
      {"[-c-]", 'c', true},
      {"[-z-]", 'z', true},
      {"[-",    '\0', false},
      {"[",     '\0', false},
      {"",      '\0', false},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(DriveLetterOfEntry(c.entry), c.letter);
    EXPECT_EQ(IsAcceptedDriveLetter(DriveLetterOfEntry(c.entry)), c.accepted);
  }
  char root[kDriveRootCapacity];
  FormatDriveRoot('d', root);
  EXPECT_STREQ(root, "d:\\");
}

// Answers with the figures of one drive, except for the roots it is told to
// fail on, and records the roots it was asked about.
class FakeFreeSpace final : public FreeSpaceQuery {
 public:
  FakeFreeSpace(uint32_t sectorsPerCluster, uint32_t freeClusters, uint32_t bytesPerSector,
                std::vector<std::string> failing)
      : sectorsPerCluster_(sectorsPerCluster),
        freeClusters_(freeClusters),
        bytesPerSector_(bytesPerSector),
        failing_(std::move(failing)) {}

  std::vector<std::string> asked;

  bool Figures(const char* root, uint32_t* sectorsPerCluster, uint32_t* freeClusters,
               uint32_t* bytesPerSector) override {
    asked.push_back(root);
    if (std::find(failing_.begin(), failing_.end(), root) != failing_.end()) return false;
    *sectorsPerCluster = sectorsPerCluster_;
    *freeClusters = freeClusters_;
    *bytesPerSector = bytesPerSector_;
    return true;
  }

 private:
  uint32_t sectorsPerCluster_;
  uint32_t freeClusters_;
  uint32_t bytesPerSector_;
  std::vector<std::string> failing_;
};

// The express branch's question: c: first, then c:\ if the system refuses the
// form without a backslash.
TEST(FreeSpaceTest, AtLeast500000BytesInA64BitProduct) {
  struct Case {
    uint32_t sectorsPerCluster;
    uint32_t freeClusters;
    uint32_t bytesPerSector;
    bool enough;
    std::vector<std::string> failing = {};
    std::vector<std::string> asked = {"c:"};
  };
  // clang-format off
  const Case cases[] = {
      {1, 500000, 1, true},
      {1, 499999, 1, false},
      {4, 15625, 8, true},             // exactly 500000
      {8, 122, 512, false},            // 499712; an answer, so c:\ is not asked
      {8, 123, 512, true},             // 503808
      {1, 1, 499999, false},
      {499999, 1, 1, false},
      {64, 65536, 512, true},          // 2^31: negative as a signed 32-bit number
      {64, 131072, 512, true},         // 2^32: 0 in 32 bits
      {8, 1048577, 512, true},         // 2^32 + 4096: 4096 in 32 bits
      {1u << 22, 1u << 22, 1u << 22, true},  // 2^66: 0 in 64 bits
      {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, true},
      {0xFFFFFFFFu, 1, 1, true},
      {1, 1, 0xFFFFFFFFu, true},
      {0, 1000000, 512, false},
      {8, 0, 512, false},
      {8, 1000000, 0, false},
      {8, 123, 512, true,  {"c:"},          {"c:", "c:\\"}},  // a system that wants the backslash
      {8, 122, 512, false, {"c:"},          {"c:", "c:\\"}},
      {8, 123, 512, false, {"c:", "c:\\"}, {"c:", "c:\\"}},  // no figures at all: refused
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sectorsPerCluster << " x " << c.freeClusters << " x " << c.bytesPerSector
                                    << ", failing on " << c.failing.size() << " roots");
    FakeFreeSpace query(c.sectorsPerCluster, c.freeClusters, c.bytesPerSector, c.failing);
    EXPECT_EQ(DriveHasEnoughFreeSpace(query, kExpressFreeSpaceRoot, kExpressFreeSpaceRootWithBackslash), c.enough);
    EXPECT_EQ(query.asked, c.asked);
  }
}

std::vector<std::string> Levels(char drive, const std::string& text) {
  std::vector<std::string> levels;
  DirectoryLevels walk(drive, text.c_str());
  while (walk.Next()) levels.push_back(walk.Path());
  return levels;
}

TEST(DirectoryLevelsTest, OneLevelPerNonEmptyName) {
  struct Case {
    char drive;
    std::string text;
    std::vector<std::string> levels;
  };
  // clang-format off
  const Case cases[] = {
      {'d', "tools\\bin",          {"d:\\tools", "d:\\tools\\bin"}},
      {'d', "tools\\\\bin\\",      {"d:\\tools", "d:\\tools\\bin"}},
      {'d', "\\\\\\tools",         {"d:\\tools"}},
      {'c', "VX95",                {"c:\\VX95"}},
      {'e', "a\\b\\\\c\\d",        {"e:\\a", "e:\\a\\b", "e:\\a\\b\\c", "e:\\a\\b\\c\\d"}},
      {'d', "",                    {}},
      {'d', "\\\\\\",              {}},
      {'d', std::string(253, '\\') + "ab", {"d:\\a"}},  // the 255th character is not read
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Levels(c.drive, c.text), c.levels);
  }
}

TEST(DirectoryLevelsTest, LongestTextGivesItsWholePathAsLastLevel) {
  const std::string text = PathOfLength(254);
  const std::vector<std::string> levels = Levels('d', text + "zzz");
  ASSERT_FALSE(levels.empty());
  EXPECT_EQ(levels.back(), "d:\\" + text);
  EXPECT_EQ(levels.size(), 32u);  // 31 names of 7 and one of 6
}

TEST(DirectoryLevelsTest, CheckedPathAndItsLevelsTogether) {
  // installDir keeps the doubled and trailing backslashes; the levels do not.
  const CheckResult result = Check('d', "\\tools\\\\bin\\");
  ASSERT_EQ(result.verdict, PathVerdict::kAccepted);
  EXPECT_EQ(result.installDir, "d:\\tools\\\\bin\\");
  const std::vector<std::string> expected = {"d:\\tools", "d:\\tools\\bin"};
  EXPECT_EQ(Levels('d', result.pathText), expected);
}

}  // namespace
}  // namespace vx
