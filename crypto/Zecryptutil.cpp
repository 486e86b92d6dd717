#include "Zecryptutil.h"

#include <cpuid.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <vector>

#include "Zecryptconst.h"

CL_DEFINE_CLASS(EProtection, Exception)
CL_DEFINE_CLASS(EStringFormat, Exception)
CL_DEFINE_CLASS(TProtection, TInterfacedObject)

TProgressEvent Progress;
bool InitTestIsOk = true;
uint16_t IdentityBase = 0x1234;

namespace {

// Live protection objects: lets a chain notice that a link was freed behind
// its back without touching freed memory.
std::unordered_set<const TObject*>* LiveObjects = nullptr;
std::vector<TStringFormatClass>* Formats = nullptr;
int DefaultFormat = fmtMIME64;

constexpr std::array<uint16_t, 256> MakeCRC16Table() {
  std::array<uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
    t[i] = static_cast<uint16_t>(c);
  }
  return t;
}
constexpr std::array<uint16_t, 256> CRC16Table = MakeCRC16Table();

constexpr uint8_t TestMessage[32] = {'F', 'e', 'n', 'n', 'o', 'l', 'i', 't', ' ', 'c', 'i', 'p', 'h', 'e', 'r', ' ',
                                     'l', 'i', 'b', 'r', 'a', 'r', 'y', ' ', 's', 'e', 'l', 'f', 't', 'e', 's', 't'};

bool IsValidProtection(TProtection* p) { return p && IsObject(p, &TProtection::Class); }

char UpCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

int IndexIn(const char* table, int count, char c) {
  for (int i = 0; i < count; ++i)
    if (table[i] == c) return i;
  return -1;
}

// --- the plain copy ---

AnsiString CopyToStr(TStringFormatClass, const char* value, int size) { return AnsiString(value, size); }
AnsiString CopyStrTo(TStringFormatClass, const char* value, int size) { return AnsiString(value, size); }
bool CopyIsValid(TStringFormatClass, const char*, int, bool) { return true; }

// Every character of value is somewhere in the format's table.
bool AllInTable(TStringFormatClass self, const char* value, int size) {
  const char* table = self->FCharTable;
  int n = static_cast<int>(std::strlen(table));
  for (int i = 0; i < size; ++i)
    if (IndexIn(table, n, value[i]) < 0) return false;
  return true;
}

// --- hexadecimal ---

AnsiString HexStrTo(TStringFormatClass self, const char* value, int size) {
  const char* digits = self->FCharTable;
  std::string out(static_cast<size_t>(size) * 2, '\0');
  for (int i = 0; i < size; ++i) {
    uint8_t b = static_cast<uint8_t>(value[i]);
    out[2 * i] = digits[b >> 4];
    out[2 * i + 1] = digits[b & 15];
  }
  return AnsiString(std::move(out));
}

AnsiString HexToStr(TStringFormatClass self, const char* value, int size) {
  // The digits and the two prefix characters "X" and "$", compared without
  // regard to case so that the lower-case table decodes its own output too.
  char keys[18];
  for (int i = 0; i < 18; ++i) keys[i] = UpCase(self->FCharTable[i]);
  std::string out;
  out.reserve(static_cast<size_t>(size) / 2);
  int high = -1;
  bool restarted = false;
  for (int i = 0; i < size; ++i) {
    int k = IndexIn(keys, 18, UpCase(value[i]));
    if (k < 0) continue;
    if (k < 16) {
      if (high < 0) {
        high = k;
      } else {
        out += static_cast<char>((high << 4) | k);
        high = -1;
      }
    } else if (!restarted) {
      // A prefix such as "0x" or "$": what came before it is not data.
      out.clear();
      high = -1;
      restarted = true;
    }
  }
  return AnsiString(std::move(out));
}

bool HexIsValid(TStringFormatClass self, const char* value, int size, bool toStr) {
  return !toStr || AllInTable(self, value, size);
}

// --- MIME base 64 ---

AnsiString Mime64StrTo(TStringFormatClass self, const char* value, int size) {
  const char* t = self->FCharTable;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(value);
  std::string out;
  out.reserve((static_cast<size_t>(size) + 2) / 3 * 4);
  int i = 0;
  for (; i + 3 <= size; i += 3) {
    uint32_t v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
    out += t[v >> 18];
    out += t[(v >> 12) & 63];
    out += t[(v >> 6) & 63];
    out += t[v & 63];
  }
  if (size - i == 1) {
    uint32_t v = p[i] << 16;
    out += t[v >> 18];
    out += t[(v >> 12) & 63];
    out += "==";
  } else if (size - i == 2) {
    uint32_t v = (p[i] << 16) | (p[i + 1] << 8);
    out += t[v >> 18];
    out += t[(v >> 12) & 63];
    out += t[(v >> 6) & 63];
    out += '=';
  }
  return AnsiString(std::move(out));
}

