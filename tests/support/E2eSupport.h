// Helpers of the end-to-end tests: a fixture with two memory databases (m:
// orders, stock and copy; alt: orders), a client-side query runner, and a
// walk over the registries that checks every link between the nodes.
#ifndef KEZ_TEST_E2E_SUPPORT_H
#define KEZ_TEST_E2E_SUPPORT_H

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/AccessFaults.h"
#include "support/KezTestSupport.h"

namespace kez {
namespace test {

class E2eTest : public KezTest {
 protected:
  void SetUp() override {
    KezTest::SetUp();
    const std::vector<KezDcDbMemoryColumn> columns = {
        {"item", KEZDCDB_TYPESTRING, 32}, {"amount", KEZDCDB_TYPEI4, 4}, {"price", KEZDCDB_TYPER8, 8}};
    KezDcDbMemory::CreateRowset("shop", "orders", columns);
    KezDcDbMemory::CreateRowset("shop", "stock", columns);
    KezDcDbMemory::CreateRowset("shop", "copy", columns);
    KezDcDbMemory::CreateRowset("alt", "orders", columns);
    for (int k = 1; k <= 5; ++k) {
      std::string n = std::to_string(k);
      KezDcDbMemory::AppendRow("shop", "orders", {"o" + n, n, n + ".5"});
      KezDcDbMemory::AppendRow("shop", "stock", {"s" + n, std::to_string(10 * k), "2"});
    }
    KezDcDbMemory::AppendRow("alt", "orders", {"a1", "7", "0.25"});
    KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:shop");
    KezDcDbDataSourceFactory::RegisterDataSource("alt", "memory:alt");
  }

