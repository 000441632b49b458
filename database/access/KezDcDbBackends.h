// The table of backends: each URI scheme with the function that opens it, a
// check of its catalog-file URIs and a one-line description. The catalog,
// the messages that list the known schemes, kezq's help and the data-folder
// fallback all read this table; a new backend adds one row to it.
#ifndef KEZ_DC_DB_BACKENDS_H
#define KEZ_DC_DB_BACKENDS_H

#include <string>

#include "database/access/KezDcDbInterfaces.h"
#include "foundation/KezExport.h"

namespace kez {
namespace detail {

struct Backend {
  const char* scheme;  // with its colon: "sqlite:"
  // Opens the data source of a URI (given without its scheme): a new object
  // with one reference, the caller's, or null after reporting why.
  KezIDcDbDataSource* (*open)(const std::string& rest);
  // What is wrong with a catalog-file URI (given without its scheme), empty
  // when nothing is; null when the scheme alone is enough.
  std::string (*check_catalog_uri)(const std::string& rest);
  const char* description;  // the URI's form, one line for help texts: "sqlite:PATH[?opts]"
  // Opens "<data folder>/<name>.db" for a plain name; null for every backend
  // but the one that serves the data folder.
  KezIDcDbDataSource* (*open_data_folder_file)(const std::string& path);
  // The whole URI with its secrets (a password) masked, for listings and
  // messages; null when its URIs hold none.
  std::string (*mask)(const std::string& uri);
  // The client library the backend runs with, "SQLite 3.40.1"; null for
  // none.
  std::string (*client_version)();
};

// The backend whose scheme starts the URI, or null.
const Backend* FindBackend(const std::string& uri);
// The backend that opens the data folder's files, or null.
const Backend* DataFolderBackend();
// "memory:, sqlite:": the schemes for messages that list them.
std::string KnownSchemes();
// The URI as listings may show it: its backend's mask applied.
std::string MaskUri(const std::string& uri);

}  // namespace detail

// The URI forms of every backend for a help text, the data folder's backend
// first: "sqlite:PATH[?opts], memory:NAME".
KEZDCQR_API std::string BackendUsages();
// The client libraries in use, each once: "SQLite 3.40.1, libpq 15.10".
KEZDCQR_API std::string BackendVersions();
}  // namespace kez

#endif
