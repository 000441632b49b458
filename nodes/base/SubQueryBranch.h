// Internal: the steps that the sub-query branch of the data-source,
// session, rowset, data-block and cell reads share. A node whose path holds
// '$' or bracketed components resolves them to texts at every read, finds
// or creates the node under the resolved path, links it, and reads it.
#ifndef KEZ_DC_QR_SUB_QUERY_BRANCH_H
#define KEZ_DC_QR_SUB_QUERY_BRANCH_H

#include "nodes/base/KezDcQrQResult.h"

namespace kez {
namespace detail {

// A resolved node that is itself a sub-query resolves again; reads nest at
// most this many levels deep.
const int kMaxSubQueryNesting = 16;

// Counts one level of sub-query reads for its lifetime.
class SubQueryScope {
 public:
  // Reports once, naming key, when the nesting bound is reached.
  explicit SubQueryScope(const KezUnicodeString& key);
  ~SubQueryScope();
  SubQueryScope(const SubQueryScope&) = delete;
  SubQueryScope& operator=(const SubQueryScope&) = delete;
  bool Entered() const { return entered_; }

 private:
  bool entered_;
};

// Resolves the n components with GetSubQuery; when any resolves to an empty
// text, reports "ERROR: EMPTY SUB-QUERY \n" and returns false.
bool ResolveComponents(const KezUnicodeString* unresolved, KezUnicodeString* resolved, int n);

// The node under the resolved components, created by the factory with the
// kind's type when absent and linked to the unresolved nodes; null (after a
// report) when the resolved path names a node of another kind.
KezDcQrQResult* ResolvedNode(const KezUnicodeString* unresolved, const KezUnicodeString* resolved, int n,
                             KezDcQrQResult::Kind kind);

}  // namespace detail
}  // namespace kez

#endif
