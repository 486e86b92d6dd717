// The filer: typed values in a byte stream (TReader / TWriter), the registries
// of classes and properties that let a layout name classes, properties, form
// fields and event handlers at run time, and the reading of a component tree
// with its fix-ups.
#pragma once

#include "classes.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <type_traits>
#include <vector>

// windows.h maps RegisterClass to RegisterClassA; here it is the class registry.
// Window classes are registered with RegisterClassA/RegisterClassW by name.
#undef RegisterClass

// ---------------------------------------------------------------------------
// Value types: the first byte of every value in a filer stream.

enum TValueType : uint8_t {
  vaNull = 0,        // end of a list
  vaList = 1,        // values up to vaNull
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,    // 80-bit floating point, 10 bytes
  vaString = 6,      // 1-byte length, ANSI bytes
  vaIdent = 7,       // 1-byte length, identifier
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,     // 4-byte length, bytes
  vaSet = 11,        // identifiers (1-byte length each) up to an empty one
  vaLString = 12,    // 4-byte length, ANSI bytes
  vaNil = 13,
  vaCollection = 14, // items ([order] vaList properties vaNull) up to vaNull
  vaSingle = 15,     // 32-bit floating point
  vaCurrency = 16,   // 64-bit integer, 1/10000 units
  vaDate = 17,       // 64-bit floating point
  vaWString = 18,    // 4-byte length in code units, UTF-16LE
  vaInt64 = 19,
  vaUTF8String = 20, // 4-byte length, UTF-8 bytes
};

class TFiler;
class TReader;
class TWriter;

using TReaderProc = TEvent<void(TReader*)>;
using TWriterProc = TEvent<void(TWriter*)>;
using TStreamProc = TEvent<void(TStream*)>;

// Common part of reader and writer. Streams are not owned.
class TFiler : public TObject {
  CL_CLASS(TFiler, TObject)
public:
  explicit TFiler(TStream* stream);
  ~TFiler() override;
  TFiler(const TFiler&) = delete;
  TFiler& operator=(const TFiler&) = delete;

  TStream* Stream() const { return FStream; }
  TComponent* Root() const { return FRoot; }
  virtual void SetRoot(TComponent* value) { FRoot = value; }
  TComponent* LookupRoot() const { return FLookupRoot; }
  // The object whose values are compared with when writing; null at run time.
  TPersistent* Ancestor() const { return FAncestor; }
  void SetAncestor(TPersistent* value) { FAncestor = value; }
  // The name of the value being read or written, as it was defined; lets one
  // read or write procedure serve several defined names.
  const AnsiString& PropName() const { return FPropName; }

  // A value that is not a registered property, handled by the object itself.
  // The reader calls read when the name comes up; the writer calls write when
  // hasData is true.
  virtual void DefineProperty(const AnsiString& name, TReaderProc readData, TWriterProc writeData,
                              bool hasData) = 0;
  // The same for a block of bytes, handed over as a stream.
  virtual void DefineBinaryProperty(const AnsiString& name, TStreamProc readData, TStreamProc writeData,
                                    bool hasData) = 0;

protected:
  TStream* FStream;
  TComponent* FRoot = nullptr;
  TComponent* FLookupRoot = nullptr;
  TPersistent* FAncestor = nullptr;
  AnsiString FPropName;
};

// ---------------------------------------------------------------------------
// Property registry.

enum TPropKind {
  pkInteger,     // int; identifiers through the property's constant table
  pkInt64,
  pkFloat,
  pkBool,
  pkChar,
  pkWideChar,
  pkEnum,        // identifier from the name table, ordinal = index
  pkSet,         // [names], bit i = name i
  pkString,      // AnsiString
  pkWideString,  // WideString
  pkComponent,   // reference to a component, resolved after reading
  pkEvent,       // method pointer, bound to a handler of the root by name
  pkObject,      // nested persistent reached with a dotted path (Font.Style)
  pkCollection,  // <item ... end>
  pkStrings,     // ('line' 'line')
};

// An identifier constant of an integer property (clBtnFace, RUSSIAN_CHARSET).
struct TIdentMapEntry {
  int Value;
  const char* Name;
};

