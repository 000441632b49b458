// Release discipline: every object, row and accessor handle of the layer is
// given back exactly once and bottom-up, by freeing at any level, by
// deleting nodes and by deleting every query.
#include <functional>

#include "support/DbFixture.h"

namespace kez {
namespace test {
namespace {

// A recording access layer: its objects write every Release, ReleaseRows and
// ReleaseAccessor into a shared log and count their references. It serves
// one string column "item" of 8 octets over the rows row1..row3.
struct SpyLog {
  Texts events;
  int alive = 0;  // spy objects not yet gone
};

template <class Interface>
class Spy : public Interface {
 public:
  Spy(SpyLog* log, std::string name) : log_(log), name_(std::move(name)) { ++log_->alive; }
  int QueryInterface(KezDcDbClassId, void** out) override {
    if (out) *out = nullptr;
    return 1;
  }
  int AddRef() override { return ++references_; }
  int Release() override {
    log_->events.push_back(name_ + ".Release");
    int left = --references_;
    if (left == 0) {
      --log_->alive;
      delete this;
    }
    return left;
  }

 protected:
  ~Spy() override = default;
  SpyLog* log_;
  std::string name_;

 private:
  int references_ = 1;
};

class SpyInsert : public Spy<KezIDcDbInsertRowset> {
 public:
  explicit SpyInsert(SpyLog* log) : Spy(log, "insert") {}
  int InsertRow(KezDcDbHAccessor, _SEQUENCE_SEQUENCE_octet*) override { return 0; }
};

class SpyRowset : public Spy<KezIDcDbSimpleRowset> {
 public:
  explicit SpyRowset(SpyLog* log) : Spy(log, "rowset") {}
  int QueryInterface(KezDcDbClassId id, void** out) override {
    if (id != KezIDcDbInsertRowset::ClassId() || !out) return Spy::QueryInterface(id, out);
    *out = static_cast<KezIDcDbInsertRowset*>(new SpyInsert(log_));
    return 0;
  }
  int GetColumnsInfo(uint32_t* nbCols, _SEQUENCE_KezDcDbColInfoSeq** info) override {
    *info = new _SEQUENCE_KezDcDbColInfoSeq(1);
    (*info)->length(1);
    (**info)[0].colName = "item";
    (**info)[0].colSize = 8;
    *nbCols = 1;
    return 0;
  }
  int CreateAccessor(uint32_t, _SEQUENCE_KezDcDbBindingSeq*, KezDcDbHAccessor* out) override {
    *out = 7;
    return 0;
  }
  int GetNextRows(uint32_t wanted, uint32_t* obtained, _SEQUENCE_KezDcDbRowHandleSeq** rows) override {
    uint32_t n = 3 - next_ < wanted ? 3 - next_ : wanted;
    *rows = new _SEQUENCE_KezDcDbRowHandleSeq(n);
    (*rows)->length(n);
    for (uint32_t k = 0; k < n; ++k) (**rows)[k] = ++next_;
    *obtained = n;
    return 0;
  }
  int GetDataSeq(KezDcDbRowHandle row, KezDcDbHAccessor, _SEQUENCE_SEQUENCE_octet* buffer) override {
    std::string text = "row" + std::to_string(row);
    for (uint32_t k = 0; k <= text.size() && k < buffer->length(); ++k) (*buffer)[k] = text.c_str()[k];
    return 0;
  }
  int ReleaseAccessor(KezDcDbHAccessor handle) override {
    log_->events.push_back("ReleaseAccessor " + std::to_string(handle));
    return 0;
  }
  int ReleaseRows(uint32_t count, _SEQUENCE_KezDcDbRowHandleSeq*) override {
    log_->events.push_back("ReleaseRows " + std::to_string(count));
    return 0;
  }

