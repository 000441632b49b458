// Entry point of every test program: the data sources that the catalog
// creates come wrapped by AccessFaults, and each test starts with no
// scripted failure.
#include <gtest/gtest.h>

#include "support/AccessFaults.h"

namespace {

class ClearFailuresAtStart : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& /*test*/) override { kez::test::AccessFaults::ClearFailures(); }
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  kez::test::AccessFaults::Install();
  ::testing::UnitTest::GetInstance()->listeners().Append(new ClearFailuresAtStart);
  return RUN_ALL_TESTS();
}
