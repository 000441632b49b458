// The data-block node: block fetching, row copying, the end-of-rowset
// restart, and the insert of the row buffer.
#include "nodes/database/KezDcQrQRData.h"

#include <algorithm>
#include <climits>

#include "foundation/KezDcCMError.h"
#include "nodes/base/SubQueryBranch.h"
#include "nodes/database/KezDcQrQRAccessor.h"
#include "nodes/database/KezDcQrQRRowset.h"
#include "nodes/database/NodeFather.h"

using kez::detail::Addr;

KezDcQrQRData::KezDcQrQRData() : KezDcQrQResult(kData), QRChildList(0) {
  QR_TRA(2, "=-->> QrQRData::QrData (default)\n");
  Type = "Data";
  BasicType = "int";
}

KezDcQrQRData::KezDcQrQRData(KezUnicodeString iDataSource, KezUnicodeString iSession, KezUnicodeString iRowset,
                             KezUnicodeString iAccessor, KezUnicodeString iBlock)
    : KezDcQrQResult(kData), QRChildList(0) {
  QR_TRA(2, "=-->> QrQRData::QrData: DataSource:<%s>, Session:<%s>, Rowset:<%s>, Accessor:<%s>, Block:<%s> \n",
         iDataSource.ConvertToChar(), iSession.ConvertToChar(), iRowset.ConvertToChar(), iAccessor.ConvertToChar(),
         iBlock.ConvertToChar());
  DataSource = iDataSource;
  Session = iSession;
  Rowset = iRowset;
  Accessor = iAccessor;
  Block = iBlock;
  BasicType = "int";
  Type = "Data";
  // A block of 0 rows, a negative one, one beyond the largest int or a text
  // that is no number asks for nothing: it must never reach the layer as
  // billions of rows.
  unsigned long rows = 0;
  Block.ConvertToNum(&rows, "%d");
  NumBlock = rows <= static_cast<unsigned long>(INT_MAX) ? static_cast<uint32_t>(rows) : 0;
  if (NumBlock == 0) KezDcCMError::AddError("ERROR DATBLOCK CAN'T BE <%s> (PUT A NUMBER) !\n", Block.ConvertToChar());
  const KezUnicodeString components[] = {DataSource, Session, Rowset, Accessor, Block};
  EnterTree(components, 5);
  FindFathers(components);
}

void KezDcQrQRData::FindFathers(const KezUnicodeString* components) {
  KezUnicodeString rowset = JoinKey(components, 3);
  p_QRRowset = kez::detail::LocateFather<KezDcQrQRRowset>(rowset);
  if (p_QRRowset) QR_TRA(4, "Locate in QRHT RowsetPath:<%s> (%x) OK\n", rowset.ConvertToChar(), Addr(p_QRRowset));
  KezUnicodeString accessor = JoinKey(components, 4);
  if (QRHTab->Locate(accessor)) {
    p_QRAccessor = kez::detail::LocateKind<KezDcQrQRAccessor>(accessor);
    QR_TRA(4, "Try to locate in QRHT AccessorPath:<%s> OK\n", accessor.ConvertToChar());
  } else {
    QR_TRA(4, "Accessor <%s> does'nt exist => New it !\n", accessor.ConvertToChar());
    p_QRAccessor = new KezDcQrQRAccessor(components[0], components[1], components[2], components[3]);
  }
  if (!p_QRAccessor) return;
  p_QRAccessor->QRChildList.Append(this);
  QR_TRA(4, "Append to QRChildList OK \n");
}

KezDcQrQRData::~KezDcQrQRData() {
  KezUnicodeString key = Key();
  QR_TRA(2, "=-->> QrQRData::~QrQRData: Delete %s \n", key.ConvertToChar());
  LeaveTree(key, p_QRAccessor ? &p_QRAccessor->QRChildList : nullptr);
  DeleteEntries(QRChildList, "QRChildList");
  ReleaseBlock();
  delete p_RowBuffer;
  p_RowBuffer = nullptr;
  DeleteEntries(ListOfSubQuery, "ListOfSubQuery");
  QR_TRA(2, "=-->> QrQRData::~QrQRData OK\n");
}

KezUnicodeString KezDcQrQRData::Key() const {
  const KezUnicodeString components[] = {DataSource, Session, Rowset, Accessor, Block};
  return JoinKey(components, 5);
}

bool KezDcQrQRData::IsAtEnd() const {
  return RcGetNextRows >= 3 || NbRowsObtained == 0;
}

