// Query objects: the query text, its registry, and deletion.
#include "query/KezDcQrQuery.h"

#include "database/access/KezDcDbDataSourceFactory.h"
#include "foundation/KezDcCMError.h"
#include "nodes/base/KezDcQrQResult.h"
#include "nodes/expression/KezDcQrQRExpression.h"
#include "query/QueryTrace.h"
#include "query/ThreadCheck.h"

using kez::detail::Addr;

namespace {

const char kEmptyQuery[] = "ERROR in QrQuery::QrQuery: EMPTY QUERY \n";
const char kInvalidQuery[] = "ERROR: INVALID QUERY \n";

KezUnicodeString StripBlanks(const KezUnicodeString& text) {
  return text.Strip(1, ' ').Strip(2, ' ');
}

bool CanPutToTarget(const KezUnicodeString& type) {
  return type == "Expression" || type == "Exp_Variable" || type == "Exp_Cell" || type == "Exp_Constant";
}

// The position of the ',' that separates a query's two arguments between
// open and close, or open - 1 when the text has one argument. The separator
// is the last ',' at the top level: one inside parentheses, brackets,
// braces or quotes belongs to its argument (pow(2,3), "a,b", [x,y]). A
// second argument holding a double quote makes a one-argument text, since
// no put target is a quoted text (Put(x, "a") has the one argument x, "a").
int ArgumentSeparator(const std::string& text, int open, int close) {
  int depth = 0;
  bool quoted = false;
  int separator = open - 1;
  for (int k = open + 1; k < close; ++k) {
    char c = text[static_cast<std::size_t>(k)];
    if (c == '"' && (k == 0 || text[static_cast<std::size_t>(k) - 1] != '\\')) quoted = !quoted;
    if (quoted || c == '"') continue;
    if (c == '(' || c == '[' || c == '{') ++depth;
    if ((c == ')' || c == ']' || c == '}') && depth > 0) --depth;
    if (c == ',' && depth == 0) separator = k;
  }
  if (separator < open) return separator;
  for (int k = separator + 1; k < close; ++k) {
    if (text[static_cast<std::size_t>(k)] == '"') return open - 1;
  }
  return separator;
}

}  // namespace

KezDcQrQuery* KezDcQrQuery::NewQuery(KezUnicodeString iQuery) {
  kez::detail::ThreadCheck one_thread("NewQuery");
  Q_TRA(2, "=-->> QrQuery::NewQuery: <%s>\n", iQuery.ConvertToChar());
  if (KezDcQrQuery* found = QueryHTab ? QueryHTab->Locate(iQuery) : nullptr) {
    Q_TRA(2, KEZ_REMARK "OK QUERY <%s> EXISTS\n", iQuery.ConvertToChar());
    return found;
  }
  Q_TRA(4, "Locate in QueryHT Query:<%s> ==> NO\n", iQuery.ConvertToChar());
  KezDcQrQuery* query = new KezDcQrQuery(iQuery);
  Q_TRA(4, "New Query OK\n");
  Q_TRA(2, "=-->> QrQuery::NewQuery: BYE-BYE\n");
  return query;
}

KezDcQrQuery::KezDcQrQuery() : p_QResult(nullptr), p_QRPutTarget(nullptr), result_lost_(false) {
  KezDcCMError::AddError(kEmptyQuery);
}

