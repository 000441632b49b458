// kezq's query runner: lines to queries, values to records, errors to the
// error stream with the place they came from.
#include "Runner.h"

#include <algorithm>
#include <cerrno>

#include "LineReader.h"
#include "Progress.h"
#include "Stop.h"
#include "kezdcqr/KezDcQr.h"

namespace kezq {

namespace {

bool IsBlank(const std::string& line) {
  return line.find_first_not_of(" \t\r") == std::string::npos;
}

bool IsComment(const std::string& line) {
  std::size_t first = line.find_first_not_of(" \t");
  return first != std::string::npos && line.compare(first, 2, "--") == 0;
}

// The data block that a --rows path names, looked up again at every row so
// that no pointer outlives a deletion.
KezDcQrQResult* DataBlock(const KezUnicodeString& key) {
  KezDcQrQResult* node = KezDcQrQResult::QRHTab->Locate(key);
  return node && node->GetKind() == KezDcQrQResult::kData ? node : nullptr;
}

std::string UniqueName(const std::string& name, const std::vector<std::string>& taken) {
  std::string candidate = name;
  for (int k = 2; std::find(taken.begin(), taken.end(), candidate) != taken.end(); ++k) {
    candidate = name + "_" + std::to_string(k);
  }
  return candidate;
}

}  // namespace

int NextQueryLine(LineReader& in, QueryLine& line) {
  std::string text;
  line.comment.clear();
  for (;;) {
    int result = in.Next(text);
    if (result != LineReader::kLine) return result;
    if (IsBlank(text)) {
      line.comment.clear();
    } else if (IsComment(text)) {
      line.comment += text + "\n";
    } else {
      line.text = text;
      line.origin = in.Name() + ":" + std::to_string(in.Number());
      return LineReader::kLine;
    }
  }
}

KezDcQrQRCell* LoneCell(KezDcQrQuery* query) {
  KezDcQrQResult* result = query->p_QResult;
  if (!result || result->GetKind() != KezDcQrQResult::kExpression) return nullptr;
  // The expression's own kind: a query whose text names an expression that
  // an earlier query created says only "Expression".
  auto* expression = static_cast<KezDcQrQRExpression*>(result);
  if (expression->SimpleType != "Exp_Cell" || expression->ListOfPostFixedExpression.Size() < 1) return nullptr;
  KezDcQrQResult* node = KezDcQrQResult::QRHTab->Locate(expression->ListOfPostFixedExpression[1]);
  if (!node || node->GetKind() != KezDcQrQResult::kCell || node->SubQueryFlag == 'Y') return nullptr;
  return static_cast<KezDcQrQRCell*>(node);
}

Value ValueOf(KezDcQrQuery* query) {
  Value value;
  KezDcQrQResult* result = query->p_QResult;
  if (!result || result->GetKind() != KezDcQrQResult::kExpression) return value;
  auto* expression = static_cast<KezDcQrQRExpression*>(result);
  if (expression->BasicType == "int" && expression->p_IntQResult) {
    value.kind = Value::kInt;
    value.i = expression->IntValue;
  } else if (expression->BasicType == "double" && expression->p_DoubleQResult) {
    value.kind = Value::kDouble;
    value.d = expression->DoubleValue;
  } else if (expression->BasicType == "string" && expression->p_StringQResult) {
    value.kind = Value::kString;
    value.s = expression->p_StringQResult;
  }
  return value;
}

// The text that the cell's last read left, or NULL.
void CellValue(KezDcQrQRCell* cell, const char* text, Value& value) {
  if (cell->IsNull()) {
    value.kind = Value::kNull;
    value.s.clear();
    return;
  }
  value.kind = Value::kText;
  value.s.assign(text ? text : "");
}

void GetValue(KezDcQrQuery* query, Value& value) {
  KezDcQrQRCell* cell = query->Function == "Get" ? LoneCell(query) : nullptr;
  if (!cell) {
    query->DoQuery();
    value = query->Function == "Get" ? ValueOf(query) : Value();
    return;
  }
  // A lone cell prints its text as the database gave it: reading the cell
  // alone skips the expression's conversion of the text to a number.
  CellValue(cell, cell->ReadText(), value);
}

std::string ColumnName(KezDcQrQuery* query) {
  KezDcQrQResult* result = query->p_QResult;
  if (!result || result->GetKind() != KezDcQrQResult::kExpression) return query->DataPath.Std();
  auto* expression = static_cast<KezDcQrQRExpression*>(result);
  if (expression->SimpleType != "Exp_Cell" || expression->ListOfPostFixedExpression.Size() < 1) {
    return query->DataPath.Std();
  }
  // The single element is the cell's key: its last component at bracket
  // depth 0 is the column.
  const std::string& key = expression->ListOfPostFixedExpression[1].Std();
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t k = 0; k < key.size(); ++k) {
    if (key[k] == '[') ++depth;
    if (key[k] == ']') --depth;
    if (key[k] == ':' && depth == 0) start = k + 1;
  }
  return start < key.size() ? key.substr(start) : query->DataPath.Std();
}

