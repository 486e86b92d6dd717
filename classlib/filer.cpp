#include "filer.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>

CL_DEFINE_CLASS(TFiler, TObject)
CL_DEFINE_CLASS(TReader, TFiler)
CL_DEFINE_CLASS(TWriter, TFiler)

const char FilerSignature[4] = {'T', 'P', 'F', '0'};

namespace {

const char* const SInvalidPropertyValue = "Invalid property value";

[[noreturn]] void InvalidPropertyValue() { throw EReadError(SInvalidPropertyValue); }

struct TClassEntry {
  std::vector<std::unique_ptr<TPropInfo>> Props;
  std::vector<TFormField> Fields;
  std::vector<TFormMethod> Methods;
  TResourceLoader Loader = nullptr;
};

struct TRegistries {
  std::vector<const TMetaClass*> Classes;
  std::map<const TMetaClass*, TClassEntry> Entries;
};

TRegistries* Registries = nullptr;

TRegistries& Reg() {
  if (!Registries) throw EFilerError("The class and property registries are not started");
  return *Registries;
}

const TClassEntry* EntryOf(const TMetaClass* cls) {
  auto& e = Reg().Entries;
  auto it = e.find(cls);
  return it == e.end() ? nullptr : &it->second;
}

// Restores a variable when the scope ends, also on the way out of an exception.
template <class T> class TRestore {
public:
  explicit TRestore(T& var) : FVar(var), FSaved(var) {}
  ~TRestore() { FVar = std::move(FSaved); }
  TRestore(const TRestore&) = delete;
  TRestore& operator=(const TRestore&) = delete;

private:
  T& FVar;
  T FSaved;
};

std::vector<AnsiString> SplitPath(const AnsiString& path) {
  std::vector<AnsiString> parts;
  AnsiString part;
  for (char c : path.str()) {
    if (c == '.') {
      parts.push_back(part);
      part = AnsiString();
    } else {
      part += c;
    }
  }
  parts.push_back(part);
  return parts;
}

}  // namespace

// --- 80-bit extended ---------------------------------------------------------

void DoubleToExtended(double value, uint8_t out[10]) {
  uint64_t mantissa = 0;
  uint16_t signExp = std::signbit(value) ? 0x8000 : 0;
  if (std::isnan(value)) {
    signExp |= 0x7FFF;
    mantissa = 0xC000000000000000ull;
  } else if (std::isinf(value)) {
    signExp |= 0x7FFF;
    mantissa = 0x8000000000000000ull;
  } else if (value != 0) {
    int exp;
    double m = std::frexp(std::fabs(value), &exp);  // 0.5 <= m < 1, denormals normalised
    // m has at most 53 significant bits, so m * 2^64 is an exact integer below 2^64.
    mantissa = static_cast<uint64_t>(std::ldexp(m, 64));
    signExp |= static_cast<uint16_t>(exp - 1 + 16383);
  }
  std::memcpy(out, &mantissa, 8);
  std::memcpy(out + 8, &signExp, 2);
}

double ExtendedToDouble(const uint8_t in[10]) {
  uint64_t mantissa;
  uint16_t signExp;
  std::memcpy(&mantissa, in, 8);
  std::memcpy(&signExp, in + 8, 2);
  bool negative = (signExp & 0x8000) != 0;
  int exp = signExp & 0x7FFF;
  double r;
  if (exp == 0x7FFF) {
    r = (mantissa << 1) != 0 ? std::numeric_limits<double>::quiet_NaN() : std::numeric_limits<double>::infinity();
  } else if (mantissa == 0) {
    r = 0.0;
  } else {
    // value = mantissa * 2^(e - 63); an extended denormal (field 0) has the exponent of field 1.
    int e = (exp == 0 ? 1 : exp) - 16383;
    if (e >= -1022) {
      // One rounding to 53 bits; the scaling is then exact (or overflows to infinity).
      r = std::ldexp(static_cast<double>(mantissa), e - 63);
    } else {
      // A double denormal: round once, at the unit 2^-1074, to nearest even.
      int shift = -1011 - e;  // > 11 here
      uint64_t k;
      if (shift >= 64) {
        k = (shift == 64 && mantissa > 0x8000000000000000ull) ? 1 : 0;
      } else {
        k = mantissa >> shift;
        uint64_t rem = mantissa & ((uint64_t(1) << shift) - 1);
        uint64_t half = uint64_t(1) << (shift - 1);
        if (rem > half || (rem == half && (k & 1))) ++k;
      }
      r = std::ldexp(static_cast<double>(k), -1074);
    }
  }
  return negative ? -r : r;
}

// --- property registry -------------------------------------------------------

