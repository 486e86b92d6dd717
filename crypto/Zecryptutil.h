// The base under the library's ciphers and hashes: the chainable transformer
// TProtection, the text formats of byte strings (hexadecimal, MIME base64, UU,
// XX and plain copy) and the small shared routines (rotations, byte swaps,
// buffer XOR and compare, CRC-16, the time-seeded scrambler, timers, progress).
//
// Lifetime of chained protections: a protection given to another one (through
// the constructor or SetProtection) is held with a counted reference
// (AddRef/Release) and is freed when the last holder releases it, so
//   new TCipher_Blowfish("pw", new THash_RipeMD128())
// hands the hash over to the cipher. An object freed by other means is noticed
// through the registry of live objects (IsObject) and dropped from the chain.
#pragma once

#include <cstdint>

#include "classes.h"
#include "system.h"
#include "sysutils.h"

// --- actions -----------------------------------------------------------------

enum TPAction : uint8_t { paEncode = 0, paDecode = 1, paScramble = 2, paCalc = 3, paWipe = 4 };

// A set of TPAction values.
class TPActions {
public:
  constexpr TPActions() = default;
  constexpr TPActions(std::initializer_list<TPAction> actions) {
    for (TPAction a : actions) FBits |= Bit(a);
  }
  static constexpr TPActions All() { return FromBits(0x1F); }
  static constexpr TPActions FromBits(uint8_t bits) {
    TPActions s;
    s.FBits = bits;
    return s;
  }
  constexpr bool Contains(TPAction a) const { return (FBits & Bit(a)) != 0; }
  constexpr void Include(TPAction a) { FBits |= Bit(a); }
  constexpr void Exclude(TPAction a) { FBits &= static_cast<uint8_t>(~Bit(a)); }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr uint8_t Bits() const { return FBits; }
  friend constexpr bool operator==(TPActions a, TPActions b) { return a.FBits == b.FBits; }

private:
  static constexpr uint8_t Bit(TPAction a) { return static_cast<uint8_t>(1u << a); }
  uint8_t FBits = 0;
};

// --- exceptions --------------------------------------------------------------

CL_EXCEPTION(EProtection, Exception)
CL_EXCEPTION(EStringFormat, Exception)

// --- the protection base -----------------------------------------------------

class TProtection : public TInterfacedObject {
  CL_CLASS(TProtection, TInterfacedObject)
public:
  explicit TProtection(TProtection* protection = nullptr);
  ~TProtection() override;
  TProtection(const TProtection&) = delete;
  TProtection& operator=(const TProtection&) = delete;

  long AddRef() override;
  long Release() override;

  virtual void CodeInit(TPAction action);
  virtual void CodeDone(TPAction action);
  virtual void CodeBuf(void* buffer, int size, TPAction action);
  // Codes size bytes of source into dest (dest null: into source itself);
  // a negative size codes the whole source from its start.
  virtual void CodeStream(TStream* source, TStream* dest, int size, TPAction action);
  virtual void CodeFile(const AnsiString& source, const AnsiString& dest, TPAction action);
  virtual AnsiString CodeString(const AnsiString& source, TPAction action, int format);
  virtual int CodeBuffer(void* buffer, int size, TPAction action);

  // The next protection of the chain, or null (also when it has been freed).
  TProtection* GetProtection();
  // Raises EProtection when the new chain leads back to this object.
  void SetProtection(TProtection* value);
  TPActions Actions() const { return FActions; }
  void SetActions(TPActions value) { FActions = value; }

  // ~CRC16(IdentityBase, class name): a 16-bit tag of a class.
  static uint16_t Identity(const TMetaClass* cls);
  uint16_t Identity() const { return Identity(ClassType()); }

protected:
  TProtection* FProtection = nullptr;
  TPActions FActions = TPActions::All();
};

// --- text formats ------------------------------------------------------------

// Format ids.
enum : int {
  fmtDEFAULT = -1,
  fmtNONE = 0,
  fmtCOPY = 1,
  fmtHEX = 16,
  fmtHEXL = 1016,
  fmtMIME64 = 4196,
  fmtUU = 21845,
  fmtXX = 22616,
};

struct TStringFormatClassRec;
using TStringFormatClass = const TStringFormatClassRec*;

// A text format is a class with class operations only; this record is the
// class, its function pointers the class operations (each gets the class it
// was called for, so a derived format's table is used by inherited code).
struct TStringFormatClassRec : TMetaClass {
  // Text to bytes.
  AnsiString (*DoToStr)(TStringFormatClass self, const char* value, int size);
  // Bytes to text.
  AnsiString (*DoStrTo)(TStringFormatClass self, const char* value, int size);
  const char* FName;
  int FFormat;
  // toStr set: is value valid text of the format; clear: can bytes be written in it.
  bool (*DoIsValid)(TStringFormatClass self, const char* value, int size, bool toStr);
  const char* FCharTable;  // null for the plain copy

