// Support for the SQLite backend tests: layer objects opened, bound, read
// and written as the database nodes do, over the test database of
// backends/BackendFixture.h.
#ifndef KEZ_TESTS_SQLITE_TEST_SUPPORT_H
#define KEZ_TESTS_SQLITE_TEST_SUPPORT_H

#include <memory>
#include <string>
#include <vector>

#include "backends/BackendFixture.h"
#include "support/AccessFaults.h"

namespace kez {
namespace test {

using Texts = std::vector<std::string>;
using Rows = Table;

// The bindings of an accessor laid out as the accessor nodes do: fields
// back to back, colSize octets for strings, 80 for numbers.
struct Layout {
  Texts names;
  std::unique_ptr<_SEQUENCE_KezDcDbBindingSeq> bindings;
  uint32_t size = 0;
  KezDcDbHAccessor handle = 0;
  std::string columns;  // "name:type:size" of each bound column, the type i (I4), r (R8) or s (string)
};

struct Opened {  // a data source, session, rowset, accessor and insert interface, given back when it goes
  ~Opened() {
    insert.reset();
    if (rowset && layout.bindings) rowset->ReleaseAccessor(layout.handle);
  }
  Ref<KezIDcDbDataSource> source;
  Ref<KezIDcDbSimpleSession> session;
  Ref<KezIDcDbSimpleRowset> rowset;
  Ref<KezIDcDbInsertRowset> insert;
  Layout layout;
};

// DatabaseTest over its SQLite file, reached through the layer objects too.
class SqliteFixture : public DatabaseTest {
 protected:
  std::string Path(const std::string& file) const { return db_->File(file); }
  Rows Sql(const std::string& sql) const { return db_->Select(sql); }
  std::string Count() const { return Sql("SELECT count(*) FROM t")[0][0]; }

  static KezIDcDbDataSource* OpenSource(const std::string& uri) {
    return AccessFaults::Wrap(kez::detail::OpenSqliteDataSource(uri));
  }
  static KezIDcDbInsertRowset* OpenInsert(KezIDcDbSimpleRowset* r) {
    void* p = nullptr;
    return r->QueryInterface(KezIDcDbInsertRowset::ClassId(), &p) == 0 ? static_cast<KezIDcDbInsertRowset*>(p)
                                                                       : nullptr;
  }
  // Opens a session (over o's data source, or one opened on the URI text
  // after "sqlite:"), the rowset and its insert interface, and binds the
  // named columns (every one when names is empty); false when the rowset does not open.
  static bool OpenAll(Opened* o, const std::string& uri, const std::string& rowset, Texts names = {}) {
    void* p = nullptr;
    if (!o->source) o->source.reset(OpenSource(uri));
    if (o->source && o->source->OpenSession(KezIDcDbSimpleSession::ClassId(), &p) == 0)
      o->session.reset(static_cast<KezIDcDbSimpleSession*>(p));
    if (o->session && o->session->OpenRowset(rowset.c_str(), KezIDcDbSimpleRowset::ClassId(), &p) == 0)
      o->rowset.reset(static_cast<KezIDcDbSimpleRowset*>(p));
    if (!o->rowset) return false;
    o->layout = Bind(o->rowset.get(), std::move(names));
    o->insert.reset(OpenInsert(o->rowset.get()));
    return true;
  }

