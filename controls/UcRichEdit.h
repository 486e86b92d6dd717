// The rich edit with wide text. On the Unicode platform the window is a
// "RichEdit20W" of RICHED20.DLL, which keeps a line break as one CR: texts
// and character positions are converted between that and the CR LF breaks
// its callers count. A text that is an RTF document is given to the control
// as RTF.
#pragma once

#include "richedit.h"

#include "UcStdCtrls.h"

class TUcCustomRichEdit;

// The wide lines of a rich edit: memo lines in rich-edit mode, with the
// control's line-break style.
class TUcRichEditStrings : public TUcMemoStrings {
  CL_CLASS(TUcRichEditStrings, TUcMemoStrings)
public:
  TUcRichEditStrings(TUcCustomRichEdit* richEdit, TStrings* ansiLines);

  // The control's OnSelectionChange rests meanwhile.
  void AddStrings(TWideStrings* strings) override;
  using TUcMemoStrings::AddStrings;
  // Without the control's change notification.
  void SetTextStr(const WideString& value) override;
  // PlainText off: the class library's RTF-aware lines (ANSI file names);
  // on: text with a byte-order mark (saved as UTF-16LE with FF FE).
  void LoadFromFile(const WideString& fileName) override;
  void LoadFromStream(TStream* stream) override;
  void SaveToFile(const WideString& fileName) override;
  void SaveToStream(TStream* stream) override;

private:
  TUcCustomRichEdit* FRichEdit;
};

class TUcCustomRichEdit : public TCustomRichEdit {
  CL_CLASS(TUcCustomRichEdit, TCustomRichEdit)
  CL_DECLARE_MESSAGE_MAP(TUcCustomRichEdit)
public:
  explicit TUcCustomRichEdit(TComponent* owner);
  ~TUcCustomRichEdit() override;

  UC_WIDE_HINT_MEMBERS

  // tlbsCR while the rich-edit library of the Unicode platform is loaded
  // (loading it when needed; a failed load is tried again next time), else
  // tlbsCRLF.
  static TUcTextLineBreakStyle LineBreakStyle();

  // The text with CR LF line breaks. Setting an RTF document shows it
  // formatted; setting the text there already does nothing.
  WideString Text();
  void SetText(const WideString& value);
  WideString Caption() { return Text(); }
  void SetCaption(const WideString& value) { SetText(value); }
  bool IsCaptionStored() { return UcControl_IsCaptionStored(this); }
  TUcStrings* Lines() const { return FRichEditStrings; }
  void SetLines(TUcStrings* value) { FRichEditStrings->Assign(value); }
  void SetRichEditStrings(TUcStrings* value) { SetLines(value); }

  // Positions and lengths count a line break as CR LF.
  int GetSelStart() override;
  void SetSelStart(int value) override;
  int GetSelLength() override;
  void SetSelLength(int value) override;
  AnsiString GetSelText() override { return WideToAnsi(GetWideSelText()); }
  virtual WideString GetWideSelText();
  virtual void SetWideSelText(const WideString& value);
  WideString SelText() { return GetWideSelText(); }
  void SetSelText(const WideString& value) { SetWideSelText(value); }
  // Flags 0 replace the document, 2 (ST_SELECTION) the selection.
  void SetRTFText(DWORD flags, const AnsiString& value);

  // The position of the first match (counted with CR LF breaks), or -1.
  int FindText(const WideString& searchStr, int startPos, int length, TSearchTypes options);
  void Print(const AnsiString& caption) override;

  // A control position (CR breaks) as the caller counts it (CR LF breaks),
  // and back.
  int EmulatedCharPos(int pos);
  int RawWin32CharPos(int pos);
  int CharPosToGet(int pos) { return EmulatedCharPos(pos); }
  int CharPosToSet(int pos) { return RawWin32CharPos(pos); }

  UC_STANDARD_OVERRIDES

protected:
  friend class TUcRichEditStrings;
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle(const TCreateParams& params) override;
  void CreateWnd() override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void WMGetTextLength(TMessage& m);

  TUcRichEditStrings* FRichEditStrings;
  // While printing: the length the printer is told (0 otherwise).
  int FPrintingTextLength = 0;
};

class TUcRichEdit : public TUcCustomRichEdit {
  CL_CLASS(TUcRichEdit, TUcCustomRichEdit)
public:
  explicit TUcRichEdit(TComponent* owner) : TUcCustomRichEdit(owner) {}
};

// The module of RICHED20.DLL as this layer loaded it (null until then).
extern HMODULE UcRichEditModule;
// Whether the platform's input-method object is active for rich edits.
bool UcRichEditHasInputMethod();

void UnitInit_UcRichEdit();
void UnitFini_UcRichEdit();
