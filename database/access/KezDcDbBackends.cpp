// The backend table: one row per URI scheme. Adding a backend is its folder
// under database/access/, its row here and its build dependency.
#include "database/access/KezDcDbBackends.h"

#include <string>

#include "database/access/memory/KezDcDbMemory.h"
#include "database/access/sqlite/KezDcDbSqlite.h"

namespace kez {
namespace detail {
namespace {

const Backend kBackends[] = {
    {"memory:", OpenMemoryDataSource, nullptr, "memory:NAME", nullptr},
    {"sqlite:", OpenSqliteDataSource, nullptr, "sqlite:PATH[?opts]", OpenSqliteFile},
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

}  // namespace kez
