// Internal: the seam through which tests wrap every data source that the
// factory creates (never installed headers, never exported).
#ifndef KEZ_DC_DB_DATA_SOURCE_WRAPPER_H
#define KEZ_DC_DB_DATA_SOURCE_WRAPPER_H

#include "database/access/KezDcDbInterfaces.h"

namespace kez {
namespace detail {

// When set, CreateSimpleDataSource hands every data source it opened to the
// wrapper (inner: its one reference, handed over; name: the data-source name
// asked for) and returns what the wrapper returns instead (null: no data
// source). Unset in the library.
typedef KezIDcDbDataSource* (*DataSourceWrapper)(KezIDcDbDataSource* inner, const char* name);
void SetDataSourceWrapper(DataSourceWrapper wrapper);

}  // namespace detail
}  // namespace kez

#endif
