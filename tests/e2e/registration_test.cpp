// The update pass on the real SETUP.EXE under Wine: what it leaves in the
// registry, the desktop shortcut as another program reads it, the stale mouse
// devices it removes, the keys of earlier installations it reuses, and a
// registry failure the registry itself refuses.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "harness/bench.h"
#include "harness/system_state.h"
#include "harness/update_steps.h"
#include "harness/wizard_steps.h"
#include "win95/layer.h"

namespace e2e {
namespace {

constexpr char kSettingsKey[] = "SOFTWARE\\Corvessa\\CurrentVersion\\Trellion95";
constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kStaticVxdKey[] = "System\\CurrentControlSet\\Services\\VxD\\VMSMOUSE";
constexpr char kMouseClass[] = "System\\CurrentControlSet\\Services\\Class\\Mouse";
constexpr char kRootMouse[] = "Enum\\Root\\Mouse";
constexpr char kDriverDescription[] = "Tarvik Win95 Driver Plug and Play V2.18";
constexpr char kProgramPath[] = "c:\\vx95\\vp95.exe";

struct TextValue {
  const char* name;
  const char* text;
};

constexpr TextValue kSettings[] = {
    {"DoubleClickSpeed", "500"}, {"SwapMouseButtons", "No"}, {"assignButton", "0"},  {"assignMiddle", "00"},
    {"assignRight", "00"},       {"Cur_color", "1"},         {"Cur_point", "1"},     {"Cur_size", "1"},
    {"IconPosH", "000"},         {"IconPosV", "000"},        {"PGTrigSpeed", "5"},   {"PtGrowth", "0"},
    {"ShrinkTime", "5"},         {"AlwayOnTop", "0"},        {"RequL", "0"},         {"SavePos", "0"},
    {"ShowIcon", "0"},           {"MouseSpeed", "2"},        {"H sensitivity", "5"}, {"V sensitivity", "5"},
    {"First Run", "Yes"},        {"Middle Enable", "0"},
};

// clang-format off
constexpr TextValue kClassValues[] = {
    {"DevLoader", "*vmouse"},      {"DriverDesc", kDriverDescription}, {"InfPath", "vxmouse.inf"},
    {"MouseDriver", "vxmouse.vxd"}, {"MouseType", "Serial"},            {"InfSection", "No.ULV.Default"},
    {"NoSetupUI", "1"},            {"Ver", "2.18"},
};
// clang-format on

// The root device's text values; its "ConfigFlags" is checked on its own.
constexpr TextValue kRootDeviceTexts[] = {
    {"Class", "Mouse"},
    {"Mfg", "Ulvane Systems"},
    {"HardwareID", "*PNP0F0C"},
    {"DeviceDesc", kDriverDescription},
};

std::string Child(const std::string& key, const std::string& name) { return key + "\\" + name; }

// A key's values as type and bytes, for "left as it was" comparisons.
std::map<std::string, std::pair<DWORD, std::string>> Snapshot(const std::string& path) {
  std::map<std::string, std::pair<DWORD, std::string>> values;
  for (const auto& value : AllValues(path)) values[value.first] = {value.second.type, value.second.bytes};
  return values;
}

template <size_t N>
void ExpectTexts(const std::string& key, const TextValue (&values)[N]) {
  for (const TextValue& expected : values) {
    SCOPED_TRACE(key + " " + expected.name);
    const RegValue value = ReadValue(key, expected.name);
    ASSERT_TRUE(value.present);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.bytes, Sz(expected.text));
  }
}

// The driver's class key, holding its eight values and whatever else it had.
void ExpectDriverClassKey(const std::string& instance) { ExpectTexts(Child(kMouseClass, instance), kClassValues); }

// A root device made by Setup: the six values, "Driver" naming the class key.
void ExpectRootDevice(const std::string& instance, const std::string& classInstance) {
  const std::string key = Child(kRootMouse, instance);
  SCOPED_TRACE(key);
  EXPECT_EQ(AllValues(key).size(), 6u);
  ExpectTexts(key, kRootDeviceTexts);
  const RegValue driver = ReadValue(key, "Driver");
  EXPECT_EQ(driver.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(driver.bytes, Sz("Mouse\\" + classInstance));
  const RegValue flags = ReadValue(key, "ConfigFlags");
  ASSERT_TRUE(flags.present);
  EXPECT_EQ(flags.type, static_cast<DWORD>(REG_NONE));
  EXPECT_EQ(flags.bytes, std::string(4, '\0'));
}

// The text after "<label>:" on the line of lnkinfo's report that has that label.
std::string LnkField(const std::string& report, const std::string& label) {
  for (const std::string& line : SplitLines(report)) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const size_t first = line.find_first_not_of(" \t");
    const size_t last = line.find_last_not_of(" \t", colon - 1);
    if (first == std::string::npos || last == std::string::npos || first > last) continue;
    if (line.substr(first, last - first + 1) != label) continue;
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    value.erase(value.find_last_not_of("\r\n") + 1);
    return value;
  }
  return "";
}

class Registration : public testing::Test {
 protected:
  void SetUp() override { ResetSystem(); }

