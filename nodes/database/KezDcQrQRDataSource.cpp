// The data-source node: opens its data-source object through the catalog
// on first read, frees its subtree before releasing it.
#include "nodes/database/KezDcQrQRDataSource.h"

#include "database/access/KezDcDbDataSourceFactory.h"
#include "foundation/KezDcCMError.h"
#include "nodes/base/SubQueryBranch.h"
#include "nodes/database/NodeFather.h"

using kez::detail::Addr;

KezDcQrQRDataSource::KezDcQrQRDataSource() : KezDcQrQResult(kDataSource), p_QResult(nullptr), QRChildList(0) {
  QR_TRA(2, "=-->> QrQRDataSource::QrDataSource (default)\n");
  Type = "DataSource";
  BasicType = "int";
}

KezDcQrQRDataSource::KezDcQrQRDataSource(KezUnicodeString iDataSource)
    : KezDcQrQResult(kDataSource), p_QResult(nullptr), QRChildList(0) {
  QR_TRA(2, "=-->> QrQRDataSource::QrDataSource: DataSource:<%s>\n", iDataSource.ConvertToChar());
  DataSource = iDataSource;
  BasicType = "int";
  Type = "DataSource";
  EnterTree(&DataSource, 1);
}

KezDcQrQRDataSource::~KezDcQrQRDataSource() {
  QR_TRA(2, "=-->> QrQRDataSource::~QrQRDataSource: Delete %s\n", DataSource.ConvertToChar());
  LeaveTree(DataSource, nullptr);
  DeleteEntries(QRChildList, "QRChildList");
  DeleteEntries(ListOfSubQuery, "ListOfSubQuery");
  kez::detail::ReleaseObject(p_QResult);
  QR_TRA(2, "=-->> QrQRDataSource::~QrQRDataSource OK \n");
}

KezIDcDbDataSource* KezDcQrQRDataSource::GetQResult() {
  QR_TRA(2, "IN->> QrQRDataSource::GetQResult [%s] \n", DataSource.ConvertToChar());
  if (SubQueryFlag == 'Y') {
    QR_TRA(4, "This is a Sub-Query \n");
    kez::detail::SubQueryScope scope(DataSource);
    KezUnicodeString resolved;
    if (!scope.Entered() || !kez::detail::ResolveComponents(&DataSource, &resolved, 1)) return nullptr;
    auto* node = static_cast<KezDcQrQRDataSource*>(kez::detail::ResolvedNode(&DataSource, &resolved, 1, kDataSource));
    kez::detail::ReleaseObject(p_QResult);
    return node ? node->GetQResult() : nullptr;
  }
  if (p_QResult) return p_QResult;
  p_QResult = KezDcDbDataSourceFactory::CreateSimpleDataSource(DataSource.SubString(1, DataSource.GetLengthInChar()));
  if (!p_QResult) KezDcCMError::AddError("ERROR: Impossible to load DataSource %s \n", DataSource.ConvertToChar());
  QR_TRA(2, "OUT>> QrQRDataSource::GetQResult  p_QResultOut=%x \n", Addr(p_QResult));
  return p_QResult;
}

void KezDcQrQRDataSource::FreeQResult() {
  QR_TRA(2, "=-->> QrQRDataSource::FreeQResult %s \n", DataSource.ConvertToChar());
  FreeEntries(QRChildList, "QRChildList");
  FreeEntries(ListOfSubQuery, "ListOfSubQuery");
  kez::detail::ReleaseObject(p_QResult);
  QR_TRA(2, "=-->> QrQRDataSource::FreeQResult OK \n");
}
