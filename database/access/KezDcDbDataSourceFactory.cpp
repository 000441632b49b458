// The data-source catalog: registered names, URI schemes and the backends
// that open them.
#include "database/access/KezDcDbDataSourceFactory.h"

#include <map>
#include <string>

#include "database/access/memory/KezDcDbMemory.h"

namespace {

std::map<std::string, std::string>& Registered() {
  static std::map<std::string, std::string>* names = new std::map<std::string, std::string>();
  return *names;
}

long delete_all_jele_list_calls = 0;

// Opens the data source that a URI names, or null.
KezIDcDbDataSource* OpenUri(const std::string& uri) {
  const std::string memory = "memory:";
  if (uri.compare(0, memory.size(), memory) == 0) return kez::detail::OpenMemoryDataSource(uri.substr(memory.size()));
  return nullptr;
}

}  // namespace

KezIDcDbDataSource* KezDcDbDataSourceFactory::CreateSimpleDataSource(KezUnicodeString name) {
  auto found = Registered().find(name.Std());
  if (found == Registered().end()) return nullptr;
  return OpenUri(found->second);
}

void KezDcDbDataSourceFactory::RegisterDataSource(KezUnicodeString name, KezUnicodeString uri) {
  Registered()[name.Std()] = uri.Std();
}

void KezDcDbDataSourceFactory::UnregisterDataSource(KezUnicodeString name) { Registered().erase(name.Std()); }

KezUnicodeString KezDcDbDataSourceFactory::GetDataSourceUri(KezUnicodeString name) {
  auto found = Registered().find(name.Std());
  return found == Registered().end() ? KezUnicodeString() : KezUnicodeString(found->second);
}

std::vector<std::pair<KezUnicodeString, KezUnicodeString>> KezDcDbDataSourceFactory::GetDataSources() {
  std::vector<std::pair<KezUnicodeString, KezUnicodeString>> out;
  for (const auto& entry : Registered()) out.emplace_back(KezUnicodeString(entry.first), KezUnicodeString(entry.second));
  return out;
}

void KezDcOtAdapterRowset::DeleteAllJeleList() { ++delete_all_jele_list_calls; }

long KezDcOtAdapterRowset::GetNbDeleteAllJeleList() { return delete_all_jele_list_calls; }
