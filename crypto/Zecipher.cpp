#include "Zecipher.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "Cipher_Rijndael.h"
#include "Zecryptconst.h"

static_assert(std::endian::native == std::endian::little, "digests are the state words in memory order");

CL_DEFINE_CLASS(ECipherException, Exception)

bool CheckCipherKeySize = false;

namespace {

template <class T>
THash* NewHash(TProtection* protection) {
  return new T(protection);
}

// --- registries of classes ---------------------------------------------------
// Both registries keep "name=description" entries with the class record as
// the entry's object.

TObject* AsObject(const TMetaClass* cls) { return reinterpret_cast<TObject*>(const_cast<TMetaClass*>(cls)); }
const TMetaClass* AsClass(TObject* obj) { return reinterpret_cast<const TMetaClass*>(obj); }

AnsiString DefaultEntryName(const TMetaClass* cls) {
  AnsiString n = cls->Name;
  if (n.Length() > 0 && n[1] == 'T') n.Delete(1, 1);
  return GetShortClassName(n);
}

bool RegisterIn(TStringList* list, const TMetaClass* cls, const AnsiString& name, const AnsiString& description) {
  if (!cls) return false;
  AnsiString n = Trim(name);
  if (n.IsEmpty()) n = DefaultEntryName(cls);
  AnsiString entry = n + "=" + description;
  int i = list->IndexOfObject(AsObject(cls));
  if (i >= 0)
    list->Put(i, entry);
  else
    list->AddObject(entry, AsObject(cls));
  return true;
}

bool UnregisterIn(TStringList* list, const TMetaClass* cls) {
  bool any = false;
  for (int i = list->Count() - 1; i >= 0; --i)
    if (AsClass(list->Objects(i)) == cls) {
      list->Delete(i);
      any = true;
    }
  return any;
}

void NamesIn(TStringList* list, TStrings* strings) {
  if (!strings || !strings->Is<TStringList>()) return;
  for (int i = 0; i < list->Count(); ++i) strings->AddObject(list->Names(i), list->Objects(i));
}

const TMetaClass* FindIn(TStringList* list, const AnsiString& name) {
  AnsiString n = name;
  int p = n.Pos("_");
  if (p > 0) n.Delete(1, p);
  for (int i = 0; i < list->Count(); ++i) {
    const TMetaClass* cls = AsClass(list->Objects(i));
    if (cls && SameText(GetShortClassName(cls), n)) return cls;
  }
  int i = list->IndexOfName(n);
  return i >= 0 ? AsClass(list->Objects(i)) : nullptr;
}

AnsiString NameIn(TStringList* list, const TMetaClass* cls) {
  int i = list->IndexOfObject(AsObject(cls));
  return i >= 0 ? list->Names(i) : GetShortClassName(cls);
}

// One registry: its list (made on first use), the default class set by the
// program and the one that stands in while none is. Plain data, set up before
// any code runs.
template <class TMeta>
struct TClassRegistry {
  TStringList* List;
  const TMeta* Default;
  const TMeta* Fallback;
  TStringList* Items() {
    if (!List) List = new TStringList();
    return List;
  }
  void Free() {
    delete List;
    List = nullptr;
    Default = nullptr;
  }
};

TClassRegistry<THashMeta> Hashes = {nullptr, nullptr, &THash_RipeMD256::Class};
TClassRegistry<TCipherMeta> Ciphers = {nullptr, nullptr, &TCipher_Rijndael::Class};

}  // namespace

// The public functions of a registry: <Kind>List, Register<Kind>,
// Unregister<Kind>, <Kind>Names, Get<Kind>Class, Get<Kind>Name,
// Default<Kind>Class and SetDefault<Kind>Class.
#define CL_DEFINE_CLASS_REGISTRY(Kind, TKindClass, registry)                                           \
  TStringList* Kind##List() { return registry.Items(); }                                               \
  bool Register##Kind(TKindClass cls, const AnsiString& name, const AnsiString& description) {         \
    return RegisterIn(registry.Items(), cls, name, description);                                       \
  }                                                                                                    \
  bool Unregister##Kind(TKindClass cls) { return UnregisterIn(registry.Items(), cls); }                \
  void Kind##Names(TStrings* strings) { NamesIn(registry.Items(), strings); }                          \
  TKindClass Get##Kind##Class(const AnsiString& name) {                                                \
    return static_cast<TKindClass>(FindIn(registry.Items(), name));                                    \
  }                                                                                                    \
  AnsiString Get##Kind##Name(TKindClass cls) { return NameIn(registry.Items(), cls); }                 \
  TKindClass Default##Kind##Class() { return registry.Default ? registry.Default : registry.Fallback; } \
  void SetDefault##Kind##Class(TKindClass cls) { registry.Default = cls ? cls : registry.Fallback; }

