#include "Ucrypt.h"

namespace {

// Both directions feed the scrambled byte into the key, read as a signed byte;
// the key arithmetic wraps modulo 2^32.
uint32_t NextKey(uint32_t k, uint8_t scrambled, int32_t multiplier, int32_t addend) {
  const uint32_t c = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(scrambled)));
  return (k + c) * static_cast<uint32_t>(multiplier) + static_cast<uint32_t>(addend);
}

}  // namespace

AnsiString ScrambleString(const AnsiString& text, int32_t startKey, int32_t multiplier, int32_t addend) {
  std::string out(text.str().size(), '\0');
  uint32_t k = static_cast<uint32_t>(startKey);
  for (size_t i = 0; i < out.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(text.str()[i]) ^ static_cast<uint8_t>(k >> 8);
    out[i] = static_cast<char>(c);
    k = NextKey(k, c, multiplier, addend);
  }
  return AnsiString(std::move(out));
}

AnsiString UnscrambleString(const AnsiString& text, int32_t startKey, int32_t multiplier, int32_t addend) {
  std::string out(text.str().size(), '\0');
  uint32_t k = static_cast<uint32_t>(startKey);
  for (size_t i = 0; i < out.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(text.str()[i]);
    out[i] = static_cast<char>(c ^ static_cast<uint8_t>(k >> 8));
    k = NextKey(k, c, multiplier, addend);
  }
  return AnsiString(std::move(out));
}
