// Value texts, display widths and what every record writer shares.
#include "Output.h"

#include <charconv>
#include <cmath>

namespace kezq {

namespace {

// Two columns for East Asian wide and fullwidth characters, none for
// combining marks and zero-width characters, one otherwise.
int CodeWidth(char32_t c) {
  if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) ||
      (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE20 && c <= 0xFE2F) || c == 0x200B || c == 0x200C || c == 0x200D ||
      c == 0xFEFF) {
    return 0;
  }
  if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
      (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
      (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
      (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD)) {
    return 2;
  }
  return 1;
}

}  // namespace

// The length of the valid UTF-8 sequence at text[k] (with its code point
// in code), or 0 when the octets there are not one.
std::size_t Utf8Sequence(const std::string& text, std::size_t k, char32_t& code) {
  auto at = [&](std::size_t j) { return static_cast<unsigned char>(text[j]); };
  unsigned char c = at(k);
  std::size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  if (length == 0 || k + length > text.size()) return 0;
  if (length == 1) {
    code = c;
    return 1;
  }
  code = c & (0x7F >> length);
  for (std::size_t j = 1; j < length; ++j) {
    if ((at(k + j) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (at(k + j) & 0x3F);
  }
  static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

std::string ValueText(const Value& value) {
  switch (value.kind) {
    case Value::kInt:
      return std::to_string(value.i);
    case Value::kDouble: {
      double d = value.d;
      if (!std::isfinite(d)) return std::isnan(d) ? "nan" : d < 0 ? "-inf" : "inf";
      if (d == std::floor(d) && std::fabs(d) < 9007199254740992.0) {
        return std::to_string(static_cast<long long>(d));
      }
      char buffer[400];
      double magnitude = std::fabs(d);
      auto format = magnitude >= 1e-5 && magnitude < 1e16 ? std::chars_format::fixed : std::chars_format::scientific;
      auto result = std::to_chars(buffer, buffer + sizeof buffer, d, format);
      return std::string(buffer, result.ptr);
    }
    case Value::kString:
    case Value::kText:
      return value.s;
    case Value::kNull:
    case Value::kNone:
      break;
  }
  return std::string();
}

std::size_t DisplayWidth(const std::string& text) {
  std::size_t width = 0;
  for (std::size_t k = 0; k < text.size();) {
    char32_t code = 0;
    std::size_t length = Utf8Sequence(text, k, code);
    if (length == 0) {
      ++width;
      ++k;
      continue;
    }
    width += CodeWidth(code);
    k += length;
  }
  return width;
}

RecordWriter::RecordWriter(const Options& options, std::FILE* out, std::FILE* err)
    : options_(options), out_(out), err_(err) {}

const std::vector<std::string>& RecordWriter::Header(const std::vector<std::string>& names) {
  header_ = names;
  for (std::size_t k = 0; k < options_.header.size() && k < header_.size(); ++k) header_[k] = options_.header[k];
  return header_;
}

void RecordWriter::WriteLine() {
  line_ += '\n';
  std::fwrite(line_.data(), 1, line_.size(), out_);
  line_.clear();
}

void RecordWriter::Finish() {
  std::fflush(out_);
}

}  // namespace kezq