namespace {

// --- MD4 and the RIPEMD family --------------------------------------------------

inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

const uint8_t MD4TestVector[16] = {0xff, 0xd7, 0x94, 0x81, 0xa3, 0x81, 0xf5, 0x11,
                                   0x55, 0xaa, 0x4a, 0x2a, 0x26, 0x14, 0x67, 0x18};
const uint8_t RipeMD128TestVector[16] = {0xf3, 0x47, 0x65, 0x32, 0x57, 0xe5, 0x12, 0xce,
                                         0xaf, 0xa9, 0xef, 0x53, 0x8a, 0x09, 0x81, 0x27};
const uint8_t RipeMD256TestVector[32] = {0x01, 0xc9, 0xc8, 0x5f, 0x27, 0x27, 0xd6, 0xc4, 0x4c, 0x29, 0x3c,
                                         0x7a, 0xd7, 0x8c, 0x45, 0x3a, 0x4c, 0x4c, 0xab, 0x4b, 0xd5, 0xa5,
                                         0x05, 0xab, 0x4c, 0xf9, 0x0f, 0xbf, 0xe7, 0xdd, 0xcb, 0xba};

// Message word order and rotations of the two lines of RIPEMD (first four rounds).
const uint8_t RL[64] = {0,  1,  2,  3,  4, 5, 6,  7,  8,  9, 10, 11, 12, 13, 14, 15, 7,  4, 13, 1, 10, 6,
                        15, 3,  12, 0,  9, 5, 2,  14, 11, 8, 3,  10, 14, 4,  9,  15, 8,  1, 2,  7, 0,  6,
                        13, 11, 5,  12, 1, 9, 11, 10, 0,  8, 12, 4,  13, 3,  7,  15, 14, 5, 6,  2};
const uint8_t RR[64] = {5,  14, 7,  0,  9, 2,  11, 4, 13, 6,  15, 8, 1, 10, 3, 12, 6, 11, 3,  7, 0,  13,
                        5,  10, 14, 15, 8, 12, 4,  9, 1,  2,  15, 5, 1, 3,  7, 14, 6, 9,  11, 8, 12, 2,
                        10, 0,  4,  13, 8, 6,  4,  1, 3,  11, 15, 0, 5, 12, 2, 13, 9, 7,  10, 14};
const uint8_t SL[64] = {11, 14, 15, 12, 5,  8,  7,  9,  11, 13, 14, 15, 6, 7,  9,  8, 7,  6,  8,  13, 11, 9,
                        7,  15, 7,  12, 15, 9,  11, 7,  13, 12, 11, 13, 6, 7,  14, 9, 13, 15, 14, 8,  13, 6,
                        5,  12, 7,  5,  11, 12, 14, 15, 14, 15, 9,  8,  9, 14, 5,  6, 8,  6,  5,  12};
const uint8_t SR[64] = {8,  9,  9, 11, 13, 15, 15, 5,  7,  7,  8, 11, 14, 14, 12, 6, 9,  13, 15, 7,  12, 8,
                        9,  11, 7, 7,  12, 7,  6,  15, 13, 11, 9, 7,  15, 11, 8,  6, 6,  14, 12, 13, 5,  14,
                        13, 13, 7, 5,  15, 5,  8,  11, 14, 14, 6, 14, 6,  9,  12, 9, 12, 5,  15, 8};

inline uint32_t RF(int round, uint32_t x, uint32_t y, uint32_t z) {
  switch (round) {
    case 0:
      return x ^ y ^ z;
    case 1:
      return (x & y) | (~x & z);
    case 2:
      return (x | ~y) ^ z;
    default:
      return (x & z) | (y & ~z);
  }
}
const uint32_t KL[4] = {0x00000000u, 0x5A827999u, 0x6ED9EBA1u, 0x8F1BBCDCu};
const uint32_t KR[4] = {0x50A28BE6u, 0x5C4DD124u, 0x6D703EF3u, 0x00000000u};

// One round (16 steps) of both lines.
inline void RipeRound(int j, const uint32_t* x, uint32_t* l, uint32_t* r) {
  for (int i = 16 * j; i < 16 * j + 16; ++i) {
    uint32_t t = Rol(l[0] + RF(j, l[1], l[2], l[3]) + x[RL[i]] + KL[j], SL[i]);
    l[0] = l[3];
    l[3] = l[2];
    l[2] = l[1];
    l[1] = t;
    t = Rol(r[0] + RF(3 - j, r[1], r[2], r[3]) + x[RR[i]] + KR[j], SR[i]);
    r[0] = r[3];
    r[3] = r[2];
    r[2] = r[1];
    r[1] = t;
  }
}

}  // namespace

