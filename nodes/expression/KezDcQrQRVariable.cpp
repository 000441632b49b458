// The variable node: one current value of basic type "string", "int" or
// "double", assigned by Affect and written into cells as text.
#include "nodes/expression/KezDcQrQRVariable.h"

#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"
#include "nodes/base/QResultTrace.h"
#include "nodes/database/KezDcQrQRCell.h"
#include "nodes/database/RowBufferField.h"
#include "nodes/expression/KezDcQrQRConstant.h"
#include "nodes/expression/ValueReset.h"

KezDcQrQRVariable::KezDcQrQRVariable()
    : KezDcQrQResult(kVariable),
      p_StringQResult(nullptr),
      p_IntQResult(&IntValue),
      p_DoubleQResult(&DoubleValue),
      IntValue(0),
      DoubleValue(0.0) {
  QR_TRA(2, "=-->> QrQRVariable::QrVariable (default)\n");
  Type = "Variable";
  BasicType = "string";
}

KezDcQrQRVariable::KezDcQrQRVariable(KezUnicodeString iName, KezUnicodeString iValue)
    : KezDcQrQRVariable(iName, iValue, "string") {}

KezDcQrQRVariable::KezDcQrQRVariable(KezUnicodeString iName, KezUnicodeString iValue, KezUnicodeString iBasicType)
    : KezDcQrQResult(kVariable),
      p_StringQResult(nullptr),
      p_IntQResult(&IntValue),
      p_DoubleQResult(&DoubleValue),
      IntValue(0),
      DoubleValue(0.0) {
  QR_TRA(2, "=-->> QrQRVariable::QrVariable: Variable:<%s>, Value:<%s>\n", iName.ConvertToChar(),
         iValue.ConvertToChar());
  StringValue = iValue;
  BasicType = iBasicType;
  Init(iName);
}

KezDcQrQRVariable::KezDcQrQRVariable(KezUnicodeString iName, int iValue)
    : KezDcQrQResult(kVariable),
      p_StringQResult(nullptr),
      p_IntQResult(&IntValue),
      p_DoubleQResult(&DoubleValue),
      IntValue(iValue),
      DoubleValue(0.0) {
  QR_TRA(2, "=-->> QrQRVariable::QrVariable: Variable:<%s>, Value:<%d>\n", iName.ConvertToChar(), iValue);
  BasicType = "int";
  Init(iName);
}

KezDcQrQRVariable::KezDcQrQRVariable(KezUnicodeString iName, double iValue)
    : KezDcQrQResult(kVariable),
      p_StringQResult(nullptr),
      p_IntQResult(&IntValue),
      p_DoubleQResult(&DoubleValue),
      IntValue(0),
      DoubleValue(iValue) {
  QR_TRA(2, "=-->> QrQRVariable::QrVariable: Variable:<%s>, Value:<%f>\n", iName.ConvertToChar(), iValue);
  BasicType = "double";
  Init(iName);
}

void KezDcQrQRVariable::Init(const KezUnicodeString& name) {
  Variable = name;
  Type = "Variable";
  SubQueryFlag = 'N';
  Register(QRHTab, Variable);
}

KezDcQrQRVariable::~KezDcQrQRVariable() {
  QR_TRA(2, "=-->> QrQRVariable::~QrQRVariable: Delete %s\n", Variable.ConvertToChar());
  Unregister(QRHTab, Variable);
  LeaveSubQueryFather();
  if (p_StringQResult) QR_TRA(4, "delete p_StringQResult <%s> \n", p_StringQResult);
  ReleaseString();
  QR_TRA(2, "=-->> QrQRVariable::~QrQRVariable OK \n");
}

void KezDcQrQRVariable::ReleaseString() {
  delete[] p_StringQResult;
  p_StringQResult = nullptr;
}

void KezDcQrQRVariable::Affect(KezUnicodeString iValue) {
  Affect(iValue, true);
}