KezDcQrQuery::KezDcQrQuery(KezUnicodeString iQuery) : p_QResult(nullptr), p_QRPutTarget(nullptr), result_lost_(false) {
  Q_TRA(2, "=-->> QrQuery::QrQuery: iQuery=%s this=%x\n", iQuery.ConvertToChar(), Addr(this));
  QueryText = iQuery;
  // Even an empty text is registered, so that DeleteQuery("") and
  // DeleteAllQueries can free what NewQuery handed out.
  if (QueryHTab) QueryHTab->Insert(QueryText, this);
  Q_TRA(4, "Insert in QueryHTab:<%s> (%x) OK\n", QueryText.ConvertToChar(), Addr(this));
  if (QueryText.IsEmpty()) {
    KezDcCMError::AddError(kEmptyQuery);
    return;
  }

  KezUnicodeString second;
  bool two_arguments = false;
  SplitText(second, two_arguments);
  if (Function.IsEmpty() || DataPath.IsEmpty()) {
    KezDcCMError::AddError(kEmptyQuery);
    return;
  }

  TypeOfQResult = "Expression";
  created_expression_ = KezDcQrQResult::ExprHTab && !KezDcQrQResult::ExprHTab->Locate(DataPath);
  p_QResult = KezDcQrQResult::NewQR(DataPath, "", "", "", "", "", TypeOfQResult);
  // An expression that another query made first keeps its own kind: a Get
  // and a Put of one data-block path must not spoil each other.
  if (auto* expression = kez::As<KezDcQrQRExpression>(p_QResult)) {
    const KezUnicodeString& kind = expression->SimpleType;
    if (!kind.IsEmpty()) TypeOfQResult = kind;
  }
  Q_TRA(4, "iQuery=%s, this->p_QResult=%x, this->TypeOfQResult=%s\n", QueryText.ConvertToChar(), Addr(p_QResult),
        TypeOfQResult.ConvertToChar());
  DataPathT = "";
  p_QRPutTarget = nullptr;
  if (two_arguments) {
    DataPathT = second;
    ObtainPutTarget(second);
  } else if (Function == "Put" && TypeOfQResult != "Exp_Data") {
    KezDcCMError::AddError("ERROR: INVALID QUERY <Put only a Data>\n");
    put_refusal_reported_ = true;
  }
}

// Splits QueryText into Function, DataPath and the second argument: the
// function is the text before the first '(', the closing parenthesis the
// last ')', and the separator a ',' at the top level of the arguments (see
// ArgumentSeparator).
void KezDcQrQuery::SplitText(KezUnicodeString& oSecond, bool& oTwoArguments) {
  const std::string& text = QueryText.Std();
  const int length = static_cast<int>(text.size());
  int open = 0;
  while (open < length && text[open] != '(') ++open;
  Q_TRA(4, "openparenthese:%d\n", open);
  Function = StripBlanks(KezUnicodeString(text.substr(0, static_cast<std::size_t>(open))));
  if (Function.IsEmpty()) KezDcCMError::AddError(kInvalidQuery);
  Q_TRA(4, "this->Function:<%s>\n", Function.ConvertToChar());

  int close = open == length ? length - 1 : open - 1;
  for (int k = length - 1; k >= open; --k) {
    if (text[k] == ')') {
      close = k;
      break;
    }
  }
  Q_TRA(4, "closeparenthese:%d\n", close);

  int sep = ArgumentSeparator(text, open, close);
  Q_TRA(4, "comma=%d\n", sep);
  oTwoArguments = sep >= open && text[sep] == ',';

  int end = oTwoArguments ? sep : close;
  int first_length = end - (open + 1);
  DataPath = first_length > 0 ? StripBlanks(KezUnicodeString(text.substr(static_cast<std::size_t>(open) + 1,
                                                                         static_cast<std::size_t>(first_length))))
                              : KezUnicodeString();
  if (DataPath.IsEmpty()) KezDcCMError::AddError(kInvalidQuery);
  Q_TRA(4, "DataPath:<%s>\n", DataPath.ConvertToChar());
  if (!oTwoArguments || Function.IsEmpty() || DataPath.IsEmpty()) return;

  int stop = close < length ? close : length;
  int second_length = stop - (sep + 1);
  oSecond = second_length > 0 ? StripBlanks(KezUnicodeString(text.substr(static_cast<std::size_t>(sep) + 1,
                                                                         static_cast<std::size_t>(second_length))))
                              : KezUnicodeString();
  if (oSecond.IsEmpty()) KezDcCMError::AddError(kInvalidQuery);
  Q_TRA(4, "DataPathT:<%s>\n", oSecond.ConvertToChar());
}

void KezDcQrQuery::ObtainPutTarget(const KezUnicodeString& second) {
  if (!CanPutToTarget(TypeOfQResult)) {
    KezDcCMError::AddError("ERROR: INVALID QUERY <Put only an expression to a variable or a cell>\n");
    return;
  }
  KezUnicodeString ds, s, r, a, d, c, type;
  KezDcQrQResult::ParseDataPath(second, ds, s, r, a, d, c, type);
  TypeOfQRPutTarget = type;
  if (type != "Cell" && type != "Variable") {
    KezDcCMError::AddError("ERROR: INVALID QUERY <Put only to a cell or a variable>\n");
    return;
  }
  p_QRPutTarget = KezDcQrQResult::NewQR(ds, s, r, a, d, c, type);
  put_target_key_ = ds;
  if (type == "Cell") {
    const KezUnicodeString rest[] = {s, r, a, d, c};
    for (const KezUnicodeString& component : rest) put_target_key_.Append(':').Append(component);
  }
}