void WipeBuffer(void* buffer, int size, uint8_t value) {
  if (!buffer || size <= 0) return;
  std::memset(buffer, value, static_cast<size_t>(size));
  __asm__ __volatile__("" : : "r"(buffer) : "memory");
}

// --- THash -------------------------------------------------------------------------

const THashMeta THash::Class = {
    {"THash", &TProtection::Class, nullptr}, &NewHash<THash>, &THash::TestVector, &THash::DigestKeySize};
const THashMeta THash_MD4::Class = {
    {"THash_MD4", &THash::Class, nullptr}, &NewHash<THash_MD4>, &THash_MD4::TestVector, &THash_MD4::DigestKeySize};
const THashMeta THash_RipeMD128::Class = {{"THash_RipeMD128", &THash_MD4::Class, nullptr},
                                          &NewHash<THash_RipeMD128>,
                                          &THash_RipeMD128::TestVector,
                                          &THash_RipeMD128::DigestKeySize};
const THashMeta THash_RipeMD256::Class = {{"THash_RipeMD256", &THash_MD4::Class, nullptr},
                                          &NewHash<THash_RipeMD256>,
                                          &THash_RipeMD256::TestVector,
                                          &THash_RipeMD256::DigestKeySize};
const THashMeta TChecksum::Class = {
    {"TChecksum", &THash::Class, nullptr}, &NewHash<TChecksum>, &TChecksum::TestVector, &TChecksum::DigestKeySize};

const uint8_t* THash::TestVector() { return GetTestVector(); }

uint8_t* THash::DigestKey() {
  // No digest of its own: the shared message stands in (DigestKeySize is 0,
  // so nothing is ever written through this pointer).
  return const_cast<uint8_t*>(GetTestVector());
}

AnsiString THash::DigestStr(int format) { return StrToFormat(DigestKey(), HashClass()->DigestKeySize(), format); }

void THash::CodeInit(TPAction action) {
  Init();
  if (action == paWipe) RndXORBuffer(RndTimeSeed(), DigestKey(), HashClass()->DigestKeySize());
  TProtection::CodeInit(action);
}

void THash::CodeDone(TPAction action) {
  TProtection::CodeDone(action);
  if (action == paCalc)
    Done();
  else
    Init();
}

void THash::CodeBuf(void* buffer, int size, TPAction action) {
  if (action != paDecode) TProtection::CodeBuf(buffer, size, action);
  int ds = HashClass()->DigestKeySize();
  if (FActions.Contains(action) && buffer) {
    uint8_t* p = static_cast<uint8_t*>(buffer);
    switch (action) {
      case paCalc:
        Calc(buffer, size);
        break;
      case paScramble:
      case paWipe:
        for (int i = 0; ds > 0 && i < size; i += ds) {
          int n = std::min(ds, size - i);
          Calc(p + i, n);
          Done();
          std::memcpy(p + i, DigestKey(), n);
        }
        break;
      case paEncode:
      case paDecode:
        // The digest chain is the key stream, the same in both directions.
        for (int i = 0; ds > 0 && i < size; i += ds) {
          int n = std::min(ds, size - i);
          Calc(DigestKey(), ds);
          Done();
          XORBuffers(p + i, DigestKey(), n, p + i);
        }
        break;
    }
  }
  if (action == paDecode) TProtection::CodeBuf(buffer, size, action);
}

AnsiString THashMeta::CalcBuffer(const void* buffer, int size, TProtection* protection, int format) const {
  std::unique_ptr<THash> h(New(protection));
  h->Init();
  h->Calc(buffer, size);
  h->Done();
  return h->DigestStr(format);
}

AnsiString THashMeta::CalcString(const AnsiString& data, TProtection* protection, int format) const {
  return CalcBuffer(data.c_str(), data.Length(), protection, format);
}

