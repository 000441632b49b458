// The accessor node: parses its attribute list, binds the columns into the
// row-buffer layout on first read, and gives its handle back to the very
// rowset object that created it.
#include "nodes/database/KezDcQrQRAccessor.h"

#include "foundation/KezDcCMError.h"
#include "nodes/database/KezDcQrQRRowset.h"
#include "nodes/database/NodeFather.h"

using kez::detail::Addr;

KezDcQrQRAccessor::KezDcQrQRAccessor() : KezDcQrQResult(kAccessor), QRChildList(0) {
  QR_TRA(2, "=-->> QrQRAccessor::QrQRAccessor (default)\n");
  Type = "Accessor";
  BasicType = "int";
}

KezDcQrQRAccessor::KezDcQrQRAccessor(KezUnicodeString iDataSource, KezUnicodeString iSession, KezUnicodeString iRowset,
                                     KezUnicodeString iAccessor)
    : KezDcQrQResult(kAccessor), QRChildList(0) {
  QR_TRA(2, "=-->> QrQRAccessor::QrQRAccessor: DataSource = <%s>, Session = <%s>, Rowset = <%s>, Accessor = <%s>\n",
         iDataSource.ConvertToChar(), iSession.ConvertToChar(), iRowset.ConvertToChar(), iAccessor.ConvertToChar());
  DataSource = iDataSource;
  Session = iSession;
  Rowset = iRowset;
  Accessor = iAccessor;
  BasicType = "int";
  Type = "Accessor";
  ParseAttributeList();
  Register(QRHTab, Key());
  KezUnicodeString father = DataSource;
  father.Append(':').Append(Session).Append(':').Append(Rowset);
  p_QRRowset = kez::detail::LinkToFather<KezDcQrQRRowset>(this, father, "ROWSET");
}

KezDcQrQRAccessor::~KezDcQrQRAccessor() {
  KezUnicodeString key = Key();
  QR_TRA(2, "=-->> QrQRAccessor::~QrQRAccessor: Delete %s \n", key.ConvertToChar());
  LeaveTree(key, p_QRRowset ? &p_QRRowset->QRChildList : nullptr);
  DeleteEntries(QRChildList, "QRChildList");
  // Resolved accessors linked here (a data block or cell resolving its
  // sub-queries resolves the accessor component too) are owned like any
  // sub-query: they must not outlive the node whose list holds them.
  DeleteEntries(ListOfSubQuery, "ListOfSubQuery");
  ReleaseHandle();
  delete p_BufferBinding;
  p_BufferBinding = nullptr;
  AccessorList.RemoveAll(1);
  QR_TRA(2, "=-->> QrQRAccessor::~QrQRAccessor OK \n");
}

KezUnicodeString KezDcQrQRAccessor::Key() const {
  KezUnicodeString key = DataSource;
  key.Append(':').Append(Session).Append(':').Append(Rowset).Append(':').Append(Accessor);
  return key;
}

// Attributes are separated by '+' outside brackets; '{' and '}' around an
// attribute (the braces that keep a list inside one expression symbol) and
// blanks at its ends are stripped.
void KezDcQrQRAccessor::ParseAttributeList() {
  QR_TRA(4, "TailleiAccessorList=%d \n", Accessor.GetLengthInChar());
  KezUnicodeString current;
  int depth = 0;
  for (char c : Accessor.Std()) {
    if (c == '[') ++depth;
    if (c == ']') --depth;
    if (depth < 0) {
      KezDcCMError::AddError("ERROR: INVALID iAccessor - Too many closed brackets\n");
    } else if (depth == 0 && c == '+') {
      AppendAttribute(current);
      QR_TRA(4, "Attribut<%s>\n", AccessorList[AccessorList.Size()].ConvertToChar());
      current = KezUnicodeString();
    } else {
      current.Append(c);
    }
  }
  if (depth > 0) KezDcCMError::AddError("ERROR: INVALID ACCESSOR - Too many opened brackets\n");
  AppendAttribute(current);
  NbAtt = static_cast<uint32_t>(AccessorList.Size());
  QR_TRA(4, "NbAtt=%d \n", static_cast<int>(NbAtt));
  SubQueryFlag = 'N';
  for (int k = 1; k <= AccessorList.Size(); ++k) {
    QR_TRA(4, "Attribut[%d]=<%s>\n", k, AccessorList[k].ConvertToChar());
    if (AccessorList[k][0] == '[') {
      SubQueryFlag = 'Y';
      QR_TRA(2, "KezDc_VIEW DROP1: SUBQUERY IN ACCESOR UNAVAILABLE \n");
    }
  }
}

void KezDcQrQRAccessor::AppendAttribute(const KezUnicodeString& text) {
  AccessorList.Append(text.Strip(1, '{').Strip(1, ' ').Strip(2, ' ').Strip(2, '}'));
}

// Under a rowset with sub-queries the rowset object can change under the
// handle (another value, or the resolved rowset freed and opened again):
// the handle and the binding then belong to another rowset and are made
// again. The old object is still referenced, so its address is not reused.
bool KezDcQrQRAccessor::HandleIsStale() {
  if (h_QResult == 0 || !p_QRRowset || p_QRRowset->SubQueryFlag != 'Y') return false;
  return p_QRRowset->GetQResult() != handle_rowset_;
}

