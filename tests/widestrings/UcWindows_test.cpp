#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "UcSysUtils.h"
#include "UcWindows.h"
#include "WideTestUtil.h"

namespace {

std::wstring Buffer(size_t n, wchar_t fill = L'X') { return std::wstring(n, fill); }

// A folder on C: with a name that is its own 8.3 form.
class ShortRoot {
public:
  ShortRoot() {
    wchar_t name[16];
    std::swprintf(name, 16, L"C:\\u%04X", static_cast<unsigned>(GetCurrentProcessId() & 0xFFFF));
    FPath = name;
    CreateDirectoryW(FPath.c_bstr(), nullptr);
    CreateDirectoryW((FPath + L"\\cd").c_bstr(), nullptr);
    WriteWideFileBytes(FPath + L"\\cd\\e.txt", "x");
  }
  ~ShortRoot() {
    DeleteFileW((FPath + L"\\cd\\e.txt").c_bstr());
    RemoveDirectoryW((FPath + L"\\cd").c_bstr());
    RemoveDirectoryW(FPath.c_bstr());
  }
  WideString FPath;
};

// Pixels of a small bitmap after drawing into it.
class Canvas {
public:
  HDC DC() const { return FSurface.DC(); }
  std::vector<uint32_t> Pixels() {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < FSurface.Height(); ++y)
      for (int x = 0; x < FSurface.Width(); ++x) pixels.push_back(FSurface.Pixel(x, y));
    return pixels;
  }
  void Clear() { FSurface.Fill(0xFFFFFF); }

private:
  DibSurface FSurface{64, 24};
};

}  // namespace

using Wrappers = BothRoads;
INSTANTIATE_TEST_SUITE_P(Roads, Wrappers, testing::Values(TRoad::Wide, TRoad::Narrow), RoadName);

TEST_P(Wrappers, FullPathNameWithFilePart) {
  WideTempDir dir;
  const WideString name = dir.File(L"\x0416.txt");
  std::wstring buf = Buffer(MAX_PATH);
  LPWSTR part = nullptr;
  DWORD n = Uc_GetFullPathNameW(name.c_bstr(), MAX_PATH, buf.data(), &part);
  ASSERT_EQ(n, static_cast<DWORD>(name.Length()));
  EXPECT_EQ(WideString(buf.c_str()), name);
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(WideString(part), WideString(L"\x0416.txt"));
  // Too small: the size needed with the terminator; the narrow road leaves an
  // empty text and no file part.
  std::wstring small = Buffer(5);
  part = reinterpret_cast<LPWSTR>(1);
  n = Uc_GetFullPathNameW(name.c_bstr(), 5, small.data(), &part);
  EXPECT_EQ(n, static_cast<DWORD>(name.Length()) + 1);
  if (Narrow()) {
    EXPECT_EQ(small[0], L'\0');
    EXPECT_EQ(part, nullptr);
  }
}

TEST_P(Wrappers, ModuleFileNameFillsExactly) {
  wchar_t expected[MAX_PATH];
  DWORD len = GetModuleFileNameW(nullptr, expected, MAX_PATH);
  std::wstring buf = Buffer(MAX_PATH);
  EXPECT_EQ(Uc_GetModuleFileNameW(nullptr, buf.data(), MAX_PATH), len);
  EXPECT_EQ(std::wstring(buf.c_str()), std::wstring(expected, len));
  buf = Buffer(len + 4);
  EXPECT_EQ(Uc_GetModuleFileNameW(nullptr, buf.data(), len), len);  // no room for the terminator
  EXPECT_EQ(buf.substr(0, len), std::wstring(expected, len));
  if (Narrow()) { EXPECT_EQ(buf[len], L'X'); }
}

