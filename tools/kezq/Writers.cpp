// The record writers of kezq's output formats, and the table that names them.
#include <cmath>
#include <cstring>
#include <memory>

#include "Output.h"

namespace kezq {

namespace {

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

// Aligns its columns on the first rows it sees: it holds at most
// kTableSample rows back, so a walk of millions of rows streams in constant
// memory.
class TableWriter final : public RecordWriter {
 public:
  static const std::size_t kTableSample = 50;
  TableWriter(const Options& options, std::FILE* out, std::FILE* err) : RecordWriter(options, out, err) {}

  void Single(const std::string&, const Value& value) override {
    line_ += value.kind == Value::kNull ? options_.null_text : ValueText(value);
    WriteLine();
  }
  void WriteRecord(const std::vector<std::string>& names, const std::vector<Value>& values) override {
    if (names_.empty()) names_ = Header(names);
    std::vector<std::string> fields;
    fields.reserve(values.size());
    for (const Value& v : values) fields.push_back(v.kind == Value::kNull ? options_.null_text : ValueText(v));
    if (widths_fixed_) {
      WriteRow(fields);
      return;
    }
    sample_.push_back(std::move(fields));
    if (sample_.size() >= kTableSample) FlushTable();
  }
  void Finish() override {
    if (!widths_fixed_ && !sample_.empty()) FlushTable();
    RecordWriter::Finish();
  }

 private:
  void FlushTable();
  void WriteRow(const std::vector<std::string>& fields);

  std::vector<std::string> names_;
  std::vector<std::vector<std::string>> sample_;
  std::vector<std::size_t> widths_;
  bool widths_fixed_ = false;
};

void TableWriter::FlushTable() {
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
    WriteRow(names_);
    std::vector<std::string> rule;
    for (std::size_t w : widths_) rule.push_back(std::string(w, '-'));
    WriteRow(rule);
  }
  for (const auto& row : sample_) WriteRow(row);
  sample_.clear();
}

void TableWriter::WriteRow(const std::vector<std::string>& fields) {
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

// CSV (RFC 4180 quoting) or TSV (backslash escapes), a header line first
// unless --no-header.
class DelimitedWriter final : public RecordWriter {
 public:
  DelimitedWriter(const Options& options, std::FILE* out, std::FILE* err, char separator)
      : RecordWriter(options, out, err), separator_(separator) {}

  void Single(const std::string&, const Value& value) override {
    AppendField(value);
    WriteLine();
  }
  void WriteRecord(const std::vector<std::string>& names, const std::vector<Value>& values) override {
    if (!header_done_ && !options_.no_header) {
      const std::vector<std::string>& header = Header(names);
      for (std::size_t k = 0; k < header.size(); ++k) {
        if (k > 0) line_ += separator_;
        Append(header[k]);
      }
      WriteLine();
    }
    header_done_ = true;
    for (std::size_t k = 0; k < values.size(); ++k) {
      if (k > 0) line_ += separator_;
      AppendField(values[k]);
    }
    WriteLine();
  }

 private:
  void Append(const std::string& text);
  void AppendField(const Value& value);

  char separator_;
  bool header_done_ = false;
};

void DelimitedWriter::Append(const std::string& text) {
  if (separator_ == ',') {
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
void DelimitedWriter::AppendField(const Value& value) {
  if (value.kind == Value::kText || value.kind == Value::kString) {
    Append(value.s);
  } else if (value.kind == Value::kNull) {
    Append(options_.null_text);
  } else if (value.kind != Value::kNone) {
    Append(ValueText(value));
  }
}

// One JSON object per record, on a line of its own.
class JsonWriter final : public RecordWriter {
 public:
  JsonWriter(const Options& options, std::FILE* out, std::FILE* err) : RecordWriter(options, out, err) {}

  void Single(const std::string& name, const Value& value) override { AppendObject(Header({name}), {value}); }
  void WriteRecord(const std::vector<std::string>& names, const std::vector<Value>& values) override {
    if (!header_done_) Header(names);
    header_done_ = true;
    AppendObject(header_, values);
  }

 private:
  void AppendObject(const std::vector<std::string>& names, const std::vector<Value>& values);
  void AppendString(const std::string& text);

  bool header_done_ = false;
  bool invalid_utf8_warned_ = false;
};

void JsonWriter::AppendString(const std::string& text) {
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

void JsonWriter::AppendObject(const std::vector<std::string>& names, const std::vector<Value>& values) {
  line_ += '{';
  for (std::size_t k = 0; k < names.size() && k < values.size(); ++k) {
    if (k > 0) line_ += ", ";
    AppendString(names[k]);
    line_ += ": ";
    const Value& value = values[k];
    switch (value.kind) {
      case Value::kNone:
      case Value::kNull:
        line_ += "null";
        break;
      case Value::kString:
        AppendString(value.s);
        break;
      case Value::kText:
        if (IsJsonNumber(value.s))
          line_ += value.s;
        else
          AppendString(value.s);
        break;
      case Value::kInt:
        line_ += ValueText(value);
        break;
      case Value::kDouble:
        // inf, -inf and nan are no JSON numbers: they print as strings.
        if (std::isfinite(value.d))
          line_ += ValueText(value);
        else
          AppendString(ValueText(value));
        break;
    }
  }
  line_ += '}';
  WriteLine();
}

template <typename Writer>
std::unique_ptr<RecordWriter> Make(const Options& options, std::FILE* out, std::FILE* err) {
  return std::unique_ptr<RecordWriter>(new Writer(options, out, err));
}

template <char kSeparator>
std::unique_ptr<RecordWriter> MakeDelimited(const Options& options, std::FILE* out, std::FILE* err) {
  return std::unique_ptr<RecordWriter>(new DelimitedWriter(options, out, err, kSeparator));
}

// --format's names, their notes for the help, and their writers: the
// option's parser, its error message and the help read this table.
const FormatEntry kFormats[] = {
    {"table", "(default)", Make<TableWriter>},
    {"csv", "", MakeDelimited<','>},
    {"tsv", "", MakeDelimited<'\t'>},
    {"json", "(one object per line)", Make<JsonWriter>},
};

}  // namespace

const FormatEntry* FindFormat(const std::string& name) {
  for (const FormatEntry& entry : kFormats) {
    if (name == entry.name) return &entry;
  }
  return nullptr;
}

std::string FormatList(bool with_notes) {
  std::string list;
  std::size_t count = sizeof kFormats / sizeof kFormats[0];
  for (std::size_t k = 0; k < count; ++k) {
    if (k > 0) list += k + 1 == count ? " or " : ", ";
    list += kFormats[k].name;
    if (with_notes && *kFormats[k].note) list += std::string(" ") + kFormats[k].note;
  }
  return list;
}

std::unique_ptr<RecordWriter> NewRecordWriter(const Options& options, std::FILE* out, std::FILE* err) {
  const FormatEntry* entry = FindFormat(options.format);
  return (entry ? *entry : kFormats[0]).make(options, out, err);
}

}  // namespace kezq
