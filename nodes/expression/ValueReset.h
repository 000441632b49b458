// Internal: forgetting the value of a variable or an expression, the one
// step that both kinds' FreeQResult share.
#ifndef KEZ_DC_QR_VALUE_RESET_H
#define KEZ_DC_QR_VALUE_RESET_H

namespace kez {
namespace detail {

// Clears the value and the result pointers of node (a KezDcQrQRVariable or
// a KezDcQrQRExpression); its owned string is released by the caller.
template <class Node>
void ResetValue(Node& node) {
  node.p_IntQResult = nullptr;
  node.p_DoubleQResult = nullptr;
  node.StringValue = "";
  node.IntValue = 0;
  node.DoubleValue = 0.0;
}

}  // namespace detail
}  // namespace kez

#endif
