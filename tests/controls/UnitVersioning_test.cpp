// The unit-version registry: keyword parsing, lookups across modules, the
// providers, module validation, the program's records and the shared block
// (through an address that is free here).
#include "ControlsTestUtil.h"

#include "FormAutoSize.h"
#include "UnitVersioning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <cstring>

namespace {

TUnitVersionInfo Info(const char* file, const char* revision, const char* date, const char* logPath) {
  return TUnitVersionInfo{file, revision, date, logPath, " extra ", nullptr};
}

class TCountingProvider : public TCustomUnitVersioningProvider {
  CL_CLASS(TCountingProvider, TCustomUnitVersioningProvider)
public:
  static int Released;
  static int Loaded;
  void LoadModuleUnitVersioningInfo(HINSTANCE) override { ++Loaded; }
  void ReleaseModuleUnitVersioningInfo(HINSTANCE) override { ++Released; }
};
int TCountingProvider::Released = 0;
int TCountingProvider::Loaded = 0;
CL_DEFINE_CLASS(TCountingProvider, TCustomUnitVersioningProvider)

}  // namespace

TEST(UnitVersion, KeywordsAreStripped) {
  TUnitVersion registry(&UnitVersioningVersionInfo);
  EXPECT_EQ(registry.Revision(), "2488");
  EXPECT_EQ(registry.Date().SubString(1, 25), "2008-09-23 01:03:06 +0300");
  EXPECT_EQ(registry.LogPath(), "lib\\source\\common");
  EXPECT_EQ(registry.RCSfile(), AnsiString(UnitVersioningVersionInfo.RCSfile).Trim());
  TDateTime expected = EncodeDate(2008, 9, 23) + EncodeTime(1, 3, 6, 0);
  EXPECT_DOUBLE_EQ(registry.DateTime(), expected);

  TUnitVersionInfo rcs = Info("  $RCSfile: name.ext,v $ ", " $Revision: 1.7 $", "$Date: 2001/02/03 $", " path ");
  TUnitVersion u(&rcs);
  EXPECT_EQ(u.RCSfile(), "name.ext");
  EXPECT_EQ(u.Revision(), "1.7");
  EXPECT_EQ(u.Date(), "2001/02/03");
  EXPECT_EQ(u.LogPath(), "path");
  EXPECT_EQ(u.Extra(), "extra");
  TUnitVersionInfo plain = Info("$RCSfile: a,b,v $", "1.0", "no date", "");
  EXPECT_EQ(TUnitVersion(&plain).RCSfile(), "a,b");
  EXPECT_EQ(TUnitVersion(&plain).Revision(), "1.0");
  EXPECT_EQ(TUnitVersion(&plain).Date(), "no date");
}

TEST(UnitVersion, DateForms) {
  auto date = [](const char* text) {
    TUnitVersionInfo i = Info("f", "r", text, "");
    return TUnitVersion(&i).DateTime();
  };
  EXPECT_DOUBLE_EQ(date("$Date: 12/31/2009 23:59:58 $"), EncodeDate(2009, 12, 31) + EncodeTime(23, 59, 58, 0));
  EXPECT_DOUBLE_EQ(date("$Date: 31.12.2009 10:20 $"), EncodeDate(2009, 12, 31) + EncodeTime(10, 0, 20, 0));
  EXPECT_DOUBLE_EQ(date("2009-01-02"), EncodeDate(2009, 1, 2));
  EXPECT_DOUBLE_EQ(date("2009-01-02 03:04"), EncodeDate(2009, 1, 2) + EncodeTime(3, 0, 4, 0));
  EXPECT_DOUBLE_EQ(date("no date at all"), 0);
  EXPECT_THROW(date("2009-02-30 00:00:00"), EConvertError);
  EXPECT_THROW(date("2009-01-01 25:00:00"), EConvertError);
}

