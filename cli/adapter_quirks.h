// What is known to go wrong with particular USB serial adapters.
#pragma once

namespace cli {

// USB adapters whose Linux driver cannot hold a long break (CH340/CH341).
bool CannotHoldLongBreak(unsigned vendorId, unsigned productId);

}  // namespace cli
