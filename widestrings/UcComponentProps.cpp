#include "UcComponentProps.h"

#include "UcClasses.h"
#include "UcCodePages.h"
#include "UcSysUtils.h"

#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <utility>

CL_DEFINE_CLASS(TWideComponentHelper, TComponent)
CL_DEFINE_CLASS(TBufferedWideString, TObject)
CL_DEFINE_CLASS(TBufferedAnsiString, TObject)

bool RuntimeUTFStreaming = false;

namespace {

// Plain ASCII text reads back the same when its UTF-8 form is taken as ANSI.
bool IsPlainAscii(const WideString& s) {
  for (wchar_t c : s.str())
    if (c > 0x7F) return false;
  return true;
}

// Whether the copies in a form resource are applied: at design time, or when
// asked for at run time.
bool ApplyCopies(TFiler* filer) {
  return RuntimeUTFStreaming || (filer->Root() && (filer->Root()->ComponentState() & csDesigning));
}

[[noreturn]] void InvalidPropertyValue() { throw EReadError("Invalid property value"); }

// The read and write procedures of one property's copies. The filer calls them
// through method pointers after DefineProperties returned, so each (instance,
// property) pair gets one record that lives until the unit ends; a record is
// determined by its key alone, so an address reused by a new instance finds a
// record that is right for it.
class TPropertyCopy {
public:
  TPropertyCopy(TPersistent* instance, const TPropInfo* info) : FInstance(instance), FInfo(info) {}

  void ReadWideStringW(TReader* reader) {
    WideString value = UTF8ToWideString(reader->ReadUTF8String());
    if (ApplyCopies(reader)) SetWideStrProp(FInstance, FInfo, value);
  }

  void ReadWideStringUTF7(TReader* reader) {
    AnsiString raw = reader->ReadString();  // dropped undecoded when not applied
    if (ApplyCopies(reader)) SetWideStrProp(FInstance, FInfo, UTF7ToWideString(raw));
  }

  void WriteWideStringUTF7(TWriter* writer) {
    writer->WriteString(WideStringToUTF7(GetWideStrProp(FInstance, FInfo)));
  }

  void ReadWideCharW(TReader* reader) {
    WideString value;
    switch (reader->NextValue()) {
      case vaString:
      case vaLString:
        value = SystemToWide(reader->ReadString());
        break;
      case vaWString:
        value = reader->ReadWideString();
        break;
      default:
        InvalidPropertyValue();
    }
    if (value.Length() > 1) InvalidPropertyValue();
    SetOrdProp(FInstance, FInfo, value.IsEmpty() ? 0 : static_cast<uint16_t>(value[1]));
  }

  void WriteWideCharW(TWriter* writer) {
    writer->WriteWideChar(static_cast<wchar_t>(GetOrdProp(FInstance, FInfo)));
  }

  void ReadWideCharUTF7(TReader* reader) {
    AnsiString raw = reader->ReadString();
    if (!ApplyCopies(reader)) return;
    WideString value = UTF7ToWideString(raw);
    SetOrdProp(FInstance, FInfo, value.IsEmpty() ? 0 : static_cast<uint16_t>(value[1]));
  }

private:
  TPersistent* FInstance;
  const TPropInfo* FInfo;
};

std::map<std::pair<TPersistent*, const TPropInfo*>, TPropertyCopy*>* PropertyCopies = nullptr;
std::deque<TPropertyCopy>* PropertyCopyStore = nullptr;

TPropertyCopy* PropertyCopyOf(TPersistent* instance, const TPropInfo* info) {
  if (!PropertyCopies) {
    PropertyCopies = new std::map<std::pair<TPersistent*, const TPropInfo*>, TPropertyCopy*>;
    PropertyCopyStore = new std::deque<TPropertyCopy>;
  }
  auto key = std::make_pair(instance, info);
  auto it = PropertyCopies->find(key);
  if (it != PropertyCopies->end()) return it->second;
  PropertyCopyStore->emplace_back(instance, info);
  TPropertyCopy* copy = &PropertyCopyStore->back();
  (*PropertyCopies)[key] = copy;
  return copy;
}

// The ancestor's object when it is of the same class, else null.
TPersistent* SameClassAncestor(TFiler* filer, TPersistent* instance) {
  TPersistent* ancestor = filer->Ancestor();
  return ancestor && ancestor->ClassType() == instance->ClassType() ? ancestor : nullptr;
}

}  // namespace

