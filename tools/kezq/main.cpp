// kezq: runs KezDcQr queries from the command line, from files, once per
// row of a data block, or at an interactive prompt.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Discovery.h"
#include "Interactive.h"
#include "LineReader.h"
#include "Options.h"
#include "Runner.h"
#include "Stop.h"
#include "kezdcqr/KezDcQr.h"

namespace {

int Usage(const std::string& error) {
  std::fprintf(stderr, "kezq: %s (try kezq --help)\n", error.c_str());
  return 2;
}

// Registers the data sources and catalogs and sets the trace levels.
bool Configure(const kezq::Options& options, std::string& error) {
  for (const auto& catalog : options.catalogs) {
    if (!KezDcDbDataSourceFactory::LoadCatalogFile(catalog.c_str())) {
      error = "cannot read catalog '" + catalog + "'";
      return false;
    }
  }
  for (const auto& source : options.sources) {
    KezDcDbDataSourceFactory::RegisterDataSource(source.first.c_str(), source.second.c_str());
  }
  for (const auto& view : options.views) {
    std::size_t colon = view.first.find(':');
    std::string source = colon == std::string::npos ? std::string() : view.first.substr(0, colon);
    std::string name = colon == std::string::npos ? view.first : view.first.substr(colon + 1);
    KezDcDbDataSourceFactory::AddSessionView(source.c_str(), name.c_str(), view.second.c_str());
  }
  for (const auto& trace : options.traces) {
    if (KezTrace::SetLevelOf(trace.first.c_str(), trace.second) == 0) {
      error = "no trace channel named '" + trace.first + "' (TraceQResult, TraceQuery or *)";
      return false;
    }
  }
  return true;
}

// Says why kezq stopped early and what became of the rows it inserted;
// returns the exit status: 128 + the signal's number (SIGPIPE's for a
// closed output), 1 for another output failure.
int SayStopped(kezq::Runner& runner, bool lost) {
  int signal = kezq::StopSignal();
  std::string why = signal != 0
                        ? std::string("stopped by ") + kezq::SignalName(signal)
                        : std::string("stopped: cannot write the output (") + std::strerror(runner.OutputError()) + ")";
  if (signal == 0 && runner.OutputError() == EPIPE) signal = SIGPIPE;
  long rows = runner.Inserted();
  const char* noun = rows == 1 ? "row" : "rows";
  if (lost) {
    std::fprintf(stderr, "kezq: %s; %ld %s inserted, not all committed (see the errors above)\n", why.c_str(), rows,
                 noun);
  } else {
    std::fprintf(stderr, "kezq: %s; %ld %s inserted, all committed\n", why.c_str(), rows, noun);
  }
  return signal != 0 ? 128 + signal : 1;
}

}  // namespace

int main(int argc, char** argv) {
  kezq::Options options;
  std::string error;
  if (!kezq::ParseOptions(argc, argv, options, error)) return Usage(error);
  if (options.help) {
    std::fputs(kezq::HelpText(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("kezq %s (KezDcQr %s; %s)\n", KEZQ_VERSION, KezDcQrVersion(), kez::BackendVersions().c_str());
    return 0;
  }
  kezq::Runner runner(options, stdout, stderr);
  bool configured = Configure(options, error);
  runner.FlushErrors("configuration");
  if (!configured) return Usage(error);

  // Every query file is opened before anything runs, so that a missing one
  // is a usage error; the lines are then read and run one at a time.
  std::vector<std::unique_ptr<kezq::LineReader>> files;
  for (const std::string& file : options.files) {
    files.emplace_back(new kezq::LineReader(file));
    if (!files.back()->Opened()) return Usage("cannot read query file '" + file + "'");
  }
  // Discovery runs before the queries.
  int listed = 0;
  for (const std::string& source : options.tables) {
    kezq::ListTables(source, stdout);
    if (runner.FlushErrors("--tables " + source)) listed = 1;
  }
  for (const auto& column : options.columns) {
    kezq::ListColumns(column.first, column.second, stdout);
    if (runner.FlushErrors("--columns " + column.first + ":" + column.second)) listed = 1;
  }
  bool only_discovery = !options.tables.empty() || !options.columns.empty();
  if (only_discovery && options.queries.empty() && files.empty()) return listed;
  std::vector<kezq::QueryLine> arguments;
  for (std::size_t k = 0; k < options.queries.size(); ++k) {
    arguments.push_back(kezq::QueryLine{options.queries[k], "argument " + std::to_string(k + 1), ""});
  }
  kezq::InstallStopSignals();
  int status = 0;
  if (arguments.empty() && files.empty() && isatty(fileno(stdin))) {
    status = kezq::RunInteractive(runner);
  } else {
    if (arguments.empty() && files.empty()) files.emplace_back(new kezq::LineReader("-"));
    std::vector<kezq::LineReader*> inputs;
    inputs.reserve(files.size());
    for (const auto& file : files) inputs.push_back(file.get());
    status = runner.Run(inputs, arguments);
  }
  // Deleting every query releases every database object, which commits the
  // rows that a batched insert still holds.
  bool stopped = runner.Stopping();
  KezDcQrQuery::DeleteAllQueries();
  bool lost = runner.FlushErrors("exit");
  if (lost) status = 1;
  if (stopped) status = SayStopped(runner, lost);
  return status;
}
