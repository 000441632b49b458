// Hostile data paths: very long texts, very many components and very deep
// brackets must end with clear errors, no crash, and bounded memory (the
// error collector keeps only its newest messages).
#include <string>

#include "support/KezTestSupport.h"

namespace {

using kez::test::CountError;

class HostilePathTest : public kez::test::KezTest {
 protected:
  KezUnicodeString Parse(const std::string& path) {
    KezUnicodeString type;
    KezDcQrQResult::ParseDataPath(path.c_str(), parts_[0], parts_[1], parts_[2], parts_[3], parts_[4], parts_[5], type);
    return type;
  }
  KezUnicodeString parts_[6];
};

TEST_F(HostilePathTest, MegabyteComponentIsKeptWhole) {
  EXPECT_EQ(Parse("@a:b:" + std::string(1 << 20, 'x')), "Rowset");
  EXPECT_EQ(parts_[2].GetLengthInChar(), 1 << 20);
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
}

TEST_F(HostilePathTest, HundredThousandComponentsKeepTheFirstSix) {
  std::string path = "@a";
  for (int k = 1; k < 100000; ++k) path += ":c";
  EXPECT_EQ(Parse(path), "Cell");
  EXPECT_EQ(parts_[5], "c");
  EXPECT_EQ(KezDcCMError::GetNbErrors(), KezDcCMError::kMaxErrors);
  EXPECT_EQ(KezDcCMError::GetNbErrors() + KezDcCMError::GetNbDropped(), 100000 - 6);
  EXPECT_EQ(KezDcCMError::GetError(1), "ERROR: INVALID DATAPATH - Too many pattern between ':'\n");
}

TEST_F(HostilePathTest, MegabyteOfClosingBracketsIsReportedAndDropped) {
  EXPECT_EQ(Parse("@a:b" + std::string(1 << 20, ']')), "Session");
  EXPECT_EQ(parts_[1], "b");
  EXPECT_EQ(KezDcCMError::GetNbErrors() + KezDcCMError::GetNbDropped(), 1 << 20);
}

TEST_F(HostilePathTest, TenThousandNestedBracketsParseAsOneComponent) {
  std::string inner = std::string(10000, '[') + "x:y" + std::string(10000, ']');
  EXPECT_EQ(Parse("@a:" + inner + ":r"), "Rowset");
  EXPECT_EQ(parts_[1].Std(), inner);
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
  EXPECT_EQ(Parse("@a:" + std::string(10000, '[') + "x"), "Session");
  EXPECT_EQ(CountError("ERROR: INVALID DATAPATH - Too many opened brackets\n"), 1);
}

TEST_F(HostilePathTest, FactoryOnNestedBracketsAndNestedPathsEndsWithoutCrash) {
  std::string inner = std::string(10000, '[') + "@a:[x]" + std::string(10000, ']');
  KezDcQrQResult* node = KezDcQrQResult::NewQResult(("@a:" + inner + ":r").c_str());
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->Type, "Rowset");
  KezDcCMError::ClearErrors();
  // Nested paths: each level's bracket holds a path whose session is the next level.
  std::string path = "@z";
  for (int k = 0; k < 200; ++k) path = "@a" + std::to_string(k) + ":[" + path + "]";
  node = KezDcQrQResult::NewQResult(path.c_str());
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->Type, "Session");
  EXPECT_GE(KezDcCMError::GetNbErrors(), 1);
}

TEST_F(HostilePathTest, LongVariableValuesExpandWithinBounds) {
  KezUnicodeString type = "Variable";
  std::string value = "#v:" + std::string(100000, 'q');  // refers to itself, grows the path
  KezDcQrQResult::NewQR("#v", value.c_str(), "", "", "", "", type);
  Parse("@a:#v");
  EXPECT_EQ(parts_[0], "@a");
  EXPECT_GE(KezDcCMError::GetNbErrors(), 1);
}

}  // namespace
