// Reference counting of the memory backend's objects: each object keeps
// what it was opened from alive, so references may be given back in any
// order and every object goes away with its last reference.
#include <gtest/gtest.h>

#include "database/access/KezDcDbDataSourceFactory.h"
#include "database/access/memory/KezDcDbMemory.h"
#include "support/AccessFaults.h"

namespace {

TEST(MemoryRefCountTest, ReferencesGoBackInAnyOrderAndTheLastFreesTheChain) {
  struct Case {
    const char* name;
    bool drop_all_first;  // the data source outlives DropAll while referenced
    bool extra;           // one more reference to the session and to the rowset
    int order[4];         // 0 data source, 1 session, 2 rowset, 3 insert interface
    int live_after[4];    // objects alive beyond those before, after each release
  };
  const Case cases[] = {
      {"top down", false, false, {0, 1, 2, 3}, {4, 4, 4, 0}},  // the insert interface holds the chain
      {"bottom up", false, false, {3, 2, 1, 0}, {3, 2, 1, 0}},
      {"after DropAll", true, false, {1, 0, 3, 2}, {4, 4, 3, 0}},
      {"extra references", false, true, {3, 2, 1, 0}, {3, 3, 3, 3}},
  };
  KezDcDbMemory::DropAll();
  KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:shop");
  EXPECT_EQ(KezDcDbDataSourceFactory::CreateSimpleDataSource("nowhere"), nullptr);
  const int before = kez::test::AccessFaults::LiveObjects();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KezDcDbMemory::CreateRowset("shop", "items", {{"name", KEZDCDB_TYPESTRING, 16}});
    void* out = &out;
    KezIDcDbDataSource* source = KezDcDbDataSourceFactory::CreateSimpleDataSource("m");
    ASSERT_NE(source, nullptr);
    EXPECT_NE(source->QueryInterface(KezIDcDbSimpleRowset::ClassId(), &out), 0);  // an interface it lacks
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(source->OpenSession(KezIDcDbSimpleSession::ClassId(), &out), 0);
    auto* session = static_cast<KezIDcDbSimpleSession*>(out);
    ASSERT_EQ(session->OpenRowset("items", KezIDcDbSimpleRowset::ClassId(), &out), 0);
    auto* rowset = static_cast<KezIDcDbSimpleRowset*>(out);
    ASSERT_EQ(rowset->QueryInterface(KezIDcDbInsertRowset::ClassId(), &out), 0);
    KezIDcDbUnknown* objects[] = {source, session, rowset, static_cast<KezIDcDbInsertRowset*>(out)};
    EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), before + 4);
    if (c.drop_all_first) KezDcDbMemory::DropAll();
    if (c.extra) {
      EXPECT_EQ(session->AddRef(), 3);  // the caller's, the rowset's, this one
      ASSERT_EQ(rowset->QueryInterface(KezIDcDbSimpleRowset::ClassId(), &out), 0);
      EXPECT_EQ(out, static_cast<void*>(rowset));
    }
    for (int k = 0; k < 4; ++k) {
      objects[c.order[k]]->Release();
      EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), before + c.live_after[k]) << k;
    }
    if (c.extra) {
      session->Release();
      EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), before + 3);
      rowset->Release();
      EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), before);
    }
    KezDcDbMemory::DropAll();
  }
}

}  // namespace
