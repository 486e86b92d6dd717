#include "system.h"

#include "sysutils.h"

#include <algorithm>

const TMetaClass TObject::Class = {"TObject", nullptr, nullptr};
CL_DEFINE_CLASS(TInterfacedObject, TObject)
CL_DEFINE_CLASS(Exception, TObject)

HINSTANCE HInstance = nullptr;
uint32_t RandSeed = 0;
TExceptionHandlerProc ExceptionHandlerProc = nullptr;

// --- conversions -------------------------------------------------------------

WideString AnsiToWide(const AnsiString& s, UINT codePage) {
  if (s.IsEmpty()) return WideString();
  int n = MultiByteToWideChar(codePage, 0, s.c_str(), s.Length(), nullptr, 0);
  std::wstring w(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(codePage, 0, s.c_str(), s.Length(), w.data(), n);
  return WideString(std::move(w));
}

AnsiString WideToAnsi(const WideString& s, UINT codePage) {
  if (s.IsEmpty()) return AnsiString();
  int n = WideCharToMultiByte(codePage, 0, s.c_bstr(), s.Length(), nullptr, 0, nullptr, nullptr);
  std::string a(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(codePage, 0, s.c_bstr(), s.Length(), a.data(), n, nullptr, nullptr);
  return AnsiString(std::move(a));
}

AnsiString UTF8Encode(const WideString& s) { return WideToAnsi(s, CP_UTF8); }
WideString UTF8Decode(const AnsiString& s) { return AnsiToWide(s, CP_UTF8); }

AnsiString::AnsiString(const WideString& w) : FData(WideToAnsi(w).str()) {}
AnsiString::AnsiString(const wchar_t* w) : FData(WideToAnsi(WideString(w)).str()) {}
WideString::WideString(const AnsiString& a) : FData(AnsiToWide(a).str()) {}
WideString::WideString(const char* a) : FData(AnsiToWide(AnsiString(a)).str()) {}

// --- string members shared by both kinds -------------------------------------

namespace {
[[noreturn]] void RangeError(int i) {
  throw ERangeError(Format("String index out of range (%d)", {i}));
}

template <class S> int PosIn(const S& hay, const S& sub) {
  if (sub.empty()) return 0;
  auto p = hay.find(sub);
  return p == S::npos ? 0 : static_cast<int>(p) + 1;
}

template <class S> S SubOf(const S& s, int index, int count) {
  if (index < 1) {
    count += index - 1;
    index = 1;
  }
  if (count <= 0 || index > static_cast<int>(s.size())) return S();
  return s.substr(index - 1, count);
}

template <class S> void DeleteIn(S& s, int index, int count) {
  if (index < 1 || index > static_cast<int>(s.size()) || count <= 0) return;
  s.erase(index - 1, count);
}

template <class S> void InsertIn(S& s, const S& what, int index) {
  if (index < 1) index = 1;
  if (index > static_cast<int>(s.size()) + 1) index = static_cast<int>(s.size()) + 1;
  s.insert(index - 1, what);
}
}  // namespace

char& AnsiString::operator[](int i) {
  if (i < 1 || i > Length()) RangeError(i);
  return FData[i - 1];
}
char AnsiString::operator[](int i) const {
  if (i < 1 || i > Length()) RangeError(i);
  return FData[i - 1];
}
int AnsiString::Pos(const AnsiString& sub) const { return PosIn(FData, sub.FData); }
AnsiString AnsiString::SubString(int index, int count) const { return AnsiString(SubOf(FData, index, count)); }
AnsiString& AnsiString::Delete(int index, int count) {
  DeleteIn(FData, index, count);
  return *this;
}
AnsiString& AnsiString::Insert(const AnsiString& s, int index) {
  InsertIn(FData, s.FData, index);
  return *this;
}
AnsiString& AnsiString::SetLength(int n) {
  FData.resize(n > 0 ? n : 0);
  return *this;
}
AnsiString AnsiString::Trim() const { return ::Trim(*this); }
AnsiString AnsiString::UpperCase() const { return ::UpperCase(*this); }
AnsiString AnsiString::LowerCase() const { return ::LowerCase(*this); }
int AnsiString::ToInt() const { return StrToInt(*this); }
int AnsiString::ToIntDef(int def) const { return StrToIntDef(*this, def); }

wchar_t& WideString::operator[](int i) {
  if (i < 1 || i > Length()) RangeError(i);
  return FData[i - 1];
}
wchar_t WideString::operator[](int i) const {
  if (i < 1 || i > Length()) RangeError(i);
  return FData[i - 1];
}
int WideString::Pos(const WideString& sub) const { return PosIn(FData, sub.FData); }
WideString WideString::SubString(int index, int count) const { return WideString(SubOf(FData, index, count)); }
WideString& WideString::Delete(int index, int count) {
  DeleteIn(FData, index, count);
  return *this;
}
WideString& WideString::Insert(const WideString& s, int index) {
  InsertIn(FData, s.FData, index);
  return *this;
}
WideString& WideString::SetLength(int n) {
  FData.resize(n > 0 ? n : 0);
  return *this;
}

// --- objects -----------------------------------------------------------------

bool TObject::GetInterface(const GUID&, void** obj) {
  if (obj) *obj = nullptr;
  return false;
}

void TObject::ThrowInvalidCast() { throw EInvalidCast("Invalid class typecast"); }

bool Supports(TObject* obj, const GUID& iid, void** intf) {
  if (intf) *intf = nullptr;
  return obj && obj->GetInterface(iid, intf);
}

void HandleCurrentException(TObject* sender) noexcept {
  try {
    if (ExceptionHandlerProc) {
      ExceptionHandlerProc(sender);
      return;
    }
    throw;
  } catch (const std::exception& e) {
    OutputDebugStringA(e.what());
  } catch (...) {
    OutputDebugStringA("unknown exception");
  }
}

// --- random numbers ----------------------------------------------------------

void Randomize() {
  SYSTEMTIME st;
  GetSystemTime(&st);
  RandSeed = ((st.wHour * 60u + st.wMinute) * 60u + st.wSecond) * 1000u + st.wMilliseconds;
}

int Random(int range) {
  RandSeed = RandSeed * 134775813u + 1u;
  if (range <= 0) return 0;
  return static_cast<int>((static_cast<uint64_t>(RandSeed) * static_cast<uint32_t>(range)) >> 32);
}

double RandomFloat() {
  RandSeed = RandSeed * 134775813u + 1u;
  return RandSeed / 4294967296.0;
}

// --- unit start and end --------------------------------------------------------

void UnitInit_system() {
  if (!HInstance) HInstance = GetModuleHandleA(nullptr);
}

void UnitFini_system() {}
