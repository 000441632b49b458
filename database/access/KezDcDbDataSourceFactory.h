// The data-source catalog of the access layer: data-source names map to
// URIs ("memory:NAME", "sqlite:PATH?...", "postgresql://...") and CreateSimpleDataSource opens
// the data source that a name stands for.
//
// Every name can be written in a query: a name holding a character that a
// data path reads as part of the language ('-', ':', '+', blanks, ...) is
// refused, by RegisterDataSource and in the catalog, with the reason.
//
// A name is looked up, first match wins:
//   1. among the names given to RegisterDataSource;
//   2. in the catalog file: the one named by the environment variable
//      KEZDCDB_CATALOG, read once on first use, or the one last given to
//      LoadCatalogFile. Lines "name = uri"; a '#' at the start of a line or
//      after a blank begins a comment that runs to the end of the line;
//      blank lines are skipped; a bad line is reported as "FILE:LINE" and
//      skipped; the first definition of a name wins. Relative paths in its
//      URIs are taken from the working directory, like every URI's;
//   3. in the data folder (KEZDCDB_DATA_DIR, or the working directory): the
//      SQLite file "<folder>/<name>.db" when it exists and the name is only
//      ASCII letters, digits, '_' and '.', does not start with '.' and
//      holds no "..". Other names (with '/', "..", NUL octets, absolute
//      paths, ...) are refused and reported, so a name computed at run
//      time never reaches a file outside that folder.
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
  // null when the name stands for nothing that can be opened (the backend
  // reports why when it tried to open something).
  static KezIDcDbDataSource* CreateSimpleDataSource(KezUnicodeString name);
  // Registers the URI of a name; a second registration replaces the first.
  // Registering a name again with another URI, or unregistering it, closes
  // what its data-source node holds open: the next read through the name
  // opens what it stands for then (a walk in progress starts again there).
  static void RegisterDataSource(KezUnicodeString name, KezUnicodeString uri);
  static void UnregisterDataSource(KezUnicodeString name);
  // The URI that the name stands for (registered, catalog file or data
  // folder, in that order), or an empty text. Reports nothing.
  static KezUnicodeString GetDataSourceUri(KezUnicodeString name);
  // Every registered and catalog-file (name, URI), sorted by name, for
  // listing (passwords masked as "***"); a registered name hides the
  // catalog's entry of the same name.
  static std::vector<std::pair<KezUnicodeString, KezUnicodeString>> GetDataSources();

  // Replaces the catalog-file entries with those of the file at path (and
  // stops KEZDCDB_CATALOG from being read). Returns true when the file was
  // read without a fault; every fault is reported, the good lines are kept,
  // and a file that cannot be read leaves the catalog empty.
  static bool LoadCatalogFile(KezUnicodeString path);
  // Forgets the catalog-file entries; the next lookup reads KEZDCDB_CATALOG
  // again.
  static void ResetCatalog();

  // Gives every session that a data source opened afterwards the temporary
  // view `view` over `select` (the caller's own SQL, run as it is): the
  // data source named `source`, or every data source whose backend has
  // session views when `source` is empty. Naming a data source whose
  // backend has none is reported when it opens.
  static void AddSessionView(KezUnicodeString source, KezUnicodeString view, KezUnicodeString select);
  // Forgets the views that AddSessionView gave (open sessions keep theirs).
  static void ClearSessionViews();
};

// The adapter lists of the access layer.
class KEZDCQR_API KezDcOtAdapterRowset {
 public:
  // Clears the layer's adapter lists: caches that hold no object a node
  // still refers to (it never releases a data source, session, rowset,
  // insert interface, accessor or row that a node holds). Called once at
  // the start of DeleteAllQueries.
  static void DeleteAllJeleList();
  // How many times DeleteAllJeleList ran (for tests and diagnostics).
  static long GetNbDeleteAllJeleList();
};

namespace kez {
namespace detail {
// Called with a data-source name whose registered URI changed; set once by
// the library's start-up to close the name's data-source node.
typedef void (*DataSourceChangedHook)(const KezUnicodeString& name);
KEZDCQR_API void SetDataSourceChangedHook(DataSourceChangedHook hook);
}  // namespace detail
}  // namespace kez

#endif
