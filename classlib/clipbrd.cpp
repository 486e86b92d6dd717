#include "clipbrd.h"

#include <cstring>

CL_DEFINE_CLASS(TClipboard, TPersistent)

namespace {
TClipboard* TheClipboard = nullptr;
}  // namespace

void UnitInit_clipbrd() {}

void UnitFini_clipbrd() {
  delete TheClipboard;
  TheClipboard = nullptr;
}

TClipboard* Clipboard() {
  if (!TheClipboard) TheClipboard = new TClipboard;
  return TheClipboard;
}

TClipboard::~TClipboard() {
  while (FOpenRefCount > 0) Close();
}

void TClipboard::Open() {
  if (FOpenRefCount == 0) {
    // The clipboard needs an owner window: EmptyClipboard gives the clipboard
    // to the window that opened it, and data stored without one is refused.
    FWindow = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, HInstance, nullptr);
    if (!OpenClipboard(FWindow)) {
      if (FWindow) DestroyWindow(FWindow);
      FWindow = nullptr;
      throw Exception("Cannot open clipboard");
    }
    FEmptied = false;
  }
  ++FOpenRefCount;
}

void TClipboard::Close() {
  if (FOpenRefCount == 0) return;
  if (--FOpenRefCount == 0) {
    CloseClipboard();
    if (FWindow) DestroyWindow(FWindow);
    FWindow = nullptr;
  }
}

void TClipboard::Adding() {
  if (FOpenRefCount > 0 && !FEmptied) {
    EmptyClipboard();
    FEmptied = true;
  }
}

void TClipboard::Clear() {
  Open();
  EmptyClipboard();
  FEmptied = true;
  Close();
}

bool TClipboard::HasFormat(UINT format) { return IsClipboardFormatAvailable(format) != 0; }

AnsiString TClipboard::GetAsText() {
  AnsiString result;
  Open();
  HANDLE data = GetClipboardData(CF_TEXT);
  if (data) {
    if (const char* p = static_cast<const char*>(GlobalLock(data))) {
      result = AnsiString(p, static_cast<int>(strnlen(p, GlobalSize(data))));
      GlobalUnlock(data);
    }
  }
  Close();
  return result;
}

void TClipboard::SetAsText(const AnsiString& value) { SetBuffer(CF_TEXT, value.c_str(), value.Length() + 1); }

void TClipboard::SetBuffer(UINT format, const void* buffer, int size) {
  HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, static_cast<SIZE_T>(size));
  if (!data) throw EOutOfMemory("Out of memory");
  void* p = GlobalLock(data);
  if (!p) {
    GlobalFree(data);
    throw EOutOfMemory("Out of memory");
  }
  std::memcpy(p, buffer, static_cast<size_t>(size));
  GlobalUnlock(data);
  SetAsHandle(format, data);
}

void TClipboard::SetAsHandle(UINT format, HANDLE value) {
  Open();
  try {
    Adding();
    if (!SetClipboardData(format, value)) {
      // Not taken: the block is still ours.
      GlobalFree(value);
      RaiseLastOSError();
    }
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

HANDLE TClipboard::GetAsHandle(UINT format) {
  Open();
  HANDLE data = GetClipboardData(format);
  Close();
  return data;
}
