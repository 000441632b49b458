// Internal: looking up a node's father (or rowset) in the registry by key
// and kind, shared by the database node constructors.
#ifndef KEZ_DC_QR_NODE_FATHER_H
#define KEZ_DC_QR_NODE_FATHER_H

#include "nodes/base/KezDcQrQResult.h"
#include "nodes/base/QResultTrace.h"

namespace kez {
namespace detail {

// The node registered under key when it is of the kind T wants, else null.
template <class T>
T* LocateKind(const KezUnicodeString& key, KezDcQrQResult::Kind kind) {
  KezDcQrQResult* node = KezDcQrQResult::QRHTab ? KezDcQrQResult::QRHTab->Locate(key) : nullptr;
  return node && node->GetKind() == kind ? static_cast<T*>(node) : nullptr;
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
