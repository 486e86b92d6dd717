// Reading the registry: keys opened from the root or from the open key, a
// leading backslash, missing keys and values, value types.
#include <gtest/gtest.h>

#include "registry.h"

#include <string>

namespace {
// Test keys are written with the plain API under HKEY_CURRENT_USER.
const char* const TestRoot = "Software\\FennolitRegistryTest";

struct TTestKeys {
  TTestKeys() {
    HKEY k;
    RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(TestRoot) + "\\.xyz").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &k, nullptr);
    const char cls[] = "xyzfile";
    RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(cls), sizeof cls);
    DWORD n = 7;
    RegSetValueExA(k, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof n);
    // Stored without its terminating NUL.
    RegSetValueExA(k, "NoNul", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
    RegCloseKey(k);
    RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(TestRoot) + "\\xyzfile\\DefaultIcon").c_str(), 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, &k, nullptr);
    const char icon[] = "C:\\windows\\system32\\shell32.dll,2";
    RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(icon), sizeof icon);
    RegCloseKey(k);
  }
  ~TTestKeys() {
    for (const char* sub : {"\\.xyz", "\\xyzfile\\DefaultIcon", "\\xyzfile", ""})
      RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(TestRoot) + sub).c_str());
  }
};
}  // namespace

TEST(Registry, OpensKeysRelativeAndFromTheRoot) {
  TTestKeys keys;
  TRegistry reg;
  EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.OpenKey(std::string(TestRoot) + "\\.xyz", false));
  EXPECT_EQ(reg.CurrentPath(), AnsiString(TestRoot) + "\\.xyz");
  EXPECT_EQ(reg.ReadString(""), "xyzfile");
  EXPECT_TRUE(reg.ValueExists("Number"));
  EXPECT_FALSE(reg.ValueExists("Missing"));
  EXPECT_EQ(reg.ReadString("Missing"), "");
  EXPECT_EQ(reg.ReadString("NoNul"), "abc");
  EXPECT_THROW(reg.ReadString("Number"), ERegistryException);

  // A leading backslash starts again at the root (the system itself refuses it).
  ASSERT_TRUE(reg.OpenKey("\\" + AnsiString(TestRoot) + "\\xyzfile\\DefaultIcon", false));
  EXPECT_EQ(reg.ReadString(""), "C:\\windows\\system32\\shell32.dll,2");
  EXPECT_EQ(reg.CurrentPath(), AnsiString(TestRoot) + "\\xyzfile\\DefaultIcon");

  // A failed open keeps the key that was open.
  EXPECT_FALSE(reg.OpenKey("\\" + AnsiString(TestRoot) + "\\nothing\\DefaultIcon", false));
  EXPECT_EQ(reg.ReadString(""), "C:\\windows\\system32\\shell32.dll,2");

  // Without a backslash the path goes on from the open key.
  ASSERT_TRUE(reg.OpenKey("\\" + AnsiString(TestRoot), false));
  ASSERT_TRUE(reg.OpenKey("xyzfile", false));
  EXPECT_EQ(reg.CurrentPath(), AnsiString(TestRoot) + "\\xyzfile");
  EXPECT_TRUE(reg.KeyExists("DefaultIcon"));
  EXPECT_FALSE(reg.KeyExists("NoSuchKey"));
  reg.CloseKey();
  EXPECT_EQ(reg.CurrentKey(), nullptr);
  EXPECT_TRUE(reg.KeyExists(AnsiString(TestRoot) + "\\.xyz"));
}

TEST(Registry, ReadOnlyOpenAndOtherRoots) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  // The system's own classes exist on every installation.
  EXPECT_TRUE(reg.OpenKeyReadOnly("\\Software\\CLASSES"));
  EXPECT_FALSE(reg.OpenKeyReadOnly("Software\\CLASSES\\.fennolit-no-such-extension"));
  reg.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_EQ(reg.CurrentKey(), nullptr);  // a new root closes the key
}