Runner::Runner(const Options& options, std::FILE* out, std::FILE* err)
    : options_(options), out_(out), err_(err), writer_(NewRecordWriter(options, out, err)) {}

namespace {

bool IsWarning(const std::string& message) {
  return message.compare(0, 7, "WARNING") == 0 || message.compare(0, 7, "Warning") == 0;
}

// What makes two warnings the same: a cut warning names its column and the
// length of the value, which changes from row to row.
std::string WarningKey(const std::string& message) {
  std::size_t octets = message.find(" octets)");
  if (octets == std::string::npos) return message;
  std::size_t open = message.rfind(" (", octets);
  return open == std::string::npos ? message : message.substr(0, open);
}

}  // namespace

bool Runner::FlushErrors(const std::string& origin) {
  int count = KezDcCMError::GetNbErrors();
  long dropped = KezDcCMError::GetNbDropped();
  if (count == 0 && dropped == 0) return false;
  last_errors_.clear();
  bool failed = dropped > 0;
  if (dropped > 0) std::fprintf(err_, "%s: (%ld earlier messages dropped)\n", origin.c_str(), dropped);
  for (int i = 1; i <= count; ++i) {
    std::string message = KezDcCMError::GetError(i).Std();
    if (message.empty() || message.back() != '\n') message += '\n';
    last_errors_.push_back(message);
    if (IsWarning(message)) {
      // A warning is said once per run; it fails the run only with --strict.
      if (options_.strict) failed = true;
      if (!warned_.insert(WarningKey(message)).second) continue;
    } else {
      failed = true;
    }
    std::fprintf(err_, "%s: %s", origin.c_str(), message.c_str());
  }
  KezDcCMError::ClearErrors();
  return failed;
}

void Runner::Echo(const QueryLine& line) {
  if (!options_.echo) return;
  std::fprintf(out_, "%s> %s\n", line.comment.c_str(), line.text.c_str());
}

bool Runner::Stopping() {
  if (output_error_ == 0 && std::ferror(out_)) output_error_ = errno ? errno : EIO;
  return StopSignal() != 0 || output_error_ != 0;
}

void Runner::CountInsert(KezDcQrQuery* query, bool failed) {
  if (!failed && query->Function == "Put" && query->TypeOfQResult == "Exp_Data" && query->DataPathT.IsEmpty()) {
    ++inserted_;
  }
}

bool Runner::RunLine(const QueryLine& line) {
  Echo(line);
  KezDcQrQuery* query = KezDcQrQuery::NewQuery(line.text.c_str());
  Value value;
  GetValue(query, value);
  bool failed = FlushErrors(line.origin);
  // A failed query prints no value.
  if (!failed && query->Function == "Get") writer_->WriteSingle(ColumnName(query), value);
  CountInsert(query, failed);
  if (options_.echo) std::fprintf(out_, "\n");
  if (std::fflush(out_) != 0 && output_error_ == 0) output_error_ = errno ? errno : EIO;
  // A script line runs once: its query and expression go, what they named
  // (variables, rows being filled, open batches) stays for later lines.
  if (options_.rows.empty()) KezDcQrQuery::DeleteOneOffQuery(query);
  return !failed;
}

