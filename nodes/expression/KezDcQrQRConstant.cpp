// The constant node: a quoted text of a data path, held without its quotes.
#include "nodes/expression/KezDcQrQRConstant.h"

#include <cstring>

#include "nodes/base/QResultTrace.h"
#include "nodes/database/KezDcQrQRCell.h"
#include "nodes/database/RowBufferField.h"

char* KezDcQrUnquote(const KezUnicodeString& text) {
  const std::string& s = text.Std();
  std::size_t begin = !s.empty() && s.front() == '"' ? 1 : 0;
  std::size_t end = s.size();
  if (end > begin && s.back() == '"') --end;
  char* out = new char[end - begin + 1];
  std::memcpy(out, s.data() + begin, end - begin);
  out[end - begin] = '\0';
  return out;
}

char* KezDcQrTextCopy(const KezUnicodeString& text, bool quoted) {
  if (quoted) return KezDcQrUnquote(text);
  const std::string& s = text.Std();
  char* out = new char[s.size() + 1];
  std::memcpy(out, s.c_str(), s.size() + 1);
  return out;
}

KezDcQrQRConstant::KezDcQrQRConstant() : KezDcQrQResult(kConstant), p_QResult(nullptr) {
  QR_TRA(2, "=-->> QrQRConstant::QrConstant (default)\n");
  Type = "Constant";
  BasicType = "string";
}

KezDcQrQRConstant::KezDcQrQRConstant(KezUnicodeString iText) : KezDcQrQResult(kConstant), p_QResult(nullptr) {
  QR_TRA(2, "=-->> QrQRConstant::QrConstant: Constant:<%s>\n", iText.ConvertToChar());
  Constant = iText;
  SubQueryFlag = 'N';
  Type = "Constant";
  BasicType = "string";
  p_QResult = KezDcQrUnquote(Constant);
  QR_TRA(4, "this->p_QResult = <%s> \n", p_QResult);
  Register(QRHTab, Constant);
}

KezDcQrQRConstant::~KezDcQrQRConstant() {
  QR_TRA(2, "=-->> QrQRConstant::~QrQRConstant: Delete %s\n", Constant.ConvertToChar());
  Unregister(QRHTab, Constant);
  LeaveSubQueryFather();
  delete[] p_QResult;
  p_QResult = nullptr;
  QR_TRA(2, "=-->> QrQRConstant::~QrQRConstant OK \n");
}

char* KezDcQrQRConstant::GetQResult() {
  QR_TRA(2, "=-->> QrQRConstant::GetQResult [%s] \n", Constant.ConvertToChar());
  return p_QResult;
}

void KezDcQrQRConstant::FreeQResult() {
  delete[] p_QResult;
  p_QResult = nullptr;
}

void KezDcQrQRConstant::PutQResult(KezDcQrQRCell* pTarget) {
  QR_TRA(2, "IN->> QrConstant::PutQResult %s \n", Constant.ConvertToChar());
  const char* text = GetQResult();  // null once freed: nothing is written
  if (pTarget) kez::detail::PutIntoCell(pTarget, text, "ERROR: Cell <%s> isn't in Accessor ! \n", true);
  QR_TRA(2, "OUT>> QrConstant::PutQResult <%s> \n", p_QResult ? p_QResult : "");
}
