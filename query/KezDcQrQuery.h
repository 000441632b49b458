// KezDcQrQuery: the unit a client works with. A query is built from one line
// of text, Function(DataPath) or Function(DataPath,DataPathT), registered
// under that text, and run with DoQuery; the value of a "Get" stays in the
// query result that p_QResult points to. Start here.
#ifndef KEZ_DC_QR_QUERY_H
#define KEZ_DC_QR_QUERY_H

#include "foundation/KezExport.h"
#include "foundation/KezTrace.h"
#include "foundation/KezTypedContainers.h"
#include "foundation/KezUnicodeString.h"

class KezDcQrQResult;
class KezDcQrQuery;

class KEZDCQR_API KezListPtrKezDcQrQuery : public KezPtrList<KezDcQrQuery> {
 public:
  explicit KezListPtrKezDcQrQuery(int capacity = 0) : KezPtrList<KezDcQrQuery>(capacity) {}
};

class KEZDCQR_API KezHashDicKezDcQrQuery : public KezPtrDict<KezDcQrQuery> {
 public:
  explicit KezHashDicKezDcQrQuery(KezHashDico* dico = nullptr) : KezPtrDict<KezDcQrQuery>(dico) {}
};

class KEZDCQR_API KezDcQrQuery {
 public:
  KezUnicodeString QueryText;      // the text as given; the key in QueryHTab
  KezUnicodeString Function;       // "Get", "Put", "Free", "Init", ...
  KezUnicodeString DataPath;       // the first argument
  KezUnicodeString TypeOfQResult;  // "Expression" or "Exp_<kind>"
  KezDcQrQResult* p_QResult;       // the first argument's expression; not owned
  KezUnicodeString TypeOfQRPutTarget;
  KezUnicodeString DataPathT;     // the second argument
  KezDcQrQResult* p_QRPutTarget;  // a cell or a variable; not owned

  static KezTrace* sp_Trace;
  static KezHashDicKezDcQrQuery* QueryHTab;

  // The query registered under iQuery (exact text), created on first use.
  // An empty text makes a query without result that reports
  // "EMPTY QUERY"; it is registered like any other, so DeleteQuery("") and
  // DeleteAllQueries free it.
  static KezDcQrQuery* NewQuery(KezUnicodeString iQuery);
  explicit KezDcQrQuery(KezUnicodeString iQuery);
  KezDcQrQuery();
  virtual ~KezDcQrQuery();
  KezDcQrQuery(const KezDcQrQuery&) = delete;
  KezDcQrQuery& operator=(const KezDcQrQuery&) = delete;

  // Deletes the query registered under the text, blanks stripped at both
  // ends, with the query results it names.
  static void DeleteQuery(KezUnicodeString iQuery);
  // Clears the access layer's adapter lists, every query result and every
  // query.
  static void DeleteAllQueries();
  // Deletes a query that has done its work, with the expression of its first
  // argument when this query created it, but keeps the variables, cells and
  // database objects they name: their values, rows and open batches are what
  // later queries read. Constants, which hold nothing but their text, go
  // with the expression. A client that runs each line of a long script once
  // keeps its memory flat this way.
  static void DeleteOneOffQuery(KezDcQrQuery* iQuery);

  // Runs the function on the query result (and the put target).
  void DoQuery();

 private:
  void SplitText(KezUnicodeString& oSecond, bool& oTwoArguments);
  void ObtainPutTarget(const KezUnicodeString& second);
  bool ResolveResults();
  void ResolvePutTarget();
  void Dispatch();
  void RunPut(int op);

  KezUnicodeString put_target_key_;  // the registry key of p_QRPutTarget
  KezUnicodeString dispatch_type_;   // the TypeOfQResult that dispatch_row_ serves
  const void* dispatch_row_ = nullptr;
  unsigned long long resolved_changes_ = ~0ULL;  // KezHashDico::Changes() at the last resolution
  bool result_lost_;                             // p_QResult was deleted elsewhere
  bool put_refusal_reported_ = false;            // "Put only a Data" was said when the query was made
  bool created_expression_ = false;              // the constructor made the expression of DataPath
};

#endif
