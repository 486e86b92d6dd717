// PBKDF2 over HMAC-SHA-1 and the key generator object TPBKDF2, which holds a
// password, a salt and an iteration count and hands out derived bytes.
//
// Contract for callers (the archive engine's AES items):
//   TPBKDF2(const AnsiString& password, int saltLength, int iterationCount);
//       salt of saltLength bytes from the system's cryptographic generator
//   TPBKDF2(const AnsiString& password, const void* salt, int saltLength, int iterationCount);
//       a copy of the given salt
//   void GetKeyBytes(int count, uint8_t*& key);   // key = new uint8_t[count]; the caller delete[]s it
//   uint8_t* GetSaltValue();                      // new uint8_t[saltLength]; the caller delete[]s it
// Every block handed out is allocated with new[] and released with delete[].
#pragma once

#include <cstdint>

#include "system.h"

// When on (it is), a failing PBKDF2 ends the process with exit code 254.
extern bool HaltOnError;

// Fills size bytes from the system's cryptographic generator (salts, the
// random bytes of encryption headers); raises EOSError when it refuses.
void FillRandomBytes(void* buffer, int size);

// kdf2 over the SHA-1 descriptor; returns its result code.
int32_t PBKDF2(const void* pPW, uint16_t pLen, const void* salt, uint16_t sLen, int32_t c, void* out, uint16_t outLen);

class TPBKDF2 : public TObject {
  CL_CLASS(TPBKDF2, TObject)
public:
  TPBKDF2(const AnsiString& password, int saltLength, int iterationCount);
  TPBKDF2(const AnsiString& password, const void* salt, int saltLength, int iterationCount);
  ~TPBKDF2() override;
  TPBKDF2(const TPBKDF2&) = delete;
  TPBKDF2& operator=(const TPBKDF2&) = delete;

  // Allocates count bytes (new[]) into key and fills them with PBKDF2 output.
  void GetKeyBytes(int count, uint8_t*& key);
  // A copy of the salt (new[]); the caller frees it with delete[].
  uint8_t* GetSaltValue();
  int IterationCount() const { return FIterationCount; }
  int SaltLength() const { return FSaltLength; }
  void Initialize() {}
  void Reset() {}

private:
  int FIterationCount;
  uint8_t* FSalt = nullptr;
  int FSaltLength;
  AnsiString FPassword;
};