TEST(UnitVersion, RegistryLookupsAcrossModules) {
  TUnitVersioning registry;
  HINSTANCE first = reinterpret_cast<HINSTANCE>(HInstance);
  HINSTANCE second = GetModuleHandleA("kernel32.dll");
  TUnitVersionInfo a = Info("One.pas", "1", "", "lib\\run");
  TUnitVersionInfo b = Info("Two.pas", "2", "", "lib\\other");
  TUnitVersionInfo c = Info("two.PAS", "3", "", "lib\\run");
  registry.Add(first, &a);
  registry.Add(first, &a);  // the same record once
  registry.Add(first, &b);
  registry.Add(second, &c);
  EXPECT_EQ(registry.ModuleCount(), 2);
  EXPECT_EQ(registry.Count(), 3);
  EXPECT_EQ(registry.IndexOf("TWO.pas"), 1);
  EXPECT_EQ(registry.IndexOf("two.pas", "lib\\RUN"), 2);  // counts the first module's records
  EXPECT_EQ(registry.IndexOf("two.pas", "nowhere"), -1);
  EXPECT_EQ(registry.FindUnit("two.pas", "lib\\run")->Revision(), "3");
  EXPECT_EQ(registry.Items(2)->Revision(), "3");
  EXPECT_EQ(registry.Items(3), nullptr);
  EXPECT_EQ(registry.Modules(0)->IndexOfInfo(&b), 1);

  TCountingProvider::Loaded = 0;
  TCountingProvider::Released = 0;
  TCountingProvider* p = registry.RegisterProvider<TCountingProvider>();
  EXPECT_EQ(registry.RegisterProvider<TCountingProvider>(), p);
  registry.LoadModuleUnitVersioningInfo(first);
  EXPECT_EQ(TCountingProvider::Loaded, 1);
  registry.UnregisterModule(first);
  EXPECT_EQ(TCountingProvider::Released, 1);
  EXPECT_EQ(registry.Count(), 1);
  registry.UnregisterModule(registry.Modules(0));
  EXPECT_EQ(registry.ModuleCount(), 0);
}

