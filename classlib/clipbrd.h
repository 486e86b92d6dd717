// The system clipboard as an object. Open/Close nest; the clipboard is
// emptied once per (outermost) opening, before the first format is stored, so
// that several formats stored within one opening stay side by side.
#pragma once

#include "classes.h"

class TClipboard : public TPersistent {
  CL_CLASS(TClipboard, TPersistent)
public:
  TClipboard() = default;
  ~TClipboard() override;
  TClipboard(const TClipboard&) = delete;
  TClipboard& operator=(const TClipboard&) = delete;

  // Raises Exception "Cannot open clipboard" when another window holds it.
  virtual void Open();
  virtual void Close();
  void Clear();
  bool HasFormat(UINT format);
  // CF_TEXT, in the system's ANSI code page.
  AnsiString GetAsText();
  void SetAsText(const AnsiString& value);
  AnsiString AsText() { return GetAsText(); }
  // Copies size bytes into movable shared memory stored under format.
  void SetBuffer(UINT format, const void* buffer, int size);
  // Hands a global memory block to the clipboard, which then owns it; when the
  // clipboard refuses it, the block is freed and the OS error raised.
  void SetAsHandle(UINT format, HANDLE value);
  HANDLE GetAsHandle(UINT format);

protected:
  // Before a format is stored: empties the clipboard once per opening.
  void Adding();

private:
  int FOpenRefCount = 0;
  HWND FWindow = nullptr;
  bool FEmptied = false;
};

// The process-wide clipboard object, made on the first call.
TClipboard* Clipboard();

void UnitInit_clipbrd();
void UnitFini_clipbrd();
