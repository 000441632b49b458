// Collections and the dictionary behind every registry: 1-based positions,
// removal by value and by position, copies, and walks that survive removals.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "foundation/KezHashDico.h"
#include "foundation/KezListValKezUnicodeString.h"
#include "foundation/KezRawColl.h"
#include "nodes/base/KezDcQrQResult.h"

namespace {

// Pointers, ints and doubles share one template: the pointer and int
// instances stand for all three.
TEST(RawCollTest, PointerCollectionIsOneBasedAndRemovesByValueAnywhere) {
  std::vector<int> values(9);
  KezRawCollPV coll(0);
  for (int& v : values) coll.Append(&v);
  EXPECT_EQ(coll[0], nullptr);
  EXPECT_EQ(coll[10], nullptr);
  // The middle, then both ends, then what remains in any order.
  for (int k : {4, 0, 8, 5, 1, 7, 3, 6, 2}) {
    EXPECT_EQ(coll.RemoveValue(&values[k]), 1) << k;
    EXPECT_EQ(coll.RemoveValue(&values[k]), 0) << k;
    for (int i = 1; i <= coll.Size(); ++i) EXPECT_NE(coll[i], &values[k]);
  }
  EXPECT_EQ(coll.Size(), 0);
}

TEST(RawCollTest, ValueCollectionRemovesByPositionAndCopiesIndependently) {
  KezRawCollint ints;
  for (int v : {10, 20, 30}) ints.Append(v);
  EXPECT_EQ(ints.RemovePosition(2), 1);
  EXPECT_EQ(ints.RemovePosition(0), 0);
  EXPECT_EQ(ints.RemovePosition(3), 0);
  EXPECT_EQ(ints[2], 30);
  EXPECT_EQ(ints[3], 0);
  KezRawCollint copy(ints);
  copy.Append(40);
  KezRawCollint assigned;
  assigned = copy;
  assigned.RemovePosition(1);
  EXPECT_EQ(ints.Size(), 2);
  EXPECT_EQ(copy.Size(), 3);
  ASSERT_EQ(assigned.Size(), 2);
  EXPECT_EQ(assigned[1], 30);
  EXPECT_EQ(assigned[2], 40);
  assigned.RemoveAll(1);
  EXPECT_EQ(assigned.Size(), 0);
}

TEST(ListValTest, TextListIsOneBasedWithEmptyTextOutside) {
  KezListValKezUnicodeString list;
  for (const char* text : {"a", "b", "c"}) list.Append(text);
  EXPECT_EQ(list[0], "");
  EXPECT_EQ(list[4], "");
  EXPECT_EQ(list.RemovePosition(2), 1);
  EXPECT_EQ(list.RemovePosition(3), 0);
  EXPECT_EQ(list[2], "c");
  list.RemoveAll(1);
  EXPECT_EQ(list.Size(), 0);
}

// The typed lists of nodes never touch the nodes: plain addresses serve.
TEST(TypedListTest, NodeListCopiesAndAssignsItsEntries) {
  std::vector<char> storage(3);
  auto node = [&](int k) { return reinterpret_cast<KezDcQrQResult*>(&storage[k]); };
  KezListPtrKezDcQrQResult list(0);
  for (int k = 0; k < 3; ++k) list.Append(node(k));
  KezListPtrKezDcQrQResult copy(list);
  EXPECT_EQ(copy.RemoveValue(node(1)), 1);
  KezListPtrKezDcQrQResult& same = list;
  list = same;  // self-assignment keeps the entries
  EXPECT_EQ(list.Size(), 3);
  list = copy;
  ASSERT_EQ(list.Size(), 2);
  EXPECT_EQ(list[2], node(2));
}

class HashDicoTest : public ::testing::Test {
 protected:
  // Keys k0..k(n-1) with values pointing into values_.
  void Fill(int n) {
    values_.assign(static_cast<std::size_t>(n), 0);
    for (int k = 0; k < n; ++k) dico_.Insert(Key(k), &values_[static_cast<std::size_t>(k)]);
  }
  static KezUnicodeString Key(int k) { return KezUnicodeString(("k" + std::to_string(k)).c_str()); }
  // The keys of a whole walk, in order.
  static std::vector<std::string> Keys(KezHashDico& dico) {
    int i = 1, j = 0;
    KezUnicodeString key;
    std::vector<std::string> keys;
    while (dico.Next(i, j, &key)) keys.push_back(key.Std());
    return keys;
  }