namespace filer_detail {

void InvalidValue() { InvalidPropertyValue(); }

void KindMismatch(const TMetaClass* cls, const char* name) {
  throw EFilerError(Format("Property %s.%s: the kind does not fit its accessors", {cls->Name, name}));
}

const TPropInfo* AddProperty(TPropInfo&& info) {
  auto& props = Reg().Entries[info.Owner].Props;
  // Registering a name of the same class again updates the entry in place, so
  // pointers handed out before stay valid.
  for (auto& existing : props)
    if (SameText(existing->Name, info.Name)) {
      *existing = std::move(info);
      return existing.get();
    }
  props.push_back(std::make_unique<TPropInfo>(std::move(info)));
  return props.back().get();
}

}  // namespace filer_detail

const TPropInfo* GetPropInfo(const TMetaClass* cls, const AnsiString& name) {
  for (const TMetaClass* c = cls; c; c = c->Parent) {
    const TClassEntry* e = EntryOf(c);
    if (!e) continue;
    for (auto& p : e->Props)
      if (SameText(p->Name, name)) return p.get();
  }
  return nullptr;
}

TPropList GetPropList(const TMetaClass* cls) {
  std::vector<const TMetaClass*> chain;
  for (const TMetaClass* c = cls; c; c = c->Parent) chain.push_back(c);
  TPropList list;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const TClassEntry* e = EntryOf(*it);
    if (!e) continue;
    for (auto& p : e->Props) {
      bool replaced = false;
      for (auto& have : list)
        if (SameText(have->Name, p->Name)) {
          have = p.get();
          replaced = true;
          break;
        }
      if (!replaced) list.push_back(p.get());
    }
  }
  return list;
}

TPropValue GetPropValue(TObject* instance, const TPropInfo* info) {
  if (!info->Get) throw EFilerError(Format("Property %s is write-only", {info->Name}));
  return info->Get(instance);
}

void SetPropValue(TObject* instance, const TPropInfo* info, const TPropValue& value) {
  if (!info->Set) throw EFilerError(Format("Property %s is read-only", {info->Name}));
  info->Set(instance, value);
}

AnsiString GetStrProp(TObject* instance, const TPropInfo* info) {
  TPropValue v = GetPropValue(instance, info);
  return info->Kind() == pkWideString ? WideToAnsi(v.WStr) : v.Str;
}

void SetStrProp(TObject* instance, const TPropInfo* info, const AnsiString& value) {
  TPropValue v;
  if (info->Kind() == pkWideString)
    v.WStr = AnsiToWide(value);
  else
    v.Str = value;
  SetPropValue(instance, info, v);
}

WideString GetWideStrProp(TObject* instance, const TPropInfo* info) {
  TPropValue v = GetPropValue(instance, info);
  return info->Kind() == pkWideString ? v.WStr : AnsiToWide(v.Str);
}

void SetWideStrProp(TObject* instance, const TPropInfo* info, const WideString& value) {
  TPropValue v;
  if (info->Kind() == pkWideString)
    v.WStr = value;
  else
    v.Str = WideToAnsi(value);
  SetPropValue(instance, info, v);
}

int64_t GetOrdProp(TObject* instance, const TPropInfo* info) { return GetPropValue(instance, info).Ord; }

void SetOrdProp(TObject* instance, const TPropInfo* info, int64_t value) {
  TPropValue v;
  v.Ord = value;
  SetPropValue(instance, info, v);
}

TObject* GetObjectProp(TObject* instance, const TPropInfo* info) { return GetPropValue(instance, info).Obj; }

bool IsStoredProp(TObject* instance, const TPropInfo* info) {
  if (info->Stored) return info->Stored(instance);
  if (!info->HasDefault || !info->Get) return true;
  switch (info->Kind()) {
    case pkInteger: case pkInt64: case pkBool: case pkChar: case pkWideChar: case pkEnum: case pkSet:
      return info->Get(instance).Ord != info->Default;
    default:
      return true;
  }
}

void RegisterResourceLoader(const TMetaClass* cls, TResourceLoader loader) { Reg().Entries[cls].Loader = loader; }

TResourceLoader FindResourceLoader(const TMetaClass* cls) {
  for (const TMetaClass* c = cls; c; c = c->Parent) {
    const TClassEntry* e = EntryOf(c);
    if (e && e->Loader) return e->Loader;
  }
  return nullptr;
}

// --- class registry ------------------------------------------------------------

void RegisterClass(const TMetaClass* cls) {
  auto& classes = Reg().Classes;
  for (const TMetaClass* c : classes) {
    if (c == cls) return;
    if (SameText(c->Name, cls->Name)) throw EFilerError(Format("A class named %s already exists", {cls->Name}));
  }
  classes.push_back(cls);
}

