// Value texts and the four record formats of kezq.
#include "Output.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace kezq {

namespace {

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

// Whether a text is a number as JSON writes it.
bool IsJsonNumber(const std::string& text) {
  std::size_t k = 0, n = text.size();
  auto digits = [&]() {
    std::size_t start = k;
    while (k < n && text[k] >= '0' && text[k] <= '9') ++k;
    return k > start;
  };
  if (k < n && text[k] == '-') ++k;
  if (k < n && text[k] == '0') {
    ++k;
  } else if (!digits()) {
    return false;
  }
  if (k < n && text[k] == '.') {
    ++k;
    if (!digits()) return false;
  }
  if (k < n && (text[k] == 'e' || text[k] == 'E')) {
    ++k;
    if (k < n && (text[k] == '+' || text[k] == '-')) ++k;
    if (!digits()) return false;
  }
  return k == n;
}

}  // namespace

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
    : options_(options), format_(options.format), out_(out), err_(err) {}

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

void RecordWriter::AppendDelimited(const std::string& text) {
  if (format_ == Format::kCsv) {
    bool plain = true;
    for (char c : text) {
      if (c == ',' || c == '"' || c == '\r' || c == '\n') {
        plain = false;
        break;
      }
    }
    if (plain) {
      line_ += text;
      return;
    }
    line_ += '"';
    for (char c : text) {
      if (c == '"') line_ += '"';
      line_ += c;
    }
    line_ += '"';
    return;
  }
  for (char c : text) {
    if (c == '\t')
      line_ += "\\t";
    else if (c == '\n')
      line_ += "\\n";
    else if (c == '\r')
      line_ += "\\r";
    else if (c == '\\')
      line_ += "\\\\";
    else
      line_ += c;
  }
}

// A field of a CSV or TSV record: the value's text, the --null text for
// NULL, nothing for no value.
void RecordWriter::AppendField(const Value& value) {
  if (value.kind == Value::kText || value.kind == Value::kString) {
    AppendDelimited(value.s);
  } else if (value.kind == Value::kNull) {
    AppendDelimited(options_.null_text);
  } else if (value.kind != Value::kNone) {
    AppendDelimited(ValueText(value));
  }
}

void RecordWriter::AppendJsonString(const std::string& text) {
  line_ += '"';
  for (std::size_t k = 0; k < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[k]);
    if (c == '"' || c == '\\') {
      line_ += '\\';
      line_ += static_cast<char>(c);
      ++k;
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      line_ += escaped;
      ++k;
    } else if (c < 0x80) {
      line_ += static_cast<char>(c);
      ++k;
    } else {
      char32_t code = 0;
      std::size_t length = Utf8Sequence(text, k, code);
      if (length == 0) {
        line_ += "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER
        if (!invalid_utf8_warned_) {
          std::fprintf(err_, "kezq: warning: a value is not valid UTF-8; its invalid octets print as U+FFFD\n");
          invalid_utf8_warned_ = true;
        }
        ++k;
      } else {
        line_.append(text, k, length);
        k += length;
      }
    }
  }
  line_ += '"';
}

void RecordWriter::AppendJson(const std::vector<std::string>& names, const std::vector<Value>& values) {
  line_ += '{';
  for (std::size_t k = 0; k < names.size() && k < values.size(); ++k) {
    if (k > 0) line_ += ", ";
    AppendJsonString(names[k]);
    line_ += ": ";
    const Value& value = values[k];
    switch (value.kind) {
      case Value::kNone:
      case Value::kNull:
        line_ += "null";
        break;
      case Value::kString:
        AppendJsonString(value.s);
        break;
      case Value::kText:
        if (IsJsonNumber(value.s))
          line_ += value.s;
        else
          AppendJsonString(value.s);
        break;
      case Value::kInt:
        line_ += ValueText(value);
        break;
      case Value::kDouble:
        // inf, -inf and nan are no JSON numbers: they print as strings.
        if (std::isfinite(value.d))
          line_ += ValueText(value);
        else
          AppendJsonString(ValueText(value));
        break;
    }
  }
  line_ += '}';
  WriteLine();
}

void RecordWriter::WriteSingle(const std::string& name, const Value& value) {
  if (value.kind == Value::kNone) return;
  if (format_ == Format::kJson) {
    AppendJson(Header({name}), {value});
    return;
  }
  if (format_ == Format::kTable) {
    line_ += value.kind == Value::kNull ? options_.null_text : ValueText(value);
  } else {
    AppendField(value);
  }
  WriteLine();
}

void RecordWriter::WriteRecord(const std::vector<std::string>& names, const std::vector<Value>& values) {
  switch (format_) {
    case Format::kJson:
      if (!header_done_) Header(names);
      header_done_ = true;
      AppendJson(header_, values);
      return;
    case Format::kCsv:
    case Format::kTsv: {
      char separator = format_ == Format::kCsv ? ',' : '\t';
      if (!header_done_ && !options_.no_header) {
        const std::vector<std::string>& header = Header(names);
        for (std::size_t k = 0; k < header.size(); ++k) {
          if (k > 0) line_ += separator;
          AppendDelimited(header[k]);
        }
        WriteLine();
      }
      header_done_ = true;
      for (std::size_t k = 0; k < values.size(); ++k) {
        if (k > 0) line_ += separator;
        AppendField(values[k]);
      }
      WriteLine();
      return;
    }
    case Format::kTable: {
      if (names_.empty()) names_ = Header(names);
      std::vector<std::string> fields;
      fields.reserve(values.size());
      for (const Value& v : values) fields.push_back(v.kind == Value::kNull ? options_.null_text : ValueText(v));
      if (widths_fixed_) {
        WriteTableRow(fields);
        return;
      }
      sample_.push_back(std::move(fields));
      if (sample_.size() >= kTableSample) FlushTable();
      return;
    }
  }
}

void RecordWriter::FlushTable() {
  widths_.assign(names_.size(), 0);
  if (!options_.no_header) {
    for (std::size_t k = 0; k < names_.size(); ++k) widths_[k] = DisplayWidth(names_[k]);
  }
  for (const auto& row : sample_) {
    for (std::size_t k = 0; k < row.size() && k < widths_.size(); ++k) {
      std::size_t width = DisplayWidth(row[k]);
      if (width > widths_[k]) widths_[k] = width;
    }
  }
  widths_fixed_ = true;
  if (!options_.no_header) {
    WriteTableRow(names_);
    std::vector<std::string> rule;
    for (std::size_t w : widths_) rule.push_back(std::string(w, '-'));
    WriteTableRow(rule);
  }
  for (const auto& row : sample_) WriteTableRow(row);
  sample_.clear();
}

void RecordWriter::WriteTableRow(const std::vector<std::string>& fields) {
  for (std::size_t k = 0; k < fields.size(); ++k) {
    if (k > 0) line_ += " | ";
    line_ += fields[k];
    std::size_t width = k < widths_.size() ? widths_[k] : 0;
    if (k + 1 < fields.size()) {
      std::size_t shown = DisplayWidth(fields[k]);
      if (shown < width) line_.append(width - shown, ' ');
    }
  }
  WriteLine();
}

void RecordWriter::Finish() {
  if (format_ == Format::kTable && !widths_fixed_ && !sample_.empty()) FlushTable();
  std::fflush(out_);
}

}  // namespace kezq
