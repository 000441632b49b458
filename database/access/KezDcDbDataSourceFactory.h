// The data-source catalog of the access layer: data-source names map to
// URIs ("memory:NAME", "sqlite:PATH?...") and CreateSimpleDataSource opens
// the data source that a name stands for.
#ifndef KEZ_DC_DB_DATA_SOURCE_FACTORY_H
#define KEZ_DC_DB_DATA_SOURCE_FACTORY_H

#include <utility>
#include <vector>

#include "database/access/KezDcDbInterfaces.h"
#include "foundation/KezExport.h"
#include "foundation/KezUnicodeString.h"

class KEZDCQR_API KezDcDbDataSourceFactory {
 public:
  // A new data-source object (one reference, the caller's) for the name, or
  // null when the name stands for nothing that can be opened.
  static KezIDcDbDataSource* CreateSimpleDataSource(KezUnicodeString name);
  // Registers the URI of a name; a second registration replaces the first.
  static void RegisterDataSource(KezUnicodeString name, KezUnicodeString uri);
  static void UnregisterDataSource(KezUnicodeString name);
  // The URI registered for the name, or an empty text.
  static KezUnicodeString GetDataSourceUri(KezUnicodeString name);
  // Every registered (name, URI), sorted by name.
  static std::vector<std::pair<KezUnicodeString, KezUnicodeString>> GetDataSources();
};

// The adapter lists of the access layer.
class KEZDCQR_API KezDcOtAdapterRowset {
 public:
  // Clears the layer's adapter lists: caches that hold no object a node
  // still refers to. Called once at the start of DeleteAllQueries.
  static void DeleteAllJeleList();
  // How many times DeleteAllJeleList ran (for tests and diagnostics).
  static long GetNbDeleteAllJeleList();
};

#endif
