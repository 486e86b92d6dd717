// Helpers shared by the wide-string tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "system.h"

#include "UcCodePages.h"

// Drives the narrow road of every wrapper while it lives.
class NarrowPlatform {
public:
  NarrowPlatform() : FSaved(Win32PlatformIsUnicode) { Win32PlatformIsUnicode = false; }
  ~NarrowPlatform() { Win32PlatformIsUnicode = FSaved; }
  NarrowPlatform(const NarrowPlatform&) = delete;
  NarrowPlatform& operator=(const NarrowPlatform&) = delete;

private:
  bool FSaved;
};

// Runs a test body on the wide road and again on the narrow one.
enum class TRoad { Wide, Narrow };
inline const char* RoadName(const testing::TestParamInfo<TRoad>& info) {
  return info.param == TRoad::Wide ? "Wide" : "Narrow";
}
class BothRoads : public testing::TestWithParam<TRoad> {
protected:
  void SetUp() override {
    FSaved = Win32PlatformIsUnicode;
    Win32PlatformIsUnicode = GetParam() == TRoad::Wide;
  }
  void TearDown() override { Win32PlatformIsUnicode = FSaved; }
  bool Narrow() const { return GetParam() == TRoad::Narrow; }

private:
  bool FSaved = true;
};

// A scratch folder removed with the wide calls, so that names outside the
// ANSI code page go too.
class WideTempDir {
public:
  WideTempDir();
  ~WideTempDir();
  WideTempDir(const WideTempDir&) = delete;
  WideTempDir& operator=(const WideTempDir&) = delete;
  const WideString& Path() const { return FPath; }
  WideString File(const WideString& name) const { return FPath + L"\\" + name; }

private:
  WideString FPath;
  std::wstring FCurrentBefore;
};

inline void WriteWideFileBytes(const WideString& path, const std::string& bytes) { WriteFileBytes(path.str(), bytes); }
inline std::string ReadWideFileBytes(const WideString& path) { return ReadFileBytes(path.str()); }

// "41 00 0D" style dump for messages.
std::string HexBytes(const std::string& bytes);
std::string HexOf(const WideString& s);
// A byte string written as hex pairs.
std::string Bytes(const char* hex);
