// Finding columns and moving texts between row-buffer fields and values.
#include "nodes/database/RowBufferField.h"

#include <cstring>

#include "foundation/KezDcCMError.h"
#include "nodes/base/QResultTrace.h"
#include "nodes/database/KezDcQrQRAccessor.h"
#include "nodes/database/KezDcQrQRCell.h"
#include "nodes/database/KezDcQrQRData.h"

namespace kez {
namespace detail {

int FindAttribute(const KezDcQrQRAccessor* accessor, const KezUnicodeString& name) {
  if (!accessor) return -1;
  for (uint32_t i = 1; i <= accessor->NbAtt; ++i) {
    const KezUnicodeString& attribute = accessor->AccessorList[static_cast<int>(i)];
    QR_TRA(4, "Recherche num Att [%d] tq <%s>==<%s> ? \n", static_cast<int>(i), attribute.ConvertToChar(),
           name.ConvertToChar());
    if (attribute == name) return static_cast<int>(i) - 1;
  }
  return -1;
}

uint32_t WriteField(_SEQUENCE_SEQUENCE_octet* buffer, const KezDcDbBinding& entry, const char* text, bool* cut) {
  if (cut) *cut = false;
  uint32_t length = buffer ? buffer->length() : 0;
  if (!text || entry.offset > length) return 0;
  uint32_t room = length - entry.offset < entry.maxlen ? length - entry.offset : entry.maxlen;
  unsigned char* field = buffer->data() + entry.offset;
  uint32_t written = 0;
  while (written < room && text[written] != '\0') ++written;
  if (written == room && text[written] != '\0') {
    if (cut) *cut = true;
    // Never leave the first octets of a character without the rest.
    while (written > 0 && (static_cast<unsigned char>(text[written]) & 0xC0) == 0x80) --written;
  }
  if (written > 0) std::memcpy(field, text, written);
  if (written < room) field[written] = 0;
  return written;
}

void ReadField(const _SEQUENCE_SEQUENCE_octet& buffer, const KezDcDbBinding& entry, char* value, uint32_t capacity) {
  uint32_t length = buffer.length();
  uint32_t n = 0;
  const unsigned char* field = buffer.data() + (entry.offset < length ? entry.offset : length);
  uint32_t room = entry.offset < length ? length - entry.offset : 0;
  if (room > entry.maxlen) room = entry.maxlen;
  while (n < room && n + 1 < capacity && field[n] != 0) {
    value[n] = static_cast<char>(field[n]);
    ++n;
  }
  value[n] = '\0';
}

namespace {

void ReportCut(KezDcQrQRCell* target, uint32_t index, const char* text, uint32_t maxlen) {
  if (!target->p_QRData->FirstCutOf(index)) return;
  auto length = static_cast<unsigned long>(std::strlen(text));
  KezDcCMError::AddError(
      "WARNING: a value of %lu octets put into cell <%s> was cut to its %u-octet field; open the data source with "
      "text_size=%lu or more (and declared_size=0 when the column declares its length) to fit it \n",
      length, target->Key().ConvertToChar(), maxlen, length);
}

}  // namespace

int PutIntoCell(KezDcQrQRCell* target, const char* text, const char* missingFormat, bool traceCount, bool null) {
  KezDcQrQRData* data = target->p_QRData;
  if (data) data->InitQResult();
  KezDcQrQRAccessor* accessor = data ? data->p_QRAccessor : nullptr;
  int index = FindAttribute(accessor, target->Cell);
  QR_TRA(4, "Numero de colonne a recuperer = %d \n", index < 0 && accessor ? static_cast<int>(accessor->NbAtt) : index);
  if (index < 0) {
    KezDcCMError::AddError(missingFormat, target->Cell.ConvertToChar());
    return -1;
  }
  if (!accessor->p_BufferBinding || !data->p_RowBuffer) {
    KezDcCMError::AddError("ERROR: Cell <%s> can't be written: no row buffer for <%s> (its rowset isn't open) ! \n",
                           target->Cell.ConvertToChar(), target->Key().ConvertToChar());
    return -1;
  }
  const KezDcDbBinding& entry = (*accessor->p_BufferBinding)[static_cast<uint32_t>(index)];
  QR_TRA(4, "p_BufferBinding)[%d].maxlen= %d \n", index, static_cast<int>(entry.maxlen));
  if (entry.columnId == 0) {
    KezDcCMError::AddError("ERROR: Cell <%s> names no column of its rowset: nothing written into <%s> ! \n",
                           target->Cell.ConvertToChar(), target->Key().ConvertToChar());
    return -1;
  }
  if (!text) return -1;
  bool cut = false;
  int written = static_cast<int>(WriteField(data->p_RowBuffer, entry, text, &cut));
  data->p_RowBuffer->SetNull(static_cast<uint32_t>(index), null);
  if (cut) ReportCut(target, static_cast<uint32_t>(index), text, entry.maxlen);
  if (traceCount) QR_TRA(4, "=> j when Out = %d \n", written);
  return written;
}

}  // namespace detail
}  // namespace kez
