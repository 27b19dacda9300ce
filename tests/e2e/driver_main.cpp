// The end-to-end test driver: GoogleTest inside Wine, driving A:\SETUP.EXE.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "harness/system_state.h"

namespace {

// The machine type in a PE file's header, 0 when the file is no PE file.
WORD PeMachine(const std::string& bytes) {
  if (bytes.size() < sizeof(IMAGE_DOS_HEADER) || bytes.compare(0, 2, "MZ") != 0) return 0;
  IMAGE_DOS_HEADER dos;
  std::memcpy(&dos, bytes.data(), sizeof dos);
  if (dos.e_lfanew < 0) return 0;
  const size_t header = static_cast<size_t>(dos.e_lfanew);
  if (header + 4 + sizeof(IMAGE_FILE_HEADER) > bytes.size() ||
      bytes.compare(header, 4, std::string("PE\0\0", 4)) != 0) {
    return 0;
  }
  IMAGE_FILE_HEADER file;
  std::memcpy(&file, bytes.data() + header + 4, sizeof file);
  return file.Machine;
}

// The driver is built for the machine of the SETUP.EXE it tests: x86-64 for the
// bench build (e2e.*), i386 for the product (product.*). A: mapped to the other
// build's disk, or a disk left over from an older layout, would test the wrong
// program.
#ifdef _WIN64
constexpr WORD kExpectedMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr WORD kExpectedMachine = IMAGE_FILE_MACHINE_I386;
#endif

// A: must hold the SETUP.EXE this driver tests. Checked in main, before any
// test: a failure in a global set-up leaves GoogleTest running no test and
// reporting success.
bool DiskHoldsThisBuild() {
  std::string bytes;
  if (!e2e::ReadBytes("A:\\SETUP.EXE", &bytes)) {
    std::fprintf(stderr, "A: is not mapped to the installation disk\n");
    return false;
  }
  const WORD machine = PeMachine(bytes);
  if (machine != kExpectedMachine) {
    std::fprintf(stderr,
                 "A:\\SETUP.EXE is not the build this driver tests: machine 0x%x, expected 0x%x"
                 " (0x14c: i386, 0x8664: x86-64)\n",
                 machine, kExpectedMachine);
    return false;
  }
  return true;
}

// Every run starts from the prefix as Wine made it, whatever an earlier run left.
class PristinePrefix : public testing::Environment {
 public:
  void SetUp() override { e2e::ResetSystem(); }
};

}  // namespace

int main(int argc, char** argv) {
  // Started again by the version matrix to learn what a new process is told.
  if (argc == 3 && std::strcmp(argv[1], e2e::kReportVersionOption) == 0) return e2e::ReportVersionTo(argv[2]);
  testing::InitGoogleTest(&argc, argv);
  if (!GTEST_FLAG_GET(list_tests) && !DiskHoldsThisBuild()) return 1;
  testing::AddGlobalTestEnvironment(new PristinePrefix);
  return RUN_ALL_TESTS();
}
