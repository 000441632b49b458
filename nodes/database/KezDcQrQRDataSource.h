// The data-source node: one data source of the access layer, opened through
// the data-source factory on first read and shared by its sessions.
#ifndef KEZ_DC_QR_QR_DATA_SOURCE_H
#define KEZ_DC_QR_QR_DATA_SOURCE_H

#include "database/access/KezDcDbInterfaces.h"
#include "nodes/base/KezDcQrQResult.h"

class KEZDCQR_API KezDcQrQRDataSource : public KezDcQrQResult {
 public:
  static constexpr Kind kNodeKind = kDataSource;  // for kez::As<KezDcQrQRDataSource>

  KezIDcDbDataSource* p_QResult;  // one reference, or null while closed
  KezListPtrKezDcQrQResult QRChildList;
  KezUnicodeString DataSource;  // '@' included; the key

  KezDcQrQRDataSource();
  explicit KezDcQrQRDataSource(KezUnicodeString iDataSource);
  ~KezDcQrQRDataSource() override;

  // The open data-source object (of the resolved node for a sub-query),
  // opened on first use; null when it cannot be opened.
  KezIDcDbDataSource* GetQResult();
  void FreeQResult() override;
};

#endif
