// The cell node: one column of the current row of a data block. Reading
// copies the column's field out of the row buffer and decides whether the
// text is a number; writing copies a text into another cell's field.
#ifndef KEZ_DC_QR_QR_CELL_H
#define KEZ_DC_QR_QR_CELL_H

#include <cstdint>

#include "nodes/base/KezDcQrQResult.h"

class KezDcQrQRData;

class KEZDCQR_API KezDcQrQRCell : public KezDcQrQResult {
 public:
  static constexpr Kind kNodeKind = kCell;  // for kez::As<KezDcQrQRCell>

  char* p_QResult = nullptr;          // the value text, owned; null until the first read
  KezDcQrQRData* p_QRData = nullptr;  // the father, not owned
  KezUnicodeString Cell;              // the column name
  KezUnicodeString DataSource;
  KezUnicodeString Session;
  KezUnicodeString Rowset;
  KezUnicodeString Accessor;
  KezUnicodeString Block;
  char* p_StringQResult = nullptr;         // equal to p_QResult once allocated, else null
  int* p_IntQResult = &IntValue;           // points to IntValue
  double* p_DoubleQResult = &DoubleValue;  // points to DoubleValue
  int IntValue = 0;
  double DoubleValue = 0.0;

  KezDcQrQRCell();
  KezDcQrQRCell(KezUnicodeString iDataSource, KezUnicodeString iSession, KezUnicodeString iRowset,
                KezUnicodeString iAccessor, KezUnicodeString iBlock, KezUnicodeString iCell);
  ~KezDcQrQRCell() override;

  // The value text of the current row (of the resolved cell for a
  // sub-query). It stays owned by the cell that holds it and is valid until
  // that cell's next read, FreeQResult or destruction.
  char* GetQResult();
  // Reads the current value of pCell into pCell's own members.
  void GetQResultOfCell(KezDcQrQRCell* pCell);
  // The text of the current row as the database gave it, with its NULL
  // mark, for a client that prints it: like GetQResult, but the text is not
  // read as a number (BasicType and DoubleValue keep the last decided
  // values) and a cell whose path holds sub-queries reads as GetQResult.
  char* ReadText();
  // Copies this cell's value text into pTarget's field of its row buffer,
  // with its NULL mark.
  void PutQResult(KezDcQrQRCell* pTarget);
  // Whether the last read found SQL NULL (the text is then empty and the
  // number 0.0).
  bool IsNull() const { return is_null_; }
  void FreeQResult() override;

  // The key: the six components joined by ':'.
  KezUnicodeString Key() const;

 private:
  char* ReadThroughSubQueries();
  void ReadCell(KezDcQrQRCell* pCell, bool decide);
  void DecideType();
  // Makes the value buffer hold at least size octets (never shrinks).
  void ReserveValue(uint32_t size);
  void SetEmptyValue();
  void ReleaseValue();

  uint32_t value_capacity_ = 0;
  bool is_null_ = false;
};

#endif