// A property's kind with what the kind needs to translate identifiers. The
// tables are static arrays of the registering unit; they are not copied.
struct TPropType {
  TPropKind Kind;
  const char* const* Names = nullptr;  // enum ordinals or set bits
  int NameCount = 0;
  const TIdentMapEntry* Idents = nullptr;  // integer constants
  int IdentCount = 0;

  TPropType(TPropKind kind) : Kind(kind) {}
  template <size_t N> static TPropType Enum(const char* const (&names)[N]) {
    TPropType t(pkEnum);
    t.Names = names;
    t.NameCount = static_cast<int>(N);
    return t;
  }
  template <size_t N> static TPropType Set(const char* const (&names)[N]) {
    TPropType t(pkSet);
    t.Names = names;
    t.NameCount = static_cast<int>(N);
    return t;
  }
  template <size_t N> static TPropType Integer(const TIdentMapEntry (&idents)[N]) {
    TPropType t(pkInteger);
    t.Idents = idents;
    t.IdentCount = static_cast<int>(N);
    return t;
  }
};

using TRawCode = void (*)();
struct TRawMethod {
  void* Data = nullptr;
  TRawCode Code = nullptr;
};

// A property value in its kind's canonical form: Ord for the ordinal kinds
// (integer, int64, bool, chars, enum ordinal, set bits), Float, Str, WStr, Obj
// for component/object/collection/strings, Method for events.
struct TPropValue {
  int64_t Ord = 0;
  double Float = 0;
  AnsiString Str;
  WideString WStr;
  TObject* Obj = nullptr;
  TRawMethod Method;
};

struct TPropInfo {
  const TMetaClass* Owner = nullptr;  // the class that registered it
  AnsiString Name;
  TPropType Type = TPropType(pkInteger);
  const TMetaClass* ValueClass = nullptr;  // class of the pointee (component/object/collection/strings)
  const void* Signature = nullptr;         // events: tag of the handler signature
  bool HasDefault = false;
  int64_t Default = 0;
  std::function<void(TObject*, const TPropValue&)> Set;  // empty: read-only
  std::function<TPropValue(TObject*)> Get;               // empty: write-only
  std::function<bool(TObject*)> Stored;                  // empty: stored

  TPropKind Kind() const { return Type.Kind; }
};

using TPropList = std::vector<const TPropInfo*>;

// A default value for the stored test (ordinal kinds); none by default.
struct TPropDefault {
  bool Has = false;
  int64_t Value = 0;
  TPropDefault() = default;
  TPropDefault(int64_t v) : Has(true), Value(v) {}
};

// A set type that is not a plain integer bit mask specialises this with
// static uint32_t ToBits(const T&) and static T FromBits(uint32_t).
template <class T, class = void> struct TSetTraits;

// The tag that tells event handler signatures apart.
template <class Sig> inline constexpr char SignatureTagOf = 0;
template <class Sig> const void* SignatureTag() { return &SignatureTagOf<Sig>; }

namespace filer_detail {

template <class T> struct IsMethodPtr : std::false_type {};
template <class Sig> struct IsMethodPtr<TMethodPtr<Sig>> : std::true_type {
  using Signature = Sig;
};

template <class F> struct Accessor;
template <class C, class R, class A> struct Accessor<R (C::*)(A)> {
  using Class = C;
  using Value = std::remove_cv_t<std::remove_reference_t<A>>;
};
template <class C, class R> struct Accessor<R (C::*)()> {
  using Class = C;
  using Value = std::remove_cv_t<std::remove_reference_t<R>>;
};
template <class C, class R> struct Accessor<R (C::*)() const> {
  using Class = C;
  using Value = std::remove_cv_t<std::remove_reference_t<R>>;
};

template <class T> constexpr bool IsStringType = std::is_same_v<T, AnsiString> || std::is_same_v<T, WideString>;

[[noreturn]] void InvalidValue();
[[noreturn]] void KindMismatch(const TMetaClass* cls, const char* name);

template <class T> TPropValue ToValue(const T& v) {
  TPropValue r;
  if constexpr (std::is_same_v<T, bool>) {
    r.Ord = v ? 1 : 0;
  } else if constexpr (std::is_same_v<T, char>) {
    r.Ord = static_cast<unsigned char>(v);
  } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
    r.Ord = static_cast<int64_t>(v);
  } else if constexpr (std::is_floating_point_v<T>) {
    r.Float = static_cast<double>(v);
  } else if constexpr (std::is_same_v<T, AnsiString>) {
    r.Str = v;
  } else if constexpr (std::is_same_v<T, WideString>) {
    r.WStr = v;
  } else if constexpr (std::is_pointer_v<T>) {
    r.Obj = const_cast<TObject*>(static_cast<const TObject*>(v));
  } else if constexpr (IsMethodPtr<T>::value) {
    r.Method.Data = v.Data;
    r.Method.Code = reinterpret_cast<TRawCode>(v.Code);
  } else {
    r.Ord = TSetTraits<T>::ToBits(v);
  }
  return r;
}

