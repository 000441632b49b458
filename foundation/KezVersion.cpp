// The library's version, set by the build from the project's version.
#include "foundation/KezVersion.h"

const char* KezDcQrVersion() {
  return KEZDCQR_VERSION_TEXT;
}
