// The rows of one fetched block, copied out of a stepping SQLite statement
// into storage that is reused from block to block: numbers are kept typed
// and written as text only when a field asks for them; texts are copied,
// never more than their column's cap, so memory stays bounded by the block.
#ifndef KEZ_DC_DB_SQLITE_ROW_ARENA_H
#define KEZ_DC_DB_SQLITE_ROW_ARENA_H

#include <sqlite3.h>

#include <cstdint>
#include <vector>

namespace kez {
namespace detail {

class SqliteRowArena {
 public:
  // Forgets the rows held (keeping their storage) and starts a block of
  // rows of `columns` values each.
  void Reset(uint32_t columns);
  // Copies the current row of statement. Column c's text is copied up to
  // caps[c] + 1 octets (one more than the widest field that can ask for it,
  // so that a cut can land on a character boundary); caps has one entry
  // per column.
  void CaptureRow(sqlite3_stmt* statement, const std::vector<uint32_t>& caps);
  uint32_t Rows() const { return rows_; }
  // Whether column `column` of row `row` is SQL NULL.
  bool IsNull(uint32_t row, uint32_t column) const {
    return values_[static_cast<std::size_t>(row) * columns_ + column].kind == kNull;
  }

  // Writes column `column` of row `row` as text into field, at most maxlen
  // octets, followed by a zero octet when shorter. NULL is the empty text;
  // a REAL is written in its shortest exact form. Returns false when the
  // value did not fit and was cut, with *full_length its whole length in
  // octets. row and column must be within the block.
  bool WriteField(uint32_t row, uint32_t column, unsigned char* field, uint32_t maxlen, uint32_t* full_length) const;

 private:
  enum Kind : uint8_t { kNull, kInteger, kReal, kText, kBlob };
  struct Value {
    union {
      int64_t integer;
      double real;
      std::size_t offset;  // of the copied octets in bytes_
    };
    uint32_t copied;  // octets copied
    uint32_t length;  // whole length of the text
    Kind kind;
  };

  void CaptureText(sqlite3_stmt* statement, int column, Kind kind, uint32_t cap, Value* value);
  bool WriteText(const Value& value, unsigned char* field, uint32_t maxlen, uint32_t* full_length) const;
  static bool WriteInteger(int64_t number, unsigned char* field, uint32_t maxlen, uint32_t* full_length);
  static bool WriteReal(double number, unsigned char* field, uint32_t maxlen, uint32_t* full_length);
  static bool WriteNumber(const char* text, std::size_t length, unsigned char* field, uint32_t maxlen,
                          uint32_t* full_length);

  std::vector<Value> values_;
  std::vector<char> bytes_;
  std::size_t bytes_used_ = 0;
  uint32_t columns_ = 0;
  uint32_t rows_ = 0;
};

}  // namespace detail
}  // namespace kez

#endif