// A node with a refused block size never has rows to start again for, so it
// never frees the rowset that other data blocks may be walking.
bool KezDcQrQRData::NeedsRestart() const {
  return NumBlock != 0 && p_RowBuffer && IsAtEnd();
}

bool KezDcQrQRData::RestartAfterFree() const {
  return restart_pending_ && p_QRRowset && p_QRRowset->p_QResult && p_QRRowset->OpenGeneration() == fetched_generation_;
}

KezIDcDbSimpleRowset* KezDcQrQRData::RowsetInterface() const {
  return p_QRRowset ? p_QRRowset->GetQResult() : nullptr;
}

KezDcQrQRData* KezDcQrQRData::GetQResult() {
  QR_TRA(2, "IN->> QrData::GetQResult [%s:%s:%s:%s:%s] \n", DataSource.ConvertToChar(), Session.ConvertToChar(),
         Rowset.ConvertToChar(), Accessor.ConvertToChar(), Block.ConvertToChar());
  KezDcQrQRData* result = this;
  asked_for_rowset_ = false;
  if (SubQueryFlag == 'Y') {
    QR_TRA(4, "This is a Sub-Query \n");
    const KezUnicodeString components[] = {DataSource, Session, Rowset, Accessor, Block};
    KezUnicodeString resolved[5];
    kez::detail::SubQueryScope scope(Key());
    if (!scope.Entered() || !kez::detail::ResolveComponents(components, resolved, 5)) return this;
    auto* node = static_cast<KezDcQrQRData*>(kez::detail::ResolvedNode(components, resolved, 5, kData));
    if (!node) return this;
    asked_for_rowset_ = !node->p_QRD;
    if (!node->p_QRD) GetQResultOfData(node);
    result = node;
  } else if (!p_QRD) {
    asked_for_rowset_ = true;
    GetQResultOfData(this);
  }
  QR_TRA(2, "OUT>> QrQRData::GetQResult  p_QResultOut=%x \n", Addr(result));
  return result;
}

void KezDcQrQRData::GetQResultOfData(KezDcQrQRData* holder) {
  KezIDcDbSimpleRowset* rowset = holder->RowsetInterface();
  QR_TRA(2, "IN->> QrQRData::GetQResultOfData [%s:%s:%s:%s:%d] \n", holder->DataSource.ConvertToChar(),
         holder->Session.ConvertToChar(), holder->Rowset.ConvertToChar(), holder->Accessor.ConvertToChar(),
         static_cast<int>(holder->NumBlock));
  // After the end of the rowset, or after this node was freed while its
  // rowset stayed open, the rowset starts again so that the walk begins at
  // the first row.
  bool restart = holder->NeedsRestart() || holder->RestartAfterFree();
  holder->restart_pending_ = false;
  if (restart) {
    QR_TRA(4, "FIN DE ROWSET => ON FREE RS & FILS\n");
    if (holder->p_QRRowset) holder->p_QRRowset->FreeQResult();
    rowset = holder->RowsetInterface();
  }
  if (!rowset) {
    QR_TRA(2, KEZ_REMARK " Cas Rowset NULL \n");
    QR_TRA(4, KEZ_REMARK "WARNING: NULL DATA \n");
  } else {
    holder->InitQResult();
    // Without a row buffer (the accessor has no handle) a fetched row could
    // not be copied and would be lost: nothing is fetched.
    if (holder->p_RowBuffer && (holder->RowCursor >= holder->NbRowsObtained || holder->RowCursor == 0)) {
      holder->FetchBlock(rowset);
    }
    if (holder->RcGetNextRows == 0 && holder->NbRowsObtained != 0) holder->CopyRow();
  }
  holder->p_QRD = holder;
  p_QRD = holder;
  QR_TRA(2, "OUT>> QrQRData::GetQResultOfData RowCursor=%d, RcGetNextRows=%d \n", static_cast<int>(holder->RowCursor),
         static_cast<int>(holder->RcGetNextRows));
}

// Gives the rows of the current block back to the rowset object that
// fetched them, and deletes the handle sequence.
void KezDcQrQRData::ReleaseBlock() {
  if (p_RowHandleSeq && fetch_rowset_) fetch_rowset_->ReleaseRows(NbRowsObtained, p_RowHandleSeq);
  delete p_RowHandleSeq;
  p_RowHandleSeq = nullptr;
  kez::detail::ReleaseObject(fetch_rowset_);
}

