// The glue between wide texts and the class library's narrow components: the
// UTF copies of wide properties in form resources, a wide value kept beside a
// narrow property, wide data attached to components through helpers, the COM
// class check, and growable string buffers.
#pragma once

#include "classes.h"
#include "filer.h"

#include <functional>
#include <string>

// Whether the W and _UTF7 copies of wide properties in form resources are
// applied at run time (false: the plain properties give the values).
extern bool RuntimeUTFStreaming;

// Called by a Unicode control's DefineProperties after the inherited one:
// defines the W (UTF-8) and _UTF7 copies of every published wide-string and
// wide-character property of instance.
void UcPersistent_AfterInherited_DefineProperties(TFiler* filer, TPersistent* instance);

// The wide value kept beside a narrow property: when the narrow one was
// changed behind it, the wide one follows it.
WideString GetSyncedWideString(WideString& wideValue, const AnsiString& ansiValue);
// Sets both sides. When only characters the ANSI code page cannot hold
// changed, the narrow property is first set to "" so that it sees a change.
void SetSyncedWideString(const WideString& value, WideString& wideValue, const AnsiString& ansiValue,
                         const std::function<void(const AnsiString&)>& setAnsiValue);

// Wide data for a component that has no room for it. Created without owner;
// frees itself when its component goes away.
class TWideComponentHelper : public TComponent {
  CL_CLASS(TWideComponentHelper, TComponent)
public:
  // Not to be used: raises EUcInternalError.
  explicit TWideComponentHelper(TComponent* owner);
  // Inserts itself into helperList, kept sorted by component address.
  TWideComponentHelper(TComponent* component, TComponentList* helperList);
  TComponent* Component() const { return FComponent; }

  void Notification(TComponent* component, TOperation operation) override;

private:
  TComponent* FComponent = nullptr;
};

// The helper of a component, or null.
TWideComponentHelper* FindWideComponentHelper(TComponentList* helperList, TComponent* component);

// Binary search over a sorted pointer list; index is the match or where the
// target belongs.
using TListTargetCompare = int (*)(void* item, void* target);
bool FindSortedListByTarget(TList* list, TListTargetCompare compare, void* target, int& index);

// Whether a COM class is usable: it has a ProgID, an in-process server entry
// under HKEY_LOCAL_MACHINE, and the server file exists.
bool ClassIsRegistered(const CLSID& classId);

// Growable character buffers: the storage is longer than the content, its tail
// zeroed.
class TBufferedWideString : public TObject {
  CL_CLASS(TBufferedWideString, TObject)
public:
  void AddChar(wchar_t c);
  void AddString(const WideString& s);
  // Up to count characters of p, stopping at a NUL.
  void AddBuffer(const wchar_t* p, int count);
  void Clear();  // keeps the storage, zeroed
  WideString Value() const;  // up to the first NUL
  wchar_t* BuffPtr() { return FStorage.data(); }
  int StorageLength() const { return static_cast<int>(FStorage.size()); }

private:
  std::wstring FStorage;
  int FCount = 0;
};

class TBufferedAnsiString : public TObject {
  CL_CLASS(TBufferedAnsiString, TObject)
public:
  void AddChar(char c);
  void AddString(const AnsiString& s);
  void AddBuffer(const char* p, int count);
  void Clear();
  AnsiString Value() const;
  char* BuffPtr() { return FStorage.data(); }
  int StorageLength() const { return static_cast<int>(FStorage.size()); }

private:
  std::string FStorage;
  int FCount = 0;
};

void UnitInit_UcComponentProps();
void UnitFini_UcComponentProps();