  KezHashDico dico_{100};
  std::vector<int> values_;
};

TEST_F(HashDicoTest, InsertReplacesRemoveReportsAndCopiesStayIndependent) {
  Fill(3);
  int other = 0;
  dico_.Insert("k1", &other);
  EXPECT_EQ(dico_.Locate("k1"), &other);
  EXPECT_EQ(Keys(dico_), (std::vector<std::string>{"k0", "k1", "k2"}));
  EXPECT_EQ(dico_.Remove("absent"), 0);
  EXPECT_EQ(dico_.Remove("k0"), 1);
  EXPECT_EQ(dico_.Remove("k0"), 0);
  EXPECT_EQ(dico_.Locate("k0"), nullptr);
  EXPECT_EQ(dico_.Remove("k2", &other), 0);  // the key holds another value
  KezHashDico copy(dico_);
  EXPECT_EQ(dico_.Remove("k2", &values_[2]), 1);
  EXPECT_EQ(dico_.Size(), 1);
  KezHashDico assigned(10);
  assigned = copy;
  EXPECT_EQ(assigned.Size(), 2);
  EXPECT_EQ(assigned.Locate("k2"), &values_[2]);
}

// What ApplyDelete relies on: each value taken removes itself and others,
// ahead of and behind the walk, and a removed value is never yielded. The
// walk moves forward over each position once and a removal costs O(1), so
// the whole walk takes linear time by construction (no timed test).
TEST_F(HashDicoTest, WalkSurvivesRemovalsAndNeverYieldsARemovedValue) {
  const int n = 2000;
  Fill(n);
  std::set<int> removed, yielded;
  int i = 1, j = 0;
  while (void* v = dico_.Next(i, j, nullptr)) {
    int k = static_cast<int>(static_cast<int*>(v) - values_.data());
    EXPECT_EQ(removed.count(k), 0u) << k;
    EXPECT_TRUE(yielded.insert(k).second) << k;
    for (int gone : {k, k + 1, k + 7, n - 1 - k, k / 2}) {
      if (gone >= n) continue;
      dico_.Remove(Key(gone));
      removed.insert(gone);
    }
  }
  EXPECT_EQ(dico_.Size(), 0);
  // Every value was either yielded or removed before the walk reached it.
  EXPECT_EQ(removed.size(), static_cast<std::size_t>(n));
}

TEST_F(HashDicoTest, InsertAfterManyRemovalsKeepsEveryEntryReachable) {
  Fill(200);
  for (int k = 0; k < 200; k += 2) dico_.Remove(Key(k));
  int extra = 0;
  dico_.Insert("late", &extra);  // may compact the holes
  for (int k = 1; k < 200; k += 2) EXPECT_EQ(dico_.Locate(Key(k)), &values_[static_cast<std::size_t>(k)]);
  std::vector<std::string> keys = Keys(dico_);
  EXPECT_EQ(keys.size(), 101u);
  EXPECT_EQ(keys.back(), "late");
}

// A null value cannot be told from the end of a walk: the walk passes over
// it so that the entries after it are still reached.
TEST_F(HashDicoTest, WalkPassesOverNullValuesAndEndsWithNull) {
  int a = 0;
  dico_.Insert("null", nullptr);
  dico_.Insert("a", &a);
  int i = 1, j = 0;
  EXPECT_EQ(dico_.Next(i, j, nullptr), &a);
  EXPECT_EQ(dico_.Next(i, j, nullptr), nullptr);
  EXPECT_EQ(dico_.Next(i, j, nullptr), nullptr);
  Fill(50);  // removing everything during a walk ends it
  i = 1;
  j = 0;
  ASSERT_NE(dico_.Next(i, j, nullptr), nullptr);
  dico_.RemoveAll();
  EXPECT_EQ(dico_.Next(i, j, nullptr), nullptr);
  EXPECT_EQ(dico_.Size(), 0);
  KezHashDico never_filled(100);
  i = 1;
  j = 0;
  EXPECT_EQ(never_filled.Next(i, j, nullptr), nullptr);
}

}  // namespace