template <class T> T FromValue(const TPropValue& v) {
  if constexpr (std::is_same_v<T, bool>) {
    return v.Ord != 0;
  } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
    return static_cast<T>(v.Ord);
  } else if constexpr (std::is_floating_point_v<T>) {
    return static_cast<T>(v.Float);
  } else if constexpr (std::is_same_v<T, AnsiString>) {
    return v.Str;
  } else if constexpr (std::is_same_v<T, WideString>) {
    return v.WStr;
  } else if constexpr (std::is_pointer_v<T>) {
    using P = std::remove_cv_t<std::remove_pointer_t<T>>;
    if (v.Obj && !v.Obj->InheritsFrom(&P::Class)) InvalidValue();
    return static_cast<T>(v.Obj);
  } else if constexpr (IsMethodPtr<T>::value) {
    T m;
    m.Data = v.Method.Data;
    m.Code = reinterpret_cast<decltype(m.Code)>(v.Method.Code);
    return m;
  } else {
    return TSetTraits<T>::FromBits(static_cast<uint32_t>(v.Ord));
  }
}

// Whether a C++ value type can carry a property of the given kind.
template <class T> bool KindFits(TPropKind kind) {
  switch (kind) {
    case pkInteger: case pkInt64: case pkEnum:
      return (std::is_integral_v<T> || std::is_enum_v<T>) && !std::is_same_v<T, bool>;
    case pkBool: return std::is_same_v<T, bool>;
    case pkChar: return std::is_same_v<T, char>;
    case pkWideChar: return std::is_same_v<T, wchar_t>;
    case pkSet:
      return !std::is_same_v<T, bool> && !std::is_pointer_v<T> && !IsStringType<T> &&
             !std::is_floating_point_v<T> && !IsMethodPtr<T>::value;
    case pkFloat: return std::is_floating_point_v<T>;
    case pkString: return std::is_same_v<T, AnsiString>;
    case pkWideString: return std::is_same_v<T, WideString>;
    case pkComponent: case pkObject: case pkCollection: case pkStrings: return std::is_pointer_v<T>;
    case pkEvent: return IsMethodPtr<T>::value;
  }
  return false;
}

template <class T> const TMetaClass* ValueClassOf() {
  if constexpr (std::is_pointer_v<T>) return &std::remove_cv_t<std::remove_pointer_t<T>>::Class;
  else return nullptr;
}
template <class T> const void* SignatureOf() {
  if constexpr (IsMethodPtr<T>::value) return SignatureTag<typename IsMethodPtr<T>::Signature>();
  else return nullptr;
}

const TPropInfo* AddProperty(TPropInfo&& info);

}  // namespace filer_detail