// Reports why an input ended early; true when it did.
bool Runner::ReadFailed(LineReader& in, int result) {
  if (result != LineReader::kTooLong && result != LineReader::kError) return false;
  if (result == LineReader::kTooLong) {
    std::fprintf(err_, "%s:%d: %s: the rest of %s is not read\n", in.Name().c_str(), in.Number(), in.Error().c_str(),
                 in.Name().c_str());
  } else {
    std::fprintf(err_, "kezq: cannot read query file '%s': %s\n", in.Name().c_str(), in.Error().c_str());
  }
  return true;
}

int Runner::Run(const std::vector<LineReader*>& inputs, const std::vector<QueryLine>& arguments) {
  int status = 0;
  if (!options_.rows.empty()) {
    // The script runs once per row: it is read whole first, each line
    // within the bound of LineReader.
    std::vector<QueryLine> script;
    for (LineReader* in : inputs) {
      QueryLine line;
      int result = LineReader::kEnd;
      while ((result = NextQueryLine(*in, line)) == LineReader::kLine) script.push_back(line);
      if (result == LineReader::kStopped) return status;
      if (ReadFailed(*in, result)) return 1;
    }
    script.insert(script.end(), arguments.begin(), arguments.end());
    return RunRows(script);
  }
  // Lines run as they are read.
  auto run = [&](const QueryLine& line) {
    if (!RunLine(line)) status = 1;
    return (status == 0 || options_.keep_going) && !Stopping();
  };
  bool going = !Stopping();
  for (std::size_t k = 0; going && k < inputs.size(); ++k) {
    QueryLine line;
    int result = LineReader::kEnd;
    while (going && (result = NextQueryLine(*inputs[k], line)) == LineReader::kLine) going = run(line);
    if (going && ReadFailed(*inputs[k], result)) {
      status = 1;
      going = options_.keep_going;
    }
    if (going && result == LineReader::kStopped) going = false;
  }
  for (std::size_t k = 0; going && k < arguments.size(); ++k) going = run(arguments[k]);
  writer_->Finish();
  return status;
}

// A query line of a --rows script as its first row found it: its query
// (queries live until kezq deletes them, which a walk never does) and, for a
// "Get" of a lone cell, the cell's key, looked up again at every row.
struct PlannedLine {
  KezDcQrQuery* query = nullptr;
  bool get = false;
  KezUnicodeString cell_key;
};

bool Runner::RunRecord(const std::vector<QueryLine>& lines, std::vector<PlannedLine>& plans,
                       std::vector<std::string>& names, std::vector<Value>& values) {
  bool ok = true;
  bool first = plans.empty();
  std::size_t count = 0;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const QueryLine& line = lines[k];
    if (k == plans.size()) {
      PlannedLine plan;
      plan.query = KezDcQrQuery::NewQuery(line.text.c_str());
      plan.get = plan.query->Function == "Get";
      if (plan.get && LoneCell(plan.query)) {
        plan.cell_key = static_cast<KezDcQrQRExpression*>(plan.query->p_QResult)->ListOfPostFixedExpression[1];
      }
      plans.push_back(plan);
    }
    const PlannedLine& plan = plans[k];
    // The values vector keeps its strings from row to row.
    if (plan.get && count == values.size()) values.emplace_back();
    Value scratch;
    Value& value = plan.get ? values[count++] : scratch;
    KezDcQrQResult* node = plan.cell_key.IsEmpty() ? nullptr : KezDcQrQResult::QRHTab->Locate(plan.cell_key);
    if (node && node->GetKind() == KezDcQrQResult::kCell && node->SubQueryFlag != 'Y') {
      auto* cell = static_cast<KezDcQrQRCell*>(node);
      CellValue(cell, cell->ReadText(), value);
    } else {
      GetValue(plan.query, value);
    }
    if (plan.get && first) names.push_back(UniqueName(ColumnName(plan.query), names));
    bool failed = FlushErrors(line.origin);
    CountInsert(plan.query, failed);
    if (failed) {
      // A failed query prints no value: an empty field, null in JSON.
      if (plan.get) value.kind = Value::kNone;
      ok = false;
      if (!options_.keep_going) break;
    }
  }
  values.resize(count);
  return ok;
}