void RegisterClasses(std::initializer_list<const TMetaClass*> classes) {
  for (const TMetaClass* c : classes) RegisterClass(c);
}

void UnRegisterClass(const TMetaClass* cls) {
  auto& classes = Reg().Classes;
  for (auto it = classes.begin(); it != classes.end(); ++it)
    if (*it == cls) {
      classes.erase(it);
      return;
    }
}

const TMetaClass* GetClass(const AnsiString& name) {
  for (const TMetaClass* c : Reg().Classes)
    if (SameText(c->Name, name)) return c;
  return nullptr;
}

const TMetaClass* FindClass(const AnsiString& name) {
  const TMetaClass* c = GetClass(name);
  if (!c) throw EClassNotFound(Format("Class %s not found", {name}));
  return c;
}

// --- form fields and methods -------------------------------------------------

void RegisterFormFieldList(const TMetaClass* formClass, std::vector<TFormField> fields) {
  auto& list = Reg().Entries[formClass].Fields;
  for (auto& f : fields) list.push_back(std::move(f));
}

void RegisterFormMethodList(const TMetaClass* formClass, std::vector<TFormMethod> methods) {
  auto& list = Reg().Entries[formClass].Methods;
  for (auto& m : methods) list.push_back(std::move(m));
}

const TFormField* FindFormField(const TMetaClass* formClass, const AnsiString& name) {
  for (const TMetaClass* c = formClass; c; c = c->Parent) {
    const TClassEntry* e = EntryOf(c);
    if (!e) continue;
    for (auto& f : e->Fields)
      if (SameText(f.Name, name)) return &f;
  }
  return nullptr;
}

const TMethodEntry* FindFormMethod(const TMetaClass* formClass, const AnsiString& name) {
  for (const TMetaClass* c = formClass; c; c = c->Parent) {
    const TClassEntry* e = EntryOf(c);
    if (!e) continue;
    for (auto& m : e->Methods)
      if (SameText(m.Name, name)) return &m.Entry;
  }
  return nullptr;
}

// --- TFiler ------------------------------------------------------------------

TFiler::TFiler(TStream* stream) : FStream(stream) {}
TFiler::~TFiler() = default;

// --- TReader: values ------------------------------------------------------------

TReader::TReader(TStream* stream) : TFiler(stream) {}
TReader::~TReader() = default;

void TReader::Read(void* buffer, int32_t count) {
  if (count > 0) FStream->ReadBuffer(buffer, count);
}

template <class T> T TReader::ReadRaw() {
  T value;
  Read(&value, sizeof value);
  return value;
}

void TReader::CheckAvailable(int64_t count) {
  if (count < 0 || count > FStream->Size() - FStream->Position()) throw EReadError("Stream read error");
}

TValueType TReader::ReadValue() { return static_cast<TValueType>(ReadRaw<uint8_t>()); }

TValueType TReader::NextValue() {
  TValueType v = ReadValue();
  FStream->Seek(int64_t(-1), soCurrent);
  return v;
}

void TReader::CheckValue(TValueType value) {
  if (ReadValue() != value) {
    FStream->Seek(int64_t(-1), soCurrent);
    InvalidPropertyValue();
  }
}

bool TReader::EndOfList() { return NextValue() == vaNull; }
void TReader::ReadListBegin() { CheckValue(vaList); }
void TReader::ReadListEnd() { CheckValue(vaNull); }

// count characters. The count is checked against what the stream holds before
// anything is allocated, so a damaged length cannot ask for gigabytes.
template <class S> S TReader::ReadChars(int32_t count) {
  constexpr int64_t charSize = sizeof(TStringChar<S>);
  CheckAvailable(count * charSize);
  S s;
  s.SetLength(count);
  Read(s.data(), static_cast<int32_t>(count * charSize));
  return s;
}

AnsiString TReader::ReadStr() { return ReadChars<AnsiString>(ReadRaw<uint8_t>()); }

// A 4-byte count, then that many bytes / UTF-16 characters.
AnsiString TReader::ReadLongBytes() { return ReadChars<AnsiString>(ReadRaw<int32_t>()); }
WideString TReader::ReadWideBytes() { return ReadChars<WideString>(ReadRaw<int32_t>()); }

AnsiString TReader::ReadString() {
  switch (ReadValue()) {
    case vaString: return ReadStr();
    case vaLString: return ReadLongBytes();
    case vaWString: return WideToAnsi(ReadWideBytes());
    case vaUTF8String: return WideToAnsi(UTF8Decode(ReadLongBytes()));
    default:
      FStream->Seek(int64_t(-1), soCurrent);
      InvalidPropertyValue();
  }
}

