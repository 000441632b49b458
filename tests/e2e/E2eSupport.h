// Helpers of the end-to-end tests: a fixture with two memory databases (m:
// orders, stock and copy; alt: orders), a client-side query runner, and a
// walk over the registries that checks every link between the nodes.
#ifndef KEZ_TEST_E2E_SUPPORT_H
#define KEZ_TEST_E2E_SUPPORT_H

#include <set>
#include <string>
#include <utility>
#include <vector>

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
    return std::to_string(KezDcDbMemory::LiveObjects()) + "/" + std::to_string(KezDcDbMemory::OutstandingRows()) +
           "/" + std::to_string(KezDcDbMemory::LiveAccessors());
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

// The key under which the node's kind registers it.
inline std::string OwnKey(const KezDcQrQResult* node) {
  switch (node->GetKind()) {
    case KezDcQrQResult::kDataSource:
      return static_cast<const KezDcQrQRDataSource*>(node)->DataSource.Std();
    case KezDcQrQResult::kSession: {
      auto* n = static_cast<const KezDcQrQRSession*>(node);
      return n->DataSource.Std() + ":" + n->Session.Std();
    }
    case KezDcQrQResult::kRowset:
      return static_cast<const KezDcQrQRRowset*>(node)->Key().Std();
    case KezDcQrQResult::kAccessor:
      return static_cast<const KezDcQrQRAccessor*>(node)->Key().Std();
    case KezDcQrQResult::kData:
      return static_cast<const KezDcQrQRData*>(node)->Key().Std();
    case KezDcQrQResult::kCell:
      return static_cast<const KezDcQrQRCell*>(node)->Key().Std();
    case KezDcQrQResult::kVariable:
      return static_cast<const KezDcQrQRVariable*>(node)->Variable.Std();
    case KezDcQrQResult::kConstant:
      return static_cast<const KezDcQrQRConstant*>(node)->Constant.Std();
    case KezDcQrQResult::kExpression:
      return static_cast<const KezDcQrQRExpression*>(node)->ExpressionText.Std();
    case KezDcQrQResult::kNone:
      break;
  }
  return "<no kind>";
}

// The node's father in the database hierarchy, or null.
inline const KezDcQrQResult* FatherOf(const KezDcQrQResult* node) {
  switch (node->GetKind()) {
    case KezDcQrQResult::kSession:
      return static_cast<const KezDcQrQRSession*>(node)->p_QRDataSource;
    case KezDcQrQResult::kRowset:
      return static_cast<const KezDcQrQRRowset*>(node)->p_QRSession;
    case KezDcQrQResult::kAccessor:
      return static_cast<const KezDcQrQRAccessor*>(node)->p_QRRowset;
    case KezDcQrQResult::kData:
      return static_cast<const KezDcQrQRData*>(node)->p_QRAccessor;
    case KezDcQrQResult::kCell:
      return static_cast<const KezDcQrQRCell*>(node)->p_QRData;
    default:
      return nullptr;
  }
}

// The node's QRChildList, or null for the kinds without children.
inline const KezListPtrKezDcQrQResult* ChildrenOf(const KezDcQrQResult* node) {
  switch (node->GetKind()) {
    case KezDcQrQResult::kDataSource:
      return &static_cast<const KezDcQrQRDataSource*>(node)->QRChildList;
    case KezDcQrQResult::kSession:
      return &static_cast<const KezDcQrQRSession*>(node)->QRChildList;
    case KezDcQrQResult::kRowset:
      return &static_cast<const KezDcQrQRRowset*>(node)->QRChildList;
    case KezDcQrQResult::kAccessor:
      return &static_cast<const KezDcQrQRAccessor*>(node)->QRChildList;
    case KezDcQrQResult::kData:
      return &static_cast<const KezDcQrQRData*>(node)->QRChildList;
    default:
      return nullptr;
  }
}

namespace detail {

inline bool Lists(const KezListPtrKezDcQrQResult& list, const KezDcQrQResult* node) {
  for (int k = 1; k <= list.Size(); ++k) {
    if (list[k] == node) return true;
  }
  return false;
}

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
    const KezDcQrQResult* back = children ? FatherOf(entry) : entry->SubQueryFather;
    if (back != owner) walk.problems.push_back(OwnKey(entry) + ", " + what + " of " + OwnKey(owner) + ", points elsewhere");
  }
}

// The node's father and sub-query father are live and list it.
inline void CheckUpwards(RegistryWalk& walk, const KezDcQrQResult* node) {
  if (const KezDcQrQResult* father = FatherOf(node)) {
    if (!walk.live.count(father)) {
      walk.problems.push_back(OwnKey(node) + " has a father that no registry holds");
    } else if (!Lists(*ChildrenOf(father), node)) {
      walk.problems.push_back(OwnKey(node) + " is missing from its father's children");
    }
  }
  if (const KezDcQrQResult* father = node->SubQueryFather) {
    if (!walk.live.count(father)) {
      walk.problems.push_back(OwnKey(node) + " has a sub-query father that no registry holds");
    } else if (!Lists(father->ListOfSubQuery, node)) {
      walk.problems.push_back(OwnKey(node) + " is missing from its sub-query father's list");
    }
  }
  if (node->GetKind() == KezDcQrQResult::kData) {
    const KezDcQrQResult* rowset = static_cast<const KezDcQrQRData*>(node)->p_QRRowset;
    if (rowset && !walk.live.count(rowset)) walk.problems.push_back(OwnKey(node) + " keeps a deleted rowset");
  }
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
  for (auto& entry : nodes) {
    walk.live.insert(entry.second);
    walk.nodes.push_back(entry.second);
  }
  for (auto& entry : expressions) {
    walk.live.insert(entry.second);
    walk.expressions.push_back(entry.second);
  }
  for (auto* group : {&nodes, &expressions}) {
    for (auto& entry : *group) {
      const KezDcQrQResult* node = entry.second;
      bool expression = node->GetKind() == KezDcQrQResult::kExpression;
      if (expression != (group == &expressions)) walk.problems.push_back(entry.first + " is in the wrong registry");
      if (OwnKey(node) != entry.first) walk.problems.push_back(entry.first + " holds " + OwnKey(node));
      if (const KezListPtrKezDcQrQResult* children = ChildrenOf(node)) detail::CheckList(walk, node, *children, true);
      detail::CheckList(walk, node, node->ListOfSubQuery, false);
      detail::CheckUpwards(walk, node);
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