  // Binds the named columns (every column when names is empty) and creates the accessor.
  static Layout Bind(KezIDcDbSimpleRowset* rowset, Texts names = {}) {
    Layout layout;
    uint32_t count = 0;
    _SEQUENCE_KezDcDbColInfoSeq* info = nullptr;
    rowset->GetColumnsInfo(&count, &info);
    std::unique_ptr<_SEQUENCE_KezDcDbColInfoSeq> owned(info);
    for (uint32_t j = 0, all = names.empty(); all && j < count; ++j) names.push_back((*info)[j].colName.Std());
    layout.bindings.reset(new _SEQUENCE_KezDcDbBindingSeq(static_cast<uint32_t>(names.size())));
    layout.bindings->length(static_cast<uint32_t>(names.size()));
    for (uint32_t i = 0; i < names.size(); ++i) {
      KezDcDbBinding& b = (*layout.bindings)[i];
      b.offset = layout.size;
      for (uint32_t j = 0; j < count && b.columnId == 0; ++j) {
        const KezDcDbColInfo& c = (*info)[j];
        if (c.colName.Std() != names[i]) continue;
        b.columnId = j + 1;
        b.maxlen = c.colType == KEZDCDB_TYPESTRING ? c.colSize : 80;
        const char* type = c.colType == KEZDCDB_TYPEI4 ? "i" : c.colType == KEZDCDB_TYPER8 ? "r" : "s";
        layout.columns += (i ? " " : "") + names[i] + ":" + type + ":" + std::to_string(c.colSize);
      }
      layout.size += b.maxlen;
    }
    layout.names = names;
    rowset->CreateAccessor(layout.bindings->length(), layout.bindings.get(), &layout.handle);
    return layout;
  }

  // Field i of the buffer as the cells read it.
  static std::string Field(const Layout& layout, const _SEQUENCE_SEQUENCE_octet& buffer, uint32_t i) {
    const KezDcDbBinding& b = (*layout.bindings)[i];
    std::string text;
    for (uint32_t k = 0; k < b.maxlen && buffer[b.offset + k] != 0; ++k)
      text += static_cast<char>(buffer[b.offset + k]);
    return text;
  }

  // Every remaining row, fetched `block` rows at a time.
  static Rows ReadAll(KezIDcDbSimpleRowset* rowset, const Layout& layout, uint32_t block = 10) {
    Rows rows;
    _SEQUENCE_SEQUENCE_octet buffer(layout.size);
    buffer.length(layout.size);
    for (;;) {
      uint32_t obtained = 0;
      _SEQUENCE_KezDcDbRowHandleSeq* handles = nullptr;
      int rc = rowset->GetNextRows(block, &obtained, &handles);
      for (uint32_t r = 0; rc == 0 && r < obtained; ++r) {
        rowset->GetDataSeq((*handles)[r], layout.handle, &buffer);
        rows.emplace_back();
        for (uint32_t i = 0; i < layout.names.size(); ++i) rows.back().push_back(Field(layout, buffer, i));
      }
      rowset->ReleaseRows(obtained, handles);
      delete handles;
      if (rc != 0 || obtained == 0) return rows;
    }
  }
  static Rows ReadAll(const Opened& o, uint32_t block = 10) { return ReadAll(o.rowset.get(), o.layout, block); }

  // Writes the texts into a row buffer as the cells do and inserts it.
  static int Insert(KezIDcDbInsertRowset* insert, const Layout& layout, const Texts& values) {
    _SEQUENCE_SEQUENCE_octet buffer(layout.size);
    buffer.length(layout.size);
    for (uint32_t i = 0; i < values.size() && i < layout.names.size(); ++i) {
      const KezDcDbBinding& b = (*layout.bindings)[i];
      uint32_t n = 0;
      for (; n < values[i].size() && n < b.maxlen; ++n) buffer[b.offset + n] = static_cast<unsigned char>(values[i][n]);
      if (n < b.maxlen) buffer[b.offset + n] = 0;
    }
    return insert->InsertRow(layout.handle, &buffer);
  }
  // Opens the rowset with the options and reads it whole, `block` rows at a time.
  Rows Read(const std::string& options, const std::string& rowset, uint32_t block = 10) const {
    Opened o;
    return OpenAll(&o, file_ + options, rowset) ? ReadAll(o, block) : Rows{{"<not open>"}};
  }
  static int Insert(const Opened& o, const Texts& values) { return Insert(o.insert.get(), o.layout, values); }
  // Opens the rowset with the options and inserts each row in turn; returns the codes.
  std::vector<int> InsertRows(const std::string& options, const std::string& rowset, const Rows& rows) const {
    Opened o;
    std::vector<int> codes;
    if (!OpenAll(&o, file_ + options, rowset)) return codes;
    for (const auto& row : rows) codes.push_back(Insert(o, row));
    return codes;
  }

  const std::string file_ = db_->Path();
};

}  // namespace test
}  // namespace kez

#endif