void KezDcQrQRVariable::Affect(KezUnicodeString iValue, bool iQuoted) {
  QR_TRA(2, "IN->> QrQRVariable::Affect: Variable:<%s>, Value:<%s>\n", Variable.ConvertToChar(),
         iValue.ConvertToChar());
  StringValue = iValue;
  string_quoted_ = iQuoted;
  ReleaseString();
  BasicType = "string";
  QR_TRA(2, "OUT>> QrQRVariable::Affect ending \n");
}

void KezDcQrQRVariable::Affect(int iValue) {
  QR_TRA(2, "IN->> QrQRVariable::Affect: Variable:<%s>, Value:<%d>\n", Variable.ConvertToChar(), iValue);
  IntValue = iValue;
  p_IntQResult = &IntValue;
  BasicType = "int";
  ReleaseString();
  QR_TRA(2, "OUT>> QrQRVariable::Affect ending \n");
}

void KezDcQrQRVariable::Affect(double iValue) {
  QR_TRA(2, "IN->> QrQRVariable::Affect: Variable:<%s>, Value:<%e>\n", Variable.ConvertToChar(), iValue);
  DoubleValue = iValue;
  p_DoubleQResult = &DoubleValue;
  BasicType = "double";
  ReleaseString();
  QR_TRA(2, "OUT>> QrQRVariable::Affect ending \n");
}

void* KezDcQrQRVariable::GetQResult() {
  QR_TRA(2, "IN->> QrQRVariable::GetQResult [%s] \n", Variable.ConvertToChar());
  QR_TRA(4, "Type of Variable: <%s>\n", BasicType.ConvertToChar());
  if (BasicType == "string") {
    ReleaseString();
    p_StringQResult = KezDcQrTextCopy(StringValue, string_quoted_);
    QR_TRA(2, "OUT>> QrQRVariable::GetQResult  this->p_StringQResult = <%s> \n", p_StringQResult);
    return p_StringQResult;
  }
  if (BasicType == "int") return p_IntQResult;
  if (BasicType == "double") return p_DoubleQResult;
  KezDcCMError::AddError("ERROR: Unknown Type of Variable: <%s> !\n", BasicType.ConvertToChar());
  return nullptr;
}

bool KezDcQrQRVariable::ValueText(KezUnicodeString& oText) {
  if (BasicType == "string") {
    char* text = KezDcQrTextCopy(StringValue, string_quoted_);
    oText = text;
    delete[] text;
    return true;
  }
  if (BasicType == "int") {
    oText = KezUnicodeString(kez::FormatD(IntValue));
    return true;
  }
  if (BasicType == "double") {
    oText = KezUnicodeString(kez::FormatE(DoubleValue));
    return true;
  }
  return false;
}

void KezDcQrQRVariable::FreeQResult() {
  QR_TRA(2, "=-->> QrQRVariable::FreeQResult %s \n", Variable.ConvertToChar());
  if (p_StringQResult) {
    QR_TRA(4, "delete p_StringQResult <%s> \n", p_StringQResult);
  } else {
    QR_TRA(4, "p_StringQResult already NULL \n");
  }
  ReleaseString();
  kez::detail::ResetValue(*this);
  QR_TRA(2, "=-->> QrQRVariable::FreeQResult OK \n");
}

void KezDcQrQRVariable::PutQResult(KezDcQrQRCell* pTarget) {
  QR_TRA(2, "IN->> QrVariable::PutQResult %s \n", Variable.ConvertToChar());
  GetQResult();
  KezUnicodeString text;
  bool known = ValueText(text);
  if (pTarget) {
    kez::detail::PutIntoCell(pTarget, known ? text.ConvertToChar() : nullptr,
                             "WARNING: Column <%s> does not exist ! \n", false);
  }
  QR_TRA(2, "OUT>> QrVariable::PutQResult %s \n", Variable.ConvertToChar());
}
