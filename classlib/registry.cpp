#include "registry.h"

#include <vector>

CL_DEFINE_CLASS(ERegistryException, Exception)
CL_DEFINE_CLASS(TRegistry, TObject)

TRegistry::TRegistry() = default;

TRegistry::TRegistry(REGSAM access) : FAccess(access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root) {
  if (root == FRootKey) return;
  CloseKey();
  FRootKey = root;
}

void TRegistry::CloseKey() {
  if (FCurrentKey) RegCloseKey(FCurrentKey);
  FCurrentKey = nullptr;
  FCurrentPath = AnsiString();
}

HKEY TRegistry::BaseKeyFor(const AnsiString& key, AnsiString& subPath, bool& absolute) const {
  // The system refuses a sub-key path that starts with a backslash (Wine
  // answers error 161), so the leading backslash only selects the root.
  absolute = !key.IsEmpty() && key[1] == '\\';
  subPath = absolute ? key.SubString(2, key.Length() - 1) : key;
  while (!subPath.IsEmpty() && subPath[subPath.Length()] == '\\') subPath.SetLength(subPath.Length() - 1);
  return (absolute || !FCurrentKey) ? FRootKey : FCurrentKey;
}

void TRegistry::ChangeKey(HKEY key, const AnsiString& path) {
  CloseKey();
  FCurrentKey = key;
  FCurrentPath = path;
}

bool TRegistry::OpenKey(const AnsiString& key, bool canCreate) {
  AnsiString sub;
  bool absolute = false;
  HKEY base = BaseKeyFor(key, sub, absolute);
  HKEY opened = nullptr;
  LONG rc;
  if (canCreate)
    rc = RegCreateKeyExA(base, sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess, nullptr, &opened, nullptr);
  else
    rc = RegOpenKeyExA(base, sub.c_str(), 0, FAccess, &opened);
  if (rc != ERROR_SUCCESS) return false;
  AnsiString path;
  if (absolute || FCurrentPath.IsEmpty())
    path = sub;
  else if (sub.IsEmpty())
    path = FCurrentPath;
  else
    path = FCurrentPath + "\\" + sub;
  ChangeKey(opened, path);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const AnsiString& key) {
  REGSAM saved = FAccess;
  FAccess = KEY_READ;
  bool ok = OpenKey(key, false);
  FAccess = saved;
  return ok;
}

bool TRegistry::KeyExists(const AnsiString& key) {
  AnsiString sub;
  bool absolute = false;
  HKEY base = BaseKeyFor(key, sub, absolute);
  HKEY probe = nullptr;
  // Existence needs no rights beyond reading the key.
  LONG rc = RegOpenKeyExA(base, sub.c_str(), 0, KEY_QUERY_VALUE, &probe);
  if (rc == ERROR_SUCCESS) {
    RegCloseKey(probe);
    return true;
  }
  return rc == ERROR_ACCESS_DENIED;
}

bool TRegistry::ValueExists(const AnsiString& name) {
  HKEY key = FCurrentKey ? FCurrentKey : FRootKey;
  return RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

AnsiString TRegistry::ReadString(const AnsiString& name) {
  HKEY key = FCurrentKey ? FCurrentKey : FRootKey;
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
  if (rc != ERROR_SUCCESS) return AnsiString();
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    throw ERegistryException(Format("Invalid data type for '%s'", {name}));
  // The value may grow between the two calls; ask again until it fits.
  for (;;) {
    std::vector<char> buf(size + 2, '\0');
    DWORD got = size;
    rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got);
    if (rc == ERROR_MORE_DATA) {
      size = got;
      continue;
    }
    if (rc != ERROR_SUCCESS) throw ERegistryException(Format("Failed to get data for '%s'", {name}));
    // A stored string need not end with its NUL; the text stops at the first one.
    return AnsiString(buf.data());
  }
}
