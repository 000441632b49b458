// Start-up and unload of the library: the two trace channels and the three
// registries. Everything lives in this one file so that the order of
// creation is fixed. Unloading destroys the trace channels only; the
// registries are never destroyed.
#include "database/access/KezDcDbDataSourceFactory.h"
#include "nodes/base/IdleRelease.h"
#include "nodes/base/KezDcQrQResult.h"
#include "query/KezDcQrQuery.h"

KezTrace* KezDcQrQResult::sp_Trace = nullptr;
KezHashDicKezDcQrQResult* KezDcQrQResult::QRHTab = nullptr;
KezHashDicKezDcQrQResult* KezDcQrQResult::ExprHTab = nullptr;
KezTrace* KezDcQrQuery::sp_Trace = nullptr;
KezHashDicKezDcQrQuery* KezDcQrQuery::QueryHTab = nullptr;

namespace {

class LibraryStartup {
 public:
  LibraryStartup() {
    KezDcQrQResult::sp_Trace = new KezTrace("TraceQResult", "Trace des Query Results", 0, "STDERR", 1024);
    KezDcQrQuery::sp_Trace = new KezTrace("TraceQuery", "Trace des Queries", 0, "STDERR", 1024);
    KezDcQrQResult::QRHTab = new KezHashDicKezDcQrQResult(new KezHashDico(100));
    KezDcQrQResult::ExprHTab = new KezHashDicKezDcQrQResult(new KezHashDico(100));
    KezDcQrQuery::QueryHTab = new KezHashDicKezDcQrQuery(new KezHashDico(100));
    kez::detail::SetDataSourceChangedHook(&kez::detail::ReleaseChangedDataSource);
  }
  ~LibraryStartup() {
    delete KezDcQrQResult::sp_Trace;
    KezDcQrQResult::sp_Trace = nullptr;
    delete KezDcQrQuery::sp_Trace;
    KezDcQrQuery::sp_Trace = nullptr;
  }
  LibraryStartup(const LibraryStartup&) = delete;
  LibraryStartup& operator=(const LibraryStartup&) = delete;
};

LibraryStartup startup;

}  // namespace
