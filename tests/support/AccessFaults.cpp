// The wrapping objects of AccessFaults. Every reference to a wrapper is also
// one to the backend's object, so the backend sees each AddRef and Release
// as it would without the wrapper, and a wrapper holds its father wrapper as
// the backend's object holds its own: wrappers live exactly as long.
#include "support/AccessFaults.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "database/access/DataSourceWrapper.h"

namespace kez {
namespace test {
namespace {

typedef AccessFaults F;

struct Failure {
  int code = 0;
  long countdown = 0;  // fails when it reaches 0; -1: always
};

struct State {
  Failure failures[F::kOperationCount];
  long calls[F::kOperationCount] = {};
  int live_objects = 0;
  int sessions = 0;
  long outstanding_rows = 0;
  int live_accessors = 0;
  int misuses = 0;
};

State& S() {
  static State* state = new State();  // never destroyed: objects may outlive static destruction
  return *state;
}

// Counts the call and returns the scripted code for it, 0 when none.
int Scripted(F::Operation op) {
  ++S().calls[op];
  Failure& f = S().failures[op];
  if (f.countdown < 0) return f.code;
  if (f.countdown == 0) return 0;
  return --f.countdown == 0 ? f.code : 0;
}

// A failing operation that does not reach the backend: no object out.
int Refused(int code, void** out) {
  if (out) *out = nullptr;
  return code;
}

// A new sequence of the handles (the caller's).
_SEQUENCE_KezDcDbRowHandleSeq* Sequence(const std::vector<KezDcDbRowHandle>& handles) {
  auto* seq = new _SEQUENCE_KezDcDbRowHandleSeq(static_cast<uint32_t>(handles.size()));
  seq->length(static_cast<uint32_t>(handles.size()));
  std::copy(handles.begin(), handles.end(), seq->data());
  return seq;
}

template <class I>
class Wrapper : public I {
 public:
  typedef I Interface;
  Wrapper(I* inner, KezIDcDbUnknown* father) : inner_(inner), father_(father) {
    ++S().live_objects;
    if (father_) father_->AddRef();
  }
  Wrapper(const Wrapper&) = delete;
  Wrapper& operator=(const Wrapper&) = delete;

  int AddRef() override {
    inner_->AddRef();
    return ++references_;
  }
  int Release() override {
    int left = --references_;
    if (left == 0) BeforeLastRelease();
    inner_->Release();
    if (left == 0) delete this;
    return left;
  }
  // Asks the backend; its own interface comes back as this object, others
  // as the backend answers them (the derived classes wrap those they know).
  int QueryInterface(KezDcDbClassId id, void** out) override {
    int rc = inner_->QueryInterface(id, out);
    if (rc == 0 && out && *out && id == I::ClassId()) {
      ++references_;
      *out = static_cast<I*>(this);
    }
    return rc;
  }

 protected:
  ~Wrapper() override {
    --S().live_objects;
    if (father_) father_->Release();
  }
  virtual void BeforeLastRelease() {}
  // Wraps the object that a successful call of the father handed out for
  // interface id.
  template <class W, class Father>
  static int Adopt(Father* father, int rc, KezDcDbClassId id, void** out) {
    if (rc == 0 && out && *out && id == W::ClassId()) {
      *out = static_cast<typename W::Interface*>(new W(static_cast<typename W::Interface*>(*out), father));
    }
    return rc;
  }

  I* inner_;

 private:
  KezIDcDbUnknown* father_;
  int references_ = 1;
};

class Views final : public Wrapper<KezIDcDbSessionViews> {
 public:
  using Wrapper::Wrapper;
  int AddSessionView(const char* name, const char* select) override { return inner_->AddSessionView(name, select); }
};

class Schema final : public Wrapper<KezIDcDbSchema> {
 public:
  using Wrapper::Wrapper;
  int GetTables(uint32_t* count, _SEQUENCE_KezDcDbNameSeq** names) override { return inner_->GetTables(count, names); }
};

class Rowset final : public Wrapper<KezIDcDbSimpleRowset> {
 public:
  using Wrapper::Wrapper;

