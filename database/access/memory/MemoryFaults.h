// Test hooks of the memory backend: make any of its calls fail with a chosen
// code, and count its calls and what it still holds. Tests reach these
// through the internal object library; the shared library does not export
// them and its public headers do not declare them.
#ifndef KEZ_DC_DB_MEMORY_FAULTS_H
#define KEZ_DC_DB_MEMORY_FAULTS_H

class KezDcDbMemoryFaults {
 public:
  enum Operation {
    kCreateDataSource,  // a failure makes the factory yield null
    kOpenSession,
    kOpenRowset,
    kQueryInterface,
    kGetColumnsInfo,
    kCreateAccessor,
    kGetNextRows,  // the rows are delivered, the code returned, the cursor kept
    kGetDataSeq,
    kReleaseAccessor,
    kReleaseRows,
    kInsertRow,  // a code of 0 or below is a success: the row is inserted
    kOperationCount
  };

  // The n-th call of the operation from now (1: the next one) returns code.
  static void FailAt(Operation operation, int code, int nthCall = 1);
  // Every call of the operation from now returns code.
  static void FailAlways(Operation operation, int code);
  // Forgets every scripted failure (KezDcDbMemory::DropAll does too).
  static void ClearFailures();
  static long CallCount(Operation operation);

  // Objects (data sources, sessions, rowsets, insert interfaces) alive.
  static int LiveObjects();
  // Row handles fetched and not released.
  static long OutstandingRows();
  // Accessor handles created and not released.
  static int LiveAccessors();
  // Misuses seen (releasing more rows than held, unknown handles, ...).
  static int Misuses();
};

#endif
