// The interfaces of the database-access layer that the database nodes use.
// Every object is reference counted: QueryInterface hands out a further
// reference (to the same object or to another interface of it) and Release
// gives one back; an object lives while references to it remain, whatever
// order they are released in. A code above 0 (signed) is a failure.
//
// Order on a rowset: GetColumnsInfo, CreateAccessor, then per block
// GetNextRows and one GetDataSeq per row, ReleaseRows before the next
// GetNextRows; ReleaseAccessor and ReleaseRows before the rowset's Release.
// The caller deletes the column information after CreateAccessor and each
// row-handle sequence after ReleaseRows, and keeps the binding alive until
// the accessor is released.
#ifndef KEZ_DC_DB_INTERFACES_H
#define KEZ_DC_DB_INTERFACES_H

#include <cstdint>

#include "database/access/KezDcDbSequence.h"
#include "foundation/KezExport.h"

typedef uint32_t KezDcDbClassId;

class KEZDCQR_API KezIDcDbUnknown {
 public:
  // Sets *out to a new reference to the interface id of this object; a code
  // above 0 and *out null when the object has no such interface.
  virtual int QueryInterface(KezDcDbClassId id, void** out) = 0;
  // Gives back one reference; returns the references left.
  virtual int Release() = 0;
  // Takes one more reference to this very interface; returns the count.
  virtual int AddRef() = 0;

 protected:
  virtual ~KezIDcDbUnknown() = default;
};

// The object that the data-source factory creates.
class KEZDCQR_API KezIDcDbDataSource : public KezIDcDbUnknown {
 public:
  static KezDcDbClassId ClassId() { return 1; }
  virtual int OpenSession(KezDcDbClassId id, void** out) = 0;
};

class KEZDCQR_API KezIDcDbSimpleSession : public KezIDcDbUnknown {
 public:
  static KezDcDbClassId ClassId() { return 2; }
  virtual int OpenRowset(const char* name, KezDcDbClassId id, void** out) = 0;
};

class KEZDCQR_API KezIDcDbSimpleRowset : public KezIDcDbUnknown {
 public:
  static KezDcDbClassId ClassId() { return 3; }
  // The column count and a new column-information sequence (the caller's).
  virtual int GetColumnsInfo(uint32_t* nbCols, _SEQUENCE_KezDcDbColInfoSeq** info) = 0;
  virtual int CreateAccessor(uint32_t nbBindings, _SEQUENCE_KezDcDbBindingSeq* bindings, KezDcDbHAccessor* out) = 0;
  // Up to `wanted` next rows: 0 usable; 1 and 2 not the end but no row to
  // copy; 3 or more (unsigned), or 0 rows, the end. *rows is a new sequence
  // (the caller's) even when no row was obtained.
  virtual int GetNextRows(uint32_t wanted, uint32_t* obtained, _SEQUENCE_KezDcDbRowHandleSeq** rows) = 0;
  // Writes each bound column of the row as text into the row buffer.
  virtual int GetDataSeq(KezDcDbRowHandle row, KezDcDbHAccessor accessor, _SEQUENCE_SEQUENCE_octet* buffer) = 0;
  virtual int ReleaseAccessor(KezDcDbHAccessor accessor) = 0;
  virtual int ReleaseRows(uint32_t count, _SEQUENCE_KezDcDbRowHandleSeq* rows) = 0;
};

class KEZDCQR_API KezIDcDbInsertRowset : public KezIDcDbUnknown {
 public:
  static KezDcDbClassId ClassId() { return 4; }
  // Inserts the row buffer, read by the accessor's binding, as a new row.
  virtual int InsertRow(KezDcDbHAccessor accessor, _SEQUENCE_SEQUENCE_octet* buffer) = 0;
};

// What a session can open: obtained by QueryInterface on a session (a
// backend without it answers a code above 0). The columns of one of its
// rowsets are those of OpenRowset and GetColumnsInfo.
class KEZDCQR_API KezIDcDbSchema : public KezIDcDbUnknown {
 public:
  static KezDcDbClassId ClassId() { return 5; }
  // The names of the tables and views that OpenRowset opens, sorted, the
  // backend's own bookkeeping tables left out: a new sequence (the
  // caller's). A code above 0 (reported) on failure, with *names null.
  virtual int GetTables(uint32_t* count, _SEQUENCE_KezDcDbNameSeq** names) = 0;
};

// Temporary views that every session of a data source creates as it opens:
// obtained by QueryInterface on a data source (SQL backends only). The
// views live in the sessions, never in the database.
class KEZDCQR_API KezIDcDbSessionViews : public KezIDcDbUnknown {
 public:
  static KezDcDbClassId ClassId() { return 6; }
  // Each session opened afterwards creates the temporary view `name` (one
  // quoted identifier) over `select`, the caller's own SQL; a view that
  // the server refuses is reported when the session opens, which still
  // opens. 0, or a code above 0 for a bad argument.
  virtual int AddSessionView(const char* name, const char* select) = 0;
};

#endif
