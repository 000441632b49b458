// The rowset node: opens its rowset by name on its session on first read,
// obtains the insert interface on first write, and frees its accessors,
// data blocks and cells before releasing both interfaces.
#include "nodes/database/KezDcQrQRRowset.h"

#include "foundation/KezDcCMError.h"
#include "nodes/base/SubQueryBranch.h"
#include "nodes/database/KezDcQrQRSession.h"
#include "nodes/database/NodeFather.h"

using kez::detail::Addr;

bool KezDcQrQRRowset::IsEmptyRowset(const KezUnicodeString& rowset) {
  return rowset[0] == '#' && rowset[1] == '#';
}

KezDcQrQRRowset::KezDcQrQRRowset()
    : KezDcQrQResult(kRowset), p_QResult(nullptr), p_WriteQResult(nullptr), p_QRSession(nullptr), QRChildList(0) {
  QR_TRA(2, "=-->> QrQRowset::QrQRRowset (default)\n");
  Type = "Rowset";
  BasicType = "int";
}

KezDcQrQRRowset::KezDcQrQRRowset(KezUnicodeString iDataSource, KezUnicodeString iSession, KezUnicodeString iRowset)
    : KezDcQrQResult(kRowset), p_QResult(nullptr), p_WriteQResult(nullptr), p_QRSession(nullptr), QRChildList(0) {
  QR_TRA(2, "=-->> QrQRowset::QrQRRowset: DataSource:<%s>, Session:<%s>, Rowset:<%s>\n", iDataSource.ConvertToChar(),
         iSession.ConvertToChar(), iRowset.ConvertToChar());
  DataSource = iDataSource;
  Session = iSession;
  Rowset = iRowset;
  BasicType = "int";
  Type = "Rowset";
  const KezUnicodeString components[] = {DataSource, Session, Rowset};
  p_QRSession = kez::detail::LinkToFather<KezDcQrQRSession>(this, EnterTree(components, 3));
}

KezDcQrQRRowset::~KezDcQrQRRowset() {
  KezUnicodeString key = Key();
  QR_TRA(2, "=-->> QrQRRowset::~QrQRRowset: Delete %s \n", key.ConvertToChar());
  LeaveTree(key, p_QRSession ? &p_QRSession->QRChildList : nullptr);
  DeleteEntries(QRChildList, "QRChildList");
  DeleteEntries(ListOfSubQuery, "ListOfSubQuery");
  kez::detail::ReleaseObject(p_WriteQResult);
  kez::detail::ReleaseObject(p_QResult);
  QR_TRA(2, "=-->> QrQRRowset::~QrQRRowset OK \n");
}

KezUnicodeString KezDcQrQRRowset::Key() const {
  KezUnicodeString key = DataSource;
  key.Append(':').Append(Session).Append(':').Append(Rowset);
  return key;
}

KezIDcDbSimpleRowset* KezDcQrQRRowset::GetQResult() {
  QR_TRA(2, "IN->> QrRowset::GetQResult [%s:%s:%s] \n", DataSource.ConvertToChar(), Session.ConvertToChar(),
         Rowset.ConvertToChar());
  KezIDcDbSimpleRowset* result = nullptr;
  if (SubQueryFlag == 'Y') {
    QR_TRA(4, "GetQResult This is a Sub-Query \n");
    kez::detail::SubQueryScope scope(Key());
    KezDcQrQRRowset* node = scope.Entered() ? ResolveSubQuery() : nullptr;
    if (!node) return nullptr;
    kez::detail::ReleaseObject(p_QResult);
    result = node->GetQResult();
  } else {
    QR_TRA(4, "Cas Rowset Vide Rowset:%s==##0 ? \n", Rowset.ConvertToChar());
    if (IsEmptyRowset(Rowset)) {
      QR_TRA(4, KEZ_REMARK "WARNING: NULL SUB-ROWSET ##0 \n");
      return nullptr;
    }
    result = p_QResult ? p_QResult : Open();
  }
  if (p_QResult) {
    QR_TRA(4, "GetRowset [%s:%s:%s] this=%x, p_QResult=%x\n", DataSource.ConvertToChar(), Session.ConvertToChar(),
           Rowset.ConvertToChar(), Addr(this), Addr(p_QResult));
  } else {
    QR_TRA(4, "GetRowset [%s:%s:%s] this=%x, p_QResult=NULL\n", DataSource.ConvertToChar(), Session.ConvertToChar(),
           Rowset.ConvertToChar(), Addr(this));
  }
  QR_TRA(2, "OUT>> QrQRRowset::GetQResult p_QResultOut=%x \n", Addr(result));
  return result;
}

