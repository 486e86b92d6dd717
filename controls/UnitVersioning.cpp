#include "UnitVersioning.h"

#include "sysutils.h"

#include <cstring>

CL_DEFINE_CLASS(TUnitVersion, TObject)
CL_DEFINE_CLASS(TUnitVersioningModule, TObject)
CL_DEFINE_CLASS(TCustomUnitVersioningProvider, TObject)
CL_DEFINE_CLASS(TUnitVersioning, TObject)

uintptr_t UnitVersioningHighestAddress = 0;

const TUnitVersionInfo UnitVersioningVersionInfo = {
    "$URL: lib/source/common/UnitVersioning $",
    "$Revision: 2488 $",
    "$Date: 2008-09-23 01:03:06 +0300 (Tue, 23 Sep 2008) $",
    "lib\\source\\common",
    "",
    nullptr,
};

namespace {

const char kBlockName[] = "UnitVersioning";
constexpr uint32_t kSignature1Mask = 0x23456789;
constexpr uint32_t kSignature2 = 0xABCDEF01;
constexpr uint32_t kSignature3Mask = 0x10FEDCBA;
constexpr uint32_t kSignature4 = 0x98765432;

TUnitVersioningState ModuleState;

AnsiString Trimmed(const char* s) { return AnsiString(s ? s : "").Trim(); }

bool StartsWith(const AnsiString& s, const char* prefix) {
  int n = static_cast<int>(std::strlen(prefix));
  return s.Length() >= n && std::memcmp(s.c_str(), prefix, static_cast<size_t>(n)) == 0;
}

// The runtime's lenient number reader: blanks, a sign, digits; the rest of
// the text does not count.
int LenientInt(const AnsiString& s) {
  const char* p = s.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int value = 0;
  while (*p >= '0' && *p <= '9') value = value * 10 + (*p++ - '0');
  return negative ? -value : value;
}

TUnitVersioningBlock* BlockOfSlot(uint32_t* slot) {
  return reinterpret_cast<TUnitVersioningBlock*>(reinterpret_cast<uint8_t*>(slot) -
                                                 offsetof(TUnitVersioningBlock, Slot));
}

bool IsOwnBlock(const TUnitVersioningBlock* b, DWORD pid) {
  size_t nameLength = sizeof kBlockName - 1;
  return b->Signature2 == kSignature2 && b->Signature1 == (pid ^ kSignature1Mask) && b->Signature4 == kSignature4 &&
         b->Signature3 == (pid ^ kSignature3Mask) && b->Name[0] == nameLength &&
         std::memcmp(b->Name + 1, kBlockName, nameLength) == 0;
}

}  // namespace

// ===========================================================================
// TUnitVersion

AnsiString TUnitVersion::RCSfile() const {
  AnsiString s = Trimmed(FInfo->RCSfile);
  if (!StartsWith(s, "$RCSfile: ")) return s;
  s = s.SubString(11, s.Length() - 12);
  for (int i = s.Length(); i >= 1; --i)
    if (s[i] == ',') return s.SubString(1, i - 1);
  return s;
}

AnsiString TUnitVersion::Revision() const {
  AnsiString s = Trimmed(FInfo->Revision);
  return StartsWith(s, "$Revision: ") ? s.SubString(12, s.Length() - 13) : s;
}

AnsiString TUnitVersion::Date() const {
  AnsiString s = Trimmed(FInfo->Date);
  return StartsWith(s, "$Date: ") ? s.SubString(8, s.Length() - 9) : s;
}

AnsiString TUnitVersion::LogPath() const { return Trimmed(FInfo->LogPath); }

AnsiString TUnitVersion::Extra() const { return Trimmed(FInfo->Extra); }

TDateTime TUnitVersion::DateTime() const {
  AnsiString s = Date();
  int p = s.Pos("/");
  if (!p) p = s.Pos("-");
  int year, month, day;
  if (p == 5) {
    year = LenientInt(s.SubString(1, 4));
    month = LenientInt(s.SubString(6, 2));
    day = LenientInt(s.SubString(9, 2));
  } else if (p) {
    month = LenientInt(s.SubString(1, 2));
    day = LenientInt(s.SubString(4, 2));
    year = LenientInt(s.SubString(7, 4));
  } else if (s.Pos(".")) {
    day = LenientInt(s.SubString(1, 2));
    month = LenientInt(s.SubString(4, 2));
    year = LenientInt(s.SubString(7, 4));
  } else {
    return 0;
  }
  int blank = s.Pos(" ");
  AnsiString t = blank ? s.SubString(blank + 1, s.Length() - blank).Trim() : AnsiString();
  const char* sep = t.Pos(":") ? ":" : "/";
  auto next = [&](bool last) {
    int q = t.Pos(sep);
    AnsiString part = q ? t.SubString(1, q - 1) : (last ? t : AnsiString());
    t.Delete(1, q);
    return LenientInt(part);
  };
  int hour = next(false);
  int minute = next(false);
  int second = next(true);
  return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, 0);
}