void UnitInit_UcComponentProps() { RuntimeUTFStreaming = false; }

void UnitFini_UcComponentProps() {
  delete PropertyCopies;
  PropertyCopies = nullptr;
  delete PropertyCopyStore;
  PropertyCopyStore = nullptr;
}

void UcPersistent_AfterInherited_DefineProperties(TFiler* filer, TPersistent* instance) {
  TPersistent* ancestor = SameClassAncestor(filer, instance);
  for (const TPropInfo* info : GetPropList(instance->ClassType())) {
    if (info->Kind() == pkWideString) {
      TPropertyCopy* copy = PropertyCopyOf(instance, info);
      bool hasData = false;
      if (info->Get && IsStoredProp(instance, info)) {
        WideString value = GetWideStrProp(instance, info);
        hasData = (!ancestor || GetWideStrProp(ancestor, info) != value) && !IsPlainAscii(value);
      }
      filer->DefineProperty(info->Name + "W", MakeEvent<&TPropertyCopy::ReadWideStringW>(copy), nullptr, false);
      filer->DefineProperty(info->Name + "_UTF7", MakeEvent<&TPropertyCopy::ReadWideStringUTF7>(copy),
                            MakeEvent<&TPropertyCopy::WriteWideStringUTF7>(copy), hasData);
    } else if (info->Kind() == pkWideChar) {
      TPropertyCopy* copy = PropertyCopyOf(instance, info);
      bool hasData = false;
      if (info->Get && IsStoredProp(instance, info)) {
        int64_t value = GetOrdProp(instance, info);
        hasData = (!ancestor || GetOrdProp(ancestor, info) != value) && !(info->HasDefault && info->Default == value);
      }
      filer->DefineProperty(info->Name + "W", MakeEvent<&TPropertyCopy::ReadWideCharW>(copy),
                            MakeEvent<&TPropertyCopy::WriteWideCharW>(copy), hasData);
      filer->DefineProperty(info->Name + "_UTF7", MakeEvent<&TPropertyCopy::ReadWideCharUTF7>(copy), nullptr, false);
    }
  }
}

// ===========================================================================
// The lists' own properties in form resources

void TWideStrings::ReadData(TReader* reader) {
  switch (reader->NextValue()) {
    case vaString:
    case vaLString:
      SetTextStr(SystemToWide(reader->ReadString()));
      break;
    case vaWString:
    case vaUTF8String:
      SetTextStr(reader->ReadWideString());
      break;
    default:
      reader->ReadListBegin();
      BeginUpdate();
      try {
        Clear();
        while (!reader->EndOfList()) Add(reader->ReadWideString());
      } catch (...) {
        EndUpdate();
        throw;
      }
      EndUpdate();
      reader->ReadListEnd();
  }
}

void TWideStrings::WriteData(TWriter* writer) {
  writer->WriteListBegin();
  for (int i = 0; i < GetCount(); ++i) writer->WriteWideString(Get(i));
  writer->WriteListEnd();
}

bool TWideStrings::DoWrite(TFiler* filer) {
  if (filer->Ancestor()) {
    auto* ancestor = dynamic_cast<TWideStrings*>(filer->Ancestor());
    return !ancestor || !Equals(ancestor);
  }
  return GetCount() > 0;
}

void TWideStrings::DefineProperties(TFiler* filer) {
  filer->DefineProperty("Strings", MakeEvent<&TWideStrings::ReadData>(this),
                        MakeEvent<&TWideStrings::WriteData>(this), DoWrite(filer));
}

void TUcStrings::ReadWideStrings(TReader* reader) { ReadData(reader); }

