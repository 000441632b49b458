// Internal: trace shorthand of the queries.
#ifndef KEZ_DC_QR_QUERY_TRACE_H
#define KEZ_DC_QR_QUERY_TRACE_H

#include "query/KezDcQrQuery.h"
#include "nodes/base/QResultTrace.h"

#define Q_TRA(level, ...) KEZ_TRA(KezDcQrQuery::sp_Trace, level, __VA_ARGS__)

#endif
