#include "adapter_quirks.h"

namespace cli {

bool CannotHoldLongBreak(unsigned vendorId, unsigned productId) {
  return vendorId == 0x1a86 && (productId == 0x7523 || productId == 0x5523);
}

}  // namespace cli