int Runner::RunRows(const std::vector<QueryLine>& lines) {
  for (const QueryLine& line : lines) Echo(line);
  KezDcQrQResult* node = KezDcQrQResult::NewQResult(options_.rows.c_str());
  if (!node || node->GetKind() != KezDcQrQResult::kData) {
    FlushErrors("--rows");
    std::fprintf(err_, "--rows: <%s> does not name a data block\n", options_.rows.c_str());
    return 1;
  }
  KezUnicodeString key = static_cast<KezDcQrQRData*>(node)->Key();
  node->GetData();
  int status = FlushErrors("--rows") ? 1 : 0;
  Progress progress(err_);
  std::vector<PlannedLine> plans;
  std::vector<std::string> names;
  std::vector<Value> values;
  long done = 0;
  while ((status == 0 || options_.keep_going) && !Stopping() && (node = DataBlock(key)) && node->IsMoreData() &&
         (options_.limit == 0 || done < options_.limit)) {
    if (!RunRecord(lines, plans, names, values)) status = 1;
    if ((status == 0 || options_.keep_going) && !values.empty()) writer_->WriteRecord(names, values);
    progress.Update(++done);
    if ((node = DataBlock(key))) node->GetNextLine();
    if (FlushErrors("--rows")) status = 1;
  }
  progress.Finish();
  writer_->Finish();
  return status;
}

bool Runner::NextRow(const std::string& path) {
  KezDcQrQResult* node = KezDcQrQResult::NewQResult(path.c_str());
  if (node && node->GetKind() == KezDcQrQResult::kData) node->GetNextLine();
  if (!node || node->GetKind() != KezDcQrQResult::kData) {
    FlushErrors(".next");
    std::fprintf(err_, ".next: <%s> does not name a data block\n", path.c_str());
    return false;
  }
  return !FlushErrors(".next");
}

bool Runner::ShowRows(const std::string& path, long count) {
  KezDcQrQResult* node = KezDcQrQResult::NewQResult(path.c_str());
  if (!node || node->GetKind() != KezDcQrQResult::kData) {
    FlushErrors(".rows");
    std::fprintf(err_, ".rows: <%s> does not name a data block\n", path.c_str());
    return false;
  }
  auto* block = static_cast<KezDcQrQRData*>(node);
  KezUnicodeString key = block->Key();
  block->GetQResult();
  std::vector<std::string> names;
  KezDcQrQRAccessor* accessor = block->p_QRAccessor;
  for (int k = 1; accessor && k <= static_cast<int>(accessor->NbAtt); ++k) {
    names.push_back(UniqueName(accessor->AccessorList[k].Std(), names));
  }
  bool ok = !FlushErrors(".rows");
  std::unique_ptr<RecordWriter> table = NewRecordWriter(options_, out_, err_);
  for (long done = 0; (count == 0 || done < count) && (node = DataBlock(key)) && node->IsMoreData(); ++done) {
    table->WriteRecord(names, RowValues(static_cast<KezDcQrQRData*>(node)));
    if ((node = DataBlock(key))) node->GetNextLine();
  }
  table->Finish();
  return !FlushErrors(".rows") && ok;
}

// The texts of every attribute of the data block's current row, read
// through the cells of the block (created on first use).
std::vector<Value> Runner::RowValues(KezDcQrQRData* block) {
  std::vector<Value> values;
  KezDcQrQRAccessor* accessor = block->p_QRAccessor;
  for (int k = 1; accessor && k <= static_cast<int>(accessor->NbAtt); ++k) {
    KezUnicodeString type = "Cell";
    KezDcQrQResult* cell = KezDcQrQResult::NewQR(block->DataSource, block->Session, block->Rowset, block->Accessor,
                                                 block->Block, accessor->AccessorList[k], type);
    Value value;
    if (cell && cell->GetKind() == KezDcQrQResult::kCell) {
      auto* lone = static_cast<KezDcQrQRCell*>(cell);
      CellValue(lone, lone->ReadText(), value);
    }
    values.push_back(value);
  }
  return values;
}

}  // namespace kezq
