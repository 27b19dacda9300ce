// The end-to-end test driver: GoogleTest inside Wine, driving A:\SETUP.EXE.
#include <gtest/gtest.h>

#include <cstring>

#include "harness/system_state.h"

namespace {

// Every run starts from the prefix as Wine made it, whatever an earlier run left.
class PristinePrefix : public testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(e2e::FileExists("A:\\SETUP.EXE")) << "A: is not mapped to the installation disk";
    e2e::ResetSystem();
  }
};

}  // namespace

int main(int argc, char** argv) {
  // Started again by the version matrix to learn what a new process is told.
  if (argc == 3 && std::strcmp(argv[1], e2e::kReportVersionOption) == 0) return e2e::ReportVersionTo(argv[2]);
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new PristinePrefix);
  return RUN_ALL_TESTS();
}
