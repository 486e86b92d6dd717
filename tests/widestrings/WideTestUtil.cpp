#include "WideTestUtil.h"

#include <cstdio>

#include "UcCodePages.h"
#include "WideStringsUnits.h"

static TestUnits WideStringsTestUnits(WideStringsUnitTable, WideStringsUnitCount);

WideTempDir::WideTempDir() : FCurrentBefore(CurrentFolder()) {
  wchar_t base[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, base);
  static unsigned counter = 0;
  for (;;) {
    wchar_t name[MAX_PATH];
    std::swprintf(name, MAX_PATH, L"%lsfnw%lu_%u_%lu", base, GetCurrentProcessId(), ++counter, GetTickCount());
    if (CreateDirectoryW(name, nullptr)) {
      FPath = name;
      break;
    }
  }
}

WideTempDir::~WideTempDir() { RemoveScratchFolder(FPath.str(), FCurrentBefore); }

std::string HexBytes(const std::string& bytes) {
  std::string r;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", c);
    r += buf;
  }
  if (!r.empty()) r.pop_back();
  return r;
}

std::string HexOf(const WideString& s) {
  std::string r;
  char buf[8];
  for (wchar_t c : s.str()) {
    std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(c));
    r += buf;
  }
  if (!r.empty()) r.pop_back();
  return r;
}

std::string Bytes(const char* hex) {
  std::string r;
  unsigned v;
  int n;
  while (std::sscanf(hex, " %2x%n", &v, &n) == 1) {
    r += static_cast<char>(v);
    hex += n;
  }
  return r;
}
