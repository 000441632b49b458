// Sequences exchanged with the database-access layer: bindings, column
// information, row handles and row-buffer octets. Positions count from 0.
// A position at or past length() reaches a scratch element instead of
// memory outside the sequence, so a wrong index can never overrun it.
#ifndef KEZ_DC_DB_SEQUENCE_H
#define KEZ_DC_DB_SEQUENCE_H

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/KezExport.h"
#include "foundation/KezUnicodeString.h"

template <class T>
class KezDcDbSequence {
 public:
  explicit KezDcDbSequence(uint32_t maximum = 0) : maximum_(maximum) { items_.reserve(maximum); }
  virtual ~KezDcDbSequence() = default;
  KezDcDbSequence(const KezDcDbSequence&) = default;
  KezDcDbSequence& operator=(const KezDcDbSequence&) = default;

  T& operator[](uint32_t i) {
    if (i < items_.size()) return items_[i];
    scratch_ = T();
    return scratch_;
  }
  const T& operator[](uint32_t i) const {
    if (i < items_.size()) return items_[i];
    static const T kNone = T();
    return kNone;
  }

  uint32_t length() const { return static_cast<uint32_t>(items_.size()); }
  // New elements are value-initialised (zero for numbers).
  void length(uint32_t n) {
    items_.resize(n);
    if (n > maximum_) maximum_ = n;
  }
  uint32_t maximum() const { return maximum_; }
  T* data() { return items_.data(); }
  const T* data() const { return items_.data(); }

 private:
  std::vector<T> items_;
  uint32_t maximum_;
  T scratch_ = T();
};

// Column type codes of the column information.
enum : uint32_t {
  KEZDCDB_TYPESTRING = 0,
  KEZDCDB_TYPEI4 = 2,
  KEZDCDB_TYPER8 = 3,
  KEZDCDB_TYPEPTRSUBLIST = 4,
  KEZDCDB_TYPEPTRDYNSUBLIST = 5
};

// One binding entry: where a rowset column lives in the row buffer.
struct KezDcDbBinding {
  uint32_t columnId = 0;  // 1-based column of the rowset
  uint32_t offset = 0;    // first octet of the field
  uint32_t maxlen = 0;    // octets reserved for the field
};

// What the layer says of one column of a rowset.
struct KezDcDbColInfo {
  KezUnicodeString colName;  // NUL-terminated through ConvertToChar()
  uint32_t colType = KEZDCDB_TYPESTRING;
  uint32_t colSize = 0;
};

typedef uint32_t KezDcDbRowHandle;
typedef uint32_t KezDcDbHAccessor;

class KEZDCQR_API _SEQUENCE_KezDcDbBindingSeq : public KezDcDbSequence<KezDcDbBinding> {
 public:
  explicit _SEQUENCE_KezDcDbBindingSeq(uint32_t maximum = 0) : KezDcDbSequence<KezDcDbBinding>(maximum) {}
};

class KEZDCQR_API _SEQUENCE_KezDcDbColInfoSeq : public KezDcDbSequence<KezDcDbColInfo> {
 public:
  explicit _SEQUENCE_KezDcDbColInfoSeq(uint32_t maximum = 0) : KezDcDbSequence<KezDcDbColInfo>(maximum) {}
};

// Names: the tables and views of a session (KezIDcDbSchema::GetTables).
class KEZDCQR_API _SEQUENCE_KezDcDbNameSeq : public KezDcDbSequence<KezUnicodeString> {
 public:
  explicit _SEQUENCE_KezDcDbNameSeq(uint32_t maximum = 0) : KezDcDbSequence<KezUnicodeString>(maximum) {}

  // Hands the names out as the schema interface does: their number in
  // *count and a new sequence in *out (the caller's), either may be null.
  // Returns 0.
  static int HandOut(const std::vector<std::string>& names, uint32_t* count, _SEQUENCE_KezDcDbNameSeq** out) {
    auto n = static_cast<uint32_t>(names.size());
    if (count) *count = n;
    if (!out) return 0;
    *out = new _SEQUENCE_KezDcDbNameSeq(n);
    (*out)->length(n);
    for (uint32_t i = 0; i < n; ++i) (**out)[i] = KezUnicodeString(names[i]);
    return 0;
  }
};

class KEZDCQR_API _SEQUENCE_KezDcDbRowHandleSeq : public KezDcDbSequence<KezDcDbRowHandle> {
 public:
  explicit _SEQUENCE_KezDcDbRowHandleSeq(uint32_t maximum = 0) : KezDcDbSequence<KezDcDbRowHandle>(maximum) {}
};

// A row buffer: the fields' octets, and beside them one NULL mark per field
// (by binding-entry position). The layer sets the marks when it writes a
// row and reads them when it inserts one: a marked field is SQL NULL, and
// its text is empty. Fields are unmarked until marked.
class KEZDCQR_API _SEQUENCE_SEQUENCE_octet : public KezDcDbSequence<unsigned char> {
 public:
  explicit _SEQUENCE_SEQUENCE_octet(uint32_t maximum = 0) : KezDcDbSequence<unsigned char>(maximum) {}

  bool IsNull(uint32_t field) const { return field < nulls_.size() && nulls_[field] != 0; }
  void SetNull(uint32_t field, bool null) {
    if (field >= nulls_.size()) {
      if (!null) return;
      nulls_.resize(field + 1, 0);
    }
    nulls_[field] = null ? 1 : 0;
  }
  // Marks (or unmarks) the first `fields` fields and forgets the others.
  void SetAllNull(uint32_t fields, bool null) { nulls_.assign(null ? fields : 0, null ? 1 : 0); }

 private:
  std::vector<unsigned char> nulls_;
};

#endif