  int QueryInterface(KezDcDbClassId id, void** out) override;

  int GetColumnsInfo(uint32_t* nbCols, _SEQUENCE_KezDcDbColInfoSeq** info) override {
    int code = Scripted(F::kGetColumnsInfo);
    int rc = inner_->GetColumnsInfo(nbCols, info);
    return code ? code : rc;
  }

  int CreateAccessor(uint32_t nb, _SEQUENCE_KezDcDbBindingSeq* bindings, KezDcDbHAccessor* out) override {
    if (int code = Scripted(F::kCreateAccessor)) {
      if (out) *out = 0;
      return code;
    }
    int rc = inner_->CreateAccessor(nb, bindings, out);
    if (rc == 0 && out) {
      accessors_.push_back(*out);
      ++S().live_accessors;
    }
    return rc;
  }

  // A failing fetch delivers the rows and keeps them back in the backend:
  // the next fetch hands the same rows out again.
  int GetNextRows(uint32_t wanted, uint32_t* obtained, _SEQUENCE_KezDcDbRowHandleSeq** rows) override {
    int code = Scripted(F::kGetNextRows);
    bool replay = !kept_.empty();
    std::vector<KezDcDbRowHandle> handles(kept_.begin(), kept_.begin() + std::min<std::size_t>(wanted, kept_.size()));
    int rc = 0;
    if (!replay) {
      _SEQUENCE_KezDcDbRowHandleSeq* fetched = nullptr;
      uint32_t n = 0;
      rc = inner_->GetNextRows(wanted, &n, &fetched);
      for (uint32_t k = 0; fetched && k < n && k < fetched->length(); ++k) handles.push_back((*fetched)[k]);
      delete fetched;
      if (code != 0 && rc == 0) kept_ = handles;
    } else if (code == 0) {
      kept_.clear();
    }
    auto n = static_cast<uint32_t>(handles.size());
    held_.insert(held_.end(), handles.begin(), handles.end());
    S().outstanding_rows += n;
    if (obtained) *obtained = n;
    if (rows) *rows = Sequence(handles);
    return code ? code : rc;
  }

  int GetDataSeq(KezDcDbRowHandle row, KezDcDbHAccessor accessor, _SEQUENCE_SEQUENCE_octet* buffer) override {
    if (int code = Scripted(F::kGetDataSeq)) return code;
    if (!Knows(accessor) || std::find(held_.begin(), held_.end(), row) == held_.end() || !buffer) ++S().misuses;
    return inner_->GetDataSeq(row, accessor, buffer);
  }

  int ReleaseAccessor(KezDcDbHAccessor accessor) override {
    if (int code = Scripted(F::kReleaseAccessor)) return code;
    auto found = std::find(accessors_.begin(), accessors_.end(), accessor);
    if (found == accessors_.end()) ++S().misuses;
    int rc = inner_->ReleaseAccessor(accessor);
    if (found != accessors_.end() && rc == 0) {
      accessors_.erase(found);
      --S().live_accessors;
    }
    return rc;
  }

  // Rows kept back for the next fetch stay with the backend.
  int ReleaseRows(uint32_t count, _SEQUENCE_KezDcDbRowHandleSeq* rows) override {
    if (int code = Scripted(F::kReleaseRows)) return code;
    if (count > held_.size()) ++S().misuses;
    uint32_t n = std::min<uint32_t>(count, static_cast<uint32_t>(held_.size()));
    for (uint32_t k = 0; k < n; ++k) {
      auto named = rows && k < rows->length() ? std::find(held_.begin(), held_.end(), (*rows)[k]) : held_.end();
      held_.erase(named != held_.end() ? named : held_.begin());
    }
    S().outstanding_rows -= n;
    return kept_.empty() ? inner_->ReleaseRows(count, rows) : 0;
  }

  bool Knows(KezDcDbHAccessor accessor) const {
    return std::find(accessors_.begin(), accessors_.end(), accessor) != accessors_.end();
  }

 private:
  void BeforeLastRelease() override {
    if (kept_.empty()) return;
    std::unique_ptr<_SEQUENCE_KezDcDbRowHandleSeq> kept(Sequence(kept_));
    inner_->ReleaseRows(kept->length(), kept.get());
  }

