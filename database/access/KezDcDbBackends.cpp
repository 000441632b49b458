// The backend table: one row per URI scheme. Adding a backend is its folder
// under database/access/, its row here and its build dependency.
#include "database/access/KezDcDbBackends.h"

#include <string>

#include "database/access/memory/KezDcDbMemory.h"
#include "database/access/postgresql/KezDcDbPostgres.h"
#include "database/access/sqlite/KezDcDbSqlite.h"

namespace kez {
namespace detail {
namespace {

// libpq takes the whole URI, scheme included.
KezIDcDbDataSource* OpenPostgresql(const std::string& rest) {
  return OpenPostgresDataSource("postgresql://" + rest);
}
KezIDcDbDataSource* OpenPostgres(const std::string& rest) {
  return OpenPostgresDataSource("postgres://" + rest);
}

const Backend kBackends[] = {
    {"memory:", OpenMemoryDataSource, nullptr, "memory:NAME", nullptr, nullptr, nullptr},
    {"sqlite:", OpenSqliteDataSource, nullptr, "sqlite:PATH[?opts]", OpenSqliteFile, nullptr, SqliteClientVersion},
    {"postgresql://", OpenPostgresql, nullptr, "postgresql://[USER@]HOST[:PORT]/DB[?opts]", nullptr,
     MaskPostgresPassword, PostgresClientVersion},
    {"postgres://", OpenPostgres, nullptr, "postgres://...", nullptr, MaskPostgresPassword, PostgresClientVersion},
};

}  // namespace

const Backend* FindBackend(const std::string& uri) {
  for (const Backend& backend : kBackends) {
    if (uri.compare(0, std::char_traits<char>::length(backend.scheme), backend.scheme) == 0) return &backend;
  }
  return nullptr;
}

const Backend* DataFolderBackend() {
  for (const Backend& backend : kBackends) {
    if (backend.open_data_folder_file) return &backend;
  }
  return nullptr;
}

std::string KnownSchemes() {
  std::string list;
  for (const Backend& backend : kBackends) {
    if (!list.empty()) list += ", ";
    list += backend.scheme;
  }
  return list;
}

std::string MaskUri(const std::string& uri) {
  const Backend* backend = FindBackend(uri);
  return backend && backend->mask ? backend->mask(uri) : uri;
}

}  // namespace detail

std::string BackendUsages() {
  const detail::Backend* first = detail::DataFolderBackend();
  std::string list = first ? first->description : "";
  for (const detail::Backend& backend : detail::kBackends) {
    if (&backend == first) continue;
    if (!list.empty()) list += ", ";
    list += backend.description;
  }
  return list;
}

std::string BackendVersions() {
  std::string list;
  for (const detail::Backend& backend : detail::kBackends) {
    if (!backend.client_version) continue;
    std::string version = backend.client_version();
    if (list.find(version) != std::string::npos) continue;
    if (!list.empty()) list += ", ";
    list += version;
  }
  return list;
}

}  // namespace kez
