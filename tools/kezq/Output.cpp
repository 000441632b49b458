// Value texts and the four record formats of kezq.
#include "Output.h"

#include <charconv>
#include <cmath>

namespace kezq {

namespace {

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string TsvField(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\\')
      out += "\\\\";
    else
      out += c;
  }
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string JsonValue(const Value& value) {
  if (value.kind == Value::kString) return JsonString(value.s);
  if (value.kind == Value::kNone) return "null";
  if (value.kind == Value::kDouble && !std::isfinite(value.d)) return JsonString(ValueText(value));
  return ValueText(value);
}

}  // namespace

std::string ValueText(const Value& value) {
  switch (value.kind) {
    case Value::kInt:
      return std::to_string(value.i);
    case Value::kDouble: {
      char buffer[64];
      auto result = std::to_chars(buffer, buffer + sizeof buffer, value.d);
      return std::string(buffer, result.ptr);
    }
    case Value::kString:
      return value.s;
    case Value::kNone:
      break;
  }
  return std::string();
}

void RecordWriter::WriteSingle(const std::string& name, const Value& value) {
  if (format_ == Format::kJson) {
    WriteJson({name}, {value});
    return;
  }
  std::string text = ValueText(value);
  if (format_ == Format::kCsv) text = CsvField(text);
  if (format_ == Format::kTsv) text = TsvField(text);
  std::fprintf(out_, "%s\n", text.c_str());
}

void RecordWriter::WriteRecord(const std::vector<std::string>& names, const std::vector<Value>& values) {
  std::vector<std::string> fields;
  fields.reserve(values.size());
  for (const Value& v : values) fields.push_back(ValueText(v));
  switch (format_) {
    case Format::kJson:
      WriteJson(names, values);
      return;
    case Format::kCsv:
    case Format::kTsv:
      if (!header_done_) WriteDelimited(names, format_ == Format::kCsv ? ',' : '\t');
      header_done_ = true;
      WriteDelimited(fields, format_ == Format::kCsv ? ',' : '\t');
      return;
    case Format::kTable:
      names_ = names;
      if (widths_fixed_) {
        WriteTableRow(fields);
        return;
      }
      sample_.push_back(fields);
      if (sample_.size() >= kTableSample) FlushTable();
      return;
  }
}

void RecordWriter::WriteDelimited(const std::vector<std::string>& fields, char separator) {
  std::string line;
  for (std::size_t k = 0; k < fields.size(); ++k) {
    if (k > 0) line += separator;
    line += separator == ',' ? CsvField(fields[k]) : TsvField(fields[k]);
  }
  std::fprintf(out_, "%s\n", line.c_str());
}

void RecordWriter::WriteJson(const std::vector<std::string>& names, const std::vector<Value>& values) {
  std::string line = "{";
  for (std::size_t k = 0; k < names.size() && k < values.size(); ++k) {
    if (k > 0) line += ", ";
    line += JsonString(names[k]) + ": " + JsonValue(values[k]);
  }
  std::fprintf(out_, "%s}\n", line.c_str());
}

void RecordWriter::FlushTable() {
  widths_.assign(names_.size(), 0);
  for (std::size_t k = 0; k < names_.size(); ++k) widths_[k] = names_[k].size();
  for (const auto& row : sample_) {
    for (std::size_t k = 0; k < row.size() && k < widths_.size(); ++k) {
      if (row[k].size() > widths_[k]) widths_[k] = row[k].size();
    }
  }
  widths_fixed_ = true;
  WriteTableRow(names_);
  std::vector<std::string> rule;
  for (std::size_t w : widths_) rule.push_back(std::string(w, '-'));
  WriteTableRow(rule);
  for (const auto& row : sample_) WriteTableRow(row);
  sample_.clear();
}

void RecordWriter::WriteTableRow(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t k = 0; k < fields.size(); ++k) {
    if (k > 0) line += " | ";
    line += fields[k];
    std::size_t width = k < widths_.size() ? widths_[k] : 0;
    if (k + 1 < fields.size() && fields[k].size() < width) line.append(width - fields[k].size(), ' ');
  }
  std::fprintf(out_, "%s\n", line.c_str());
}

void RecordWriter::Finish() {
  if (format_ == Format::kTable && !widths_fixed_ && !sample_.empty()) FlushTable();
  std::fflush(out_);
}

}  // namespace kezq
