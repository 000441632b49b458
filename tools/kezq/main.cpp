// kezq: runs KezDcQr queries from the command line, from files, once per
// row of a data block, or at an interactive prompt.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "Interactive.h"
#include "KezDcQr.h"
#include "Options.h"
#include "Runner.h"

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
  for (const auto& trace : options.traces) {
    if (KezTrace::SetLevelOf(trace.first.c_str(), trace.second) == 0) {
      error = "no trace channel named '" + trace.first + "' (TraceQResult, TraceQuery or *)";
      return false;
    }
  }
  return true;
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
    std::printf("kezq %s\n", KEZQ_VERSION);
    return 0;
  }
  kezq::Runner runner(options, stdout, stderr);
  bool configured = Configure(options, error);
  runner.FlushErrors("configuration");
  if (!configured) return Usage(error);

  std::vector<kezq::QueryLine> lines;
  for (const std::string& file : options.files) {
    if (!kezq::ReadQueryFile(file, lines, error)) return Usage(error);
  }
  for (std::size_t k = 0; k < options.queries.size(); ++k) {
    lines.push_back(kezq::QueryLine{options.queries[k], "argument " + std::to_string(k + 1), ""});
  }
  int status = 0;
  if (lines.empty() && options.files.empty() && isatty(fileno(stdin))) {
    status = kezq::RunInteractive(runner);
  } else if (lines.empty() && options.files.empty()) {
    kezq::ReadQueryFile("-", lines, error);
    status = runner.Run(lines);
  } else {
    status = runner.Run(lines);
  }
  // Deleting every query releases every database object, which commits the
  // rows that a batched insert still holds.
  KezDcQrQuery::DeleteAllQueries();
  if (runner.FlushErrors("exit")) status = 1;
  return status;
}
