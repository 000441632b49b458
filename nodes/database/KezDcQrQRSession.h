// The session node: one session opened on its data source's object.
#ifndef KEZ_DC_QR_QR_SESSION_H
#define KEZ_DC_QR_QR_SESSION_H

#include "database/access/KezDcDbInterfaces.h"
#include "nodes/base/KezDcQrQResult.h"

class KezDcQrQRDataSource;

class KEZDCQR_API KezDcQrQRSession : public KezDcQrQResult {
 public:
  static constexpr Kind kNodeKind = kSession;  // for kez::As<KezDcQrQRSession>

  KezIDcDbSimpleSession* p_QResult;     // one reference, or null while closed
  KezDcQrQRDataSource* p_QRDataSource;  // the father, not owned; null when missing
  KezListPtrKezDcQrQResult QRChildList;
  KezUnicodeString DataSource;
  KezUnicodeString Session;

  KezDcQrQRSession();
  KezDcQrQRSession(KezUnicodeString iDataSource, KezUnicodeString iSession);
  ~KezDcQrQRSession() override;

  // The open session (of the resolved node for a sub-query), opened on first
  // use; null when it cannot be opened.
  KezIDcDbSimpleSession* GetQResult();
  void FreeQResult() override;

 private:
  // Opens the session on the father's data-source object.
  KezIDcDbSimpleSession* Open();
};

#endif
