// The data-source catalog: registered names, the catalog file, the data
// folder, and the URI schemes with the backends that open them.
#include "database/access/KezDcDbDataSourceFactory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>

#include "database/access/memory/KezDcDbMemory.h"
#include "database/access/postgresql/KezDcDbPostgres.h"
#include "database/access/sqlite/KezDcDbSqlite.h"
#include "foundation/KezDcCMError.h"

namespace {

typedef std::map<std::string, std::string> UriMap;

const char kMemoryScheme[] = "memory:";
const char kSqliteScheme[] = "sqlite:";
const char kKnownSchemes[] = "memory:, sqlite:, postgresql://, postgres://";
// Longest name that the data folder accepts (a file name, ".db" included,
// stays within common file-system limits).
const std::size_t kMaxDataName = 200;

UriMap& Registered() {
  static UriMap* names = new UriMap();
  return *names;
}

struct CatalogFile {
  bool loaded = false;  // KEZDCDB_CATALOG read, or LoadCatalogFile called
  UriMap entries;
};

CatalogFile& Catalog() {
  static CatalogFile* catalog = new CatalogFile();
  return *catalog;
}

long delete_all_jele_list_calls = 0;
kez::detail::DataSourceChangedHook source_changed_hook = nullptr;

void SourceChanged(const std::string& name) {
  if (source_changed_hook) source_changed_hook(KezUnicodeString(name));
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Opens the data source that a URI names, or null.
KezIDcDbDataSource* OpenUri(const std::string& uri) {
  if (StartsWith(uri, kMemoryScheme)) return kez::detail::OpenMemoryDataSource(uri.substr(sizeof kMemoryScheme - 1));
  if (StartsWith(uri, kSqliteScheme)) return kez::detail::OpenSqliteDataSource(uri.substr(sizeof kSqliteScheme - 1));
  if (kez::detail::IsPostgresUri(uri)) return kez::detail::OpenPostgresDataSource(uri);
  KezDcCMError::AddError("ERROR: data-source URI <%s> has an unknown scheme (known: %s) \n", uri.c_str(),
                         kKnownSchemes);
  return nullptr;
}

std::string Trim(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// What is wrong with one non-blank, non-comment catalog line; empty when
// nothing is, with *name and *uri set.
std::string CheckCatalogLine(const std::string& line, std::string* name, std::string* uri) {
  if (line.find('\0') != std::string::npos) return "the line holds a NUL octet";
  std::size_t equal = line.find('=');
  if (equal == std::string::npos) return "expected <name = uri>, not <" + line + ">";
  *name = Trim(line.substr(0, equal));
  *uri = Trim(line.substr(equal + 1));
  if (name->empty()) return "no data-source name before '='";
  if (uri->empty()) return "no URI after '=' for data source <" + *name + ">";
  if (!StartsWith(*uri, kMemoryScheme) && !StartsWith(*uri, kSqliteScheme) && !kez::detail::IsPostgresUri(*uri)) {
    return "URI <" + *uri + "> has an unknown scheme (known: " + kKnownSchemes + ")";
  }
  return std::string();
}

// Reads the catalog file into *entries; false when it has a fault.
bool ReadCatalog(const std::string& path, UriMap* entries) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    KezDcCMError::AddError("ERROR: cannot read data-source catalog <%s>: %s \n", path.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = true;
  std::map<std::string, int> defined_at;
  std::string raw;
  for (int number = 1; std::getline(file, raw); ++number) {
    std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    std::string name, uri;
    std::string fault = CheckCatalogLine(line, &name, &uri);
    auto earlier = defined_at.find(name);
    if (fault.empty() && earlier != defined_at.end()) {
      fault = "data source <" + name + "> is already defined at line " + std::to_string(earlier->second);
    }
    if (!fault.empty()) {
      KezDcCMError::AddError("ERROR: data-source catalog %s:%d: %s \n", path.c_str(), number, fault.c_str());
      ok = false;
      continue;
    }
    defined_at[name] = number;
    (*entries)[name] = uri;
  }
  return ok;
}

UriMap& CatalogEntries() {
  CatalogFile& catalog = Catalog();
  if (!catalog.loaded) {
    catalog.loaded = true;
    const char* path = std::getenv("KEZDCDB_CATALOG");
    if (path && *path) ReadCatalog(path, &catalog.entries);
  }
  return catalog.entries;
}

bool IsNameOctet(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
}

bool IsDataFolderName(const std::string& name) {
  if (name.empty() || name.size() > kMaxDataName || name[0] == '.') return false;
  if (name.find("..") != std::string::npos) return false;
  for (char c : name) {
    if (!IsNameOctet(c)) return false;
  }
  return true;
}

std::string DataFolderPath(const std::string& name) {
  const char* folder = std::getenv("KEZDCDB_DATA_DIR");
  std::error_code ec;
  std::filesystem::path path = folder && *folder ? std::filesystem::path(folder) : std::filesystem::current_path(ec);
  if (ec) path = ".";
  return (path / (name + ".db")).string();
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// The registered or catalog URI of the name, or null.
const std::string* FindUri(const std::string& name) {
  auto registered = Registered().find(name);
  if (registered != Registered().end()) return &registered->second;
  auto listed = CatalogEntries().find(name);
  return listed == CatalogEntries().end() ? nullptr : &listed->second;
}

KezIDcDbDataSource* OpenDataFolderFile(const std::string& name) {
  if (!IsDataFolderName(name)) {
    KezDcCMError::AddError(
        "ERROR: data-source name <%s> is not registered and cannot name a file of the data folder "
        "(letters, digits, '_', '-' and '.' only, not starting with '.', without \"..\") \n",
        name.c_str());
    return nullptr;
  }
  std::string path = DataFolderPath(name);
  return IsFile(path) ? kez::detail::OpenSqliteFile(path) : nullptr;
}

}  // namespace

KezIDcDbDataSource* KezDcDbDataSourceFactory::CreateSimpleDataSource(KezUnicodeString name) {
  if (const std::string* uri = FindUri(name.Std())) return OpenUri(*uri);
  return OpenDataFolderFile(name.Std());
}

void KezDcDbDataSourceFactory::RegisterDataSource(KezUnicodeString name, KezUnicodeString uri) {
  auto found = Registered().find(name.Std());
  bool changed = found == Registered().end() || found->second != uri.Std();
  Registered()[name.Std()] = uri.Std();
  if (changed) SourceChanged(name.Std());
}

void KezDcDbDataSourceFactory::UnregisterDataSource(KezUnicodeString name) {
  if (Registered().erase(name.Std()) > 0) SourceChanged(name.Std());
}

void kez::detail::SetDataSourceChangedHook(DataSourceChangedHook hook) { source_changed_hook = hook; }

KezUnicodeString KezDcDbDataSourceFactory::GetDataSourceUri(KezUnicodeString name) {
  if (const std::string* uri = FindUri(name.Std())) return KezUnicodeString(*uri);
  if (!IsDataFolderName(name.Std())) return KezUnicodeString();
  std::string path = DataFolderPath(name.Std());
  return IsFile(path) ? KezUnicodeString(kSqliteScheme + path) : KezUnicodeString();
}

std::vector<std::pair<KezUnicodeString, KezUnicodeString>> KezDcDbDataSourceFactory::GetDataSources() {
  UriMap all = CatalogEntries();
  for (const auto& entry : Registered()) all[entry.first] = entry.second;
  std::vector<std::pair<KezUnicodeString, KezUnicodeString>> out;
  for (const auto& entry : all) {
    out.emplace_back(KezUnicodeString(entry.first), KezUnicodeString(kez::detail::MaskPostgresPassword(entry.second)));
  }
  return out;
}

bool KezDcDbDataSourceFactory::LoadCatalogFile(KezUnicodeString path) {
  CatalogFile& catalog = Catalog();
  catalog.loaded = true;
  catalog.entries.clear();
  return ReadCatalog(path.Std(), &catalog.entries);
}

void KezDcDbDataSourceFactory::ResetCatalog() {
  Catalog().loaded = false;
  Catalog().entries.clear();
}

// The access layer keeps no adapter list that could hold an object on a
// node's behalf: every object is reference counted and released by its
// holder. So this only counts its calls, and can never release what a node
// still holds.
void KezDcOtAdapterRowset::DeleteAllJeleList() {
  ++delete_all_jele_list_calls;
}

long KezDcOtAdapterRowset::GetNbDeleteAllJeleList() {
  return delete_all_jele_list_calls;
}
