// The cell node: reads its column out of the current row into its value
// text, decides whether the text is a number, and copies it into another
// cell's field.
#include "nodes/database/KezDcQrQRCell.h"

#include <cstring>
#include <string>

#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"
#include "nodes/base/SubQueryBranch.h"
#include "nodes/database/KezDcQrQRAccessor.h"
#include "nodes/database/KezDcQrQRData.h"
#include "nodes/database/NodeFather.h"
#include "nodes/database/RowBufferField.h"

using kez::detail::Addr;

KezDcQrQRCell::KezDcQrQRCell() : KezDcQrQResult(kCell) {
  QR_TRA(2, "=-->> QrQRCell::QrCell (default)\n");
  Type = "Cell";
  BasicType = "string";
}

KezDcQrQRCell::KezDcQrQRCell(KezUnicodeString iDataSource, KezUnicodeString iSession, KezUnicodeString iRowset,
                             KezUnicodeString iAccessor, KezUnicodeString iBlock, KezUnicodeString iCell)
    : KezDcQrQResult(kCell) {
  QR_TRA(2,
         "=-->> QrQRCell::QrCell: DataSource:<%s>, Session:<%s>, Rowset:<%s>, Accessor:<%s>, Block:<%s>, "
         "Cell:<%s>\n",
         iDataSource.ConvertToChar(), iSession.ConvertToChar(), iRowset.ConvertToChar(), iAccessor.ConvertToChar(),
         iBlock.ConvertToChar(), iCell.ConvertToChar());
  DataSource = iDataSource;
  Session = iSession;
  Rowset = iRowset;
  Accessor = iAccessor;
  Block = iBlock;
  Cell = iCell;
  Type = "Cell";
  BasicType = "string";
  const KezUnicodeString components[] = {DataSource, Session, Rowset, Accessor, Block, Cell};
  KezUnicodeString father = EnterTree(components, 6);
  if (QRHTab->Locate(father)) {
    p_QRData = kez::detail::LocateKind<KezDcQrQRData>(father);
    QR_TRA(4, "Locate in QRHT FatherPath:<%s> (%x) OK\n", father.ConvertToChar(), Addr(p_QRData));
  } else {
    QR_TRA(4, "Data <%s> does'nt exist => New it !\n", father.ConvertToChar());
    p_QRData = new KezDcQrQRData(DataSource, Session, Rowset, Accessor, Block);
    QR_TRA(4, "New a QRData OK\n");
  }
  if (!p_QRData) return;
  p_QRData->QRChildList.Append(this);
  QR_TRA(4, "Append to Father QRChildList OK \n");
}

KezDcQrQRCell::~KezDcQrQRCell() {
  KezUnicodeString key = Key();
  QR_TRA(2, "=-->> QrQRCell::~QrQRCell: Delete %s\n", key.ConvertToChar());
  LeaveTree(key, p_QRData ? &p_QRData->QRChildList : nullptr);
  ReleaseValue();
  DeleteEntries(ListOfSubQuery, "ListOfSubQuery");
  QR_TRA(2, "=-->> QrQRCell::~QrQRCell OK \n");
}

KezUnicodeString KezDcQrQRCell::Key() const {
  const KezUnicodeString components[] = {DataSource, Session, Rowset, Accessor, Block, Cell};
  return JoinKey(components, 6);
}

void KezDcQrQRCell::ReserveValue(uint32_t size) {
  if (size == 0) size = 1;
  if (p_QResult && value_capacity_ >= size) return;
  char* grown = new char[size];
  std::memset(grown, 0, size);
  if (p_QResult) std::memcpy(grown, p_QResult, std::strlen(p_QResult) + 1);
  delete[] p_QResult;
  p_QResult = grown;
  p_StringQResult = grown;
  value_capacity_ = size;
}

void KezDcQrQRCell::SetEmptyValue() {
  ReserveValue(1);
  p_QResult[0] = '\0';
}

void KezDcQrQRCell::ReleaseValue() {
  delete[] p_QResult;
  p_QResult = nullptr;
  p_StringQResult = nullptr;
  value_capacity_ = 0;
}

