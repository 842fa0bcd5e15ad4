// PIN key configuration.
//
// ============================================================================
// TEST VALUES. These keys are made up for development and testing only.
// Replace them with the network's keys for production: PinFixedKey and the
// ten master keys are issued by the payment network and supplied with the
// production build. Keep the layout exactly as it is (see keys.h).
// ============================================================================
#include "payment/corvanavan/keys.h"

namespace pink::corvanavan::keys {
namespace {

// PinFixedKey (TEST VALUE - replace with the network's key for production).
constexpr char kPinFixedKey[] = "5B3C7E91A2D4F608";

// PinMasterKeyTable (TEST VALUES - replace with the network's keys for
// production).
constexpr char kPinMasterKeyTable[] =
    "00    0123456789ABCDEF    "
    "01    FEDCBA9876543210    "
    "02    89ABCDEF01234567    "
    "03    76543210FEDCBA98    "
    "04    0F1E2D3C4B5A6978    "
    "05    1032547698BADCFE    "
    "06    A5A5A5A55A5A5A5A    "
    "07    C3C3C3C33C3C3C3C    "
    "08    13579BDF02468ACE    "
    "09    2468ACE013579BDF    ";

static_assert(sizeof kPinFixedKey - 1 == 16);
static_assert(sizeof kPinMasterKeyTable - 1 == kMasterKeyEntries * kMasterKeyEntrySize);

}  // namespace

std::string_view pin_fixed_key() { return {kPinFixedKey, sizeof kPinFixedKey - 1}; }

std::string_view pin_master_key_table() {
  return {kPinMasterKeyTable, sizeof kPinMasterKeyTable - 1};
}

}  // namespace pink::corvanavan::keys
