// KezDcQrQResult: the base of every query result (node), its two
// registries, the data-path syntax, the factory, sub-queries, number
// formatting and the forwarding operations that query execution uses.
//
// Nodes are created once, registered under their data path and shared by
// every query and expression that names them. Registries, queries and
// expressions hold plain pointers; a node is deleted only by DeleteQResult,
// DeleteAllQResult, the cascade from its father or sub-query father, or an
// expression that names it. Start here.
#ifndef KEZ_DC_QR_QRESULT_H
#define KEZ_DC_QR_QRESULT_H

#include "foundation/KezExport.h"
#include "foundation/KezTrace.h"
#include "foundation/KezTypedContainers.h"
#include "foundation/KezUnicodeChar.h"
#include "foundation/KezUnicodeString.h"

class KezDcQrQResult;

// A list of nodes (not owned by the list).
class KEZDCQR_API KezListPtrKezDcQrQResult : public KezPtrList<KezDcQrQResult> {
 public:
  explicit KezListPtrKezDcQrQResult(int capacity = 0) : KezPtrList<KezDcQrQResult>(capacity) {}
};

// A dictionary of nodes by text; ApplyDelete deletes them all.
class KEZDCQR_API KezHashDicKezDcQrQResult : public KezPtrDict<KezDcQrQResult> {
 public:
  explicit KezHashDicKezDcQrQResult(KezHashDico* dico = nullptr) : KezPtrDict<KezDcQrQResult>(dico) {}
};

class KEZDCQR_API KezDcQrQResult {
 public:
  // The kind of a node, fixed by its constructor (Type is the public text of
  // it, which a cell read through sub-queries copies from the resolved cell).
  enum Kind { kNone, kDataSource, kSession, kRowset, kAccessor, kData, kCell, kVariable, kConstant, kExpression };

  KezUnicodeChar SubQueryFlag;
  KezUnicodeString Type;
  KezUnicodeString BasicType;
  KezListPtrKezDcQrQResult ListOfSubQuery;
  KezDcQrQResult* SubQueryFather;

  static KezTrace* sp_Trace;
  static KezHashDicKezDcQrQResult* QRHTab;
  static KezHashDicKezDcQrQResult* ExprHTab;

  virtual ~KezDcQrQResult();
  // Releases what the node holds of its last result so that the next read
  // obtains it again; the node stays registered and linked.
  virtual void FreeQResult() = 0;

  Kind GetKind() const { return kind_; }
  // True once a client obtained the node through NewQResult: it then stays
  // open, whatever becomes of the queries below it, until it is freed or
  // deleted.
  bool IsClientHeld() const { return client_held_; }

  // Data-path syntax: splits a data path into its components and type.
  static void ParseDataPath(KezUnicodeString iDataPath, KezUnicodeString& oDataSource, KezUnicodeString& oSession,
                            KezUnicodeString& oRowset, KezUnicodeString& oAccessor, KezUnicodeString& oDataBlock,
                            KezUnicodeString& oCell, KezUnicodeString& oType);

  // The factory: the registered node that a data path (or its components
  // and type) names, created with its missing ancestors when absent; null
  // for a type that names no kind. An expression may change ioType.
  static KezDcQrQResult* NewQResult(KezUnicodeString iQuery);
  static KezDcQrQResult* NewQR(KezUnicodeString iDataSource, KezUnicodeString iSession, KezUnicodeString iRowset,
                               KezUnicodeString iAccessor, KezUnicodeString iDataBlock, KezUnicodeString iCell,
                               KezUnicodeString& ioType);

  // Deletes the expression registered under the text and the node
  // registered under it, if any.
  static void DeleteQResult(KezUnicodeString iQuery);
  // Deletes every registered node and expression.
  static void DeleteAllQResult();

  // Sub-queries: the text a component resolves to (empty on failure), and
  // the links between unresolved and resolved nodes.
  static void GetSubQuery(KezUnicodeString iSubQuery, KezUnicodeString& oResolved);
  static void SetSubQueryFather(KezUnicodeString iDS, KezUnicodeString iDSr, KezUnicodeString iS, KezUnicodeString iSr,
                                KezUnicodeString iR, KezUnicodeString iRr, KezUnicodeString iA, KezUnicodeString iAr,
                                KezUnicodeString iD, KezUnicodeString iDr, KezUnicodeString iC, KezUnicodeString iCr);

  // Formats a number under a picture-like format text ("###.##", "+0.#e").
  static void FormatNumeric(double iValue, KezUnicodeString iFormat, KezUnicodeString& oResult);

  // Forwarding operations: each runs the operation of the kind it names on
  // this node. Called on a node of another kind, they report an error and
  // return null, 0 or false.
  char* GetCell();
  void PutCell(KezDcQrQResult* target);
  void* GetVariable();
  void PutVariable(KezDcQrQResult* target);
  void* GetExpression();
  char* GetConstant();
  void PutConstant(KezDcQrQResult* target);
  KezDcQrQResult* GetData();
  void FreeRowsetOfData();
  void* GetNextLine();
  void InitData();
  bool IsMoreData();
  int GetNbRowsObtained();
  void PutData();

 protected:
  explicit KezDcQrQResult(Kind kind);
  KezDcQrQResult(const KezDcQrQResult&) = delete;
  KezDcQrQResult& operator=(const KezDcQrQResult&) = delete;

  // 'Y' when the first component's character after its marker, or the
  // first character of a later component, is '[' or '$'.
  static KezUnicodeChar SubQueryFlagOf(const KezUnicodeString* components, int count);
  // Components joined by ':'.
  static KezUnicodeString JoinKey(const KezUnicodeString* components, int count);

  // The first steps of a database kind's constructor: sets the sub-query
  // flag of the node's path (its first count components, data source
  // first), registers the node in QRHTab under the joined path, and returns
  // its father's key (empty for a data source).
  KezUnicodeString EnterTree(const KezUnicodeString* path, int count);
  // Registers the node under key in registry, with the insertion trace.
  void Register(KezHashDicKezDcQrQResult* registry, const KezUnicodeString& key);
  // Leaves the registry, tracing "%s already removed from ..." when the key
  // no longer holds this node.
  void Unregister(KezHashDicKezDcQrQResult* registry, const KezUnicodeString& key);
  // Leaves the list of the sub-query father, if any.
  void LeaveSubQueryFather();
  // The first steps of every database kind's destructor: leaves QRHTab
  // (under key), its father's child list fatherChildren (null without a
  // father) and its sub-query father's list.
  void LeaveTree(const KezUnicodeString& key, KezListPtrKezDcQrQResult* fatherChildren);
  // Deletes the entries of list, always the first, each leaving the list
  // itself; then empties it. Traces the list's size under label.
  static void DeleteEntries(KezListPtrKezDcQrQResult& list, const char* label);
  // FreeQResult on every entry of list, in order, after tracing its size.
  static void FreeEntries(KezListPtrKezDcQrQResult& list, const char* label);

 private:
  Kind kind_;
  bool client_held_ = false;
};

namespace kez {

// The node as the kind T (KezDcQrQRCell, KezDcQrQRVariable, ...), or null
// when it is null or of another kind: the one checked cast between kinds.
template <class T>
T* As(KezDcQrQResult* node) {
  return node && node->GetKind() == T::kNodeKind ? static_cast<T*>(node) : nullptr;
}

}  // namespace kez

#endif
