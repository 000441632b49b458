// Internal: trace shorthand of the queries.
#ifndef KEZ_DC_QR_QUERY_TRACE_H
#define KEZ_DC_QR_QUERY_TRACE_H

#include "nodes/base/QResultTrace.h"
#include "query/KezDcQrQuery.h"

#define Q_TRA(level, ...) KEZ_TRA(KezDcQrQuery::sp_Trace, level, __VA_ARGS__)

#endif
