// The whole road as a client writes it: queries over the memory backend,
// walking rows, computing over the current row, copying rows, sub-query
// components, freeing and deleting, and the same queries working again.
#include "support/E2eSupport.h"

namespace kez {
namespace test {
namespace {

const char kOrders[] = "@m:main:orders:{item+amount+price}:2";

class RoadTest : public E2eTest {
 protected:
  static std::string Cell(const char* column) { return std::string(kOrders) + ":" + column; }
  static KezDcQrQResult* Block() { return KezDcQrQResult::NewQResult(kOrders); }
  // Reads the column row by row until the block has no more rows.
  static std::vector<std::string> Column(const std::string& text) {
    std::vector<std::string> values;
    for (KezDcQrQResult* block = Block(); block->IsMoreData() && values.size() < 100; block->GetNextLine()) {
      values.push_back(Get(text));
    }
    return values;
  }
};

TEST_F(RoadTest, ReadsCellsRowByRow) {
  EXPECT_EQ(Column(Cell("item")), (std::vector<std::string>{"o1", "o2", "o3", "o4", "o5"}));
  EXPECT_FALSE(Block()->IsMoreData());
  EXPECT_EQ(Get(Cell("item")), "");  // past the end
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(Held(), "3/0/1");
}

TEST_F(RoadTest, ComputesOverTheCellsOfTheCurrentRow) {
  EXPECT_EQ(Column(Cell("amount") + " * " + Cell("price") + " + 1"),
            (std::vector<std::string>{"2.5", "6", "11.5", "19", "28.5"}));
  Block()->GetNextLine();  // starts again: the second row
  EXPECT_EQ(Get("\"#\" + " + Cell("item") + " + \":\" + " + Cell("amount")), "#o2:2.000000e+00");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(RoadTest, CopiesRowsFromOneRowsetIntoAnother) {
  const std::string copy = "@m:main:copy:{item+amount}:1";
  for (KezDcQrQResult* block = Block(); block->IsMoreData(); block->GetNextLine()) {
    KezDcQrQResult::NewQResult(Cell("item").c_str())->PutCell(KezDcQrQResult::NewQResult((copy + ":item").c_str()));
    Run("Put(" + Cell("amount") + " * 100, " + copy + ":amount)");
    Run("Put(" + copy + ")");
  }
  EXPECT_EQ(KezDcDbMemory::GetInsertedRows("shop", "copy"),
            (std::vector<KezDcDbMemoryRow>{{"o1", "1.000000e+02", KezDcDbMemory::Null()},
                                           {"o2", "2.000000e+02", KezDcDbMemory::Null()},
                                           {"o3", "3.000000e+02", KezDcDbMemory::Null()},
                                           {"o4", "4.000000e+02", KezDcDbMemory::Null()},
                                           {"o5", "5.000000e+02", KezDcDbMemory::Null()}}));
  EXPECT_TRUE(Errors().empty());
}

// Data blocks under one rowset node share its position: each path below
// reads through a session of its own.
TEST_F(RoadTest, ReadsThroughDollarAndBracketComponents) {
  Run("Put(\"stock\", #table)");
  Run("Put(\"orders\", $t)");
  Run("Put(\"alt\", $base)");
  EXPECT_EQ(Get("@m:main:[#table]:{item+amount}:10:item"), "s1");
  EXPECT_EQ(Get("@m:t:$t:{item+amount}:10:amount + 1"), "2");
  EXPECT_EQ(Get("@$base:b:orders:{item}:10:item"), "a1");
  Run("Put(\"orders\", #table)");
  Run("Put(\"m\", $base)");
  EXPECT_EQ(Get("@m:main:[#table]:{item+amount}:10:item"), "o1");
  EXPECT_EQ(Get("@$base:b:orders:{item}:10:item"), "o1");
  KezDcQrQResult::NewQResult("@m:t:$t:{item+amount}:10")->GetNextLine();
  EXPECT_EQ(Get("@m:t:$t:{item+amount}:10:amount + 1"), "3");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(RoadTest, FreeThenGetStartsAgainFromTheFirstRow) {
  Block()->GetNextLine();
  Block()->GetNextLine();
  EXPECT_EQ(Get(Cell("item")), "o3");
  Run("Free(" + Cell("item") + ")");  // frees the value, not the row
  EXPECT_EQ(Get(Cell("item")), "o3");
  Block()->FreeRowsetOfData();
  EXPECT_EQ(Held(), "2/0/0");
  EXPECT_EQ(Get(Cell("item")), "o1");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(RoadTest, DeletedQueriesWorkAgainWhenCreatedAgain) {
  const std::string item = "Get(" + Cell("item") + ")";
  const std::string twice = "Get(" + Cell("amount") + " * 2)";
  Block()->GetNextLine();
  EXPECT_EQ(Get(Cell("item")), "o2");
  EXPECT_EQ(Get(Cell("amount") + " * 2"), "4");
  KezDcQrQuery::DeleteQuery(item.c_str());  // its expression and its cell
  EXPECT_EQ(KezDcQrQResult::QRHTab->Locate(Cell("item").c_str()), nullptr);
  EXPECT_EQ(Get(Cell("amount") + " * 2"), "4");
  EXPECT_EQ(Get(Cell("item")), "o2");  // a new cell on the same row
  KezDcQrQResult::DeleteQResult(Cell("item").c_str());
  KezDcQrQuery::NewQuery(item.c_str())->DoQuery();
  EXPECT_EQ(Errors(), std::vector<std::string>{"ERROR: QUERY <" + item + "> LOST ITS RESULT <" + Cell("item") +
                                               ">, DELETED ELSEWHERE: CREATE THE QUERY AGAIN !\n"});
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(Held(), "0/0/0");
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 0);
  KezDcCMError::ClearErrors();
  EXPECT_EQ(Get(Cell("item")), "o1");
  EXPECT_EQ(Get(Cell("amount") + " * 2"), "2");
  EXPECT_TRUE(Errors().empty());
  EXPECT_TRUE(WalkRegistries().problems.empty());
}

}  // namespace
}  // namespace test
}  // namespace kez
