// Query execution: DoQuery selects one operation from the type of the
// query result, the function and the put target, through one table.
#include <cstring>

#include "foundation/KezDcCMError.h"
#include "nodes/database/KezDcQrQRAccessor.h"
#include "nodes/database/KezDcQrQRCell.h"
#include "nodes/database/KezDcQrQRData.h"
#include "nodes/database/KezDcQrQRDataSource.h"
#include "nodes/database/KezDcQrQRRowset.h"
#include "nodes/database/KezDcQrQRSession.h"
#include "nodes/expression/KezDcQrQRExpression.h"
#include "nodes/expression/KezDcQrQRVariable.h"
#include "query/KezDcQrQuery.h"
#include "query/QueryTrace.h"
#include "query/ThreadCheck.h"

namespace {

enum GetOp {
  kGetExpression,
  kGetDataSource,
  kGetSession,
  kGetRowset,
  kGetAccessor,
  kGetData,
  kGetCell,
  kGetVariable,
  kGetConstant
};
enum PutOp { kNoPut, kPutExpressionToTarget, kPutExpressionRow, kPutData, kPutCell, kPutVariable, kPutConstant };

struct DispatchRow {
  const char* type;
  GetOp get;
  PutOp put;
  bool init;
  const char* message;
};

const DispatchRow kRows[] = {
    {"Expression", kGetExpression, kPutExpressionToTarget, false, "ERROR: UNKNOWN FUNCTION FOR EXPRESSION ! \n"},
    {"Exp_DataSource", kGetExpression, kNoPut, false, "ERROR: UNKNOWN FUNCTION FOR DATASOURCE ! \n"},
    {"Exp_Session", kGetExpression, kNoPut, false, "ERROR: UNKNOWN FUNCTION FOR SESSION ! \n"},
    {"Exp_Rowset", kGetExpression, kNoPut, false, "ERROR: UNKNOWN FUNCTION FOR ROWSET ! \n"},
    {"Exp_Accessor", kGetExpression, kNoPut, false, "ERROR: UNKNOWN FUNCTION FOR ACCESSOR ! \n"},
    {"Exp_Data", kGetExpression, kPutExpressionRow, true, "ERROR: UNKNOWN FUNCTION FOR DATA ! \n"},
    {"Exp_Cell", kGetExpression, kPutExpressionToTarget, false, "ERROR: UNKNOWN FUNCTION FOR CELL ! \n"},
    {"Exp_Variable", kGetExpression, kPutExpressionToTarget, false, "ERROR: UNKNOWN FUNCTION FOR VARIABLE ! \n"},
    {"Exp_Constant", kGetExpression, kPutExpressionToTarget, false, "ERROR: UNKNOWN FUNCTION FOR CONSTANT ! \n"},
    {"DataSource", kGetDataSource, kNoPut, false, "ERROR: UNKNOWN FUNCTION FOR DATASOURCE ! \n"},
    {"Session", kGetSession, kNoPut, false, "ERROR: UNKNOWN FUNCTION FOR SESSION ! \n"},
    {"Rowset", kGetRowset, kNoPut, false, "ERROR: UNKNOWN FUNCTION FOR ROWSET ! \n"},
    {"Accessor", kGetAccessor, kNoPut, false, "ERROR: UNKNOWN FUNCTION FOR ACCESSOR ! \n"},
    {"Data", kGetData, kPutData, true, "ERROR: UNKNOWN FUNCTION FOR DATA ! \n"},
    {"Cell", kGetCell, kPutCell, false, "ERROR: UNKNOWN FUNCTION FOR CELL ! \n"},
    {"Variable", kGetVariable, kPutVariable, false, "ERROR: UNKNOWN FUNCTION FOR VARIABLE ! \n"},
    {"Constant", kGetConstant, kPutConstant, false, "ERROR: UNKNOWN FUNCTION FOR CONSTANT ! \n"},
};

const DispatchRow* RowOf(const KezUnicodeString& type) {
  for (const DispatchRow& row : kRows) {
    if (type == row.type) return &row;
  }
  return nullptr;
}

// The node as the kind T when it is of that kind, else null.
template <class T>
T* As(KezDcQrQResult* node, KezDcQrQResult::Kind kind) {
  return node && node->GetKind() == kind ? static_cast<T*>(node) : nullptr;
}

void RunGet(GetOp op, KezDcQrQResult* r) {
  switch (op) {
    case kGetExpression:
      if (auto* e = As<KezDcQrQRExpression>(r, KezDcQrQResult::kExpression)) e->GetQResult();
      break;
    case kGetDataSource:
      if (auto* n = As<KezDcQrQRDataSource>(r, KezDcQrQResult::kDataSource)) n->GetQResult();
      break;
    case kGetSession:
      if (auto* n = As<KezDcQrQRSession>(r, KezDcQrQResult::kSession)) n->GetQResult();
      break;
    case kGetRowset:
      if (auto* n = As<KezDcQrQRRowset>(r, KezDcQrQResult::kRowset)) n->GetQResult();
      break;
    case kGetAccessor:
      if (auto* n = As<KezDcQrQRAccessor>(r, KezDcQrQResult::kAccessor)) n->GetQResult();
      break;
    case kGetData:
      r->GetData();
      break;
    case kGetCell:
      r->GetCell();
      break;
    case kGetVariable:
      r->GetVariable();
      break;
    case kGetConstant:
      r->GetConstant();
      break;
  }
}

// The data block that a query's result stands for: the node itself, or the
// node that an "Exp_Data" expression names; null for anything else.
KezDcQrQRData* DataBlockOf(KezDcQrQResult* r) {
  if (auto* data = As<KezDcQrQRData>(r, KezDcQrQResult::kData)) return data;
  auto* e = As<KezDcQrQRExpression>(r, KezDcQrQResult::kExpression);
  if (!e || e->SimpleType != "Exp_Data" || e->ListOfPostFixedExpression.Size() < 1) return nullptr;
  KezDcQrQResult* node = KezDcQrQResult::QRHTab->Locate(e->ListOfPostFixedExpression[1]);
  return As<KezDcQrQRData>(node, KezDcQrQResult::kData);
}

}  // namespace