WideString TReader::ReadWideString() {
  switch (ReadValue()) {
    case vaString: return AnsiToWide(ReadStr());
    case vaLString: return AnsiToWide(ReadLongBytes());
    case vaWString: return ReadWideBytes();
    case vaUTF8String: return UTF8Decode(ReadLongBytes());
    default:
      FStream->Seek(int64_t(-1), soCurrent);
      InvalidPropertyValue();
  }
}

AnsiString TReader::ReadUTF8String() {
  switch (ReadValue()) {
    case vaString: return ReadStr();
    case vaLString: return ReadLongBytes();
    case vaWString: return UTF8Encode(ReadWideBytes());
    case vaUTF8String: return ReadLongBytes();
    default:
      FStream->Seek(int64_t(-1), soCurrent);
      InvalidPropertyValue();
  }
}

char TReader::ReadChar() {
  AnsiString s = ReadString();
  if (s.Length() != 1) InvalidPropertyValue();
  return s[1];
}

wchar_t TReader::ReadWideChar() {
  WideString s = ReadWideString();
  if (s.Length() != 1) InvalidPropertyValue();
  return s[1];
}

int64_t TReader::ReadInt64() {
  switch (ReadValue()) {
    case vaInt8: return ReadRaw<int8_t>();
    case vaInt16: return ReadRaw<int16_t>();
    case vaInt32: return ReadRaw<int32_t>();
    case vaInt64: return ReadRaw<int64_t>();
    default:
      FStream->Seek(int64_t(-1), soCurrent);
      InvalidPropertyValue();
  }
}

int TReader::ReadInteger() {
  int64_t pos = FStream->Position();
  int64_t v = ReadInt64();
  if (v < INT32_MIN || v > INT32_MAX) {
    FStream->SetPosition(pos);
    InvalidPropertyValue();
  }
  return static_cast<int>(v);
}

bool TReader::ReadBoolean() {
  switch (ReadValue()) {
    case vaTrue: return true;
    case vaFalse: return false;
    default:
      FStream->Seek(int64_t(-1), soCurrent);
      InvalidPropertyValue();
  }
}

double TReader::ReadFloat() {
  switch (NextValue()) {
    case vaExtended: {
      ReadValue();
      uint8_t b[10];
      Read(b, 10);
      return ExtendedToDouble(b);
    }
    case vaSingle:
      ReadValue();
      return ReadRaw<float>();
    case vaDate:
      ReadValue();
      return ReadRaw<double>();
    case vaCurrency:
      ReadValue();
      return static_cast<double>(ReadRaw<int64_t>()) / 10000.0;
    default:
      return static_cast<double>(ReadInt64());
  }
}

AnsiString TReader::ReadIdent() {
  switch (ReadValue()) {
    case vaIdent: return ReadStr();
    case vaFalse: return "False";
    case vaTrue: return "True";
    case vaNil: return "nil";
    case vaNull: return "Null";
    default:
      FStream->Seek(int64_t(-1), soCurrent);
      InvalidPropertyValue();
  }
}

std::vector<AnsiString> TReader::ReadSetNames() {
  CheckValue(vaSet);
  std::vector<AnsiString> names;
  for (;;) {
    AnsiString n = ReadStr();
    if (n.IsEmpty()) break;
    names.push_back(n);
  }
  return names;
}

void TReader::ReadBinary(TStream* dest) {
  CheckValue(vaBinary);
  const int32_t n = ReadRaw<int32_t>();
  CheckAvailable(n);
  if (n > 0) dest->CopyFrom(FStream, n);
}

void TReader::SkipValue() {
  auto skipBytes = [this](int64_t n) {
    CheckAvailable(n);
    FStream->Seek(n, soCurrent);
  };
  switch (ReadValue()) {
    case vaNull: case vaFalse: case vaTrue: case vaNil: break;
    case vaList:
      while (!EndOfList()) SkipValue();
      ReadListEnd();
      break;
    case vaInt8: skipBytes(1); break;
    case vaInt16: skipBytes(2); break;
    case vaInt32: case vaSingle: skipBytes(4); break;
    case vaInt64: case vaCurrency: case vaDate: skipBytes(8); break;
    case vaExtended: skipBytes(10); break;
    case vaString: case vaIdent: ReadStr(); break;
    case vaBinary: case vaLString: case vaUTF8String: skipBytes(ReadRaw<int32_t>()); break;
    case vaWString: skipBytes(int64_t(ReadRaw<int32_t>()) * 2); break;
    case vaSet:
      while (!ReadStr().IsEmpty()) {
      }
      break;
    case vaCollection:
      while (!EndOfList()) {
        TValueType t = NextValue();
        if (t == vaInt8 || t == vaInt16 || t == vaInt32) SkipValue();
        ReadListBegin();
        while (!EndOfList()) {
          ReadStr();
          SkipValue();
        }
        ReadListEnd();
      }
      ReadListEnd();
      break;
    default:
      FStream->Seek(int64_t(-1), soCurrent);
      InvalidPropertyValue();
  }
}

