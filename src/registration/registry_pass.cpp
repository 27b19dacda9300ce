#include "registration/registry_pass.h"

#include <stdint.h>

#include "shell/bounded_text.h"

namespace vx {
namespace {

// How a value's data is formed.
enum class ValueKind {
  kText,        // the row's own text
  kPassedText,  // a text formed at run time and passed to WriteKey
  kZeroFlags,   // four zero bytes of type REG_NONE
};

struct ValueRow {
  const char* name;
  ValueKind kind;
  const char* text;  // data of a kText row
  int failureStep;   // the pass's result when this value cannot be written
};

constexpr char kSettingsKey[] = "SOFTWARE\\Corvessa\\CurrentVersion\\Trellion95";
constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kStaticVxdKey[] = "System\\CurrentControlSet\\Services\\VxD\\VMSMOUSE";
constexpr char kMouseClassKey[] = "System\\CurrentControlSet\\Services\\Class\\Mouse";
constexpr char kClassInstancePrefix[] = "System\\CurrentControlSet\\Services\\Class\\Mouse\\";
constexpr char kRootDevicePrefix[] = "Enum\\Root\\Mouse\\";
constexpr char kDriverLinkPrefix[] = "Mouse\\";
constexpr char kPnpMousePrefix[] = "Enum\\Root\\*PNP0F";
constexpr char kDriverDescription[] = "Tarvik Win95 Driver Plug and Play V2.18";
constexpr char kProgramName[] = "vp95.exe";

// The utility reads these at its first start; Setup never interprets them.
// "First Run" and "Middle Enable" share step 22 with the Run key.
// clang-format off
constexpr ValueRow kDefaultSettings[] = {
    {"DoubleClickSpeed", ValueKind::kText, "500", 2},
    {"SwapMouseButtons", ValueKind::kText, "No",  3},
    {"assignButton",     ValueKind::kText, "0",   4},
    {"assignMiddle",     ValueKind::kText, "00",  5},
    {"assignRight",      ValueKind::kText, "00",  6},
    {"Cur_color",        ValueKind::kText, "1",   7},
    {"Cur_point",        ValueKind::kText, "1",   8},
    {"Cur_size",         ValueKind::kText, "1",   9},
    {"IconPosH",         ValueKind::kText, "000", 10},
    {"IconPosV",         ValueKind::kText, "000", 11},
    {"PGTrigSpeed",      ValueKind::kText, "5",   12},
    {"PtGrowth",         ValueKind::kText, "0",   13},
    {"ShrinkTime",       ValueKind::kText, "5",   14},
    {"AlwayOnTop",       ValueKind::kText, "0",   15},
    {"RequL",            ValueKind::kText, "0",   16},
    {"SavePos",          ValueKind::kText, "0",   17},
    {"ShowIcon",         ValueKind::kText, "0",   18},
    {"MouseSpeed",       ValueKind::kText, "2",   19},
    {"H sensitivity",    ValueKind::kText, "5",   20},
    {"V sensitivity",    ValueKind::kText, "5",   21},
    {"First Run",        ValueKind::kText, "Yes", 22},
    {"Middle Enable",    ValueKind::kText, "0",   22},
};
// clang-format on

// The program path of the utility, so Windows starts it at every start-up.
constexpr ValueRow kRunValues[] = {
    {"VP95", ValueKind::kPassedText, nullptr, 23},
};

// Windows 95 loads the mouse VxD named here at boot, before Plug and Play runs.
constexpr ValueRow kStaticVxdValues[] = {
    {"StaticVxD", ValueKind::kText, "vxmouse.vxd", 25},
};

// clang-format off
constexpr ValueRow kClassKeyValues[] = {
    {"DevLoader",   ValueKind::kText, "*vmouse",           27},
    {"DriverDesc",  ValueKind::kText, kDriverDescription,  27},
    {"InfPath",     ValueKind::kText, "vxmouse.inf",       27},
    {"MouseDriver", ValueKind::kText, "vxmouse.vxd",       28},
    {"MouseType",   ValueKind::kText, "Serial",            27},
    {"InfSection",  ValueKind::kText, "No.ULV.Default",    27},
    {"NoSetupUI",   ValueKind::kText, "1",                 27},
    {"Ver",         ValueKind::kText, "2.18",              27},
};
// clang-format on

// "Driver" is the passed text: "Mouse\" and the class key's four digits.
// DeviceDesc, which marks the device as the brand's, is written last, so that a
// device key bearing it holds all the others.
// clang-format off
constexpr ValueRow kRootDeviceValues[] = {
    {"Class",       ValueKind::kText,       "Mouse",            27},
    {"Driver",      ValueKind::kPassedText, nullptr,            28},
    {"Mfg",         ValueKind::kText,       "Ulvane Systems",   29},
    {"HardwareID",  ValueKind::kText,       "*PNP0F0C",         29},
    {"ConfigFlags", ValueKind::kZeroFlags,  nullptr,            27},
    {"DeviceDesc",  ValueKind::kText,       kDriverDescription, 27},
};
// clang-format on

constexpr int kSettingsKeyStep = 1;
constexpr int kRunKeyStep = 22;
constexpr int kStaticVxdKeyStep = 24;
constexpr int kDriverKeyStep = 26;  // the class key, or the new root device key

// Class and root device instances are numbered 0000 to 0999.
constexpr unsigned kInstanceCount = 1000;

// Holds every key path the pass forms; the longest is the class instance path.
constexpr size_t kKeyPathCapacity = 64;
static_assert(sizeof kClassInstancePrefix + 4 <= kKeyPathCapacity, "class instance path");
static_assert(sizeof kRootDevicePrefix + 4 <= kKeyPathCapacity, "root device path");
static_assert(sizeof kPnpMousePrefix + 2 <= kKeyPathCapacity, "PnP mouse path");

// Buffers the scans read into; longer values simply do not match.
constexpr size_t kMouseDriverCapacity = 128;
constexpr size_t kDeviceDescCapacity = 256;
constexpr size_t kSubkeyNameCapacity = 128;

// `prefix` followed by the number's four digits: 12 gives "...0012". The
// static_asserts above guarantee the room.
void FormInstancePath(char (&path)[kKeyPathCapacity], const char* prefix, unsigned number) {
  char digits[5];
  FormatFourDigits(digits, sizeof digits, number);
  CopyText(path, sizeof path, prefix);
  AppendText(path, sizeof path, digits);
}

bool OpenInstance(Registry& registry, const char* prefix, unsigned number, RegistryKey* key) {
  char path[kKeyPathCapacity];
  FormInstancePath(path, prefix, number);
  return registry.OpenKey(path, key);
}

bool WriteValue(Registry& registry, RegistryKey key, const ValueRow& row, const char* passedText) {
  switch (row.kind) {
    case ValueKind::kText:
      return registry.SetText(key, row.name, row.text);
    case ValueKind::kPassedText:
      // A text that could not be formed whole counts as a failed write.
      return passedText != nullptr && registry.SetText(key, row.name, passedText);
    case ValueKind::kZeroFlags:
      return registry.SetNoneValue(key, row.name, 0);
  }
  return false;
}

// Creates or opens `path`, writes `rows` in order, then flushes and closes it.
// Returns 0, `createStep` when the key cannot be had, or the failing row's step
// after closing the key; the rows before it stay written.
template <size_t RowCount>
int WriteKey(Registry& registry, const char* path, int createStep, const ValueRow (&rows)[RowCount],
             const char* passedText) {
  RegistryKey key = 0;
  if (!registry.CreateKey(path, &key)) return createStep;
  for (const ValueRow& row : rows) {
    if (!WriteValue(registry, key, row, passedText)) {
      registry.Close(key);
      return row.failureStep;
    }
  }
  registry.Flush(key);
  registry.Close(key);
  return 0;
}

// True when the text value `name` of `key`, lowered, contains `word` (given in
// lower case). A missing value or one longer than the buffer does not match.
template <size_t Capacity>
bool ValueContains(Registry& registry, RegistryKey key, const char* name, const char* word) {
  char text[Capacity];
  if (!registry.ReadText(key, name, text, sizeof text)) return false;
  LowerAscii(text);
  return ContainsText(text, word);
}

// An earlier installation's class key, reused so that a reinstallation does not
// add a second Mouse class instance. Only the unbroken run from 0000 is searched:
// the first number that does not open ends the search.
bool FindEarlierClassKey(Registry& registry, unsigned* classInstance) {
  for (unsigned number = 0; number < kInstanceCount; ++number) {
    RegistryKey key = 0;
    if (!OpenInstance(registry, kClassInstancePrefix, number, &key)) return false;
    const bool ours = ValueContains<kMouseDriverCapacity>(registry, key, "MouseDriver", "vxmouse.vxd");
    registry.Close(key);
    if (ours) {
      *classInstance = number;
      return true;
    }
  }
  return false;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The highest instance number among the Mouse class keys, 0 when there are none:
// the driver takes over the mouse class key that is already there rather than
// adding one beside it. A name counts by its second to fourth characters, the
// first being ignored, so "X012" counts as 12.
unsigned HighestClassInstance(Registry& registry) {
  unsigned highest = 0;
  RegistryKey key = 0;
  if (!registry.OpenKey(kMouseClassKey, &key)) return highest;
  char name[kSubkeyNameCapacity];
  for (uint32_t index = 0; registry.EnumSubkey(key, index, name, sizeof name); ++index) {
    // Each test stops at the terminator, so a short name is never read past.
    if (name[0] == '\0' || !IsDigit(name[1]) || !IsDigit(name[2]) || !IsDigit(name[3])) continue;
    const unsigned number = static_cast<unsigned>((name[1] - '0') * 100 + (name[2] - '0') * 10 + (name[3] - '0'));
    if (number > highest) highest = number;
  }
  registry.Close(key);
  return highest;
}

bool SameBytes(const uint8_t* data, const void* expected, size_t size) {
  const uint8_t* bytes = static_cast<const uint8_t*>(expected);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] != bytes[i]) return false;
  }
  return true;
}

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Value names are compared as the registry compares them, without regard to the
// case of A to Z.
bool SameName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (FoldCase(*a) != FoldCase(*b)) return false;
    if (*a == '\0') return true;
  }
}

