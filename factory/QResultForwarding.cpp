// The forwarding operations of the base class: each runs one kind's
// operation on this node, after checking that the node is of that kind.
#include "foundation/KezDcCMError.h"
#include "nodes/base/KezDcQrQResult.h"
#include "nodes/database/KezDcQrQRCell.h"
#include "nodes/database/KezDcQrQRData.h"
#include "nodes/database/KezDcQrQRRowset.h"
#include "nodes/expression/KezDcQrQRConstant.h"
#include "nodes/expression/KezDcQrQRExpression.h"
#include "nodes/expression/KezDcQrQRVariable.h"

namespace {

// The node as the kind T, or null after a report naming the operation.
template <class T>
T* Checked(KezDcQrQResult* node, KezDcQrQResult::Kind kind, const char* operation) {
  if (node && node->GetKind() == kind) return static_cast<T*>(node);
  KezDcCMError::AddError("ERROR: %s ON A <%s> QUERY RESULT !\n", operation, node ? node->Type.ConvertToChar() : "");
  return nullptr;
}

KezDcQrQRCell* Cell(KezDcQrQResult* node, const char* operation) {
  return Checked<KezDcQrQRCell>(node, KezDcQrQResult::kCell, operation);
}

KezDcQrQRData* Data(KezDcQrQResult* node, const char* operation) {
  return Checked<KezDcQrQRData>(node, KezDcQrQResult::kData, operation);
}

}  // namespace

char* KezDcQrQResult::GetCell() {
  KezDcQrQRCell* cell = Cell(this, "GetCell");
  return cell ? cell->GetQResult() : nullptr;
}

void KezDcQrQResult::PutCell(KezDcQrQResult* target) {
  KezDcQrQRCell* cell = Cell(this, "PutCell");
  KezDcQrQRCell* to = cell ? Cell(target, "PutCell") : nullptr;
  if (to) cell->PutQResult(to);
}

void* KezDcQrQResult::GetVariable() {
  auto* variable = Checked<KezDcQrQRVariable>(this, kVariable, "GetVariable");
  return variable ? variable->GetQResult() : nullptr;
}

void KezDcQrQResult::PutVariable(KezDcQrQResult* target) {
  auto* variable = Checked<KezDcQrQRVariable>(this, kVariable, "PutVariable");
  KezDcQrQRCell* to = variable ? Cell(target, "PutVariable") : nullptr;
  if (to) variable->PutQResult(to);
}

void* KezDcQrQResult::GetExpression() {
  auto* expression = Checked<KezDcQrQRExpression>(this, kExpression, "GetExpression");
  return expression ? expression->GetQResult() : nullptr;
}

char* KezDcQrQResult::GetConstant() {
  auto* constant = Checked<KezDcQrQRConstant>(this, kConstant, "GetConstant");
  return constant ? constant->GetQResult() : nullptr;
}

void KezDcQrQResult::PutConstant(KezDcQrQResult* target) {
  auto* constant = Checked<KezDcQrQRConstant>(this, kConstant, "PutConstant");
  KezDcQrQRCell* to = constant ? Cell(target, "PutConstant") : nullptr;
  if (to) constant->PutQResult(to);
}

KezDcQrQResult* KezDcQrQResult::GetData() {
  KezDcQrQRData* data = Data(this, "GetData");
  return data ? data->GetQResult() : nullptr;
}

void KezDcQrQResult::FreeRowsetOfData() {
  KezDcQrQRData* data = Data(this, "FreeRowsetOfData");
  if (data && data->p_QRRowset) data->p_QRRowset->FreeQResult();
}

void* KezDcQrQResult::GetNextLine() {
  KezDcQrQRData* data = Data(this, "GetNextLine");
  return data ? data->GetNextLine() : nullptr;
}

void KezDcQrQResult::InitData() {
  if (KezDcQrQRData* data = Data(this, "InitData")) data->InitQResult();
}

bool KezDcQrQResult::IsMoreData() {
  KezDcQrQRData* data = Data(this, "IsMoreData");
  return data ? data->IsMoreData() : false;
}

int KezDcQrQResult::GetNbRowsObtained() {
  KezDcQrQRData* data = Data(this, "GetNbRowsObtained");
  return data ? data->GetNbRowsObtained() : 0;
}

void KezDcQrQResult::PutData() {
  if (KezDcQrQRData* data = Data(this, "PutData")) data->PutQResult();
}
