// Fuzzes expression texts: tokenizing, parsing and evaluating with
// variables of every basic type bound, then deleting.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kez::fuzz::SetUpDatabase();
  kez::fuzz::SetUpVariables();
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.substr(0, text.find('\0'));
  KezUnicodeString type = "Expression";
  KezDcQrQResult* node = KezDcQrQResult::NewQR(text.c_str(), "", "", "", "", "", type);
  if (node && node->GetKind() == KezDcQrQResult::kExpression) {
    auto* expression = static_cast<KezDcQrQRExpression*>(node);
    expression->GetQResult();
    expression->GetQResult();
    expression->FreeQResult();
  }
  KezDcQrQResult::DeleteQResult(text.c_str());
  kez::fuzz::Reset();
  return 0;
}