AnsiString THashMeta::CalcStream(TStream* stream, int size, TProtection* protection, int format) const {
  std::unique_ptr<THash> h(New(protection));
  h->Init();
  if (stream) {
    if (size < 0) {
      stream->SetPosition(0);
      size = static_cast<int>(stream->Size());
    }
    constexpr int BlockSize = 4096;
    std::unique_ptr<uint8_t[]> buf(new uint8_t[BlockSize]);
    DoProgress(h.get(), 0, size);
    int done = 0;
    while (done < size) {
      int got = stream->Read(buf.get(), std::min(BlockSize, size - done));
      if (got < 1) break;
      h->Calc(buf.get(), got);
      done += got;
      DoProgress(h.get(), done, size);
    }
    DoProgress(h.get(), 0, 0);
    WipeBuffer(buf.get(), BlockSize);
  }
  h->Done();
  return h->DigestStr(format);
}

AnsiString THashMeta::CalcFile(const AnsiString& fileName, TProtection* protection, int format) const {
  TFileStream s(fileName, fmOpenRead | fmShareDenyNone);
  return CalcStream(&s, -1, protection, format);
}

bool THashMeta::SelfTest() const {
  AnsiString d = CalcBuffer(GetTestVector(), 32, nullptr, fmtCOPY);
  int n = DigestKeySize();
  return InitTestIsOk && d.Length() >= n && std::memcmp(d.c_str(), TestVector(), n) == 0;
}

// --- MD4 ---------------------------------------------------------------------------

const uint8_t* THash_MD4::TestVector() { return MD4TestVector; }

THash_MD4::~THash_MD4() {
  WipeBuffer(FDigest, sizeof FDigest);
  WipeBuffer(FBuffer, sizeof FBuffer);
  FCount = 0;
}

void THash_MD4::Init() {
  std::memset(FBuffer, 0, sizeof FBuffer);
  // The RIPEMD-320 initial value; MD4 and RIPEMD-128 use its first four words.
  static const uint32_t iv[10] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u,
                                  0x76543210u, 0xFEDCBA98u, 0x89ABCDEFu, 0x01234567u, 0x3C2D1E0Fu};
  std::memcpy(FDigest, iv, sizeof FDigest);
  FCount = 0;
}

void THash_MD4::Calc(const void* data, int size) {
  if (size < 1) return;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  int index = static_cast<int>(FCount & 63);
  FCount += static_cast<uint64_t>(size);
  if (index > 0) {
    int n = std::min(64 - index, size);
    std::memcpy(FBuffer + index, p, n);
    p += n;
    size -= n;
    if (index + n < 64) return;
    Transform(FBuffer);
  }
  for (; size >= 64; size -= 64, p += 64) Transform(p);
  if (size > 0) std::memcpy(FBuffer, p, size);
}

void THash_MD4::Done() {
  int index = static_cast<int>(FCount & 63);
  FBuffer[index++] = 0x80;
  if (index > 56) {
    std::memset(FBuffer + index, 0, 64 - index);
    Transform(FBuffer);
    index = 0;
  }
  std::memset(FBuffer + index, 0, 56 - index);
  uint64_t bits = FCount * 8;
  for (int k = 0; k < 8; ++k) FBuffer[56 + k] = static_cast<uint8_t>(bits >> (8 * k));
  Transform(FBuffer);
  std::memset(FBuffer, 0, sizeof FBuffer);
}

void THash_MD4::Transform(const void* block) {
  uint32_t x[16];
  std::memcpy(x, block, 64);
  uint32_t a = FDigest[0], b = FDigest[1], c = FDigest[2], d = FDigest[3];
  auto r1 = [&](uint32_t& w, uint32_t x1, uint32_t y, uint32_t z, int k, int s) {
    w = Rol(w + ((x1 & y) | (~x1 & z)) + x[k], s);
  };
  auto r2 = [&](uint32_t& w, uint32_t x1, uint32_t y, uint32_t z, int k, int s) {
    w = Rol(w + ((x1 & y) | (x1 & z) | (y & z)) + x[k] + 0x5A827999u, s);
  };
  auto r3 = [&](uint32_t& w, uint32_t x1, uint32_t y, uint32_t z, int k, int s) {
    w = Rol(w + (x1 ^ y ^ z) + x[k] + 0x6ED9EBA1u, s);
  };
  for (int i = 0; i < 16; i += 4) {
    r1(a, b, c, d, i, 3);
    r1(d, a, b, c, i + 1, 7);
    r1(c, d, a, b, i + 2, 11);
    r1(b, c, d, a, i + 3, 19);
  }
  for (int i = 0; i < 4; ++i) {
    r2(a, b, c, d, i, 3);
    r2(d, a, b, c, i + 4, 5);
    r2(c, d, a, b, i + 8, 9);
    r2(b, c, d, a, i + 12, 13);
  }
  static const int order3[4] = {0, 2, 1, 3};
  for (int i : order3) {
    r3(a, b, c, d, i, 3);
    r3(d, a, b, c, i + 8, 9);
    r3(c, d, a, b, i + 4, 11);
    r3(b, c, d, a, i + 12, 15);
  }
  FDigest[0] += a;
  FDigest[1] += b;
  FDigest[2] += c;
  FDigest[3] += d;
  WipeBuffer(x, sizeof x);
}

