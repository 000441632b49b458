// The accessor node: an attribute list over a rowset ("amount+price", or
// "*" for every column), its column binding in the row buffer and the
// accessor handle that the layer creates from it.
//
// Row-buffer layout: fields back to back in attribute order, no padding;
// string-like columns take their colSize octets, I4 and R8 columns 80. A
// field holds text ending at its first zero octet or at its last octet.
#ifndef KEZ_DC_QR_QR_ACCESSOR_H
#define KEZ_DC_QR_QR_ACCESSOR_H

#include <cstdint>

#include "database/access/KezDcDbInterfaces.h"
#include "foundation/KezListValKezUnicodeString.h"
#include "nodes/base/KezDcQrQResult.h"

class KezDcQrQRRowset;

class KEZDCQR_API KezDcQrQRAccessor : public KezDcQrQResult {
 public:
  static constexpr Kind kNodeKind = kAccessor;  // for kez::As<KezDcQrQRAccessor>

  // Octets of a field of an I4 or R8 column.
  static constexpr uint32_t kNumericFieldLength = 80;

  uint32_t NbAtt = 0;
  uint32_t MaxLength = 0;     // row-buffer length; 0 until bound
  uint32_t MaxColLength = 0;  // largest field; 0 until bound
  KezListPtrKezDcQrQResult QRChildList;
  _SEQUENCE_KezDcDbBindingSeq* p_BufferBinding = nullptr;  // owned; null until bound
  KezDcDbHAccessor h_QResult = 0;                          // 0 when none
  KezListValKezUnicodeString AccessorList;                 // 1-based attribute names
  KezUnicodeString DataSource;
  KezUnicodeString Session;
  KezUnicodeString Rowset;
  KezUnicodeString Accessor;              // the attribute-list text, unparsed
  KezDcQrQRRowset* p_QRRowset = nullptr;  // the father, not owned; null when missing

  KezDcQrQRAccessor();
  KezDcQrQRAccessor(KezUnicodeString iDataSource, KezUnicodeString iSession, KezUnicodeString iRowset,
                    KezUnicodeString iAccessor);
  ~KezDcQrQRAccessor() override;

  // The accessor handle, binding the columns on first use; 0 when the rowset
  // yields no interface.
  KezDcDbHAccessor GetQResult();
  void FreeQResult() override;
  // The key: the four components joined by ':'.
  KezUnicodeString Key() const;

 private:
  bool unknown_reported_ = false;  // a column the rowset lacks was reported
  void ParseAttributeList();
  void AppendAttribute(const KezUnicodeString& text);
  void BindDefault(_SEQUENCE_KezDcDbColInfoSeq* columns, uint32_t nbCols);
  void BindTrue(_SEQUENCE_KezDcDbColInfoSeq* columns, uint32_t nbCols);
  void AddField(KezDcDbBinding& entry, uint32_t maxlen);
  void ReleaseHandle();
  bool HandleIsStale();

  // The rowset interface that created h_QResult (one reference), so that the
  // handle goes back to the very object that made it.
  KezIDcDbSimpleRowset* handle_rowset_ = nullptr;
};

#endif
