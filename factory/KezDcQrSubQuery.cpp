// Sub-queries: resolving '$' and bracketed components to texts, linking the
// resolved nodes to the unresolved ones, and the shared branch steps.
#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"
#include "nodes/base/KezDcQrQResult.h"
#include "nodes/base/QResultTrace.h"
#include "nodes/base/SubQueryBranch.h"
#include "nodes/expression/KezDcQrQRExpression.h"

namespace {

const char* const kLevelTypes[] = {"DataSource", "Session", "Rowset", "Accessor", "Data", "Cell"};
int sub_query_nesting = 0;

// The expression's value as a text: "%d" for an int, "%e" for a double, the
// text for a string; empty for anything else.
KezUnicodeString ValueText(KezDcQrQRExpression* expression) {
  void* value = expression->GetQResult();
  QR_TRA(4, "p_SubQuery->SimpleType=<%s>\n", expression->BasicType.ConvertToChar());
  if (!value) return KezUnicodeString();
  if (expression->BasicType == "int") {
    KezUnicodeString text(kez::FormatD(*static_cast<int*>(value)));
    QR_TRA(4, "INT: buffer=<%s>\n", text.ConvertToChar());
    return text;
  }
  if (expression->BasicType == "double") {
    KezUnicodeString text(kez::FormatE(*static_cast<double*>(value)));
    QR_TRA(4, "DOUBLE: buffer=<%s>\n", text.ConvertToChar());
    return text;
  }
  if (expression->BasicType == "string") return KezUnicodeString(static_cast<char*>(value));
  return KezUnicodeString();
}

// True when a resolved component holds ':' outside brackets: joined into a
// path, it would name a node of another level (the value "orders:x" as a
// rowset makes the key of an accessor).
bool SplitsLevels(const KezUnicodeString& component) {
  int depth = 0;
  for (char c : component.Std()) {
    if (c == '[') ++depth;
    if (c == ']') --depth;
    if (c == ':' && depth == 0) return true;
  }
  return false;
}

// True when sub owns father through a chain of sub-query fathers: linking
// sub under father would then make a cycle of ownership.
bool OwnsThroughSubQueries(const KezDcQrQResult* sub, const KezDcQrQResult* father) {
  for (const KezDcQrQResult* node = father; node; node = node->SubQueryFather) {
    if (node == sub) return true;
  }
  return false;
}

void LinkLevel(const KezUnicodeString& unresolved_key, const KezUnicodeString& resolved_key) {
  KezDcQrQResult* father = KezDcQrQResult::QRHTab->Locate(unresolved_key);
  if (!father) {
    KezDcCMError::AddError("ERROR DATAPATH <%s> DOES'NT EXIST IN QRHDICO\n", unresolved_key.ConvertToChar());
  }
  KezDcQrQResult* sub = KezDcQrQResult::QRHTab->Locate(resolved_key);
  if (!sub) KezDcCMError::AddError("ERROR DATAPATH <%s> DOES'NT EXIST IN QRHDICO\n", resolved_key.ConvertToChar());
  if (!father || !sub || sub->SubQueryFather || OwnsThroughSubQueries(sub, father)) return;
  father->ListOfSubQuery.Append(sub);
  sub->SubQueryFather = father;
  QR_TRA(4, "Append sub-query [%s] to [%s] OK \n", resolved_key.ConvertToChar(), unresolved_key.ConvertToChar());
}

}  // namespace

void KezDcQrQResult::GetSubQuery(KezUnicodeString iSubQuery, KezUnicodeString& oResolved) {
  QR_TRA(2, "IN->> QrQResult::GetSubQuery de [%s] \n", iSubQuery.ConvertToChar());
  oResolved = "";
  KezUnicodeString text = iSubQuery;
  bool marked = text[0] == '@';
  if (marked && (text[1] == '$' || text[1] == '[')) text.Remove(0, 1);
  if (text[0] == '[') {
    text.Remove(0, 1);
    text.Remove(text.GetLengthInChar() - 1, 1);
  } else if (text[0] != '$') {
    oResolved = iSubQuery;
    return;
  }
  auto* expression = kez::As<KezDcQrQRExpression>(ExprHTab ? ExprHTab->Locate(text) : nullptr);
  if (!expression) {
    KezDcCMError::AddError("ERROR DATAPATH <%s> DOES'NT EXIST IN EXPRHDICO\n", text.ConvertToChar());
    return;
  }
  QR_TRA(4, "Locate <%s> ==> OK\n", text.ConvertToChar());
  KezUnicodeString value = ValueText(expression);
  if (value.IsEmpty()) {
    KezDcCMError::AddError("ERROR: %s IS AN EMPTY SUB-QUERY \n", text.ConvertToChar());
    return;
  }
  oResolved = marked ? KezUnicodeString("@").Append(value) : value;
  QR_TRA(2, "OUT>> QrQResult::GetSubQuery [%s] => <%s> \n", iSubQuery.ConvertToChar(), oResolved.ConvertToChar());
}