// The size a value text needs for the fields of the accessor: the largest
// field and its terminating zero.
static uint32_t ValueSize(const KezDcQrQRAccessor* accessor) {
  return accessor && accessor->MaxColLength < UINT32_MAX ? accessor->MaxColLength + 1 : 1;
}

char* KezDcQrQRCell::GetQResult() {
  QR_TRA(2, "IN->> QrCell::GetQResult [%s:%s:%s:%s:%s:%s] \n", DataSource.ConvertToChar(), Session.ConvertToChar(),
         Rowset.ConvertToChar(), Accessor.ConvertToChar(), Block.ConvertToChar(), Cell.ConvertToChar());
  char* result = nullptr;
  if (SubQueryFlag == 'Y') {
    QR_TRA(4, "GetQResult This is a Sub-Query \n");
    result = ReadThroughSubQueries();
  } else {
    GetQResultOfCell(this);
    result = p_QResult;
  }
  QR_TRA(2, "OUT>> QrCell::GetQResult p_QResultOut=%x \n", Addr(result));
  return result;
}

// Reads the cell that the resolved path names; the value text stays with
// that cell. A failed resolution yields this cell's empty text.
char* KezDcQrQRCell::ReadThroughSubQueries() {
  const KezUnicodeString components[] = {DataSource, Session, Rowset, Accessor, Block, Cell};
  KezUnicodeString resolved[6];
  kez::detail::SubQueryScope scope(Key());
  KezDcQrQRCell* node = nullptr;
  if (scope.Entered() && kez::detail::ResolveComponents(components, resolved, 6)) {
    node = static_cast<KezDcQrQRCell*>(kez::detail::ResolvedNode(components, resolved, 6, kCell));
  }
  if (!node) {
    if (!p_QResult) ReserveValue(ValueSize(p_QRData ? p_QRData->p_QRAccessor : nullptr));
    p_QResult[0] = '\0';
    return p_QResult;
  }
  char* value = nullptr;
  if (node == this || node->SubQueryFlag == 'Y') {
    // A value that is itself a sub-query text: the resolved cell resolves
    // again, within the nesting bound.
    value = node->GetQResult();
  } else {
    GetQResultOfCell(node);
    value = node->p_QResult;
  }
  // The text of an earlier failed read is no longer handed out, unless a
  // loop of sub-queries came back to this very cell.
  if (value != p_QResult) ReleaseValue();
  if (node != this) {
    Type = node->Type;
    BasicType = node->BasicType;
    is_null_ = node->is_null_;
  }
  return value;
}

char* KezDcQrQRCell::ReadText() {
  if (SubQueryFlag == 'Y') return GetQResult();
  ReadCell(this, false);
  return p_QResult;
}

void KezDcQrQRCell::GetQResultOfCell(KezDcQrQRCell* pCell) {
  ReadCell(pCell, true);
}

