// The constant node: a quoted text written in a data path ("abc"), held
// without its enclosing quotes.
#ifndef KEZ_DC_QR_QR_CONSTANT_H
#define KEZ_DC_QR_QR_CONSTANT_H

#include "nodes/base/KezDcQrQResult.h"

class KezDcQrQRCell;

class KEZDCQR_API KezDcQrQRConstant : public KezDcQrQResult {
 public:
  static constexpr Kind kNodeKind = kConstant;  // for kez::As<KezDcQrQRConstant>

  char* p_QResult;            // owned; the text without enclosing quotes; null after FreeQResult
  KezUnicodeString Constant;  // the data path as written, quotes included; the key

  KezDcQrQRConstant();
  explicit KezDcQrQRConstant(KezUnicodeString iText);
  ~KezDcQrQRConstant() override;

  char* GetQResult();
  void FreeQResult() override;
  // Writes the text into the target cell's field (nothing once freed).
  void PutQResult(KezDcQrQRCell* pTarget);
};

// Copies text leaving out a double quote at its first and at its last
// position, into a new NUL-terminated buffer (delete[] by the caller).
KEZDCQR_API char* KezDcQrUnquote(const KezUnicodeString& text);
// A new[] copy of text: unquoted as above when quoted (the language put
// the quotes there), octet for octet otherwise.
KEZDCQR_API char* KezDcQrTextCopy(const KezUnicodeString& text, bool quoted);

#endif
