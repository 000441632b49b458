// The interactive prompt and its dot-commands.
#include "Interactive.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "Discovery.h"
#include "Stop.h"
#include "kezdcqr/KezDcQr.h"

#ifdef KEZQ_HAVE_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#endif

namespace kezq {

namespace {

const char kHelp[] =
    "Type a query, e.g. Get(@shop:main:orders:{*}:20:amount * 2), or a dot-command:\n"
    "  .next DATAPATH          move a data block to its next row\n"
    "  .rows DATAPATH [N]      show N rows (default 10, 0 for all) of a data block, moving it on\n"
    "  .sources                list the registered data sources\n"
    "  .tables [SOURCE]        list the tables and views of a data source (of every one without SOURCE)\n"
    "  .columns SOURCE TABLE   list the columns of a table: name, type and field size\n"
    "  .errors                 show the messages of the last query that failed\n"
    "  .trace NAME LEVEL       set a trace channel's level (TraceQResult, TraceQuery, *)\n"
    "  .commit                 commit the rows that open batches (batch=N) hold\n"
    "  .delete QUERY           delete a query and the results it names\n"
    "  .reset                  delete every query and result\n"
    "  .help                   this text\n"
    "  .quit, .exit            leave\n";

#ifdef KEZQ_HAVE_READLINE
// Readline's input, one octet at a time: a stop signal ends the prompt as
// the end of the input would.
int GetOctet(FILE* stream) {
  for (;;) {
    if (!WaitToRead(fileno(stream))) return EOF;
    unsigned char octet = 0;
    ssize_t got = read(fileno(stream), &octet, 1);
    if (got == 1) return octet;
    if (got == 0 || errno != EINTR) return EOF;
  }
}
#endif

bool ReadLine(std::string& line) {
#ifdef KEZQ_HAVE_READLINE
  rl_catch_signals = 0;
  rl_getc_function = GetOctet;
  char* text = readline("kezq> ");
  if (!text) return false;
  line = text;
  if (!line.empty()) add_history(text);
  std::free(text);
  return true;
#else
  std::cout << "kezq> " << std::flush;
  return static_cast<bool>(std::getline(std::cin, line));
#endif
}

void ListSources() {
  for (const auto& source : KezDcDbDataSourceFactory::GetDataSources()) {
    std::cout << source.first.ConvertToChar() << " = " << source.second.ConvertToChar() << "\n";
  }
}

// Runs one dot-command; false for .quit.
bool DotCommand(Runner& runner, const std::string& line, int& status) {
  std::istringstream words(line);
  std::string command, argument;
  words >> command;
  std::getline(words >> std::ws, argument);
  if (command == ".quit" || command == ".exit") return false;
  bool ok = true;
  if (command == ".help") {
    std::cout << kHelp;
  } else if (command == ".sources") {
    ListSources();
  } else if (command == ".tables") {
    ListTables(argument, stdout);
    std::fflush(stdout);
    ok = !runner.FlushErrors(".tables");
  } else if (command == ".columns") {
    std::istringstream rest(argument);
    std::string source, table;
    rest >> source;
    std::getline(rest >> std::ws, table);
    if (source.empty() || table.empty()) {
      std::cerr << ".columns wants SOURCE TABLE\n";
      ok = false;
    } else {
      ListColumns(source, table, stdout);
      std::fflush(stdout);
      ok = !runner.FlushErrors(".columns");
    }
  } else if (command == ".errors") {
    for (const std::string& message : runner.LastErrors()) std::cout << message;
  } else if (command == ".reset") {
    KezDcQrQuery::DeleteAllQueries();
  } else if (command == ".commit") {
    KezDcQrQRRowset::ReleaseAllWriteQResults();
  } else if (command == ".delete") {
    // A line's query is deleted once it ran: naming it again here deletes
    // the results it names (and so commits their open batches).
    if (!KezDcQrQuery::QueryHTab->Locate(argument.c_str())) KezDcQrQuery::NewQuery(argument.c_str());
    KezDcQrQuery::DeleteQuery(argument.c_str());
  } else if (command == ".next") {
    ok = runner.NextRow(argument);
  } else if (command == ".rows") {
    std::istringstream rest(argument);
    std::string path;
    long count = 10;
    rest >> path >> count;
    ok = runner.ShowRows(path, count);
  } else if (command == ".trace") {
    std::istringstream rest(argument);
    std::string name;
    int level = 0;
    rest >> name >> level;
    if (KezTrace::SetLevelOf(name.c_str(), level) == 0) std::cerr << ".trace: no channel named " << name << "\n";
  } else {
    std::cerr << "unknown command " << command << " (try .help)\n";
    ok = false;
  }
  if (!ok) status = 1;
  return true;
}

}  // namespace

int RunInteractive(Runner& runner) {
  std::cout << "kezq " << KEZQ_VERSION << ": queries and dot-commands, .help for help, .quit to leave\n";
  int status = 0;
  std::string line;
  int number = 0;
  while (!runner.Stopping() && ReadLine(line)) {
    ++number;
    std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line.compare(first, 2, "--") == 0) continue;
    if (line[first] == '.') {
      if (!DotCommand(runner, line.substr(first), status)) break;
      continue;
    }
    if (!runner.RunLine(QueryLine{line, "line " + std::to_string(number), ""})) status = 1;
  }
  return status;
}

}  // namespace kezq
