// The registry pass: what it writes, the step number of every failure, and the
// rule that a failure stops the pass with nothing written after it and no key
// left open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory_registry.h"
#include "registration/registry_pass.h"

namespace vxtest {
namespace {

const char kSettings[] = "SOFTWARE\\Corvessa\\CurrentVersion\\Trellion95";
const char kRun[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kVxd[] = "System\\CurrentControlSet\\Services\\VxD\\VMSMOUSE";
const char kClass0000[] = "System\\CurrentControlSet\\Services\\Class\\Mouse\\0000";
const char kRoot0000[] = "Enum\\Root\\Mouse\\0000";
const char kExpressDir[] = "c:\\vx95\\";

const char kCleanInstall[] =
    "Enum\\Root\\Mouse\\0000\n"
    "  Class = REG_SZ \"Mouse\"\n"
    "  Driver = REG_SZ \"Mouse\\0000\"\n"
    "  Mfg = REG_SZ \"Ulvane Systems\"\n"
    "  HardwareID = REG_SZ \"*PNP0F0C\"\n"
    "  ConfigFlags = REG_NONE 00 00 00 00\n"
    "  DeviceDesc = REG_SZ \"Tarvik Win95 Driver Plug and Play V2.18\"\n"
    "SOFTWARE\\Corvessa\\CurrentVersion\\Trellion95\n"
    "  DoubleClickSpeed = REG_SZ \"500\"\n"
    "  SwapMouseButtons = REG_SZ \"No\"\n"
    "  assignButton = REG_SZ \"0\"\n"
    "  assignMiddle = REG_SZ \"00\"\n"
    "  assignRight = REG_SZ \"00\"\n"
    "  Cur_color = REG_SZ \"1\"\n"
    "  Cur_point = REG_SZ \"1\"\n"
    "  Cur_size = REG_SZ \"1\"\n"
    "  IconPosH = REG_SZ \"000\"\n"
    "  IconPosV = REG_SZ \"000\"\n"
    "  PGTrigSpeed = REG_SZ \"5\"\n"
    "  PtGrowth = REG_SZ \"0\"\n"
    "  ShrinkTime = REG_SZ \"5\"\n"
    "  AlwayOnTop = REG_SZ \"0\"\n"
    "  RequL = REG_SZ \"0\"\n"
    "  SavePos = REG_SZ \"0\"\n"
    "  ShowIcon = REG_SZ \"0\"\n"
    "  MouseSpeed = REG_SZ \"2\"\n"
    "  H sensitivity = REG_SZ \"5\"\n"
    "  V sensitivity = REG_SZ \"5\"\n"
    "  First Run = REG_SZ \"Yes\"\n"
    "  Middle Enable = REG_SZ \"0\"\n"
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\n"
    "  VP95 = REG_SZ \"c:\\vx95\\vp95.exe\"\n"
    "System\\CurrentControlSet\\Services\\Class\\Mouse\\0000\n"
    "  DevLoader = REG_SZ \"*vmouse\"\n"
    "  DriverDesc = REG_SZ \"Tarvik Win95 Driver Plug and Play V2.18\"\n"
    "  InfPath = REG_SZ \"vxmouse.inf\"\n"
    "  MouseDriver = REG_SZ \"vxmouse.vxd\"\n"
    "  MouseType = REG_SZ \"Serial\"\n"
    "  InfSection = REG_SZ \"No.ULV.Default\"\n"
    "  NoSetupUI = REG_SZ \"1\"\n"
    "  Ver = REG_SZ \"2.18\"\n"
    "System\\CurrentControlSet\\Services\\VxD\\VMSMOUSE\n"
    "  StaticVxD = REG_SZ \"vxmouse.vxd\"\n";

bool IsWrite(RegOp op) { return op == RegOp::kCreate || op == RegOp::kSetText || op == RegOp::kSetNone; }

std::string Describe(const RegOperation& operation) {
  return std::string(RegOpName(operation.op)) + " " + operation.path +
         (operation.name.empty() ? "" : " [" + operation.name + "]");
}

std::vector<std::string> Describe(const std::vector<RegOperation>& operations) {
  std::vector<std::string> lines;
  lines.reserve(operations.size());
  for (const RegOperation& operation : operations) lines.push_back(Describe(operation));
  return lines;
}

TEST(RegistryPass, CleanInstallWritesEveryKeyWithExactBytes) {
  MemoryRegistry registry;
  RecordingShortcut shortcut(registry);

  EXPECT_EQ(vx::WriteRegistryEntries(registry, kExpressDir, shortcut), 0);

  EXPECT_EQ(registry.Dump(), kCleanInstall);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
  EXPECT_EQ(registry.BadHandleUses(), 0u);

  // Text values carry exactly one terminating NUL; ConfigFlags is not a text.
  const RegValue* vp95 = registry.FindValue(kRun, "VP95");
  ASSERT_NE(vp95, nullptr);
  EXPECT_EQ(vp95->type, kRegSz);
  const char kPath[] = "c:\\vx95\\vp95.exe";
  EXPECT_EQ(vp95->bytes, std::vector<uint8_t>(kPath, kPath + sizeof kPath));
  const RegValue* flags = registry.FindValue(kRoot0000, "ConfigFlags");
  ASSERT_NE(flags, nullptr);
  EXPECT_EQ(flags->type, kRegNone);
  EXPECT_EQ(flags->bytes, std::vector<uint8_t>(4, 0));
}

TEST(RegistryPass, EveryWrittenKeyIsFlushedAndClosedAfterItsLastValue) {
  MemoryRegistry registry;
  RecordingShortcut shortcut(registry);
  ASSERT_EQ(vx::WriteRegistryEntries(registry, kExpressDir, shortcut), 0);

  const std::vector<std::string> keys = {kSettings, kRun, kVxd, kClass0000, kRoot0000};
  const auto& ops = registry.operations();
  for (const std::string& key : keys) {
    SCOPED_TRACE(key);
    size_t lastWrite = 0;
    size_t flush = 0;
    size_t close = 0;
    for (size_t i = 0; i < ops.size(); ++i) {
      if (ops[i].path != key) continue;
      if (ops[i].op == RegOp::kSetText || ops[i].op == RegOp::kSetNone) lastWrite = i;
      if (ops[i].op == RegOp::kFlush) flush = i;
      if (ops[i].op == RegOp::kClose) close = i;
    }
    EXPECT_EQ(flush, lastWrite + 1);
    EXPECT_EQ(close, flush + 1);
  }
}

TEST(RegistryPass, ShortcutIsMadeOnceBetweenRunValueAndDriverRegistration) {
  MemoryRegistry registry;
  RecordingShortcut shortcut(registry);
  ASSERT_EQ(vx::WriteRegistryEntries(registry, kExpressDir, shortcut), 0);

  ASSERT_EQ(shortcut.programPaths, std::vector<std::string>{"c:\\vx95\\vp95.exe"});
  const auto& ops = registry.operations();
  const size_t at = shortcut.operationCounts[0];
  ASSERT_GT(at, 0u);
  ASSERT_LT(at, ops.size());
  EXPECT_EQ(Describe(ops[at - 1]), std::string("close ") + kRun);
  EXPECT_EQ(Describe(ops[at]), std::string("create ") + kVxd);
}

struct ProgramPathCase {
  const char* title;
  std::string installDir;
  int result;
  const char* runValue;  // nullptr: no "VP95" is written and no shortcut made
};

TEST(RegistryPass, ProgramPathIsWrittenWholeOrNotAtAll) {
  const std::string longest = "c:\\" + std::string(247, 'd') + "\\";  // 251 + "vp95.exe" = 259
  const std::string tooLong = "c:\\" + std::string(248, 'd') + "\\";
  const std::string longestPath = longest + "vp95.exe";
  const ProgramPathCase cases[] = {
      {"express directory", "c:\\vx95\\", 0, "c:\\vx95\\vp95.exe"},
      {"custom directory", "d:\\tools\\mouse\\", 0, "d:\\tools\\mouse\\vp95.exe"},
      {"path filling the whole buffer", longest, 0, longestPath.c_str()},
      {"path one byte too long", tooLong, 23, nullptr},
  };
  for (const ProgramPathCase& c : cases) {
    SCOPED_TRACE(c.title);
    MemoryRegistry registry;
    RecordingShortcut shortcut(registry);

    EXPECT_EQ(vx::WriteRegistryEntries(registry, c.installDir.c_str(), shortcut), c.result);

    EXPECT_EQ(registry.OpenHandleCount(), 0u);
    EXPECT_TRUE(registry.HasKey(kRun));
    const RegValue* vp95 = registry.FindValue(kRun, "VP95");
    if (c.runValue == nullptr) {
      EXPECT_EQ(vp95, nullptr);
      EXPECT_TRUE(shortcut.programPaths.empty());
      EXPECT_FALSE(registry.HasKey(kVxd));
      EXPECT_EQ(Describe(registry.operations().back()), std::string("close ") + kRun);
    } else {
      ASSERT_NE(vp95, nullptr);
      EXPECT_EQ(*vp95, TextValue(c.runValue));
      EXPECT_EQ(shortcut.programPaths, std::vector<std::string>{c.runValue});
    }
  }
}

TEST(RegistryPass, RerunOverwritesTheSettingsAndKeepsOtherValues) {
  MemoryRegistry registry;
  registry.PutText(kSettings, "DoubleClickSpeed", "900");
  registry.PutText(kSettings, "UserColor", "7");
  registry.PutText(kSettings, "First Run", "No");
  registry.PutText(kRun, "VP95", "e:\\old\\vp95.exe");
  registry.PutText(kRun, "SysTray", "systray.exe");
  RecordingShortcut shortcut(registry);

  ASSERT_EQ(vx::WriteRegistryEntries(registry, "c:\\new\\", shortcut), 0);

  EXPECT_EQ(registry.Dump(kSettings),
            "SOFTWARE\\Corvessa\\CurrentVersion\\Trellion95\n"
            "  DoubleClickSpeed = REG_SZ \"500\"\n"
            "  UserColor = REG_SZ \"7\"\n"
            "  First Run = REG_SZ \"Yes\"\n"
            "  SwapMouseButtons = REG_SZ \"No\"\n"
            "  assignButton = REG_SZ \"0\"\n"
            "  assignMiddle = REG_SZ \"00\"\n"
            "  assignRight = REG_SZ \"00\"\n"
            "  Cur_color = REG_SZ \"1\"\n"
            "  Cur_point = REG_SZ \"1\"\n"
            "  Cur_size = REG_SZ \"1\"\n"
            "  IconPosH = REG_SZ \"000\"\n"
            "  IconPosV = REG_SZ \"000\"\n"
            "  PGTrigSpeed = REG_SZ \"5\"\n"
            "  PtGrowth = REG_SZ \"0\"\n"
            "  ShrinkTime = REG_SZ \"5\"\n"
            "  AlwayOnTop = REG_SZ \"0\"\n"
            "  RequL = REG_SZ \"0\"\n"
            "  SavePos = REG_SZ \"0\"\n"
            "  ShowIcon = REG_SZ \"0\"\n"
            "  MouseSpeed = REG_SZ \"2\"\n"
            "  H sensitivity = REG_SZ \"5\"\n"
            "  V sensitivity = REG_SZ \"5\"\n"
            "  Middle Enable = REG_SZ \"0\"\n");
  EXPECT_EQ(registry.Dump(kRun),
            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\n"
            "  VP95 = REG_SZ \"c:\\new\\vp95.exe\"\n"
            "  SysTray = REG_SZ \"systray.exe\"\n");
}

struct StepCase {
  RegOp op;
  const char* path;
  const char* name;
  int step;
};

// Each write of the pass on an empty registry, failed on its own, and the step
// number the pass must then return.
// clang-format off
const StepCase kStepCases[] = {
    {RegOp::kCreate,  kSettings, "", 1},
    {RegOp::kSetText, kSettings, "DoubleClickSpeed", 2},
    {RegOp::kSetText, kSettings, "SwapMouseButtons", 3},
    {RegOp::kSetText, kSettings, "assignButton", 4},
    {RegOp::kSetText, kSettings, "assignMiddle", 5},
    {RegOp::kSetText, kSettings, "assignRight", 6},
    {RegOp::kSetText, kSettings, "Cur_color", 7},
    {RegOp::kSetText, kSettings, "Cur_point", 8},
    {RegOp::kSetText, kSettings, "Cur_size", 9},
    {RegOp::kSetText, kSettings, "IconPosH", 10},
    {RegOp::kSetText, kSettings, "IconPosV", 11},
    {RegOp::kSetText, kSettings, "PGTrigSpeed", 12},
    {RegOp::kSetText, kSettings, "PtGrowth", 13},
    {RegOp::kSetText, kSettings, "ShrinkTime", 14},
    {RegOp::kSetText, kSettings, "AlwayOnTop", 15},
    {RegOp::kSetText, kSettings, "RequL", 16},
    {RegOp::kSetText, kSettings, "SavePos", 17},
    {RegOp::kSetText, kSettings, "ShowIcon", 18},
    {RegOp::kSetText, kSettings, "MouseSpeed", 19},
    {RegOp::kSetText, kSettings, "H sensitivity", 20},
    {RegOp::kSetText, kSettings, "V sensitivity", 21},
    {RegOp::kSetText, kSettings, "First Run", 22},
    {RegOp::kSetText, kSettings, "Middle Enable", 22},
    {RegOp::kCreate,  kRun, "", 22},
    {RegOp::kSetText, kRun, "VP95", 23},
    {RegOp::kCreate,  kVxd, "", 24},
    {RegOp::kSetText, kVxd, "StaticVxD", 25},
    {RegOp::kCreate,  kClass0000, "", 26},
    {RegOp::kSetText, kClass0000, "DevLoader", 27},
    {RegOp::kSetText, kClass0000, "DriverDesc", 27},
    {RegOp::kSetText, kClass0000, "InfPath", 27},
    {RegOp::kSetText, kClass0000, "MouseDriver", 28},
    {RegOp::kSetText, kClass0000, "MouseType", 27},
    {RegOp::kSetText, kClass0000, "InfSection", 27},
    {RegOp::kSetText, kClass0000, "NoSetupUI", 27},
    {RegOp::kSetText, kClass0000, "Ver", 27},
    {RegOp::kCreate,  kRoot0000, "", 26},
    {RegOp::kSetText, kRoot0000, "Class", 27},
    {RegOp::kSetText, kRoot0000, "Driver", 28},
    {RegOp::kSetText, kRoot0000, "Mfg", 29},
    {RegOp::kSetText, kRoot0000, "HardwareID", 29},
    {RegOp::kSetNone, kRoot0000, "ConfigFlags", 27},
    {RegOp::kSetText, kRoot0000, "DeviceDesc", 27},
};
// clang-format on

TEST(RegistryPass, EachFailingWriteReturnsItsStepAndStopsThePass) {
  MemoryRegistry clean;
  RecordingShortcut cleanShortcut(clean);
  ASSERT_EQ(vx::WriteRegistryEntries(clean, kExpressDir, cleanShortcut), 0);
  const std::vector<std::string> cleanOps = Describe(clean.operations());

  for (const StepCase& c : kStepCases) {
    SCOPED_TRACE(std::string(RegOpName(c.op)) + " " + c.path + " [" + c.name + "]");
    MemoryRegistry registry;
    registry.FailWhere(c.op, c.path, c.name);
    RecordingShortcut shortcut(registry);

    EXPECT_EQ(vx::WriteRegistryEntries(registry, kExpressDir, shortcut), c.step);

    const auto& ops = registry.operations();
    size_t failed = ops.size();
    for (size_t i = 0; i < ops.size(); ++i) {
      if (ops[i].injected) {
        EXPECT_EQ(failed, ops.size()) << "a second injected failure at " << i;
        failed = i;
      }
    }
    ASSERT_LT(failed, ops.size());
    // Up to the failure the pass did exactly what a clean pass does...
    const std::vector<std::string> done = Describe(ops);
    EXPECT_EQ(std::vector<std::string>(done.begin(), done.begin() + failed),
              std::vector<std::string>(cleanOps.begin(), cleanOps.begin() + failed));
    // ...and after it only closed the key it held.
    for (size_t i = failed + 1; i < ops.size(); ++i) EXPECT_EQ(ops[i].op, RegOp::kClose) << Describe(ops[i]);
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
    EXPECT_EQ(registry.BadHandleUses(), 0u);
    EXPECT_EQ(shortcut.programPaths.size(), c.step >= 24 ? 1u : 0u);
  }
}

// One failure at every position of a clean pass in turn, as a failure schedule
// drives it: a failed write always yields a step number with nothing written
// after it; a failed open, read, enumeration or flush never does, and no key is
// ever left open. And the pass stopped at every position, as when its process
// ends there, then run again: it leaves what one clean pass leaves, to the byte.
TEST(RegistryPass, SingleFailureOrStopAtAnyPositionKeepsTheRules) {
  const auto arrange = [](MemoryRegistry& r) {
    r.PutText("System\\CurrentControlSet\\Services\\Class\\Mouse\\0000", "MouseDriver", "msmouse.vxd");
    r.PutText(kRoot0000, "DeviceDesc", "Standard Serial Mouse");
  };
  MemoryRegistry clean;
  arrange(clean);
  RecordingShortcut cleanShortcut(clean);
  ASSERT_EQ(vx::WriteRegistryEntries(clean, kExpressDir, cleanShortcut), 0);
  const size_t count = clean.operations().size();

  for (size_t index = 0; index < count; ++index) {
    SCOPED_TRACE("call " + std::to_string(index) + ", " + Describe(clean.operations()[index]) +
                 ": failed alone, or the pass stopped before it");
    MemoryRegistry stopped;
    arrange(stopped);
    stopped.StopAt(index);
    RecordingShortcut stoppedShortcut(stopped);
    vx::WriteRegistryEntries(stopped, kExpressDir, stoppedShortcut);
    stopped.StopAt(SIZE_MAX);
    EXPECT_EQ(vx::WriteRegistryEntries(stopped, kExpressDir, stoppedShortcut), 0);
    EXPECT_EQ(stopped.Dump(), clean.Dump());

    MemoryRegistry registry;
    arrange(registry);
    registry.FailAt({index});
    RecordingShortcut shortcut(registry);

    const int result = vx::WriteRegistryEntries(registry, kExpressDir, shortcut);

    EXPECT_GE(result, 0);
    EXPECT_LE(result, 29);
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
    EXPECT_EQ(registry.BadHandleUses(), 0u);
    const auto& ops = registry.operations();
    const RegOp failedOp = clean.operations()[index].op;
    if (IsWrite(failedOp)) {
      EXPECT_NE(result, 0);
      for (size_t i = index + 1; i < ops.size(); ++i) EXPECT_FALSE(IsWrite(ops[i].op)) << Describe(ops[i]);
    } else if (failedOp != RegOp::kClose) {
      // A failed scan step changes where the driver goes, never whether the
      // pass can go on: every write still finds its key.
      EXPECT_TRUE(result == 0) << "result " << result;
    }
  }
}

}  // namespace
}  // namespace vxtest
