// Parsing of kezq's command line.
#include "Options.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Output.h"
#include "kezdcqr/KezDcQr.h"

namespace kezq {

namespace {

std::string Suggestion(const std::string& name);

bool SplitPair(const std::string& text, std::string& name, std::string& value) {
  std::size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  name = text.substr(0, eq);
  value = text.substr(eq + 1);
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
    if (!FindFormat(value)) return error = "--format is " + FormatList(false) + ", not '" + value + "'", false;
    o.format = value;
  } else if (name == "--null") {
    o.null_text = value;
  } else if (name == "--header") {
    o.header.clear();
    std::size_t start = 0;
    for (std::size_t comma; (comma = value.find(',', start)) != std::string::npos; start = comma + 1) {
      o.header.push_back(value.substr(start, comma - start));
    }
    o.header.push_back(value.substr(start));
  } else if (name == "-t" || name == "--trace") {
    long level = 0;
    if (!SplitPair(value, left, right) || !ParseCount(right, level)) {
      return error = "--trace wants NAME=LEVEL, not '" + value + "'", false;
    }
    o.traces.emplace_back(left, static_cast<int>(level));
  } else if (name == "--tables") {
    o.tables.push_back(value);
  } else if (name == "--columns") {
    std::size_t colon = value.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == value.size()) {
      return error = "--columns wants SOURCE:TABLE, not '" + value + "'", false;
    }
    o.columns.emplace_back(value.substr(0, colon), value.substr(colon + 1));
  } else if (name == "--view") {
    if (!SplitPair(value, left, right) || right.empty()) {
      return error = "--view wants NAME=SELECT..., not '" + value + "'", false;
    }
    o.views.emplace_back(left, right);
  } else {
    return error = "unknown option '" + name + "'", false;
  }
  return true;
}

bool TakesValue(const std::string& name) {
  static const char* const kWithValue[] = {
      "-s", "--source", "-c", "--catalog", "-f",       "--file",    "-r",     "--rows", "-n",      "--limit",
      "-o", "--format", "-t", "--trace",   "--tables", "--columns", "--view", "--null", "--header"};
  for (const char* option : kWithValue) {
    if (name == option) return true;
  }
  return false;
}

// The number of one-character edits that turn a into b.
std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "; did you mean --x?" for the long option closest to a misspelt one, or
// nothing when none is close.
std::string Suggestion(const std::string& name) {
  static const char* const kLong[] = {"--source", "--catalog", "--file",       "--rows",   "--limit",
                                      "--format", "--trace",   "--null",       "--header", "--no-header",
                                      "--strict", "--echo",    "--keep-going", "--help",   "--version"};
  if (name.size() > 64) return std::string();
  std::string best;
  std::size_t best_distance = 4;
  std::string dashed = name.compare(0, 2, "--") == 0 ? name : "-" + name;
  for (const char* option : kLong) {
    std::size_t distance = EditDistance(dashed, option);
    if (distance < best_distance) {
      best_distance = distance;
      best = option;
    }
  }
  return best.empty() ? std::string() : "; did you mean " + best + "?";
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
    } else if (name == "--strict") {
      o.strict = true;
    } else if (name == "--no-header") {
      o.no_header = true;
    } else if (TakesValue(name)) {
      if (!inline_value) {
        if (i + 1 >= argc) return error = "option '" + name + "' wants a value", false;
        value = argv[++i];
      }
      if (!ApplyValue(name, value, o, error)) return false;
    } else {
      return error = "unknown option '" + arg + "'" + Suggestion(name), false;
    }
  }
  return true;
}