// True when `value` is the value of `row` as WriteValue writes it, name, type
// and bytes.
bool IsRowValue(const RegistryValue& value, const ValueRow& row, const char* passedText) {
  if (!SameName(value.name, row.name)) return false;
  if (row.kind == ValueKind::kZeroFlags) {
    constexpr uint8_t kZeroBytes[4] = {};
    return value.type == kRegNone && value.size == sizeof kZeroBytes &&
           SameBytes(value.data, kZeroBytes, sizeof kZeroBytes);
  }
  const char* text = row.kind == ValueKind::kText ? row.text : passedText;
  const size_t size = TextLength(text) + 1;
  return value.type == kRegSz && value.size == size && SameBytes(value.data, text, size);
}

// True when the root device key holds no values, or only values this pass
// writes, each with the data it writes: a run stopped part way left it, and it
// is completed in place rather than left beside a second device. A value that
// cannot be read whole counts as someone else's.
bool IsOwnDevice(Registry& registry, RegistryKey key, const char* driverLink) {
  RegistryValue value = {};
  for (uint32_t index = 0;; ++index) {
    const EnumResult found = registry.EnumValue(key, index, &value);
    if (found == EnumResult::kEnd) return true;
    if (found == EnumResult::kUnreadable) return false;
    bool known = false;
    for (const ValueRow& row : kRootDeviceValues) known = known || IsRowValue(value, row, driverLink);
    if (!known) return false;
  }
}

