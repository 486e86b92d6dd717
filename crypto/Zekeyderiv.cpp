#include "Zekeyderiv.h"

#include <cstring>

#include "Zehash.h"
#include "Zepb_kdf.h"
#include "sysutils.h"

extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);  // RtlGenRandom, advapi32

CL_DEFINE_CLASS(TPBKDF2, TObject)

bool HaltOnError = true;

int32_t PBKDF2(const void* pPW, uint16_t pLen, const void* salt, uint16_t sLen, int32_t c, void* out, uint16_t outLen) {
  int32_t r = kdf2(FindHash_by_ID(_SHA1), pPW, pLen, salt, sLen, c, out, outLen);
  if (r != 0 && HaltOnError) ExitProcess(254);
  return r;
}

void FillRandomBytes(void* buffer, int size) {
  if (size <= 0) return;
  if (!SystemFunction036(buffer, static_cast<ULONG>(size))) RaiseLastOSError();
}

TPBKDF2::TPBKDF2(const AnsiString& password, int saltLength, int iterationCount)
    : FIterationCount(iterationCount), FSaltLength(saltLength < 0 ? 0 : saltLength), FPassword(password) {
  FSalt = new uint8_t[FSaltLength > 0 ? FSaltLength : 1];
  // Salts come from the system's cryptographic generator over the whole byte
  // range: two items made in the same clock tick must not share a key stream.
  FillRandomBytes(FSalt, FSaltLength);
  Initialize();
}

TPBKDF2::TPBKDF2(const AnsiString& password, const void* salt, int saltLength, int iterationCount)
    : FIterationCount(iterationCount), FSaltLength(saltLength < 0 ? 0 : saltLength), FPassword(password) {
  FSalt = new uint8_t[FSaltLength > 0 ? FSaltLength : 1];
  if (FSaltLength > 0 && salt)
    std::memcpy(FSalt, salt, FSaltLength);
  else if (FSaltLength > 0)
    std::memset(FSalt, 0, FSaltLength);
  Initialize();
}

TPBKDF2::~TPBKDF2() {
  std::memset(FSalt, 0, FSaltLength);
  delete[] FSalt;
  if (!FPassword.IsEmpty()) std::memset(FPassword.data(), 0, FPassword.Length());
}

void TPBKDF2::GetKeyBytes(int count, uint8_t*& key) {
  if (count < 0) count = 0;
  key = new uint8_t[count > 0 ? count : 1];
  std::memset(key, 0, count > 0 ? count : 1);
  // The password is used in place and every length is derived in full; the
  // 16-bit limits of PBKDF2 do not apply here.
  int32_t r = zekdf::Derive(FindHash_by_ID(_SHA1), FPassword.c_str(), static_cast<uint32_t>(FPassword.Length()), FSalt,
                            static_cast<uint32_t>(FSaltLength), FIterationCount, key, static_cast<uint32_t>(count));
  if (r != 0 && HaltOnError) ExitProcess(254);
}

uint8_t* TPBKDF2::GetSaltValue() {
  uint8_t* copy = new uint8_t[FSaltLength > 0 ? FSaltLength : 1];
  if (FSaltLength > 0) std::memcpy(copy, FSalt, FSaltLength);
  return copy;
}