KezDcQrQuery::~KezDcQrQuery() {
  Q_TRA(2, "=-->> KezDcQrQuery::~KezDcQrQuery of this:%x \n", Addr(this));
  Q_TRA(4, "***************************\n");
  Q_TRA(4, "** Remove from QueryHTab **\n");
  Q_TRA(4, "***************************\n");
  if (!QueryHTab || QueryHTab->Remove(QueryText, this) == 0) {
    Q_TRA(4, "%s already removed from QueryHTab \n", QueryText.ConvertToChar());
  }
  Q_TRA(4, "***************************\n");
  Q_TRA(4, "** Delete QResult (Expr) **\n");
  Q_TRA(4, "***************************\n");
  if (p_QResult) {
    KezDcQrQResult::DeleteQResult(DataPath);
    p_QResult = nullptr;
  }
  Q_TRA(4, "***************************\n");
  Q_TRA(4, "** Delete QRPutTarget    **\n");
  Q_TRA(4, "***************************\n");
  if (p_QRPutTarget) {
    KezDcQrQResult::DeleteQResult(DataPathT);
    p_QRPutTarget = nullptr;
  }
  Q_TRA(2, "=-->> KezDcQrQuery::~KezDcQrQuery of this:%x ENDING \n", Addr(this));
}

void KezDcQrQuery::DeleteQuery(KezUnicodeString iQuery) {
  kez::detail::ThreadCheck one_thread("DeleteQuery");
  KezUnicodeString text = StripBlanks(iQuery);
  Q_TRA(2, "=-->> QrQuery::DeleteQuery: iQuery=<<< %s >>> \n", text.ConvertToChar());
  if (KezDcQrQuery* query = QueryHTab ? QueryHTab->Locate(text) : nullptr) {
    delete query;
    Q_TRA(6, "Query datapath deleted \n");
  } else {
    Q_TRA(6, "Query datapath already deleted \n");
  }
  Q_TRA(4, "=-->> QrQuery::DeleteQuery OK \n");
}

void KezDcQrQuery::DeleteAllQueries() {
  kez::detail::ThreadCheck one_thread("DeleteAllQueries");
  Q_TRA(2, "=-->> QrQuery::DeleteAllQueries \n");
  KezDcOtAdapterRowset::DeleteAllJeleList();
  Q_TRA(4, "Delete All QResult:   \n");
  KezDcQrQResult::DeleteAllQResult();
  Q_TRA(4, "Delete All QResult OK \n");
  Q_TRA(4, "Delete All Queries:   \n");
  if (QueryHTab) QueryHTab->ApplyDelete();
  Q_TRA(4, "Delete All Queries OK \n");
  Q_TRA(2, "=-->> QrQuery::DeleteAllQueries ENDING\n");
}

void KezDcQrQuery::DeleteOneOffQuery(KezDcQrQuery* iQuery) {
  if (!iQuery) return;
  Q_TRA(2, "=-->> QrQuery::DeleteOneOffQuery: iQuery=<<< %s >>> \n", iQuery->QueryText.ConvertToChar());
  KezDcQrQResult* found = iQuery->created_expression_ && KezDcQrQResult::ExprHTab
                              ? KezDcQrQResult::ExprHTab->Locate(iQuery->DataPath)
                              : nullptr;
  if (auto* expression = kez::As<KezDcQrQRExpression>(found)) {
    // The expression deletes the nodes its list still names: only the
    // constants stay in it.
    KezListValKezUnicodeString& list = expression->ListOfPostFixedExpression;
    for (int i = list.Size(); i >= 1; --i) {
      KezDcQrQResult* node = KezDcQrQResult::QRHTab->Locate(list[i]);
      if (node && node->GetKind() != KezDcQrQResult::kConstant) list.RemovePosition(i);
    }
    delete found;
  }
  // Without its pointers the destructor deletes no result by data path.
  iQuery->p_QResult = nullptr;
  iQuery->p_QRPutTarget = nullptr;
  delete iQuery;
}