  // A whole express installation with no registry failure: SUCCESSDLG follows
  // UPDATEENVDLG, which had no message box to show, so it is the only dialog.
  void InstallWithoutMessage() {
    ASSERT_NE(ReachSuccess(setup_), nullptr) << "UPDATEENVDLG did not end, or a message box is waiting";
    const auto dialogs = VisibleDialogs(setup_.pid());
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs.front().second, "Setup Complete!");
  }

  SetupProcess setup_;
};

TEST_F(Registration, ExpressInstallationWritesEveryValueAndTheShortcut) {
  ASSERT_NO_FATAL_FAILURE(InstallWithoutMessage());

  EXPECT_EQ(AllValues(kSettingsKey).size(), 22u);
  ExpectTexts(kSettingsKey, kSettings);
  const RegValue run = ReadValue(kRunKey, "VP95");
  EXPECT_EQ(run.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(run.bytes, Sz(kProgramPath));
  EXPECT_EQ(AllValues(kStaticVxdKey).size(), 1u);
  ExpectTexts(kStaticVxdKey, {{"StaticVxD", "vxmouse.vxd"}});

  // On a system without a Mouse class, the class key 0000 is created.
  EXPECT_EQ(SubkeyNames(kMouseClass), std::vector<std::string>{"0000"});
  EXPECT_EQ(AllValues(Child(kMouseClass, "0000")).size(), 8u);
  ExpectDriverClassKey("0000");
  EXPECT_EQ(SubkeyNames(kRootMouse), std::vector<std::string>{"0000"});
  ExpectRootDevice("0000", "0000");

  // The shortcut, read by Linux's own reader of the shell-link format, not by
  // the shell that wrote it.
  const std::string shortcut = WindowsDir() + "\\desktop\\VX95.lnk";
  ASSERT_TRUE(FileExists(shortcut));
  if (UnixPath(shortcut).empty()) GTEST_SKIP() << "not run by Wine: no Linux side to run lnkinfo";
  if (!FileExists("Z:\\usr\\bin\\lnkinfo")) GTEST_SKIP() << "lnkinfo (Debian's liblnk-utils) is not installed";
  const UnixRun lnkinfo = RunUnixProgram({"/usr/bin/lnkinfo", UnixPath(shortcut)});
  ASSERT_TRUE(lnkinfo.finished) << "lnkinfo did not run";
  ASSERT_EQ(lnkinfo.status, 0) << lnkinfo.output;
  EXPECT_EQ(LnkField(lnkinfo.output, "Local path"), kProgramPath) << lnkinfo.output;
  EXPECT_EQ(Sz(LnkField(lnkinfo.output, "Local path")), run.bytes) << "the Run value and the shortcut differ";
  EXPECT_EQ(LnkField(lnkinfo.output, "Description"), "Pimlet") << lnkinfo.output;
  // Nothing else is set on the link.
  EXPECT_EQ(LnkField(lnkinfo.output, "Command line arguments"), "");
  EXPECT_EQ(LnkField(lnkinfo.output, "Working directory"), "");
  EXPECT_EQ(LnkField(lnkinfo.output, "Icon location"), "");
}

TEST_F(Registration, StaleRootMouseKeysGoAndOtherDevicesStay) {
  // Root devices *PNP0F00 to *PNP0F9F are stale, with their instances and
  // what lies beneath those; *PNP0FA0 is outside the range.
  const std::vector<std::string> stale = {"Enum\\Root\\*PNP0F0C", "Enum\\Root\\*PNP0F13", "Enum\\Root\\*PNP0F9F"};
  ASSERT_TRUE(SetText("Enum\\Root\\*PNP0F0C\\0000", "HardwareID", "*PNP0F0C"));
  ASSERT_TRUE(SetText("Enum\\Root\\*PNP0F0C\\0000\\LogConfig", "Port", "3F8"));
  ASSERT_TRUE(SetText("Enum\\Root\\*PNP0F0C\\0001", "HardwareID", "*PNP0F0C"));
  ASSERT_TRUE(SetText("Enum\\Root\\*PNP0F13\\ROOT_0\\0000", "Class", "Mouse"));
  ASSERT_TRUE(SetText("Enum\\Root\\*PNP0F9F\\0000", "Class", "Mouse"));
  ASSERT_TRUE(SetText("Enum\\Root\\*PNP0FA0\\0000", "HardwareID", "*PNP0FA0"));
  // Root mouse devices 0000 (another driver's, though its Driver is Setup's),
  // 0001 (left part way by a stopped run, with some of Setup's values and its
  // description, ConfigFlags missing) and 0002 (the brand's, not seen after 0001):
  // 0001 is completed in place and no device is added.
  ASSERT_TRUE(SetText("Enum\\Root\\Mouse\\0000", "DeviceDesc", "Standard Serial Mouse"));
  ASSERT_TRUE(SetText("Enum\\Root\\Mouse\\0000", "Driver", "Mouse\\0000"));
  ASSERT_TRUE(SetValue("Enum\\Root\\Mouse\\0000", "ConfigFlags", REG_BINARY, std::string("\x01\0\0\0", 4)));
  ASSERT_TRUE(SetText("Enum\\Root\\Mouse\\0001", "Class", "Mouse"));
  ASSERT_TRUE(SetText("Enum\\Root\\Mouse\\0001", "DeviceDesc", kDriverDescription));
  ASSERT_TRUE(SetText("Enum\\Root\\Mouse\\0002", "DeviceDesc", "Tarvik Serial Mouse"));
  // The Mouse class holds only another driver's key 0000: the driver takes it
  // over and its other values stay.
  ASSERT_TRUE(SetText(Child(kMouseClass, "0000"), "MouseDriver", "msmouse.vxd"));
  ASSERT_TRUE(SetText(Child(kMouseClass, "0000"), "DriverDesc", "Standard Serial Mouse"));
  ASSERT_TRUE(SetText(Child(kMouseClass, "0000"), "Comment", "left alone"));
  const auto otherDevice = Snapshot("Enum\\Root\\Mouse\\0000");
  const auto brandDevice = Snapshot("Enum\\Root\\Mouse\\0002");
  const auto outsideRange = Snapshot("Enum\\Root\\*PNP0FA0\\0000");

  ASSERT_NO_FATAL_FAILURE(InstallWithoutMessage());

  for (const std::string& key : stale) EXPECT_FALSE(KeyExists(key)) << key;
  // Under the Windows 95 personality each tree went to its RegDeleteKeyA, which
  // would take it whole; Setup empties it first, as Windows NT's needs.
  for (const std::string& key : Win95Personality() ? stale : std::vector<std::string>{}) {
    EXPECT_EQ(Win95LogLines("RegDeleteKeyA " + key + ":"),
              std::vector<std::string>{"RegDeleteKeyA " + key + ": 0 subkeys deleted with it, result 0"});
  }
  EXPECT_TRUE(KeyExists("Enum\\Root\\*PNP0FA0\\0000"));
  EXPECT_EQ(Snapshot("Enum\\Root\\*PNP0FA0\\0000"), outsideRange);

  EXPECT_EQ(SubkeyNames(kRootMouse), (std::vector<std::string>{"0000", "0001", "0002"}));
  EXPECT_EQ(Snapshot("Enum\\Root\\Mouse\\0000"), otherDevice);
  EXPECT_EQ(Snapshot("Enum\\Root\\Mouse\\0002"), brandDevice);
  ExpectRootDevice("0001", "0000");

  EXPECT_EQ(SubkeyNames(kMouseClass), std::vector<std::string>{"0000"});
  ExpectDriverClassKey("0000");
  EXPECT_EQ(ReadValue(Child(kMouseClass, "0000"), "Comment").bytes, Sz("left alone"));
}

TEST_F(Registration, EarlierInstallationsClassKeyIsRewritten) {
  // The earlier installation's key 0001 lies between two other drivers' keys:
  // it is found by its "MouseDriver" before the highest number, 0002, is taken.
  ASSERT_TRUE(SetText(Child(kMouseClass, "0000"), "MouseDriver", "msmouse.vxd"));
  ASSERT_TRUE(SetText(Child(kMouseClass, "0001"), "MouseDriver", "C:\\WINDOWS\\SYSTEM\\VXMOUSE.VXD"));
  ASSERT_TRUE(SetText(Child(kMouseClass, "0001"), "Ver", "2.10"));
  ASSERT_TRUE(SetText(Child(kMouseClass, "0001"), "DriverDesc", "Tarvik Win95 Driver Plug and Play V2.10"));
  ASSERT_TRUE(SetText(Child(kMouseClass, "0002"), "MouseDriver", "lmouse.vxd"));
  const auto first = Snapshot(Child(kMouseClass, "0000"));
  const auto third = Snapshot(Child(kMouseClass, "0002"));

  ASSERT_NO_FATAL_FAILURE(InstallWithoutMessage());

  EXPECT_EQ(SubkeyNames(kMouseClass), (std::vector<std::string>{"0000", "0001", "0002"}));
  ExpectDriverClassKey("0001");
  EXPECT_EQ(Snapshot(Child(kMouseClass, "0000")), first);
  EXPECT_EQ(Snapshot(Child(kMouseClass, "0002")), third);
  EXPECT_EQ(SubkeyNames(kRootMouse), std::vector<std::string>{"0000"});
  ExpectRootDevice("0000", "0001");
}

TEST_F(Registration, RegisteredBrandDeviceGetsNoSecondRootDevice) {
  // The brand word in any case, within a longer description; its "Driver"
  // names another class key than the one Setup writes.
  ASSERT_TRUE(SetText("Enum\\Root\\Mouse\\0000", "DeviceDesc", "Serial Mouse by TARVIK Systems"));
  ASSERT_TRUE(SetText("Enum\\Root\\Mouse\\0000", "Driver", "Mouse\\0003"));
  const auto device = Snapshot("Enum\\Root\\Mouse\\0000");

  ASSERT_NO_FATAL_FAILURE(InstallWithoutMessage());

  EXPECT_EQ(SubkeyNames(kRootMouse), std::vector<std::string>{"0000"});
  EXPECT_EQ(Snapshot("Enum\\Root\\Mouse\\0000"), device);
  // The registration up to the device search is done all the same.
  ExpectTexts(kStaticVxdKey, {{"StaticVxD", "vxmouse.vxd"}});
  EXPECT_EQ(SubkeyNames(kMouseClass), std::vector<std::string>{"0000"});
  ExpectDriverClassKey("0000");
}

TEST_F(Registration, RegistryFailureIsReportedOnceAndTheStartupFilesAreStillTreated) {
  // A volatile parent makes the registry refuse the non-volatile settings key
  // beneath it: the pass's very first step fails.
  ASSERT_TRUE(CreateVolatileKey("SOFTWARE\\Corvessa"));
  if (CreateKey("SOFTWARE\\Corvessa\\Probe")) {
    GTEST_SKIP() << "this registry accepts a non-volatile key under a volatile one: no failure to provoke";
  }
  const std::string winIni = WindowsDir() + "\\win.ini";
  ASSERT_TRUE(WriteBytes(winIni, "[windows]\r\nload=C:\\MOUSE\\POINT32.EXE\r\n"));
  ASSERT_TRUE(WriteBytes("C:\\autoexec.bat", "C:\\MOUSE\\MOUSE.COM\r\n"));

  ASSERT_TRUE(StartExpressInstallation(setup_));
  const MessageBoxInfo box = WaitForMessageBox(setup_.pid(), "Stop", 30000);
  ASSERT_NE(box.window, nullptr) << "no \"Update Registry Error!\" message";
  EXPECT_EQ(box.text, "Update Registry Error!");
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  EXPECT_EQ(box.icon, StockIcon::Hand) << IconName(box.icon);
  HWND updating = WaitForDialog(setup_.pid(), "Updating....", 2000);
  ASSERT_NE(updating, nullptr);
  EXPECT_EQ(box.owner, updating);
  ExpectCentred(updating, 0);
  EXPECT_EQ(ItemText(updating, 0xFFFF), "Wait...\r\tSetup is now updating system                 database...");
  // The start-up files wait for the message to be closed.
  EXPECT_FALSE(FileExists(WindowsDir() + "\\win.ulv"));
  // The dialog answers no command: only the pass ends it.
  PostCommand(updating, IDCANCEL);
  PostCommand(updating, IDOK);
  PostSysCommand(updating, SC_CLOSE);
  Sleep(Scaled(300));
  EXPECT_TRUE(IsWindow(updating));
  EXPECT_TRUE(IsWindow(box.window));

  Press(box.window, IDOK);
  HWND success = WaitForDialog(setup_.pid(), "Setup Complete!", 30000);
  ASSERT_NE(success, nullptr) << "the wizard did not go on after the failure";
  EXPECT_FALSE(IsWindow(updating));
  EXPECT_EQ(VisibleDialogs(setup_.pid()).size(), 1u) << "one message only";

  // Nothing after the failing step was done.
  EXPECT_FALSE(KeyExists(kSettingsKey));
  EXPECT_FALSE(ReadValue(kRunKey, "VP95").present);
  EXPECT_FALSE(FileExists(WindowsDir() + "\\desktop\\VX95.lnk"));
  EXPECT_FALSE(KeyExists(kStaticVxdKey));
  EXPECT_FALSE(KeyExists(kMouseClass));
  EXPECT_FALSE(KeyExists(kRootMouse));

  EXPECT_EQ(ReadBytesOrEmpty(WindowsDir() + "\\win.ulv"), "[windows]\r\nload=C:\\MOUSE\\POINT32.EXE\r\n");
  EXPECT_EQ(ReadBytesOrEmpty(winIni), "[windows]\r\n;load=C:\\MOUSE\\POINT32.EXE\r\n");
  EXPECT_TRUE(FileExists(WindowsDir() + "\\system.ulv"));
  EXPECT_EQ(ReadBytesOrEmpty("C:\\autoexec.ulv"), "C:\\MOUSE\\MOUSE.COM\r\n");
  EXPECT_EQ(ReadBytesOrEmpty("C:\\autoexec.bat"), "rem C:\\MOUSE\\MOUSE.COM\r\n");
}

}  // namespace
}  // namespace e2e