const char* HelpText() {
  static const std::string text =
      std::string(
          "Usage: kezq [options] [QUERY ...]\n"
          "Runs one-line KezDcQr queries, e.g. kezq 'Get(@shop:main:orders:{*}:20:amount * 2)'.\n"
          "With no query and a terminal on standard input, starts an interactive prompt (.help lists\n"
          "its dot-commands: .next, .rows P [N] (0: all rows), .tables, .columns, .commit, .delete, .reset,\n"
          ".quit or .exit).\n"
          "\n"
          "Options:\n"
          "  -s, --source NAME=URI   register a data source (") +
      kez::BackendUsages() +
      "); repeatable\n"
      "  -c, --catalog FILE      read data sources from a catalog file (lines 'name = uri', 64 KiB at most)\n"
      "  -f, --file FILE         read query lines from FILE ('-' for standard input), each run as\n"
      "                          soon as it is read; blank lines and lines starting with -- are\n"
      "                          skipped; a line longer than 4 MiB ends the file with an error\n"
      "  -r, --rows DATAPATH     run the queries once per row of that data block\n"
      "  -n, --limit N           with --rows, stop after N rows\n"
      "  -o, --format FORMAT     " +
      FormatList(true) +
      "\n"
      "  -t, --trace NAME=LEVEL  set the level of a trace channel (TraceQResult, TraceQuery, or *);\n"
      "                          also KEZ_TRACE='Name=Level,...' in the environment (*=N: every\n"
      "                          channel; a later setting wins). Level 2 writes each operation's\n"
      "                          entry and exit, 4 adds details, 6 to 16 inner steps; 0 and 1 none\n"
      "      --header A,B,C      name the columns of --rows output A, B, C (default: the column\n"
      "                          name for a lone cell, else the expression's text)\n"
      "      --no-header         print no header line\n"
      "      --null TEXT         how NULL prints (default: empty; JSON null)\n"
      "      --tables SOURCE     list the tables and views of a data source, one a line; repeatable\n"
      "      --columns SOURCE:TABLE  list the columns of a table: name, type and field size\n"
      "      --view [SOURCE:]NAME=SELECT...  give every session of the data source (of every SQL data\n"
      "                          source without SOURCE:) a temporary view NAME over that SELECT:\n"
      "                          a filtered, ordered or joined rowset that leaves the database as it was\n"
      "  -e, --echo              print the comment and the text of each query before its result\n"
      "  -k, --keep-going        go on after a query that reported an error\n"
      "      --strict            count warnings as errors in the exit status\n"
      "  -h, --help              show this help\n"
      "      --version           show the version\n"
      "\n"
      "A Get prints its value (a lone cell its text as the database gave it); other functions\n"
      "print nothing unless they fail; a failed Get prints no value (an empty field, JSON null).\n"
      "Errors and warnings go to standard error with the file and line (or argument number) of\n"
      "the query; a warning about a column is said once. Exit status: 0 when no query reported\n"
      "an error (warnings do not count unless --strict), 1 otherwise, 2 for a usage error.\n"
      "JSON writes inf and nan as the strings \"inf\", \"-inf\", \"nan\", and invalid UTF-8 as U+FFFD.\n"
      "\n"
      "Examples:\n"
      "  kezq -s shop=sqlite:shop.db 'Get(@shop:main:orders:{*}:20:amount * 2)'\n"
      "      the amount of the first order, doubled\n"
      "  kezq -s e=sqlite:exp.db -r '@e:main:t:{*}:1000' -o csv 'Get(@e:main:t:{*}:1000:item)' \\\n"
      "       'Get(@e:main:t:{*}:1000:price)' > t.csv\n"
      "      every row's item and price as CSV, headed item,price\n"
      "  kezq -s shop=sqlite:shop.db -f orders.kq -k --null NULL\n"
      "      run the query lines of orders.kq, going on after a failed one\n"
      "\n"
      "On SIGINT, SIGTERM or SIGHUP, or when its output is closed, kezq stops reading, commits\n"
      "the rows it inserted, says how many, and exits with 128 + the signal's number (130, 143,\n"
      "129; 141 for a closed output, 1 for another output failure). A second signal ends it at once.\n";
  return text.c_str();
}

}  // namespace kezq
