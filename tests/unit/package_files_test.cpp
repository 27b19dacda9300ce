#include "transfer/package_files.h"

#include <gtest/gtest.h>

#include <string>

namespace vx {
namespace {

constexpr CopyRoots kTypicalRoots = {"A:\\", "d:\\tools\\", "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS"};

TEST(PackageFilesTest, EveryStepCopiesFromTheDiskIntoItsDirectory) {
  struct Case {
    const char* source;
    const char* destination;
  };
  const Case cases[kPackageFileCount] = {
      {"A:\\vp95.ex_", "d:\\tools\\vp95.exe"},
      {"A:\\vpicon.ex_", "d:\\tools\\vpicon.exe"},
      {"A:\\vp95dll.dl_", "d:\\tools\\vp95dll.dll"},
      {"A:\\vxmouse.vxd", "C:\\WINDOWS\\SYSTEM\\vxmouse.vxd"},
      {"A:\\vxmouse.inf", "C:\\WINDOWS\\inf\\vxmouse.inf"},
      {"A:\\vxmouse.hlp", "C:\\WINDOWS\\vxmouse.hlp"},
  };
  for (int step = 0; step < kPackageFileCount; ++step) {
    SCOPED_TRACE(step);
    CopyPaths paths;
    EXPECT_TRUE(BuildCopyPaths(step, kTypicalRoots, &paths));
    EXPECT_STREQ(cases[step].source, paths.source);
    EXPECT_STREQ(cases[step].destination, paths.destination);
  }
}

TEST(PackageFilesTest, StepsPastTheTableCopyNothing) {
  for (int step : {-1, kPackageFileCount, kPackageFileCount + 1}) {
    SCOPED_TRACE(step);
    CopyPaths paths;
    paths.source[0] = 'x';
    paths.destination[0] = 'x';
    EXPECT_FALSE(BuildCopyPaths(step, kTypicalRoots, &paths));
    EXPECT_STREQ("", paths.source);
    EXPECT_STREQ("", paths.destination);
  }
}

// The files lie beside the program whatever it is called, not only when its name
// has nine characters.
TEST(PackageFilesTest, SourceDirectoryIsThePathUpToTheLastBackslash) {
  struct Case {
    const char* modulePath;
    const char* directory;
  };
  const Case cases[] = {
      {"A:\\SETUP.EXE", "A:\\"},
      {"C:\\dl\\setup (1).exe", "C:\\dl\\"},
      {"A:\\install.exe", "A:\\"},
      {"D:\\DISK1\\VX95\\SETUP.EXE", "D:\\DISK1\\VX95\\"},
      {"\\\\server\\share\\setup.exe", "\\\\server\\share\\"},
      {"C:\\odd.dir\\s.exe", "C:\\odd.dir\\"},
      {"install.exe", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.modulePath);
    char directory[kPathCapacity] = "stale";
    EXPECT_TRUE(SourceDirectoryOf(c.modulePath, directory, sizeof directory));
    EXPECT_STREQ(c.directory, directory);

    const CopyRoots roots = {directory, "c:\\vx95\\", "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS"};
    CopyPaths paths;
    EXPECT_TRUE(BuildCopyPaths(0, roots, &paths));
    EXPECT_EQ(std::string(c.directory) + "vp95.ex_", paths.source);
  }
}

TEST(PackageFilesTest, SourceDirectoryThatDoesNotFitIsRefused) {
  // 259 characters of directory plus the terminator fill 260 bytes exactly.
  const std::string fits = "C:\\" + std::string(255, 'd') + "\\";
  ASSERT_EQ(259u, fits.size());
  const std::string tooLong = "C:\\" + std::string(256, 'd') + "\\";

  char directory[kPathCapacity];
  EXPECT_TRUE(SourceDirectoryOf((fits + "SETUP.EXE").c_str(), directory, sizeof directory));
  EXPECT_EQ(fits, directory);
  EXPECT_FALSE(SourceDirectoryOf((tooLong + "SETUP.EXE").c_str(), directory, sizeof directory));
  EXPECT_STREQ("", directory);
  EXPECT_FALSE(SourceDirectoryOf("A:\\SETUP.EXE", directory, 3));
  EXPECT_STREQ("", directory);
}

TEST(PackageFilesTest, DestinationDirectoriesEndInABackslash) {
  struct Case {
    DestinationKind kind;
    const char* directory;
  };
  const Case cases[] = {
      {DestinationKind::kInstallDir, "d:\\tools\\"},
      {DestinationKind::kSystemDir, "C:\\WINDOWS\\SYSTEM\\"},
      {DestinationKind::kInfDir, "C:\\WINDOWS\\inf\\"},
      {DestinationKind::kWindowsDir, "C:\\WINDOWS\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.directory);
    char directory[kPathCapacity];
    EXPECT_TRUE(DestinationDirectoryOf(c.kind, kTypicalRoots, directory, sizeof directory));
    EXPECT_STREQ(c.directory, directory);
  }
}

// A path of 127 characters is the longest the LZ expansion service can open;
// one more and the file is skipped with an empty path, while the other path of
// the step is still built. A source directory that cannot take the longest name
// is one the copy dialog asks the short form of.
TEST(PackageFilesTest, PathsAtTheLengthLimit) {
  enum class Root { kSource, kInstall, kSystem, kWindows };
  struct Case {
    int step;
    Root root;
    size_t longestRoot;  // 127 minus what the step appends to the root
  };
  const Case cases[] = {
      {2, Root::kSource, 127 - 11},   // "...\" + "vp95dll.dl_"
      {2, Root::kInstall, 127 - 11},  // "...\" + "vp95dll.dll"
      {3, Root::kSystem, 127 - 12},   // "..." + "\vxmouse.vxd"
      {4, Root::kWindows, 127 - 16},  // "..." + "\inf\vxmouse.inf"
      {5, Root::kWindows, 127 - 12},  // "..." + "\vxmouse.hlp"
  };
  for (const Case& c : cases) {
    for (size_t extra : {0u, 1u, 40u}) {
      SCOPED_TRACE(testing::Message() << "step " << c.step << " extra " << extra);
      const size_t length = c.longestRoot + extra;
      // The source and install directories end in a backslash, the system's do not.
      const bool slashed = c.root == Root::kSource || c.root == Root::kInstall;
      const std::string root = "C:\\" + std::string(length - 3 - (slashed ? 1 : 0), 'p') + (slashed ? "\\" : "");
      ASSERT_EQ(length, root.size());
      CopyRoots roots = kTypicalRoots;
      switch (c.root) {
        case Root::kSource:
          roots.sourceDir = root.c_str();
          break;
        case Root::kInstall:
          roots.installDir = root.c_str();
          break;
        case Root::kSystem:
          roots.systemDir = root.c_str();
          break;
        case Root::kWindows:
          roots.windowsDir = root.c_str();
          break;
      }

      CopyPaths paths;
      EXPECT_EQ(extra == 0, BuildCopyPaths(c.step, roots, &paths));
      const std::string longPath = c.root == Root::kSource ? paths.source : paths.destination;
      const std::string otherPath = c.root == Root::kSource ? paths.destination : paths.source;
      EXPECT_EQ(extra == 0 ? 127u : 0u, longPath.size());
      if (c.root == Root::kSource) {
        EXPECT_EQ(extra == 0, PackageSourcesFit(roots.sourceDir));
      }
      if (extra == 0) {
        EXPECT_EQ(root, longPath.substr(0, length));
      }
      EXPECT_FALSE(otherPath.empty());
    }
  }
}

TEST(PackageFilesTest, UnknownDirectoriesMakeTheStepSkip) {
  struct Case {
    CopyRoots roots;
    int step;
    bool sourceBuilt;
  };
  const Case cases[] = {
      {{nullptr, "d:\\tools\\", "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS"}, 0, false},
      {{"A:\\", "d:\\tools\\", nullptr, "C:\\WINDOWS"}, 3, true},
      {{"A:\\", "d:\\tools\\", "C:\\WINDOWS\\SYSTEM", nullptr}, 4, true},
      {{"A:\\", "d:\\tools\\", "C:\\WINDOWS\\SYSTEM", nullptr}, 5, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    CopyPaths paths;
    EXPECT_FALSE(BuildCopyPaths(c.step, c.roots, &paths));
    EXPECT_EQ(c.sourceBuilt, paths.source[0] != '\0');
    EXPECT_EQ(!c.sourceBuilt, paths.destination[0] != '\0');
  }
}

}  // namespace
}  // namespace vx
