// The session views that a data source of an SQL backend holds, and the
// KezIDcDbSessionViews object that its QueryInterface hands out.
#ifndef KEZ_DC_DB_SESSION_VIEWS_H
#define KEZ_DC_DB_SESSION_VIEWS_H

#include <string>
#include <vector>

#include "database/access/KezDcDbRefCounted.h"

namespace kez {
namespace detail {

struct SessionView {
  std::string name;
  std::string select;  // the user's own SQL
};
typedef std::vector<SessionView> SessionViewList;

// Adds to the list of a data source, which it keeps alive.
class SessionViewsAdder final : public KezDcDbRefCounted<KezIDcDbSessionViews> {
 public:
  SessionViewsAdder(KezIDcDbDataSource* source, SessionViewList* views) : source_(source), views_(views) {
    source_->AddRef();
  }
  ~SessionViewsAdder() override { source_->Release(); }
  SessionViewsAdder(const SessionViewsAdder&) = delete;
  SessionViewsAdder& operator=(const SessionViewsAdder&) = delete;

  int AddSessionView(const char* name, const char* select) override {
    if (!name || !*name || !select || !*select) return 1;
    views_->push_back(SessionView{name, select});
    return 0;
  }

 private:
  KezIDcDbDataSource* source_;  // one reference held
  SessionViewList* views_;      // the data source's
};

}  // namespace detail
}  // namespace kez

#endif