  std::vector<KezDcDbHAccessor> accessors_;  // created and not released
  std::vector<KezDcDbRowHandle> held_;       // handed out and not released
  std::vector<KezDcDbRowHandle> kept_;       // of a failed fetch, to hand out again
};

class Insert final : public Wrapper<KezIDcDbInsertRowset> {
 public:
  Insert(KezIDcDbInsertRowset* inner, Rowset* rowset) : Wrapper(inner, rowset), rowset_(rowset) {}

  int InsertRow(KezDcDbHAccessor accessor, _SEQUENCE_SEQUENCE_octet* buffer) override {
    int code = Scripted(F::kInsertRow);
    if (code > 0) return code;
    if (!rowset_->Knows(accessor) || !buffer) ++S().misuses;
    int rc = inner_->InsertRow(accessor, buffer);
    return rc ? rc : code;
  }

 private:
  Rowset* rowset_;  // the father, held
};

int Rowset::QueryInterface(KezDcDbClassId id, void** out) {
  if (int code = Scripted(F::kQueryInterface)) return Refused(code, out);
  return Adopt<Insert>(this, Wrapper::QueryInterface(id, out), id, out);
}

class Session final : public Wrapper<KezIDcDbSimpleSession> {
 public:
  Session(KezIDcDbSimpleSession* inner, KezIDcDbUnknown* father) : Wrapper(inner, father) { ++S().sessions; }
  ~Session() override { --S().sessions; }

  int QueryInterface(KezDcDbClassId id, void** out) override {
    return Adopt<Schema>(this, Wrapper::QueryInterface(id, out), id, out);
  }
  int OpenRowset(const char* name, KezDcDbClassId id, void** out) override {
    if (int code = Scripted(F::kOpenRowset)) return Refused(code, out);
    return Adopt<Rowset>(this, inner_->OpenRowset(name, id, out), id, out);
  }
};

class Source final : public Wrapper<KezIDcDbDataSource> {
 public:
  using Wrapper::Wrapper;
  int QueryInterface(KezDcDbClassId id, void** out) override {
    return Adopt<Views>(this, Wrapper::QueryInterface(id, out), id, out);
  }
  int OpenSession(KezDcDbClassId id, void** out) override {
    if (int code = Scripted(F::kOpenSession)) return Refused(code, out);
    return Adopt<Session>(this, inner_->OpenSession(id, out), id, out);
  }
};

KezIDcDbDataSource* WrapSource(KezIDcDbDataSource* inner, const char* /*name*/) {
  if (!inner) return nullptr;
  if (Scripted(F::kCreateDataSource) != 0) {
    inner->Release();
    return nullptr;
  }
  return new Source(inner, nullptr);
}

}  // namespace

void AccessFaults::FailAt(Operation operation, int code, int nthCall) {
  if (operation >= 0 && operation < kOperationCount) S().failures[operation] = Failure{code, std::max(nthCall, 1)};
}

void AccessFaults::FailAlways(Operation operation, int code) {
  if (operation >= 0 && operation < kOperationCount) S().failures[operation] = Failure{code, -1};
}

void AccessFaults::ClearFailures() {
  for (Failure& f : S().failures) f = Failure();
}

long AccessFaults::CallCount(Operation operation) {
  return operation < 0 || operation >= kOperationCount ? 0 : S().calls[operation];
}

int AccessFaults::LiveObjects() {
  return S().live_objects;
}
int AccessFaults::OpenConnections() {
  return S().sessions;
}
long AccessFaults::OutstandingRows() {
  return S().outstanding_rows;
}
int AccessFaults::LiveAccessors() {
  return S().live_accessors;
}
int AccessFaults::Misuses() {
  return S().misuses;
}

void AccessFaults::Install() {
  kez::detail::SetDataSourceWrapper(WrapSource);
}

KezIDcDbDataSource* AccessFaults::Wrap(KezIDcDbDataSource* inner) {
  return WrapSource(inner, "");
}

}  // namespace test
}  // namespace kez