// A refused block size (NumBlock 0) asks the layer for nothing: the node
// stands on no row, as after an empty fetch.
void KezDcQrQRData::FetchBlock(KezIDcDbSimpleRowset* rowset) {
  ReleaseBlock();
  QR_TRA(4, "AVANT GetNextRows p_QRRowset->p_QResult=%x, NumBlock=%d \n", Addr(rowset), static_cast<int>(NumBlock));
  NbRowsObtained = 0;
  RowCursor = 0;
  if (NumBlock == 0) {
    RcGetNextRows = 0;
    return;
  }
  restart_pending_ = false;
  fetched_generation_ = p_QRRowset ? p_QRRowset->OpenGeneration() : 0;
  RcGetNextRows = static_cast<uint32_t>(rowset->GetNextRows(NumBlock, &NbRowsObtained, &p_RowHandleSeq));
  QR_TRA(4, "APRES GetNextRows Rc=%d \n", static_cast<int>(RcGetNextRows));
  rowset->AddRef();
  fetch_rowset_ = rowset;
  RowCursor = 0;
}

// Copies row RowCursor of the block into the row buffer, through the
// rowset object that fetched it. A row the layer fails to copy leaves empty
// fields, with a report: the previous row must not pass for this one.
void KezDcQrQRData::CopyRow() {
  KezDcDbHAccessor handle = p_QRAccessor ? p_QRAccessor->GetQResult() : 0;
  if (fetch_rowset_ && p_RowHandleSeq && p_RowBuffer) {
    int rc = fetch_rowset_->GetDataSeq((*p_RowHandleSeq)[RowCursor], handle, p_RowBuffer);
    QR_TRA(4, "APRES GetDataSeq Rc=%d \n", rc);
    if (rc > 0) {
      std::fill(p_RowBuffer->data(), p_RowBuffer->data() + p_RowBuffer->length(), 0);
      KezDcCMError::AddError("ERROR in QrQRData: row %u of the block of <%s> can't be read (GetDataSeq rc=%d) \n",
                             RowCursor + 1, Key().ConvertToChar(), rc);
    }
  }
  ++RowCursor;
}

bool KezDcQrQRData::FirstCutOf(uint32_t field) {
  if (field >= cut_reported_.size()) cut_reported_.resize(field + 1, false);
  if (cut_reported_[field]) return false;
  cut_reported_[field] = true;
  return true;
}

void KezDcQrQRData::ClearRow() {
  InitQResult();
  if (!p_RowBuffer) return;
  std::fill(p_RowBuffer->data(), p_RowBuffer->data() + p_RowBuffer->length(), 0);
  p_RowBuffer->SetAllNull(p_QRAccessor ? p_QRAccessor->NbAtt : 0, true);
}

void KezDcQrQRData::InitQResult() {
  QR_TRA(2, "IN->> QrQRData::InitQResult [%s:%s:%s:%s:%d] \n", DataSource.ConvertToChar(), Session.ConvertToChar(),
         Rowset.ConvertToChar(), Accessor.ConvertToChar(), static_cast<int>(NumBlock));
  if (!p_QRAccessor || p_QRAccessor->GetQResult() == 0) {
    QR_TRA(2, KEZ_REMARK " Cas Rowset NULL = > Accessor NULL \n");
  } else if (!p_RowBuffer) {
    uint32_t length = p_QRAccessor->MaxLength;
    p_RowBuffer = new _SEQUENCE_SEQUENCE_octet(length);
    p_RowBuffer->length(length);
    if (length > 0) (*p_RowBuffer)[0] = 0;
    // A field that no put sets goes into a new row as NULL.
    p_RowBuffer->SetAllNull(p_QRAccessor->NbAtt, true);
    QR_TRA(4, "this->p_RowBuffer: %d SEQUENCE_octet (sizeofSEQ=%d) \n", static_cast<int>(length),
           static_cast<int>(sizeof(_SEQUENCE_SEQUENCE_octet)));
  }
  QR_TRA(2, "OUT>> QrQRData::InitQResult ending \n");
}

