// The memory backend: tables of texts in the process and reference-counted
// layer objects over them.
#include "database/access/memory/KezDcDbMemory.h"

#include <algorithm>
#include <map>
#include <memory>

#include "database/access/KezDcDbRefCounted.h"
#include "foundation/KezDcCMError.h"

namespace {

using kez::detail::KezDcDbRefCounted;

struct Table {
  std::vector<KezDcDbMemoryColumn> columns;
  std::vector<KezDcDbMemoryRow> rows;
  std::vector<KezDcDbMemoryRow> inserted;
};

struct State {
  std::map<std::string, std::map<std::string, std::shared_ptr<Table>>> databases;
};

State& S() {
  static State* state = new State();  // never destroyed: objects may outlive static destruction
  return *state;
}

std::shared_ptr<Table> FindTable(const std::string& database, const std::string& rowset) {
  auto db = S().databases.find(database);
  if (db == S().databases.end()) return nullptr;
  auto table = db->second.find(rowset);
  return table == db->second.end() ? nullptr : table->second;
}

class MemRowset;

class MemInsert final : public KezDcDbRefCounted<KezIDcDbInsertRowset> {
 public:
  explicit MemInsert(MemRowset* rowset);
  ~MemInsert() override;
  int InsertRow(KezDcDbHAccessor accessor, _SEQUENCE_SEQUENCE_octet* buffer) override;

 private:
  MemRowset* rowset_;  // one reference held
};

class MemRowset final : public KezDcDbRefCounted<KezIDcDbSimpleRowset> {
 public:
  MemRowset(KezIDcDbSimpleSession* session, std::string database, std::string name, std::shared_ptr<Table> table)
      : session_(session), database_(std::move(database)), name_(std::move(name)), table_(std::move(table)) {
    session_->AddRef();
  }
  ~MemRowset() override { session_->Release(); }

  int QueryInterface(KezDcDbClassId id, void** out) override {
    if (id == KezIDcDbInsertRowset::ClassId() && out) {
      *out = static_cast<KezIDcDbInsertRowset*>(new MemInsert(this));
      return 0;
    }
    return KezDcDbRefCounted<KezIDcDbSimpleRowset>::QueryInterface(id, out);
  }

  int GetColumnsInfo(uint32_t* nbCols, _SEQUENCE_KezDcDbColInfoSeq** info) override {
    uint32_t n = static_cast<uint32_t>(table_->columns.size());
    auto* seq = new _SEQUENCE_KezDcDbColInfoSeq(n);
    seq->length(n);
    for (uint32_t j = 0; j < n; ++j) {
      (*seq)[j].colName = table_->columns[j].name.c_str();
      (*seq)[j].colType = table_->columns[j].type;
      (*seq)[j].colSize = table_->columns[j].size;
    }
    if (nbCols) *nbCols = n;
    if (info) {
      *info = seq;
    } else {
      delete seq;
    }
    return 0;
  }

  int CreateAccessor(uint32_t nb, _SEQUENCE_KezDcDbBindingSeq* bindings, KezDcDbHAccessor* out) override {
    std::vector<KezDcDbBinding> copy;
    for (uint32_t i = 0; bindings && i < nb && i < bindings->length(); ++i) copy.push_back((*bindings)[i]);
    KezDcDbHAccessor handle = next_accessor_++;
    accessors_[handle] = std::move(copy);
    if (out) *out = handle;
    return 0;
  }

  int GetNextRows(uint32_t wanted, uint32_t* obtained, _SEQUENCE_KezDcDbRowHandleSeq** rows) override {
    // A walk reads the rows that the table held at its first fetch.
    if (!walk_started_) walk_end_ = table_->rows.size();
    walk_started_ = true;
    std::size_t total = std::min(walk_end_, table_->rows.size());
    std::size_t left = cursor_ < total ? total - cursor_ : 0;
    uint32_t n = static_cast<uint32_t>(left < wanted ? left : wanted);
    auto* seq = new _SEQUENCE_KezDcDbRowHandleSeq(n);
    seq->length(n);
    for (uint32_t k = 0; k < n; ++k) (*seq)[k] = static_cast<KezDcDbRowHandle>(cursor_ + k);
    cursor_ += n;
    if (obtained) *obtained = n;
    if (rows) {
      *rows = seq;
    } else {
      delete seq;
    }
    return 0;
  }

