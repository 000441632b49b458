// The rowset node: one rowset opened by name on its session, with a second
// interface for inserting once somebody writes. A rowset name that begins
// with "##" stands for an empty rowset that opens nothing.
#ifndef KEZ_DC_QR_QR_ROWSET_H
#define KEZ_DC_QR_QR_ROWSET_H

#include "database/access/KezDcDbInterfaces.h"
#include "nodes/base/KezDcQrQResult.h"

class KezDcQrQRSession;

class KEZDCQR_API KezDcQrQRRowset : public KezDcQrQResult {
 public:
  static constexpr Kind kNodeKind = kRowset;  // for kez::As<KezDcQrQRRowset>

  KezIDcDbSimpleRowset* p_QResult;       // one reference, or null while closed
  KezIDcDbInsertRowset* p_WriteQResult;  // one reference, or null
  KezDcQrQRSession* p_QRSession;         // the father, not owned; null when missing
  KezListPtrKezDcQrQResult QRChildList;
  KezUnicodeString DataSource;
  KezUnicodeString Session;
  KezUnicodeString Rowset;

  KezDcQrQRRowset();
  KezDcQrQRRowset(KezUnicodeString iDataSource, KezUnicodeString iSession, KezUnicodeString iRowset);
  ~KezDcQrQRRowset() override;

  // The open rowset interface (of the resolved node for a sub-query); null
  // for an empty rowset or when none can be opened.
  KezIDcDbSimpleRowset* GetQResult();
  // The insert interface, obtained on first use; for a rowset with
  // sub-queries, that of the rowset node it resolves to now.
  KezIDcDbInsertRowset* GetWriteQResult();
  void FreeQResult() override;
  // Gives back the insert interface, which commits the rows a batch holds;
  // the next insert obtains a new one.
  void ReleaseWriteQResult();
  // The same for every registered rowset: every open batch is committed.
  static void ReleaseAllWriteQResults();

  // True when the rowset text stands for an empty rowset ("##...").
  static bool IsEmptyRowset(const KezUnicodeString& rowset);
  // The key: the three components joined by ':'.
  KezUnicodeString Key() const;
  // How many times this node has opened its rowset: a data block that
  // fetched under one value knows, under the same value, that the rowset's
  // position has moved since it was opened.
  uint32_t OpenGeneration() const { return open_generation_; }

 private:
  // Opens the rowset by name on the father's session.
  KezIDcDbSimpleRowset* Open();
  // The rowset node that the sub-query components resolve to now (found or
  // created, and linked); null after the reports, or quietly for "##".
  KezDcQrQRRowset* ResolveSubQuery();

  uint32_t open_generation_ = 0;
};

#endif