// --- TReader: properties ---------------------------------------------------------

void TReader::DefineProperty(const AnsiString& name, TReaderProc readData, TWriterProc, bool) {
  if (FCollectInto) FCollectInto->push_back({name, readData, TStreamProc(), false});
}

void TReader::DefineBinaryProperty(const AnsiString& name, TStreamProc readData, TStreamProc, bool) {
  if (FCollectInto) FCollectInto->push_back({name, TReaderProc(), readData, true});
}

void TReader::CollectDefinitions(TPersistent* instance, std::vector<TDefinedProp>& into) {
  TRestore<std::vector<TDefinedProp>*> restore(FCollectInto);
  FCollectInto = &into;
  instance->DefineProperties(this);
}

void TReader::ReadDefined(const TDefinedProp& def) {
  if (def.Binary) {
    if (!def.ReadBinary) {
      SkipValue();
      return;
    }
    TMemoryStream data;
    ReadBinary(&data);
    data.SetPosition(0);
    def.ReadBinary(&data);
    return;
  }
  if (!def.Read) {
    SkipValue();
    return;
  }
  int64_t pos = FStream->Position();
  def.Read(this);
  // A read procedure that ignored its value must not leave it for the next name.
  if (FStream->Position() == pos) SkipValue();
}

void TReader::PropertyError(const AnsiString& path, const AnsiString& name) {
  throw EReadError(Format("Error reading %s.%s: Property %s does not exist", {FContext, path, name}));
}

void TReader::ReadProperty(TPersistent* instance) {
  AnsiString path = ReadStr();
  std::vector<AnsiString> parts = SplitPath(path);
  TPersistent* target = instance;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    const TPropInfo* info = parts[i].IsEmpty() ? nullptr : GetPropInfo(target->ClassType(), parts[i]);
    if (!info || !info->Get ||
        (info->Kind() != pkObject && info->Kind() != pkCollection && info->Kind() != pkStrings))
      PropertyError(path, parts[i]);
    TObject* obj = info->Get(target).Obj;
    if (!obj || !obj->InheritsFrom(&TPersistent::Class)) PropertyError(path, parts[i]);
    target = static_cast<TPersistent*>(obj);
  }
  const AnsiString& name = parts.back();
  if (name.IsEmpty()) PropertyError(path, name);

  // What the object defines for itself comes before its registered properties.
  std::vector<TDefinedProp> nested;
  const std::vector<TDefinedProp>* defs = &FDefined;
  if (target != instance) {
    CollectDefinitions(target, nested);
    defs = &nested;
  }
  for (const TDefinedProp& d : *defs)
    if (SameText(d.Name, name)) {
      FPropName = d.Name;
      ReadDefined(d);
      return;
    }

  const TPropInfo* info = GetPropInfo(target->ClassType(), name);
  if (!info) PropertyError(path, name);
  FPropName = info->Name;
  ReadPropValue(target, info, path);
}

