// Fuzzes the registry pass over a starting registry and a failure schedule,
// both read from the input, one instruction a line:
//
//   dir TEXT              installDir (else c:\vx95\)
//   key PATH              a key, with any missing parents
//   text PATH|NAME=TEXT   a REG_SZ value
//   bytes PATH|NAME=DATA  a REG_BINARY value of those bytes, no terminator
//   class NAME[=TEXT]     a Mouse class key, with MouseDriver = TEXT if given
//   classes N             Mouse class keys 0000 to N-1 of another driver
//   root NAME[=TEXT]      a root mouse device, with DeviceDesc = TEXT if given
//   roots N               root mouse devices 0000 to N-1 of another mouse
//   pnp SUFFIX            Enum\Root\*PNP0F<SUFFIX> with a device instance
//   fail N                registry call N (from 0, closes counted) fails
//   failwrite K           the K-th create or value write (from 0) of a run
//                         without failures fails, and so every step of the
//                         pass is a small number away
//
// DeletePnpMouseKeys and then WriteRegistryEntries run as the update dialog
// runs them. What must hold:
// - the result is 0 or the step number of the first create or value write that
//   failed, and nothing but the close of its key comes after that failure;
//   without a failed write, 0, or 23 when the program path does not fit, or 26
//   when all 1000 root device numbers are taken;
// - every value written stays; no key is left open and no handle is used
//   after its close;
// - DeletePnpMouseKeys removes exactly the 160 *PNP0F00 to *PNP0F9F keys whose
//   deletion did not fail, and nothing under Enum\Root\Mouse;
// - the shortcut is made once, with the Run value's program path, when the
//   Run value was written;
// - when no call failed, the class key and root device are those the scans
//   must find: an earlier installation's class key in the unbroken run from
//   0000, else the highest numbered one; in the unbroken run of root devices,
//   the first that holds only values the pass writes, with its data, completed
//   in place, else none when a device of the brand comes first, else a new one
//   at the first free number; it ends with the six values, linked to that class
//   key, and every other root device is left as it was.
#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "memory_registry.h"
#include "registration/registry_pass.h"

namespace {

using vxfuzz::Check;
using vxfuzz::Printable;
using vxtest::MemoryRegistry;
using vxtest::RegOp;
using vxtest::RegOperation;
using vxtest::RegValue;

const std::string kSettingsKey = "SOFTWARE\\Corvessa\\CurrentVersion\\Trellion95";
const std::string kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kVxdKey = "System\\CurrentControlSet\\Services\\VxD\\VMSMOUSE";
const std::string kMouseClass = "System\\CurrentControlSet\\Services\\Class\\Mouse";
const std::string kRootMouse = "Enum\\Root\\Mouse";
const std::string kEnumRoot = "Enum\\Root";
const std::string kDefaultInstallDir = "c:\\vx95\\";
constexpr unsigned kInstances = 1000;
constexpr size_t kPathCapacity = 260;

struct NamedStep {
  const char* name;
  int step;
};

// The step number of each value the pass writes, per key.
// clang-format off
const NamedStep kSettingsSteps[] = {
    {"DoubleClickSpeed", 2}, {"SwapMouseButtons", 3}, {"assignButton", 4}, {"assignMiddle", 5},
    {"assignRight", 6},      {"Cur_color", 7},        {"Cur_point", 8},    {"Cur_size", 9},
    {"IconPosH", 10},        {"IconPosV", 11},        {"PGTrigSpeed", 12}, {"PtGrowth", 13},
    {"ShrinkTime", 14},      {"AlwayOnTop", 15},      {"RequL", 16},       {"SavePos", 17},
    {"ShowIcon", 18},        {"MouseSpeed", 19},      {"H sensitivity", 20}, {"V sensitivity", 21},
    {"First Run", 22},       {"Middle Enable", 22},
};
// clang-format on
const NamedStep kRunSteps[] = {{"VP95", 23}};
const NamedStep kVxdSteps[] = {{"StaticVxD", 25}};
// clang-format off
const NamedStep kClassSteps[] = {
    {"DevLoader", 27}, {"DriverDesc", 27}, {"InfPath", 27}, {"MouseDriver", 28},
    {"MouseType", 27}, {"InfSection", 27}, {"NoSetupUI", 27}, {"Ver", 27},
};
// clang-format on
const NamedStep kRootSteps[] = {
    {"Class", 27}, {"Driver", 28}, {"Mfg", 29}, {"HardwareID", 29}, {"DeviceDesc", 27}, {"ConfigFlags", 27},
};

std::string FourDigits(unsigned number) {
  char text[8];
  std::snprintf(text, sizeof text, "%04u", number);
  return text;
}

bool IsInstancePath(const std::string& path, const std::string& parent) {
  if (path.size() != parent.size() + 5 || path.compare(0, parent.size(), parent) != 0 || path[parent.size()] != '\\') {
    return false;
  }
  for (size_t i = parent.size() + 1; i < path.size(); ++i) {
    if (path[i] < '0' || path[i] > '9') return false;
  }
  return true;
}

template <size_t N>
int StepOfValue(const NamedStep (&steps)[N], const std::string& name) {
  for (const NamedStep& row : steps) {
    if (name == row.name) return row.step;
  }
  return -1;
}

bool IsWrite(RegOp op) { return op == RegOp::kCreate || op == RegOp::kSetText || op == RegOp::kSetNone; }

// The step number a failed create or value write stands for; -1 for a call the
// pass makes no step of.
int StepOf(const RegOperation& op) {
  if (!IsWrite(op.op)) return -1;
  const bool create = op.op == RegOp::kCreate;
  if (op.path == kSettingsKey) return create ? 1 : StepOfValue(kSettingsSteps, op.name);
  if (op.path == kRunKey) return create ? 22 : StepOfValue(kRunSteps, op.name);
  if (op.path == kVxdKey) return create ? 24 : StepOfValue(kVxdSteps, op.name);
  if (IsInstancePath(op.path, kMouseClass)) return create ? 26 : StepOfValue(kClassSteps, op.name);
  if (IsInstancePath(op.path, kRootMouse)) return create ? 26 : StepOfValue(kRootSteps, op.name);
  return -1;
}

bool ValidKeyPath(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  if (path.front() == '\\' || path.back() == '\\') return false;
  return path.find("\\\\") == std::string::npos;
}

struct Scenario {
  std::string installDir = kDefaultInstallDir;
  std::vector<size_t> schedule;
  std::vector<size_t> writesToFail;
};

size_t Count(const std::string& text) {
  size_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || n > 100000) break;
    n = n * 10 + static_cast<size_t>(c - '0');
  }
  return n;
}

