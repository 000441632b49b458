// Deleting the ancestors that a deleted query left idle, and freeing the
// data-source node of a name registered again or unregistered.
#include "nodes/base/IdleRelease.h"

#include <string>
#include <utility>
#include <vector>

#include "nodes/base/QResultTrace.h"
#include "nodes/database/KezDcQrQRAccessor.h"
#include "nodes/database/KezDcQrQRCell.h"
#include "nodes/database/KezDcQrQRData.h"
#include "nodes/database/KezDcQrQRDataSource.h"
#include "nodes/database/KezDcQrQRRowset.h"
#include "nodes/database/KezDcQrQRSession.h"
#include "nodes/expression/KezDcQrQRExpression.h"

namespace kez {
namespace detail {
namespace {

// The father of a database node, null for any other node.
KezDcQrQResult* FatherOf(const KezDcQrQResult* node) {
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

// The key and the children of a node that can be a father; false for
// every other kind.
bool FatherView(const KezDcQrQResult* node, KezUnicodeString* key, const KezListPtrKezDcQrQResult** children) {
  switch (node->GetKind()) {
    case KezDcQrQResult::kDataSource: {
      auto* n = static_cast<const KezDcQrQRDataSource*>(node);
      *key = n->DataSource;
      *children = &n->QRChildList;
      return true;
    }
    case KezDcQrQResult::kSession: {
      auto* n = static_cast<const KezDcQrQRSession*>(node);
      *key = n->DataSource;
      key->Append(':').Append(n->Session);
      *children = &n->QRChildList;
      return true;
    }
    case KezDcQrQResult::kRowset: {
      auto* n = static_cast<const KezDcQrQRRowset*>(node);
      *key = n->Key();
      *children = &n->QRChildList;
      return true;
    }
    case KezDcQrQResult::kAccessor: {
      auto* n = static_cast<const KezDcQrQRAccessor*>(node);
      *key = n->Key();
      *children = &n->QRChildList;
      return true;
    }
    case KezDcQrQResult::kData: {
      auto* n = static_cast<const KezDcQrQRData*>(node);
      *key = n->Key();
      *children = &n->QRChildList;
      return true;
    }
    default:
      return false;
  }
}

typedef std::vector<std::pair<KezDcQrQResult*, std::string>> Chain;

// The index of the first node of the chain that a registered expression
// names, or the chain's length when none is.
std::size_t FirstNamed(const Chain& chain) {
  std::size_t first = chain.size();
  if (!KezDcQrQResult::ExprHTab) return first;
  int i = 1;
  int j = 0;
  while (KezDcQrQResult* node = KezDcQrQResult::ExprHTab->Next(i, j, nullptr)) {
    auto* expression = kez::As<KezDcQrQRExpression>(node);
    if (!expression) continue;
    const KezListValKezUnicodeString& list = expression->ListOfPostFixedExpression;
    for (int k = 1; k <= list.Size(); ++k) {
      for (std::size_t c = 0; c < first; ++c) {
        if (chain[c].second == list[k].Std()) first = c;
      }
    }
  }
  return first;
}

// True when nothing but `below` (an idle child, or null) and perhaps an
// expression keeps node in use.
bool IsIdleBelow(const KezDcQrQResult* node, const KezDcQrQResult* below, const KezListPtrKezDcQrQResult& children) {
  if (node->IsClientHeld() || node->SubQueryFlag == 'Y' || node->SubQueryFather || node->ListOfSubQuery.Size() > 0)
    return false;
  for (int k = 1; k <= children.Size(); ++k) {
    if (children[k] != below) return false;
  }
  return true;
}

}  // namespace

void IdleAncestors::Note(const KezDcQrQResult* node) {
  KezUnicodeString key;
  const KezListPtrKezDcQrQResult* children = nullptr;
  if (const KezDcQrQResult* father = node ? FatherOf(node) : nullptr) {
    if (FatherView(father, &key, &children)) fathers_.push_back(key);
  }
}

void IdleAncestors::NoteNamedBy(const KezDcQrQResult* expression) {
  if (!expression || expression->GetKind() != KezDcQrQResult::kExpression || !KezDcQrQResult::QRHTab) return;
  const KezListValKezUnicodeString& list =
      static_cast<const KezDcQrQRExpression*>(expression)->ListOfPostFixedExpression;
  for (int k = 1; k <= list.Size(); ++k) Note(KezDcQrQResult::QRHTab->Locate(list[k]));
}

void IdleAncestors::Release() {
  if (fathers_.empty() || !KezDcQrQResult::QRHTab) return;
  for (const KezUnicodeString& start : fathers_) {
    // The chain of idle nodes from the father up, then cut below the first
    // one that an expression names; the expressions are looked at only when
    // there is a chain (a deleted cell with siblings costs nothing).
    Chain chain;
    const KezDcQrQResult* below = nullptr;
    KezUnicodeString key;
    const KezListPtrKezDcQrQResult* children = nullptr;
    for (KezDcQrQResult* node = KezDcQrQResult::QRHTab->Locate(start); node && FatherView(node, &key, &children);
         node = FatherOf(node)) {
      if (!IsIdleBelow(node, below, *children)) break;
      chain.emplace_back(node, key.Std());
      below = node;
    }
    std::size_t idle = chain.empty() ? 0 : FirstNamed(chain);
    if (idle == 0) continue;
    QR_TRA(4, "Idle since its last query went: delete %s \n", chain[idle - 1].second.c_str());
    delete chain[idle - 1].first;
  }
  fathers_.clear();
}

void ReleaseChangedDataSource(const KezUnicodeString& name) {
  if (!KezDcQrQResult::QRHTab) return;
  KezUnicodeString key("@");
  key.Append(name);
  KezDcQrQResult* node = KezDcQrQResult::QRHTab->Locate(key);
  if (!node || node->GetKind() != KezDcQrQResult::kDataSource) return;
  QR_TRA(4, "Data source %s now stands for another URI: free it \n", key.ConvertToChar());
  node->FreeQResult();
}

}  // namespace detail
}  // namespace kez
