// What the engine's own source files share and nobody else needs: the glue to
// the wide-string list and file stream, and small path helpers.
#pragma once

#include "UcClasses.h"
#include "UcSysUtils.h"
#include "UcWideStreams.h"

#include "ZipEngine.h"

inline int ZEListCount(TUcStringList* list) { return list ? list->Count() : 0; }
inline WideString ZEListItem(TUcStringList* list, int index) { return list->Strings(index); }
inline void ZEListAdd(TUcStringList* list, const WideString& s) { list->Add(s); }

// Replaces every occurrence of one character.
inline WideString ZEReplaceChar(WideString s, wchar_t from, wchar_t to) {
  for (wchar_t& c : s.str())
    if (c == from) c = to;
  return s;
}

inline wchar_t ZELastChar(const WideString& s) { return s.IsEmpty() ? L'\0' : s[s.Length()]; }

inline WideString ZELower(WideString s) {
  if (s.Length() > 0) CharLowerBuffW(s.data(), static_cast<DWORD>(s.Length()));
  return s;
}

inline bool ZEContains(const WideString& s, const wchar_t* part) { return s.str().find(part) != std::wstring::npos; }

// The DOS date-time of a date-time value, 0 when it cannot be expressed.
int ZEDateTimeToDos(TDateTime dt);

// A read-only window of count bytes of another stream, from start on: an item
// added from a caller's stream takes exactly the bytes it was given.
class TZEStreamView : public TStream {
  CL_CLASS(TZEStreamView, TStream)
public:
  TZEStreamView(TStream* base, int64_t start, int64_t count) : FBase(base), FStart(start), FCount(count) {}
  int32_t Read(void* buffer, int32_t count) override {
    if (count <= 0 || FPos >= FCount) return 0;
    if (count > FCount - FPos) count = static_cast<int32_t>(FCount - FPos);
    FBase->SetPosition(FStart + FPos);
    int32_t got = FBase->Read(buffer, count);
    if (got > 0) FPos += got;
    return got;
  }
  int32_t Write(const void*, int32_t) override { return 0; }
  using TStream::Seek;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    int64_t p = origin == soBeginning ? offset : origin == soCurrent ? FPos + offset : FCount + offset;
    FPos = p < 0 ? 0 : p;
    return FPos;
  }
  int64_t GetSize() override { return FCount; }

private:
  TStream* FBase;
  int64_t FStart, FCount, FPos = 0;
};

// Creates a new empty file with a unique name "FC<hex>.tmp" in folder and
// returns its name; empty when the folder takes none. The name is built from
// the folder's own length, so a deep folder cannot overrun a buffer.
WideString ZECreateTempFile(WideString folder);

// Percentages that never divide by zero.
inline double ZEPercent(double done, double total) { return total > 0 ? done / total * 100.0 : 0.0; }
