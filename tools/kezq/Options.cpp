// Parsing of kezq's command line.
#include "Options.h"

#include <cstdlib>
#include <cstring>

namespace kezq {

namespace {

bool SplitPair(const std::string& text, std::string& name, std::string& value) {
  std::size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  name = text.substr(0, eq);
  value = text.substr(eq + 1);
  return true;
}

bool ParseFormat(const std::string& text, Format& format) {
  if (text == "table") format = Format::kTable;
  else if (text == "csv") format = Format::kCsv;
  else if (text == "tsv") format = Format::kTsv;
  else if (text == "json") format = Format::kJson;
  else return false;
  return true;
}

bool ParseCount(const std::string& text, long& out) {
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 0) return false;
  out = value;
  return true;
}

// Applies one option that takes a value; false with error set when the
// value is bad.
bool ApplyValue(const std::string& name, const std::string& value, Options& o, std::string& error) {
  std::string left, right;
  if (name == "-s" || name == "--source") {
    if (!SplitPair(value, left, right)) return error = "--source wants NAME=URI, not '" + value + "'", false;
    o.sources.emplace_back(left, right);
  } else if (name == "-c" || name == "--catalog") {
    o.catalogs.push_back(value);
  } else if (name == "-f" || name == "--file") {
    o.files.push_back(value);
  } else if (name == "-r" || name == "--rows") {
    o.rows = value;
  } else if (name == "-n" || name == "--limit") {
    if (!ParseCount(value, o.limit)) return error = "--limit wants a number, not '" + value + "'", false;
  } else if (name == "-o" || name == "--format") {
    if (!ParseFormat(value, o.format)) return error = "--format is table, csv, tsv or json, not '" + value + "'", false;
  } else if (name == "-t" || name == "--trace") {
    long level = 0;
    if (!SplitPair(value, left, right) || !ParseCount(right, level)) {
      return error = "--trace wants NAME=LEVEL, not '" + value + "'", false;
    }
    o.traces.emplace_back(left, static_cast<int>(level));
  } else {
    return error = "unknown option '" + name + "'", false;
  }
  return true;
}

bool TakesValue(const std::string& name) {
  static const char* const kWithValue[] = {"-s", "--source", "-c", "--catalog", "-f", "--file", "-r", "--rows",
                                           "-n", "--limit",  "-o", "--format",  "-t", "--trace"};
  for (const char* option : kWithValue) {
    if (name == option) return true;
  }
  return false;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
  bool only_queries = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (only_queries || arg.empty() || arg[0] != '-' || arg == "-") {
      o.queries.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_queries = true;
      continue;
    }
    std::string name = arg, value;
    std::size_t eq = arg.find('=');
    bool inline_value = arg.compare(0, 2, "--") == 0 && eq != std::string::npos;
    if (inline_value) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    if (name == "-h" || name == "--help") {
      o.help = true;
    } else if (name == "--version") {
      o.version = true;
    } else if (name == "-k" || name == "--keep-going") {
      o.keep_going = true;
    } else if (name == "-e" || name == "--echo") {
      o.echo = true;
    } else if (TakesValue(name)) {
      if (!inline_value) {
        if (i + 1 >= argc) return error = "option '" + name + "' wants a value", false;
        value = argv[++i];
      }
      if (!ApplyValue(name, value, o, error)) return false;
    } else {
      return error = "unknown option '" + arg + "'", false;
    }
  }
  return true;
}

const char* HelpText() {
  return "Usage: kezq [options] [QUERY ...]\n"
         "Runs one-line KezDcQr queries, e.g. kezq 'Get(@shop:main:orders:{*}:20:amount * 2)'.\n"
         "With no query and a terminal on standard input, starts an interactive prompt.\n"
         "\n"
         "Options:\n"
         "  -s, --source NAME=URI   register a data source (sqlite:PATH[?opts], postgresql://..., memory:NAME); repeatable\n"
         "  -c, --catalog FILE      read data sources from a catalog file (lines 'name = uri')\n"
         "  -f, --file FILE         read query lines from FILE ('-' for standard input);\n"
         "                          blank lines and lines starting with -- are skipped\n"
         "  -r, --rows DATAPATH     run the queries once per row of that data block\n"
         "  -n, --limit N           with --rows, stop after N rows\n"
         "  -o, --format FORMAT     table (default), csv, tsv or json (one object per line)\n"
         "  -t, --trace NAME=LEVEL  set the level of a trace channel (TraceQResult, TraceQuery, or *)\n"
         "  -e, --echo              print the comment and the text of each query before its result\n"
         "  -k, --keep-going        go on after a query that reported an error\n"
         "  -h, --help              show this help\n"
         "      --version           show the version\n"
         "\n"
         "A Get prints its value; other functions print nothing unless they fail. Errors go to\n"
         "standard error with the file and line (or argument number) of the query.\n"
         "Exit status: 0 when no query reported an error, 1 otherwise, 2 for a usage error.\n";
}

}  // namespace kezq
