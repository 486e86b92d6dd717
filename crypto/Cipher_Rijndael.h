// Rijndael / AES (FIPS 197) and the variant with another 256-bit key schedule.
//
// The archive engine's AES items:
//   uint8_t* key = new uint8_t[keyLength];     // the AES key bytes (16, 24 or 32)
//   TCipher* c = new TCipher_Rijndael(key, keyLength);
//   // key now points at a new block of keyLength bytes that no longer holds
//   // the key; delete[] it when done.
//   c->SetMode(cmCTR);
//   c->EncodeBuffer(buf, buf, n);              // or DecodeBuffer, any n, any number of calls
//   delete c;
// Keys shorter than 16, 24 or 32 bytes are filled with zero bytes to that length.
#pragma once

#include "Zecipher.h"

class TCipher_Rijndael : public TCipher {
  CL_BLOCK_CIPHER(TCipher_Rijndael, TCipher)
  int Rounds() const { return FRounds; }

protected:
  // Init with the standard or the other 256-bit key expansion.
  void InitSchedule(const void* key, int size, const void* IVector, bool otherSchedule);
  // Fills the encryption and decryption round keys from a zero-filled
  // 32-byte key.
  void BuildKey(const uint8_t* key, int size, bool otherSchedule);

  int FRounds = 0;
};

// Rijndael whose 256-bit key expansion XORs words 5 to 7 with their
// predecessors once more; equal to Rijndael for keys of at most 24 bytes.
class TCipher_RijndaelZE : public TCipher_Rijndael {
  CL_CIPHER_CLASS(TCipher_RijndaelZE, TCipher_Rijndael)
  CL_CIPHER_CONSTRUCTORS(TCipher_RijndaelZE, TCipher_Rijndael)
public:
  static const uint8_t* TestVector();
  void Init(const void* key, int size, const void* IVector) override;
};
