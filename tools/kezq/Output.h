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
  enum Kind { kNone, kInt, kDouble, kString } kind = kNone;
  long long i = 0;
  double d = 0.0;
  std::string s;
};

// Ints as integers, doubles in their shortest exact form, texts as they are.
std::string ValueText(const Value& value);

// Writes records of named values. Table output aligns its columns on the
// first rows it sees (it holds at most kTableSample rows back), so a walk of
// millions of rows streams in constant memory.
class RecordWriter {
 public:
  static const std::size_t kTableSample = 50;

  RecordWriter(Format format, std::FILE* out) : format_(format), out_(out) {}
  // One named value on its own (a "Get" outside --rows).
  void WriteSingle(const std::string& name, const Value& value);
  // One record of a --rows walk; the names are those of every record.
  void WriteRecord(const std::vector<std::string>& names, const std::vector<Value>& values);
  // Prints what the table sample still holds.
  void Finish();

 private:
  void WriteDelimited(const std::vector<std::string>& fields, char separator);
  void WriteJson(const std::vector<std::string>& names, const std::vector<Value>& values);
  void FlushTable();
  void WriteTableRow(const std::vector<std::string>& fields);

  Format format_;
  std::FILE* out_;
  bool header_done_ = false;
  std::vector<std::string> names_;
  std::vector<std::vector<std::string>> sample_;
  std::vector<std::size_t> widths_;
  bool widths_fixed_ = false;
};

}  // namespace kezq

#endif