// ===========================================================================
// TUnitVersioningModule

void TUnitVersioningModule::Add(const TUnitVersionInfo* info) { FItems.Add(new TUnitVersion(info)); }

int TUnitVersioningModule::IndexOfInfo(const TUnitVersionInfo* info) const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->Info() == info) return i;
  return -1;
}

int TUnitVersioningModule::IndexOf(const AnsiString& rcsFile, const AnsiString& logPath) const {
  for (int i = 0; i < Count(); ++i) {
    TUnitVersion* u = Items(i);
    if (CompareText(u->RCSfile(), rcsFile) == 0 && (logPath == "*" || CompareText(u->LogPath(), logPath) == 0))
      return i;
  }
  return -1;
}

TUnitVersion* TUnitVersioningModule::FindUnit(const AnsiString& rcsFile, const AnsiString& logPath) const {
  int i = IndexOf(rcsFile, logPath);
  return i >= 0 ? Items(i) : nullptr;
}

// ===========================================================================
// TUnitVersioning

TUnitVersioning::~TUnitVersioning() {
  FProviders.Clear();
  FModules.Clear();
}

void TUnitVersioning::Add(HINSTANCE instance, const TUnitVersionInfo* info) {
  for (int i = 0; i < FModules.Count(); ++i) {
    auto* m = static_cast<TUnitVersioningModule*>(FModules.Items(i));
    if (m->Instance() != instance) continue;
    if (m->IndexOfInfo(info) < 0) m->Add(info);
    return;
  }
  auto* m = new TUnitVersioningModule(instance);
  FModules.Add(m);
  m->Add(info);
}

void TUnitVersioning::UnregisterModule(HINSTANCE instance) {
  for (int i = FModules.Count() - 1; i >= 0; --i) {
    if (static_cast<TUnitVersioningModule*>(FModules.Items(i))->Instance() == instance) {
      FModules.Delete(i);
      break;
    }
  }
  for (int i = 0; i < FProviders.Count(); ++i)
    static_cast<TCustomUnitVersioningProvider*>(FProviders.Items(i))->ReleaseModuleUnitVersioningInfo(instance);
}

void TUnitVersioning::UnregisterModule(TUnitVersioningModule* module) { FModules.Remove(module); }

void TUnitVersioning::ValidateModules() {
  for (int i = FModules.Count() - 1; i >= 0; --i) {
    char name[1024];
    auto* m = static_cast<TUnitVersioningModule*>(FModules.Items(i));
    if (GetModuleFileNameA(m->Instance(), name, sizeof name) == 0) FModules.Delete(i);
  }
}

int TUnitVersioning::ModuleCount() {
  ValidateModules();
  return FModules.Count();
}

TUnitVersioningModule* TUnitVersioning::Modules(int index) {
  return static_cast<TUnitVersioningModule*>(FModules.Items(index));
}

int TUnitVersioning::Count() {
  ValidateModules();
  int n = 0;
  for (int i = 0; i < FModules.Count(); ++i) n += Modules(i)->Count();
  return n;
}

TUnitVersion* TUnitVersioning::Items(int index) {
  ValidateModules();
  for (int i = 0; i < FModules.Count(); ++i) {
    TUnitVersioningModule* m = Modules(i);
    if (index < m->Count()) return index >= 0 ? m->Items(index) : nullptr;
    index -= m->Count();
  }
  return nullptr;
}

TUnitVersion* TUnitVersioning::FindUnit(const AnsiString& rcsFile, const AnsiString& logPath) {
  for (int i = 0; i < FModules.Count(); ++i)
    if (TUnitVersion* u = Modules(i)->FindUnit(rcsFile, logPath)) return u;
  return nullptr;
}

int TUnitVersioning::IndexOf(const AnsiString& rcsFile, const AnsiString& logPath) {
  int before = 0;
  for (int i = 0; i < FModules.Count(); ++i) {
    TUnitVersioningModule* m = Modules(i);
    int j = m->IndexOf(rcsFile, logPath);
    if (j >= 0) return before + j;
    before += m->Count();
  }
  return -1;
}

TCustomUnitVersioningProvider* TUnitVersioning::RegisterProvider(const TMetaClass* cls,
                                                                 TUnitVersioningProviderFactory factory) {
  for (int i = 0; i < FProviders.Count(); ++i) {
    auto* p = static_cast<TCustomUnitVersioningProvider*>(FProviders.Items(i));
    if (p->ClassType() == cls) return p;
  }
  TCustomUnitVersioningProvider* p = factory();
  FProviders.Add(p);
  return p;
}