void TReader::ReadPropValue(TObject* instance, const TPropInfo* info, const AnsiString& path) {
  switch (info->Kind()) {
    case pkObject: {
      // An object as a whole takes only a resource reference (Glyph = @GLYPH_BACK).
      if (NextValue() != vaIdent) InvalidPropertyValue();
      AnsiString ident = ReadIdent();
      TObject* obj = info->Get ? info->Get(instance).Obj : nullptr;
      if (ident.Length() < 2 || ident[1] != '@' || !obj || !obj->InheritsFrom(&TPersistent::Class))
        InvalidPropertyValue();
      TResourceLoader loader = FindResourceLoader(obj->ClassType());
      if (!loader) InvalidPropertyValue();
      loader(static_cast<TPersistent*>(obj), ident.SubString(2, ident.Length() - 1));
      return;
    }
    case pkCollection: {
      TObject* obj = info->Get ? info->Get(instance).Obj : nullptr;
      if (!obj || !obj->InheritsFrom(&TCollection::Class)) InvalidPropertyValue();
      CheckValue(vaCollection);
      TRestore<AnsiString> context(FContext);
      FContext = FContext + "." + path;
      ReadCollection(static_cast<TCollection*>(obj));
      return;
    }
    case pkStrings: {
      TObject* obj = info->Get ? info->Get(instance).Obj : nullptr;
      if (!obj || !obj->InheritsFrom(&TStrings::Class)) InvalidPropertyValue();
      auto* strings = static_cast<TStrings*>(obj);
      if (NextValue() != vaList) {
        strings->SetText(ReadString());
        return;
      }
      ReadListBegin();
      strings->BeginUpdate();
      try {
        strings->Clear();
        while (!EndOfList()) strings->Add(ReadString());
      } catch (...) {
        strings->EndUpdate();
        throw;
      }
      strings->EndUpdate();
      ReadListEnd();
      return;
    }
    case pkComponent:
    case pkEvent: {
      TValueType t = NextValue();
      if (t == vaNil) {
        ReadValue();
        SetPropValue(instance, info, TPropValue());
      } else if (t == vaIdent) {
        if (!info->Set) InvalidPropertyValue();
        // Names may point forward in the layout, and handlers belong to the
        // root: both are bound once the whole tree exists.
        FFixups.push_back({instance, info, ReadIdent()});
      } else {
        InvalidPropertyValue();
      }
      return;
    }
    default:
      break;
  }

  TPropValue v;
  switch (info->Kind()) {
    case pkInteger:
      if (NextValue() == vaIdent) {
        AnsiString ident = ReadIdent();
        bool found = false;
        for (int i = 0; i < info->Type.IdentCount && !found; ++i)
          if (SameText(info->Type.Idents[i].Name, ident)) {
            v.Ord = info->Type.Idents[i].Value;
            found = true;
          }
        if (!found) InvalidPropertyValue();
      } else {
        v.Ord = ReadInteger();
      }
      break;
    case pkInt64: v.Ord = ReadInt64(); break;
    case pkFloat: v.Float = ReadFloat(); break;
    case pkBool: v.Ord = ReadBoolean() ? 1 : 0; break;
    case pkChar: v.Ord = static_cast<unsigned char>(ReadChar()); break;
    case pkWideChar: v.Ord = ReadWideChar(); break;
    case pkEnum: {
      AnsiString ident = ReadIdent();
      int index = -1;
      for (int i = 0; i < info->Type.NameCount && index < 0; ++i)
        if (SameText(info->Type.Names[i], ident)) index = i;
      if (index < 0) InvalidPropertyValue();
      v.Ord = index;
      break;
    }
    case pkSet: {
      uint32_t bits = 0;
      for (const AnsiString& n : ReadSetNames()) {
        int index = -1;
        for (int i = 0; i < info->Type.NameCount && index < 0; ++i)
          if (SameText(info->Type.Names[i], n)) index = i;
        if (index < 0 || index > 31) InvalidPropertyValue();
        bits |= 1u << index;
      }
      v.Ord = bits;
      break;
    }
    case pkString: v.Str = ReadString(); break;
    case pkWideString: v.WStr = ReadWideString(); break;
    default: InvalidPropertyValue();
  }
  if (!info->Set) InvalidPropertyValue();
  info->Set(instance, v);
}

void TReader::ReadItemProperties(TPersistent* item) {
  std::vector<TDefinedProp> defs;
  CollectDefinitions(item, defs);
  TRestore<std::vector<TDefinedProp>> restore(FDefined);
  FDefined = std::move(defs);
  while (!EndOfList()) ReadProperty(item);
}

void TReader::ReadCollection(TCollection* collection) {
  collection->BeginUpdate();
  try {
    // "<>" empties the collection too: the layout says what it holds.
    collection->Clear();
    while (!EndOfList()) {
      TValueType t = NextValue();
      if (t == vaInt8 || t == vaInt16 || t == vaInt32) ReadInteger();  // the item's order: informative
      TCollectionItem* item = collection->Add();
      ReadListBegin();
      ReadItemProperties(item);
      ReadListEnd();
    }
    ReadListEnd();
  } catch (...) {
    collection->EndUpdate();
    throw;
  }
  collection->EndUpdate();
}

// --- TReader: components ------------------------------------------------------------

void TReader::ReadData(TComponent* instance) {
  {
    TRestore<AnsiString> context(FContext);
    TRestore<std::vector<TDefinedProp>> defined(FDefined);
    FContext = instance->Name();
    std::vector<TDefinedProp> defs;
    CollectDefinitions(instance, defs);
    FDefined = std::move(defs);
    while (!EndOfList()) ReadProperty(instance);
    ReadListEnd();
  }
  TRestore<TComponent*> parent(FParent);
  TRestore<TComponent*> owner(FOwner);
  FParent = instance->GetChildParent();
  FOwner = instance->GetChildOwner();
  if (!FOwner) FOwner = FRoot;
  while (!EndOfList()) ReadComponent();
  ReadListEnd();
}

