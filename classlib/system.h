// The runtime's foundation: byte and UTF-16 strings, the object root with class
// references, method pointers for events, the exception root and the guard that
// keeps exceptions out of Win32 callbacks.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

class WideString;
class TComponent;

// ---------------------------------------------------------------------------
// AnsiString: bytes in the system ANSI code page (or any bytes: NULs are kept).
// Indexes are 1-based, as the rest of the program counts characters.
class AnsiString {
public:
  AnsiString() = default;
  AnsiString(const char* s) : FData(s ? s : "") {}
  AnsiString(const char* s, int len) : FData(s ? std::string(s, len > 0 ? len : 0) : std::string()) {}
  AnsiString(const std::string& s) : FData(s) {}
  AnsiString(std::string&& s) : FData(std::move(s)) {}
  AnsiString(std::string_view s) : FData(s) {}
  explicit AnsiString(char c) : FData(1, c) {}
  AnsiString(const WideString& w);  // through the ANSI code page
  AnsiString(const wchar_t* w);     // through the ANSI code page

  int Length() const { return static_cast<int>(FData.size()); }
  bool IsEmpty() const { return FData.empty(); }
  const char* c_str() const { return FData.c_str(); }
  char* data() { return FData.data(); }
  // A temporary hands its text over instead of lending it: a reference to
  // the text of a string that dies with its full-expression (a range-for
  // over f().str()) would read freed memory.
  const std::string& str() const& { return FData; }
  std::string& str() & { return FData; }
  std::string str() && { return std::move(FData); }

  // 1-based; an index outside 1..Length raises ERangeError.
  char& operator[](int i);
  char operator[](int i) const;

  // Position (1-based) of the first occurrence; 0 when absent or when sub is empty.
  int Pos(const AnsiString& sub) const;
  // Up to count bytes from 1-based index; clipped to the string, empty when outside.
  AnsiString SubString(int index, int count) const;
  AnsiString& Delete(int index, int count);
  AnsiString& Insert(const AnsiString& s, int index);
  AnsiString& SetLength(int n);
  AnsiString Trim() const;
  AnsiString UpperCase() const;  // ASCII only
  AnsiString LowerCase() const;  // ASCII only
  int ToInt() const;             // StrToInt rules; EConvertError on bad text
  int ToIntDef(int def) const;

  AnsiString& operator+=(const AnsiString& s) { FData += s.FData; return *this; }
  AnsiString& operator+=(const char* s) { FData += (s ? s : ""); return *this; }
  AnsiString& operator+=(char c) { FData += c; return *this; }

  friend AnsiString operator+(const AnsiString& a, const AnsiString& b) { return AnsiString(a.FData + b.FData); }
  friend AnsiString operator+(const AnsiString& a, const char* b) { return AnsiString(a.FData + (b ? b : "")); }
  friend AnsiString operator+(const char* a, const AnsiString& b) { return AnsiString((a ? a : "") + b.FData); }
  friend AnsiString operator+(const AnsiString& a, char b) { return AnsiString(a.FData + b); }
  friend bool operator==(const AnsiString& a, const AnsiString& b) { return a.FData == b.FData; }
  friend bool operator==(const AnsiString& a, const char* b) { return a.FData == (b ? b : ""); }
  friend bool operator!=(const AnsiString& a, const AnsiString& b) { return a.FData != b.FData; }
  friend bool operator!=(const AnsiString& a, const char* b) { return a.FData != (b ? b : ""); }
  friend bool operator<(const AnsiString& a, const AnsiString& b) { return a.FData < b.FData; }
  friend bool operator>(const AnsiString& a, const AnsiString& b) { return a.FData > b.FData; }
  friend bool operator<=(const AnsiString& a, const AnsiString& b) { return a.FData <= b.FData; }
  friend bool operator>=(const AnsiString& a, const AnsiString& b) { return a.FData >= b.FData; }

private:
  std::string FData;
};

// ---------------------------------------------------------------------------
// WideString: UTF-16 code units (wchar_t is 16 bits on this target).
class WideString {
public:
  WideString() = default;
  WideString(const wchar_t* s) : FData(s ? s : L"") {}
  WideString(const wchar_t* s, int len) : FData(s ? std::wstring(s, len > 0 ? len : 0) : std::wstring()) {}
  WideString(const std::wstring& s) : FData(s) {}
  WideString(std::wstring&& s) : FData(std::move(s)) {}
  WideString(std::wstring_view s) : FData(s) {}
  explicit WideString(wchar_t c) : FData(1, c) {}
  WideString(const AnsiString& a);  // through the ANSI code page
  WideString(const char* a);        // through the ANSI code page

  int Length() const { return static_cast<int>(FData.size()); }
  bool IsEmpty() const { return FData.empty(); }
  const wchar_t* c_bstr() const { return FData.c_str(); }
  const wchar_t* c_str() const { return FData.c_str(); }
  wchar_t* data() { return FData.data(); }
  // Handed over by a temporary, as AnsiString::str.
  const std::wstring& str() const& { return FData; }
  std::wstring& str() & { return FData; }
  std::wstring str() && { return std::move(FData); }