void TUnitVersioning::LoadModuleUnitVersioningInfo(HINSTANCE instance) {
  for (int i = 0; i < FProviders.Count(); ++i)
    static_cast<TCustomUnitVersioningProvider*>(FProviders.Items(i))->LoadModuleUnitVersioningInfo(instance);
}

// ===========================================================================
// The shared block

bool FindOrCreateUnitVersioningBlock(uint32_t*& slot, int& refCount) {
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  uintptr_t top = UnitVersioningHighestAddress ? UnitVersioningHighestAddress
                                               : reinterpret_cast<uintptr_t>(si.lpMaximumApplicationAddress);
  uintptr_t page = si.dwPageSize;
  DWORD pid = GetCurrentProcessId();
  for (uintptr_t i = 0; i <= 20; ++i) {
    uintptr_t candidate = ((top >> 16) - i) << 16;
    candidate -= candidate % page;
    void* p = VirtualAlloc(reinterpret_cast<void*>(candidate), page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (p == reinterpret_cast<void*>(candidate)) {
      auto* b = static_cast<TUnitVersioningBlock*>(p);
      b->Signature1 = pid ^ kSignature1Mask;
      b->Signature2 = kSignature2;
      b->Name[0] = static_cast<uint8_t>(sizeof kBlockName - 1);
      std::memcpy(b->Name + 1, kBlockName, sizeof kBlockName - 1);
      b->RefCount = 1;
      b->Signature3 = pid ^ kSignature3Mask;
      b->Signature4 = kSignature4;
      slot = &b->Slot;
      refCount = 1;
      return true;
    }
    if (p) {
      VirtualFree(p, 0, MEM_RELEASE);
      continue;
    }
    MEMORY_BASIC_INFORMATION mbi{};
    if (!VirtualQuery(reinterpret_cast<void*>(candidate), &mbi, sizeof mbi)) continue;
    if (mbi.State != MEM_COMMIT || mbi.Protect != PAGE_READWRITE || mbi.RegionSize < sizeof(TUnitVersioningBlock))
      continue;
    auto* b = reinterpret_cast<TUnitVersioningBlock*>(candidate);
    if (!IsOwnBlock(b, pid)) continue;
    refCount = static_cast<int>(++b->RefCount);
    slot = &b->Slot;
    return true;
  }
  return false;
}

TUnitVersioning* GetUnitVersioning(TUnitVersioningState& state) {
  if (!state.Registry) {
    int refCount = 0;
    if (!state.Slot && !FindOrCreateUnitVersioningBlock(state.Slot, refCount)) state.Slot = nullptr;
    if (state.Slot) {
      auto* shared = reinterpret_cast<TUnitVersioning*>(static_cast<uintptr_t>(*state.Slot));
      if (shared && refCount != 1) {
        state.Registry = shared;
        state.Owner = false;
        return shared;
      }
      state.Registry = new TUnitVersioning();
      *state.Slot = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(state.Registry));
    } else {
      state.Registry = new TUnitVersioning();
    }
    state.Owner = true;
    return state.Registry;
  }
  if (state.Slot) {
    // Another module may have ended and taken its registry with it.
    state.Registry = reinterpret_cast<TUnitVersioning*>(static_cast<uintptr_t>(*state.Slot));
    if (!state.Registry) {
      state.Registry = new TUnitVersioning();
      *state.Slot = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(state.Registry));
      state.Owner = true;
    }
  }
  return state.Registry;
}

void FinishUnitVersioning(TUnitVersioningState& state) {
  if (!state.Registry) return;
  if (state.Slot) {
    TUnitVersioningBlock* block = BlockOfSlot(state.Slot);
    // The count is kept here: after the page is released it cannot be read.
    uint32_t count = --block->RefCount;
    if (count == 0)
      VirtualFree(block, 0, MEM_RELEASE);
    else if (state.Owner)
      *state.Slot = 0;
  }
  if (state.Owner) delete state.Registry;
  state.Registry = nullptr;
  state.Slot = nullptr;
  state.Owner = false;
}

TUnitVersioning* GetUnitVersioning() { return GetUnitVersioning(ModuleState); }

void RegisterUnitVersion(HINSTANCE instance, const TUnitVersionInfo& info) {
  if (TUnitVersioning* r = GetUnitVersioning()) r->Add(instance, &info);
}

void UnregisterUnitVersion(HINSTANCE instance) {
  if (TUnitVersioning* r = GetUnitVersioning()) r->UnregisterModule(instance);
}

void UnitInit_UnitVersioning() { RegisterUnitVersion(HInstance, UnitVersioningVersionInfo); }

void UnitFini_UnitVersioning() {
  UnregisterUnitVersion(HInstance);
  FinishUnitVersioning(ModuleState);
}