// Where the driver's root mouse device goes.
enum class DeviceChoice {
  kWrite,       // into the chosen number: this pass's own device, or a free number
  kRegistered,  // nowhere: a device of the brand is registered already
  kAllTaken,    // nowhere: every number from 0000 to 0999 is another device's
};

// Walks the unbroken run of root mouse devices from 0000. The pass's own device
// is completed; otherwise one whose description carries the brand word means
// the driver is registered; the number that ends the run is free.
DeviceChoice ChooseRootDevice(Registry& registry, const char* driverLink, unsigned* rootDevice) {
  for (unsigned number = 0; number < kInstanceCount; ++number) {
    *rootDevice = number;
    RegistryKey key = 0;
    if (!OpenInstance(registry, kRootDevicePrefix, number, &key)) return DeviceChoice::kWrite;
    if (IsOwnDevice(registry, key, driverLink)) {
      registry.Close(key);
      return DeviceChoice::kWrite;
    }
    const bool brand = ValueContains<kDeviceDescCapacity>(registry, key, "DeviceDesc", "tarvik");
    if (brand) registry.Flush(key);
    registry.Close(key);
    if (brand) return DeviceChoice::kRegistered;
  }
  return DeviceChoice::kAllTaken;
}

// The static VxD entry, the driver's Mouse class key and, unless the brand's
// device is registered already, a root mouse device pointing at that class key.
int RegisterMouseDriver(Registry& registry) {
  int step = WriteKey(registry, kStaticVxdKey, kStaticVxdKeyStep, kStaticVxdValues, nullptr);
  if (step != 0) return step;

  unsigned classInstance = 0;
  if (!FindEarlierClassKey(registry, &classInstance)) classInstance = HighestClassInstance(registry);
  char classKey[kKeyPathCapacity];
  FormInstancePath(classKey, kClassInstancePrefix, classInstance);
  step = WriteKey(registry, classKey, kDriverKeyStep, kClassKeyValues, nullptr);
  if (step != 0) return step;

  char driverLink[kKeyPathCapacity];
  FormInstancePath(driverLink, kDriverLinkPrefix, classInstance);
  unsigned rootDevice = 0;
  const DeviceChoice choice = ChooseRootDevice(registry, driverLink, &rootDevice);
  if (choice == DeviceChoice::kRegistered) return 0;
  // With every number taken there is no name left to create.
  if (choice == DeviceChoice::kAllTaken) return kDriverKeyStep;
  char deviceKey[kKeyPathCapacity];
  FormInstancePath(deviceKey, kRootDevicePrefix, rootDevice);
  return WriteKey(registry, deviceKey, kDriverKeyStep, kRootDeviceValues, driverLink);
}

}  // namespace