// A library of the system folder that this program has not loaded and that
// goes away again when freed, found by asking the system (which libraries
// there are, which are loaded, which one unloads cleanly) instead of naming
// one that some version of the platform loads at start.
std::string UnloadableSystemLibrary() {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  std::vector<std::string> names;
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA((std::string(system) + "\\*.dll").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return std::string();
  do names.push_back(d.cFileName);
  while (FindNextFileA(h, &d));
  FindClose(h);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (GetModuleHandleA(name.c_str())) continue;
    // Mapped without running its start code or loading what it imports.
    HMODULE dll = LoadLibraryExA(name.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (!dll) continue;
    FreeLibrary(dll);
    if (!GetModuleHandleA(name.c_str())) return name;
  }
  return std::string();
}

TEST(UnitVersion, UnloadedModulesAreDropped) {
  const std::string name = UnloadableSystemLibrary();
  ASSERT_FALSE(name.empty()) << "no library of the system folder loads and unloads";
  HMODULE dll = LoadLibraryExA(name.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(dll, nullptr) << name;
  TUnitVersioning registry;
  TUnitVersionInfo a = Info("Dll.pas", "1", "", "");
  registry.Add(dll, &a);
  EXPECT_EQ(registry.Count(), 1);
  EXPECT_EQ(registry.ModuleCount(), 1);
  FreeLibrary(dll);
  ASSERT_EQ(GetModuleHandleA(name.c_str()), nullptr) << name;
  EXPECT_EQ(registry.Count(), 0) << name;
  EXPECT_EQ(registry.ModuleCount(), 0) << name;
}

TEST(UnitVersion, TheProgramRegistersItsFiveRecords) {
  TUnitVersioning* registry = GetUnitVersioning();
  ASSERT_NE(registry, nullptr);
  int module = -1;
  for (int i = 0; i < registry->ModuleCount(); ++i)
    if (registry->Modules(i)->Instance() == HInstance) module = i;
  ASSERT_GE(module, 0);
  TUnitVersioningModule* m = registry->Modules(module);
  ASSERT_EQ(m->Count(), 5);
  const char* revisions[] = {"2488", "12157", "12304", "11400", "10612"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(m->Items(i)->Revision(), revisions[i]);
  EXPECT_EQ(m->Items(0)->LogPath(), "lib\\source\\common");
  EXPECT_EQ(m->Items(4)->LogPath(), "lib\\run");
  EXPECT_DOUBLE_EQ(m->Items(4)->DateTime(), EncodeDate(2006, 5, 19) + EncodeTime(22, 4, 9, 0));
}

TEST(UnitVersion, ModulesShareTheRegistryThroughTheBlock) {
  // A range of address space that is free: the block goes at its top.
  const uintptr_t span = 22 * 0x10000;
  void* range = VirtualAlloc(nullptr, span, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(range, nullptr);
  VirtualFree(range, 0, MEM_RELEASE);
  uintptr_t saved = UnitVersioningHighestAddress;
  UnitVersioningHighestAddress = reinterpret_cast<uintptr_t>(range) + 21 * 0x10000 + 0x8000;
  uintptr_t blockAddress = reinterpret_cast<uintptr_t>(range) + 21 * 0x10000;

  TUnitVersioningState one, two;
  TUnitVersioning* first = GetUnitVersioning(one);
  ASSERT_NE(one.Slot, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(one.Slot), blockAddress + 280);
  EXPECT_TRUE(one.Owner);
  const auto* bytes = reinterpret_cast<const uint8_t*>(blockAddress);
  DWORD pid = GetCurrentProcessId();
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(bytes + 0), pid ^ 0x23456789u);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(bytes + 4), 0xABCDEF01u);
  EXPECT_EQ(bytes[8], 14);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 9), 14), "UnitVersioning");
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(bytes + 264), 1u);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(bytes + 272), pid ^ 0x10FEDCBAu);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(bytes + 276), 0x98765432u);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(bytes + 280), reinterpret_cast<uintptr_t>(first));

  // The second module finds the block and uses the first one's registry.
  TUnitVersioning* shared = GetUnitVersioning(two);
  EXPECT_EQ(shared, first);
  EXPECT_FALSE(two.Owner);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(bytes + 264), 2u);
  TUnitVersionInfo a = Info("Shared.pas", "1", "", "");
  GetUnitVersioning(two)->Add(GetModuleHandleA("kernel32.dll"), &a);
  EXPECT_EQ(first->IndexOf("Shared.pas"), 0);

  // The creator ends first: the slot is cleared, the other module makes its own.
  FinishUnitVersioning(one);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(bytes + 280), 0u);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(bytes + 264), 1u);
  TUnitVersioning* own = GetUnitVersioning(two);
  ASSERT_NE(own, nullptr);
  EXPECT_TRUE(two.Owner);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(bytes + 280), reinterpret_cast<uintptr_t>(own));
  EXPECT_EQ(own->Count(), 0);

  // The last one releases the page.
  FinishUnitVersioning(two);
  MEMORY_BASIC_INFORMATION mbi{};
  VirtualQuery(reinterpret_cast<void*>(blockAddress), &mbi, sizeof mbi);
  EXPECT_EQ(mbi.State, static_cast<DWORD>(MEM_FREE));
  UnitVersioningHighestAddress = saved;
}

TEST(UnitVersion, ForeignPagesAreNotTakenForTheBlock) {
  const uintptr_t span = 22 * 0x10000;
  void* range = VirtualAlloc(nullptr, span, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(range, nullptr);
  VirtualFree(range, 0, MEM_RELEASE);
  uintptr_t top = reinterpret_cast<uintptr_t>(range) + 21 * 0x10000;
  // A page of someone else's at the first candidate: the next one is used.
  void* foreign = VirtualAlloc(reinterpret_cast<void*>(top), 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_EQ(foreign, reinterpret_cast<void*>(top));
  std::memset(foreign, 0x5A, 0x1000);
  uintptr_t saved = UnitVersioningHighestAddress;
  UnitVersioningHighestAddress = top;
  uint32_t* slot = nullptr;
  int count = 0;
  ASSERT_TRUE(FindOrCreateUnitVersioningBlock(slot, count));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(slot), top - 0x10000 + 280);
  EXPECT_EQ(count, 1);
  VirtualFree(reinterpret_cast<uint8_t*>(slot) - 280, 0, MEM_RELEASE);
  VirtualFree(foreign, 0, MEM_RELEASE);
  UnitVersioningHighestAddress = saved;
}
