#include "UcClipboard.h"

#include "UcCodePages.h"

#include <cstring>

CL_DEFINE_CLASS(TUcClipboard, TClipboard)

namespace {
TUcClipboard* TheUcClipboard = nullptr;
}  // namespace

void UnitInit_UcClipboard() {}

void UnitFini_UcClipboard() {
  delete TheUcClipboard;
  TheUcClipboard = nullptr;
}

TUcClipboard* UcClipboard() {
  if (!TheUcClipboard) TheUcClipboard = new TUcClipboard;
  return TheUcClipboard;
}

WideString TUcClipboard::GetAsWideText() {
  WideString result;
  Open();
  try {
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data) {
      if (const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(data))) {
        result = WideString(p, static_cast<int>(wcsnlen(p, GlobalSize(data) / sizeof(wchar_t))));
        GlobalUnlock(data);
      }
    }
  } catch (...) {
    Close();
    throw;
  }
  Close();
  if (result.IsEmpty()) result = StringToWideStringEx(GetAsText(), DefaultSystemCodePage());
  return result;
}

void TUcClipboard::SetAsWideText(const WideString& value) {
  // One opening: the clipboard is emptied once, so both formats stay.
  Open();
  try {
    SetAsText(WideStringToStringEx(value, DefaultSystemCodePage()));
    SetBuffer(CF_UNICODETEXT, value.c_bstr(), (value.Length() + 1) * static_cast<int>(sizeof(wchar_t)));
  } catch (...) {
    Close();
    throw;
  }
  Close();
}
