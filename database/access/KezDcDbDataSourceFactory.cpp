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
#include <vector>

#include "database/access/DataSourceWrapper.h"
#include "database/access/KezDcDbBackends.h"
#include "foundation/KezDcCMError.h"

namespace {

typedef std::map<std::string, std::string> UriMap;

// Longest name that the data folder accepts (a file name, ".db" included,
// stays within common file-system limits).
const std::size_t kMaxDataName = 200;
// Longest line of a catalog file: a name and a URI need far less, and a
// file without line ends (a device, a binary) must not fill the memory.
const std::size_t kMaxCatalogLine = std::size_t{64} * 1024;

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
kez::detail::DataSourceWrapper data_source_wrapper = nullptr;

void SourceChanged(const std::string& name) {
  if (source_changed_hook) source_changed_hook(KezUnicodeString(name));
}

// Opens the data source that a URI names, or null.
KezIDcDbDataSource* OpenUri(const std::string& uri) {
  if (const kez::detail::Backend* backend = kez::detail::FindBackend(uri)) {
    return backend->open(uri.substr(std::strlen(backend->scheme)));
  }
  KezDcCMError::AddError("ERROR: data-source URI <%s> has an unknown scheme (known: %s) \n", uri.c_str(),
                         kez::detail::KnownSchemes().c_str());
  return nullptr;
}

std::string Trim(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// Why a data-source name cannot be written in a query, or empty when it
// can: a data path ends a name at an operator, a ':' or a blank, reads
// brackets, braces and quotes as sub-queries and texts, and '$', '#' and
// '@' as variables and paths.
std::string UnwritableName(const std::string& name) {
  static const char kEnding[] = "=!+-/*(),|&<>:[]{}\"$#@";
  for (char c : name) {
    auto octet = static_cast<unsigned char>(c);
    if (octet <= ' ' || octet == 0x7F) return "name <" + name + "> holds a blank or a control character";
    if (std::strchr(kEnding, c)) {
      return "name <" + name + "> cannot be written in a query: a data path reads '" + std::string(1, c) +
             "' as part of the language (use letters, digits, '_' and '.')";
    }
  }
  return std::string();
}

// The content of a catalog line: blanks around it and a comment that a '#'
// after a blank (or at the start) begins are left out.
std::string CatalogContent(const std::string& raw) {
  std::string line = raw;
  for (std::size_t k = 0; k < line.size(); ++k) {
    if (line[k] == '#' && (k == 0 || line[k - 1] == ' ' || line[k - 1] == '\t')) {
      line.resize(k);
      break;
    }
  }
  return Trim(line);
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
  std::string unwritable = UnwritableName(*name);
  if (!unwritable.empty()) return "data-source " + unwritable;
  const kez::detail::Backend* backend = kez::detail::FindBackend(*uri);
  if (!backend) return "URI <" + *uri + "> has an unknown scheme (known: " + kez::detail::KnownSchemes() + ")";
  if (!backend->check_catalog_uri) return std::string();
  return backend->check_catalog_uri(uri->substr(std::strlen(backend->scheme)));
}

// Reads one line of at most kMaxCatalogLine octets into *line; false at
// the end of the file, or with *too_long set when the line is longer.
bool ReadCatalogLine(std::istream& file, std::string* line, bool* too_long) {
  line->clear();
  std::streambuf* in = file.rdbuf();
  int c = in->sbumpc();
  if (c == std::char_traits<char>::eof()) return false;
  for (; c != std::char_traits<char>::eof() && c != '\n'; c = in->sbumpc()) {
    if (line->size() == kMaxCatalogLine) {
      *too_long = true;
      return false;
    }
    line->push_back(static_cast<char>(c));
  }
  return true;
}

// Reads the catalog file into *entries; false when it has a fault.
bool ReadCatalog(const std::string& path, UriMap* entries) {
  std::error_code ec;
  std::ifstream file(path, std::ios::binary);
  if (!file || std::filesystem::is_directory(path, ec)) {
    KezDcCMError::AddError("ERROR: cannot read data-source catalog <%s>: %s \n", path.c_str(),
                           std::strerror(file ? EISDIR : errno));
    return false;
  }
  bool ok = true;
  std::map<std::string, int> defined_at;
  std::string raw;
  bool too_long = false;
  int number = 1;
  for (; ReadCatalogLine(file, &raw, &too_long); ++number) {
    std::string line = CatalogContent(raw);
    if (line.empty()) continue;
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
  if (too_long) {
    KezDcCMError::AddError("ERROR: data-source catalog %s:%d: the line is longer than %d octets \n", path.c_str(),
                           number, static_cast<int>(kMaxCatalogLine));
    return false;
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
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
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

// True when the file, links followed, lies in its data folder (or below).
// A link that leads out of the folder would let a plain name open any file
// of the machine: only a registration or a catalog entry may name one.
bool InsideDataFolder(const std::string& path) {
  std::error_code ec;
  std::filesystem::path file = std::filesystem::canonical(path, ec);
  if (ec) return false;
  std::filesystem::path folder = std::filesystem::canonical(std::filesystem::path(path).parent_path(), ec);
  if (ec) return false;
  std::filesystem::path relative = file.lexically_relative(folder);
  return !relative.empty() && *relative.begin() != "..";
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
        "(letters, digits, '_' and '.' only, not starting with '.', without \"..\": a name a query can write) \n",
        name.c_str());
    return nullptr;
  }
  std::string path = DataFolderPath(name);
  if (!IsFile(path)) return nullptr;
  if (!InsideDataFolder(path)) {
    KezDcCMError::AddError(
        "ERROR: data-source name <%s> names <%s>, a link to a file outside the data folder: register that file "
        "or name it in the catalog to open it \n",
        name.c_str(), path.c_str());
    return nullptr;
  }
  const kez::detail::Backend* backend = kez::detail::DataFolderBackend();
  return backend ? backend->open_data_folder_file(path) : nullptr;
}

}  // namespace

namespace {

struct SessionViewEntry {
  std::string source;  // empty: every data source
  std::string view;
  std::string select;
};

std::vector<SessionViewEntry>& SessionViews() {
  static std::vector<SessionViewEntry>* views = new std::vector<SessionViewEntry>();
  return *views;
}

// Hands the session views meant for the data source `name` to it.
void GiveSessionViews(const std::string& name, KezIDcDbDataSource* source) {
  KezIDcDbSessionViews* views = nullptr;
  for (const SessionViewEntry& entry : SessionViews()) {
    if (!entry.source.empty() && entry.source != name) continue;
    if (!views) {
      void* out = nullptr;
      if (source->QueryInterface(KezIDcDbSessionViews::ClassId(), &out) != 0 || !out) {
        if (!entry.source.empty()) {
          KezDcCMError::AddError("ERROR: data source <%s> cannot hold the session view <%s>: its backend has no SQL \n",
                                 name.c_str(), entry.view.c_str());
        }
        continue;
      }
      views = static_cast<KezIDcDbSessionViews*>(out);
    }
    views->AddSessionView(entry.view.c_str(), entry.select.c_str());
  }
  if (views) views->Release();
}

}  // namespace

KezIDcDbDataSource* KezDcDbDataSourceFactory::CreateSimpleDataSource(KezUnicodeString name) {
  const std::string* uri = FindUri(name.Std());
  KezIDcDbDataSource* source = uri ? OpenUri(*uri) : OpenDataFolderFile(name.Std());
  if (source && data_source_wrapper) source = data_source_wrapper(source, name.Std().c_str());
  if (source && !SessionViews().empty()) GiveSessionViews(name.Std(), source);
  return source;
}

void KezDcDbDataSourceFactory::AddSessionView(KezUnicodeString source, KezUnicodeString view, KezUnicodeString select) {
  SessionViews().push_back(SessionViewEntry{source.Std(), view.Std(), select.Std()});
}

void KezDcDbDataSourceFactory::ClearSessionViews() {
  SessionViews().clear();
}

void KezDcDbDataSourceFactory::RegisterDataSource(KezUnicodeString name, KezUnicodeString uri) {
  std::string unwritable = UnwritableName(name.Std());
  if (!unwritable.empty()) {
    KezDcCMError::AddError("ERROR: data source not registered: %s \n", unwritable.c_str());
    return;
  }
  auto found = Registered().find(name.Std());
  bool changed = found == Registered().end() || found->second != uri.Std();
  Registered()[name.Std()] = uri.Std();
  if (changed) SourceChanged(name.Std());
}

void KezDcDbDataSourceFactory::UnregisterDataSource(KezUnicodeString name) {
  if (Registered().erase(name.Std()) > 0) SourceChanged(name.Std());
}

void kez::detail::SetDataSourceChangedHook(DataSourceChangedHook hook) {
  source_changed_hook = hook;
}

void kez::detail::SetDataSourceWrapper(DataSourceWrapper wrapper) {
  data_source_wrapper = wrapper;
}

KezUnicodeString KezDcDbDataSourceFactory::GetDataSourceUri(KezUnicodeString name) {
  if (const std::string* uri = FindUri(name.Std())) return KezUnicodeString(*uri);
  if (!IsDataFolderName(name.Std())) return KezUnicodeString();
  std::string path = DataFolderPath(name.Std());
  const kez::detail::Backend* backend = kez::detail::DataFolderBackend();
  if (!backend || !IsFile(path) || !InsideDataFolder(path)) return KezUnicodeString();
  return KezUnicodeString(backend->scheme + path);
}

std::vector<std::pair<KezUnicodeString, KezUnicodeString>> KezDcDbDataSourceFactory::GetDataSources() {
  UriMap all = CatalogEntries();
  for (const auto& entry : Registered()) all[entry.first] = entry.second;
  std::vector<std::pair<KezUnicodeString, KezUnicodeString>> out;
  for (const auto& entry : all) {
    out.emplace_back(KezUnicodeString(entry.first), KezUnicodeString(kez::detail::MaskUri(entry.second)));
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
