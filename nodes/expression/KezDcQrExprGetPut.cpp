// Expression get and put: evaluating and handing the value out by its basic
// type, forgetting it, and storing it into a cell's field, into a variable,
// or (for an expression naming a data block) inserting that block's row.
#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"
#include "nodes/base/QResultTrace.h"
#include "nodes/database/KezDcQrQRCell.h"
#include "nodes/database/KezDcQrQRData.h"
#include "nodes/database/RowBufferField.h"
#include "nodes/expression/KezDcQrQRConstant.h"
#include "nodes/expression/KezDcQrQRExpression.h"
#include "nodes/expression/KezDcQrQRVariable.h"
#include "nodes/expression/ValueReset.h"

void* KezDcQrQRExpression::GetQResult() {
  QR_TRA(2, "IN->> QrQRExpression::GetQResult [%s] \n", ExpressionText.ConvertToChar());
  if (BasicType != "int") BasicType = "int";  // (most evaluations keep their type)
  Evaluate();
  ReleaseString();
  p_IntQResult = nullptr;
  p_DoubleQResult = nullptr;
  if (failed_) return nullptr;  // reported: no value, and a put writes nothing
  if (BasicType == "string") {
    p_StringQResult = KezDcQrTextCopy(StringValue, string_quoted_);
    QR_TRA(2, "OUT>> QrQRExpression::GetQResult  this->p_StringQResult = <%s> \n", p_StringQResult);
    return p_StringQResult;
  }
  if (BasicType == "int") return p_IntQResult = &IntValue;
  if (BasicType == "double") return p_DoubleQResult = &DoubleValue;
  KezDcCMError::AddError("ERROR: Unknown Type of Expression: <%s> !\n", BasicType.ConvertToChar());
  return nullptr;
}

void KezDcQrQRExpression::FreeQResult() {
  QR_TRA(2, "=-->> QrQRExpression::FreeQResult %s \n", ExpressionText.ConvertToChar());
  ReleaseString();
  kez::detail::ResetValue(*this);
  QR_TRA(2, "=-->> QrQRExpression::FreeQResult OK \n");
}

void KezDcQrQRExpression::PutQResult(KezDcQrQRCell* pTarget) {
  QR_TRA(2, "IN->> QrExpression::PutQResult(Cell) %s \n", ExpressionText.ConvertToChar());
  if (SimpleType == "Exp_Cell") {
    // A lone cell is copied as the database gave it: its text octet for
    // octet and its NULL mark, not a number written back ("007" stays 007).
    if (auto* cell = kez::As<KezDcQrQRCell>(Operand(1, ListOfPostFixedExpression[1]))) {
      cell->PutQResult(pTarget);
      QR_TRA(2, "OUT>> QrExpression::PutQResult(Cell) %s \n", ExpressionText.ConvertToChar());
      return;
    }
  }
  GetQResult();
  if (failed_) return;
  std::string text;
  const char* value = nullptr;
  if (BasicType == "string") {
    value = p_StringQResult;
  } else if (BasicType == "int") {
    text = kez::FormatD(IntValue);
    value = text.c_str();
  } else if (BasicType == "double") {
    text = kez::FormatE(DoubleValue);
    value = text.c_str();
  }
  if (pTarget) kez::detail::PutIntoCell(pTarget, value, "ERROR: Cell <%s> isn't in Accessor ! \n", false);
  QR_TRA(2, "OUT>> QrExpression::PutQResult(Cell) %s \n", ExpressionText.ConvertToChar());
}

void KezDcQrQRExpression::PutQResult(KezDcQrQRVariable* pTarget) {
  QR_TRA(2, "IN->> QrExpression::PutQResult(var) %s \n", ExpressionText.ConvertToChar());
  GetQResult();
  if (failed_ || !pTarget) return;
  if (BasicType == "int") {
    pTarget->Affect(IntValue);
  } else if (BasicType == "double") {
    pTarget->Affect(DoubleValue);
  } else if (BasicType == "string") {
    pTarget->Affect(StringValue, string_quoted_);
  } else {
    KezDcCMError::AddError("ERROR: Unknown Type of Expression: <%s> !\n", BasicType.ConvertToChar());
  }
  QR_TRA(2, "OUT>> QrExpression::PutQResult(var) %s \n", ExpressionText.ConvertToChar());
}

void KezDcQrQRExpression::PutQResult() {
  QR_TRA(2, "IN->> QrExpression::PutQResult() of %s \n", ExpressionText.ConvertToChar());
  if (SimpleType != "Exp_Data") {
    KezDcCMError::AddError("ERROR: Impossible to Put the Expression: <%s> which is not a Exp_Data but a <%s> !\n",
                           ExpressionText.ConvertToChar(), Type.ConvertToChar());
  } else {
    QR_TRA(4, "OK Put Expression: <%s>\n", ExpressionText.ConvertToChar());
    const KezUnicodeString& key = ListOfPostFixedExpression[1];
    auto* data = kez::As<KezDcQrQRData>(QRHTab->Locate(key));
    if (!data) {
      KezDcCMError::AddError("ERROR Unknown Data <%s>\n", key.ConvertToChar());
    } else {
      QR_TRA(4, "Locate <%s> ==> OK\n", key.ConvertToChar());
      data->PutQResult();
      QR_TRA(4, "Put <%s> ==> OK\n", key.ConvertToChar());
    }
  }
  QR_TRA(2, "OUT>> QrExpression::PutQResult() of %s \n", ExpressionText.ConvertToChar());
}
