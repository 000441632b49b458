// The values that "Get" queries yield and the record formats kezq prints
// them in: table, csv, tsv and json (one object per line).
#ifndef KEZQ_OUTPUT_H
#define KEZQ_OUTPUT_H

#include <cstdio>
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

// Writes records of named values. Table output aligns its columns on the
// first rows it sees (it holds at most kTableSample rows back), so a walk of
// millions of rows streams in constant memory.
class RecordWriter {
 public:
  static const std::size_t kTableSample = 50;

  RecordWriter(const Options& options, std::FILE* out, std::FILE* err);
  // One named value on its own (a "Get" outside --rows); nothing for kNone.
  void WriteSingle(const std::string& name, const Value& value);
  // One record of a --rows walk; the names are those of every record.
  void WriteRecord(const std::vector<std::string>& names, const std::vector<Value>& values);
  // Prints what the table sample still holds.
  void Finish();

 private:
  const std::vector<std::string>& Header(const std::vector<std::string>& names);
  void AppendField(const Value& value);
  void AppendJson(const std::vector<std::string>& names, const std::vector<Value>& values);
  void AppendJsonString(const std::string& text);
  void AppendDelimited(const std::string& text);
  void WriteLine();
  void FlushTable();
  void WriteTableRow(const std::vector<std::string>& fields);

  const Options& options_;
  Format format_;
  std::FILE* out_;
  std::FILE* err_;
  bool header_done_ = false;
  bool invalid_utf8_warned_ = false;
  std::string line_;  // the line being built, reused from record to record
  std::vector<std::string> header_;
  std::vector<std::string> names_;
  std::vector<std::vector<std::string>> sample_;
  std::vector<std::size_t> widths_;
  bool widths_fixed_ = false;
};

}  // namespace kezq

#endif
