// A rowset of the PostgreSQL backend: one table or view read front to back
// through a cursor, at least kPgMinPrefetch rows per round trip (the next
// rows are asked for as soon as a fetch arrives, so the server produces them
// while the client reads; at most three fetches are held), with the
// accessors created on it; and the insert interface that adds rows to it
// through one prepared INSERT per accessor.
#ifndef KEZ_DC_DB_PG_ROWSET_H
#define KEZ_DC_DB_PG_ROWSET_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "database/access/KezDcDbRefCounted.h"
#include "database/access/postgresql/PgCommon.h"
#include "database/access/postgresql/PgSession.h"

namespace kez {
namespace detail {

class PgRowset final : public KezDcDbRefCounted<KezIDcDbSimpleRowset> {
 public:
  // Takes a reference to session; reads the columns from `described`, the
  // result of a query over the rowset (not kept).
  PgRowset(PgSession* session, std::string name, const PGresult* described);
  ~PgRowset() override;
  PgRowset(const PgRowset&) = delete;
  PgRowset& operator=(const PgRowset&) = delete;

  // Commits the session's pending batch, then gives back the reference.
  int Release() override;
  // Also answers KezIDcDbInsertRowset with a new insert interface.
  int QueryInterface(KezDcDbClassId id, void** out) override;

  int GetColumnsInfo(uint32_t* nbCols, _SEQUENCE_KezDcDbColInfoSeq** info) override;
  int CreateAccessor(uint32_t nbBindings, _SEQUENCE_KezDcDbBindingSeq* bindings, KezDcDbHAccessor* out) override;
  // min(wanted, rows left) rows with code 0; 0 rows at the end. A failure
  // is reported; the rows read before it come with code 0 and the next call
  // returns 3 (the end) with no rows.
  int GetNextRows(uint32_t wanted, uint32_t* obtained, _SEQUENCE_KezDcDbRowHandleSeq** rows) override;
  int GetDataSeq(KezDcDbRowHandle row, KezDcDbHAccessor accessor, _SEQUENCE_SEQUENCE_octet* buffer) override;
  int ReleaseAccessor(KezDcDbHAccessor accessor) override;
  int ReleaseRows(uint32_t count, _SEQUENCE_KezDcDbRowHandleSeq* rows) override;

  // Inserts the row buffer read by the accessor's binding; 0 or 1 (reported).
  int Insert(KezDcDbHAccessor accessor, _SEQUENCE_SEQUENCE_octet* buffer);
  PgSession* Session() const { return session_; }
  // The reply of the FETCH sent ahead (null when the connection failed).
  void TakeAhead(PgResult reply);

 private:
  struct Column {
    std::string name;
    PgColumnKind kind;
    bool integer;  // an int2, int4 or int8 column
  };
  struct Accessor {
    std::vector<KezDcDbBinding> bindings;
    std::string statement;             // prepared INSERT's name; empty until the first insert
    uint64_t prepared_generation = 0;  // connection generation it was prepared on
    std::vector<uint32_t> parameters;  // binding index of each parameter
  };
  struct RowRef {
    const PGresult* result;
    int row;
  };

  Accessor* FindAccessor(KezDcDbHAccessor handle, const char* operation) {
    return book_.FindAccessor(handle, operation, [this] { return Describe(); });
  }
  bool HasBuffer(const _SEQUENCE_SEQUENCE_octet* buffer, const char* operation) {
    return book_.HasBuffer(buffer, operation, [this] { return Describe(); });
  }
  bool BlockFits(uint32_t wanted);
  bool StartWalk(uint32_t prefetch);
  bool Fetch(uint32_t prefetch);
  void Install(PgResult fetched, uint32_t prefetch);
  void EndWalk();
  uint32_t TakeRows(uint32_t wanted);
  void WriteBinding(const RowRef& ref, const KezDcDbBinding& binding, _SEQUENCE_SEQUENCE_octet* buffer);
  void ReportCut(uint32_t column, uint32_t length, uint32_t maxlen);
  bool PrepareInsert(Accessor* accessor);
  std::string ParameterText(const Accessor& accessor, uint32_t field, const _SEQUENCE_SEQUENCE_octet& buffer) const;
  std::string Describe() const;
  PgResult DeclareAndFetch(uint32_t prefetch);

  PgSession* session_;  // one reference held
  std::string name_;
  std::string cursor_;              // the walk's cursor name
  std::string insert_what_;         // how a failed insert names the rowset
  std::vector<std::string> texts_;  // parameter texts of the insert in progress
  std::vector<const char*> values_;
  std::vector<Column> columns_;
  RowsetBook<Accessor> book_{"postgresql"};  // accessors and held rows
  PgResult current_;                         // the rows fetched last
  PgResult previous_;                        // the rows before them that the block still holds
  PgResult ahead_;                           // the next rows, fetched while the block was read
  bool ahead_sent_ = false;
  bool ahead_ready_ = false;
  int next_row_ = 0;  // next row of current_ to hand out
  std::vector<RowRef> block_;
  KezDcDbRowHandle block_first_ = 0;
  KezDcDbRowHandle next_handle_ = 1;
  bool started_ = false;      // the walk's cursor was declared
  bool walking_ = false;      // the cursor is open
  bool server_done_ = false;  // the cursor has no rows left
  bool at_end_ = false;
  bool failed_ = false;
  uint64_t read_serial_ = 0;
  uint64_t generation_ = 0;
};

}  // namespace detail
}  // namespace kez

#endif