TEST_P(Wrappers, CurrentDirectoryBufferRules) {
  WideTempDir dir;
  WideString saved = WideGetCurrentDir();
  ASSERT_TRUE(Uc_SetCurrentDirectoryW(dir.Path().c_bstr()));
  const DWORD len = static_cast<DWORD>(dir.Path().Length());
  std::wstring buf = Buffer(MAX_PATH);
  EXPECT_EQ(Uc_GetCurrentDirectoryW(MAX_PATH, buf.data()), len);
  EXPECT_EQ(WideString(buf.c_str()), dir.Path());
  EXPECT_EQ(Uc_GetCurrentDirectoryW(0, nullptr), len + 1);
  if (Narrow()) {
    buf = Buffer(MAX_PATH);
    EXPECT_EQ(Uc_GetCurrentDirectoryW(len, buf.data()), len + 1);  // len - 1 characters and a NUL
    EXPECT_EQ(buf.substr(0, len), dir.Path().str().substr(0, len - 1) + L'\0');
    buf = Buffer(MAX_PATH);
    EXPECT_EQ(Uc_GetCurrentDirectoryW(3, buf.data()), len + 1);
    EXPECT_EQ(buf[0], L'\0');
  }
  Uc_SetCurrentDirectoryW(saved.c_bstr());
}

TEST_P(Wrappers, DeepCurrentFolderBeyondTheFixedBuffer) {
  if (Narrow()) GTEST_SKIP() << "the narrow calls stop at MAX_PATH";
  WideTempDir dir;
  WideString deep = dir.Path();
  for (int i = 0; i < 7; ++i) deep += L"\\" + WideString(std::wstring(40, static_cast<wchar_t>(L'k' + i)));
  ASSERT_TRUE(WideForceDirectories(deep));
  WideString saved = WideGetCurrentDir();
  if (!WideSetCurrentDir(deep)) GTEST_SKIP() << "the system refuses a current folder this long";
  EXPECT_EQ(WideGetCurrentDir(), deep);
  WideSetCurrentDir(saved);
}

TEST_P(Wrappers, ShortPathNamePrefixRule) {
  ShortRoot root;
  const WideString path = root.FPath + L"\\cd\\e.txt";
  std::wstring buf = Buffer(MAX_PATH);
  DWORD n = Uc_GetShortPathNameW(path.c_bstr(), buf.data(), MAX_PATH);
  ASSERT_EQ(n, static_cast<DWORD>(path.Length()));
  EXPECT_EQ(WideString(buf.c_str()), path);
  buf = Buffer(20);
  n = Uc_GetShortPathNameW(path.c_bstr(), buf.data(), 10);
  EXPECT_EQ(n, static_cast<DWORD>(path.Length()) + 1);
  if (Narrow()) {
    // Whole folders below index 10, no terminator: "C:\uXXXX\".
    EXPECT_EQ(buf.substr(0, 10), root.FPath.str() + L"\\X");
  }
}

TEST_P(Wrappers, SystemFoldersAndTempFiles) {
  wchar_t expected[MAX_PATH], got[MAX_PATH];
  UINT n = GetWindowsDirectoryW(expected, MAX_PATH);
  EXPECT_EQ(Uc_GetWindowsDirectoryW(got, MAX_PATH), n);
  EXPECT_STREQ(got, expected);
  n = GetSystemDirectoryW(expected, MAX_PATH);
  EXPECT_EQ(Uc_GetSystemDirectoryW(got, MAX_PATH), n);
  EXPECT_STREQ(got, expected);
  std::wstring small = Buffer(4);
  EXPECT_EQ(Uc_GetSystemDirectoryW(small.data(), 3), n + 1);
  if (Narrow()) { EXPECT_EQ(small, Buffer(4)); }  // plain rule: left as it was
  n = GetTempPathW(MAX_PATH, expected);
  EXPECT_EQ(Uc_GetTempPathW(MAX_PATH, got), n);
  EXPECT_STREQ(got, expected);
  WideTempDir dir;
  wchar_t temp[MAX_PATH] = {};
  ASSERT_NE(Uc_GetTempFileNameW(dir.Path().c_bstr(), L"\x0416t", 0, temp), 0u);
  EXPECT_TRUE(WideFileExists(temp));
  EXPECT_NE(WideExtractFileName(temp).Pos(L"t"), 0);
}

