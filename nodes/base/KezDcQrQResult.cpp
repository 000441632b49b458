// The shared construction and destruction steps of every node, and the two
// deletion operations over the registries.
#include "nodes/base/KezDcQrQResult.h"

#include "nodes/base/IdleRelease.h"
#include "nodes/base/QResultTrace.h"

using kez::detail::Addr;

KezDcQrQResult::KezDcQrQResult(Kind kind)
    : SubQueryFlag('N'), ListOfSubQuery(0), SubQueryFather(nullptr), kind_(kind) {}

// Each kind's destructor has emptied its lists; this only makes sure that no
// node is left pointing at this one as its sub-query father.
KezDcQrQResult::~KezDcQrQResult() {
  for (int i = 1; i <= ListOfSubQuery.Size(); ++i) {
    if (KezDcQrQResult* sub = ListOfSubQuery[i]) sub->SubQueryFather = nullptr;
  }
  LeaveSubQueryFather();
}

KezUnicodeChar KezDcQrQResult::SubQueryFlagOf(const KezUnicodeString* components, int count) {
  for (int k = 0; k < count; ++k) {
    KezUnicodeChar c = components[k][k == 0 ? 1 : 0];
    if (c == '[' || c == '$') return KezUnicodeChar('Y');
  }
  return KezUnicodeChar('N');
}

KezUnicodeString KezDcQrQResult::JoinKey(const KezUnicodeString* components, int count) {
  KezUnicodeString key;
  for (int k = 0; k < count; ++k) {
    if (k > 0) key.Append(':');
    key.Append(components[k]);
  }
  return key;
}

KezUnicodeString KezDcQrQResult::EnterTree(const KezUnicodeString* path, int count) {
  SubQueryFlag = SubQueryFlagOf(path, count);
  Register(QRHTab, JoinKey(path, count));
  return count > 1 ? JoinKey(path, count - 1) : KezUnicodeString();
}

void KezDcQrQResult::Register(KezHashDicKezDcQrQResult* registry, const KezUnicodeString& key) {
  if (!registry) return;
  registry->Insert(key, this);
  if (registry == ExprHTab) {
    QR_TRA(4, "Insert in ExprHT DataPath:<%s> (%x) OK\n", key.ConvertToChar(), Addr(this));
  } else {
    QR_TRA(4, "Insert in QRHT DataPath:<%s> (%x) OK\n", key.ConvertToChar(), Addr(this));
  }
}

void KezDcQrQResult::Unregister(KezHashDicKezDcQrQResult* registry, const KezUnicodeString& key) {
  if (registry && registry->Remove(key, this) != 0) return;
  if (registry == ExprHTab) {
    QR_TRA(4, "%s already removed from ExprHTab \n", key.ConvertToChar());
  } else {
    QR_TRA(4, "%s already removed from QRHTab \n", key.ConvertToChar());
  }
}

void KezDcQrQResult::LeaveSubQueryFather() {
  if (SubQueryFather) SubQueryFather->ListOfSubQuery.RemoveValue(this);
  SubQueryFather = nullptr;
}

void KezDcQrQResult::LeaveTree(const KezUnicodeString& key, KezListPtrKezDcQrQResult* fatherChildren) {
  Unregister(QRHTab, key);
  if (fatherChildren) fatherChildren->RemoveValue(this);
  LeaveSubQueryFather();
}

void KezDcQrQResult::DeleteEntries(KezListPtrKezDcQrQResult& list, const char* label) {
  QR_TRA(4, "%s.Size()=%d \n", label, list.Size());
  while (list.Size() >= 1) {
    KezDcQrQResult* first = list[1];
    delete first;
    // Every entry leaves the list in its own destructor; one that did not
    // must not be deleted twice. The pointer is compared, never read.
    // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDelete)
    if (list.Size() >= 1 && list[1] == first) list.RemoveValue(first);
  }
  list.RemoveAll(1);
}

void KezDcQrQResult::FreeEntries(KezListPtrKezDcQrQResult& list, const char* label) {
  QR_TRA(4, "%s.Size()=%d \n", label, list.Size());
  for (int i = 1; i <= list.Size(); ++i) {
    if (KezDcQrQResult* entry = list[i]) entry->FreeQResult();
  }
}

void KezDcQrQResult::DeleteQResult(KezUnicodeString iQuery) {
  KezUnicodeString path = iQuery.Strip(1, ' ').Strip(2, ' ');
  QR_TRA(2, "=-->> QrQResult::DeleteQResult: iQuery=<<< %s >>> \n", path.ConvertToChar());
  // The ancestors that the deletion leaves unused give back what they hold.
  kez::detail::IdleAncestors idle;
  if (KezDcQrQResult* expression = ExprHTab ? ExprHTab->Locate(path) : nullptr) {
    idle.NoteNamedBy(expression);
    delete expression;
    QR_TRA(6, "Expression deleted \n");
  } else {
    QR_TRA(6, "Expression already deleted \n");
  }
  if (KezDcQrQResult* node = QRHTab ? QRHTab->Locate(path) : nullptr) {
    idle.Note(node);
    delete node;
    QR_TRA(6, "Query datapath deleted \n");
  } else {
    QR_TRA(6, "Query datapath already deleted \n");
  }
  idle.Release();
  QR_TRA(4, "=-->> QrQResult::DeleteQResult OK \n");
}

void KezDcQrQResult::DeleteAllQResult() {
  QR_TRA(2, "=-->> QrQResult::DeleteAllQResult \n");
  if (QRHTab) QRHTab->ApplyDelete();
  if (ExprHTab) ExprHTab->ApplyDelete();
  QR_TRA(4, "All QResult is deleted \n");
}