void KezDcQrQRCell::ReadCell(KezDcQrQRCell* pCell, bool decide) {
  KezDcQrQRData* read = pCell->p_QRData ? pCell->p_QRData->GetQResult() : nullptr;
  QR_TRA(2, "IN->> QrQRCell::GetQResultOfCell [%s:%s:%s:%s:%s:%s] \n", pCell->DataSource.ConvertToChar(),
         pCell->Session.ConvertToChar(), pCell->Rowset.ConvertToChar(), pCell->Accessor.ConvertToChar(),
         pCell->Block.ConvertToChar(), pCell->Cell.ConvertToChar());
  KezDcQrQRAccessor* accessor = read ? read->p_QRAccessor : nullptr;
  pCell->is_null_ = false;
  // A data block that has just asked for its rowset and has no row buffer
  // found no rowset (or no accessor handle), and said so: asking the
  // accessor would try again and say it twice.
  bool just_failed = read && pCell->p_QRData->LastReadAskedForRowset() && !read->p_RowBuffer;
  if (!accessor || just_failed || accessor->GetQResult() == 0) {
    QR_TRA(2, KEZ_REMARK "Accessor Vide => EMPTY CELL \n");
    QR_TRA(4, KEZ_REMARK "WARNING: EMPTY CELL \"\" \n");
    pCell->SetEmptyValue();
    return;
  }
  if (!read->p_RowBuffer) read->GetQResult();
  if (!pCell->p_QRData->IsMoreData()) {
    QR_TRA(4, "Derniere Valeur => EMPTY CELL \n");
    if (!pCell->p_QResult) pCell->ReserveValue(ValueSize(accessor));
    pCell->p_QResult[0] = '\0';
    return;
  }
  bool fresh = !pCell->p_QResult;
  pCell->ReserveValue(ValueSize(accessor));
  if (fresh) QR_TRA(4, "p_QRC->p_QResult=%s : %d char \n", pCell->p_QResult, static_cast<int>(pCell->value_capacity_));
  int index = kez::detail::FindAttribute(accessor, pCell->Cell);
  QR_TRA(4, "Numero de colonne a recuperer = %d/NbAtt=%d\n", index < 0 ? static_cast<int>(accessor->NbAtt) : index,
         static_cast<int>(accessor->NbAtt));
  bool bound = index >= 0 && accessor->p_BufferBinding &&
               (*accessor->p_BufferBinding)[static_cast<uint32_t>(index)].columnId != 0;
  if (!bound || !read->p_RowBuffer) {
    // Not among the attributes, or an attribute that names no column of
    // the rowset: either way there is no such column to read.
    if (!bound) KezDcCMError::AddError("Warning: Column <%s> does not exist ! \n", pCell->Cell.ConvertToChar());
    pCell->p_QResult[0] = '\0';
  } else {
    const KezDcDbBinding& entry = (*accessor->p_BufferBinding)[static_cast<uint32_t>(index)];
    QR_TRA(4, "p_BufferBinding)[%d].maxlen= %d \n", index, static_cast<int>(entry.maxlen));
    kez::detail::ReadField(*read->p_RowBuffer, entry, pCell->p_QResult, pCell->value_capacity_);
    pCell->is_null_ = read->p_RowBuffer->IsNull(static_cast<uint32_t>(index));
    QR_TRA(2, "OUT>> QrQRCell::GetQResultOfCell Cell=<%s> \n", pCell->p_QResult);
  }
  if (decide) pCell->DecideType();
}

// A value that is a plain decimal number as a whole (leading blanks
// allowed) is a "double"; anything after the number makes it a "string",
// and so does a text such as inf, nan or 0x1F, which is no decimal number.
// The empty value is the "double" 0.0.
void KezDcQrQRCell::DecideType() {
  bool whole = false;
  DoubleValue = 0.0;
  DoubleValue = kez::DecimalValue(p_QResult, &whole);
  whole = whole || p_QResult[0] == '\0';
  QR_TRA(4, "strtod p_QRC->DoubleValue=%e \n", DoubleValue);
  QR_TRA(4, "reste de strtod <%s> \n", p_QResult + kez::DecimalNumberLength(p_QResult));
  const char* type = whole ? "double" : "string";
  if (BasicType != type) BasicType = type;  // (a column keeps its type from row to row)
  QR_TRA(4, "apres strtod p_QRC->BasicType=<%s> \n", BasicType.ConvertToChar());
}

void KezDcQrQRCell::PutQResult(KezDcQrQRCell* pTarget) {
  QR_TRA(2, "IN->> QrCell::PutQResult [%s:%s:%s:%s:%s:%s] \n", DataSource.ConvertToChar(), Session.ConvertToChar(),
         Rowset.ConvertToChar(), Accessor.ConvertToChar(), Block.ConvertToChar(), Cell.ConvertToChar());
  const char* value = GetQResult();
  std::string text = value ? value : "";  // the target's buffer may be this cell's own
  if (pTarget) {
    kez::detail::PutIntoCell(pTarget, text.c_str(), "ERROR: Cell <%s> isn't in Accessor ! \n", true, is_null_);
  }
  QR_TRA(2, "OUT>> QrCell::PutQResult  Cell=<%s> \n", text.c_str());
}

void KezDcQrQRCell::FreeQResult() {
  QR_TRA(2, "=-->> QrQRCell::FreeQResult %s \n", Key().ConvertToChar());
  FreeEntries(ListOfSubQuery, "ListOfSubQuery");
  ReleaseValue();
  QR_TRA(2, "=-->> QrQRCell::FreeQResult OK \n");
}