KezDcDbHAccessor KezDcQrQRAccessor::GetQResult() {
  if (HandleIsStale()) FreeQResult();
  if (h_QResult != 0) return h_QResult;
  QR_TRA(2, "IN->> QrAccessor::GetQResult: NbAtt:%d \n", static_cast<int>(NbAtt));
  KezIDcDbSimpleRowset* rowset = p_QRRowset ? p_QRRowset->GetQResult() : nullptr;
  if (!rowset) {
    h_QResult = 0;
    QR_TRA(4, KEZ_REMARK "WARNING: NULL ACCESSOR \n");
    return 0;
  }
  uint32_t nb_cols = 0;
  _SEQUENCE_KezDcDbColInfoSeq* columns = nullptr;
  rowset->GetColumnsInfo(&nb_cols, &columns);
  if (!columns) nb_cols = 0;
  QR_TRA(4, "GetColumsInfo OK \n");
  QR_TRA(4, "NbOfCols:%d \n", static_cast<int>(nb_cols));
  MaxLength = 0;
  MaxColLength = 0;
  delete p_BufferBinding;  // a binding whose accessor could not be created
  p_BufferBinding = nullptr;
  if (NbAtt == 1 && AccessorList[1] == "*") {
    BindDefault(columns, nb_cols);
  } else {
    BindTrue(columns, nb_cols);
  }
  QR_TRA(4, "MaxLength=%d, MaxColLength=%d \n", static_cast<int>(MaxLength), static_cast<int>(MaxColLength));
  rowset->CreateAccessor(NbAtt, p_BufferBinding, &h_QResult);
  QR_TRA(4, "Create Accessor:%x OK \n", static_cast<unsigned>(h_QResult));
  if (h_QResult != 0) {
    rowset->AddRef();
    handle_rowset_ = rowset;
  }
  delete columns;
  QR_TRA(2, "OUT>> QrAccessor::GetQResult: h_QResultOut=%x \n", static_cast<unsigned>(h_QResult));
  return h_QResult;
}

void KezDcQrQRAccessor::BindDefault(_SEQUENCE_KezDcDbColInfoSeq* columns, uint32_t nbCols) {
  QR_TRA(2, KEZ_REMARK "Here is a Default Accessor \n");
  p_BufferBinding = new _SEQUENCE_KezDcDbBindingSeq(nbCols);
  p_BufferBinding->length(nbCols);
  NbAtt = nbCols;
  AccessorList.RemovePosition(1);
  for (uint32_t j = 0; j < nbCols; ++j) {
    const KezDcDbColInfo& column = (*columns)[j];
    AccessorList.Append(column.colName);
    KezDcDbBinding& entry = (*p_BufferBinding)[j];
    entry.columnId = j + 1;
    if (column.colType == KEZDCDB_TYPEI4 || column.colType == KEZDCDB_TYPER8) {
      AddField(entry, kNumericFieldLength);
    } else if (column.colType == KEZDCDB_TYPESTRING || column.colType == KEZDCDB_TYPEPTRSUBLIST ||
               column.colType == KEZDCDB_TYPEPTRDYNSUBLIST) {
      AddField(entry, column.colSize);
    } else {
      AddField(entry, entry.maxlen);
    }
  }
}

void KezDcQrQRAccessor::BindTrue(_SEQUENCE_KezDcDbColInfoSeq* columns, uint32_t nbCols) {
  QR_TRA(2, KEZ_REMARK "Here is a True Accessor \n");
  bool missing = false;
  p_BufferBinding = new _SEQUENCE_KezDcDbBindingSeq(NbAtt);
  p_BufferBinding->length(NbAtt);
  for (uint32_t i = 0; i < NbAtt; ++i) {
    KezDcDbBinding& entry = (*p_BufferBinding)[i];
    const KezUnicodeString& name = AccessorList[static_cast<int>(i) + 1];
    uint32_t j = 0;
    while (j < nbCols && !((*columns)[j].colName == name)) ++j;
    if (j == nbCols) {
      AddField(entry, entry.maxlen);  // names no column: reserves nothing of its own
      if (!unknown_reported_) {
        KezDcCMError::AddError("ERROR: rowset <%s> has no column <%s> (accessor <%s>) \n", Rowset.ConvertToChar(),
                               name.ConvertToChar(), Key().ConvertToChar());
      }
      missing = true;
      continue;
    }
    QR_TRA(4, " ColName:<%s> founded j=%d \n", name.ConvertToChar(), static_cast<int>(j));
    const KezDcDbColInfo& column = (*columns)[j];
    bool numeric = column.colType == KEZDCDB_TYPEI4 || column.colType == KEZDCDB_TYPER8;
    AddField(entry, numeric ? kNumericFieldLength : column.colSize);
    entry.columnId = j + 1;
  }
  // Each missing column is reported once per accessor, not at every bind.
  if (missing) unknown_reported_ = true;
}

// Places the entry right after the fields bound so far; lengths add up
// saturating, so a layer announcing enormous columns cannot wrap the row
// length around.
void KezDcQrQRAccessor::AddField(KezDcDbBinding& entry, uint32_t maxlen) {
  entry.offset = MaxLength;
  entry.maxlen = maxlen;
  MaxLength = maxlen > UINT32_MAX - MaxLength ? UINT32_MAX : MaxLength + maxlen;
  if (maxlen > MaxColLength) MaxColLength = maxlen;
}

void KezDcQrQRAccessor::ReleaseHandle() {
  if (h_QResult == 0 || !handle_rowset_) return;
  handle_rowset_->ReleaseAccessor(h_QResult);
  kez::detail::ReleaseObject(handle_rowset_);
  h_QResult = 0;
}

void KezDcQrQRAccessor::FreeQResult() {
  QR_TRA(2, "=-->> QrQRAccessor::FreeQResult %s \n", Key().ConvertToChar());
  FreeEntries(QRChildList, "QRChildList");
  ReleaseHandle();
  delete p_BufferBinding;
  p_BufferBinding = nullptr;
  MaxLength = 0;
  MaxColLength = 0;
  QR_TRA(2, "=-->> QrQRAccessor::FreeQResult this->h_QResult:%x OK \n", static_cast<unsigned>(h_QResult));
}
