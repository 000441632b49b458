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
// instances stand for all three. The typed lists of nodes never touch the
// nodes: plain addresses serve.
TEST(CollectionTest, OneBasedListsRemoveByValueAndPositionAndCopyIndependently) {
  std::vector<int> values(9);
  KezRawCollPV coll(0);
  for (int& v : values) coll.Append(&v);
  EXPECT_EQ(coll[0], nullptr);
  EXPECT_EQ(coll[10], nullptr);
  for (int k : {4, 0, 8, 5, 1, 7, 3, 6, 2}) {  // the middle, both ends, the rest
    EXPECT_EQ(coll.RemoveValue(&values[k]), 1) << k;
    EXPECT_EQ(coll.RemoveValue(&values[k]), 0) << k;
    for (int i = 1; i <= coll.Size(); ++i) EXPECT_NE(coll[i], &values[k]);
  }
  EXPECT_EQ(coll.Size(), 0);
  KezRawCollint ints;
  for (int v : {10, 20, 30}) ints.Append(v);
  EXPECT_EQ(ints.RemovePosition(2), 1);
  EXPECT_EQ(ints.RemovePosition(0), 0);
  EXPECT_EQ(ints.RemovePosition(3), 0);
  EXPECT_EQ(ints[2], 30);
  EXPECT_EQ(ints[3], 0);
  KezRawCollint copy(ints), assigned;
  copy.Append(40);
  assigned = copy;
  assigned.RemovePosition(1);
  EXPECT_EQ(ints.Size(), 2);
  EXPECT_EQ(copy.Size(), 3);
  EXPECT_EQ(assigned[1], 30);
  EXPECT_EQ(assigned[2], 40);
  assigned.RemoveAll(1);
  EXPECT_EQ(assigned.Size(), 0);
  KezListValKezUnicodeString texts;
  for (const char* text : {"a", "b", "c"}) texts.Append(text);
  EXPECT_EQ(texts[0], "");
  EXPECT_EQ(texts[4], "");
  EXPECT_EQ(texts.RemovePosition(2), 1);
  EXPECT_EQ(texts.RemovePosition(3), 0);
  EXPECT_EQ(texts[2], "c");
  texts.RemoveAll(1);
  EXPECT_EQ(texts.Size(), 0);
  std::vector<char> storage(3);
  auto node = [&](int k) { return reinterpret_cast<KezDcQrQResult*>(&storage[k]); };
  KezListPtrKezDcQrQResult nodes(0);
  for (int k = 0; k < 3; ++k) nodes.Append(node(k));
  KezListPtrKezDcQrQResult node_copy(nodes);
  EXPECT_EQ(node_copy.RemoveValue(node(1)), 1);
  KezListPtrKezDcQrQResult& same = nodes;
  nodes = same;  // self-assignment keeps the entries
  EXPECT_EQ(nodes.Size(), 3);
  nodes = node_copy;
  ASSERT_EQ(nodes.Size(), 2);
  EXPECT_EQ(nodes[2], node(2));
}

class HashDicoTest : public ::testing::Test {
 protected:
  // Keys k0..k(n-1) with values pointing into values_.
  void Fill(int n) {
    values_.assign(static_cast<std::size_t>(n), 0);
    for (int k = 0; k < n; ++k) dico_.Insert(Key(k), &values_[static_cast<std::size_t>(k)]);
  }
  static KezUnicodeString Key(int k) { return KezUnicodeString(("k" + std::to_string(k)).c_str()); }
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
  EXPECT_EQ(removed.size(), static_cast<std::size_t>(n));
}

// Insertion after many removals may compact the holes; a null value cannot
// be told from the end of a walk, so the walk passes over it.
TEST_F(HashDicoTest, EntriesStayReachableAfterCompactionAndPastNullValues) {
  Fill(200);
  for (int k = 0; k < 200; k += 2) dico_.Remove(Key(k));
  int extra = 0;
  dico_.Insert("late", &extra);
  dico_.Insert("null", nullptr);
  dico_.Insert("after", &extra);
  for (int k = 1; k < 200; k += 2) EXPECT_EQ(dico_.Locate(Key(k)), &values_[static_cast<std::size_t>(k)]);
  std::vector<std::string> keys = Keys(dico_);
  EXPECT_EQ(keys.size(), 102u);
  EXPECT_EQ(keys.back(), "after");
  int i = 1, j = 0;
  ASSERT_NE(dico_.Next(i, j, nullptr), nullptr);
  dico_.RemoveAll();  // removing everything during a walk ends it
  EXPECT_EQ(dico_.Next(i, j, nullptr), nullptr);
  EXPECT_EQ(dico_.Next(i, j, nullptr), nullptr);
  KezHashDico never_filled(100);
  i = 1;
  j = 0;
  EXPECT_EQ(never_filled.Next(i, j, nullptr), nullptr);
}

}  // namespace
