// Test support: a wrapper over the access-layer interfaces that the data-
// source catalog puts around every data source it creates (installed by
// every test program and fuzz target). Each wrapping object forwards every
// call to the backend's object, can make any operation fail with a chosen
// code, and counts what the caller holds, whatever the backend.
#ifndef KEZ_TEST_ACCESS_FAULTS_H
#define KEZ_TEST_ACCESS_FAULTS_H

#include "database/access/KezDcDbInterfaces.h"

namespace kez {
namespace test {

class AccessFaults {
 public:
  enum Operation {
    kCreateDataSource,  // a failure makes the factory yield null
    kOpenSession,
    kOpenRowset,
    kQueryInterface,  // of a rowset
    kGetColumnsInfo,  // the information is delivered, the code returned
    kCreateAccessor,
    kGetNextRows,  // the rows are delivered, the code returned, the cursor kept
    kGetDataSeq,
    kReleaseAccessor,
    kReleaseRows,
    kInsertRow,  // a code of 0 or below is a success: the row is inserted
    kOperationCount
  };
  // Any other failing operation returns its code without reaching the
  // backend.

  // The n-th call of the operation from now (1: the next one) returns code.
  static void FailAt(Operation operation, int code, int nthCall = 1);
  // Every call of the operation from now returns code.
  static void FailAlways(Operation operation, int code);
  // Forgets every scripted failure (every test program does so as each test
  // starts).
  static void ClearFailures();
  static long CallCount(Operation operation);

  // Objects (data sources, sessions, rowsets, insert, schema and view
  // interfaces) alive.
  static int LiveObjects();
  // Sessions alive: each holds a connection of its own.
  static int OpenConnections();
  // Row handles fetched and not released.
  static long OutstandingRows();
  // Accessor handles created and not released.
  static int LiveAccessors();
  // Misuses seen: releasing more rows than held, reading a row not held,
  // unknown accessor handles, a missing row buffer.
  static int Misuses();

  // Makes the catalog wrap every data source it creates from now on.
  static void Install();
  // The wrapper of a data source opened without the catalog (null stays
  // null; so does the source when kCreateDataSource fails).
  static KezIDcDbDataSource* Wrap(KezIDcDbDataSource* inner);
};

}  // namespace test
}  // namespace kez

#endif
