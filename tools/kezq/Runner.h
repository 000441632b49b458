// Running query lines: each line becomes a query that is created, run and
// checked for errors; "Get" values are printed through a RecordWriter, once
// or once per row of a data block (--rows).
#ifndef KEZQ_RUNNER_H
#define KEZQ_RUNNER_H

#include <cstdio>
#include <string>
#include <vector>

#include "Options.h"
#include "Output.h"

class KezDcQrQuery;
class KezDcQrQRData;

namespace kezq {

struct QueryLine {
  std::string text;
  std::string origin;   // "file:line" or "argument N": the prefix of its errors
  std::string comment;  // the "--" comment lines just before it
};

// Appends the query lines of a file ('-': standard input); blank lines and
// lines starting with "--" are not queries. False with error set when the
// file cannot be read.
bool ReadQueryFile(const std::string& path, std::vector<QueryLine>& lines, std::string& error);

class Runner {
 public:
  Runner(const Options& options, std::FILE* out, std::FILE* err);

  // Runs every line (once per row with --rows); returns the exit status: 0
  // when no query reported an error, 1 otherwise.
  int Run(const std::vector<QueryLine>& lines);
  // Runs one line and prints its value when it is a "Get"; false when it
  // reported an error.
  bool RunLine(const QueryLine& line);
  // Walks count rows (0: all) of the data block path, printing every
  // attribute of each row; false on error.
  bool ShowRows(const std::string& path, long count);
  // Moves the data block path to its next row; false on error.
  bool NextRow(const std::string& path);

  // Prints the collected messages to the error stream with the prefix, then
  // clears them; true when there were any.
  bool FlushErrors(const std::string& origin);
  const std::vector<std::string>& LastErrors() const { return last_errors_; }
  void Finish() { writer_.Finish(); }

 private:
  std::vector<Value> RowValues(KezDcQrQRData* block);
  int RunRows(const std::vector<QueryLine>& lines);
  bool RunRecord(const std::vector<QueryLine>& lines, std::vector<std::string>& names, std::vector<Value>& values);
  void Echo(const QueryLine& line);

  const Options& options_;
  std::FILE* out_;
  std::FILE* err_;
  RecordWriter writer_;
  std::vector<std::string> last_errors_;
};

// The value that a "Get" left in the query's result.
Value ValueOf(KezDcQrQuery* query);
// The column name of a query: the cell name for a single cell, else the
// first argument's text.
std::string ColumnName(KezDcQrQuery* query);

}  // namespace kezq

#endif