  int GetDataSeq(KezDcDbRowHandle row, KezDcDbHAccessor accessor, _SEQUENCE_SEQUENCE_octet* buffer) override {
    auto found = accessors_.find(accessor);
    if (found == accessors_.end() || !buffer || row >= table_->rows.size()) return 1;
    const KezDcDbMemoryRow& values = table_->rows[row];
    const std::vector<KezDcDbBinding>& bindings = found->second;
    for (uint32_t i = 0; i < bindings.size(); ++i) {
      const KezDcDbBinding& b = bindings[i];
      if (b.columnId < 1 || b.columnId > values.size()) continue;
      const std::string& value = values[b.columnId - 1];
      bool null = value == KezDcDbMemory::Null();
      WriteField(null ? std::string() : value, b, buffer);
      buffer->SetNull(i, null);
    }
    return 0;
  }

  int ReleaseAccessor(KezDcDbHAccessor accessor) override { return accessors_.erase(accessor) == 0 ? 1 : 0; }

  // Rows are texts of the table: nothing to give back.
  int ReleaseRows(uint32_t /*count*/, _SEQUENCE_KezDcDbRowHandleSeq* /*rows*/) override { return 0; }

  int Insert(KezDcDbHAccessor accessor, _SEQUENCE_SEQUENCE_octet* buffer) {
    auto found = accessors_.find(accessor);
    if (found == accessors_.end() || !buffer) return 1;
    KezDcDbMemoryRow row(table_->columns.size(), KezDcDbMemory::Null());
    std::vector<bool> bound(row.size(), false);
    const std::vector<KezDcDbBinding>& bindings = found->second;
    for (uint32_t i = 0; i < bindings.size(); ++i) {
      const KezDcDbBinding& b = bindings[i];
      if (b.columnId < 1 || b.columnId > row.size() || bound[b.columnId - 1]) continue;
      bound[b.columnId - 1] = true;  // the first binding of a column wins, as in SQL backends
      row[b.columnId - 1] = buffer->IsNull(i) ? KezDcDbMemory::Null() : ReadField(b, *buffer);
    }
    table_->rows.push_back(row);
    table_->inserted.push_back(std::move(row));
    return 0;
  }

 private:
  static void WriteField(const std::string& text, const KezDcDbBinding& b, _SEQUENCE_SEQUENCE_octet* buffer) {
    uint32_t length = buffer->length();
    if (b.offset >= length) return;
    uint32_t room = length - b.offset < b.maxlen ? length - b.offset : b.maxlen;
    uint32_t n = text.size() < room ? static_cast<uint32_t>(text.size()) : room;
    unsigned char* field = buffer->data() + b.offset;
    for (uint32_t k = 0; k < n; ++k) field[k] = static_cast<unsigned char>(text[k]);
    if (n < room) field[n] = 0;
  }

  static std::string ReadField(const KezDcDbBinding& b, const _SEQUENCE_SEQUENCE_octet& buffer) {
    std::string text;
    for (uint32_t k = 0; k < b.maxlen && b.offset + k < buffer.length(); ++k) {
      unsigned char c = buffer[b.offset + k];
      if (c == 0) break;
      text += static_cast<char>(c);
    }
    return text;
  }

  KezIDcDbSimpleSession* session_;  // one reference held
  std::string database_;
  std::string name_;
  std::shared_ptr<Table> table_;
  std::size_t cursor_ = 0;
  bool walk_started_ = false;
  std::size_t walk_end_ = 0;
  KezDcDbHAccessor next_accessor_ = 1;
  std::map<KezDcDbHAccessor, std::vector<KezDcDbBinding>> accessors_;
};

MemInsert::MemInsert(MemRowset* rowset) : rowset_(rowset) {
  rowset_->AddRef();
}
MemInsert::~MemInsert() {
  rowset_->Release();
}
int MemInsert::InsertRow(KezDcDbHAccessor accessor, _SEQUENCE_SEQUENCE_octet* buffer) {
  return rowset_->Insert(accessor, buffer);
}

// The tables of a memory database, in name order.
class MemSchema final : public KezDcDbRefCounted<KezIDcDbSchema> {
 public:
  MemSchema(KezIDcDbSimpleSession* session, std::string database) : session_(session), database_(std::move(database)) {
    session_->AddRef();
  }
  ~MemSchema() override { session_->Release(); }