TComponent* TReader::ReadComponent() {
  AnsiString className = ReadStr();
  AnsiString name = ReadStr();
  const TMetaClass* cls = FindClass(className);
  if (!cls->Create) throw EReadError(Format("Cannot create an instance of %s", {className}));
  TComponent* c = cls->Create(FOwner);
  c->FComponentState |= csLoading | csReading;
  FLoaded.push_back(c);
  const TFormField* field = nullptr;
  try {
    if (!name.IsEmpty()) c->SetName(name);
    if (FRoot && FOwner == FRoot && !name.IsEmpty()) {
      field = FindFormField(FRoot->ClassType(), name);
      if (field) {
        if (!c->InheritsFrom(field->FieldClass)) {
          field = nullptr;
          throw EInvalidCast("Invalid class typecast");
        }
        field->Set(FRoot, c);
      }
    }
    c->SetParentComponent(FParent);
    c->ReadState(this);
  } catch (...) {
    // The half-read component goes; what the layout had finished stays with
    // its owner, which frees it.
    if (field) field->Set(FRoot, nullptr);
    for (auto it = FLoaded.begin(); it != FLoaded.end(); ++it)
      if (*it == c) {
        FLoaded.erase(it);
        break;
      }
    delete c;
    throw;
  }
  return c;
}

TComponent* TReader::FindComponentRef(const AnsiString& name) {
  if (!FRoot) return nullptr;
  std::vector<AnsiString> parts = SplitPath(name);
  TComponent* c = FRoot->FindComponent(parts[0]);
  if (!c && SameText(parts[0], FRoot->Name())) c = FRoot;
  for (size_t i = 1; c && i < parts.size(); ++i) c = c->FindComponent(parts[i]);
  return c;
}

void TReader::ResolveFixups() {
  std::vector<TFixup> fixups;
  fixups.swap(FFixups);
  for (const TFixup& f : fixups) {
    TPropValue v;
    if (f.Info->Kind() == pkComponent) {
      v.Obj = FindComponentRef(f.Name);
      if (!v.Obj) InvalidPropertyValue();
    } else {
      const TMethodEntry* m = FRoot ? FindFormMethod(FRoot->ClassType(), f.Name) : nullptr;
      if (!m || m->Signature != f.Info->Signature) InvalidPropertyValue();
      v.Method.Data = m->Self(FRoot);
      v.Method.Code = m->Code;
    }
    f.Info->Set(f.Instance, v);
  }
}

void TReader::ReadRootComponent(TComponent* root) {
  char signature[4];
  Read(signature, 4);
  if (std::memcmp(signature, FilerSignature, 4) != 0) throw EReadError("Invalid stream format");
  AnsiString className = ReadStr();
  AnsiString name = ReadStr();
  bool classFits = false;
  for (const TMetaClass* c = root->ClassType(); c && !classFits; c = c->Parent)
    classFits = SameText(c->Name, className);
  if (!classFits)
    throw EReadError(Format("A layout of %s cannot be read into a %s", {className, root->ClassName()}));

  FRoot = root;
  FLookupRoot = root;
  FOwner = root;
  FParent = root;
  FLoaded.clear();
  FFixups.clear();
  root->FComponentState |= csLoading | csReading;
  auto clearStates = [this, root] {
    root->FComponentState &= ~(csLoading | csReading);
    for (TComponent* c : FLoaded) c->FComponentState &= ~(csLoading | csReading);
  };
  try {
    if (!name.IsEmpty() && !SameText(root->Name(), name)) {
      // A second window of the same class next to the first gets "Name_1".
      AnsiString unique = name;
      TComponent* owner = root->Owner();
      for (int i = 1; owner; ++i) {
        TComponent* other = owner->FindComponent(unique);
        if (!other || other == root) break;
        unique = name + "_" + IntToStr(i);
      }
      root->SetName(unique);
    }
    root->ReadState(this);
    ResolveFixups();
  } catch (...) {
    clearStates();
    FLoaded.clear();
    FFixups.clear();
    throw;
  }
  clearStates();
  std::vector<TComponent*> loaded;
  loaded.swap(FLoaded);
  for (TComponent* c : loaded) c->Loaded();
  root->Loaded();
}

// --- TWriter ---------------------------------------------------------------------

TWriter::TWriter(TStream* stream) : TFiler(stream) {}
TWriter::~TWriter() = default;

void TWriter::Write(const void* buffer, int32_t count) {
  if (count > 0) FStream->WriteBuffer(buffer, count);
}

void TWriter::WriteValue(TValueType value) {
  uint8_t b = value;
  Write(&b, 1);
}

