// The data-path syntax: classification, splitting into components with
// bracket depth, blank stripping and '#' expansion.
#include "foundation/KezDcCMError.h"
#include "nodes/base/KezDcQrQResult.h"
#include "nodes/base/QResultTrace.h"
#include "nodes/expression/KezDcQrQRVariable.h"

namespace {

// Rounds of '#' expansion before a path that keeps changing is given up.
const int kMaxExpansionRounds = 32;

const char* const kTypeByComponents[] = {"DataSource", "Session", "Rowset", "Accessor", "Data", "Cell"};

KezUnicodeString StripBlanks(const KezUnicodeString& text) {
  return text.Strip(1, ' ').Strip(2, ' ');
}

bool IsPathMarker(const KezUnicodeChar& c) {
  return c == '"' || c == '#' || c == '$' || c == '@';
}

// The text a '#' component expands to: the value of the variable registered
// under name, as a put writes it; false (after the report) when none is.
bool ExpandVariable(const KezUnicodeString& name, KezUnicodeString& oText) {
  KezDcQrQResult* node = KezDcQrQResult::QRHTab ? KezDcQrQResult::QRHTab->Locate(name) : nullptr;
  auto* variable = kez::As<KezDcQrQRVariable>(node);
  if (variable && variable->ValueText(oText)) return true;
  KezDcCMError::AddError("ERROR: IMPOSSIBLE TO EXPAND <%s> ! \n", name.ConvertToChar());
  return false;
}

// Splits a database path at the ':' of depth 0 into at most six components;
// returns the number of separators counted.
int SplitPath(const KezUnicodeString& path, KezUnicodeString* components) {
  int depth = 0;
  int index = 0;
  for (char c : path.Std()) {
    if (c == '[') ++depth;
    if (c == ']') --depth;
    if (depth < 0) {
      KezDcCMError::AddError("ERROR: INVALID DATAPATH - Too many closed brackets\n");
      continue;
    }
    bool separator = depth == 0 && c == ':';
    if (!separator) {
      if (index >= 6) {
        KezDcCMError::AddError("ERROR: INVALID DATAPATH - Too many pattern between ':'\n");
      } else {
        components[index].Append(c);
      }
    }
    if (separator) ++index;
  }
  if (depth > 0) KezDcCMError::AddError("ERROR: INVALID DATAPATH - Too many opened brackets\n");
  return index;
}

// Builds the path with every '#' component replaced by its variable's value.
KezUnicodeString ExpandPath(KezUnicodeString* components, int separators) {
  KezUnicodeString expanded;
  KezUnicodeString& source = components[0];
  if (source[1] == '#') {
    source.Remove(0, 1);
    KezUnicodeString value;
    if (ExpandVariable(source, value)) expanded.Append('@').Append(value);
  } else {
    expanded.Append(source);
  }
  for (int k = 1; k <= separators && k < 6; ++k) {
    expanded.Append(':');
    KezUnicodeString value;
    if (components[k][0] != '#') {
      expanded.Append(components[k]);
    } else if (ExpandVariable(components[k], value)) {
      expanded.Append(value);
    }
  }
  return expanded;
}

void TraceResults(KezUnicodeString* const outputs[7]) {
  if (!QR_TRACING(2)) return;
  QR_TRA(2, "=-->> QrQResult::ParseDataPath: TYPE      =<%s>\n", outputs[6]->ConvertToChar());
  QR_TRA(2, "=-->> QrQResult::ParseDataPath: DataSource=<%s>\n", outputs[0]->ConvertToChar());
  QR_TRA(2, "=-->> QrQResult::ParseDataPath: Session   =<%s>\n", outputs[1]->ConvertToChar());
  QR_TRA(2, "=-->> QrQResult::ParseDataPath: Rowset    =<%s>\n", outputs[2]->ConvertToChar());
  QR_TRA(2, "=-->> QrQResult::ParseDataPath: Accessor  =<%s>\n", outputs[3]->ConvertToChar());
  QR_TRA(2, "=-->> QrQResult::ParseDataPath: DataBlock =<%s>\n", outputs[4]->ConvertToChar());
  QR_TRA(2, "=-->> QrQResult::ParseDataPath: Cell      =<%s>\n", outputs[5]->ConvertToChar());
}

enum Round { kNotDatabasePath, kUnchanged, kChanged };

// One parse of a path. A database path whose '#' components expand to
// another text hands that text back (kChanged) to be parsed in its turn.
Round ParseRound(const KezUnicodeString& iDataPath, KezUnicodeString* const outputs[7], KezUnicodeString* oExpanded) {
  QR_TRA(2, "=-->> QrQResult::ParseDataPath: iDataPath=%s \n", iDataPath.ConvertToChar());
  if (!IsPathMarker(iDataPath[0])) KezDcCMError::AddError("ERROR: Invalid DataPath=%s \n", iDataPath.ConvertToChar());
  KezUnicodeString path = StripBlanks(iDataPath);
  KezUnicodeChar first = path[0];
  if (first == '"' || first == '#' || first == '$') {
    *outputs[0] = path;
    *outputs[6] = first == '"' ? "Constant" : "Variable";
    return kNotDatabasePath;
  }
  if (first != '@') return kNotDatabasePath;
  QR_TRA(4, "TailleDataPath=%d \n", path.GetLengthInChar());
  KezUnicodeString components[6];
  int separators = SplitPath(path, components);
  for (int k = 0; k < 6; ++k) *outputs[k] = StripBlanks(components[k]);
  *outputs[6] = separators < 6 ? kTypeByComponents[separators] : "";
  for (int k = 0; k < 6; ++k) components[k] = *outputs[k];
  *oExpanded = ExpandPath(components, separators);
  *outputs[0] = components[0];  // a '#' data source loses its '@' here
  QR_TRA(4, "DataPath Expande = <%s> \n", oExpanded->ConvertToChar());
  return *oExpanded != path ? kChanged : kUnchanged;
}

}  // namespace

// An expansion is parsed again until it no longer changes, at most
// kMaxExpansionRounds times (variables may refer to each other). The rounds
// run one after another so that only one round's texts are held at a time.
void KezDcQrQResult::ParseDataPath(KezUnicodeString iDataPath, KezUnicodeString& oDataSource,
                                   KezUnicodeString& oSession, KezUnicodeString& oRowset, KezUnicodeString& oAccessor,
                                   KezUnicodeString& oDataBlock, KezUnicodeString& oCell, KezUnicodeString& oType) {
  KezUnicodeString* const outputs[7] = {&oDataSource, &oSession, &oRowset, &oAccessor, &oDataBlock, &oCell, &oType};
  KezUnicodeString path = iDataPath;
  int database_rounds = 0;
  for (int round = 1;; ++round) {
    KezUnicodeString expanded;
    Round result = ParseRound(path, outputs, &expanded);
    if (result == kNotDatabasePath) break;
    ++database_rounds;
    if (result == kUnchanged) break;
    if (round == kMaxExpansionRounds) {
      KezDcCMError::AddError("ERROR: IMPOSSIBLE TO EXPAND DATAPATH <%s>: IT STILL CHANGES AFTER %d EXPANSIONS ! \n",
                             iDataPath.ConvertToChar(), kMaxExpansionRounds);
      break;
    }
    path = std::move(expanded);
  }
  // Every parse of a database path, the first and each of its expansions,
  // ends with the result lines, which show the final outputs.
  for (int k = 0; k < database_rounds; ++k) TraceResults(outputs);
}