// --- RIPEMD-128 ----------------------------------------------------------------------

const uint8_t* THash_RipeMD128::TestVector() { return RipeMD128TestVector; }

void THash_RipeMD128::Transform(const void* block) {
  uint32_t x[16];
  std::memcpy(x, block, 64);
  uint32_t l[4] = {FDigest[0], FDigest[1], FDigest[2], FDigest[3]};
  uint32_t r[4] = {FDigest[0], FDigest[1], FDigest[2], FDigest[3]};
  for (int j = 0; j < 4; ++j) RipeRound(j, x, l, r);
  uint32_t t = FDigest[1] + l[2] + r[3];
  FDigest[1] = FDigest[2] + l[3] + r[0];
  FDigest[2] = FDigest[3] + l[0] + r[1];
  FDigest[3] = FDigest[0] + l[1] + r[2];
  FDigest[0] = t;
  WipeBuffer(x, sizeof x);
}

// --- RIPEMD-256 ----------------------------------------------------------------------

const uint8_t* THash_RipeMD256::TestVector() { return RipeMD256TestVector; }

void THash_RipeMD256::Init() {
  THash_MD4::Init();
  static const uint32_t iv[8] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u,
                                 0x76543210u, 0xFEDCBA98u, 0x89ABCDEFu, 0x01234567u};
  std::memcpy(FDigest, iv, sizeof iv);
}

void THash_RipeMD256::Transform(const void* block) {
  uint32_t x[16];
  std::memcpy(x, block, 64);
  uint32_t l[4] = {FDigest[0], FDigest[1], FDigest[2], FDigest[3]};
  uint32_t r[4] = {FDigest[4], FDigest[5], FDigest[6], FDigest[7]};
  // After each round one word of the state moves between the lines: A, B, C, D.
  for (int j = 0; j < 4; ++j) {
    RipeRound(j, x, l, r);
    std::swap(l[j], r[j]);
  }
  for (int i = 0; i < 4; ++i) {
    FDigest[i] += l[i];
    FDigest[4 + i] += r[i];
  }
  WipeBuffer(x, sizeof x);
}

// --- hash registry ---------------------------------------------------------------------

CL_DEFINE_CLASS_REGISTRY(Hash, THashClass, Hashes)

// --- TCipher -----------------------------------------------------------------------------

const TCipherMeta TCipher::Class = {
    {"TCipher", &TProtection::Class, nullptr}, &NewCipher<TCipher>, &TCipher::GetContext, &TCipher::TestVector};

[[noreturn]] void RaiseCipherException(int errorCode, const AnsiString& msg) { throw ECipherException(msg, errorCode); }

void TCipher::GetContext(int& bufSize, int& keySize, int& userSize) {
  bufSize = 0;
  keySize = 0;
  userSize = 0;
}

const uint8_t* TCipher::TestVector() { return GetTestVector(); }

int TCipherMeta::MaxKeySize() const {
  int b, k, u;
  GetContext(b, k, u);
  return k;
}

bool TCipherMeta::SelfTest() const {
  // The class name is the key, whatever its length: no key-size check meanwhile.
  struct Restore {
    bool Saved = CheckCipherKeySize;
    uint8_t Buf[64] = {};
    ~Restore() {
      CheckCipherKeySize = Saved;
      WipeBuffer(Buf, sizeof Buf);
    }
  } r;
  CheckCipherKeySize = false;
  std::unique_ptr<TCipher> c(New(AnsiString(), nullptr));
  c->SetMode(cmCTS);
  c->Init(Name, static_cast<int>(std::strlen(Name)), nullptr);
  std::memcpy(r.Buf, GetTestVector(), 32);
  c->EncodeBuffer(r.Buf, r.Buf, 32);
  bool ok = InitTestIsOk && std::memcmp(r.Buf, TestVector(), 32) == 0;
  c->Done();
  c->DecodeBuffer(r.Buf, r.Buf, 32);
  return ok && InitTestIsOk && std::memcmp(r.Buf, GetTestVector(), 32) == 0;
}