// Registers a property of cls (the same name registered again for a derived
// class overrides the base entry there). setter: void (C::*)(V) or nullptr for
// read-only (objects, collections, string lists); getter: V (C::*)() [const] or
// nullptr. stored: bool (C::*)() const, or nullptr (stored unless equal to the
// default). A kind that does not fit the C++ type raises EFilerError.
template <class S, class G, class St = std::nullptr_t>
const TPropInfo* RegisterProperty(const TMetaClass* cls, const char* name, TPropType type, S setter, G getter,
                                  TPropDefault def = TPropDefault(), St stored = nullptr) {
  using namespace filer_detail;
  TPropInfo info;
  info.Owner = cls;
  info.Name = name;
  info.Type = type;
  info.HasDefault = def.Has;
  info.Default = def.Value;
  auto describe = [&](auto tag) {
    using V = typename decltype(tag)::type;
    if (!KindFits<V>(type.Kind)) KindMismatch(cls, name);
    info.ValueClass = ValueClassOf<V>();
    info.Signature = SignatureOf<V>();
  };
  if constexpr (!std::is_same_v<S, std::nullptr_t>) {
    using A = Accessor<S>;
    describe(std::type_identity<typename A::Value>());
    info.Set = [setter](TObject* obj, const TPropValue& v) {
      (static_cast<typename A::Class*>(obj)->*setter)(FromValue<typename A::Value>(v));
    };
  }
  if constexpr (!std::is_same_v<G, std::nullptr_t>) {
    using A = Accessor<G>;
    describe(std::type_identity<typename A::Value>());
    info.Get = [getter](TObject* obj) -> TPropValue {
      return ToValue<typename A::Value>((static_cast<typename A::Class*>(obj)->*getter)());
    };
  }
  if constexpr (!std::is_same_v<St, std::nullptr_t>) {
    using A = Accessor<St>;
    info.Stored = [stored](TObject* obj) { return (static_cast<typename A::Class*>(obj)->*stored)(); };
  }
  return AddProperty(std::move(info));
}

// The property of that name for cls or its nearest ancestor that has one
// (names compare ignoring ASCII case); null when none.
const TPropInfo* GetPropInfo(const TMetaClass* cls, const AnsiString& name);
// Every property of cls and its ancestors: base classes first, each class in
// registration order, an overriding entry in the place of the one it replaces.
TPropList GetPropList(const TMetaClass* cls);

// Type-erased access for code that walks properties by name or list. Getters
// of write-only and setters of read-only properties raise EFilerError.
TPropValue GetPropValue(TObject* instance, const TPropInfo* info);
void SetPropValue(TObject* instance, const TPropInfo* info, const TPropValue& value);
// The string accessors convert between the two string kinds through CP_ACP.
AnsiString GetStrProp(TObject* instance, const TPropInfo* info);
void SetStrProp(TObject* instance, const TPropInfo* info, const AnsiString& value);
WideString GetWideStrProp(TObject* instance, const TPropInfo* info);
void SetWideStrProp(TObject* instance, const TPropInfo* info, const WideString& value);
int64_t GetOrdProp(TObject* instance, const TPropInfo* info);
void SetOrdProp(TObject* instance, const TPropInfo* info, int64_t value);
TObject* GetObjectProp(TObject* instance, const TPropInfo* info);
// The stored test, else whether the value differs from the default.
bool IsStoredProp(TObject* instance, const TPropInfo* info);

// The objects a layout can load from a resource (Glyph = @GLYPH_BACK): the
// loader registered for the object's class or nearest ancestor is called.
using TResourceLoader = void (*)(TPersistent* instance, const AnsiString& resName);
void RegisterResourceLoader(const TMetaClass* cls, TResourceLoader loader);
TResourceLoader FindResourceLoader(const TMetaClass* cls);

// ---------------------------------------------------------------------------
// Class registry.

// A class a layout may name. Registering the same class again does nothing;
// another class of the same name raises EFilerError "A class named %s already exists".
void RegisterClass(const TMetaClass* cls);
void RegisterClasses(std::initializer_list<const TMetaClass*> classes);
void UnRegisterClass(const TMetaClass* cls);
// By name ignoring ASCII case; null when not registered.
const TMetaClass* GetClass(const AnsiString& name);
// EClassNotFound "Class %s not found".
const TMetaClass* FindClass(const AnsiString& name);

// ---------------------------------------------------------------------------
// Form fields and handlers, so that a layout can fill a form's component
// fields and bind its events by name.

struct TFormField {
  AnsiString Name;
  const TMetaClass* FieldClass;
  std::function<void(TComponent* root, TComponent* value)> Set;
};

template <class TF> struct TFormFieldDef {
  TFormField Field;
  template <class T>
  TFormFieldDef(const char* name, T* TF::*field)
      : Field{name, &T::Class, [field](TComponent* root, TComponent* value) {
                static_cast<TF*>(root)->*field = static_cast<T*>(value);
              }} {}
};

struct TMethodEntry {
  TRawCode Code = nullptr;           // the per-member trampoline MakeEvent uses
  const void* Signature = nullptr;   // SignatureTag of the handler's signature
  void* (*Self)(TComponent* root) = nullptr;  // the root as the handler's class
};

