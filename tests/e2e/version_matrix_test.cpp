// The express installation with Wine reporting each Windows version Setup is
// made for. Wine reads the version a prefix reports (HKCU\Software\Wine,
// "Version") when a process starts, so Setup, started after the value is
// written, sees that version; a fresh process of the driver confirms it first.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "harness/bench.h"
#include "harness/install_steps.h"
#include "harness/system_state.h"
#include "harness/update_steps.h"
#include "harness/wizard_steps.h"

namespace e2e {
namespace {

constexpr char kWineKey[] = "Software\\Wine";

struct WindowsVersion {
  const char* setting;  // Wine's name for the version
  DWORD major;
  DWORD minor;
  DWORD platform;
};

// Windows 8.1 and later tell a program without a compatibility manifest, such
// as SETUP.EXE, that they are Windows 8 (6.2); Wine does the same.
// clang-format off
constexpr WindowsVersion kVersions[] = {
    {"win95", 4,  0, VER_PLATFORM_WIN32_WINDOWS},
    {"win98", 4, 10, VER_PLATFORM_WIN32_WINDOWS},
    {"winxp", 5,  1, VER_PLATFORM_WIN32_NT},
    {"win10", 6,  2, VER_PLATFORM_WIN32_NT},
};
// clang-format on

// Names the case in test lists by its setting rather than by its bytes.
void PrintTo(const WindowsVersion& version, std::ostream* out) { *out << version.setting; }

// Every mouse line of the three start-up files, and each file as Setup leaves it.
struct StartupFile {
  std::string path;
  const char* placed;
  const char* expected;
  bool profile;  // written through the profile functions: compared entry by entry
};

std::vector<StartupFile> StartupFiles() {
  return {
      {WindowsDir() + "\\win.ini", "[windows]\r\nload=C:\\MOUSE\\POINT32.EXE\r\n",
       "[windows]\r\n;load=C:\\MOUSE\\POINT32.EXE\r\n", false},
      {WindowsDir() + "\\system.ini", "[boot]\r\nmouse.drv=other.drv\r\n[386Enh]\r\nmouse=*msmouse\r\n",
       "[boot]\r\nmouse.drv=mouse.drv\r\n[386Enh]\r\nmouse=*vmouse\r\nkeyboard=*vkd\r\n", true},
      {"C:\\autoexec.bat", "C:\\MOUSE\\MOUSE.COM /Y\r\n", "rem C:\\MOUSE\\MOUSE.COM /Y\r\n", false},
  };
}

// The .ulv backup beside a start-up file.
std::string Backup(const std::string& path) { return path.substr(0, path.find_last_of('.')) + ".ulv"; }

class VersionMatrix : public testing::TestWithParam<WindowsVersion> {
 protected:
  void SetUp() override {
    ResetSystem();
    previous_ = ReadValue(kWineKey, "Version", HKEY_CURRENT_USER);
    ASSERT_TRUE(WriteVersionSetting(GetParam().setting));
  }
  // The prefix reports its own default version again.
  void TearDown() override {
    if (previous_.present) {
      WriteVersionSetting(previous_.bytes.c_str());
      return;
    }
    HKEY wine = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kWineKey, 0, KEY_SET_VALUE, &wine) != ERROR_SUCCESS) return;
    RegDeleteValueA(wine, "Version");
    RegCloseKey(wine);
  }

  static bool WriteVersionSetting(const char* setting) {
    HKEY wine = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kWineKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &wine, nullptr) !=
        ERROR_SUCCESS) {
      return false;
    }
    const LONG status = RegSetValueExA(wine, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(setting),
                                       static_cast<DWORD>(strlen(setting) + 1));
    RegCloseKey(wine);
    return status == ERROR_SUCCESS;
  }

  RegValue previous_;
};

TEST_P(VersionMatrix, ExpressInstallationCompletes) {
  const WindowsVersion& version = GetParam();
  const ReportedVersion reported = VersionOfNewProcess();
  ASSERT_TRUE(reported.known) << "a new process could not report its version";
  ASSERT_EQ(reported.major, version.major);
  ASSERT_EQ(reported.minor, version.minor);
  ASSERT_EQ(reported.platform, version.platform);

  for (const StartupFile& file : StartupFiles()) ASSERT_TRUE(WriteBytes(file.path, file.placed)) << file.path;

  SetupProcess setup;
  HWND success = ReachSuccess(setup);
  ASSERT_NE(success, nullptr) << "SUCCESSDLG did not appear";
  const auto dialogs = VisibleDialogs(setup.pid());
  ASSERT_EQ(dialogs.size(), 1u) << "a message box is waiting beside SUCCESSDLG";

  ExpectOriginalBytes(InstalledFiles("C:\\vx95\\"));
  EXPECT_EQ(ReadValue("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "VP95").bytes, Sz("c:\\vx95\\vp95.exe"));
  EXPECT_EQ(AllValues("SOFTWARE\\Corvessa\\CurrentVersion\\Trellion95").size(), 22u);
  EXPECT_EQ(ReadValue("System\\CurrentControlSet\\Services\\Class\\Mouse\\0000", "DriverDesc").bytes,
            Sz("Tarvik Win95 Driver Plug and Play V2.18"));
  EXPECT_EQ(SubkeyNames("Enum\\Root\\Mouse").size(), 1u);
  EXPECT_TRUE(FileExists(WindowsDir() + "\\desktop\\VX95.lnk"));
  for (const StartupFile& file : StartupFiles()) {
    SCOPED_TRACE(file.path);
    EXPECT_EQ(ReadBytesOrEmpty(Backup(file.path)), file.placed);
    if (file.profile) {
      EXPECT_EQ(IniEntries(ReadBytesOrEmpty(file.path)), IniEntries(file.expected));
    } else {
      EXPECT_EQ(ReadBytesOrEmpty(file.path), file.expected);
    }
  }
  EXPECT_TRUE(FinishFromSuccess(setup, success));
}

INSTANTIATE_TEST_SUITE_P(Wine, VersionMatrix, testing::ValuesIn(kVersions),
                         [](const testing::TestParamInfo<WindowsVersion>& info) { return info.param.setting; });

}  // namespace
}  // namespace e2e
