// The library's version at run time (the backends' client libraries say
// theirs through kez::BackendVersions(), KezDcDbBackends.h).
#ifndef KEZ_VERSION_H
#define KEZ_VERSION_H

#include "foundation/KezExport.h"

// "MAJOR.MINOR.PATCH" of the library in use (0.2.0).
KEZDCQR_API const char* KezDcQrVersion();

#endif