 private:
  uint32_t next_ = 0;
};

class SpySession : public Spy<KezIDcDbSimpleSession> {
 public:
  explicit SpySession(SpyLog* log) : Spy(log, "session") {}
  int OpenRowset(const char*, KezDcDbClassId, void** out) override {
    *out = static_cast<KezIDcDbSimpleRowset*>(new SpyRowset(log_));
    return 0;
  }
};

class SpySource : public Spy<KezIDcDbDataSource> {
 public:
  explicit SpySource(SpyLog* log) : Spy(log, "source") {}
  int OpenSession(KezDcDbClassId, void** out) override {
    *out = static_cast<KezIDcDbSimpleSession*>(new SpySession(log_));
    return 0;
  }
};

const char kSpyCell[] = "@spy:main:any:item:2:item";

using ReleaseTest = DbTest;

TEST_F(ReleaseTest, FreeingOrDeletingAnyLevelReleasesWhatItHoldsOnceBottomUp) {
  const Texts road = {"ReleaseRows 2",  "rowset.Release", "ReleaseAccessor 7", "rowset.Release",
                      "insert.Release", "rowset.Release", "session.Release",   "source.Release"};
  const auto free_source = [] { static_cast<KezDcQrQRDataSource*>(Registered("@spy"))->FreeQResult(); };
  struct Case {
    const char* name;
    std::function<void()> release;
    size_t released;  // the first events of the road
  } cases[] = {
      {"free of the rowset", [] { static_cast<KezDcQrQRRowset*>(Registered("@spy:main:any"))->FreeQResult(); }, 6},
      {"deleting the data source", [] { KezDcQrQResult::DeleteQResult("@spy"); }, 8},
      {"deleting every query", [] { KezDcQrQuery::DeleteAllQueries(); }, 8},
      {"free of the data source", free_source, 8},
  };
  SpyLog log;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KezDcQrQuery::DeleteAllQueries();
    ASSERT_EQ(log.alive, 0);
    // The spy layer under @spy, a cell read and the insert interface
    // obtained: every kind of object and handle is held.
    Node<KezDcQrQRDataSource>("@spy")->p_QResult = new SpySource(&log);
    auto* cell = Node<KezDcQrQRCell>(kSpyCell);
    ASSERT_STREQ(cell->GetQResult(), "row1");
    ASSERT_NE(cell->p_QRData->p_QRRowset->GetWriteQResult(), nullptr);
    log.events.clear();
    c.release();
    EXPECT_EQ(log.events, Texts(road.begin(), road.begin() + c.released));
    EXPECT_EQ(log.alive, c.released == road.size() ? 0 : 2);
  }
  log.events.clear();
  free_source();  // a second free has nothing left to release
  EXPECT_TRUE(log.events.empty());
}

TEST_F(ReleaseTest, EachLevelReleasesWhatItHoldsAndNoMore) {
  FillOrders(12);
  auto* cell = Node<KezDcQrQRCell>("@m:main:orders:*:10:item");
  cell->GetQResult();
  EXPECT_EQ(Held(), "3/10/1");
  cell->FreeQResult();
  EXPECT_EQ(Held(), "3/10/1");
  cell->p_QRData->FreeQResult();
  EXPECT_EQ(Held(), "3/0/1");
  cell->p_QRData->p_QRAccessor->FreeQResult();
  EXPECT_EQ(Held(), "3/0/0");
  cell->p_QRData->p_QRRowset->FreeQResult();
  EXPECT_EQ(Held(), "2/0/0");
  static_cast<KezDcQrQRSession*>(Registered("@m:main"))->FreeQResult();
  EXPECT_EQ(Held(), "1/0/0");
  static_cast<KezDcQrQRDataSource*>(Registered("@m"))->FreeQResult();
  EXPECT_EQ(Held(), "0/0/0");
}

TEST_F(ReleaseTest, SeveralBlocksAndAccessorsUnderOneRowsetAllGoBack) {
  FillOrders(12);
  Node<KezDcQrQRCell>("@m:main:orders:*:10:item")->GetQResult();
  Node<KezDcQrQRCell>("@m:main:orders:*:5:item")->GetQResult();
  Node<KezDcQrQRCell>("@m:main:orders:item:3:item")->GetQResult();
  Node<KezDcQrQRData>("@m:main:orders:item:3")->p_QRRowset->GetWriteQResult();
  EXPECT_EQ(Held(), "4/12/2");  // the blocks share the rowset's one position
  static_cast<KezDcQrQRRowset*>(Registered("@m:main:orders"))->FreeQResult();
  EXPECT_EQ(Held(), "2/0/0");
  Node<KezDcQrQRCell>("@m:main:orders:*:5:item")->GetQResult();
  EXPECT_EQ(Held(), "3/5/1");
  KezDcQrQResult::DeleteQResult("@m:main:orders:*");
  EXPECT_EQ(Held(), "3/0/0");
  EXPECT_EQ(Registered("@m:main:orders:*:5:item"), nullptr);
}

TEST_F(ReleaseTest, DeletingPartsOfTheRoadReleasesTheirObjects) {
  FillOrders(3);
  const std::string text = "Get(@m:main:orders:{item+amount}:10:item)";
  const std::string other = "Get(@m:main:orders:{item+amount}:10:amount)";
  Run(text);
  Run(other);
  EXPECT_EQ(Held(), "3/3/1");
  KezDcQrQuery::DeleteQuery(text.c_str());  // the cell only: its sibling still reads the block
  EXPECT_EQ(Registered("@m:main:orders:{item+amount}:10:item"), nullptr);
  EXPECT_EQ(Held(), "3/3/1");
  KezDcQrQuery::DeleteQuery(other.c_str());  // the last query: the nodes it alone used go with it
  EXPECT_EQ(Held(), "0/0/0");
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
  KezDcQrQResult::NewQResult("@m");  // a client holds the data source from now on
  Run(text);
  EXPECT_EQ(Held(), "3/3/1");
  KezDcQrQResult::DeleteQResult("@m:main:orders:{item+amount}:10");
  EXPECT_EQ(Registered("@m:main"), nullptr);
  EXPECT_EQ(Held(), "1/0/0");
  Run(other);  // a new query opens the road again below the held data source
  EXPECT_EQ(Held(), "3/3/1");
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(Held(), "0/0/0");
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
}

}  // namespace
}  // namespace test
}  // namespace kez
