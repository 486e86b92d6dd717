// The object-style hashes (THash: MD4, RIPEMD-128, RIPEMD-256) and the
// abstract block cipher TCipher with its nine modes of operation, each with a
// registry of classes by name.
//
// Classes are referred to at run time through their class records
// (THashClass, TCipherClass): TCipher_Rijndael::Class and so on. A record
// carries the class operations (GetContext, TestVector, MaxKeySize, SelfTest,
// DigestKeySize, CalcBuffer...) and makes instances.
//
// Contract for the archive engine's AES items (see Cipher_Rijndael.h):
//   TCipher_Rijndael(uint8_t*& key, uint16_t keyLength);
//     key must be a block from new uint8_t[]; the cipher is keyed with
//     min(keyLength, 32) of its bytes, then the block is delete[]d and key is
//     pointed at a new block (new uint8_t[keyLength]) of the same length that
//     holds the key encrypted, no longer the key. The caller delete[]s it.
//   void SetMode(TCipherMode mode);                 // cmCTR
//   void EncodeBuffer(const void* source, void* dest, int dataSize);
//   void DecodeBuffer(const void* source, void* dest, int dataSize);
//     In cmCTR the key stream runs on across calls of any length: the counter
//     is a 64-bit little-endian number in bytes 0-7 of a 16-byte block that
//     starts at 0 and is incremented before each key-stream block (so the
//     first block encrypts counter 1), exactly as the ZIP format's AES items.
#pragma once

#include <cstdint>

#include "Zecryptutil.h"

// --- hash classes ------------------------------------------------------------

class THash;
struct THashMeta;
using THashClass = const THashMeta*;

// The class record of a hash class.
struct THashMeta : TMetaClass {
  THash* (*New)(TProtection* protection);
  const uint8_t* (*DoTestVector)();
  int (*DoDigestKeySize)();

  AnsiString ClassName() const { return Name; }
  const uint8_t* TestVector() const { return DoTestVector(); }
  int DigestKeySize() const { return DoDigestKeySize(); }
  // The digest of the data as text in the given format; each makes an
  // instance chained to protection, hashes and frees it.
  AnsiString CalcBuffer(const void* buffer, int size, TProtection* protection = nullptr, int format = fmtDEFAULT) const;
  AnsiString CalcString(const AnsiString& data, TProtection* protection = nullptr, int format = fmtDEFAULT) const;
  // A negative size hashes the whole stream from its start.
  AnsiString CalcStream(TStream* stream, int size, TProtection* protection = nullptr, int format = fmtDEFAULT) const;
  AnsiString CalcFile(const AnsiString& fileName, TProtection* protection = nullptr, int format = fmtDEFAULT) const;
  bool SelfTest() const;
};

#define CL_HASH_CLASS(TName, TParent)                                    \
public:                                                                  \
  static const THashMeta Class;                                          \
  const TMetaClass* ClassType() const override { return &TName::Class; } \
  using inherited = TParent;

class THash : public TProtection {
  CL_HASH_CLASS(THash, TProtection)
public:
  explicit THash(TProtection* protection = nullptr) : TProtection(protection) {}

  THashClass HashClass() const { return static_cast<THashClass>(ClassType()); }

  void CodeInit(TPAction action) override;
  void CodeDone(TPAction action) override;
  void CodeBuf(void* buffer, int size, TPAction action) override;

  virtual void Init() {}
  virtual void Calc(const void* /*data*/, int /*size*/) {}
  virtual void Done() {}
  // The digest after Done (DigestKeySize bytes).
  virtual uint8_t* DigestKey();
  AnsiString DigestStr(int format = fmtDEFAULT);

  // Class operations.
  static const uint8_t* TestVector();
  static int DigestKeySize() { return 0; }
};

// MD4; its state is sized for the RIPEMD family that derives from it.
class THash_MD4 : public THash {
  CL_HASH_CLASS(THash_MD4, THash)
public:
  explicit THash_MD4(TProtection* protection = nullptr) : THash(protection) { Init(); }
  ~THash_MD4() override;

  void Init() override;
  void Calc(const void* data, int size) override;
  void Done() override;
  uint8_t* DigestKey() override { return reinterpret_cast<uint8_t*>(FDigest); }

  static const uint8_t* TestVector();
  static int DigestKeySize() { return 16; }

protected:
  virtual void Transform(const void* block);

  // The byte count is 64 bits wide so that digests stay right past 512 MiB.
  uint64_t FCount = 0;
  uint8_t FBuffer[64];
  uint32_t FDigest[10];
};

class THash_RipeMD128 : public THash_MD4 {
  CL_HASH_CLASS(THash_RipeMD128, THash_MD4)
public:
  explicit THash_RipeMD128(TProtection* protection = nullptr) : THash_MD4(protection) {}
  static const uint8_t* TestVector();

protected:
  void Transform(const void* block) override;
};