void TWriter::WriteInteger(int64_t value) {
  if (value >= INT8_MIN && value <= INT8_MAX) {
    WriteValue(vaInt8);
    int8_t v = static_cast<int8_t>(value);
    Write(&v, 1);
  } else if (value >= INT16_MIN && value <= INT16_MAX) {
    WriteValue(vaInt16);
    int16_t v = static_cast<int16_t>(value);
    Write(&v, 2);
  } else if (value >= INT32_MIN && value <= INT32_MAX) {
    WriteValue(vaInt32);
    int32_t v = static_cast<int32_t>(value);
    Write(&v, 4);
  } else {
    WriteValue(vaInt64);
    Write(&value, 8);
  }
}

void TWriter::WriteString(const AnsiString& value) {
  int32_t n = value.Length();
  if (n <= 255) {
    WriteValue(vaString);
    uint8_t b = static_cast<uint8_t>(n);
    Write(&b, 1);
  } else {
    WriteValue(vaLString);
    Write(&n, 4);
  }
  Write(value.c_str(), n);
}

void TWriter::WriteWideString(const WideString& value) {
  WriteValue(vaWString);
  int32_t n = value.Length();
  Write(&n, 4);
  Write(value.c_bstr(), n * 2);
}

void TWriter::WriteUTF8String(const AnsiString& utf8) {
  WriteValue(vaUTF8String);
  int32_t n = utf8.Length();
  Write(&n, 4);
  Write(utf8.c_str(), n);
}

void TWriter::WriteChar(char value) { WriteString(AnsiString(value)); }
void TWriter::WriteWideChar(wchar_t value) { WriteWideString(WideString(value)); }
void TWriter::WriteBoolean(bool value) { WriteValue(value ? vaTrue : vaFalse); }

void TWriter::WriteFloat(double value) {
  WriteValue(vaExtended);
  uint8_t b[10];
  DoubleToExtended(value, b);
  Write(b, 10);
}

void TWriter::WriteIdent(const AnsiString& ident) {
  if (SameText(ident, "False"))
    WriteValue(vaFalse);
  else if (SameText(ident, "True"))
    WriteValue(vaTrue);
  else if (SameText(ident, "nil"))
    WriteValue(vaNil);
  else if (SameText(ident, "Null"))
    WriteValue(vaNull);
  else {
    WriteValue(vaIdent);
    WriteStr(ident);
  }
}

void TWriter::WriteStr(const AnsiString& value) {
  if (value.Length() > 255) throw EWriteError(Format("Name too long for a layout: %s", {value}));
  uint8_t n = static_cast<uint8_t>(value.Length());
  Write(&n, 1);
  Write(value.c_str(), n);
}

void TWriter::WriteSet(const std::vector<AnsiString>& names) {
  WriteValue(vaSet);
  for (const AnsiString& n : names)
    if (!n.IsEmpty()) WriteStr(n);
  WriteStr(AnsiString());
}

void TWriter::WriteBinary(const void* data, int32_t size) {
  WriteValue(vaBinary);
  Write(&size, 4);
  Write(data, size);
}

void TWriter::WriteSignature() { Write(FilerSignature, 4); }

void TWriter::DefineProperty(const AnsiString& name, TReaderProc, TWriterProc writeData, bool hasData) {
  if (!hasData || !writeData) return;
  FPropName = name;
  WritePropName(name);
  writeData(this);
}

void TWriter::DefineBinaryProperty(const AnsiString& name, TStreamProc, TStreamProc writeData, bool hasData) {
  if (!hasData || !writeData) return;
  FPropName = name;
  WritePropName(name);
  TMemoryStream data;
  writeData(&data);
  WriteBinary(data.Memory(), static_cast<int32_t>(data.Size()));
}

void TWriter::WriteDefinedProperties(TPersistent* instance) { instance->DefineProperties(this); }

// --- unit ------------------------------------------------------------------------

namespace {
void ReadComponentState(TComponent* instance, TReader* reader) { reader->ReadData(instance); }
}  // namespace

void UnitInit_filer() {
  Registries = new TRegistries;
  ReadStateProc = &ReadComponentState;
  RegisterProperty(&TComponent::Class, "Name", pkString, &TComponent::SetName, &TComponent::Name);
  RegisterProperty(&TComponent::Class, "Tag", pkInteger, &TComponent::SetTag, &TComponent::Tag, 0);
  // A string list's lines: Lines.Strings = ('a' 'b').
  TPropInfo strings;
  strings.Owner = &TStrings::Class;
  strings.Name = "Strings";
  strings.Type = TPropType(pkStrings);
  strings.ValueClass = &TStrings::Class;
  strings.Get = [](TObject* obj) {
    TPropValue v;
    v.Obj = obj;
    return v;
  };
  filer_detail::AddProperty(std::move(strings));
}

void UnitFini_filer() {
  if (ReadStateProc == &ReadComponentState) ReadStateProc = nullptr;
  delete Registries;
  Registries = nullptr;
}
