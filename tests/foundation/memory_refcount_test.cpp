// Reference counting of the memory backend's objects: each object keeps
// what it was opened from alive, so references may be given back in any
// order and every object goes away with its last reference.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "database/access/KezDcDbDataSourceFactory.h"
#include "database/access/memory/KezDcDbMemory.h"

namespace {

class MemoryRefCountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KezDcDbMemory::DropAll();
    KezDcDbMemory::CreateRowset("shop", "items", {{"name", KEZDCDB_TYPESTRING, 16}});
    KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:shop");
    live_before_ = KezDcDbMemory::LiveObjects();
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
    EXPECT_EQ(KezDcDbMemory::LiveObjects(), live_before_ + 4);
  }

  int live_before_ = 0;
  KezIDcDbDataSource* source_ = nullptr;
  KezIDcDbSimpleSession* session_ = nullptr;
  KezIDcDbSimpleRowset* rowset_ = nullptr;
  KezIDcDbInsertRowset* insert_ = nullptr;
};

TEST_F(MemoryRefCountTest, ReleasingTopDownFreesEverythingAtTheLastRelease) {
  OpenAll();
  source_->Release();
  session_->Release();
  rowset_->Release();
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), live_before_ + 4);  // the insert interface holds the chain
  insert_->Release();
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), live_before_);
}

TEST_F(MemoryRefCountTest, ReleasingBottomUpFreesEachObjectInTurn) {
  OpenAll();
  insert_->Release();
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), live_before_ + 3);
  rowset_->Release();
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), live_before_ + 2);
  session_->Release();
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), live_before_ + 1);
  source_->Release();
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), live_before_);
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
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), live_before_ + 3);
  session_->Release();
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), live_before_ + 3);
  static_cast<KezIDcDbSimpleRowset*>(again)->Release();
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), live_before_);
}

TEST_F(MemoryRefCountTest, DataSourceOutlivesDropAllWhileReferenced) {
  OpenAll();
  KezDcDbMemory::DropAll();
  session_->Release();
  source_->Release();
  insert_->Release();
  rowset_->Release();
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), live_before_);
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
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), live_before_);
}

}  // namespace
