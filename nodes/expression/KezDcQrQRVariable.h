// The variable node: a named value (#rate, $base) of basic type "string",
// "int" or "double", assigned by puts and read by expressions and paths.
#ifndef KEZ_DC_QR_QR_VARIABLE_H
#define KEZ_DC_QR_QR_VARIABLE_H

#include "nodes/base/KezDcQrQResult.h"

class KezDcQrQRCell;

class KEZDCQR_API KezDcQrQRVariable : public KezDcQrQResult {
 public:
  static constexpr Kind kNodeKind = kVariable;  // for kez::As<KezDcQrQRVariable>

  char* p_StringQResult;      // owned: StringValue without its enclosing quotes; null when not built
  int* p_IntQResult;          // &IntValue, or null after FreeQResult
  double* p_DoubleQResult;    // &DoubleValue, or null after FreeQResult
  KezUnicodeString Variable;  // the data path, marker included; the key
  KezUnicodeString StringValue;
  int IntValue;
  double DoubleValue;

  KezDcQrQRVariable();
  KezDcQrQRVariable(KezUnicodeString iName, KezUnicodeString iValue);
  KezDcQrQRVariable(KezUnicodeString iName, KezUnicodeString iValue, KezUnicodeString iBasicType);
  KezDcQrQRVariable(KezUnicodeString iName, int iValue);
  KezDcQrQRVariable(KezUnicodeString iName, double iValue);
  ~KezDcQrQRVariable() override;

  // A text given as written in a query: enclosing quotes, when it has
  // them, are the language's and are removed when the value is read.
  void Affect(KezUnicodeString iValue);
  // A text whose enclosing quotes are the language's only when iQuoted:
  // a text that came from data keeps every character.
  void Affect(KezUnicodeString iValue, bool iQuoted);
  void Affect(int iValue);
  void Affect(double iValue);

  // The current value by BasicType: the text, or the address of the int or
  // double; null for an unknown basic type (or after FreeQResult for int
  // and double). A string variable rebuilds its text on every call.
  void* GetQResult();
  void FreeQResult() override;
  // Writes the value, as text, into the target cell's field.
  void PutQResult(KezDcQrQRCell* pTarget);

  // The value as the text a put writes ("%d", "%e" or the text without its
  // enclosing quotes); false for an unknown basic type.
  bool ValueText(KezUnicodeString& oText);

 private:
  void Init(const KezUnicodeString& name);
  void ReleaseString();

  bool string_quoted_ = true;  // StringValue carries the language's enclosing quotes
};

#endif
