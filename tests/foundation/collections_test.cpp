// Collections and the dictionary behind every registry: 1-based positions,
// removal by value and by position, and walks that survive removals.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "foundation/KezHashDico.h"
#include "foundation/KezListValKezUnicodeString.h"
#include "foundation/KezRawColl.h"
#include "result/KezDcQrQResult.h"

namespace {

TEST(RawCollTest, PointerCollectionIsOneBasedAndRemovesByValue) {
  int a = 0, b = 0, c = 0;
  KezRawCollPV coll(0);
  coll.Append(&a);
  coll.Append(&b);
  coll.Append(&c);
  ASSERT_EQ(coll.Size(), 3);
  EXPECT_EQ(coll[1], &a);
  EXPECT_EQ(coll[3], &c);
  EXPECT_EQ(coll[0], nullptr);
  EXPECT_EQ(coll[4], nullptr);
  EXPECT_EQ(coll.RemoveValue(&b), 1);
  EXPECT_EQ(coll.RemoveValue(&b), 0);
  ASSERT_EQ(coll.Size(), 2);
  EXPECT_EQ(coll[1], &a);
  EXPECT_EQ(coll[2], &c);
  EXPECT_EQ(coll.RemoveValue(&a), 1);
  EXPECT_EQ(coll[1], &c);
  coll.RemoveAll(1);
  EXPECT_EQ(coll.Size(), 0);
  EXPECT_EQ(coll.RemoveValue(&c), 0);
}

TEST(RawCollTest, RemoveValueFindsEntriesAtEitherEndAndInTheMiddle) {
  std::vector<int> values(9);
  KezRawCollPV coll;
  for (int& v : values) coll.Append(&v);
  // The middle, then both ends, then what remains in any order.
  for (int k : {4, 0, 8, 5, 1, 7, 3, 6, 2}) {
    EXPECT_EQ(coll.RemoveValue(&values[k]), 1) << k;
    for (int i = 1; i <= coll.Size(); ++i) EXPECT_NE(coll[i], &values[k]);
  }
  EXPECT_EQ(coll.Size(), 0);
}

TEST(RawCollTest, CopyAndAssignmentAreIndependent) {
  KezRawCollint ints;
  ints.Append(1);
  ints.Append(2);
  KezRawCollint copy(ints);
  copy.Append(3);
  KezRawCollint assigned;
  assigned = copy;
  assigned.RemovePosition(1);
  EXPECT_EQ(ints.Size(), 2);
  EXPECT_EQ(copy.Size(), 3);
  ASSERT_EQ(assigned.Size(), 2);
  EXPECT_EQ(assigned[1], 2);
  EXPECT_EQ(assigned[2], 3);
}

TEST(RawCollTest, IntAndDoubleCollectionsRemoveByPosition) {
  KezRawCollint ints;
  for (int v : {10, 20, 30}) ints.Append(v);
  EXPECT_EQ(ints.RemovePosition(2), 1);
  EXPECT_EQ(ints.RemovePosition(0), 0);
  EXPECT_EQ(ints.RemovePosition(3), 0);
  ASSERT_EQ(ints.Size(), 2);
  EXPECT_EQ(ints[1], 10);
  EXPECT_EQ(ints[2], 30);
  EXPECT_EQ(ints[3], 0);
  EXPECT_EQ(ints.RemoveValue(30), 1);

  KezRawColldouble doubles;
  for (double v : {1.5, 2.5, 3.5}) doubles.Append(v);
  EXPECT_EQ(doubles.RemovePosition(3), 1);
  EXPECT_EQ(doubles.RemovePosition(1), 1);
  ASSERT_EQ(doubles.Size(), 1);
  EXPECT_EQ(doubles[1], 2.5);
  EXPECT_EQ(doubles[0], 0.0);
}

TEST(ListValTest, TextListIsOneBasedWithEmptyTextOutside) {
  KezListValKezUnicodeString list;
  list.Append("a");
  list.Append("b");
  list.Append("c");
  ASSERT_EQ(list.Size(), 3);
  EXPECT_EQ(list[1], "a");
  EXPECT_EQ(list[3], "c");
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
  ASSERT_EQ(list.Size(), 3);
  EXPECT_EQ(list[1], node(0));
  EXPECT_EQ(list[4], nullptr);
  KezListPtrKezDcQrQResult copy(list);
  EXPECT_EQ(copy.RemoveValue(node(1)), 1);
  EXPECT_EQ(list.Size(), 3);
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
  int IndexOf(void* value) const { return static_cast<int>(static_cast<int*>(value) - values_.data()); }

  KezHashDico dico_{100};
  std::vector<int> values_;
};

TEST_F(HashDicoTest, InsertReplacesTheValueOfAKeyInPlace) {
  Fill(3);
  int other = 0;
  dico_.Insert("k1", &other);
  EXPECT_EQ(dico_.Size(), 3);
  EXPECT_EQ(dico_.Locate("k1"), &other);
  int i = 1, j = 0;
  KezUnicodeString key;
  std::vector<std::string> keys;
  while (dico_.Next(i, j, &key)) keys.push_back(key.Std());
  EXPECT_EQ(keys, (std::vector<std::string>{"k0", "k1", "k2"}));
}

TEST_F(HashDicoTest, RemoveReturnsZeroWhenNothingWasRemoved) {
  Fill(2);
  EXPECT_EQ(dico_.Remove("absent"), 0);
  EXPECT_EQ(dico_.Remove("k0"), 1);
  EXPECT_EQ(dico_.Remove("k0"), 0);
  EXPECT_EQ(dico_.Locate("k0"), nullptr);
  int other = 0;
  EXPECT_EQ(dico_.Remove("k1", &other), 0);  // the key holds another value
  EXPECT_NE(dico_.Locate("k1"), nullptr);
  EXPECT_EQ(dico_.Remove("k1", &values_[1]), 1);
  EXPECT_EQ(dico_.Size(), 0);
}

TEST_F(HashDicoTest, NextWalksInInsertionOrderAndEndsWithNull) {
  Fill(5);
  int i = 1, j = 0;
  std::vector<int> seen;
  while (void* v = dico_.Next(i, j, nullptr)) seen.push_back(IndexOf(v));
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(dico_.Next(i, j, nullptr), nullptr);
  KezHashDico empty(100);
  i = 1;
  j = 0;
  EXPECT_EQ(empty.Next(i, j, nullptr), nullptr);
}

// What ApplyDelete relies on: each value taken removes itself and others,
// ahead of and behind the walk, and a removed value is never yielded. The
// walk moves forward over each position once and a removal costs O(1), so
// the whole walk takes linear time by construction (no timed test).
TEST_F(HashDicoTest, WalkSurvivesRemovalsAndNeverYieldsARemovedValue) {
  const int n = 2000;
  Fill(n);
  std::set<int> removed;
  std::vector<int> yielded;
  int i = 1, j = 0;
  while (void* v = dico_.Next(i, j, nullptr)) {
    int k = IndexOf(v);
    EXPECT_EQ(removed.count(k), 0u) << k;
    yielded.push_back(k);
    for (int gone : {k, k + 1, k + 7, n - 1 - k, k / 2}) {
      if (gone < 0 || gone >= n) continue;
      dico_.Remove(Key(gone));
      removed.insert(gone);
    }
  }
  EXPECT_EQ(dico_.Size(), 0);
  EXPECT_EQ(yielded.size() + 0u, std::set<int>(yielded.begin(), yielded.end()).size());
  // Every value was either yielded or removed before the walk reached it.
  EXPECT_EQ(removed.size(), static_cast<std::size_t>(n));
}

TEST_F(HashDicoTest, RemovingEverythingDuringAWalkEndsIt) {
  Fill(50);
  int i = 1, j = 0;
  ASSERT_NE(dico_.Next(i, j, nullptr), nullptr);
  dico_.RemoveAll();
  EXPECT_EQ(dico_.Next(i, j, nullptr), nullptr);
  EXPECT_EQ(dico_.Size(), 0);
}

TEST_F(HashDicoTest, InsertAfterManyRemovalsKeepsEveryEntryReachable) {
  Fill(200);
  for (int k = 0; k < 200; k += 2) dico_.Remove(Key(k));
  int extra = 0;
  dico_.Insert("late", &extra);  // may compact the holes
  EXPECT_EQ(dico_.Size(), 101);
  for (int k = 1; k < 200; k += 2) EXPECT_EQ(dico_.Locate(Key(k)), &values_[static_cast<std::size_t>(k)]);
  int i = 1, j = 0, count = 0;
  KezUnicodeString key;
  void* last = nullptr;
  while (void* v = dico_.Next(i, j, &key)) {
    ++count;
    last = v;
  }
  EXPECT_EQ(count, 101);
  EXPECT_EQ(last, &extra);
  EXPECT_EQ(key, "late");
}

// A null value cannot be told from the end of a walk: the walk passes over
// it so that the entries after it are still reached.
TEST_F(HashDicoTest, WalkPassesOverNullValues) {
  int a = 0;
  dico_.Insert("null", nullptr);
  dico_.Insert("a", &a);
  int i = 1, j = 0;
  EXPECT_EQ(dico_.Next(i, j, nullptr), &a);
  EXPECT_EQ(dico_.Next(i, j, nullptr), nullptr);
}

TEST_F(HashDicoTest, CopyAndAssignmentAreIndependent) {
  Fill(2);
  KezHashDico copy(dico_);
  copy.Remove("k0");
  EXPECT_NE(dico_.Locate("k0"), nullptr);
  KezHashDico assigned(10);
  assigned = copy;
  EXPECT_EQ(assigned.Size(), 1);
  EXPECT_EQ(assigned.Locate("k1"), &values_[1]);
}

}  // namespace
