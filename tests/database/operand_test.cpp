// Expression operands that name a data source, session, rowset, accessor or
// data block: 1 when their own read yields an open object, else 0.
#include "database/DbFixture.h"

namespace kez {
namespace test {
namespace {

class OperandTest : public DbTest {
 protected:
  // The int value of Get(text), or -1 when the value is no int.
  static int Value(const std::string& text) {
    auto* expression = static_cast<KezDcQrQRExpression*>(Run("Get(" + text + ")")->p_QResult);
    return expression && expression->BasicType == "int" ? expression->IntValue : -1;
  }
};

TEST_F(OperandTest, OpenNodesCountOneAndADataBlockZeroAfterItsRead) {
  FillOrders(1);
  EXPECT_EQ(Value("@m"), 1);
  EXPECT_EQ(Value("@m:main"), 1);
  EXPECT_EQ(Value("@m:main:orders"), 1);
  EXPECT_EQ(Value("@m:main:orders:{item+amount}"), 1);
  EXPECT_EQ(Value("@m:main + @m:main:orders * 2"), 3);
  EXPECT_EQ(Value("@m:main:orders:{item+amount}:10"), 0);
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 1);
  EXPECT_EQ(KezDcQrQuery::NewQuery("Get(@m:main:orders:{item+amount}:10)")->TypeOfQResult.Std(), "Exp_Data");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(OperandTest, NodesThatCannotOpenCountZero) {
  EXPECT_EQ(Value("@nowhere"), 0);
  EXPECT_EQ(Errors(), std::vector<std::string>{"ERROR: Impossible to load DataSource @nowhere \n"});
  KezDcDbMemory::FailAt(KezDcDbMemory::kOpenSession, 2);
  EXPECT_EQ(Value("@m:main"), 0);
  EXPECT_EQ(Value("@m:nosuch:nothing"), 0);
  KezDcCMError::ClearErrors();
  KezDcDbMemory::FailAt(KezDcDbMemory::kOpenRowset, 4);
  EXPECT_EQ(Value("@m:main:orders:{item}"), 0);
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace test
}  // namespace kez
