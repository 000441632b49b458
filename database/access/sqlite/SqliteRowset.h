// A rowset of the SQLite backend: one table or view read front to back by
// one statement, block by block into a reused arena, up to the rows that it
// held when its first block was fetched, with the accessors
// created on it; and the insert interface that adds rows to it through one
// prepared INSERT per accessor.
#ifndef KEZ_DC_DB_SQLITE_ROWSET_H
#define KEZ_DC_DB_SQLITE_ROWSET_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "database/access/KezDcDbRefCounted.h"
#include "database/access/sqlite/SqliteCommon.h"
#include "database/access/sqlite/SqliteRowArena.h"
#include "database/access/sqlite/SqliteSession.h"

namespace kez {
namespace detail {

class SqliteRowset final : public KezDcDbRefCounted<KezIDcDbSimpleRowset> {
 public:
  // Takes a reference to session and ownership of select, the prepared
  // SELECT * over the rowset named `name`.
  SqliteRowset(SqliteSession* session, std::string name, StatementPtr select);
  ~SqliteRowset() override;
  SqliteRowset(const SqliteRowset&) = delete;
  SqliteRowset& operator=(const SqliteRowset&) = delete;

  // Commits the session's pending batch, then gives back the reference.
  int Release() override;
  // Also answers KezIDcDbInsertRowset with a new insert interface.
  int QueryInterface(KezDcDbClassId id, void** out) override;

  int GetColumnsInfo(uint32_t* nbCols, _SEQUENCE_KezDcDbColInfoSeq** info) override;
  int CreateAccessor(uint32_t nbBindings, _SEQUENCE_KezDcDbBindingSeq* bindings, KezDcDbHAccessor* out) override;
  // min(wanted, rows left) rows with code 0; 0 rows at the end. A read
  // failure is reported; the rows read before it come with code 0 and the
  // next call returns 3 (the end) with no rows.
  int GetNextRows(uint32_t wanted, uint32_t* obtained, _SEQUENCE_KezDcDbRowHandleSeq** rows) override;
  int GetDataSeq(KezDcDbRowHandle row, KezDcDbHAccessor accessor, _SEQUENCE_SEQUENCE_octet* buffer) override;
  int ReleaseAccessor(KezDcDbHAccessor accessor) override;
  int ReleaseRows(uint32_t count, _SEQUENCE_KezDcDbRowHandleSeq* rows) override;

  // Inserts the row buffer read by the accessor's binding; 0 or the
  // reported failure code (SQLite's primary result code).
  int Insert(KezDcDbHAccessor accessor, _SEQUENCE_SEQUENCE_octet* buffer);
  SqliteSession* Session() const { return session_; }

 private:
  struct Column {
    std::string name;
    SqliteColumnKind kind;
  };
  struct Accessor {
    std::vector<KezDcDbBinding> bindings;
    StatementPtr insert;               // prepared on the first insert
    std::vector<uint32_t> parameters;  // binding index of each parameter
  };

  void ReadColumns();
  uint32_t NaturalSize(uint32_t column) const;
  Accessor* FindAccessor(KezDcDbHAccessor handle, const char* operation) {
    return book_.FindAccessor(handle, operation, [this] { return Describe(); });
  }
  bool HasBuffer(const _SEQUENCE_SEQUENCE_octet* buffer, const char* operation) {
    return book_.HasBuffer(buffer, operation, [this] { return Describe(); });
  }
  uint64_t RowOctets() const;
  bool BlockFits(uint32_t wanted);
  uint32_t FetchInto(uint32_t wanted);
  const char* RowidName() const;
  void TakeWalkBound();
  void WriteBinding(uint32_t row, const KezDcDbBinding& binding, _SEQUENCE_SEQUENCE_octet* buffer);
  void ReportCut(uint32_t column, uint32_t length, uint32_t maxlen);
  int PrepareInsert(Accessor* accessor);
  void ReportNoRowInserted();
  void BindField(sqlite3_stmt* insert, int parameter, const Accessor& accessor, uint32_t field,
                 const _SEQUENCE_SEQUENCE_octet& buffer);
  std::string Describe() const;

  SqliteSession* session_;  // one reference held
  std::string name_;
  StatementPtr select_;
  std::vector<Column> columns_;
  std::vector<uint32_t> caps_;           // octets of text kept per column
  RowsetBook<Accessor> book_{"sqlite"};  // accessors and held rows
  SqliteRowArena arena_;
  KezDcDbRowHandle block_first_ = 0;  // handle of the block's first row
  KezDcDbRowHandle next_handle_ = 1;
  bool at_end_ = false;
  bool walk_started_ = false;  // the walk's bound is taken
  bool counted_ = false;       // the walk stops after rows_left_ more rows
  uint64_t rows_left_ = 0;
  bool failed_ = false;
};

}  // namespace detail
}  // namespace kez

#endif
