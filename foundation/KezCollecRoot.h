// Common base of the library's typed lists and dictionaries.
#ifndef KEZ_COLLEC_ROOT_H
#define KEZ_COLLEC_ROOT_H

#include "foundation/KezExport.h"

class KEZDCQR_API KezCollecRoot {
 public:
  KezCollecRoot() = default;
  KezCollecRoot(const KezCollecRoot&) = default;
  KezCollecRoot& operator=(const KezCollecRoot&) = default;
  virtual ~KezCollecRoot() = default;
};

#endif