TCipher::TCipher(TCipherClass cls, TProtection* protection) : TProtection(protection) {
  FHashClass = DefaultHashClass();
  Setup(cls);
}

TCipher::TCipher(TCipherClass cls) : TProtection(nullptr) {
  FActions = TPActions();
  Setup(cls);
}

TCipher::TCipher(const AnsiString& password, TProtection* protection) : TCipher(&TCipher::Class, protection) {
  InitPassword(password);
}

TCipher::TCipher(uint8_t*& key, uint16_t keyLength) : TCipher(&TCipher::Class) { InitKeyPointer(key, keyLength); }

void TCipher::Setup(TCipherClass cls) {
  cls->GetContext(FBufSize, FKeySize, FUserSize);
  if (FBufSize < 0) FBufSize = 0;
  if (FUserSize < 0) FUserSize = 0;
  auto alloc = [](int n) { return new uint8_t[n > 0 ? n : 1](); };
  FBuffer = alloc(FBufSize);
  FVector = alloc(FBufSize);
  FFeedback = alloc(FBufSize);
  FUser = alloc(FUserSize);
  FKeyStream = alloc(FBufSize);
  FCounter = alloc(FBufSize);
  Protect();
  FKeyStreamPos = FBufSize;
}

void TCipher::InitPassword(const AnsiString& password) {
  if (!password.IsEmpty()) InitKey(password, nullptr);
}

void TCipher::InitKeyPointer(uint8_t*& key, uint16_t keyLength) {
  if (key) InitKey(key, keyLength, nullptr);
}

TCipher::~TCipher() {
  Protect();
  WipeBuffer(FKeyStream, FBufSize);
  delete[] FBuffer;
  delete[] FVector;
  delete[] FFeedback;
  delete[] FUser;
  delete[] FKeyStream;
  delete[] FCounter;
  if (FHash) FHash->Release();
  FHash = nullptr;
}

void TCipher::SetFlag(int index, bool value) {
  if (value)
    FFlags |= 1u << index;
  else
    FFlags &= ~(1u << index);
}

void TCipher::Protect() {
  SetFlag(0, false);
  SetFlag(1, false);
  for (uint8_t v : {uint8_t(0xAA), uint8_t(0x55)}) {
    WipeBuffer(FVector, FBufSize, v);
    WipeBuffer(FFeedback, FBufSize, v);
    WipeBuffer(FBuffer, FBufSize, v);
    WipeBuffer(FUser, FUserSize, v);
  }
  WipeBuffer(FVector, FBufSize, 0xFF);
  WipeBuffer(FFeedback, FBufSize, 0xFF);
  WipeBuffer(FBuffer, FBufSize, 0);
  WipeBuffer(FUser, FUserSize, 0);
  WipeBuffer(FCounter, FBufSize, 0);
  // A new key restarts the key stream: a block made under the old key must
  // not be used for the bytes that follow.
  WipeBuffer(FKeyStream, FBufSize, 0);
  FKeyStreamPos = FBufSize;
}

void TCipher::InitBegin(int& size) {
  SetFlag(1, false);
  Protect();
  if (size < 0) size = 0;
  if (size > FKeySize) {
    if (CheckCipherKeySize)
      RaiseCipherException(errInvalidKeySize, Format(sInvalidKeySize, {ClassName(), 0, FKeySize}));
    size = FKeySize;
  }
}

void TCipher::InitEnd(const void* IVector) {
  if (IVector)
    std::memcpy(FVector, IVector, FBufSize);
  else
    Encode(FVector);
  std::memcpy(FFeedback, FVector, FBufSize);
  SetFlag(1, true);
}

void TCipher::Done() {
  if (MemCompare(FFeedback, FVector, FBufSize) != 0) {
    std::memcpy(FBuffer, FFeedback, FBufSize);
    std::memcpy(FFeedback, FVector, FBufSize);
  }
}

THash* TCipher::GetHash() {
  if (!FHash) {
    THashClass cls = FHashClass ? FHashClass : DefaultHashClass();
    FHash = cls->New(nullptr);
    FHash->AddRef();
  }
  return FHash;
}

void TCipher::SetHashClass(THashClass value) {
  if (!value) value = DefaultHashClass();
  if (value == FHashClass) return;
  if (FHash) FHash->Release();
  FHash = nullptr;
  FHashClass = value;
}

