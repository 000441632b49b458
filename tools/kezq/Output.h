// The values that "Get" queries yield and the record formats kezq prints
// them in: table, csv, tsv and json (one object per line).
#ifndef KEZQ_OUTPUT_H
#define KEZQ_OUTPUT_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Options.h"

namespace kezq {

struct Value {
  // kNone: no value (the query failed or yields nothing); kNull: SQL NULL;
  // kText: a cell's text as the database gave it (JSON writes it as a
  // number when it is one as JSON spells numbers).
  enum Kind { kNone, kNull, kInt, kDouble, kString, kText } kind = kNone;
  long long i = 0;
  double d = 0.0;
  std::string s;
};

// Ints as integers; a double that is a whole number below 2^53 in magnitude
// as an integer, another as its shortest round-trip text, without exponent
// when 1e-5 <= |x| < 1e16; texts as they are; kNone and kNull empty.
std::string ValueText(const Value& value);
// The number of terminal columns a UTF-8 text takes: wide characters count
// two, combining marks none, an invalid octet one.
std::size_t DisplayWidth(const std::string& text);

// The length of the valid UTF-8 sequence at text[k] (with its code point
// in code), or 0 when the octets there are not one.
std::size_t Utf8Sequence(const std::string& text, std::size_t k, char32_t& code);

// Writes records of named values in one output format; each format of the
// format table (Writers.cpp) is a subclass.
class RecordWriter {
 public:
  virtual ~RecordWriter() = default;
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  // One named value on its own (a "Get" outside --rows); nothing for kNone.
  void WriteSingle(const std::string& name, const Value& value) {
    if (value.kind != Value::kNone) Single(name, value);
  }
  // One record of a --rows walk; the names are those of every record.
  virtual void WriteRecord(const std::vector<std::string>& names, const std::vector<Value>& values) = 0;
  // Prints what the writer still holds back, and flushes.
  virtual void Finish();

 protected:
  RecordWriter(const Options& options, std::FILE* out, std::FILE* err);
  virtual void Single(const std::string& name, const Value& value) = 0;
  // The names with --header's names in place of the first ones.
  const std::vector<std::string>& Header(const std::vector<std::string>& names);
  // Ends line_ and writes it.
  void WriteLine();

  const Options& options_;
  std::FILE* out_;
  std::FILE* err_;
  std::string line_;  // the line being built, reused from record to record
  std::vector<std::string> header_;
};

// A row of the output-format table: --format's name, a note for the help
// (empty when none), and the writer's maker.
struct FormatEntry {
  const char* name;
  const char* note;
  std::unique_ptr<RecordWriter> (*make)(const Options& options, std::FILE* out, std::FILE* err);
};

// The table's row for a name, or null.
const FormatEntry* FindFormat(const std::string& name);
// "table, csv, tsv or json", with each format's note when with_notes.
std::string FormatList(bool with_notes);
// The writer of options.format.
std::unique_ptr<RecordWriter> NewRecordWriter(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace kezq

#endif