void KezDcQrQuery::DoQuery() {
  kez::detail::ThreadCheck one_thread("DoQuery");
  Q_TRA(2, "IN->> QrQuery::DoQuery <%s (%s [,%s])> \n", Function.ConvertToChar(), DataPath.ConvertToChar(),
        DataPathT.ConvertToChar());
  Q_TRA(4, "TypeOfQResult=<%s> et TypeOfQRPutTarget=<%s>\n", TypeOfQResult.ConvertToChar(),
        TypeOfQRPutTarget.ConvertToChar());
  Dispatch();
  Q_TRA(2, "OUT>> QrQuery::DoQuery <%s (%s [,%s])> \n", Function.ConvertToChar(), DataPath.ConvertToChar(),
        DataPathT.ConvertToChar());
}

// The query holds plain pointers to shared nodes that another query, an
// expression or DeleteQResult may have deleted: both are looked up again
// by their keys before any use.
bool KezDcQrQuery::ResolveResults() {
  if (!p_QResult && !result_lost_) return false;
  // Nothing left any registry since the last complete resolution: the
  // pointers are still the registered nodes.
  bool target_wanted = !put_target_key_.IsEmpty();
  if (p_QResult && (p_QRPutTarget || !target_wanted) && resolved_changes_ == KezHashDico::Changes()) return true;
  bool expression = TypeOfQResult.Std().compare(0, 3, "Exp") == 0;
  KezHashDicKezDcQrQResult* registry = expression ? KezDcQrQResult::ExprHTab : KezDcQrQResult::QRHTab;
  KezDcQrQResult* found = registry ? registry->Locate(DataPath) : nullptr;
  if (!found) {
    p_QResult = nullptr;
    p_QRPutTarget = nullptr;
    result_lost_ = true;
    KezDcCMError::AddError("ERROR: QUERY <%s> LOST ITS RESULT <%s>, DELETED ELSEWHERE: CREATE THE QUERY AGAIN !\n",
                           QueryText.ConvertToChar(), DataPath.ConvertToChar());
    return false;
  }
  p_QResult = found;
  ResolvePutTarget();
  resolved_changes_ = KezHashDico::Changes();
  return true;
}

