// Internal: giving back the layer objects that nothing uses any more.
//
// A deleted query takes its expression and the nodes that the expression
// names with it, but their ancestors (data block, accessor, rowset, session,
// data source) would stay registered and keep their rows, statements and
// connections. Once the deletion is done, the ancestors left idle are
// deleted too, top-down from the highest, which gives back every layer
// object they hold. A node is idle when it has no children (other than the
// idle one below it), no sub-query link, no expression names it, and no
// client obtained it through NewQResult; nothing else keeps a pointer to
// such a node (queries and expressions look their nodes up again by key
// after any deletion).
#ifndef KEZ_DC_QR_IDLE_RELEASE_H
#define KEZ_DC_QR_IDLE_RELEASE_H

#include <vector>

#include "nodes/base/KezDcQrQResult.h"

namespace kez {
namespace detail {

class IdleAncestors {
 public:
  // Before node is deleted: remembers its father in the database hierarchy.
  void Note(const KezDcQrQResult* node);
  // Before expression is deleted: Note for every node that it names.
  void NoteNamedBy(const KezDcQrQResult* expression);
  // After the deletion: deletes, above each remembered father, the highest
  // node of the idle chain that starts there (and so the whole chain).
  void Release();

 private:
  std::vector<KezUnicodeString> fathers_;
};

// The URI of the data-source name changed (registered again with another
// URI, or unregistered): its open node, if any, and everything below it
// are freed, so that the next read opens what the name stands for now.
void ReleaseChangedDataSource(const KezUnicodeString& name);

}  // namespace detail
}  // namespace kez

#endif