// The entry of a handler: the event bound to it equals MakeEvent<M>(form).
template <auto M> TMethodEntry MethodEntry() {
  using Tr = detail::MemberTraits<decltype(M)>;
  using C = typename Tr::Class;
  TMethodEntry e;
  e.Code = reinterpret_cast<TRawCode>(&Tr::template Trampoline<M>);
  e.Signature = SignatureTag<typename Tr::Sig>();
  e.Self = [](TComponent* root) -> void* { return static_cast<C*>(root); };
  return e;
}

struct TFormMethod {
  AnsiString Name;
  TMethodEntry Entry;
};

void RegisterFormFieldList(const TMetaClass* formClass, std::vector<TFormField> fields);
void RegisterFormMethodList(const TMetaClass* formClass, std::vector<TFormMethod> methods);

// RegisterFormFields<TMyForm>({{"btnOk", &TMyForm::btnOk}, ...})
template <class TF> void RegisterFormFields(std::initializer_list<TFormFieldDef<TF>> fields) {
  std::vector<TFormField> list;
  for (const auto& f : fields) list.push_back(f.Field);
  RegisterFormFieldList(&TF::Class, std::move(list));
}
// RegisterFormMethods<TMyForm>({{"FormCreate", MethodEntry<&TMyForm::FormCreate>()}, ...})
template <class TF> void RegisterFormMethods(std::initializer_list<TFormMethod> methods) {
  RegisterFormMethodList(&TF::Class, std::vector<TFormMethod>(methods));
}

// Lookups along the class chain of formClass; null when absent.
const TFormField* FindFormField(const TMetaClass* formClass, const AnsiString& name);
const TMethodEntry* FindFormMethod(const TMetaClass* formClass, const AnsiString& name);

// ---------------------------------------------------------------------------
// TReader: reads values, properties and component trees.

class TReader : public TFiler {
  CL_CLASS(TReader, TFiler)
public:
  explicit TReader(TStream* stream);
  ~TReader() override;

  void DefineProperty(const AnsiString& name, TReaderProc readData, TWriterProc writeData, bool hasData) override;
  void DefineBinaryProperty(const AnsiString& name, TStreamProc readData, TStreamProc writeData,
                            bool hasData) override;

  // --- values. A value of another type raises EReadError "Invalid property
  // value"; a stream that ends early raises EReadError "Stream read error".
  TValueType NextValue();  // without consuming it
  TValueType ReadValue();
  void CheckValue(TValueType value);
  bool EndOfList();  // next is vaNull
  void ReadListBegin();
  void ReadListEnd();
  // Narrow text: ANSI values as they are, wide and UTF-8 values through CP_ACP.
  AnsiString ReadString();
  // Wide text: ANSI values widened through CP_ACP, UTF-8 decoded.
  WideString ReadWideString();
  // UTF-8 text: UTF-8 and ANSI values as bytes (ANSI ones taken as UTF-8), wide encoded.
  AnsiString ReadUTF8String();
  char ReadChar();          // a text value of one character
  wchar_t ReadWideChar();   // a text value of one code unit
  int ReadInteger();        // vaInt8..vaInt32, or vaInt64 within 32 bits
  int64_t ReadInt64();
  bool ReadBoolean();
  double ReadFloat();       // vaExtended, vaSingle, vaDate, vaCurrency or an integer
  AnsiString ReadIdent();   // vaIdent, and "False", "True", "nil", "Null" for their codes
  AnsiString ReadStr();     // a bare 1-byte-length string (property and class names)
  std::vector<AnsiString> ReadSetNames();  // after vaSet: up to the empty name
  void ReadBinary(TStream* dest);          // a vaBinary value's bytes appended to dest
  void SkipValue();
  void Read(void* buffer, int32_t count);

  // --- components
  TComponent* Owner() const { return FOwner; }
  void SetOwner(TComponent* value) { FOwner = value; }
  TComponent* Parent() const { return FParent; }
  void SetParent(TComponent* value) { FParent = value; }