// A put target once obtained is looked up again at every run, so that one
// deleted elsewhere is reported each time and one created again is used.
void KezDcQrQuery::ResolvePutTarget() {
  if (put_target_key_.IsEmpty() && !p_QRPutTarget) return;
  const KezUnicodeString& key = put_target_key_.IsEmpty() ? DataPathT : put_target_key_;
  p_QRPutTarget = KezDcQrQResult::QRHTab ? KezDcQrQResult::QRHTab->Locate(key) : nullptr;
  if (p_QRPutTarget) return;
  KezDcCMError::AddError("ERROR: QUERY <%s> LOST ITS PUT TARGET <%s>, DELETED ELSEWHERE: CREATE THE QUERY AGAIN !\n",
                         QueryText.ConvertToChar(), key.ConvertToChar());
}

// A type without a row does nothing and reports nothing, so the results
// are resolved only once a row is found.
void KezDcQrQuery::Dispatch() {
  // The row is looked up again only when TypeOfQResult changed.
  if (!dispatch_row_ || dispatch_type_ != TypeOfQResult) {
    dispatch_row_ = RowOf(TypeOfQResult);
    dispatch_type_ = TypeOfQResult;
  }
  const DispatchRow* row = static_cast<const DispatchRow*>(dispatch_row_);
  if (!row || !ResolveResults()) return;
  if (Function == "Get") {
    RunGet(row->get, p_QResult);
  } else if (Function == "Free") {
    p_QResult->FreeQResult();
    // Freeing a data block also gives back its insert interface, which
    // commits the batch its rows are in.
    KezDcQrQRData* data = DataBlockOf(p_QResult);
    if (data && data->p_QRRowset) data->p_QRRowset->ReleaseWriteQResult();
  } else if (Function == "Put" && row->put != kNoPut) {
    RunPut(row->put);
  } else if (Function == "Init" && row->init) {
    if (KezDcQrQRData* data = DataBlockOf(p_QResult)) data->ClearRow();
  } else {
    KezDcCMError::AddError("%s", row->message);
  }
}

void KezDcQrQuery::RunPut(int op) {
  auto* expression = As<KezDcQrQRExpression>(p_QResult, KezDcQrQResult::kExpression);
  bool to_cell = TypeOfQRPutTarget == "Cell" && p_QRPutTarget;
  switch (static_cast<PutOp>(op)) {
    case kPutExpressionToTarget:
      if (DataPathT.IsEmpty()) {
        // A put that names no data block inserts nothing: say so at every
        // run (the first run's report is the one the query's creation made).
        if (!put_refusal_reported_) KezDcCMError::AddError("ERROR: INVALID QUERY <Put only a Data>\n");
        put_refusal_reported_ = false;
        return;
      }
      if (!expression || !p_QRPutTarget) return;
      if (TypeOfQRPutTarget == "Variable") {
        if (auto* v = As<KezDcQrQRVariable>(p_QRPutTarget, KezDcQrQResult::kVariable)) expression->PutQResult(v);
      } else if (TypeOfQRPutTarget == "Cell") {
        if (auto* c = As<KezDcQrQRCell>(p_QRPutTarget, KezDcQrQResult::kCell)) expression->PutQResult(c);
      }
      return;
    case kPutExpressionRow:
      // Only the one-argument form inserts the row: a second argument makes
      // the query invalid even though it leaves TypeOfQRPutTarget empty.
      if (expression && TypeOfQRPutTarget.IsEmpty() && DataPathT.IsEmpty()) expression->PutQResult();
      return;
    case kPutData:
      p_QResult->PutData();
      return;
    case kPutCell:
      if (to_cell) p_QResult->PutCell(p_QRPutTarget);
      return;
    case kPutVariable:
      if (to_cell) p_QResult->PutVariable(p_QRPutTarget);
      return;
    case kPutConstant:
      if (to_cell) p_QResult->PutConstant(p_QRPutTarget);
      return;
    case kNoPut:
      return;
  }
}