  AnsiString ToStr(const void* value, int size) const { return DoToStr(this, static_cast<const char*>(value), size); }
  AnsiString StrTo(const void* value, int size) const { return DoStrTo(this, static_cast<const char*>(value), size); }
  AnsiString Name() const { return FName; }
  int Format() const { return FFormat; }
  bool IsValid(const void* value, int size, bool toStr) const {
    return DoIsValid(this, static_cast<const char*>(value), size, toStr);
  }
  AnsiString CharTable() const { return FCharTable ? FCharTable : ""; }
};

class TStringFormat {
public:
  static const TStringFormatClassRec Class;
};
class TStringFormat_HEX : public TStringFormat {
public:
  static const TStringFormatClassRec Class;
};
class TStringFormat_HEXL : public TStringFormat_HEX {
public:
  static const TStringFormatClassRec Class;
};
class TStringFormat_MIME64 : public TStringFormat_HEX {
public:
  static const TStringFormatClassRec Class;
};
class TStringFormat_UU : public TStringFormat {
public:
  static const TStringFormatClassRec Class;
};
class TStringFormat_XX : public TStringFormat_UU {
public:
  static const TStringFormatClassRec Class;
};

// The registered format with that id (fmtDEFAULT: the default one), or null.
TStringFormatClass StringFormat(int format);
// Bytes to text. A negative size runs to the first zero byte.
AnsiString StrToFormat(const void* value, int size, int format);
// Text to bytes. Raises EStringFormat for text that is not of the format.
AnsiString FormatToStr(const void* value, int size, int format);
AnsiString ConvertFormat(const void* value, int size, int fromFormat, int toFormat);
bool IsValidFormat(const void* value, int size, int format);
bool IsValidString(const void* value, int size, int format);
void RegisterStringFormats(const TStringFormatClass* classes, int count);
void GetStringFormats(TStrings* strings);
int DefaultStringFormat();
void SetDefaultStringFormat(int format);

AnsiString InsertCR(const AnsiString& value, int blockSize);
AnsiString DeleteCR(const AnsiString& value);
AnsiString InsertBlocks(const AnsiString& value, const AnsiString& blockStart, const AnsiString& blockEnd,
                        int blockSize);
AnsiString RemoveBlocks(const AnsiString& value, const AnsiString& blockStart, const AnsiString& blockEnd);
// The class name without everything up to and including its first "_".
AnsiString GetShortClassName(const TMetaClass* cls);
AnsiString GetShortClassName(const AnsiString& className);

// --- routines ----------------------------------------------------------------

inline uint32_t ROL(uint32_t value, int shift) {
  shift &= 31;
  return shift ? (value << shift) | (value >> (32 - shift)) : value;
}
inline uint32_t ROR(uint32_t value, int shift) {
  shift &= 31;
  return shift ? (value >> shift) | (value << (32 - shift)) : value;
}
inline uint32_t ROLADD(uint32_t value, uint32_t add, int shift) { return ROL(value, shift) + add; }
inline uint32_t ROLSUB(uint32_t value, uint32_t sub, int shift) { return ROL(value, shift) - sub; }
inline uint32_t RORADD(uint32_t value, uint32_t add, int shift) { return ROR(value, shift) + add; }
inline uint32_t RORSUB(uint32_t value, uint32_t sub, int shift) { return ROR(value, shift) - sub; }
inline uint32_t SwapInteger(uint32_t value) { return __builtin_bswap32(value); }
void SwapIntegerBuffer(const void* source, void* dest, int count);
uint32_t SwapBits(uint32_t value);
int LSBit(int value);
int MSBit(int value);
int OneBit(int value);
// 0 when equal, else a's byte minus b's byte at the first difference.
int MemCompare(const void* a, const void* b, int size);
// dest[i] = a[i] xor b[i]; dest may be a or b.
void XORBuffers(const void* a, const void* b, int size, void* dest);
// CRC-16 with the reflected polynomial 0xA001, the caller's start value, no final XOR.
uint16_t CRC16(uint16_t crc, const void* data, int size);
uint32_t RndTimeSeed();
void RndXORBuffer(uint32_t seed, void* buffer, int size);
double PerfCounter();
double PerfFreq();

using TProgressEvent = TEvent<void(TObject* sender, int current, int maximal)>;
extern TProgressEvent Progress;
void DoProgress(TObject* sender, int current, int maximal);

// The 32-byte message every self-test encrypts or hashes.
const uint8_t* GetTestVector();
int CPUType();
// True when obj is a live protection object of cls or a class derived from it.
bool IsObject(const TObject* obj, const TMetaClass* cls);

extern bool InitTestIsOk;
extern uint16_t IdentityBase;

void UnitInit_Zecryptutil();
void UnitFini_Zecryptutil();
