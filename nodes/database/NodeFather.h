// Internal: the link of a database node to its father, shared by the
// database node constructors: look the father up in the registry by key and
// kind, report it missing, join its child list.
#ifndef KEZ_DC_QR_NODE_FATHER_H
#define KEZ_DC_QR_NODE_FATHER_H

#include "foundation/KezDcCMError.h"
#include "nodes/base/KezDcQrQResult.h"
#include "nodes/base/QResultTrace.h"

namespace kez {
namespace detail {

// The node registered under key when it is of the kind T, else null.
template <class T>
T* LocateKind(const KezUnicodeString& key) {
  return kez::As<T>(KezDcQrQResult::QRHTab ? KezDcQrQResult::QRHTab->Locate(key) : nullptr);
}

// The father registered under key, of the kind T; when there is none,
// reports "ERROR <role> QUERY <key> DOESN'T APPEAR IN HQR DICO !" and
// returns null.
template <class T>
T* LocateFather(const KezUnicodeString& key, const char* role = "FATHER") {
  T* father = LocateKind<T>(key);
  if (!father) KezDcCMError::AddError("ERROR %s QUERY <%s> DOESN'T APPEAR IN HQR DICO !\n", role, key.ConvertToChar());
  return father;
}

// A node's link to its father: locates it as above, then appends child to
// its child list. Returns the father, or null after the report.
template <class T>
T* LinkToFather(KezDcQrQResult* child, const KezUnicodeString& key, const char* role = "FATHER") {
  T* father = LocateFather<T>(key, role);
  if (!father) return nullptr;
  QR_TRA(4, "Locate in QRHT FatherPath:<%s> (%x) OK\n", key.ConvertToChar(), Addr(father));
  father->QRChildList.Append(child);
  QR_TRA(4, "Append to QRChildList OK \n");
  return father;
}

// Releases one reference held in *object and clears it.
template <class T>
void ReleaseObject(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

}  // namespace detail
}  // namespace kez

#endif