KezDcQrQRRowset* KezDcQrQRRowset::ResolveSubQuery() {
  const KezUnicodeString components[] = {DataSource, Session, Rowset};
  KezUnicodeString resolved[3];
  if (!kez::detail::ResolveComponents(components, resolved, 3)) return nullptr;
  QR_TRA(4, "Cas Rowset Vide ERowset:%s==##0 ? \n", resolved[2].ConvertToChar());
  if (IsEmptyRowset(resolved[2])) {
    QR_TRA(4, KEZ_REMARK "WARNING: NULL SUB-ROWSET ##0 \n");
    return nullptr;
  }
  return static_cast<KezDcQrQRRowset*>(kez::detail::ResolvedNode(components, resolved, 3, kRowset));
}

KezIDcDbSimpleRowset* KezDcQrQRRowset::Open() {
  KezIDcDbSimpleSession* session = p_QRSession ? p_QRSession->GetQResult() : nullptr;
  if (!session) {
    KezDcCMError::AddError("ERROR: Impossible to open Rowset %s:%s:%s \n", DataSource.ConvertToChar(),
                           Session.ConvertToChar(), Rowset.ConvertToChar());
    return nullptr;
  }
  void* rowset = nullptr;
  int rc = session->OpenRowset(Rowset.ConvertToChar(), KezIDcDbSimpleRowset::ClassId(), &rowset);
  p_QResult = static_cast<KezIDcDbSimpleRowset*>(rowset);
  QR_TRA(4, "OpenRowset ending with rc=%d\n", rc);
  QR_TRA(4, "this->p_QResult=%x\n", Addr(p_QResult));
  if (rc != 0) kez::detail::ReleaseObject(p_QResult);
  if (p_QResult) ++open_generation_;
  return p_QResult;
}

KezIDcDbInsertRowset* KezDcQrQRRowset::GetWriteQResult() {
  if (SubQueryFlag == 'Y') {
    // The insert interface belongs to the rowset node that the sub-query
    // resolves to now, freed with that node's rowset interface; one kept
    // here would outlive a change of value or a restart of that rowset.
    kez::detail::SubQueryScope scope(Key());
    KezDcQrQRRowset* node = scope.Entered() ? ResolveSubQuery() : nullptr;
    return node ? node->GetWriteQResult() : nullptr;
  }
  if (p_WriteQResult) return p_WriteQResult;
  KezIDcDbSimpleRowset* rowset = GetQResult();
  if (!rowset) return nullptr;
  void* insert = nullptr;
  int rc = rowset->QueryInterface(KezIDcDbInsertRowset::ClassId(), &insert);
  p_WriteQResult = static_cast<KezIDcDbInsertRowset*>(insert);
  if (rc > 0) {
    KezDcCMError::AddError("ERROR QrQRRowset::GetWriteQResult: Error in QueryInterface with Rc=%d \n", rc);
  }
  return p_WriteQResult;
}

void KezDcQrQRRowset::ReleaseWriteQResult() {
  kez::detail::ReleaseObject(p_WriteQResult);
  for (int k = 1; k <= ListOfSubQuery.Size(); ++k) {
    KezDcQrQResult* resolved = ListOfSubQuery[k];
    if (auto* rowset = kez::As<KezDcQrQRRowset>(resolved)) rowset->ReleaseWriteQResult();
  }
}

void KezDcQrQRRowset::ReleaseAllWriteQResults() {
  if (!QRHTab) return;
  int i = 1;
  int j = 0;
  while (KezDcQrQResult* node = QRHTab->Next(i, j, nullptr)) {
    if (auto* rowset = kez::As<KezDcQrQRRowset>(node)) kez::detail::ReleaseObject(rowset->p_WriteQResult);
  }
}

void KezDcQrQRRowset::FreeQResult() {
  QR_TRA(2, "=-->> QrQRRowset::FreeQResult %s \n", Key().ConvertToChar());
  FreeEntries(QRChildList, "QRChildList");
  FreeEntries(ListOfSubQuery, "ListOfSubQuery");
  kez::detail::ReleaseObject(p_WriteQResult);
  kez::detail::ReleaseObject(p_QResult);
  QR_TRA(2, "=-->> QrQRRowset::FreeQResult OK \n");
}