  int GetTables(uint32_t* count, _SEQUENCE_KezDcDbNameSeq** names) override {
    std::vector<std::string> found;
    auto db = S().databases.find(database_);
    if (db != S().databases.end()) {
      for (const auto& table : db->second) found.push_back(table.first);  // a map: in name order
    }
    return _SEQUENCE_KezDcDbNameSeq::HandOut(found, count, names);
  }

 private:
  KezIDcDbSimpleSession* session_;  // one reference held
  std::string database_;
};

class MemSession final : public KezDcDbRefCounted<KezIDcDbSimpleSession> {
 public:
  MemSession(KezIDcDbDataSource* source, std::string database) : source_(source), database_(std::move(database)) {
    source_->AddRef();
  }
  ~MemSession() override { source_->Release(); }

  int QueryInterface(KezDcDbClassId id, void** out) override {
    if (id == KezIDcDbSchema::ClassId() && out) {
      *out = static_cast<KezIDcDbSchema*>(new MemSchema(this, database_));
      return 0;
    }
    return KezDcDbRefCounted<KezIDcDbSimpleSession>::QueryInterface(id, out);
  }

  int OpenRowset(const char* name, KezDcDbClassId id, void** out) override {
    if (out) *out = nullptr;
    if (id != KezIDcDbSimpleRowset::ClassId() || !out || !name) return 1;
    std::shared_ptr<Table> table = FindTable(database_, name);
    if (!table) {
      KezDcCMError::AddError("ERROR: memory database <%s> has no rowset <%s> \n", database_.c_str(), name);
      return 2;
    }
    *out = static_cast<KezIDcDbSimpleRowset*>(new MemRowset(this, database_, name, table));
    return 0;
  }

 private:
  KezIDcDbDataSource* source_;  // one reference held
  std::string database_;
};

class MemDataSource final : public KezDcDbRefCounted<KezIDcDbDataSource> {
 public:
  explicit MemDataSource(std::string database) : database_(std::move(database)) {}

  int OpenSession(KezDcDbClassId id, void** out) override {
    if (out) *out = nullptr;
    if (id != KezIDcDbSimpleSession::ClassId() || !out) return 1;
    *out = static_cast<KezIDcDbSimpleSession*>(new MemSession(this, database_));
    return 0;
  }

 private:
  std::string database_;
};

}  // namespace

const std::string& KezDcDbMemory::Null() {
  static const std::string* null = new std::string(1, '\0');
  return *null;
}

void KezDcDbMemory::CreateRowset(const std::string& database, const std::string& rowset,
                                 const std::vector<KezDcDbMemoryColumn>& columns) {
  auto table = std::make_shared<Table>();
  table->columns = columns;
  S().databases[database][rowset] = table;
}

void KezDcDbMemory::AppendRow(const std::string& database, const std::string& rowset, const KezDcDbMemoryRow& row) {
  std::shared_ptr<Table> table = FindTable(database, rowset);
  if (!table) return;
  KezDcDbMemoryRow copy = row;
  copy.resize(table->columns.size());
  table->rows.push_back(std::move(copy));
}

std::vector<KezDcDbMemoryRow> KezDcDbMemory::GetRows(const std::string& database, const std::string& rowset) {
  std::shared_ptr<Table> table = FindTable(database, rowset);
  return table ? table->rows : std::vector<KezDcDbMemoryRow>();
}

std::vector<KezDcDbMemoryRow> KezDcDbMemory::GetInsertedRows(const std::string& database, const std::string& rowset) {
  std::shared_ptr<Table> table = FindTable(database, rowset);
  return table ? table->inserted : std::vector<KezDcDbMemoryRow>();
}

void KezDcDbMemory::DropAll() {
  S().databases.clear();
}

namespace kez {
namespace detail {

KezIDcDbDataSource* OpenMemoryDataSource(const std::string& name) {
  return new MemDataSource(name);
}

}  // namespace detail
}  // namespace kez
