// KezDcQr: one-line textual queries over databases. This umbrella header
// brings in every public header of the library.
//
//   KezDcQrQuery* q = KezDcQrQuery::NewQuery("Get(@sales:main:orders:{amount+price}:20:amount * 2)");
//   q->DoQuery();   // the value is in q->p_QResult, by its BasicType
#ifndef KEZ_DC_QR_H
#define KEZ_DC_QR_H

#include "database/access/KezDcDbBackends.h"
#include "database/access/KezDcDbDataSourceFactory.h"
#include "database/access/KezDcDbInterfaces.h"
#include "database/access/KezDcDbSequence.h"
#include "database/access/memory/KezDcDbMemory.h"
#include "foundation/KezCFormat.h"
#include "foundation/KezCollecRoot.h"
#include "foundation/KezDcCMError.h"
#include "foundation/KezHashDico.h"
#include "foundation/KezListValKezUnicodeString.h"
#include "foundation/KezRawColl.h"
#include "foundation/KezTrace.h"
#include "foundation/KezTypedContainers.h"
#include "foundation/KezUnicodeChar.h"
#include "foundation/KezUnicodeString.h"
#include "foundation/KezVersion.h"
#include "nodes/base/KezDcQrQResult.h"
#include "nodes/database/KezDcQrQRAccessor.h"
#include "nodes/database/KezDcQrQRCell.h"
#include "nodes/database/KezDcQrQRData.h"
#include "nodes/database/KezDcQrQRDataSource.h"
#include "nodes/database/KezDcQrQRRowset.h"
#include "nodes/database/KezDcQrQRSession.h"
#include "nodes/expression/KezDcQrQRConstant.h"
#include "nodes/expression/KezDcQrQRExpression.h"
#include "nodes/expression/KezDcQrQRVariable.h"
#include "query/KezDcQrQuery.h"

#endif