void KezDcQrQResult::SetSubQueryFather(KezUnicodeString iDS, KezUnicodeString iDSr, KezUnicodeString iS,
                                       KezUnicodeString iSr, KezUnicodeString iR, KezUnicodeString iRr,
                                       KezUnicodeString iA, KezUnicodeString iAr, KezUnicodeString iD,
                                       KezUnicodeString iDr, KezUnicodeString iC, KezUnicodeString iCr) {
  QR_TRA(2, "IN->> QrQResult::SetSubQueryFather beginning\n");
  const KezUnicodeString* unresolved[6] = {&iDS, &iS, &iR, &iA, &iD, &iC};
  const KezUnicodeString* resolved[6] = {&iDSr, &iSr, &iRr, &iAr, &iDr, &iCr};
  KezUnicodeString unresolved_key;
  KezUnicodeString resolved_key;
  for (int k = 0; k < 6; ++k) {
    if (k > 0) {
      unresolved_key.Append(':');
      resolved_key.Append(':');
    }
    unresolved_key.Append(*unresolved[k]);
    resolved_key.Append(*resolved[k]);
    if (*unresolved[k] != *resolved[k]) LinkLevel(unresolved_key, resolved_key);
  }
  QR_TRA(2, "OUT>> QrQResult::SetSubQueryFather Ending\n");
}

namespace kez {
namespace detail {

SubQueryScope::SubQueryScope(const KezUnicodeString& key) : entered_(sub_query_nesting < kMaxSubQueryNesting) {
  if (!entered_) {
    KezDcCMError::AddError("ERROR: SUB-QUERY <%s> NESTED MORE THAN %d LEVELS DEEP !\n", key.ConvertToChar(),
                           kMaxSubQueryNesting);
    return;
  }
  ++sub_query_nesting;
}

SubQueryScope::~SubQueryScope() {
  if (entered_) --sub_query_nesting;
}

bool ResolveComponents(const KezUnicodeString* unresolved, KezUnicodeString* resolved, int n) {
  bool complete = true;
  for (int k = 0; k < n; ++k) {
    KezDcQrQResult::GetSubQuery(unresolved[k], resolved[k]);
    if (resolved[k].IsEmpty()) complete = false;
  }
  if (!complete) KezDcCMError::AddError("ERROR: EMPTY SUB-QUERY \n");
  return complete;
}

KezDcQrQResult* ResolvedNode(const KezUnicodeString* unresolved, const KezUnicodeString* resolved, int n,
                             KezDcQrQResult::Kind kind) {
  KezUnicodeString path = resolved[0];
  for (int k = 1; k < n; ++k) path.Append(':').Append(resolved[k]);
  QR_TRA(4, KEZ_LOOKUP "Try to locate [%s] \n", path.ConvertToChar());
  bool splits = false;
  for (int k = 0; k < n; ++k) splits = splits || SplitsLevels(resolved[k]);
  KezDcQrQResult* node = splits ? nullptr : KezDcQrQResult::QRHTab->Locate(path);
  if (!node && !splits) {
    KezUnicodeString c[6];
    for (int k = 0; k < n; ++k) c[k] = resolved[k];
    KezUnicodeString type = kLevelTypes[n - 1];
    node = KezDcQrQResult::NewQR(c[0], c[1], c[2], c[3], c[4], c[5], type);
  }
  if (!node || node->GetKind() != kind) {
    // A resolved text holding ':' makes the path name a node of another
    // level: it is neither created, read nor linked.
    KezDcCMError::AddError("ERROR: SUB-QUERY PATH <%s> DOESN'T NAME A %s !\n", path.ConvertToChar(),
                           kLevelTypes[n - 1]);
    return nullptr;
  }
  KezUnicodeString u[6], r[6];
  for (int k = 0; k < n; ++k) {
    u[k] = unresolved[k];
    r[k] = resolved[k];
  }
  KezDcQrQResult::SetSubQueryFather(u[0], r[0], u[1], r[1], u[2], r[2], u[3], r[3], u[4], r[4], u[5], r[5]);
  return node;
}

}  // namespace detail
}  // namespace kez
