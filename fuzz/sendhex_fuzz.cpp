// SendHex against arbitrary text: it either raises the conversion error or
// puts into TxBuffer exactly what an independent reading of the text gives,
// never more than the buffer holds.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "Scom.h"

namespace {

int Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Pairs from the front; after each pair, blanks and control characters are
// trimmed from both ends of what is left. `badPair` gets the first bad pair.
std::optional<std::vector<std::uint8_t>> Reference(std::string text, std::string& badPair) {
  std::vector<std::uint8_t> bytes;
  while (text.size() >= 2 && bytes.size() < kSerialBufferSize) {
    const int high = Digit(text[0]), low = Digit(text[1]);
    if (high < 0 || low < 0) {
      badPair = text.substr(0, 2);
      return std::nullopt;
    }
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    text.erase(0, 2);
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.erase(0, 1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.pop_back();
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  SerialPort.TxBuffer.fill(0xEE);
  SerialPort.RxCount = 3;
  std::string badPair;
  const auto expected = Reference(text, badPair);
  bool raised = false;
  try {
    SerialPort.SendHex(text);
  } catch (const EConvertError& error) {
    raised = true;
    // The message is a C string: it ends at a NUL inside the pair.
    const std::string message = "'0x" + badPair + "' is not a valid integer value";
    if (std::string(error.what()) != message.substr(0, message.find('\0'))) std::abort();
    if (SerialPort.RxCount != 3) std::abort();  // nothing cleared
  }
  if (raised != !expected.has_value()) std::abort();
  if (expected) {
    if (SerialPort.RxCount != 0) std::abort();
    for (std::size_t i = 0; i < expected->size(); ++i) {
      if (SerialPort.TxBuffer[i] != (*expected)[i]) std::abort();
    }
  }
  return 0;
}
