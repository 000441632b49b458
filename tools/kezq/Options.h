// The command line of kezq: what to run, where the query lines come from,
// and how to print the results.
#ifndef KEZQ_OPTIONS_H
#define KEZQ_OPTIONS_H

#include <string>
#include <utility>
#include <vector>

namespace kezq {

struct Options {
  std::vector<std::pair<std::string, std::string>> sources;  // -s NAME=URI
  std::vector<std::string> catalogs;                         // -c FILE
  std::vector<std::string> files;                            // -f FILE ('-': standard input)
  std::vector<std::pair<std::string, int>> traces;           // -t NAME=LEVEL
  std::vector<std::string> queries;                          // the QUERY arguments
  std::vector<std::string> tables;                           // --tables SOURCE
  std::vector<std::pair<std::string, std::string>> columns;  // --columns SOURCE:TABLE
  std::vector<std::pair<std::string, std::string>> views;    // --view [SOURCE:]NAME=SELECT...
  std::string rows;                                          // -r DATAPATH
  long limit = 0;                                            // -n N (0: no limit)
  std::string format = "table";                              // -o NAME, a name of the format table
  std::string null_text;                                     // --null TEXT (how NULL prints)
  std::vector<std::string> header;                           // --header a,b,c
  bool no_header = false;                                    // --no-header
  bool strict = false;                                       // --strict: warnings count as errors
  bool keep_going = false;
  bool echo = false;
  bool help = false;
  bool version = false;
};

// Parses argv; on a usage error returns false and sets error to a one-line
// explanation.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

// The text of --help.
const char* HelpText();

}  // namespace kezq

#endif