// Splits "A=B" at the first "=": false when there is none.
bool SplitAt(const std::string& text, char separator, std::string* left, std::string* right) {
  const size_t at = text.find(separator);
  if (at == std::string::npos) return false;
  *left = text.substr(0, at);
  *right = text.substr(at + 1);
  return true;
}

void PutNamed(MemoryRegistry& registry, const std::string& parent, const std::string& entry, const char* valueName) {
  std::string name = entry;
  std::string text;
  const bool hasValue = SplitAt(entry, '=', &name, &text);
  const std::string path = parent + "\\" + name;
  if (name.find('\\') != std::string::npos || !ValidKeyPath(path)) return;
  if (hasValue) {
    registry.PutText(path, valueName, text);
  } else {
    registry.AddKey(path);
  }
}

void Apply(MemoryRegistry& registry, Scenario& scenario, const std::string& line) {
  std::string word;
  std::string rest;
  if (!SplitAt(line, ' ', &word, &rest)) return;
  std::string path;
  std::string value;
  std::string name;
  std::string data;
  if (word == "dir") {
    scenario.installDir = rest.substr(0, rest.find('\0'));
  } else if (word == "key") {
    if (ValidKeyPath(rest)) registry.AddKey(rest);
  } else if ((word == "text" || word == "bytes") && SplitAt(rest, '|', &path, &value) &&
             SplitAt(value, '=', &name, &data) && ValidKeyPath(path) && name.find('\0') == std::string::npos) {
    if (word == "text") {
      registry.PutText(path, name, data);
    } else {
      registry.PutValue(path, name, RegValue{3, std::vector<uint8_t>(data.begin(), data.end())});
    }
  } else if (word == "class") {
    PutNamed(registry, kMouseClass, rest, "MouseDriver");
  } else if (word == "classes") {
    for (size_t n = 0; n < Count(rest) && n < kInstances; ++n) {
      registry.PutText(kMouseClass + "\\" + FourDigits(static_cast<unsigned>(n)), "MouseDriver", "*serial");
    }
  } else if (word == "root") {
    PutNamed(registry, kRootMouse, rest, "DeviceDesc");
  } else if (word == "roots") {
    for (size_t n = 0; n < Count(rest) && n < kInstances; ++n) {
      registry.PutText(kRootMouse + "\\" + FourDigits(static_cast<unsigned>(n)), "DeviceDesc", "Standard Serial Mouse");
    }
  } else if (word == "pnp") {
    const std::string key = kEnumRoot + "\\*PNP0F" + rest;
    if (rest.find('\\') == std::string::npos && ValidKeyPath(key)) registry.PutText(key + "\\ROOT_0", "Class", "Mouse");
  } else if (word == "fail") {
    scenario.schedule.push_back(Count(rest));
  } else if (word == "failwrite") {
    scenario.writesToFail.push_back(Count(rest));
  }
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// A value as the pass reads it into a buffer of `capacity` bytes: whole or
// not at all, with a terminator added to data stored without one.
bool ReadsAsText(const RegValue* value, size_t capacity, std::string* text) {
  if (value == nullptr || value->bytes.size() > capacity) return false;
  const size_t size = value->bytes.size();
  if ((size == 0 || value->bytes.back() != 0) && size >= capacity) return false;
  const std::string bytes(value->bytes.begin(), value->bytes.end());
  *text = bytes.substr(0, bytes.find('\0'));
  return true;
}

bool ValueHolds(const MemoryRegistry& registry, const std::string& path, const char* name, size_t capacity,
                const char* word) {
  std::string text;
  return ReadsAsText(registry.FindValue(path, name), capacity, &text) && Lower(text).find(word) != std::string::npos;
}

// The class key the scans must choose in this registry.
unsigned ExpectedClassInstance(const MemoryRegistry& registry) {
  for (unsigned n = 0; n < kInstances; ++n) {
    const std::string path = kMouseClass + "\\" + FourDigits(n);
    if (!registry.HasKey(path)) break;
    if (ValueHolds(registry, path, "MouseDriver", 128, "vxmouse.vxd")) return n;
  }
  unsigned highest = 0;
  for (const std::string& name : registry.SubkeyNames(kMouseClass)) {
    if (name.size() >= 128) break;  // the enumeration stops at a name that does not fit
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (name.size() < 4 || !std::all_of(name.begin() + 1, name.begin() + 4, isDigit)) continue;
    highest = std::max(highest, static_cast<unsigned>(std::stoul(name.substr(1, 3))));
  }
  return highest;
}

bool IsPnpMouseName(const std::string& name) {
  if (name.size() != 8 || Lower(name.substr(0, 6)) != "*pnp0f") return false;
  const char hex = static_cast<char>(Lower(name.substr(7)).front());
  return name[6] >= '0' && name[6] <= '9' && ((hex >= '0' && hex <= '9') || (hex >= 'a' && hex <= 'f'));
}

void CheckDeletion(const MemoryRegistry& registry, const std::vector<std::string>& namesBefore,
                   size_t rootDevicesBefore, const std::string& context) {
  const std::vector<RegOperation>& ops = registry.operations();
  Check(ops.size() == 160, "DeletePnpMouseKeys makes 160 calls", context);
  for (const RegOperation& op : ops) {
    Check(op.op == RegOp::kDeleteTree, "DeletePnpMouseKeys only deletes", context);
    const std::string name = op.path.substr(kEnumRoot.size() + 1);
    Check(IsPnpMouseName(name), "DeletePnpMouseKeys deletes only *PNP0F00 to *PNP0F9F", context + "\n" + op.path);
    bool existed = false;
    for (const std::string& before : namesBefore) existed = existed || Lower(before) == Lower(name);
    Check(registry.HasKey(op.path) == (op.injected && existed), "a deleted key is gone unless its deletion failed",
          context + "\n" + op.path);
  }
  for (const std::string& name : namesBefore) {
    if (!IsPnpMouseName(name)) {
      Check(registry.HasKey(kEnumRoot + "\\" + name), "other root devices stay", context + "\n" + name);
    }
  }
  Check(registry.SubkeyNames(kRootMouse).size() == rootDevicesBefore,
        "Enum\\Root\\Mouse is not touched by the deletion", context);
}

void CheckStepAndStop(const MemoryRegistry& registry, size_t passStart, int result, const Scenario& scenario,
                      const std::string& context) {
  const std::vector<RegOperation>& ops = registry.operations();
  const std::string detail = context + "\nresult " + std::to_string(result);
  size_t failed = ops.size();
  for (size_t i = passStart; i < ops.size(); ++i) {
    if (IsWrite(ops[i].op) && !ops[i].succeeded) {
      failed = i;
      break;
    }
  }
  if (failed < ops.size()) {
    const RegOperation& op = ops[failed];
    const std::string at = detail + "\nfirst failed call " + std::to_string(failed) + ": " + vxtest::RegOpName(op.op) +
                           " " + op.path + " " + op.name;
    Check(StepOf(op) > 0, "every create and write of the pass has a step number", at);
    Check(result == StepOf(op), "the result is the step number of the first failed write", at);
    const size_t after = ops.size() - failed - 1;
    if (op.op == RegOp::kCreate) {
      Check(after == 0, "nothing follows a failed create", at);
    } else {
      Check(after == 1 && ops.back().op == RegOp::kClose && ops.back().path == op.path,
            "only the close of its key follows a failed write", at);
    }
    return;
  }
  const bool pathFits = scenario.installDir.size() + 8 < kPathCapacity;
  if (result == 23) {
    Check(!pathFits, "23 without a failed write only for a program path that does not fit", detail);
    Check(ops.size() >= 2 && ops[ops.size() - 2].op == RegOp::kCreate && ops[ops.size() - 2].path == kRunKey &&
              ops.back().op == RegOp::kClose,
          "an unformed program path ends the pass at the Run key", detail);
    return;
  }
  Check(pathFits || result != 0, "a program path that does not fit is not written", detail);
  if (result == 26) {
    unsigned opened = 0;  // root devices opened, in order from 0000
    for (size_t i = passStart; i < ops.size(); ++i) {
      if (ops[i].op == RegOp::kOpen && ops[i].succeeded && IsInstancePath(ops[i].path, kRootMouse)) {
        Check(ops[i].path == kRootMouse + "\\" + FourDigits(opened++), "26: root devices opened in order", detail);
      }
    }
    Check(opened == kInstances, "26 without a failed write: every root device number taken", detail);
    return;
  }
  Check(result == 0, "without a failed write the pass succeeds", detail);
}

// Values that a successful call wrote are still there when the pass ends.
void CheckWritesStay(const MemoryRegistry& registry, size_t passStart, const std::string& context) {
  const std::vector<RegOperation>& ops = registry.operations();
  for (size_t i = passStart; i < ops.size(); ++i) {
    const RegOperation& op = ops[i];
    if ((op.op == RegOp::kSetText || op.op == RegOp::kSetNone) && op.succeeded) {
      Check(registry.FindValue(op.path, op.name) != nullptr, "a written value stays",
            context + "\n" + op.path + " " + op.name);
    }
  }
}

void CheckShortcut(const vxtest::RecordingShortcut& shortcut, int result, const Scenario& scenario,
                   const std::string& context) {
  const bool runWritten = result == 0 || result > 23;
  Check(shortcut.programPaths.size() == (runWritten ? 1u : 0u), "the shortcut is made once after the Run value",
        context);
  if (runWritten) {
    Check(shortcut.programPaths[0] == scenario.installDir + "vp95.exe", "the shortcut targets the program path",
          context);
  }
}

// A root device holding no value but those the pass writes, with its data.
bool IsOwnDevice(const MemoryRegistry& registry, const std::string& path, const std::string& driverLink) {
  const std::pair<const char*, RegValue> own[] = {
      {"Class", vxtest::TextValue("Mouse")},
      {"Driver", vxtest::TextValue(driverLink)},
      {"Mfg", vxtest::TextValue("Ulvane Systems")},
      {"HardwareID", vxtest::TextValue("*PNP0F0C")},
      {"ConfigFlags", RegValue{vxtest::kRegNone, {0, 0, 0, 0}}},
      {"DeviceDesc", vxtest::TextValue("Tarvik Win95 Driver Plug and Play V2.18")},
  };
  size_t held = 0;
  for (const auto& value : own) {
    const RegValue* found = registry.FindValue(path, value.first);
    if (found != nullptr && !(*found == value.second)) return false;
    held += found != nullptr ? 1 : 0;
  }
  return held == registry.ValueCount(path);
}

// With no call failed, the pass must have chosen the keys the scans find in
// the registry as it stood when the pass began.
void CheckChoices(const MemoryRegistry& registry, const MemoryRegistry& before, int result, const Scenario& scenario,
                  const std::string& context) {
  if (result == 23) return;
  const std::string detail = context + "\nresult " + std::to_string(result);
  const std::string classKey = kMouseClass + "\\" + FourDigits(ExpectedClassInstance(before));
  Check(ValueHolds(registry, classKey, "MouseDriver", 128, "vxmouse.vxd"), "the driver's class key is the one expected",
        detail + "\nexpected " + classKey);
  const RegValue* run = registry.FindValue(kRunKey, "VP95");
  Check(run != nullptr && *run == vxtest::TextValue(scenario.installDir + "vp95.exe"), "VP95 is the program path",
        detail);

  const std::string link = "Mouse\\" + classKey.substr(kMouseClass.size() + 1);
  bool brand = false;
  unsigned chosen = kInstances;
  for (unsigned n = 0; n < kInstances && !brand && chosen == kInstances; ++n) {
    const std::string path = kRootMouse + "\\" + FourDigits(n);
    if (!before.HasKey(path) || IsOwnDevice(before, path, link)) chosen = n;
    brand = chosen == kInstances && ValueHolds(before, path, "DeviceDesc", 256, "tarvik");
  }
  if (brand || chosen == kInstances) {
    Check(result == (brand ? 0 : 26), "no free root device number: 26; a brand device: 0", detail);
    Check(registry.Dump(kRootMouse) == before.Dump(kRootMouse), "no root device is made", detail);
    return;
  }
  Check(result == 0, "a root device written: 0", detail);
  const std::string device = FourDigits(chosen);
  Check(IsOwnDevice(registry, kRootMouse + "\\" + device, link) && registry.ValueCount(kRootMouse + "\\" + device) == 6,
        "the first own or free root device holds the six values, linked to the class key",
        detail + "\nexpected " + device);
  for (const std::string& name : before.SubkeyNames(kRootMouse)) {
    Check(name == device || registry.Dump(kRootMouse + "\\" + name) == before.Dump(kRootMouse + "\\" + name),
          "every other root device is left as it was", detail + "\n" + name);
  }
}

class NoShortcut final : public vx::ShortcutMaker {
 public:
  void MakeShortcut(const char*) override {}
};

std::vector<std::string> InputLines(const uint8_t* data, size_t size) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += static_cast<char>(data[i]);
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryRegistry registry;
  Scenario scenario;
  for (const std::string& line : InputLines(data, size)) Apply(registry, scenario, line);
  const std::string context = "input:\n" + Printable(std::string(reinterpret_cast<const char*>(data), size));

  // Calls run in the same order up to the first failure, so the K-th write of
  // a run without failures is the K-th write of this one.
  if (!scenario.writesToFail.empty()) {
    MemoryRegistry dryRun;
    Scenario unused;
    for (const std::string& line : InputLines(data, size)) Apply(dryRun, unused, line);
    NoShortcut noShortcut;
    vx::DeletePnpMouseKeys(dryRun);
    vx::WriteRegistryEntries(dryRun, scenario.installDir.c_str(), noShortcut);
    std::vector<size_t> writes;
    for (size_t i = 0; i < dryRun.operations().size(); ++i) {
      if (IsWrite(dryRun.operations()[i].op)) writes.push_back(i);
    }
    for (size_t k : scenario.writesToFail) {
      if (k < writes.size()) scenario.schedule.push_back(writes[k]);
    }
  }

  const std::vector<std::string> namesBefore = registry.SubkeyNames(kEnumRoot);
  const size_t rootDevicesBefore = registry.SubkeyNames(kRootMouse).size();
  registry.FailAt(scenario.schedule);
  vx::DeletePnpMouseKeys(registry);
  CheckDeletion(registry, namesBefore, rootDevicesBefore, context);

  const size_t passStart = registry.operations().size();
  vxtest::RecordingShortcut shortcut(registry);
  const int result = vx::WriteRegistryEntries(registry, scenario.installDir.c_str(), shortcut);

  Check(result >= 0 && result <= 29, "the result is 0 or a step number", context);
  Check(registry.OpenHandleCount() == 0, "no key is left open", context);
  Check(registry.BadHandleUses() == 0, "no handle is used after its close", context);
  CheckStepAndStop(registry, passStart, result, scenario, context);
  CheckWritesStay(registry, passStart, context);
  CheckShortcut(shortcut, result, scenario, context);

  const std::vector<RegOperation>& ops = registry.operations();
  const bool anyInjected = std::any_of(ops.begin(), ops.end(), [](const RegOperation& op) { return op.injected; });
  if (!anyInjected) {
    // The registry as the pass found it, built again, for the model of the scans.
    MemoryRegistry before;
    Scenario unused;
    for (const std::string& line : InputLines(data, size)) Apply(before, unused, line);
    vx::DeletePnpMouseKeys(before);
    CheckChoices(registry, before, result, scenario, context);
  }
  return 0;
}