void* KezDcQrQRData::GetNextLine() {
  KezDcQrQRData* holder = GetQResult();
  KezIDcDbSimpleRowset* rowset = holder->RowsetInterface();
  QR_TRA(2, "IN->> QrQRData::GetNextLine [%s:%s:%s:%s:%d] \n", holder->DataSource.ConvertToChar(),
         holder->Session.ConvertToChar(), holder->Rowset.ConvertToChar(), holder->Accessor.ConvertToChar(),
         static_cast<int>(holder->NumBlock));
  if (holder->NeedsRestart()) {
    QR_TRA(4, "FIN DE ROWSET => ON FREE RS & FILS\n");
    if (holder->p_QRRowset) holder->p_QRRowset->FreeQResult();
    // A sub-query may resolve to another holder now: fetch through its own
    // rowset.
    holder = GetQResult();
    rowset = holder->RowsetInterface();
  }
  if (holder->RowCursor >= holder->NbRowsObtained || holder->RowCursor == 0) {
    if (rowset) {
      holder->InitQResult();  // the first read may have found no rowset, and so no buffer
      if (holder->p_RowBuffer) holder->FetchBlock(rowset);
    } else {
      holder->ReleaseBlock();
      holder->RcGetNextRows = kNoRowset;
      holder->RowCursor = 0;
    }
  }
  void* copied_through = this;
  if (holder->RcGetNextRows == 0 && holder->NbRowsObtained != 0) {
    copied_through = holder->RowsetInterface();
    holder->CopyRow();
  }
  QR_TRA(2, "OUT>> QrQRData::GetNextLine p_QRD->RowCursor=%d, RcGetNextRows=%d \n", static_cast<int>(holder->RowCursor),
         static_cast<int>(holder->RcGetNextRows));
  return copied_through;
}

bool KezDcQrQRData::IsMoreData() {
  KezDcQrQRData* holder = GetQResult();
  bool more = holder->RcGetNextRows < 3 && holder->NbRowsObtained != 0;
  QR_TRA(2, more ? "=-->> IsMoreData return TRUE \n" : "=-->> IsMoreData return FALSE \n");
  return more;
}

int KezDcQrQRData::GetNbRowsObtained() {
  KezDcQrQRData* holder = GetQResult();
  QR_TRA(2, "=-->> QrQRData::GetNbRowsObtained NbRowsObtained=%d \n", static_cast<int>(holder->NbRowsObtained));
  return static_cast<int>(holder->NbRowsObtained);
}

void KezDcQrQRData::PutQResult() {
  QR_TRA(2, "IN->> QrQRData::PutQResult [%s:%s:%s:%s:%d] \n", DataSource.ConvertToChar(), Session.ConvertToChar(),
         Rowset.ConvertToChar(), Accessor.ConvertToChar(), static_cast<int>(NumBlock));
  InitQResult();
  QR_TRA(4, "AVANT Insert \n");
  // Without a row buffer InitQResult found no rowset or no accessor handle,
  // and that failure was said: asking again would say it twice more.
  KezIDcDbInsertRowset* insert = p_RowBuffer && p_QRRowset ? p_QRRowset->GetWriteQResult() : nullptr;
  KezDcDbHAccessor handle = p_RowBuffer && p_QRAccessor ? p_QRAccessor->GetQResult() : 0;
  int rc = 0;
  if (insert && p_RowBuffer) {
    rc = insert->InsertRow(handle, p_RowBuffer);
    if (rc > 0) KezDcCMError::AddError("ERROR in QrQRData::PutQResult  Error in InsertRow with Rc=%d \n", rc);
  } else if (!KezDcQrQRRowset::IsEmptyRowset(Rowset)) {
    // Nothing was inserted: say so rather than let the put pass for done.
    KezDcCMError::AddError("ERROR in QrQRData::PutQResult  No row inserted into <%s>: its rowset isn't open \n",
                           Key().ConvertToChar());
  }
  QR_TRA(4, "APRES Insert Rc=%d \n", rc);
  QR_TRA(2, "OUT>> QrQRData::PutQResult ending with Rc=%d \n", rc);
}

void KezDcQrQRData::FreeQResult() {
  QR_TRA(2, "=-->> QrQRData::FreeQResult %s \n", Key().ConvertToChar());
  FreeEntries(QRChildList, "QRChildList");
  FreeEntries(ListOfSubQuery, "ListOfSubQuery");
  restart_pending_ = restart_pending_ || fetch_rowset_ != nullptr;
  ReleaseBlock();
  delete p_RowBuffer;
  p_RowBuffer = nullptr;
  NbRowsObtained = 0;
  RcGetNextRows = 0;
  RowCursor = 0;
  p_QRD = nullptr;
  QR_TRA(2, "=-->> QrQRData::FreeQResult OK \n");
}
