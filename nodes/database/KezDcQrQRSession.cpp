// The session node: opens one session on its data source's object on first
// read, frees its rowsets before releasing it.
#include "nodes/database/KezDcQrQRSession.h"

#include "foundation/KezDcCMError.h"
#include "nodes/base/SubQueryBranch.h"
#include "nodes/database/KezDcQrQRDataSource.h"
#include "nodes/database/NodeFather.h"

using kez::detail::Addr;

KezDcQrQRSession::KezDcQrQRSession()
    : KezDcQrQResult(kSession), p_QResult(nullptr), p_QRDataSource(nullptr), QRChildList(0) {
  QR_TRA(2, "=-->> QrQRSession::QrSession (default)\n");
  Type = "Session";
  BasicType = "int";
}

KezDcQrQRSession::KezDcQrQRSession(KezUnicodeString iDataSource, KezUnicodeString iSession)
    : KezDcQrQResult(kSession), p_QResult(nullptr), p_QRDataSource(nullptr), QRChildList(0) {
  QR_TRA(4, "&&& CREATE SESSION [%s:%s] = %x\n", iDataSource.ConvertToChar(), iSession.ConvertToChar(), Addr(this));
  QR_TRA(2, "=-->> QrQRSession::QrSession: DataSource:<%s>, Session:<%s>\n", iDataSource.ConvertToChar(),
         iSession.ConvertToChar());
  DataSource = iDataSource;
  Session = iSession;
  BasicType = "int";
  Type = "Session";
  const KezUnicodeString components[] = {DataSource, Session};
  p_QRDataSource = kez::detail::LinkToFather<KezDcQrQRDataSource>(this, EnterTree(components, 2));
}

KezDcQrQRSession::~KezDcQrQRSession() {
  KezUnicodeString key = DataSource;
  key.Append(':').Append(Session);
  QR_TRA(4, "&&& DELETE SESSION [%s:%s] = %x\n", DataSource.ConvertToChar(), Session.ConvertToChar(), Addr(this));
  QR_TRA(2, "=-->> QrQRSession::~QrQRSession: Delete %s\n", key.ConvertToChar());
  LeaveTree(key, p_QRDataSource ? &p_QRDataSource->QRChildList : nullptr);
  DeleteEntries(QRChildList, "QRChildList");
  DeleteEntries(ListOfSubQuery, "ListOfSubQuery");
  if (p_QResult) {
    QR_TRA(4, "&&& DELETE P_QRESULT [%s:%s] = %x, p_=%x\n", DataSource.ConvertToChar(), Session.ConvertToChar(),
           Addr(this), Addr(p_QResult));
  } else {
    QR_TRA(4, "&&& DELETE P_QRESULT [%s:%s] = %x, p_=NULL\n", DataSource.ConvertToChar(), Session.ConvertToChar(),
           Addr(this));
  }
  kez::detail::ReleaseObject(p_QResult);
  QR_TRA(2, "=-->> QrQRSession::~QrQRSession OK \n");
}

KezIDcDbSimpleSession* KezDcQrQRSession::GetQResult() {
  QR_TRA(2, "IN->> QrSession::GetQResult [%s:%s] \n", DataSource.ConvertToChar(), Session.ConvertToChar());
  KezIDcDbSimpleSession* result = nullptr;
  if (SubQueryFlag == 'Y') {
    QR_TRA(4, "This is a Sub-Query \n");
    const KezUnicodeString components[] = {DataSource, Session};
    KezUnicodeString resolved[2];
    kez::detail::SubQueryScope scope(DataSource);
    if (!scope.Entered() || !kez::detail::ResolveComponents(components, resolved, 2)) return nullptr;
    auto* node = static_cast<KezDcQrQRSession*>(kez::detail::ResolvedNode(components, resolved, 2, kSession));
    kez::detail::ReleaseObject(p_QResult);
    result = node ? node->GetQResult() : nullptr;
  } else if (p_QResult) {
    result = p_QResult;
  } else {
    result = Open();
  }
  if (p_QResult) {
    QR_TRA(4, "GetSession [%s:%s] this= %x, p_QResult=%x\n", DataSource.ConvertToChar(), Session.ConvertToChar(),
           Addr(this), Addr(p_QResult));
  } else {
    QR_TRA(4, "GetSession [%s:%s] this=%x, p_QResult=NULL\n", DataSource.ConvertToChar(), Session.ConvertToChar(),
           Addr(this));
  }
  QR_TRA(2, "OUT>> QrSession::GetQResult  p_QResultOut=%x \n", Addr(result));
  return result;
}

KezIDcDbSimpleSession* KezDcQrQRSession::Open() {
  KezIDcDbDataSource* source = p_QRDataSource ? p_QRDataSource->GetQResult() : nullptr;
  if (!source) {
    KezDcCMError::AddError("ERROR: Impossible to open Session %s:%s \n", DataSource.ConvertToChar(),
                           Session.ConvertToChar());
    return nullptr;
  }
  void* session = nullptr;
  int rc = source->OpenSession(KezIDcDbSimpleSession::ClassId(), &session);
  p_QResult = static_cast<KezIDcDbSimpleSession*>(session);
  if (rc != 0) {
    kez::detail::ReleaseObject(p_QResult);
    KezDcCMError::AddError("ERROR: Openning Session %s:%s failed with rc=%d\n", DataSource.ConvertToChar(),
                           Session.ConvertToChar(), rc);
  }
  return p_QResult;
}

void KezDcQrQRSession::FreeQResult() {
  KezUnicodeString key = DataSource;
  key.Append(':').Append(Session);
  QR_TRA(2, "=-->> QrQRSession::FreeQResult %s \n", key.ConvertToChar());
  FreeEntries(QRChildList, "QRChildList");
  FreeEntries(ListOfSubQuery, "ListOfSubQuery");
  kez::detail::ReleaseObject(p_QResult);
  QR_TRA(2, "=-->> QrQRSession::FreeQResult OK \n");
}