  // Reads a whole tree into root: the stream starts with the layout signature,
  // then the root's class and name, its properties and its children. Fix-ups
  // are resolved and Loaded is called on every created component, then on root.
  void ReadRootComponent(TComponent* root);
  // One child: its class and name, then ReadState. Owner and Parent are the
  // reader's current ones.
  TComponent* ReadComponent();
  // The properties (up to vaNull) and the children (up to vaNull) of instance:
  // what TComponent::ReadState does.
  void ReadData(TComponent* instance);
  // One name and value for instance (a dotted name descends into objects).
  void ReadProperty(TPersistent* instance);
  void ReadCollection(TCollection* collection);

private:
  struct TDefinedProp {
    AnsiString Name;
    TReaderProc Read;
    TStreamProc ReadBinary;
    bool Binary;
  };
  struct TFixup {
    TObject* Instance;
    const TPropInfo* Info;
    AnsiString Name;
  };
  void ReadPropValue(TObject* instance, const TPropInfo* info, const AnsiString& path);
  void ReadDefined(const TDefinedProp& def);
  void CollectDefinitions(TPersistent* instance, std::vector<TDefinedProp>& into);
  void ReadItemProperties(TPersistent* item);
  TComponent* FindComponentRef(const AnsiString& name);
  void ResolveFixups();
  [[noreturn]] void PropertyError(const AnsiString& path, const AnsiString& name);
  // The next sizeof(T) bytes as a T (the format is little-endian, as this platform).
  template <class T> T ReadRaw();
  // EReadError "Stream read error" unless count bytes are left: a damaged
  // length is refused before anything is allocated or skipped.
  void CheckAvailable(int64_t count);
  template <class S> S ReadChars(int32_t count);
  AnsiString ReadLongBytes();
  WideString ReadWideBytes();

  TComponent* FOwner = nullptr;
  TComponent* FParent = nullptr;
  std::vector<TDefinedProp> FDefined;  // of the object being read
  bool FCollecting = false;
  std::vector<TDefinedProp>* FCollectInto = nullptr;
  AnsiString FContext;                  // name of the component being read, for messages
  std::vector<TComponent*> FLoaded;     // created components in creation order
  std::vector<TFixup> FFixups;
};

// ---------------------------------------------------------------------------
// TWriter: writes values in the reader's format (design-time copies of wide
// properties, and the layout compiler).

class TWriter : public TFiler {
  CL_CLASS(TWriter, TFiler)
public:
  explicit TWriter(TStream* stream);
  ~TWriter() override;

  void DefineProperty(const AnsiString& name, TReaderProc readData, TWriterProc writeData, bool hasData) override;
  void DefineBinaryProperty(const AnsiString& name, TStreamProc readData, TStreamProc writeData,
                            bool hasData) override;

  void WriteValue(TValueType value);
  void WriteListBegin() { WriteValue(vaList); }
  void WriteListEnd() { WriteValue(vaNull); }
  // The smallest of vaInt8, vaInt16, vaInt32, vaInt64 that holds the value.
  void WriteInteger(int64_t value);
  // vaString up to 255 bytes, else vaLString.
  void WriteString(const AnsiString& value);
  void WriteWideString(const WideString& value);
  void WriteUTF8String(const AnsiString& utf8);
  void WriteChar(char value);
  void WriteWideChar(wchar_t value);  // a wide string of one code unit
  void WriteBoolean(bool value);
  void WriteFloat(double value);      // vaExtended
  // "False", "True", "nil" and "Null" (ignoring case) as their own codes, else vaIdent.
  void WriteIdent(const AnsiString& ident);
  void WriteStr(const AnsiString& value);  // bare, 1-byte length (at most 255 bytes)
  void WritePropName(const AnsiString& name) { WriteStr(name); }
  void WriteSet(const std::vector<AnsiString>& names);
  void WriteBinary(const void* data, int32_t size);
  void WriteSignature();
  void Write(const void* buffer, int32_t count);
  // Writes what instance defines for itself (its DefineProperties), as
  // name/value pairs.
  void WriteDefinedProperties(TPersistent* instance);
};

// The signature at the start of a component stream.
extern const char FilerSignature[4];

// 80-bit extended values as stored in vaExtended.
void DoubleToExtended(double value, uint8_t out[10]);
double ExtendedToDouble(const uint8_t in[10]);

void UnitInit_filer();
void UnitFini_filer();
