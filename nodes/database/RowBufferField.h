// Internal: the row-buffer steps that cells, variables, constants and
// expressions share: finding a column among an accessor's attributes, and
// reading or writing one field of a row buffer within its bounds.
#ifndef KEZ_DC_QR_ROW_BUFFER_FIELD_H
#define KEZ_DC_QR_ROW_BUFFER_FIELD_H

#include <cstdint>

#include "database/access/KezDcDbSequence.h"
#include "foundation/KezUnicodeString.h"

class KezDcQrQRAccessor;
class KezDcQrQRCell;

namespace kez {
namespace detail {

// The 0-based position of the first attribute equal to name, or -1 (also
// without an accessor). Traces each comparison.
int FindAttribute(const KezDcQrQRAccessor* accessor, const KezUnicodeString& name);

// Writes the text's octets into the entry's field, at most maxlen of them,
// and a zero octet after them when fewer were written; never past the end
// of the buffer. A text that does not fit is cut on a UTF-8 character
// boundary. Returns the number of octets of text written; *cut says
// whether the text was cut (when cut is not null).
uint32_t WriteField(_SEQUENCE_SEQUENCE_octet* buffer, const KezDcDbBinding& entry, const char* text,
                    bool* cut = nullptr);

// Copies the entry's field into value (capacity octets, at least 1): up to
// the first zero octet or maxlen octets, then a terminating zero.
void ReadField(const _SEQUENCE_SEQUENCE_octet& buffer, const KezDcDbBinding& entry, char* value, uint32_t capacity);

// Writes text into the target cell's field of its data block's row buffer,
// making sure that buffer exists first, and marks the field NULL when null
// (unmarks it otherwise). When the column is not among the accessor's
// attributes, reports missingFormat (one %s: the cell name) and writes
// nothing; a null text writes nothing either. A text cut to its field is
// reported once per field of the data block. Traces "=> j when Out" when
// traceCount. Returns the octets written, or -1.
int PutIntoCell(KezDcQrQRCell* target, const char* text, const char* missingFormat, bool traceCount, bool null = false);

}  // namespace detail
}  // namespace kez

#endif
