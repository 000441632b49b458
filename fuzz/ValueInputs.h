// The inputs of the data-path, expression and number-format fuzzers: what
// each does with its octets and how it judges the outcome. Shared by the
// fuzz targets and tests/regress/.
#ifndef KEZ_FUZZ_VALUE_INPUTS_H
#define KEZ_FUZZ_VALUE_INPUTS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/FuzzSupport.h"

namespace kez {
namespace fuzz {

// The octets up to the first NUL, as the library's texts end there.
inline std::string TextOf(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  return text.substr(0, text.find('\0'));
}

// A data path: parsed ('#' variables naming each other included), made by
// the factory, read, freed and deleted.
inline bool RunDataPathInput(const uint8_t* data, size_t size) {
  LayerMark mark;
  SetUpDatabase();
  SetUpVariables();
  std::string path = TextOf(data, size);
  KezUnicodeString ds, s, r, a, d, c, type;
  KezDcQrQResult::ParseDataPath(path.c_str(), ds, s, r, a, d, c, type);
  if (KezDcQrQResult* node = KezDcQrQResult::NewQResult(path.c_str())) {
    if (node->GetKind() == KezDcQrQResult::kCell) Touch(node->GetCell());
    if (node->GetKind() == KezDcQrQResult::kData) node->GetNextLine();
    node->FreeQResult();
  }
  KezDcQrQResult::DeleteQResult(path.c_str());
  return CleanAfter(mark, false);
}

namespace detail {

// Evaluates twice, puts the value into a variable and into a cell, inserts
// the row (refused unless the expression names a data block) and frees.
inline void ExerciseExpression(KezDcQrQRExpression* expression) {
  expression->GetQResult();
  Touch(expression->p_StringQResult);
  expression->GetQResult();
  KezUnicodeString variable = "Variable";
  auto* target = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQR("$fz", "", "", "", "", "", variable));
  expression->PutQResult(target);
  KezDcQrQResult* cell = KezDcQrQResult::NewQResult("@m:main:u:{a+b}:1:a");
  if (cell && cell->GetKind() == KezDcQrQResult::kCell) expression->PutQResult(static_cast<KezDcQrQRCell*>(cell));
  expression->PutQResult();
  expression->FreeQResult();
}

}  // namespace detail

// An expression text with variables of every basic type bound.
inline bool RunExpressionInput(const uint8_t* data, size_t size) {
  LayerMark mark;
  SetUpDatabase();
  SetUpVariables();
  std::string text = TextOf(data, size);
  KezUnicodeString type = "Expression";
  KezDcQrQResult* node = KezDcQrQResult::NewQR(text.c_str(), "", "", "", "", "", type);
  if (node && node->GetKind() == KezDcQrQResult::kExpression) {
    detail::ExerciseExpression(static_cast<KezDcQrQRExpression*>(node));
  }
  KezDcQrQResult::DeleteQResult(text.c_str());
  return CleanAfter(mark, false);
}

// The first eight octets are the value, the rest the format text; the
// result never exceeds 254 characters.
inline bool RunFormatInput(const uint8_t* data, size_t size) {
  double value = 0.0;
  if (size >= sizeof value) {
    std::memcpy(&value, data, sizeof value);
    data += sizeof value;
    size -= sizeof value;
  }
  KezUnicodeString out;
  KezDcQrQResult::FormatNumeric(value, TextOf(data, size).c_str(), out);
  return out.GetLengthInChar() <= 254;
}

}  // namespace fuzz
}  // namespace kez

#endif
