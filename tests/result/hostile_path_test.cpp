// Hostile data paths: very long texts, very many components and very deep
// brackets must end with clear errors, no crash, and bounded memory (the
// error collector keeps only its newest messages).
#include <string>

#include "support/KezTestSupport.h"

namespace {

using kez::test::CountError;

class HostilePathTest : public kez::test::KezTest {
 protected:
  static KezUnicodeString Parse(const std::string& path, KezUnicodeString* parts) {
    KezUnicodeString type;
    KezDcQrQResult::ParseDataPath(path.c_str(), parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], type);
    return type;
  }
};

TEST_F(HostilePathTest, MegabyteComponentIsKeptWhole) {
  std::string big(1 << 20, 'x');
  KezUnicodeString parts[6];
  EXPECT_EQ(Parse("@a:b:" + big, parts), "Rowset");
  EXPECT_EQ(parts[2].GetLengthInChar(), 1 << 20);
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
}

TEST_F(HostilePathTest, HundredThousandComponentsKeepTheFirstSix) {
  std::string path = "@a";
  for (int k = 1; k < 100000; ++k) path += ":c";
  KezUnicodeString parts[6];
  EXPECT_EQ(Parse(path, parts), "Cell");
  EXPECT_EQ(parts[5], "c");
  EXPECT_EQ(KezDcCMError::GetNbErrors(), KezDcCMError::kMaxErrors);
  EXPECT_EQ(KezDcCMError::GetNbErrors() + KezDcCMError::GetNbDropped(), 100000 - 6);
  EXPECT_EQ(KezDcCMError::GetError(1), "ERROR: INVALID DATAPATH - Too many pattern between ':'\n");
}

TEST_F(HostilePathTest, MegabyteOfClosingBracketsIsReportedAndDropped) {
  std::string path = "@a:b" + std::string(1 << 20, ']');
  KezUnicodeString parts[6];
  EXPECT_EQ(Parse(path, parts), "Session");
  EXPECT_EQ(parts[1], "b");
  EXPECT_EQ(KezDcCMError::GetNbErrors() + KezDcCMError::GetNbDropped(), 1 << 20);
}

TEST_F(HostilePathTest, TenThousandNestedBracketsParseAsOneComponent) {
  std::string inner = std::string(10000, '[') + "x:y" + std::string(10000, ']');
  KezUnicodeString parts[6];
  EXPECT_EQ(Parse("@a:" + inner + ":r", parts), "Rowset");
  EXPECT_EQ(parts[1].Std(), inner);
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);

  KezDcCMError::ClearErrors();
  EXPECT_EQ(Parse("@a:" + std::string(10000, '[') + "x", parts), "Session");
  EXPECT_EQ(CountError("ERROR: INVALID DATAPATH - Too many opened brackets\n"), 1);
}

TEST_F(HostilePathTest, FactoryOnNestedBracketsEndsWithoutCrash) {
  std::string inner = std::string(10000, '[') + "@a:[x]" + std::string(10000, ']');
  KezDcQrQResult* node = KezDcQrQResult::NewQResult(("@a:" + inner + ":r").c_str());
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->Type, "Rowset");
}

TEST_F(HostilePathTest, NestedPathsInsideBracketsAreBounded) {
  // Each level's bracket holds a path whose session is the next level.
  std::string path = "@z";
  for (int k = 0; k < 200; ++k) path = "@a" + std::to_string(k) + ":[" + path + "]";
  KezDcQrQResult* node = KezDcQrQResult::NewQResult(path.c_str());
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->Type, "Session");
  EXPECT_GE(KezDcCMError::GetNbErrors(), 1);
}

TEST_F(HostilePathTest, LongVariableValuesExpandWithinBounds) {
  KezUnicodeString type = "Variable";
  std::string value = "#v:" + std::string(100000, 'q');  // refers to itself, grows the path
  KezDcQrQResult::NewQR("#v", value.c_str(), "", "", "", "", type);
  KezUnicodeString parts[6];
  Parse("@a:#v", parts);
  EXPECT_EQ(parts[0], "@a");
  EXPECT_GE(KezDcCMError::GetNbErrors(), 1);
}

}  // namespace
