// Numbers of the SQLite backend as text: the shortest text that reads back
// as the same number, in the form std::to_chars gives it, with a quick path
// for the reals that tables usually hold (a few decimals, moderate size).
#ifndef KEZ_DC_DB_SQLITE_NUMBER_TEXT_H
#define KEZ_DC_DB_SQLITE_NUMBER_TEXT_H

namespace kez {
namespace detail {

// Writes number into [first, last) exactly as std::to_chars(first, last,
// number) does (shortest round trip; fixed or scientific notation, whichever
// is shorter). Returns the end of the text, or null when it does not fit;
// [first, last) then holds nothing promised.
char* WriteShortestReal(double number, char* first, char* last);

}  // namespace detail
}  // namespace kez

#endif