class THash_RipeMD256 : public THash_MD4 {
  CL_HASH_CLASS(THash_RipeMD256, THash_MD4)
public:
  explicit THash_RipeMD256(TProtection* protection = nullptr) : THash_MD4(protection) { Init(); }
  void Init() override;
  static const uint8_t* TestVector();
  static int DigestKeySize() { return 32; }

protected:
  void Transform(const void* block) override;
};

// The base of checksums: no digest of its own.
class TChecksum : public THash {
  CL_HASH_CLASS(TChecksum, THash)
public:
  explicit TChecksum(TProtection* protection = nullptr) : THash(protection) {}
};

// The functions of a registry of classes of one kind: entries
// "name=description" with the class, and the default class, which a null
// class sets back to the built-in one.
#define CL_DECLARE_CLASS_REGISTRY(Kind, TKindClass)                                        \
  TStringList* Kind##List();                                                               \
  bool Register##Kind(TKindClass cls, const AnsiString& name, const AnsiString& description); \
  bool Unregister##Kind(TKindClass cls);                                                   \
  void Kind##Names(TStrings* strings);                                                     \
  TKindClass Get##Kind##Class(const AnsiString& name);                                     \
  AnsiString Get##Kind##Name(TKindClass cls);                                              \
  TKindClass Default##Kind##Class();                                                       \
  void SetDefault##Kind##Class(TKindClass cls);

// The registry of hash classes: HashList, RegisterHash, UnregisterHash,
// HashNames, GetHashClass, GetHashName, DefaultHashClass, SetDefaultHashClass
// (built-in default THash_RipeMD256).
CL_DECLARE_CLASS_REGISTRY(Hash, THashClass)

// --- ciphers ----------------------------------------------------------------

enum TCipherMode : uint8_t {
  cmCTS = 0,
  cmCBC = 1,
  cmCFB = 2,
  cmOFB = 3,
  cmCTR = 4,
  cmECB = 5,
  cmCTSMAC = 6,
  cmCBCMAC = 7,
  cmCFBMAC = 8,
};

// Error codes of ECipherException.
enum : int {
  errInvalidKeySize = 2,
  errNotInitialized = 3,
  errInvalidDataLength = 4,
};

class ECipherException : public Exception {
  CL_CLASS(ECipherException, Exception)
public:
  ECipherException(const AnsiString& msg, int errorCode) : Exception(msg), FErrorCode(errorCode) {}
  int ErrorCode() const { return FErrorCode; }

private:
  int FErrorCode;
};

[[noreturn]] void RaiseCipherException(int errorCode, const AnsiString& msg);

// Off (as in this program): too long keys are cut to the key size; on: they
// raise ECipherException errInvalidKeySize.
extern bool CheckCipherKeySize;

class TCipher;
struct TCipherMeta;
using TCipherClass = const TCipherMeta*;

// The class record of a cipher class.
struct TCipherMeta : TMetaClass {
  TCipher* (*New)(const AnsiString& password, TProtection* protection);
  void (*DoGetContext)(int& bufSize, int& keySize, int& userSize);
  const uint8_t* (*DoTestVector)();

  AnsiString ClassName() const { return Name; }
  // Block size, largest key and key-schedule size in bytes.
  void GetContext(int& bufSize, int& keySize, int& userSize) const { DoGetContext(bufSize, keySize, userSize); }
  // The 32 bytes the self-test must produce.
  const uint8_t* TestVector() const { return DoTestVector(); }
  int MaxKeySize() const;
  bool SelfTest() const;
  uint16_t Identity() const { return TProtection::Identity(this); }
};

// The factory of a cipher class record.
template <class T>
TCipher* NewCipher(const AnsiString& password, TProtection* protection) {
  return new T(password, protection);
}

#define CL_CIPHER_CLASS(TName, TParent)                                  \
public:                                                                  \
  static const TCipherMeta Class;                                        \
  const TMetaClass* ClassType() const override { return &TName::Class; } \
  using inherited = TParent;

// The constructors every concrete cipher has. The public ones key the cipher
// after the whole object exists, so the class's own Init runs; the protected
// ones let a derived class pass its class record down.
#define CL_CIPHER_CONSTRUCTORS(TName, TParent)                                                          \
public:                                                                                                 \
  explicit TName(const AnsiString& password = AnsiString(), TProtection* protection = nullptr)          \
      : TParent(&TName::Class, protection) {                                                            \
    InitPassword(password);                                                                             \
  }                                                                                                     \
  TName(uint8_t*& key, uint16_t keyLength) : TParent(&TName::Class) { InitKeyPointer(key, keyLength); } \
                                                                                                        \
protected:                                                                                              \
  TName(TCipherClass cls, TProtection* protection) : TParent(cls, protection) {}                        \
  explicit TName(TCipherClass cls) : TParent(cls) {}                                                    \
                                                                                                        \
public:

