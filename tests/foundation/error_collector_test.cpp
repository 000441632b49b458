// The error collector: exact printf formatting, 1-based access oldest
// first, and the bounds that keep only the newest messages.
#include <gtest/gtest.h>

#include <string>

#include "foundation/KezDcCMError.h"

namespace {

class ErrorCollectorTest : public ::testing::Test {
 protected:
  void SetUp() override { KezDcCMError::ClearErrors(); }
  void TearDown() override { KezDcCMError::ClearErrors(); }
};

TEST_F(ErrorCollectorTest, FormatsEachMessageExactlyAndIsOneBased) {
  KezDcCMError::AddError("ERROR: Invalid DataPath=%s \n", "x:y");
  KezDcCMError::AddError("%d|%5.2f|%e|%x|%%", -7, 3.14159, 1234.5, 255u);
  KezDcCMError::AddError("m\xB0!\xB0m %s", "\xC3\xA9");
  ASSERT_EQ(KezDcCMError::GetNbErrors(), 3);
  EXPECT_EQ(KezDcCMError::GetError(1).Std(), "ERROR: Invalid DataPath=x:y \n");
  EXPECT_EQ(KezDcCMError::GetError(2).Std(), "-7| 3.14|1.234500e+03|ff|%");
  EXPECT_EQ(KezDcCMError::GetError(3).Std(), "m\xB0!\xB0m \xC3\xA9");
  for (int outside : {0, 4, -1}) EXPECT_EQ(KezDcCMError::GetError(outside), "") << outside;
}

TEST_F(ErrorCollectorTest, KeepsTheNewestThousandAndCountsTheDropped) {
  const int total = KezDcCMError::kMaxErrors + 250;
  for (int k = 1; k <= total; ++k) KezDcCMError::AddError("message %d\n", k);
  ASSERT_EQ(KezDcCMError::GetNbErrors(), 1000);
  EXPECT_EQ(KezDcCMError::GetNbDropped(), 250);
  EXPECT_EQ(KezDcCMError::GetError(1), "message 251\n");
  EXPECT_EQ(KezDcCMError::GetError(1000), "message 1250\n");
  KezDcCMError::ClearErrors();
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
  EXPECT_EQ(KezDcCMError::GetNbDropped(), 0);
}

TEST_F(ErrorCollectorTest, CutsAVeryLongMessageAndBoundsTheTotal) {
  std::string huge(KezDcCMError::kMaxMessageBytes * 2, 'x');
  KezDcCMError::AddError("%s", huge.c_str());
  ASSERT_EQ(KezDcCMError::GetNbErrors(), 1);
  EXPECT_EQ(KezDcCMError::GetError(1).GetLengthInChar(), KezDcCMError::kMaxMessageBytes);
  // Enough maximal messages to pass the byte bound before the count bound.
  const int fit = KezDcCMError::kMaxBytes / KezDcCMError::kMaxMessageBytes;
  for (int k = 0; k < fit + 5; ++k) KezDcCMError::AddError("%s", huge.c_str());
  EXPECT_EQ(KezDcCMError::GetNbErrors(), fit);
  EXPECT_EQ(KezDcCMError::GetNbDropped(), 6);
}

}  // namespace