  wchar_t& operator[](int i);
  wchar_t operator[](int i) const;

  int Pos(const WideString& sub) const;
  WideString SubString(int index, int count) const;
  WideString& Delete(int index, int count);
  WideString& Insert(const WideString& s, int index);
  WideString& SetLength(int n);

  WideString& operator+=(const WideString& s) { FData += s.FData; return *this; }
  WideString& operator+=(const wchar_t* s) { FData += (s ? s : L""); return *this; }
  WideString& operator+=(wchar_t c) { FData += c; return *this; }

  friend WideString operator+(const WideString& a, const WideString& b) { return WideString(a.FData + b.FData); }
  friend WideString operator+(const WideString& a, const wchar_t* b) { return WideString(a.FData + (b ? b : L"")); }
  friend WideString operator+(const wchar_t* a, const WideString& b) { return WideString((a ? a : L"") + b.FData); }
  friend WideString operator+(const WideString& a, wchar_t b) { return WideString(a.FData + b); }
  friend bool operator==(const WideString& a, const WideString& b) { return a.FData == b.FData; }
  friend bool operator==(const WideString& a, const wchar_t* b) { return a.FData == (b ? b : L""); }
  friend bool operator!=(const WideString& a, const WideString& b) { return a.FData != b.FData; }
  friend bool operator!=(const WideString& a, const wchar_t* b) { return a.FData != (b ? b : L""); }
  friend bool operator<(const WideString& a, const WideString& b) { return a.FData < b.FData; }
  friend bool operator>(const WideString& a, const WideString& b) { return a.FData > b.FData; }

private:
  std::wstring FData;
};

using UTF8String = AnsiString;

// The explicit conversions through the ANSI code page (CP_ACP), the system
// default character standing in for what the code page cannot hold.
WideString AnsiToWide(const AnsiString& s, UINT codePage = CP_ACP);
AnsiString WideToAnsi(const WideString& s, UINT codePage = CP_ACP);
AnsiString UTF8Encode(const WideString& s);
WideString UTF8Decode(const AnsiString& s);

// ---------------------------------------------------------------------------
// Class references: a record per class, so that layouts, registries and
// "is a" checks can name classes at run time.
class TObject;
struct TMetaClass {
  const char* Name;
  const TMetaClass* Parent;
  TComponent* (*Create)(TComponent* owner);  // null for abstract or non-component classes
  bool InheritsFrom(const TMetaClass* other) const {
    for (const TMetaClass* c = this; c; c = c->Parent)
      if (c == other) return true;
    return false;
  }
};

// Inside a class body: declares the class record and the ClassType override.
#define CL_CLASS(TName, TParent)                                         \
 public:                                                                 \
  static const TMetaClass Class;                                         \
  const TMetaClass* ClassType() const override { return &TName::Class; } \
  using inherited = TParent;

// In a source file: defines the record of a class that cannot be made by name.
#define CL_DEFINE_CLASS(TName, TParent) \
  const TMetaClass TName::Class = {#TName, &TParent::Class, nullptr};
// In a source file: defines the record of a component class the layouts can create.
#define CL_DEFINE_COMPONENT(TName, TParent)                       \
  const TMetaClass TName::Class = {#TName, &TParent::Class,       \
                                   [](TComponent* owner) -> TComponent* { return new TName(owner); }};

class Exception;

class TObject {
public:
  static const TMetaClass Class;
  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  virtual ~TObject() = default;
  virtual const TMetaClass* ClassType() const { return &TObject::Class; }
  AnsiString ClassName() const { return ClassType()->Name; }
  bool InheritsFrom(const TMetaClass* cls) const { return ClassType()->InheritsFrom(cls); }
  template <class T> bool Is() const { return InheritsFrom(&T::Class); }
  // A checked downcast; raises EInvalidCast "Invalid class typecast".
  template <class T> T* As() {
    if (!Is<T>()) ThrowInvalidCast();
    return static_cast<T*>(this);
  }
  virtual bool GetInterface(const GUID& iid, void** obj);
  virtual void AfterConstruction() {}
  virtual void BeforeDestruction() {}

private:
  [[noreturn]] static void ThrowInvalidCast();
};

bool Supports(TObject* obj, const GUID& iid, void** intf);

// COM-style reference counting for objects handed out as interfaces.
class TInterfacedObject : public TObject {
  CL_CLASS(TInterfacedObject, TObject)
public:
  virtual long AddRef() { return ++FRefCount; }
  virtual long Release() {
    long r = --FRefCount;
    if (r == 0) delete this;
    return r;
  }
  long RefCount() const { return FRefCount; }

protected:
  long FRefCount = 0;
};

// ---------------------------------------------------------------------------
// Method pointers: an object and a trampoline. Two events are equal when both
// halves are, which lets a control compare its current window procedure with
// the one it saved (std::function cannot be compared).
template <class Sig> struct TMethodPtr;

template <class R, class... Args> struct TMethodPtr<R(Args...)> {
  void* Data = nullptr;
  R (*Code)(void*, Args...) = nullptr;

  constexpr TMethodPtr() = default;
  constexpr TMethodPtr(std::nullptr_t) {}
  constexpr TMethodPtr(void* data, R (*code)(void*, Args...)) : Data(data), Code(code) {}

  explicit operator bool() const { return Code != nullptr; }
  bool Assigned() const { return Code != nullptr; }
  void Clear() { Data = nullptr; Code = nullptr; }
  R operator()(Args... args) const { return Code(Data, std::forward<Args>(args)...); }
  friend bool operator==(const TMethodPtr& a, const TMethodPtr& b) { return a.Data == b.Data && a.Code == b.Code; }
  friend bool operator!=(const TMethodPtr& a, const TMethodPtr& b) { return !(a == b); }

  // Wraps a plain function (tests, global handlers).
  static TMethodPtr Free(R (*fn)(Args...)) {
    return TMethodPtr(reinterpret_cast<void*>(fn), &FreeTrampoline);
  }

private:
  static R FreeTrampoline(void* data, Args... args) {
    return reinterpret_cast<R (*)(Args...)>(data)(std::forward<Args>(args)...);
  }
};

template <class Sig> using TEvent = TMethodPtr<Sig>;

namespace detail {
template <class> struct MemberTraits;
template <class C, class R, class... A> struct MemberTraits<R (C::*)(A...)> {
  using Class = C;
  using Sig = R(A...);
  template <R (C::*M)(A...)> static R Trampoline(void* d, A... a) {
    return (static_cast<C*>(d)->*M)(std::forward<A>(a)...);
  }
};
}  // namespace detail

// MakeEvent<&TForm1::ButtonClick>(form): the event that calls form->ButtonClick.
// A virtual member dispatches virtually, so one trampoline serves every class.
template <auto M>
TMethodPtr<typename detail::MemberTraits<decltype(M)>::Sig> MakeEvent(
    typename detail::MemberTraits<decltype(M)>::Class* obj) {
  using Tr = detail::MemberTraits<decltype(M)>;
  return TMethodPtr<typename Tr::Sig>(static_cast<void*>(obj), &Tr::template Trampoline<M>);
}

using TNotifyEvent = TEvent<void(TObject*)>;

// ---------------------------------------------------------------------------
// A window message as the control layer passes it around.
struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};
using TWndMethod = TEvent<void(TMessage&)>;

