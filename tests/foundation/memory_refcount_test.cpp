// Reference counting of the memory backend's objects: each object keeps
// what it was opened from alive, so references may be given back in any
// order and every object goes away with its last reference.
#include <gtest/gtest.h>

#include <vector>

#include "database/access/KezDcDbDataSourceFactory.h"
#include "database/access/memory/KezDcDbMemory.h"
#include "support/AccessFaults.h"

namespace {

class MemoryRefCountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KezDcDbMemory::DropAll();
    KezDcDbMemory::CreateRowset("shop", "items", {{"name", KEZDCDB_TYPESTRING, 16}});
    KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:shop");
    live_before_ = kez::test::AccessFaults::LiveObjects();
  }
  void TearDown() override { KezDcDbMemory::DropAll(); }

  // Opens a data source, a session, a rowset and its insert interface.
  void OpenAll() {
    source_ = KezDcDbDataSourceFactory::CreateSimpleDataSource("m");
    ASSERT_NE(source_, nullptr);
    void* out = nullptr;
    ASSERT_EQ(source_->OpenSession(KezIDcDbSimpleSession::ClassId(), &out), 0);
    session_ = static_cast<KezIDcDbSimpleSession*>(out);
    ASSERT_EQ(session_->OpenRowset("items", KezIDcDbSimpleRowset::ClassId(), &out), 0);
    rowset_ = static_cast<KezIDcDbSimpleRowset*>(out);
    ASSERT_EQ(rowset_->QueryInterface(KezIDcDbInsertRowset::ClassId(), &out), 0);
    insert_ = static_cast<KezIDcDbInsertRowset*>(out);
    EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), live_before_ + 4);
  }

  int live_before_ = 0;
  KezIDcDbDataSource* source_ = nullptr;
  KezIDcDbSimpleSession* session_ = nullptr;
  KezIDcDbSimpleRowset* rowset_ = nullptr;
  KezIDcDbInsertRowset* insert_ = nullptr;
};

TEST_F(MemoryRefCountTest, ReferencesGoBackInAnyOrderAndTheLastFreesTheChain) {
  struct Case {
    const char* name;
    bool drop_all_first;  // the data source outlives DropAll while referenced
    int order[4];         // 0 data source, 1 session, 2 rowset, 3 insert interface
    int live_after[4];    // objects alive beyond those before, after each release
  };
  const Case cases[] = {
      {"top down", false, {0, 1, 2, 3}, {4, 4, 4, 0}},  // the insert interface holds the chain
      {"bottom up", false, {3, 2, 1, 0}, {3, 2, 1, 0}},
      {"after DropAll", true, {1, 0, 3, 2}, {4, 4, 3, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(OpenAll());
    if (c.drop_all_first) KezDcDbMemory::DropAll();
    KezIDcDbUnknown* objects[] = {source_, session_, rowset_, insert_};
    for (int k = 0; k < 4; ++k) {
      objects[c.order[k]]->Release();
      EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), live_before_ + c.live_after[k]) << k;
    }
  }
}

TEST_F(MemoryRefCountTest, ExtraReferencesKeepAnObjectAlive) {
  OpenAll();
  void* again = nullptr;
  ASSERT_EQ(rowset_->QueryInterface(KezIDcDbSimpleRowset::ClassId(), &again), 0);
  EXPECT_EQ(again, static_cast<void*>(rowset_));
  EXPECT_EQ(session_->AddRef(), 3);  // the caller's, the rowset's, this one
  insert_->Release();
  rowset_->Release();
  session_->Release();
  source_->Release();
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), live_before_ + 3);
  session_->Release();
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), live_before_ + 3);
  static_cast<KezIDcDbSimpleRowset*>(again)->Release();
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), live_before_);
}

TEST_F(MemoryRefCountTest, UnknownNamesAndInterfacesYieldNothing) {
  EXPECT_EQ(KezDcDbDataSourceFactory::CreateSimpleDataSource("nowhere"), nullptr);
  OpenAll();
  void* out = &out;
  EXPECT_NE(source_->QueryInterface(KezIDcDbSimpleRowset::ClassId(), &out), 0);
  EXPECT_EQ(out, nullptr);
  EXPECT_NE(session_->OpenRowset("no_such_table", KezIDcDbSimpleRowset::ClassId(), &out), 0);
  EXPECT_EQ(out, nullptr);
  for (KezIDcDbUnknown* object : std::vector<KezIDcDbUnknown*>{insert_, rowset_, session_, source_}) object->Release();
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), live_before_);
}

}  // namespace
