// Helpers of the archive engine's tests: wide paths, Linux-side peers, and a
// component set up the way the program sets up its own.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "harness.h"
#include "ZipEngine.h"

inline WideString W(const std::string& ansi) { return AnsiToWide(AnsiString(ansi)); }
// The ANSI form of a wide text (test sources are UTF-8: Cyrillic literals are
// written wide).
inline std::string A(const wchar_t* wide) { return WideToAnsi(WideString(wide)).str(); }

// The Unix path of a file of a test folder.
inline std::string UP(const TempDir& dir, const std::string& name) { return UnixPath(dir.File(name)); }

// A component as the main window configures its own: level 9, OEM names with
// the Unicode-name block, no ZIP64, flushing on.
TZipEngine* NewListEngine();

// Writes bytes to a file by wide name.
void WriteWide(const WideString& path, const std::string& bytes);
std::string ReadWide(const WideString& path);

// Boxes the engine showed during the tests (none is expected unless a test
// scripts them): every default box is answered Abort / Cancel and recorded.
extern std::vector<std::wstring> ShownBoxes;
// The engine's own boxes, for the tests that answer them through the harness.
extern TZEDialogs BuiltInDialogs;

// The number of files (not folders) matching a pattern; wide for names
// outside the code page and paths of any length.
int CountFiles(const std::wstring& pattern);
inline int CountFiles(const std::string& pattern) { return CountFiles(W(pattern).str()); }

// The native number of the EZEException that f raises, -1 when none.
int NativeOf(const std::function<void()>& f);

// A read-only stream of Size bytes that a test fills in Fill.
struct TTestSource : TStream {
  int64_t Size = 0, Pos = 0;
  virtual void Fill(uint8_t* buffer, int64_t at, int32_t count) = 0;
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void*, int32_t) override { return 0; }
  using TStream::Seek;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return Size; }
};
