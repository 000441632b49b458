// Test support: a fixture that starts every test from empty registries, an
// empty error collector and no memory databases, and checks at the end that
// no object of the memory backend is left alive.
#ifndef KEZ_TEST_SUPPORT_H
#define KEZ_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kezdcqr/KezDcQr.h"
#include "support/AccessFaults.h"

namespace kez {
namespace test {

// Every message the error collector holds, oldest first.
inline std::vector<std::string> Errors() {
  std::vector<std::string> out;
  for (int i = 1; i <= KezDcCMError::GetNbErrors(); ++i) out.push_back(KezDcCMError::GetError(i).Std());
  return out;
}

// How many held messages equal message exactly.
inline int CountError(const std::string& message) {
  int n = 0;
  for (const std::string& e : Errors()) n += e == message ? 1 : 0;
  return n;
}

// The keys of a registry (QRHTab, ExprHTab), in the order they were added.
inline std::vector<std::string> Keys(KezHashDicKezDcQrQResult* registry) {
  std::vector<std::string> keys;
  int i = 1, j = 0;
  KezUnicodeString key;
  while (registry->Next(i, j, &key)) keys.push_back(key.Std());
  return keys;
}

// The node registered under key, or null.
inline KezDcQrQResult* Located(const KezUnicodeString& key) {
  return KezDcQrQResult::QRHTab->Locate(key);
}
inline KezDcQrQResult* Located(const std::string& key) {
  return Located(KezUnicodeString(key.c_str()));
}
inline KezDcQrQResult* Located(const char* key) {
  return Located(KezUnicodeString(key));
}

// NewQR with the type given by value: the components after the first are
// optional.
inline KezDcQrQResult* NewQR(const char* type, const char* ds, const char* s = "", const char* r = "",
                             const char* a = "", const char* d = "", const char* c = "") {
  KezUnicodeString t = type;
  return KezDcQrQResult::NewQR(ds, s, r, a, d, c, t);
}

class KezTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KezDcQrQuery::DeleteAllQueries();
    KezDcDbMemory::DropAll();
    KezDcCMError::ClearErrors();
  }
  void TearDown() override {
    KezDcQrQuery::DeleteAllQueries();
    KezDcDbMemory::DropAll();
    EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 0) << "memory backend objects left alive";
    EXPECT_EQ(kez::test::AccessFaults::OutstandingRows(), 0) << "row handles never released";
    EXPECT_EQ(kez::test::AccessFaults::LiveAccessors(), 0) << "accessor handles never released";
    KezDcCMError::ClearErrors();
  }
};

// KezTest over the data source "m": memory:shop with the table
// items(name, qty) holding apple 3 and pear 7.
class ShopItemsTest : public KezTest {
 protected:
  void SetUp() override {
    KezTest::SetUp();
    KezDcDbMemory::CreateRowset("shop", "items", {{"name", KEZDCDB_TYPESTRING, 16}, {"qty", KEZDCDB_TYPEI4, 4}});
    KezDcDbMemory::AppendRow("shop", "items", {"apple", "3"});
    KezDcDbMemory::AppendRow("shop", "items", {"pear", "7"});
    KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:shop");
  }
};

}  // namespace test
}  // namespace kez

#endif
