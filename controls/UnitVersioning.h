// The unit-version registry: the version records (revision-control keywords)
// of the units compiled into each module of the process. Modules that each
// carry this code share one registry through a small block of memory at a
// well-known place near the top of the address space.
#pragma once

#include "classes.h"

#include <cstddef>
#include <cstdint>

// Kept by the registering unit for the life of its module (not copied).
struct TUnitVersionInfo {
  const char* RCSfile;
  const char* Revision;
  const char* Date;
  const char* LogPath;
  const char* Extra;
  void* Data;
};
static_assert(sizeof(TUnitVersionInfo) == 24, "six 32-bit fields");

class TUnitVersion : public TObject {
  CL_CLASS(TUnitVersion, TObject)
public:
  explicit TUnitVersion(const TUnitVersionInfo* info) : FInfo(info) {}
  // The keyword texts, trimmed and with the keyword markers taken off.
  AnsiString RCSfile() const;
  AnsiString Revision() const;
  AnsiString Date() const;
  AnsiString LogPath() const;
  AnsiString Extra() const;
  void* Data() const { return FInfo->Data; }
  // The date keyword as days since 1899-12-30 (the zone is ignored); 0 when
  // it holds no date; EConvertError for an impossible date or time.
  TDateTime DateTime() const;
  const TUnitVersionInfo* Info() const { return FInfo; }

private:
  const TUnitVersionInfo* FInfo;
};

class TUnitVersioningModule : public TObject {
  CL_CLASS(TUnitVersioningModule, TObject)
public:
  explicit TUnitVersioningModule(HINSTANCE instance) : FInstance(instance), FItems(true) {}
  HINSTANCE Instance() const { return FInstance; }
  int Count() const { return FItems.Count(); }
  TUnitVersion* Items(int index) const { return static_cast<TUnitVersion*>(FItems.Items(index)); }
  void Add(const TUnitVersionInfo* info);
  int IndexOfInfo(const TUnitVersionInfo* info) const;
  // logPath "*" matches any log path; names compare ignoring ASCII case.
  int IndexOf(const AnsiString& rcsFile, const AnsiString& logPath = "*") const;
  TUnitVersion* FindUnit(const AnsiString& rcsFile, const AnsiString& logPath = "*") const;

private:
  HINSTANCE FInstance;
  TObjectList FItems;
};

// Supplies version records of modules that do not register their own.
class TCustomUnitVersioningProvider : public TObject {
  CL_CLASS(TCustomUnitVersioningProvider, TObject)
public:
  TCustomUnitVersioningProvider() = default;
  virtual void LoadModuleUnitVersioningInfo(HINSTANCE instance) { (void)instance; }
  virtual void ReleaseModuleUnitVersioningInfo(HINSTANCE instance) { (void)instance; }
};
using TUnitVersioningProviderFactory = TCustomUnitVersioningProvider* (*)();

class TUnitVersioning : public TObject {
  CL_CLASS(TUnitVersioning, TObject)
public:
  TUnitVersioning() : FModules(true), FProviders(true) {}
  ~TUnitVersioning() override;

  virtual void Add(HINSTANCE instance, const TUnitVersionInfo* info);
  virtual void UnregisterModule(HINSTANCE instance);
  void UnregisterModule(TUnitVersioningModule* module);
  // Drops the entries of modules that are no longer loaded.
  void ValidateModules();

  int ModuleCount();
  TUnitVersioningModule* Modules(int index);
  int Count();
  // Across the modules in list order; null beyond the end.
  TUnitVersion* Items(int index);
  TUnitVersion* FindUnit(const AnsiString& rcsFile, const AnsiString& logPath = "*");
  int IndexOf(const AnsiString& rcsFile, const AnsiString& logPath = "*");

  // The provider of exactly that class, made with factory when there is none.
  TCustomUnitVersioningProvider* RegisterProvider(const TMetaClass* cls, TUnitVersioningProviderFactory factory);
  template <class T> T* RegisterProvider() {
    return static_cast<T*>(RegisterProvider(&T::Class, []() -> TCustomUnitVersioningProvider* { return new T(); }));
  }
  void LoadModuleUnitVersioningInfo(HINSTANCE instance);

private:
  TObjectList FModules;
  TObjectList FProviders;
};

// ---------------------------------------------------------------------------
// The shared block: one page, little-endian 32-bit fields.
#pragma pack(push, 1)
struct TUnitVersioningBlock {
  uint32_t Signature1;  // process id XOR 0x23456789
  uint32_t Signature2;  // 0xABCDEF01
  uint8_t Name[256];    // length byte, then the characters: "UnitVersioning"
  uint32_t RefCount;    // modules attached to the block
  uint32_t Reserved;
  uint32_t Signature3;  // process id XOR 0x10FEDCBA
  uint32_t Signature4;  // 0x98765432
  uint32_t Slot;        // the process's TUnitVersioning, or 0
};
#pragma pack(pop)
static_assert(offsetof(TUnitVersioningBlock, Signature2) == 4);
static_assert(offsetof(TUnitVersioningBlock, Name) == 8);
static_assert(offsetof(TUnitVersioningBlock, RefCount) == 264);
static_assert(offsetof(TUnitVersioningBlock, Reserved) == 268);
static_assert(offsetof(TUnitVersioningBlock, Signature3) == 272);
static_assert(offsetof(TUnitVersioningBlock, Signature4) == 276);
static_assert(offsetof(TUnitVersioningBlock, Slot) == 280);
static_assert(sizeof(TUnitVersioningBlock) == 284);
static_assert(sizeof(void*) == 4, "the slot holds a 32-bit address");

// What the registry's unit keeps per module.
struct TUnitVersioningState {
  TUnitVersioning* Registry = nullptr;
  uint32_t* Slot = nullptr;  // in the shared block; null when the module has none
  bool Owner = false;        // this module made the registry
};

// The place the block is looked for: 0 means the system's highest
// application address. Wine reserves the range there, so the block cannot be
// placed at the usual address; tests point this at a range they freed.
extern uintptr_t UnitVersioningHighestAddress;

// Finds this process's block among the 21 candidate pages below the highest
// address, or makes it; false when none of them can be had.
bool FindOrCreateUnitVersioningBlock(uint32_t*& slot, int& refCount);

// The registry as one module sees it; always re-read from the shared slot.
TUnitVersioning* GetUnitVersioning(TUnitVersioningState& state);
// The end of a module's registry unit: lets go of the block and, in the
// module that made it, of the registry.
void FinishUnitVersioning(TUnitVersioningState& state);

// This module's view.
TUnitVersioning* GetUnitVersioning();
void RegisterUnitVersion(HINSTANCE instance, const TUnitVersionInfo& info);
void UnregisterUnitVersion(HINSTANCE instance);

extern const TUnitVersionInfo UnitVersioningVersionInfo;

void UnitInit_UnitVersioning();
void UnitFini_UnitVersioning();
