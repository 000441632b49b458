// The data-block node: the row cursor. It fetches NumBlock rows at a time
// through its rowset and copies one row at a time into its row buffer;
// cells read and write fields of that buffer, and PutQResult inserts it.
// At the end of the rowset, the next GetNextLine frees the rowset subtree
// and starts again from a freshly opened rowset.
#ifndef KEZ_DC_QR_QR_DATA_H
#define KEZ_DC_QR_QR_DATA_H

#include <cstdint>
#include <vector>

#include "database/access/KezDcDbInterfaces.h"
#include "nodes/base/KezDcQrQResult.h"

class KezDcQrQRAccessor;
class KezDcQrQRRowset;

class KEZDCQR_API KezDcQrQRData : public KezDcQrQResult {
 public:
  static constexpr Kind kNodeKind = kData;  // for kez::As<KezDcQrQRData>

  // RcGetNextRows when no fetch was made for want of a rowset interface.
  static constexpr uint32_t kNoRowset = 998;

  KezDcQrQRAccessor* p_QRAccessor = nullptr;        // the father, not owned
  _SEQUENCE_SEQUENCE_octet* p_RowBuffer = nullptr;  // owned; null until InitQResult
  KezListPtrKezDcQrQResult QRChildList;
  KezDcQrQRRowset* p_QRRowset = nullptr;  // not owned; null when missing
  KezDcQrQRData* p_QRD = nullptr;         // the node holding the rows; null until fetched
  KezUnicodeString DataSource;
  KezUnicodeString Session;
  KezUnicodeString Rowset;
  KezUnicodeString Accessor;
  KezUnicodeString Block;
  uint32_t NumBlock = 0;
  _SEQUENCE_KezDcDbRowHandleSeq* p_RowHandleSeq = nullptr;  // owned; null when no block is held
  uint32_t NbRowsObtained = 0;
  uint32_t RcGetNextRows = 0;
  uint32_t RowCursor = 0;

  KezDcQrQRData();
  KezDcQrQRData(KezUnicodeString iDataSource, KezUnicodeString iSession, KezUnicodeString iRowset,
                KezUnicodeString iAccessor, KezUnicodeString iBlock);
  ~KezDcQrQRData() override;

  // The node whose row buffer holds the current row (this node, or the node
  // its sub-query resolves to), fetching the first block on first use.
  KezDcQrQRData* GetQResult();
  // True when the last GetQResult asked for the rowset (a first read, or
  // one after a Free): a holder that has no row buffer then found none, and
  // was reported.
  bool LastReadAskedForRowset() const { return asked_for_rowset_; }
  // Fetches the first block for the holder and copies its first row.
  void GetQResultOfData(KezDcQrQRData* holder);
  // Makes sure the accessor is bound and the row buffer exists.
  void InitQResult();
  // Copies the next row; returns the rowset interface that copied it, or
  // this node when no row was copied.
  void* GetNextLine();
  bool IsMoreData();
  int GetNbRowsObtained();
  // Inserts the row buffer as a new row.
  void PutQResult();
  void FreeQResult() override;

  // True when the last fetch ended the rowset (a code of 3 or more, or no
  // rows).
  bool IsAtEnd() const;
  // True the first time it is asked for a field (by binding position): a
  // value cut to that field is reported once per data block.
  bool FirstCutOf(uint32_t field);
  // Prepares the row buffer (as InitQResult does) and empties it for a new
  // row: every field empty and marked NULL.
  void ClearRow();
  // True when the next read must free the rowset and start it again: the
  // row buffer exists, the rowset is at its end, and the block size is not
  // a refused one (such a node never fetches, so it never restarts).
  bool NeedsRestart() const;
  // The key: the five components joined by ':'.
  KezUnicodeString Key() const;

 private:
  void FindFathers(const KezUnicodeString* components);
  void FetchBlock(KezIDcDbSimpleRowset* rowset);
  void CopyRow();
  void ReleaseBlock();
  KezIDcDbSimpleRowset* RowsetInterface() const;

  // True when the rowset must start again before the next fetch: this node
  // was freed after fetching, and its rowset is still open at the position
  // that those fetches left.
  bool RestartAfterFree() const;

  // The rowset interface that fetched the current block (one reference), so
  // that its rows go back to the object that handed them out.
  KezIDcDbSimpleRowset* fetch_rowset_ = nullptr;
  // Set by FreeQResult after a fetch; fetched_generation_ is the rowset's
  // open generation of that fetch.
  bool restart_pending_ = false;
  std::vector<bool> cut_reported_;  // by binding position
  uint32_t fetched_generation_ = 0;
  bool asked_for_rowset_ = false;
};

#endif
