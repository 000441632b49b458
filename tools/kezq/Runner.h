// Running query lines: each line becomes a query that is created, run and
// checked for errors; "Get" values are printed through a RecordWriter, once
// or once per row of a data block (--rows).
#ifndef KEZQ_RUNNER_H
#define KEZQ_RUNNER_H

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Options.h"
#include "Output.h"

class KezDcQrQuery;
class KezDcQrQRData;
class KezDcQrQRCell;

namespace kezq {

struct QueryLine {
  std::string text;
  std::string origin;   // "file:line" or "argument N": the prefix of its errors
  std::string comment;  // the "--" comment lines just before it
};

class LineReader;
struct PlannedLine;

// The next query line of the input: blank lines and lines starting with
// "--" are not queries (the latter become the comment of the next query).
// Any result but LineReader::kLine ends the input.
int NextQueryLine(LineReader& in, QueryLine& line);

class Runner {
 public:
  Runner(const Options& options, std::FILE* out, std::FILE* err);

  // Runs the lines of each input in turn, then the argument lines, each as
  // soon as it is read (once per row with --rows, where the whole script is
  // read first); returns the exit status: 0 when no query reported an
  // error, 1 otherwise. Stops early on a stop signal or a closed output.
  int Run(const std::vector<LineReader*>& inputs, const std::vector<QueryLine>& arguments);
  // Runs one line and prints its value when it is a "Get"; false when it
  // reported an error.
  bool RunLine(const QueryLine& line);
  // Walks count rows (0: all) of the data block path, printing every
  // attribute of each row; false on error.
  bool ShowRows(const std::string& path, long count);
  // Moves the data block path to its next row; false on error.
  bool NextRow(const std::string& path);

  // Prints the collected messages to the error stream with the prefix, each
  // warning once per run, then clears them; true when one was an error (or,
  // with --strict, a warning).
  bool FlushErrors(const std::string& origin);
  const std::vector<std::string>& LastErrors() const { return last_errors_; }
  // True once a stop signal came or the output could not be written.
  bool Stopping();
  // The errno of a failed write to the output, 0 while none failed.
  int OutputError() const { return output_error_; }
  // Rows inserted by data-block puts that reported nothing.
  long Inserted() const { return inserted_; }
  void Finish() { writer_->Finish(); }

 private:
  std::vector<Value> RowValues(KezDcQrQRData* block);
  int RunRows(const std::vector<QueryLine>& lines);
  bool ReadFailed(LineReader& in, int result);
  void CountInsert(KezDcQrQuery* query, bool failed);
  bool RunRecord(const std::vector<QueryLine>& lines, std::vector<PlannedLine>& plans, std::vector<std::string>& names,
                 std::vector<Value>& values);
  void Echo(const QueryLine& line);

  const Options& options_;
  std::FILE* out_;
  std::FILE* err_;
  std::unique_ptr<RecordWriter> writer_;
  std::vector<std::string> last_errors_;
  std::set<std::string> warned_;  // the warnings already said
  int output_error_ = 0;
  long inserted_ = 0;
};

// The value that a "Get" left in the query's expression.
Value ValueOf(KezDcQrQuery* query);
// The cell that a query names alone ("Get(@...:amount)"), or null.
KezDcQrQRCell* LoneCell(KezDcQrQuery* query);
// Runs the query; for a "Get", sets value to what it yields: the text of a
// lone cell as the database gave it, else the expression's value.
void GetValue(KezDcQrQuery* query, Value& value);
// The column name of a query: the column for a lone cell, else the first
// argument's text.
std::string ColumnName(KezDcQrQuery* query);

}  // namespace kezq

#endif