// What a cipher with its own block functions and key schedule declares: its
// class record and constructors, the class operations GetContext and
// TestVector, and Encode, Decode and Init.
#define CL_BLOCK_CIPHER(TName, TParent)                                \
  CL_CIPHER_CLASS(TName, TParent)                                      \
  CL_CIPHER_CONSTRUCTORS(TName, TParent)                               \
  static void GetContext(int& bufSize, int& keySize, int& userSize);  \
  static const uint8_t* TestVector();                                  \
  void Encode(void* data) override;                                    \
  void Decode(void* data) override;                                    \
  void Init(const void* key, int size, const void* IVector) override;

class TCipher : public TProtection {
  CL_CIPHER_CLASS(TCipher, TProtection)
public:
  // Keys the cipher with the password through the hash class (when not empty).
  explicit TCipher(const AnsiString& password = AnsiString(), TProtection* protection = nullptr);
  // Keys the cipher with key bytes (when key is not null); see the contract at
  // the top: the caller's block is replaced by one that no longer holds the key.
  TCipher(uint8_t*& key, uint16_t keyLength);
  ~TCipher() override;

  TCipherClass CipherClass() const { return static_cast<TCipherClass>(ClassType()); }

  // Class operations of TCipher itself (derived classes hide them).
  static void GetContext(int& bufSize, int& keySize, int& userSize);
  static const uint8_t* TestVector();

  void CodeInit(TPAction action) override;
  void CodeDone(TPAction action) override;
  void CodeBuf(void* buffer, int size, TPAction action) override;

  virtual void SetFlag(int index, bool value);
  virtual void InitEnd(const void* IVector);
  // One block, in place.
  virtual void Encode(void* /*data*/) {}
  virtual void Decode(void* /*data*/) {}
  // Key bytes (cut to the key size), optional initialisation vector of one block.
  virtual void Init(const void* /*key*/, int /*size*/, const void* /*IVector*/) {}
  virtual void Done();
  virtual void Protect();

  bool GetFlag(int index) const { return (FFlags >> index) & 1; }
  void InitKey(const AnsiString& key, const void* IVector);
  void InitKey(uint8_t*& key, uint16_t size, const void* IVector);
  // Source and destination may be the same buffer.
  void EncodeBuffer(const void* source, void* dest, int dataSize);
  void DecodeBuffer(const void* source, void* dest, int dataSize);

  THash* GetHash();
  THashClass HashClass() const { return FHashClass; }
  void SetHashClass(THashClass value);
  TCipherMode Mode() const { return FMode; }
  void SetMode(TCipherMode value) { FMode = value; }
  int KeySize() const { return FKeySize; }
  int BufSize() const { return FBufSize; }
  int UserSize() const { return FUserSize; }
  const uint8_t* Vector() const { return FVector; }
  const uint8_t* Feedback() const { return FFeedback; }
  const uint8_t* Counter() const { return FCounter; }
  int KeyStreamPos() const { return FKeyStreamPos; }

protected:
  TCipher(TCipherClass cls, TProtection* protection);
  explicit TCipher(TCipherClass cls);

  // Every Init starts with InitBegin (wipes the state, cuts the length) and
  // ends with InitEnd.
  void InitBegin(int& size);
  void InitPassword(const AnsiString& password);
  void InitKeyPointer(uint8_t*& key, uint16_t keyLength);
  void* User() { return FUser; }
  uint8_t* Buffer() { return FBuffer; }
  uint8_t* CounterBlock() { return FCounter; }

private:
  void Setup(TCipherClass cls);
  void CheckInitialized();
  void IncCounter();
  void TailXor(const uint8_t* s, uint8_t* d, int n);
  void MacBlock(const uint8_t* s, int n, bool chained);
  uint8_t FeedbackKeyByte();
  void ShiftIntoFeedback(uint8_t c);

  TCipherMode FMode = cmCTS;
  THash* FHash = nullptr;
  THashClass FHashClass = nullptr;
  int FKeySize = 0;
  int FBufSize = 0;
  int FUserSize = 0;
  uint8_t* FBuffer = nullptr;  // work block
  uint8_t* FVector = nullptr;
  uint8_t* FFeedback = nullptr;
  uint8_t* FUser = nullptr;  // key schedule
  uint32_t FFlags = 0;       // bit 0 keyed through InitKey, bit 1 initialised
  int FKeyStreamPos = 0;
  uint8_t* FKeyStream = nullptr;
  uint8_t* FCounter = nullptr;
};

// The registry of cipher classes: CipherList, RegisterCipher,
// UnregisterCipher, CipherNames, GetCipherClass, GetCipherName,
// DefaultCipherClass, SetDefaultCipherClass (built-in default
// TCipher_Rijndael).
CL_DECLARE_CLASS_REGISTRY(Cipher, TCipherClass)

// Wipes a buffer so that the compiler cannot drop the stores.
void WipeBuffer(void* buffer, int size, uint8_t value = 0);

void UnitInit_Zecipher();
void UnitFini_Zecipher();
