// Internal: trace shorthands of the query results. Remark and lookup markers
// hold Latin-1 characters and are written as single Latin-1 octets.
#ifndef KEZ_DC_QR_QRESULT_TRACE_H
#define KEZ_DC_QR_QRESULT_TRACE_H

#include <cstdint>

#include "nodes/base/KezDcQrQResult.h"

// "m°!°m " and "*£* " in Latin-1.
#define KEZ_REMARK "m\xB0!\xB0m "
#define KEZ_LOOKUP "*\xA3* "

// A trace line of the query results; the arguments are evaluated only when
// the channel writes that level.
#define QR_TRA(level, ...) KEZ_TRA(KezDcQrQResult::sp_Trace, level, __VA_ARGS__)
#define QR_TRACING(level) (KezDcQrQResult::sp_Trace && KezDcQrQResult::sp_Trace->IsActive(level))

namespace kez {
namespace detail {

// The value that a "%x" trace conversion prints for an address: its low 32
// bits, passed as the unsigned int that %x expects.
inline unsigned Addr(const void* p) {
  return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p));
}

}  // namespace detail
}  // namespace kez

#endif