void TCipher::InitKey(const AnsiString& key, const void* IVector) {
  THash* h = GetHash();
  h->Init();
  h->Calc(key.c_str(), key.Length());
  h->Done();
  int size = h->HashClass()->DigestKeySize();
  uint8_t* digest = h->DigestKey();
  Init(digest, std::min(size, FKeySize), IVector);
  // Encrypting the digest in place wipes the key material it held.
  EncodeBuffer(digest, digest, size);
  Done();
  SetFlag(0, true);
}

void TCipher::InitKey(uint8_t*& key, uint16_t size, const void* IVector) {
  int len = key ? size : 0;
  Init(key, std::min(len, FKeySize), IVector);
  uint8_t* scrambled = new uint8_t[len > 0 ? len : 1]();
  EncodeBuffer(key, scrambled, len);
  if (key) WipeBuffer(key, len);
  delete[] key;
  key = scrambled;
  Done();
  SetFlag(0, true);
}

void TCipher::CheckInitialized() {
  if (!GetFlag(1)) RaiseCipherException(errNotInitialized, Format(sNotInitialized, {ClassName()}));
}

void TCipher::IncCounter() {
  int n = std::min(FBufSize, 8);
  for (int k = 0; k < n; ++k) {
    if (FCounter[k] != 0xFF) {
      ++FCounter[k];
      return;
    }
    FCounter[k] = 0;
  }
}

// The trailing part of CTS and CBC: D = S xor E(F), F = E(F) xor F.
void TCipher::TailXor(const uint8_t* s, uint8_t* d, int n) {
  std::memcpy(FBuffer, FFeedback, FBufSize);
  Encode(FBuffer);
  XORBuffers(s, FBuffer, n, d);
  XORBuffers(FBuffer, FFeedback, FBufSize, FFeedback);
}

// One block of the two block MAC modes. A trailing part enters as a block
// filled with zeros, so that every byte of the message counts.
void TCipher::MacBlock(const uint8_t* s, int n, bool chained) {
  uint8_t* w = FBuffer;
  std::memset(w, 0, FBufSize);
  std::memcpy(w, s, n);
  XORBuffers(w, FFeedback, FBufSize, w);
  Encode(w);
  if (chained)
    XORBuffers(w, FFeedback, FBufSize, FFeedback);
  else
    std::memcpy(FFeedback, w, FBufSize);
}

// The byte-wise feedback modes (CFB, OFB, CFB-MAC) take one byte of key
// stream from the encrypted feedback, then move the feedback on by one byte.
uint8_t TCipher::FeedbackKeyByte() {
  std::memcpy(FBuffer, FFeedback, FBufSize);
  Encode(FBuffer);
  return FBuffer[0];
}

void TCipher::ShiftIntoFeedback(uint8_t c) {
  std::memmove(FFeedback, FFeedback + 1, FBufSize - 1);
  FFeedback[FBufSize - 1] = c;
}

void TCipher::EncodeBuffer(const void* source, void* dest, int dataSize) {
  CheckInitialized();
  const int B = FBufSize;
  if (dataSize <= 0 || B <= 0) return;
  const uint8_t* s = static_cast<const uint8_t*>(source);
  uint8_t* d = static_cast<uint8_t*>(dest);
  int n = dataSize;
  switch (FMode) {
    case cmECB:
      if (s != d) std::memmove(d, s, n);
      for (; n >= B; n -= B, d += B) Encode(d);
      if (n > 0) {
        std::memcpy(FBuffer, d, n);
        Encode(FBuffer);
        std::memcpy(d, FBuffer, n);
      }
      break;
    case cmCTS:
      for (; n >= B; n -= B, s += B, d += B) {
        XORBuffers(s, FFeedback, B, d);
        Encode(d);
        XORBuffers(d, FFeedback, B, FFeedback);
      }
      if (n > 0) TailXor(s, d, n);
      break;
    case cmCBC:
      for (; n >= B; n -= B, s += B, d += B) {
        XORBuffers(s, FFeedback, B, d);
        Encode(d);
        std::memcpy(FFeedback, d, B);
      }
      if (n > 0) TailXor(s, d, n);
      break;
    case cmCFB:
      for (int i = 0; i < n; ++i) {
        d[i] = static_cast<uint8_t>(s[i] ^ FeedbackKeyByte());
        ShiftIntoFeedback(d[i]);
      }
      break;
    case cmOFB:
      for (int i = 0; i < n; ++i) {
        const uint8_t k = FeedbackKeyByte();
        d[i] = s[i] ^ k;
        ShiftIntoFeedback(k);
      }
      break;
    case cmCTR: {
      if (s != d) std::memmove(d, s, n);
      int i = 0;
      while (i < n) {
        if (FKeyStreamPos >= B) {
          IncCounter();
          std::memcpy(FKeyStream, FCounter, B);
          Encode(FKeyStream);
          FKeyStreamPos = 0;
        }
        int k = std::min(B - FKeyStreamPos, n - i);
        XORBuffers(d + i, FKeyStream + FKeyStreamPos, k, d + i);
        i += k;
        FKeyStreamPos += k;
      }
      break;
    }
    case cmCTSMAC:
    case cmCBCMAC:
      for (; n >= B; n -= B, s += B) MacBlock(s, B, FMode == cmCTSMAC);
      if (n > 0) MacBlock(s, n, FMode == cmCTSMAC);
      break;
    case cmCFBMAC:
      for (int i = 0; i < n; ++i) ShiftIntoFeedback(static_cast<uint8_t>(s[i] ^ FeedbackKeyByte()));
      break;
  }
}

