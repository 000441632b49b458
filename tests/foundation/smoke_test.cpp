// A first check that the library starts up: registries and trace channels
// exist and an empty query is refused.
#include "support/KezTestSupport.h"

using kez::test::KezTest;

TEST_F(KezTest, StartUpCreatesRegistriesAndChannels) {
  ASSERT_NE(KezDcQrQResult::QRHTab, nullptr);
  ASSERT_NE(KezDcQrQResult::ExprHTab, nullptr);
  ASSERT_NE(KezDcQrQuery::QueryHTab, nullptr);
  ASSERT_NE(KezTrace::Find("TraceQResult"), nullptr);
  EXPECT_STREQ(KezTrace::Find("TraceQuery")->GetComment(), "Trace des Queries");
}