void DeletePnpMouseKeys(Registry& registry) {
  constexpr char kHexDigits[] = "0123456789ABCDEF";
  char path[kKeyPathCapacity];
  for (char first = '0'; first <= '9'; ++first) {
    for (size_t i = 0; kHexDigits[i] != '\0'; ++i) {
      const char suffix[3] = {first, kHexDigits[i], '\0'};
      CopyText(path, sizeof path, kPnpMousePrefix);
      AppendText(path, sizeof path, suffix);
      registry.DeleteTree(path);
    }
  }
}

int WriteRegistryEntries(Registry& registry, const char* installDir, ShortcutMaker& shortcut) {
  int step = WriteKey(registry, kSettingsKey, kSettingsKeyStep, kDefaultSettings, nullptr);
  if (step != 0) return step;

  // A custom directory may leave no room for the program name; the Run value is
  // then not written at all rather than cut short.
  char programPath[kProgramPathCapacity];
  const bool formed = CopyText(programPath, sizeof programPath, installDir) &&
                      AppendText(programPath, sizeof programPath, kProgramName);
  step = WriteKey(registry, kRunKey, kRunKeyStep, kRunValues, formed ? programPath : nullptr);
  if (step != 0) return step;

  shortcut.MakeShortcut(programPath);

  return RegisterMouseDriver(registry);
}

}  // namespace vx
