// Read access to the system registry: open a key below a root, read string
// values, ask whether keys and values exist.
#pragma once

#include "sysutils.h"

CL_EXCEPTION(ERegistryException, Exception)

class TRegistry : public TObject {
  CL_CLASS(TRegistry, TObject)
public:
  TRegistry();
  explicit TRegistry(REGSAM access);
  ~TRegistry() override;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return FRootKey; }
  // Changing the root closes the open key.
  void SetRootKey(HKEY root);
  HKEY CurrentKey() const { return FCurrentKey; }
  // Path of the open key below the root, without a leading backslash.
  const AnsiString& CurrentPath() const { return FCurrentPath; }
  REGSAM Access() const { return FAccess; }
  void SetAccess(REGSAM access) { FAccess = access; }

  // A key that starts with a backslash is taken from the root; any other key
  // from the open key (or the root when none is open). On success the opened
  // key becomes the current one; on failure the current key stays open.
  bool OpenKey(const AnsiString& key, bool canCreate);
  bool OpenKeyReadOnly(const AnsiString& key);
  bool KeyExists(const AnsiString& key);
  void CloseKey();

  bool ValueExists(const AnsiString& name);
  // A missing value reads as the empty string; a value that is not a string
  // raises ERegistryException.
  AnsiString ReadString(const AnsiString& name);

private:
  // Parent key and the sub-path to open below it.
  HKEY BaseKeyFor(const AnsiString& key, AnsiString& subPath, bool& absolute) const;
  void ChangeKey(HKEY key, const AnsiString& path);

  HKEY FRootKey = HKEY_CURRENT_USER;
  HKEY FCurrentKey = nullptr;
  AnsiString FCurrentPath;
  REGSAM FAccess = KEY_ALL_ACCESS;
};
