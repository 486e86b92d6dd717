// Blowfish (Schneier), keys of 1 to 56 bytes.
#pragma once

#include "Zfcipher.h"

class TCipher_Blowfish : public TCipher {
  CL_CIPHER_CLASS(TCipher_Blowfish, TCipher)
  CL_CIPHER_CONSTRUCTORS(TCipher_Blowfish, TCipher)
public:
  static void GetContext(int& bufSize, int& keySize, int& userSize);
  static const uint8_t* TestVector();

  void Encode(void* data) override;
  void Decode(void* data) override;
  // Raises ECipherException errInvalidKeySize for an empty key.
  void Init(const void* key, int size, const void* IVector) override;
};