void TUcStrings::ReadWideStringsW(TReader* reader) {
  // The plain "Strings" value wins at run time; the UTF-8 copy fills only a
  // list that is still empty.
  const bool apply = ApplyCopies(reader) || GetCount() == 0;
  reader->ReadListBegin();
  std::vector<WideString> items;
  while (!reader->EndOfList()) items.push_back(UTF8ToWideString(reader->ReadUTF8String()));
  reader->ReadListEnd();
  if (!apply) return;
  BeginUpdate();
  try {
    Clear();
    for (const WideString& s : items) Add(s);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TUcStrings::ReadWideStringsUTF7(TReader* reader) {
  const bool apply = ApplyCopies(reader);
  reader->ReadListBegin();
  std::vector<AnsiString> items;
  while (!reader->EndOfList()) items.push_back(reader->ReadString());
  reader->ReadListEnd();
  if (!apply) return;
  BeginUpdate();
  try {
    Clear();
    for (const AnsiString& s : items) Add(UTF7ToWideString(s));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TUcStrings::WriteWideStringsUTF7(TWriter* writer) {
  writer->WriteListBegin();
  for (int i = 0; i < GetCount(); ++i) writer->WriteString(WideStringToUTF7(Get(i)));
  writer->WriteListEnd();
}

void TUcStrings::DefineProperties(TFiler* filer) {
  TWideStrings::DefineProperties(filer);
  bool hasUTF7 = false;
  if (DoWrite(filer))
    for (int i = 0; i < GetCount() && !hasUTF7; ++i) hasUTF7 = !IsPlainAscii(Get(i));
  filer->DefineProperty("WideStrings", MakeEvent<&TUcStrings::ReadWideStrings>(this), nullptr, false);
  filer->DefineProperty("WideStringsW", MakeEvent<&TUcStrings::ReadWideStringsW>(this), nullptr, false);
  filer->DefineProperty("WideStrings_UTF7", MakeEvent<&TUcStrings::ReadWideStringsUTF7>(this),
                        MakeEvent<&TUcStrings::WriteWideStringsUTF7>(this), hasUTF7);
}

// ===========================================================================
// Synced wide shadows

WideString GetSyncedWideString(WideString& wideValue, const AnsiString& ansiValue) {
  if (WideToSystem(wideValue) != ansiValue) wideValue = SystemToWide(ansiValue);
  return wideValue;
}

void SetSyncedWideString(const WideString& value, WideString& wideValue, const AnsiString& ansiValue,
                         const std::function<void(const AnsiString&)>& setAnsiValue) {
  if (value == GetSyncedWideString(wideValue, ansiValue)) return;
  const AnsiString ansi = WideToSystem(value);
  // Only characters the code page cannot hold changed: the narrow property
  // would see no change at all.
  if (SystemToWide(ansi) != value && ansi == ansiValue) setAnsiValue(AnsiString());
  wideValue = value;
  setAnsiValue(ansi);
}

// ===========================================================================
// Component helpers

namespace {
int CompareHelperTarget(void* item, void* target) {
  auto a = static_cast<int32_t>(reinterpret_cast<uintptr_t>(static_cast<TWideComponentHelper*>(item)->Component()));
  auto b = static_cast<int32_t>(reinterpret_cast<uintptr_t>(target));
  return a < b ? -1 : a > b ? 1 : 0;
}
}  // namespace

TWideComponentHelper::TWideComponentHelper(TComponent* owner) : TComponent(owner) {
  throw EUcInternalError("UC Internal Error: TWideComponentHelper.Create should never be encountered.");
}

TWideComponentHelper::TWideComponentHelper(TComponent* component, TComponentList* helperList)
    : TComponent(nullptr), FComponent(component) {
  FComponent->FreeNotification(this);
  int index;
  FindSortedListByTarget(helperList, &CompareHelperTarget, component, index);
  helperList->Insert(index, this);
}

void TWideComponentHelper::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (component == FComponent && operation == opRemove) {
    FComponent = nullptr;
    delete this;
  }
}

TWideComponentHelper* FindWideComponentHelper(TComponentList* helperList, TComponent* component) {
  int index;
  if (!FindSortedListByTarget(helperList, &CompareHelperTarget, component, index)) return nullptr;
  auto* helper = static_cast<TWideComponentHelper*>(helperList->Items(index));
  Assert(helper->Component() == component, "UC Internal Error: FindWideComponentHelperIndex failed.");
  return helper;
}

bool FindSortedListByTarget(TList* list, TListTargetCompare compare, void* target, int& index) {
  const bool duplicatesAccepted = false;
  return FindSortedIndex(list->Count(), duplicatesAccepted, [&](int i) { return compare(list->Items(i), target); },
                         index);
}

// ===========================================================================
// COM classes

namespace {

// The default value of a subkey; environment strings expanded.
WideString ReadServerPath(HKEY key, const wchar_t* subKey) {
  HKEY sub;
  if (RegOpenKeyExW(key, subKey, 0, KEY_READ, &sub) != ERROR_SUCCESS) return WideString();
  DWORD type = 0, size = 0;
  std::wstring value;
  if (RegQueryValueExW(sub, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0) {
    value.assign(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(sub, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS)
      value.clear();
    value.resize(wcsnlen(value.c_str(), value.size()));
  }
  RegCloseKey(sub);
  if (type == REG_EXPAND_SZ && !value.empty()) {
    DWORD n = ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
    std::wstring expanded(n, L'\0');
    if (n && ExpandEnvironmentStringsW(value.c_str(), expanded.data(), n)) {
      expanded.resize(wcsnlen(expanded.c_str(), expanded.size()));
      value = expanded;
    }
  }
  return WideString(value);
}

// A server registered by its bare name lives on the system's search path.
bool ServerFileExists(const WideString& path) {
  if (WideFileExists(path)) return true;
  if (path.Pos(L"\\") != 0) return false;
  wchar_t found[MAX_PATH];
  DWORD n = SearchPathW(nullptr, path.c_bstr(), nullptr, MAX_PATH, found, nullptr);
  return n > 0 && n < MAX_PATH && WideFileExists(WideString(found, static_cast<int>(n)));
}

}  // namespace

bool ClassIsRegistered(const CLSID& classId) {
  LPOLESTR progId = nullptr;
  if (FAILED(ProgIDFromCLSID(classId, &progId))) return false;
  CoTaskMemFree(progId);
  wchar_t guid[40] = {};
  if (!StringFromGUID2(classId, guid, 40)) return false;
  // The key is relative to HKEY_LOCAL_MACHINE: a leading backslash makes
  // the system refuse the path.
  const WideString keyName = WideString(L"SOFTWARE\\Classes\\CLSID\\") + guid;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName.c_bstr(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  WideString server = ReadServerPath(key, L"InProcServer32");
  if (server.IsEmpty()) server = ReadServerPath(key, L"InProcServer");
  RegCloseKey(key);
  return !server.IsEmpty() && ServerFileExists(server);
}

// ===========================================================================
// Buffers

void TBufferedWideString::AddChar(wchar_t c) {
  ++FCount;
  if (static_cast<int>(FStorage.size()) < FCount) {
    const int len = static_cast<int>(FStorage.size());
    FStorage.append(static_cast<size_t>(std::min(std::max(32, len), 256)), L'\0');
  }
  FStorage[static_cast<size_t>(FCount - 1)] = c;
}

void TBufferedWideString::AddString(const WideString& s) {
  for (wchar_t c : s.str()) AddChar(c);
}

void TBufferedWideString::AddBuffer(const wchar_t* p, int count) {
  for (int i = 0; i < count && p[i]; ++i) AddChar(p[i]);
}

void TBufferedWideString::Clear() {
  FCount = 0;
  std::fill(FStorage.begin(), FStorage.end(), L'\0');
}

WideString TBufferedWideString::Value() const {
  return WideString(FStorage.c_str(), static_cast<int>(wcsnlen(FStorage.c_str(), FStorage.size())));
}

void TBufferedAnsiString::AddChar(char c) {
  ++FCount;
  if (static_cast<int>(FStorage.size()) < FCount) {
    const int len = static_cast<int>(FStorage.size());
    FStorage.append(static_cast<size_t>(std::min(std::max(32, len), 256)), '\0');
  }
  FStorage[static_cast<size_t>(FCount - 1)] = c;
}

void TBufferedAnsiString::AddString(const AnsiString& s) {
  if (s.IsEmpty()) return;
  const int len = s.Length();
  if (FCount + len > static_cast<int>(FStorage.size())) {
    const int step = std::max(static_cast<int>(FStorage.size()) / 2, 8);
    FStorage.append(static_cast<size_t>((len / step + 1) * step), '\0');
  }
  std::memcpy(FStorage.data() + FCount, s.c_str(), static_cast<size_t>(len));
  FCount += len;
}

void TBufferedAnsiString::AddBuffer(const char* p, int count) {
  for (int i = 0; i < count && p[i]; ++i) AddChar(p[i]);
}

void TBufferedAnsiString::Clear() {
  FCount = 0;
  std::fill(FStorage.begin(), FStorage.end(), '\0');
}

AnsiString TBufferedAnsiString::Value() const {
  return AnsiString(FStorage.c_str(), static_cast<int>(strnlen(FStorage.c_str(), FStorage.size())));
}
