// The registry pass over crowded registries: how many registry calls one pass
// makes (DeletePnpMouseKeys and WriteRegistryEntries, as the update dialog runs
// them), of which kinds, and how long it takes over the in-memory registry.
//
//   registry_bench [PASSES]
//
// The call count is the figure that carries over to Windows, where each call
// goes to the registry; the time is that of the test double, whose lookups
// walk a key's subkeys one by one, so it grows faster with the key count than
// the real registry does.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "memory_registry.h"
#include "registration/registry_pass.h"

namespace {

using vxtest::MemoryRegistry;
using vxtest::RegOp;

const std::string kMouseClass = "System\\CurrentControlSet\\Services\\Class\\Mouse\\";
const std::string kRootMouse = "Enum\\Root\\Mouse\\";

std::string FourDigits(unsigned number) {
  char text[8];
  std::snprintf(text, sizeof text, "%04u", number);
  return text;
}

void ClassKeys(MemoryRegistry& registry, unsigned count) {
  for (unsigned n = 0; n < count; ++n) registry.PutText(kMouseClass + FourDigits(n), "MouseDriver", "*serial");
}

void RootDevices(MemoryRegistry& registry, unsigned count) {
  for (unsigned n = 0; n < count; ++n) {
    registry.PutText(kRootMouse + FourDigits(n), "DeviceDesc", "Standard Serial Mouse");
  }
}

struct Scenario {
  const char* title;
  std::function<void(MemoryRegistry&)> arrange;
};

const Scenario kScenarios[] = {
    {"fresh system", [](MemoryRegistry&) {}},
    {"one other mouse (class 0000, root 0000)",
     [](MemoryRegistry& r) {
       ClassKeys(r, 1);
       RootDevices(r, 1);
     }},
    {"1000 class keys, 999 root devices",
     [](MemoryRegistry& r) {
       ClassKeys(r, 1000);
       RootDevices(r, 999);
     }},
};

double Milliseconds(const timespec& from, const timespec& to) {
  return static_cast<double>(to.tv_sec - from.tv_sec) * 1e3 + static_cast<double>(to.tv_nsec - from.tv_nsec) / 1e6;
}

class NoShortcut final : public vx::ShortcutMaker {
 public:
  void MakeShortcut(const char*) override {}
};

}  // namespace

int main(int argc, char** argv) {
  const int passes = argc > 1 ? std::max(1, static_cast<int>(std::strtol(argv[1], nullptr, 10))) : 20;
  std::printf(
      "| registry | calls per pass | of them: open | read | enum keys | enum values | create | write | delete | "
      "close | flush | result | median ms per pass |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (const Scenario& scenario : kScenarios) {
    std::vector<double> times;
    std::map<RegOp, size_t> kinds;
    size_t calls = 0;
    int result = -1;
    for (int pass = 0; pass < passes; ++pass) {
      MemoryRegistry registry;
      scenario.arrange(registry);
      NoShortcut shortcut;
      timespec start{};
      timespec end{};
      clock_gettime(CLOCK_MONOTONIC, &start);
      vx::DeletePnpMouseKeys(registry);
      result = vx::WriteRegistryEntries(registry, "c:\\vx95\\", shortcut);
      clock_gettime(CLOCK_MONOTONIC, &end);
      times.push_back(Milliseconds(start, end));
      if (registry.OpenHandleCount() != 0) {
        std::fprintf(stderr, "registry_bench: %s: a key was left open\n", scenario.title);
        return 1;
      }
      calls = registry.operations().size();
      kinds.clear();
      for (const auto& op : registry.operations()) ++kinds[op.op];
    }
    std::sort(times.begin(), times.end());
    const size_t writes = kinds[RegOp::kSetText] + kinds[RegOp::kSetNone];
    std::printf("| %s | %zu | %zu | %zu | %zu | %zu | %zu | %zu | %zu | %zu | %zu | %d | %.2f |\n", scenario.title,
                calls, kinds[RegOp::kOpen], kinds[RegOp::kReadText], kinds[RegOp::kEnumKey], kinds[RegOp::kEnumValue],
                kinds[RegOp::kCreate], writes, kinds[RegOp::kDeleteTree], kinds[RegOp::kClose], kinds[RegOp::kFlush],
                result, times[times.size() / 2]);
  }
  return 0;
}
