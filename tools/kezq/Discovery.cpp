// Discovery through the access layer's schema operation: a session of the
// data source lists its tables; opening a table gives its columns.
#include "Discovery.h"

#include <memory>

#include "kezdcqr/KezDcQr.h"

namespace kezq {

namespace {

// Releases an access-layer object when it goes out of scope.
struct Releaser {
  void operator()(KezIDcDbUnknown* object) const {
    if (object) object->Release();
  }
};
template <class T>
using Held = std::unique_ptr<T, Releaser>;

// A session of the data source, or null (reported).
Held<KezIDcDbSimpleSession> OpenSession(const std::string& source) {
  Held<KezIDcDbDataSource> data_source(KezDcDbDataSourceFactory::CreateSimpleDataSource(source.c_str()));
  if (!data_source) {
    KezDcCMError::AddError("ERROR: Impossible to load DataSource @%s \n", source.c_str());
    return nullptr;
  }
  void* session = nullptr;
  if (data_source->OpenSession(KezIDcDbSimpleSession::ClassId(), &session) != 0 || !session) {
    KezDcCMError::AddError("ERROR: Impossible to open a session of @%s \n", source.c_str());
    return nullptr;
  }
  return Held<KezIDcDbSimpleSession>(static_cast<KezIDcDbSimpleSession*>(session));
}

const char* TypeName(uint32_t type) {
  switch (type) {
    case KEZDCDB_TYPEI4:
      return "int";
    case KEZDCDB_TYPER8:
      return "double";
    case KEZDCDB_TYPESTRING:
      return "string";
    default:
      return "list";
  }
}

bool PrintTables(const std::string& source, const char* prefix, std::FILE* out) {
  Held<KezIDcDbSimpleSession> session = OpenSession(source);
  if (!session) return false;
  void* schema = nullptr;
  if (session->QueryInterface(KezIDcDbSchema::ClassId(), &schema) != 0 || !schema) {
    KezDcCMError::AddError("ERROR: the backend of @%s cannot list its tables \n", source.c_str());
    return false;
  }
  Held<KezIDcDbSchema> held(static_cast<KezIDcDbSchema*>(schema));
  uint32_t count = 0;
  _SEQUENCE_KezDcDbNameSeq* names = nullptr;
  if (held->GetTables(&count, &names) > 0 || !names) {
    delete names;
    return false;
  }
  for (uint32_t i = 0; i < names->length(); ++i) {
    std::fprintf(out, "%s%s\n", prefix, (*names)[i].ConvertToChar());
  }
  delete names;
  return true;
}

}  // namespace

bool ListTables(const std::string& source, std::FILE* out) {
  if (!source.empty()) return PrintTables(source, "", out);
  bool ok = true;
  for (const auto& entry : KezDcDbDataSourceFactory::GetDataSources()) {
    std::string name = entry.first.ConvertToChar();
    ok = PrintTables(name, (name + "\t").c_str(), out) && ok;
  }
  return ok;
}

bool ListColumns(const std::string& source, const std::string& table, std::FILE* out) {
  Held<KezIDcDbSimpleSession> session = OpenSession(source);
  if (!session) return false;
  void* opened = nullptr;
  if (session->OpenRowset(table.c_str(), KezIDcDbSimpleRowset::ClassId(), &opened) != 0 || !opened) {
    if (KezDcCMError::GetNbErrors() == 0) {
      KezDcCMError::AddError("ERROR: Impossible to open Rowset @%s:%s \n", source.c_str(), table.c_str());
    }
    return false;
  }
  Held<KezIDcDbSimpleRowset> rowset(static_cast<KezIDcDbSimpleRowset*>(opened));
  uint32_t count = 0;
  _SEQUENCE_KezDcDbColInfoSeq* info = nullptr;
  rowset->GetColumnsInfo(&count, &info);
  if (!info) return false;
  for (uint32_t j = 0; j < count && j < info->length(); ++j) {
    const KezDcDbColInfo& column = (*info)[j];
    std::fprintf(out, "%s\t%s\t%u\n", column.colName.ConvertToChar(), TypeName(column.colType),
                 static_cast<unsigned>(column.colSize));
  }
  delete info;
  return true;
}

}  // namespace kezq
