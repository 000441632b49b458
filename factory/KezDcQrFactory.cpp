// The factory: finds the node that a data path names, or creates it after
// its missing ancestors (from the data source down), together with the
// expressions that stand for its sub-query components.
#include "foundation/KezDcCMError.h"
#include "nodes/base/KezDcQrQResult.h"
#include "nodes/base/QResultTrace.h"
#include "nodes/database/KezDcQrQRAccessor.h"
#include "nodes/database/KezDcQrQRCell.h"
#include "nodes/database/KezDcQrQRData.h"
#include "nodes/database/KezDcQrQRDataSource.h"
#include "nodes/database/KezDcQrQRRowset.h"
#include "nodes/database/KezDcQrQRSession.h"
#include "nodes/expression/KezDcQrQRConstant.h"
#include "nodes/expression/KezDcQrQRExpression.h"
#include "nodes/expression/KezDcQrQRVariable.h"

namespace {

// Levels of sub-query expressions created inside one another (a bracketed
// component whose expression holds a path with a bracketed component...).
const int kMaxExpressionNesting = 64;
int expression_nesting = 0;

enum Level { kNoLevel = -1, kDataSourceLevel, kSessionLevel, kRowsetLevel, kAccessorLevel, kDataLevel, kCellLevel };

const char* const kLevelTypes[] = {"DataSource", "Session", "Rowset", "Accessor", "Data", "Cell"};

Level LevelOf(const KezUnicodeString& type) {
  for (int k = 0; k < 6; ++k) {
    if (type == kLevelTypes[k]) return static_cast<Level>(k);
  }
  return kNoLevel;
}

bool IsSubQueryText(const KezUnicodeString& component) {
  return component[0] == '[' || component[0] == '$';
}

// Registers the expression of a sub-query component: the text without its
// brackets, or the '$' text itself.
// The registry owns what NewQR creates, which the analyzer cannot see.
// NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)
void NewSubQueryExpressions(KezUnicodeString text) {
  if (text[0] == '[') {
    text.Remove(0, 1);
    text.Remove(text.GetLengthInChar() - 1, 1);
    KezUnicodeString type = "Expression";
    KezDcQrQResult::NewQR(text, "", "", "", "", "", type);
  }
  if (text[0] == '$') {
    KezUnicodeString type = "Expression";
    KezDcQrQResult::NewQR(text, "", "", "", "", "", type);
  }
}

// Creates the father of a node of the given level when it is missing.
void NewMissingFather(const KezUnicodeString* c, Level level) {
  KezUnicodeString key = c[0];
  for (int k = 1; k < level; ++k) key.Append(':').Append(c[k]);
  QR_TRA(4, "Locate in QRHT FatherPath:<%s> ?\n", key.ConvertToChar());
  if (KezDcQrQResult::QRHTab->Locate(key)) return;
  QR_TRA(4, level == kSessionLevel ? "KezDcQrQResult::NewQR: Answer: No => NewQR\n" : "Answer: No => NewQR\n");
  KezUnicodeString father[6];
  for (int k = 0; k < level; ++k) father[k] = c[k];
  KezUnicodeString type = kLevelTypes[level - 1];
  KezDcQrQResult::NewQR(father[0], father[1], father[2], father[3], father[4], father[5], type);
}
// NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)

KezDcQrQResult* NewDatabaseNode(const KezUnicodeString* c, Level level) {
  if (level > kDataSourceLevel) NewMissingFather(c, level);
  KezDcQrQResult* node = nullptr;
  switch (level) {
    case kDataSourceLevel:
      node = new KezDcQrQRDataSource(c[0]);
      QR_TRA(4, "New a QRDataSource OK \n");
      NewSubQueryExpressions(c[0][0] == '@' ? c[0].SubString(1, c[0].GetLengthInChar()) : c[0]);
      break;
    case kSessionLevel:
      node = new KezDcQrQRSession(c[0], c[1]);
      QR_TRA(4, "New a QRSession OK\n");
      NewSubQueryExpressions(c[1]);
      break;
    case kRowsetLevel:
      node = new KezDcQrQRRowset(c[0], c[1], c[2]);
      QR_TRA(4, "New a QRRowset OK\n");
      NewSubQueryExpressions(c[2]);
      break;
    case kAccessorLevel:
      node = new KezDcQrQRAccessor(c[0], c[1], c[2], c[3]);
      QR_TRA(4, "New a QRAccessor OK\n");
      if (IsSubQueryText(c[3])) {
        KezDcCMError::AddError("ERROR: NO ACCESSOR SUB-QUERY <%s> FOR DATAPATH\n", c[3].ConvertToChar());
      }
      break;
    case kDataLevel:
      node = new KezDcQrQRData(c[0], c[1], c[2], c[3], c[4]);
      QR_TRA(4, "New a QRData OK\n");
      if (IsSubQueryText(c[4])) {
        KezDcCMError::AddError("ERROR: NO DATABLOCK SUB-QUERY <%s> FOR DATAPATH\n", c[4].ConvertToChar());
      }
      break;
    case kCellLevel:
      node = new KezDcQrQRCell(c[0], c[1], c[2], c[3], c[4], c[5]);
      QR_TRA(4, "New a QRCell OK\n");
      NewSubQueryExpressions(c[5]);
      break;
    case kNoLevel:
      break;
  }
  return node;
}

KezDcQrQResult* NewExpression(const KezUnicodeString& text, KezUnicodeString& ioType) {
  if (expression_nesting >= kMaxExpressionNesting) {
    KezDcCMError::AddError("ERROR: EXPRESSION <%s> NESTED TOO DEEPLY (more than %d sub-query levels) !\n",
                           text.ConvertToChar(), kMaxExpressionNesting);
    return nullptr;
  }
  ++expression_nesting;
  KezDcQrQResult* node = new KezDcQrQRExpression(text, ioType);
  --expression_nesting;
  QR_TRA(4, "New an Expression of Type=%s\n", ioType.ConvertToChar());
  return node;
}

}  // namespace