inline short MouseX(const TMessage& m) { return static_cast<short>(LOWORD(m.LParam)); }
inline short MouseY(const TMessage& m) { return static_cast<short>(HIWORD(m.LParam)); }
inline WORD MouseKeys(const TMessage& m) { return static_cast<WORD>(m.WParam); }
inline WORD CharCode(const TMessage& m) { return static_cast<WORD>(m.WParam); }
inline NMHDR* NotifyHdr(const TMessage& m) { return reinterpret_cast<NMHDR*>(m.LParam); }
inline WORD CmdNotify(const TMessage& m) { return HIWORD(m.WParam); }
inline WORD CmdId(const TMessage& m) { return LOWORD(m.WParam); }
inline HWND CmdCtl(const TMessage& m) { return reinterpret_cast<HWND>(m.LParam); }

// ---------------------------------------------------------------------------
// The exception root. Thrown by value, caught by reference; also a std::exception
// so that code and tests which only know the standard library see the message.
class Exception : public TObject, public std::exception {
  CL_CLASS(Exception, TObject)
public:
  Exception() = default;
  explicit Exception(const AnsiString& msg) : FMessage(msg) {}
  Exception(const AnsiString& msg, int helpContext) : FMessage(msg), FHelpContext(helpContext) {}
  const AnsiString& Message() const { return FMessage; }
  void SetMessage(const AnsiString& m) { FMessage = m; }
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int h) { FHelpContext = h; }
  const char* what() const noexcept override { return FMessage.c_str(); }

private:
  AnsiString FMessage;
  int FHelpContext = 0;
};

// Called by every guard with the exception in flight. The forms unit points it at
// Application->HandleException; until then exceptions are swallowed (and
// written to the debugger output) so that none crosses a Win32 frame.
using TExceptionHandlerProc = void (*)(TObject* sender);
extern TExceptionHandlerProc ExceptionHandlerProc;
void HandleCurrentException(TObject* sender) noexcept;

template <class F, class R>
R GuardedCall(TObject* sender, F&& f, R fallback) noexcept {
  try {
    return f();
  } catch (...) {
    HandleCurrentException(sender);
    return fallback;
  }
}

template <class F>
void GuardedCall(TObject* sender, F&& f) noexcept {
  try {
    f();
  } catch (...) {
    HandleCurrentException(sender);
  }
}

// ---------------------------------------------------------------------------
// The runtime's pseudo-random numbers: a linear congruential generator with a
// known sequence (seed * 134775813 + 1), which some formats depend on.
extern uint32_t RandSeed;
void Randomize();                 // seed := milliseconds since midnight (UTC)
int Random(int range);            // 0 <= result < range
double RandomFloat();             // 0 <= result < 1

using TDateTime = double;  // days since 1899-12-30, fraction = time of day

extern HINSTANCE HInstance;  // the program module; set at unit start

void UnitInit_system();
void UnitFini_system();
