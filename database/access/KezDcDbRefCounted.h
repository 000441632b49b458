// Reference counting shared by the backends' objects: a backend object
// derives from KezDcDbRefCounted<Interface>, answers QueryInterface for its
// own interface, and deletes itself when its last reference is released.
#ifndef KEZ_DC_DB_REF_COUNTED_H
#define KEZ_DC_DB_REF_COUNTED_H

#include "database/access/KezDcDbInterfaces.h"

namespace kez {
namespace detail {

template <class Interface>
class KezDcDbRefCounted : public Interface {
 public:
  int QueryInterface(KezDcDbClassId id, void** out) override {
    if (!out) return 1;
    *out = nullptr;
    if (id != Interface::ClassId()) return 1;
    AddRef();
    *out = static_cast<Interface*>(this);
    return 0;
  }
  int AddRef() override { return ++references_; }
  int Release() override {
    int left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  KezDcDbRefCounted() = default;

 private:
  int references_ = 1;
};

}  // namespace detail
}  // namespace kez

#endif
