// A small recording access layer for the release-order tests: objects that
// write every Release, ReleaseRows and ReleaseAccessor into a shared log and
// count their references, so a test can check that the nodes give each one
// back exactly once and bottom-up. It serves one string column "item" of 8
// octets over the rows row1..row3.
#ifndef KEZ_TEST_SPY_LAYER_H
#define KEZ_TEST_SPY_LAYER_H

#include <string>
#include <vector>

#include "KezDcQr.h"

namespace kez {
namespace test {

struct SpyLog {
  std::vector<std::string> events;
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

}  // namespace test
}  // namespace kez

#endif