TEST_P(Wrappers, FindRecordsConverted) {
  WideTempDir dir;
  WriteWideFileBytes(dir.File(L"\x0436\x0443\x043A.dat"), "12345");
  WIN32_FIND_DATAW expected, got;
  HANDLE h1 = FindFirstFileW(dir.File(L"*.dat").c_bstr(), &expected);
  ASSERT_NE(h1, INVALID_HANDLE_VALUE);
  FindClose(h1);
  std::memset(&got, 0xCC, sizeof got);
  HANDLE h2 = Uc_FindFirstFileW(dir.File(L"*.dat").c_bstr(), &got);
  ASSERT_NE(h2, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::memcmp(&got, &expected, 44), 0);
  if (!Narrow() || GetACP() == 1251) { EXPECT_STREQ(got.cFileName, expected.cFileName); }
  EXPECT_FALSE(Uc_FindNextFileW(h2, &got));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  FindClose(h2);
  EXPECT_EQ(Uc_FindFirstFileW(dir.File(L"*.none").c_bstr(), &got), INVALID_HANDLE_VALUE);
}

TEST_P(Wrappers, FilesAndFoldersByName) {
  WideTempDir dir;
  const WideString file = dir.File(L"\x0444.txt");
  HANDLE h = Uc_CreateFileW(file.c_bstr(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(Uc_CreateFileW(file.c_bstr(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_TRUE(Uc_SetFileAttributesW(file.c_bstr(), FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(Uc_GetFileAttributesW(file.c_bstr()) & FILE_ATTRIBUTE_HIDDEN, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(Uc_CopyFileW(file.c_bstr(), dir.File(L"copy").c_bstr(), TRUE));
  EXPECT_TRUE(Uc_MoveFileW(dir.File(L"copy").c_bstr(), dir.File(L"\x0434").c_bstr()));
  EXPECT_TRUE(Uc_DeleteFileW(dir.File(L"\x0434").c_bstr()));
  EXPECT_TRUE(Uc_CreateDirectoryW(dir.File(L"\x043F").c_bstr(), nullptr));
  EXPECT_TRUE(Uc_RemoveDirectoryW(dir.File(L"\x043F").c_bstr()));
  DWORD spc = 0, bps = 0, free = 0, total = 0;
  EXPECT_TRUE(Uc_GetDiskFreeSpaceW(L"C:\\", &spc, &bps, &free, &total));
  EXPECT_GT(bps, 0u);
  wchar_t volume[64] = {}, fs[64] = {};
  DWORD serial = 0, maxLen = 0, flags = 0;
  EXPECT_TRUE(Uc_GetVolumeInformationW(L"C:\\", volume, 64, &serial, &maxLen, &flags, fs, 64));
  wchar_t volumeW[64] = {}, fsW[64] = {};
  DWORD serialW = 0;
  GetVolumeInformationW(L"C:\\", volumeW, 64, &serialW, nullptr, nullptr, fsW, 64);
  EXPECT_STREQ(fs, fsW);
  EXPECT_STREQ(volume, volumeW);
  EXPECT_EQ(serial, serialW);
  wchar_t tiny[2] = {L'Z', L'Z'};
  if (Narrow() && std::wcslen(fsW) > 1) {
    EXPECT_TRUE(Uc_GetVolumeInformationW(L"C:\\", nullptr, 0, nullptr, nullptr, nullptr, tiny, 2));
    EXPECT_EQ(tiny[1], L'\0');  // cut to the buffer, terminated
  }
}

TEST_P(Wrappers, WindowTextAndMenus) {
  HWND wnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(wnd, nullptr);
  const wchar_t* text = L"\x0424\x0430\x0439\x043B \x4E2D";
  EXPECT_TRUE(Uc_SetWindowTextW(wnd, text));
  wchar_t back[64];
  GetWindowTextW(wnd, back, 64);
  if (Narrow())
    EXPECT_EQ(WideString(back), AnsiToWide(WideToAnsi(text)));  // what the code page holds
  else
    EXPECT_STREQ(back, text);
  DestroyWindow(wnd);
  HMENU menu = CreatePopupMenu();
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING | MIIM_ID;
  info.wID = 7;
  info.dwTypeData = const_cast<wchar_t*>(L"\x041C\x0435\x043D\x044E");
  EXPECT_TRUE(Uc_InsertMenuItemW(menu, 0, TRUE, &info));
  info.fMask = MIIM_TYPE | MIIM_ID;
  info.fType = MFT_SEPARATOR;
  info.wID = 8;
  info.dwTypeData = nullptr;
  EXPECT_TRUE(Uc_InsertMenuItemW(menu, 1, TRUE, &info));
  GetMenuStringW(menu, 7, back, 64, MF_BYCOMMAND);
  if (!Narrow() || GetACP() == 1251) { EXPECT_STREQ(back, L"\x041C\x0435\x043D\x044E"); }
  EXPECT_EQ(GetMenuItemCount(menu), 2);
  DestroyMenu(menu);
}

TEST_P(Wrappers, DrawnTextHonoursTheCount) {
  Canvas canvas;
  RECT r{0, 0, 64, 24};
  auto draw = [&](const wchar_t* s, UINT count) {
    canvas.Clear();
    EXPECT_TRUE(Uc_ExtTextOutW(canvas.DC(), 1, 1, ETO_OPAQUE, &r, s, count, nullptr));
    return canvas.Pixels();
  };
  auto direct = [&](const wchar_t* s, UINT count) {
    canvas.Clear();
    ExtTextOutW(canvas.DC(), 1, 1, ETO_OPAQUE, &r, s, count, nullptr);
    return canvas.Pixels();
  };
  EXPECT_EQ(draw(L"WM", 1), direct(L"W", 1));
  EXPECT_NE(draw(L"WM", 1), direct(L"WM", 2));
  EXPECT_EQ(draw(L"WM", 2), direct(L"WM", 2));
  RECT calc{0, 0, 0, 0};
  int height = Uc_DrawTextW(canvas.DC(), L"WMWMWM", 2, &calc, DT_CALCRECT | DT_SINGLELINE);
  RECT expected{0, 0, 0, 0};
  int expectedHeight = DrawTextW(canvas.DC(), L"WM", -1, &expected, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(height, expectedHeight);
  EXPECT_EQ(calc.right, expected.right);
  calc = RECT{0, 0, 0, 0};
  Uc_DrawTextExW(canvas.DC(), const_cast<wchar_t*>(L"WMWM"), -1, &calc, DT_CALCRECT | DT_SINGLELINE, nullptr);
  EXPECT_EQ(calc.right, 2 * expected.right);
}

TEST_P(Wrappers, CompareStringByFlags) {
  if (Narrow()) {
    // Flags 0 compare code units: 'a' (0x61) is above 'B' (0x42).
    EXPECT_EQ(Uc_CompareStringW(LOCALE_USER_DEFAULT, 0, L"a", -1, L"B", -1), CSTR_GREATER_THAN);
    EXPECT_EQ(Uc_CompareStringW(LOCALE_USER_DEFAULT, 0, L"abc", 2, L"abd", 2), CSTR_EQUAL);
  } else {
    EXPECT_EQ(Uc_CompareStringW(LOCALE_USER_DEFAULT, 0, L"a", -1, L"B", -1), CSTR_LESS_THAN);  // linguistic
  }
  EXPECT_EQ(Uc_CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, L"a", -1, L"B", -1), CSTR_LESS_THAN);
  EXPECT_EQ(Uc_CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, L"abc", -1, L"ABC", -1), CSTR_EQUAL);
}

TEST_P(Wrappers, CaseOfCharactersAndTexts) {
  WideString s(L"abc\x0451\x00E9");
  Uc_CharUpperBuffW(s.data(), static_cast<DWORD>(s.Length()));
  if (!Narrow()) { EXPECT_EQ(s, WideString(L"ABC\x0401\x00C9")); }
  wchar_t text[] = L"xY";
  EXPECT_EQ(Uc_CharLowerW(text), text);
  EXPECT_STREQ(text, L"xy");
  auto upperOf = [](wchar_t c) {
    return static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(Uc_CharUpperW(reinterpret_cast<LPWSTR>(c))));
  };
  EXPECT_EQ(upperOf(L'q'), L'Q');
  EXPECT_EQ(static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(Uc_CharLowerW(reinterpret_cast<LPWSTR>(L'Q')))), L'q');
  WORD types[3] = {0, 0, 0xEEEE};
  EXPECT_TRUE(Uc_GetStringTypeExW(LOCALE_USER_DEFAULT, CT_CTYPE1, L"a1", 2, types));
  EXPECT_TRUE(types[0] & C1_ALPHA);
  EXPECT_TRUE(types[1] & C1_DIGIT);
  EXPECT_EQ(types[2], 0xEEEE);  // nothing past the count
}

TEST(WrappersAcp, NarrowCaseFollowsTheCodePage) {
  NarrowPlatform narrow;
  auto upperOf = [](wchar_t c) {
    return static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(Uc_CharUpperW(reinterpret_cast<LPWSTR>(c))));
  };
  if (GetACP() == 1251) {
    EXPECT_EQ(upperOf(L'\x0451'), L'\x0401');
    EXPECT_EQ(upperOf(L'\x00E9'), L'\x00E9');  // not in 1251: unchanged
  }
  if (GetACP() == 1252) {
    EXPECT_EQ(upperOf(L'\x0451'), L'\x0451');
    EXPECT_EQ(upperOf(L'\x00E9'), L'\x00C9');
  }
  EXPECT_EQ(upperOf(L'\x4E2D'), L'\x4E2D');
  WideString s(L"\x0436\x00E9z");
  Uc_CharUpperBuffW(s.data(), 3);
  EXPECT_EQ(s[3], L'Z');
  EXPECT_EQ(s[1], GetACP() == 1251 ? L'\x0416' : L'\x0436');
}

TEST_P(Wrappers, StringTableWithAndWithoutTheWideCall) {
  wchar_t buf[64];
  EXPECT_EQ(Uc_LoadStringW(HInstance, 101, buf, 64), 14);
  EXPECT_STREQ(buf, L"First \x0416 string");
  EXPECT_EQ(Uc_LoadStringW(HInstance, 117, buf, 64), 22);
  EXPECT_STREQ(buf, L"Next block, entry five");
  EXPECT_EQ(Uc_LoadStringW(HInstance, 101, buf, 6), 5);  // cut, terminated
  EXPECT_STREQ(buf, L"First");
  EXPECT_EQ(Uc_LoadStringW(HInstance, 999, buf, 64), 0);
  if (Narrow()) { EXPECT_EQ(Uc_LoadStringW(HInstance, 102, nullptr, 0), 6); }  // the length, nothing copied
}

TEST_P(Wrappers, ComputerAndUserNames) {
  wchar_t expected[300], got[300];
  DWORD n1 = 300, n2 = 300;
  ASSERT_TRUE(GetComputerNameW(expected, &n1));
  ASSERT_TRUE(Uc_GetComputerNameW(got, &n2));
  EXPECT_EQ(n2, n1);
  EXPECT_STREQ(got, expected);
  DWORD tiny = 1;
  EXPECT_FALSE(Uc_GetComputerNameW(got, &tiny));
  EXPECT_EQ(tiny, n1 + 1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  n1 = n2 = 300;
  ASSERT_TRUE(GetUserNameW(expected, &n1));
  ASSERT_TRUE(Uc_GetUserNameW(got, &n2));
  EXPECT_EQ(n2, n1);  // counts the terminator, as the wide call does
  EXPECT_STREQ(got, expected);
}

TEST_P(Wrappers, LibrariesProcessesAndShellExecute) {
  HMODULE m = Uc_LoadLibraryW(L"version.dll");
  ASSERT_NE(m, nullptr);
  FreeLibrary(m);
  m = Uc_LoadLibraryExW(L"version.dll", nullptr, 0);
  ASSERT_NE(m, nullptr);
  FreeLibrary(m);
  EXPECT_EQ(Uc_LoadLibraryW(L"no_such.dll"), nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  wchar_t cmd[] = L"cmd.exe /c exit 7";
  ASSERT_TRUE(Uc_CreateProcessW(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 7u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  WideTempDir dir;
  HINSTANCE r = Uc_ShellExecuteW(nullptr, L"", dir.File(L"missing.none").c_bstr(), nullptr, nullptr, SW_HIDE);
  EXPECT_LE(reinterpret_cast<INT_PTR>(r), 32);
}

TEST_P(Wrappers, CurrencyFormat) {
  CURRENCYFMTW fmt{2, 1, 3, const_cast<wchar_t*>(L"."), const_cast<wchar_t*>(L","), 1, 0,
                   const_cast<wchar_t*>(L"$")};
  wchar_t buf[64];
  EXPECT_EQ(Uc_GetCurrencyFormatW(LOCALE_USER_DEFAULT, 0, L"-1234.567", &fmt, buf, 64), 11);
  EXPECT_STREQ(buf, L"-$1,234.57");
  EXPECT_EQ(Uc_GetCurrencyFormatW(LOCALE_USER_DEFAULT, 0, L"-1234.567", &fmt, nullptr, 0), 11);
  EXPECT_EQ(Uc_GetCurrencyFormatW(LOCALE_USER_DEFAULT, 0, L"-1234.567", &fmt, buf, 3), 0);
  // Wine's narrow call refuses long numbers (ERROR_INVALID_PARAMETER), so
  // only the wide road can show a result longer than the narrow buffer.
  std::wstring big(200, L'1');
  if (!Narrow()) { EXPECT_GT(Uc_GetCurrencyFormatW(LOCALE_USER_DEFAULT, 0, big.c_str(), &fmt, nullptr, 0), 64); }
}

TEST_P(Wrappers, VersionInformation) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  DWORD handle = 0;
  DWORD size = Uc_GetFileVersionInfoSizeW(self, &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(Uc_GetFileVersionInfoW(self, 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  ASSERT_TRUE(Uc_VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00030004u);
  wchar_t* value = nullptr;
  ASSERT_TRUE(Uc_VerQueryValueW(block.data(), L"\\stringfileinfo\\041904E3\\ProductName",
                                reinterpret_cast<void**>(&value), &len));
  EXPECT_EQ(WideString(value, static_cast<int>(wcsnlen(value, len))), WideString(L"Fennolit tests"));
  if (!Narrow() || GetACP() == 1251) {
    ASSERT_TRUE(Uc_VerQueryValueW(block.data(), L"\\StringFileInfo\\041904E3\\FileDescription",
                                  reinterpret_cast<void**>(&value), &len));
    EXPECT_EQ(WideString(value, static_cast<int>(wcsnlen(value, len))), WideString(L"\x0422\x0435\x0441\x0442 "
                                                                                    L"\x0441\x0442\x0440\x043E\x043A"));
  }
  EXPECT_FALSE(Uc_VerQueryValueW(block.data(), L"\\StringFileInfo\\041904E3\\Nothing",
                                 reinterpret_cast<void**>(&value), &len));
}

TEST_P(Wrappers, ShellFileOperationsAndInfo) {
  WideTempDir dir;
  const WideString source = dir.File(L"\x0416.txt");
  WriteWideFileBytes(source, "payload");
  std::wstring from = source.str() + L'\0';
  std::wstring to = dir.File(L"\x0416 copy.txt").str() + L'\0';
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_COPY;
  op.pFrom = from.c_str();
  op.pTo = to.c_str();
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
  EXPECT_EQ(Uc_SHFileOperationW(&op), 0);
  EXPECT_FALSE(op.fAnyOperationsAborted);
  EXPECT_EQ(ReadWideFileBytes(dir.File(L"\x0416 copy.txt")), "payload");
  // Onto an existing name with renaming: the mappings, if the shell gives any,
  // come back as a wide block that the wrapper frees.
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_RENAMEONCOLLISION | FOF_WANTMAPPINGHANDLE;
  EXPECT_EQ(Uc_SHFileOperationW(&op), 0);
  if (op.hNameMappings) {
    struct Block {
      int Count;
      SHNAMEMAPPINGW* Entries;
    };
    auto* block = static_cast<Block*>(op.hNameMappings);
    if (Narrow() && block->Count > 0) {
      EXPECT_EQ(block->Entries[0].cchOldPath, static_cast<int>(std::wcslen(block->Entries[0].pszOldPath)));
    }
    Uc_SHFreeNameMappings(op.hNameMappings);
  }
  SHFILEINFOW info;
  std::memset(&info, 0xCC, sizeof info);
  EXPECT_NE(Uc_SHGetFileInfoW(source.c_bstr(), 0, &info, sizeof info, SHGFI_DISPLAYNAME | SHGFI_ATTRIBUTES), 0u);
  if (!Narrow() || GetACP() == 1251) { EXPECT_NE(WideString(info.szDisplayName).Pos(L"\x0416"), 0); }
  LPITEMIDLIST pidl = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_WINDOWS, &pidl), S_OK);
  wchar_t path[MAX_PATH] = {}, expected[MAX_PATH] = {};
  EXPECT_TRUE(Uc_SHGetPathFromIDListW(pidl, path));
  GetWindowsDirectoryW(expected, MAX_PATH);
  EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, path, -1, expected, -1), CSTR_EQUAL);
  std::memset(&info, 0, sizeof info);
  EXPECT_NE(Uc_SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_DISPLAYNAME),
            0u);
  EXPECT_NE(info.szDisplayName[0], L'\0');
  CoTaskMemFree(pidl);
}

namespace {
struct BrowseSeen {
  bool Initialized = false;
  LPARAM Data = 0;
};
int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM, LPARAM data) {
  auto* seen = reinterpret_cast<BrowseSeen*>(data);
  if (msg == BFFM_INITIALIZED) {
    seen->Initialized = true;
    seen->Data = data;
    PostMessageW(wnd, WM_COMMAND, IDCANCEL, 0);
  }
  return 0;
}
}  // namespace

TEST_P(Wrappers, BrowseForFolderPassesTheCallersData) {
  BrowseSeen seen;
  wchar_t display[MAX_PATH] = L"untouched";
  BROWSEINFOW bi{};
  bi.lpszTitle = L"\x0412\x044B\x0431\x043E\x0440";
  bi.pszDisplayName = display;
  bi.lpfn = &BrowseCallback;
  bi.lParam = reinterpret_cast<LPARAM>(&seen);
  bi.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST result = Uc_SHBrowseForFolderW(&bi);
  EXPECT_EQ(result, nullptr);  // cancelled
  EXPECT_TRUE(seen.Initialized);
  EXPECT_EQ(seen.Data, reinterpret_cast<LPARAM>(&seen));
}

TEST_P(Wrappers, IconsOfShellFiles) {
  UINT count = Uc_ExtractIconExW(L"shell32.dll", -1, nullptr, nullptr, 0);
  EXPECT_EQ(count, ExtractIconExW(L"shell32.dll", -1, nullptr, nullptr, 0));
  HICON large = nullptr;
  if (count > 0) {
    EXPECT_EQ(Uc_ExtractIconExW(L"shell32.dll", 0, &large, nullptr, 1), 1u);
    if (large) DestroyIcon(large);
  }
  WideTempDir dir;
  WriteWideFileBytes(dir.File(L"a.txt"), "");
  std::wstring path = dir.File(L"a.txt").str();
  path.resize(MAX_PATH);
  WORD index = 0;
  HICON icon = Uc_ExtractAssociatedIconW(nullptr, path.data(), &index);
  if (icon) DestroyIcon(icon);
}

TEST(Wrappers, IntResourcesAndLanguageIdentifiers) {
  EXPECT_TRUE(Uc_Is_IntResource(MAKEINTRESOURCEW(42)));
  EXPECT_FALSE(Uc_Is_IntResource(L"NAME"));
  EXPECT_EQ(MAKELANGID(0x19, 1), 0x0419);
  EXPECT_EQ(PRIMARYLANGID(0x0419), 0x19);
  EXPECT_EQ(SUBLANGID(0x0419), 1);
  EXPECT_EQ(MAKELCID(0x0419, 0x1234), 0x12340419u);
  EXPECT_EQ(LANGIDFROMLCID(0x12340419), 0x0419);
  EXPECT_EQ(SORTIDFROMLCID(0x12340419), 0x1234);  // the whole high word
  static_assert(LOCALE_USER_DEFAULT == 0x0400);
}