KezDcQrQResult* KezDcQrQResult::NewQResult(KezUnicodeString iQuery) {
  QR_TRA(2, "=-->> QrQResult::NewQResult: iQuery=%s \n", iQuery.ConvertToChar());
  KezUnicodeString ds, s, r, a, d, c, type;
  ParseDataPath(iQuery, ds, s, r, a, d, c, type);
  KezDcQrQResult* node = NewQR(ds, s, r, a, d, c, type);
  if (node) node->client_held_ = true;
  return node;
}

KezDcQrQResult* KezDcQrQResult::NewQR(KezUnicodeString iDataSource, KezUnicodeString iSession, KezUnicodeString iRowset,
                                      KezUnicodeString iAccessor, KezUnicodeString iDataBlock, KezUnicodeString iCell,
                                      KezUnicodeString& ioType) {
  const KezUnicodeString components[6] = {iDataSource, iSession, iRowset, iAccessor, iDataBlock, iCell};
  Level level = LevelOf(ioType);
  bool expression = ioType == "Expression";
  if (level == kNoLevel && !expression && ioType != "Constant" && ioType != "Variable") return nullptr;
  KezUnicodeString key = JoinKey(components, level == kNoLevel ? 1 : level + 1);
  QR_TRA(2, "=-->> QrQResult::NewQR: <%s>\n", key.ConvertToChar());
  KezHashDicKezDcQrQResult* registry = expression ? ExprHTab : QRHTab;
  if (KezDcQrQResult* found = registry->Locate(key)) {
    QR_TRA(2, KEZ_REMARK "OK DATAPATH <%s> EXISTS\n", key.ConvertToChar());
    return found;
  }
  QR_TRA(4, "Locate in QRHT or ExprHT Path:<%s> ==> NO\n", key.ConvertToChar());
  QR_TRA(4, "Type:%s \n", ioType.ConvertToChar());
  KezDcQrQResult* node = nullptr;
  if (ioType == "Constant") {
    node = new KezDcQrQRConstant(iDataSource);
    QR_TRA(4, "New a QRConstant OK \n");
  } else if (ioType == "Variable") {
    node = iSession.IsEmpty() ? new KezDcQrQRVariable(iDataSource, 0) : new KezDcQrQRVariable(iDataSource, iSession);
    QR_TRA(4, "New a QRVariable OK \n");
  } else if (expression) {
    node = NewExpression(iDataSource, ioType);
  } else {
    node = NewDatabaseNode(components, level);
  }
  QR_TRA(2, "=-->> QrQResult::NewQR: BYE-BYE\n");
  return node;
}