  // Runs the query text; returns the query.
  static KezDcQrQuery* Run(const std::string& text) {
    KezDcQrQuery* query = KezDcQrQuery::NewQuery(text.c_str());
    query->DoQuery();
    return query;
  }
  // The value of Get(text) as a client prints it: "%d", "%g" or the text.
  static std::string Get(const std::string& text) {
    KezDcQrQuery* query = Run("Get(" + text + ")");
    auto* e = dynamic_cast<KezDcQrQRExpression*>(query->p_QResult);
    if (!e) return "<no result>";
    if (e->BasicType == "int" && e->p_IntQResult) return std::to_string(*e->p_IntQResult);
    if (e->BasicType == "double" && e->p_DoubleQResult) return kez::Format("%g", *e->p_DoubleQResult);
    if (e->BasicType == "string" && e->p_StringQResult) return e->p_StringQResult;
    return "<no value>";
  }
  static std::string Held() {
    return std::to_string(kez::test::AccessFaults::LiveObjects()) + "/" +
           std::to_string(kez::test::AccessFaults::OutstandingRows()) + "/" +
           std::to_string(kez::test::AccessFaults::LiveAccessors());
  }
};

// The registries as a walk sees them: every node reached, and every broken
// link found on the way. A link is followed only to a node that a registry
// holds, so a link to a deleted node is reported, never dereferenced.
struct RegistryWalk {
  std::set<const KezDcQrQResult*> live;
  std::vector<const KezDcQrQResult*> nodes;        // QRHTab, in order
  std::vector<const KezDcQrQResult*> expressions;  // ExprHTab, in order
  std::vector<std::string> problems;
};

// What the walk needs of a node: the key its kind registers it under, its
// father in the database hierarchy and its QRChildList (null when none).
struct NodeView {
  std::string key;
  const KezDcQrQResult* father = nullptr;
  const KezListPtrKezDcQrQResult* children = nullptr;
};

inline NodeView View(const KezDcQrQResult* node) {
  switch (node->GetKind()) {
    case KezDcQrQResult::kDataSource: {
      auto* n = static_cast<const KezDcQrQRDataSource*>(node);
      return {n->DataSource.Std(), nullptr, &n->QRChildList};
    }
    case KezDcQrQResult::kSession: {
      auto* n = static_cast<const KezDcQrQRSession*>(node);
      return {n->DataSource.Std() + ":" + n->Session.Std(), n->p_QRDataSource, &n->QRChildList};
    }
    case KezDcQrQResult::kRowset: {
      auto* n = static_cast<const KezDcQrQRRowset*>(node);
      return {n->Key().Std(), n->p_QRSession, &n->QRChildList};
    }
    case KezDcQrQResult::kAccessor: {
      auto* n = static_cast<const KezDcQrQRAccessor*>(node);
      return {n->Key().Std(), n->p_QRRowset, &n->QRChildList};
    }
    case KezDcQrQResult::kData: {
      auto* n = static_cast<const KezDcQrQRData*>(node);
      return {n->Key().Std(), n->p_QRAccessor, &n->QRChildList};
    }
    case KezDcQrQResult::kCell: {
      auto* n = static_cast<const KezDcQrQRCell*>(node);
      return {n->Key().Std(), n->p_QRData};
    }
    case KezDcQrQResult::kVariable:
      return {static_cast<const KezDcQrQRVariable*>(node)->Variable.Std()};
    case KezDcQrQResult::kConstant:
      return {static_cast<const KezDcQrQRConstant*>(node)->Constant.Std()};
    case KezDcQrQResult::kExpression:
      return {static_cast<const KezDcQrQRExpression*>(node)->ExpressionText.Std()};
    case KezDcQrQResult::kNone:
      break;
  }
  return {"<no kind>"};
}
inline std::string OwnKey(const KezDcQrQResult* node) {
  return View(node).key;
}

namespace detail {

// Every entry of list is live, appears once, and points back at owner.
inline void CheckList(RegistryWalk& walk, const KezDcQrQResult* owner, const KezListPtrKezDcQrQResult& list,
                      bool children) {
  std::set<const KezDcQrQResult*> seen;
  const std::string what = children ? "child" : "sub-query";
  for (int k = 1; k <= list.Size(); ++k) {
    const KezDcQrQResult* entry = list[k];
    if (!walk.live.count(entry)) {
      walk.problems.push_back(OwnKey(owner) + " lists a " + what + " that no registry holds");
      continue;
    }
    if (!seen.insert(entry).second) walk.problems.push_back(OwnKey(owner) + " lists " + OwnKey(entry) + " twice");
    const KezDcQrQResult* back = children ? View(entry).father : entry->SubQueryFather;
    if (back != owner)
      walk.problems.push_back(OwnKey(entry) + ", " + what + " of " + OwnKey(owner) + ", points elsewhere");
  }
}

// The father (in the hierarchy, or of the sub-query) is live and lists node.
inline void CheckListed(RegistryWalk& walk, const KezDcQrQResult* node, const KezDcQrQResult* father, bool children) {
  const std::string what = children ? "father" : "sub-query father";
  if (!father) return;
  if (!walk.live.count(father)) {
    walk.problems.push_back(OwnKey(node) + " has a " + what + " that no registry holds");
    return;
  }
  const KezListPtrKezDcQrQResult& list = children ? *View(father).children : father->ListOfSubQuery;
  for (int k = 1; k <= list.Size(); ++k) {
    if (list[k] == node) return;
  }
  walk.problems.push_back(OwnKey(node) + " is missing from its " + what + "'s list");
}

template <class T>
void Collect(const KezPtrDict<T>* registry, std::vector<std::pair<std::string, T*>>& out) {
  int i = 1;
  int j = 0;
  KezUnicodeString key;
  while (T* value = registry->Next(i, j, &key)) out.emplace_back(key.Std(), value);
}

}  // namespace detail

// Walks QRHTab, ExprHTab and QueryHTab and checks: every node under its own
// key, father and child lists agreeing both ways, sub-query fathers and
// lists agreeing both ways, every query under its text.
inline RegistryWalk WalkRegistries() {
  RegistryWalk walk;
  std::vector<std::pair<std::string, KezDcQrQResult*>> nodes, expressions;
  detail::Collect(KezDcQrQResult::QRHTab, nodes);
  detail::Collect(KezDcQrQResult::ExprHTab, expressions);
  for (auto& entry : nodes) walk.nodes.push_back(entry.second);
  for (auto& entry : expressions) walk.expressions.push_back(entry.second);
  walk.live.insert(walk.nodes.begin(), walk.nodes.end());
  walk.live.insert(walk.expressions.begin(), walk.expressions.end());
  for (auto* group : {&nodes, &expressions}) {
    for (auto& entry : *group) {
      const KezDcQrQResult* node = entry.second;
      bool expression = node->GetKind() == KezDcQrQResult::kExpression;
      if (expression != (group == &expressions)) walk.problems.push_back(entry.first + " is in the wrong registry");
      const NodeView view = View(node);
      if (view.key != entry.first) walk.problems.push_back(entry.first + " holds " + view.key);
      if (view.children) detail::CheckList(walk, node, *view.children, true);
      detail::CheckList(walk, node, node->ListOfSubQuery, false);
      detail::CheckListed(walk, node, view.father, true);
      detail::CheckListed(walk, node, node->SubQueryFather, false);
      if (node->GetKind() == KezDcQrQResult::kData) {
        const KezDcQrQResult* rowset = static_cast<const KezDcQrQRData*>(node)->p_QRRowset;
        if (rowset && !walk.live.count(rowset)) walk.problems.push_back(view.key + " keeps a deleted rowset");
      }
    }
  }
  std::vector<std::pair<std::string, KezDcQrQuery*>> queries;
  detail::Collect(KezDcQrQuery::QueryHTab, queries);
  for (auto& entry : queries) {
    if (entry.second->QueryText.Std() != entry.first) walk.problems.push_back("query " + entry.first + " misfiled");
  }
  return walk;
}

}  // namespace test
}  // namespace kez

#endif