AnsiString Mime64ToStr(TStringFormatClass self, const char* value, int size) {
  const char* t = self->FCharTable;
  // Line breaks and other separators go first; the fill is made up afterwards,
  // so text broken into lines decodes to the same bytes.
  std::string clean;
  clean.reserve(size);
  for (int i = 0; i < size; ++i)
    if (IndexIn(t, 65, value[i]) >= 0) clean += value[i];
  while (clean.size() % 4) clean += '=';
  std::string out;
  out.reserve(clean.size() / 4 * 3);
  for (size_t g = 0; g < clean.size(); g += 4) {
    uint32_t v = 0;
    int fill = 0;
    for (int k = 0; k < 4; ++k) {
      int d = IndexIn(t, 64, clean[g + k]);
      if (d < 0) {
        d = 0;
        ++fill;
      }
      v = (v << 6) | static_cast<uint32_t>(d);
    }
    char bytes[3] = {static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
    int keep = 3 - fill;
    if (keep > 0) out.append(bytes, keep);
  }
  return AnsiString(std::move(out));
}

// --- UU and XX ---

constexpr int UULineBytes = 45;

// Data characters of a line of count bytes: whole groups of four, as written.
int UULineChars(int count) { return (count + 2) / 3 * 4; }

AnsiString UUStrTo(TStringFormatClass self, const char* value, int size) {
  const char* t = self->FCharTable;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(value);
  std::string out;
  for (int pos = 0; pos < size; pos += UULineBytes) {
    int count = std::min(UULineBytes, size - pos);
    out += t[count];
    for (int i = 0; i < count; i += 3) {
      uint32_t v = p[pos + i] << 16;
      if (i + 1 < count) v |= p[pos + i + 1] << 8;
      if (i + 2 < count) v |= p[pos + i + 2];
      out += t[v >> 18];
      out += t[(v >> 12) & 63];
      out += t[(v >> 6) & 63];
      out += t[v & 63];
    }
  }
  return AnsiString(std::move(out));
}

// Walks the lines of UU/XX text. For each line calls line(count) and then
// data(value) for every data character; returns false on a bad count
// character, and sets complete to whether the last line had all its characters.
template <class Line, class Data>
bool WalkUULines(TStringFormatClass self, const char* value, int size, Line line, Data data, bool& complete) {
  const char* t = self->FCharTable;
  int tableLen = static_cast<int>(std::strlen(t));
  complete = true;
  int i = 0;
  while (i < size) {
    int k = IndexIn(t, tableLen, value[i]);
    if (k >= 64) {  // separators between lines
      ++i;
      continue;
    }
    if (k < 0 || k > UULineBytes) return false;
    ++i;
    line(k);
    int need = UULineChars(k);
    while (need > 0 && i < size) {
      int d = IndexIn(t, 64, value[i++]);
      if (d < 0) continue;
      data(d);
      --need;
    }
    complete = need == 0;
  }
  return true;
}

AnsiString UUToStr(TStringFormatClass self, const char* value, int size) {
  std::string out;
  int count = 0, got = 0;
  uint32_t acc = 0;
  size_t lineStart = 0;
  auto flushGroup = [&] {
    char bytes[3] = {static_cast<char>(acc >> 16), static_cast<char>(acc >> 8), static_cast<char>(acc)};
    out.append(bytes, 3);
    acc = 0;
    got = 0;
  };
  auto endLine = [&] {
    if (got) {
      acc <<= 6 * (4 - got);
      flushGroup();
    }
    out.resize(std::min(out.size(), lineStart + count));
  };
  bool complete;
  bool ok = WalkUULines(
      self, value, size,
      [&](int c) {
        endLine();
        lineStart = out.size();
        count = c;
      },
      [&](int d) {
        acc = (acc << 6) | static_cast<uint32_t>(d);
        if (++got == 4) flushGroup();
      },
      complete);
  if (!ok) throw EStringFormat(Format(sInvalidStringFormat, {self->Name()}));
  endLine();
  return AnsiString(std::move(out));
}

bool UUIsValid(TStringFormatClass self, const char* value, int size, bool toStr) {
  if (!toStr) return true;
  if (!AllInTable(self, value, size)) return false;
  bool complete;
  bool ok = WalkUULines(
      self, value, size, [](int) {}, [](int) {}, complete);
  return ok && complete;
}

const char HexTable[] = "0123456789ABCDEFX$ abcdefhHx()[]{},;:-_/\\*+\"'\t\n\r";
const char HexLTable[] = "0123456789abcdefX$ ABCDEFhHx()[]{},;:-_/\\*+\"'\t\n\r";
const char Mime64Table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/= $()[]{},;:-_\\*\"'\t\n\r";
const char UUTable[] = "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_ \t\n\r";
const char XXTable[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz \"()[]'\t\n\r";

TStringFormatClass FindFormat(int format) {
  if (!Formats) return nullptr;
  if (format == fmtDEFAULT) format = DefaultFormat;
  for (TStringFormatClass f : *Formats)
    if (f->Format() == format) return f;
  return nullptr;
}

TStringFormatClass NeedFormat(int format) {
  TStringFormatClass f = FindFormat(format);
  if (!f) throw EStringFormat(Format(sStringFormatExists, {format}));
  return f;
}

int SizeOf(const void* value, int size) {
  if (size < 0) size = static_cast<int>(std::strlen(static_cast<const char*>(value)));
  return size;
}

}  // namespace

const TStringFormatClassRec TStringFormat::Class = {{"TStringFormat", nullptr, nullptr},
                                                    &CopyToStr,
                                                    &CopyStrTo,
                                                    "copy Input to Output",
                                                    fmtCOPY,
                                                    &CopyIsValid,
                                                    nullptr};
const TStringFormatClassRec TStringFormat_HEX::Class = {{"TStringFormat_HEX", &TStringFormat::Class, nullptr},
                                                        &HexToStr,
                                                        &HexStrTo,
                                                        "Hexadecimal",
                                                        fmtHEX,
                                                        &HexIsValid,
                                                        HexTable};
const TStringFormatClassRec TStringFormat_HEXL::Class = {{"TStringFormat_HEXL", &TStringFormat_HEX::Class, nullptr},
                                                         &HexToStr,
                                                         &HexStrTo,
                                                         "Hexadecimal lowercase",
                                                         fmtHEXL,
                                                         &HexIsValid,
                                                         HexLTable};
const TStringFormatClassRec TStringFormat_MIME64::Class = {{"TStringFormat_MIME64", &TStringFormat_HEX::Class, nullptr},
                                                           &Mime64ToStr,
                                                           &Mime64StrTo,
                                                           "MIME Base 64",
                                                           fmtMIME64,
                                                           &HexIsValid,
                                                           Mime64Table};
const TStringFormatClassRec TStringFormat_UU::Class = {
    {"TStringFormat_UU", &TStringFormat::Class, nullptr}, &UUToStr, &UUStrTo, "UU Coding", fmtUU, &UUIsValid, UUTable};
const TStringFormatClassRec TStringFormat_XX::Class = {{"TStringFormat_XX", &TStringFormat_UU::Class, nullptr},
                                                       &UUToStr,
                                                       &UUStrTo,
                                                       "XX Coding",
                                                       fmtXX,
                                                       &UUIsValid,
                                                       XXTable};

// --- TProtection -----------------------------------------------------------------

TProtection::TProtection(TProtection* protection) {
  if (LiveObjects) LiveObjects->insert(this);
  SetProtection(protection);
}

TProtection::~TProtection() {
  SetProtection(nullptr);
  if (LiveObjects) LiveObjects->erase(this);
}

long TProtection::AddRef() { return TInterfacedObject::AddRef(); }
long TProtection::Release() { return TInterfacedObject::Release(); }

TProtection* TProtection::GetProtection() {
  if (FProtection && !IsValidProtection(FProtection)) FProtection = nullptr;
  return FProtection;
}

void TProtection::SetProtection(TProtection* value) {
  if (value == FProtection) return;
  for (TProtection* p = value; IsValidProtection(p); p = p->FProtection)
    if (p == this) throw EProtection(sProtectionCircular);
  TProtection* old = FProtection;
  FProtection = IsValidProtection(value) ? value : nullptr;
  if (FProtection) FProtection->AddRef();
  if (IsValidProtection(old)) old->Release();
}

void TProtection::CodeInit(TPAction action) {
  if (TProtection* p = GetProtection()) p->CodeInit(action);
}

void TProtection::CodeDone(TPAction action) {
  if (TProtection* p = GetProtection()) p->CodeDone(action);
}

void TProtection::CodeBuf(void* buffer, int size, TPAction action) {
  if (TProtection* p = GetProtection()) p->CodeBuf(buffer, size, action);
}

int TProtection::CodeBuffer(void* buffer, int size, TPAction action) {
  CodeInit(action);
  CodeBuf(buffer, size, action);
  CodeDone(action);
  return size;
}

void TProtection::CodeStream(TStream* source, TStream* dest, int size, TPAction action) {
  if (!source) return;
  if (!dest) dest = source;
  if (size < 0) {
    source->SetPosition(0);
    size = static_cast<int>(source->Size());
  }
  constexpr int BlockSize = 4096;
  std::unique_ptr<uint8_t[]> buf(new uint8_t[BlockSize]);
  CodeInit(action);
  DoProgress(this, 0, size);
  // Running positions of both ends, so that a stream coded onto itself reads
  // each block before the block is written back.
  int64_t readPos = source->Position();
  int64_t writePos = dest->Position();
  int done = 0;
  while (done < size) {
    int want = std::min(BlockSize, size - done);
    source->SetPosition(readPos);
    int got = source->Read(buf.get(), want);
    if (got < 1) break;
    readPos += got;
    CodeBuf(buf.get(), got, action);
    if (action != paCalc) {
      dest->SetPosition(writePos);
      dest->WriteBuffer(buf.get(), got);
      writePos += got;
    }
    done += got;
    DoProgress(this, done, size);
  }
  DoProgress(this, 0, 0);
  std::memset(buf.get(), 0, BlockSize);
  buf.reset();
  CodeDone(action);
}

void TProtection::CodeFile(const AnsiString& source, const AnsiString& dest, TPAction action) {
  bool separate = !SameText(source, dest) && (!Trim(dest).IsEmpty() || action == paCalc);
  if (!separate) {
    TFileStream s(source, fmOpenReadWrite);
    CodeStream(&s, &s, -1, action);
    return;
  }
  TFileStream s(source, fmOpenRead | fmShareDenyNone);
  if (action == paCalc) {
    CodeStream(&s, &s, -1, action);
    return;
  }
  TFileStream d(dest, fmCreate);
  CodeStream(&s, &d, -1, action);
  d.SetSize(d.Position());
}

AnsiString TProtection::CodeString(const AnsiString& source, TPAction action, int format) {
  if (source.IsEmpty()) return AnsiString();
  AnsiString bytes = action == paDecode ? FormatToStr(source.c_str(), source.Length(), format) : source;
  TMemoryStream m;
  m.WriteBuffer(bytes.c_str(), bytes.Length());
  m.SetPosition(0);
  CodeStream(&m, &m, bytes.Length(), action);
  AnsiString result(static_cast<const char*>(m.Memory()), static_cast<int>(m.Size()));
  std::memset(m.Memory(), 0, static_cast<size_t>(m.Size()));
  if (action == paDecode) return result;
  return StrToFormat(result.c_str(), result.Length(), format);
}

uint16_t TProtection::Identity(const TMetaClass* cls) {
  const char* name = cls ? cls->Name : "";
  return static_cast<uint16_t>(~CRC16(IdentityBase, name, static_cast<int>(std::strlen(name))));
}

// --- text formats ------------------------------------------------------------------

TStringFormatClass StringFormat(int format) { return FindFormat(format); }

AnsiString StrToFormat(const void* value, int size, int format) {
  if (!value || format == fmtNONE) return AnsiString();
  size = SizeOf(value, size);
  TStringFormatClass f = NeedFormat(format);
  if (!f->IsValid(value, size, false)) throw EStringFormat(Format(sInvalidFormatString, {f->Name()}));
  return f->StrTo(value, size);
}

AnsiString FormatToStr(const void* value, int size, int format) {
  if (!value || format == fmtNONE) return AnsiString();
  size = SizeOf(value, size);
  TStringFormatClass f = NeedFormat(format);
  if (!f->IsValid(value, size, true)) throw EStringFormat(Format(sInvalidStringFormat, {f->Name()}));
  return f->ToStr(value, size);
}

AnsiString ConvertFormat(const void* value, int size, int fromFormat, int toFormat) {
  if (!value) return AnsiString();
  size = SizeOf(value, size);
  if (fromFormat == toFormat) return AnsiString(static_cast<const char*>(value), size);
  AnsiString bytes = FormatToStr(value, size, fromFormat);
  return StrToFormat(bytes.c_str(), bytes.Length(), toFormat);
}

namespace {
bool IsValidIn(const void* value, int size, int format, bool toStr) {
  if (!value) return true;
  size = SizeOf(value, size);
  if (size == 0) return true;
  TStringFormatClass f = FindFormat(format);
  return f && f->IsValid(value, size, toStr);
}
}  // namespace

bool IsValidFormat(const void* value, int size, int format) { return IsValidIn(value, size, format, true); }
bool IsValidString(const void* value, int size, int format) { return IsValidIn(value, size, format, false); }

void RegisterStringFormats(const TStringFormatClass* classes, int count) {
  if (!Formats || !classes) return;
  for (int i = 0; i < count; ++i) {
    TStringFormatClass f = classes[i];
    if (!f || f->Format() == fmtDEFAULT) continue;
    auto it = std::find_if(Formats->begin(), Formats->end(),
                           [f](TStringFormatClass g) { return g->Format() == f->Format(); });
    if (it != Formats->end())
      *it = f;
    else
      Formats->push_back(f);
  }
}

void GetStringFormats(TStrings* strings) {
  if (!strings || !Formats) return;
  for (TStringFormatClass f : *Formats)
    strings->AddObject(f->Name(), reinterpret_cast<TObject*>(const_cast<TStringFormatClassRec*>(f)));
}

int DefaultStringFormat() { return DefaultFormat; }

void SetDefaultStringFormat(int format) {
  if (format == fmtDEFAULT || !FindFormat(format)) format = fmtMIME64;
  DefaultFormat = format;
}

AnsiString InsertCR(const AnsiString& value, int blockSize) {
  if (blockSize < 1 || value.Length() <= blockSize) return value;
  const std::string& s = value.str();
  std::string out;
  out.reserve(s.size() + s.size() / blockSize * 2);
  for (size_t i = 0; i < s.size(); i += blockSize) {
    size_t n = std::min(static_cast<size_t>(blockSize), s.size() - i);
    out.append(s, i, n);
    if (n == static_cast<size_t>(blockSize)) out += "\r\n";
  }
  return AnsiString(std::move(out));
}

AnsiString DeleteCR(const AnsiString& value) {
  std::string out;
  for (char c : value.str())
    if (c != '\r' && c != '\n') out += c;
  return AnsiString(std::move(out));
}

AnsiString InsertBlocks(const AnsiString& value, const AnsiString& blockStart, const AnsiString& blockEnd,
                        int blockSize) {
  if (blockSize < 1 || value.Length() <= blockSize) return value;
  const std::string& s = value.str();
  std::string out;
  for (size_t i = 0; i < s.size(); i += blockSize) {
    out += blockStart.str();
    out.append(s, i, std::min(static_cast<size_t>(blockSize), s.size() - i));
    out += blockEnd.str();
  }
  return AnsiString(std::move(out));
}

AnsiString RemoveBlocks(const AnsiString& value, const AnsiString& blockStart, const AnsiString& blockEnd) {
  const std::string& s = value.str();
  const std::string& b = blockStart.str();
  const std::string& e = blockEnd.str();
  std::string out;
  size_t pos = 0;
  while (pos < s.size()) {
    if (!b.empty()) {
      size_t p = s.find(b, pos);
      if (p == std::string::npos) break;
      pos = p + b.size();
    }
    size_t q = e.empty() ? std::string::npos : s.find(e, pos);
    if (q == std::string::npos) {
      out.append(s, pos, std::string::npos);
      break;
    }
    out.append(s, pos, q - pos);
    pos = q + e.size();
  }
  return AnsiString(std::move(out));
}

AnsiString GetShortClassName(const AnsiString& className) {
  int p = className.Pos("_");
  return p > 0 ? className.SubString(p + 1, className.Length()) : className;
}

AnsiString GetShortClassName(const TMetaClass* cls) { return cls ? GetShortClassName(AnsiString(cls->Name)) : ""; }

// --- routines ----------------------------------------------------------------------

void SwapIntegerBuffer(const void* source, void* dest, int count) {
  const uint8_t* s = static_cast<const uint8_t*>(source);
  uint8_t* d = static_cast<uint8_t*>(dest);
  for (int i = 0; i < count; ++i) {
    uint32_t v;
    std::memcpy(&v, s + 4 * i, 4);
    v = SwapInteger(v);
    std::memcpy(d + 4 * i, &v, 4);
  }
}

uint32_t SwapBits(uint32_t value) {
  uint32_t r = 0;
  for (int i = 0; i < 32; ++i) {
    r = (r << 1) | (value & 1);
    value >>= 1;
  }
  return r;
}

int LSBit(int value) {
  uint32_t v = static_cast<uint32_t>(value);
  return v ? __builtin_ctz(v) : 0;
}

int MSBit(int value) {
  uint32_t v = static_cast<uint32_t>(value);
  return v ? 31 - __builtin_clz(v) : 0;
}

int OneBit(int value) {
  uint32_t v = static_cast<uint32_t>(value);
  return (v && !(v & (v - 1))) ? __builtin_ctz(v) : 0;
}

int MemCompare(const void* a, const void* b, int size) {
  const uint8_t* p = static_cast<const uint8_t*>(a);
  const uint8_t* q = static_cast<const uint8_t*>(b);
  for (int i = 0; i < size; ++i)
    if (p[i] != q[i]) return static_cast<int>(p[i]) - static_cast<int>(q[i]);
  return 0;
}

void XORBuffers(const void* a, const void* b, int size, void* dest) {
  const uint8_t* p = static_cast<const uint8_t*>(a);
  const uint8_t* q = static_cast<const uint8_t*>(b);
  uint8_t* d = static_cast<uint8_t*>(dest);
  for (int i = 0; i < size; ++i) d[i] = p[i] ^ q[i];
}

uint16_t CRC16(uint16_t crc, const void* data, int size) {
  if (!data || size < 1) return crc;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  for (int i = 0; i < size; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ CRC16Table[(crc ^ p[i]) & 0xFF]);
  return crc;
}

uint32_t RndTimeSeed() {
  SYSTEMTIME st;
  GetSystemTime(&st);
  uint32_t ms = ((st.wHour * 60u + st.wMinute) * 60u + st.wSecond) * 1000u + st.wMilliseconds;
  LARGE_INTEGER pc;
  if (QueryPerformanceCounter(&pc)) ms ^= static_cast<uint32_t>(pc.LowPart) ^ static_cast<uint32_t>(pc.HighPart);
  return ms;
}

void RndXORBuffer(uint32_t seed, void* buffer, int size) {
  uint8_t* p = static_cast<uint8_t*>(buffer);
  for (int i = 0; i < size; ++i) {
    seed = (seed ^ p[i]) * 134775813u + 1u;
    p[i] = static_cast<uint8_t>(seed >> 24);
  }
}

double PerfCounter() {
  LARGE_INTEGER c;
  if (QueryPerformanceCounter(&c)) return static_cast<double>(c.QuadPart);
  return static_cast<double>(GetTickCount());
}

double PerfFreq() {
  LARGE_INTEGER f;
  if (QueryPerformanceFrequency(&f) && f.QuadPart) return static_cast<double>(f.QuadPart);
  return 1000.0;
}

void DoProgress(TObject* sender, int current, int maximal) {
  if (Progress) Progress(sender, current, maximal);
}

const uint8_t* GetTestVector() { return TestMessage; }

int CPUType() {
  unsigned eax, ebx, ecx, edx;
  // __get_cpuid fails only where the identification flag cannot be set.
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return 4;
  return static_cast<int>((eax >> 8) & 0xF);
}

bool IsObject(const TObject* obj, const TMetaClass* cls) {
  if (!obj) return false;
  if (LiveObjects && !LiveObjects->count(obj)) return false;
  return !cls || obj->InheritsFrom(cls);
}

void UnitInit_Zecryptutil() {
  LiveObjects = new std::unordered_set<const TObject*>();
  Formats = new std::vector<TStringFormatClass>();
  static const TStringFormatClass builtIn[] = {&TStringFormat::Class,      &TStringFormat_HEX::Class,
                                               &TStringFormat_HEXL::Class, &TStringFormat_MIME64::Class,
                                               &TStringFormat_UU::Class,   &TStringFormat_XX::Class};
  RegisterStringFormats(builtIn, 6);
  DefaultFormat = fmtMIME64;
}

void UnitFini_Zecryptutil() {
  delete Formats;
  Formats = nullptr;
  delete LiveObjects;
  LiveObjects = nullptr;
}
