// Where the driver registration writes: the search for an earlier class key, the
// takeover of the highest one, the brand device check and the first free root
// device number; and what DeletePnpMouseKeys removes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "memory_registry.h"
#include "registration/registry_pass.h"

namespace vxtest {
namespace {

const char kMouseClass[] = "System\\CurrentControlSet\\Services\\Class\\Mouse";
const char kRootMouse[] = "Enum\\Root\\Mouse";

std::string ClassKey(const std::string& digits) { return std::string(kMouseClass) + "\\" + digits; }
std::string RootDevice(const std::string& digits) { return std::string(kRootMouse) + "\\" + digits; }

std::string FourDigits(unsigned number) {
  char text[8];
  std::snprintf(text, sizeof text, "%04u", number);
  return text;
}

void OtherClassKey(MemoryRegistry& r, const std::string& digits) {
  r.PutText(ClassKey(digits), "DriverDesc", "Standard Serial Mouse");
  r.PutText(ClassKey(digits), "MouseDriver", "*serial");
}

void RootDeviceWith(MemoryRegistry& r, const std::string& digits, const std::string& description) {
  r.PutText(RootDevice(digits), "Class", "Mouse");
  r.PutText(RootDevice(digits), "DeviceDesc", description);
}

struct ScanCase {
  const char* title;
  std::function<void(MemoryRegistry&)> arrange;
  const char* classKey;       // the class instance that must receive the driver's values
  const char* newRootDevice;  // the root device that must be created; nullptr: Enum\Root\Mouse unchanged
  int result;
};

// clang-format off
const ScanCase kScanCases[] = {
    {"empty registry", [](MemoryRegistry&) {}, "0000", "0000", 0},
    {"only 0000 of another driver: taken over",
     [](MemoryRegistry& r) { OtherClassKey(r, "0000"); }, "0000", "0000", 0},
    {"earlier installation inside the run, any letter case",
     [](MemoryRegistry& r) {
       OtherClassKey(r, "0000");
       r.PutText(ClassKey("0001"), "MouseDriver", "C:\\WINDOWS\\SYSTEM\\VXMouse.VxD");
       OtherClassKey(r, "0002");
     },
     "0001", "0000", 0},
    {"earlier installation after a gap: the highest key is taken",
     [](MemoryRegistry& r) {
       OtherClassKey(r, "0000");
       r.PutText(ClassKey("0002"), "MouseDriver", "vxmouse.vxd");
       OtherClassKey(r, "0004");
     },
     "0004", "0000", 0},
    {"earlier installation after a gap and highest",
     [](MemoryRegistry& r) {
       OtherClassKey(r, "0000");
       r.PutText(ClassKey("0003"), "MouseDriver", "vxmouse.vxd");
     },
     "0003", "0000", 0},
    {"earlier key without MouseDriver does not stop the search",
     [](MemoryRegistry& r) {
       r.AddKey(ClassKey("0000"));
       r.PutText(ClassKey("0001"), "MouseDriver", "vxmouse.vxd");
       OtherClassKey(r, "0002");
     },
     "0001", "0000", 0},
    {"MouseDriver of 127 characters fits the buffer",
     [](MemoryRegistry& r) {
       OtherClassKey(r, "0000");
       r.PutText(ClassKey("0001"), "MouseDriver", std::string(116, 'x') + "vxmouse.vxd");
       OtherClassKey(r, "0002");
     },
     "0001", "0000", 0},
    {"MouseDriver of 128 characters does not",
     [](MemoryRegistry& r) {
       OtherClassKey(r, "0000");
       r.PutText(ClassKey("0001"), "MouseDriver", std::string(117, 'x') + "vxmouse.vxd");
       OtherClassKey(r, "0002");
     },
     "0002", "0000", 0},
    {"no Mouse class key", [](MemoryRegistry& r) { r.AddKey("System\\CurrentControlSet\\Services\\Class\\Ports\\0003"); },
     "0000", "0000", 0},
    {"Mouse class key without numbered subkeys",
     [](MemoryRegistry& r) {
       r.AddKey(ClassKey("Default"));
       r.AddKey(ClassKey("0a12"));
       r.AddKey(ClassKey("X01"));
       r.AddKey(ClassKey("7"));
     },
     "0000", "0000", 0},
    {"any first character and three digits count by the digits",
     [](MemoryRegistry& r) {
       r.AddKey(ClassKey("X012"));
       r.AddKey(ClassKey("Z005"));
     },
     "0012", "0000", 0},
    {"characters after the fourth are ignored",
     [](MemoryRegistry& r) { r.AddKey(ClassKey("#0123456")); }, "0012", "0000", 0},
    {"a leading 1 is not a thousand",
     [](MemoryRegistry& r) {
       r.AddKey(ClassKey("1002"));
       r.AddKey(ClassKey("0003"));
     },
     "0003", "0000", 0},
    {"brand device inside the run, linked to another class key",
     [](MemoryRegistry& r) {
       RootDeviceWith(r, "0000", "Standard Serial Mouse");
       RootDeviceWith(r, "0001", "TARVIK Win95 Mouse");
       r.PutText(RootDevice("0001"), "Driver", "Mouse\\0007");
     },
     "0000", nullptr, 0},
    {"brand device after a gap is not seen; the gap is filled",
     [](MemoryRegistry& r) {
       RootDeviceWith(r, "0000", "Standard Serial Mouse");
       RootDeviceWith(r, "0002", "Tarvik Win95 Driver Plug and Play V2.18");
     },
     "0000", "0001", 0},
    {"brand word in another value only",
     [](MemoryRegistry& r) {
       RootDeviceWith(r, "0000", "Standard Serial Mouse");
       r.PutText(RootDevice("0000"), "Mfg", "Tarvik");
     },
     "0000", "0001", 0},
    {"DeviceDesc longer than 255 characters is not read",
     [](MemoryRegistry& r) { RootDeviceWith(r, "0000", std::string(250, ' ') + "tarvik"); },
     "0000", "0001", 0},
    {"DeviceDesc of 255 characters is",
     [](MemoryRegistry& r) { RootDeviceWith(r, "0000", std::string(249, ' ') + "tarvik"); },
     "0000", nullptr, 0},
    {"all 1000 root devices taken, none of the brand",
     [](MemoryRegistry& r) {
       for (unsigned n = 0; n < 1000; ++n) RootDeviceWith(r, FourDigits(n), "Standard Serial Mouse");
     },
     "0000", nullptr, 26},
    {"all 1000 root devices taken, the last of the brand",
     [](MemoryRegistry& r) {
       for (unsigned n = 0; n < 999; ++n) RootDeviceWith(r, FourDigits(n), "Standard Serial Mouse");
       RootDeviceWith(r, "0999", "tarvik");
     },
     "0000", nullptr, 0},
};
// clang-format on

size_t KeysWithValue(const MemoryRegistry& r, const std::string& parent, const std::string& name,
                     const std::string& text) {
  size_t count = 0;
  for (const std::string& child : r.SubkeyNames(parent)) {
    const RegValue* value = r.FindValue(parent + "\\" + child, name);
    if (value != nullptr && *value == TextValue(text)) ++count;
  }
  return count;
}

TEST(DriverRegistration, FindsTheClassKeyAndTheRootDevice) {
  for (const ScanCase& c : kScanCases) {
    SCOPED_TRACE(c.title);
    MemoryRegistry registry;
    c.arrange(registry);
    const std::vector<std::string> rootsBefore = registry.SubkeyNames(kRootMouse);
    const std::string rootDumpBefore = registry.Dump(kRootMouse);
    RecordingShortcut shortcut(registry);

    EXPECT_EQ(vx::WriteRegistryEntries(registry, "c:\\vx95\\", shortcut), c.result);

    EXPECT_EQ(registry.OpenHandleCount(), 0u);
    EXPECT_EQ(registry.BadHandleUses(), 0u);
    // The driver's values land in exactly one class key: the expected one.
    EXPECT_EQ(KeysWithValue(registry, kMouseClass, "DevLoader", "*vmouse"), 1u);
    const RegValue* mouseDriver = registry.FindValue(ClassKey(c.classKey), "MouseDriver");
    ASSERT_NE(mouseDriver, nullptr);
    EXPECT_EQ(*mouseDriver, TextValue("vxmouse.vxd"));

    if (c.newRootDevice == nullptr) {
      EXPECT_EQ(registry.Dump(kRootMouse), rootDumpBefore);
      continue;
    }
    EXPECT_EQ(std::count(rootsBefore.begin(), rootsBefore.end(), c.newRootDevice), 0);
    EXPECT_EQ(registry.SubkeyNames(kRootMouse).size(), rootsBefore.size() + 1);
    const RegValue* driver = registry.FindValue(RootDevice(c.newRootDevice), "Driver");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(*driver, TextValue(std::string("Mouse\\") + c.classKey));
  }
}

TEST(DriverRegistration, ReusedClassKeyKeepsItsOtherValues) {
  MemoryRegistry registry;
  registry.PutText(ClassKey("0000"), "MouseDriver", "VXMOUSE.VXD");
  registry.PutText(ClassKey("0000"), "Ver", "2.10");
  registry.PutText(ClassKey("0000"), "PortName", "COM2");
  RecordingShortcut shortcut(registry);

  ASSERT_EQ(vx::WriteRegistryEntries(registry, "c:\\vx95\\", shortcut), 0);

  EXPECT_EQ(registry.Dump(kMouseClass),
            "System\\CurrentControlSet\\Services\\Class\\Mouse\\0000\n"
            "  MouseDriver = REG_SZ \"vxmouse.vxd\"\n"
            "  Ver = REG_SZ \"2.18\"\n"
            "  PortName = REG_SZ \"COM2\"\n"
            "  DevLoader = REG_SZ \"*vmouse\"\n"
            "  DriverDesc = REG_SZ \"Tarvik Win95 Driver Plug and Play V2.18\"\n"
            "  InfPath = REG_SZ \"vxmouse.inf\"\n"
            "  MouseType = REG_SZ \"Serial\"\n"
            "  InfSection = REG_SZ \"No.ULV.Default\"\n"
            "  NoSetupUI = REG_SZ \"1\"\n");
}

TEST(DriverRegistration, SecondRunReusesBothKeysAndAddsNoDevice) {
  MemoryRegistry registry;
  OtherClassKey(registry, "0000");
  RecordingShortcut shortcut(registry);
  ASSERT_EQ(vx::WriteRegistryEntries(registry, "c:\\vx95\\", shortcut), 0);
  const std::string afterFirst = registry.Dump();

  vx::DeletePnpMouseKeys(registry);
  ASSERT_EQ(vx::WriteRegistryEntries(registry, "c:\\vx95\\", shortcut), 0);

  EXPECT_EQ(registry.Dump(), afterFirst);
  EXPECT_EQ(registry.SubkeyNames(kRootMouse), std::vector<std::string>{"0000"});
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

const char kHexDigits[] = "0123456789ABCDEF";

void ArrangePnpMouseKeys(MemoryRegistry& r) {
  for (char first = '0'; first <= '9'; ++first) {
    for (const char* second = kHexDigits; *second != '\0'; ++second) {
      const std::string key = std::string("Enum\\Root\\*PNP0F") + first + *second;
      r.PutText(key + "\\0000", "HardwareID", key.substr(10));
      r.PutText(key + "\\0000\\LogConfig", "Boot", "1");
    }
  }
}

TEST(DeletePnpMouseKeys, RemovesTheHundredAndSixtyKeysWithTheirSubtrees) {
  MemoryRegistry registry;
  ArrangePnpMouseKeys(registry);
  // Neighbours that are not among the 160 names.
  registry.PutText("Enum\\Root\\*PNP0FA0\\0000", "HardwareID", "*PNP0FA0");
  registry.PutText("Enum\\Root\\*PNP0F0G\\0000", "HardwareID", "*PNP0F0G");
  registry.PutText("Enum\\Root\\*PNP0F000\\0000", "HardwareID", "*PNP0F000");
  registry.PutText("Enum\\Root\\*PNP0F\\0000", "HardwareID", "*PNP0F");
  registry.PutText("Enum\\Root\\*PNP0E0F\\0000", "HardwareID", "*PNP0E0F");
  registry.PutText("Enum\\Root\\Mouse\\0000", "HardwareID", "*PNP0F0C");
  registry.PutText("Enum\\BIOS\\*PNP0F13\\0000", "HardwareID", "*PNP0F13");

  vx::DeletePnpMouseKeys(registry);

  EXPECT_EQ(registry.Dump(),
            "Enum\\BIOS\\*PNP0F13\\0000\n"
            "  HardwareID = REG_SZ \"*PNP0F13\"\n"
            "Enum\\Root\\*PNP0E0F\\0000\n"
            "  HardwareID = REG_SZ \"*PNP0E0F\"\n"
            "Enum\\Root\\*PNP0F\\0000\n"
            "  HardwareID = REG_SZ \"*PNP0F\"\n"
            "Enum\\Root\\*PNP0F000\\0000\n"
            "  HardwareID = REG_SZ \"*PNP0F000\"\n"
            "Enum\\Root\\*PNP0F0G\\0000\n"
            "  HardwareID = REG_SZ \"*PNP0F0G\"\n"
            "Enum\\Root\\*PNP0FA0\\0000\n"
            "  HardwareID = REG_SZ \"*PNP0FA0\"\n"
            "Enum\\Root\\Mouse\\0000\n"
            "  HardwareID = REG_SZ \"*PNP0F0C\"\n");
}

TEST(DeletePnpMouseKeys, DeletesInOrderAndDoesNothingElse) {
  MemoryRegistry registry;
  registry.PutText("Enum\\Root\\Mouse\\0000", "HardwareID", "*PNP0F0C");
  const std::string before = registry.Dump();

  vx::DeletePnpMouseKeys(registry);

  EXPECT_EQ(registry.Dump(), before);
  const auto& ops = registry.operations();
  ASSERT_EQ(ops.size(), 160u);
  std::vector<std::string> paths;
  for (const RegOperation& op : ops) {
    EXPECT_EQ(op.op, RegOp::kDeleteTree);
    paths.push_back(op.path.substr(sizeof "Enum\\Root\\" - 1));
  }
  const std::vector<std::string> firstSeventeen = {
      "*PNP0F00", "*PNP0F01", "*PNP0F02", "*PNP0F03", "*PNP0F04", "*PNP0F05", "*PNP0F06", "*PNP0F07", "*PNP0F08",
      "*PNP0F09", "*PNP0F0A", "*PNP0F0B", "*PNP0F0C", "*PNP0F0D", "*PNP0F0E", "*PNP0F0F", "*PNP0F10"};
  EXPECT_EQ(std::vector<std::string>(paths.begin(), paths.begin() + 17), firstSeventeen);
  EXPECT_EQ(paths.back(), "*PNP0F9F");
  for (const std::string& path : paths) EXPECT_EQ(path.compare(0, 6, "*PNP0F"), 0) << path;
}

// Key names are compared without case in the registry, so a device key written
// in lower case by some other installer is the same key and goes too.
TEST(DeletePnpMouseKeys, LowerCaseNamesAreTheSameKeys) {
  MemoryRegistry registry;
  registry.PutText("ENUM\\root\\*pnp0f0c\\0000", "HardwareID", "*pnp0f0c");
  registry.PutText("Enum\\Root\\*PNP0F0a\\0000", "HardwareID", "*PNP0F0a");

  vx::DeletePnpMouseKeys(registry);

  EXPECT_EQ(registry.Dump(), "ENUM\\root\n");
}

}  // namespace
}  // namespace vxtest
