// Discovery: the tables of a data source and the columns of a table, for
// the .tables and .columns dot-commands and the --tables and --columns
// options.
#ifndef KEZQ_DISCOVERY_H
#define KEZQ_DISCOVERY_H

#include <cstdio>
#include <string>

namespace kezq {

// Prints the tables and views of the data source, one name a line; with an
// empty source, those of every listed data source as "SOURCE<tab>TABLE".
// Failures go through the error collector; false when there was one.
bool ListTables(const std::string& source, std::FILE* out);
// Prints the columns of the table as "NAME<tab>TYPE<tab>SIZE" lines (TYPE:
// string, int, double; SIZE: the octets of the field). False on failure.
bool ListColumns(const std::string& source, const std::string& table, std::FILE* out);

}  // namespace kezq

#endif