void TCipher::DecodeBuffer(const void* source, void* dest, int dataSize) {
  CheckInitialized();
  const int B = FBufSize;
  if (dataSize <= 0 || B <= 0) return;
  const uint8_t* s = static_cast<const uint8_t*>(source);
  uint8_t* d = static_cast<uint8_t*>(dest);
  int n = dataSize;
  switch (FMode) {
    case cmECB:
      // A trailing part was kept as n bytes of an encrypted block: it cannot be
      // decrypted, so it is refused instead of returning wrong bytes.
      if (n % B != 0) RaiseCipherException(errInvalidDataLength, Format(sInvalidBlockLength, {ClassName(), n, B}));
      if (s != d) std::memmove(d, s, n);
      for (; n >= B; n -= B, d += B) Decode(d);
      break;
    case cmCTS:
      for (; n >= B; n -= B, s += B, d += B) {
        XORBuffers(s, FFeedback, B, FBuffer);
        if (s != d) std::memcpy(d, s, B);
        Decode(d);
        XORBuffers(d, FFeedback, B, d);
        std::memcpy(FFeedback, FBuffer, B);
      }
      if (n > 0) TailXor(s, d, n);
      break;
    case cmCBC:
      for (; n >= B; n -= B, s += B, d += B) {
        std::memcpy(FBuffer, s, B);
        if (s != d) std::memcpy(d, s, B);
        Decode(d);
        XORBuffers(d, FFeedback, B, d);
        std::memcpy(FFeedback, FBuffer, B);
      }
      if (n > 0) TailXor(s, d, n);
      break;
    case cmCFB:
      for (int i = 0; i < n; ++i) {
        // s and d may be the same buffer: the cipher byte is kept first.
        const uint8_t c = s[i];
        const uint8_t k = FeedbackKeyByte();
        ShiftIntoFeedback(c);
        d[i] = c ^ k;
      }
      break;
    case cmOFB:
    case cmCTR:
    case cmCTSMAC:
    case cmCBCMAC:
    case cmCFBMAC:
      EncodeBuffer(source, dest, dataSize);
      break;
  }
}

void TCipher::CodeInit(TPAction action) {
  CheckInitialized();
  if (action == paWipe)
    RndXORBuffer(RndTimeSeed(), FFeedback, FBufSize);
  else if (action != paCalc)
    Done();
  TProtection::CodeInit(action);
}

void TCipher::CodeDone(TPAction action) {
  CheckInitialized();
  TProtection::CodeDone(action);
  if (action == paWipe)
    RndXORBuffer(RndTimeSeed(), FFeedback, FBufSize);
  else if (action != paCalc)
    Done();
}

void TCipher::CodeBuf(void* buffer, int size, TPAction action) {
  if (action == paDecode) {
    if (FActions.Contains(action)) DecodeBuffer(buffer, buffer, size);
    TProtection::CodeBuf(buffer, size, action);
  } else {
    TProtection::CodeBuf(buffer, size, action);
    if (FActions.Contains(action)) EncodeBuffer(buffer, buffer, size);
  }
}

// --- cipher registry -----------------------------------------------------------------------

CL_DEFINE_CLASS_REGISTRY(Cipher, TCipherClass, Ciphers)

void UnitInit_Zecipher() {
  Hashes.Default = &THash_RipeMD256::Class;
  Ciphers.Default = &TCipher_Rijndael::Class;
  RegisterCipher(&TCipher_Rijndael::Class, "", "");
}

void UnitFini_Zecipher() {
  Ciphers.Free();
  Hashes.Free();
}
