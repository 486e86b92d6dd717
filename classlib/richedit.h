// The rich edit: the system's RichEdit20A window (RICHED20.DLL, loaded by the
// unit), its lines, RTF streamed in and out, character formats and search.
#pragma once

#include "stdctrls.h"

// The system's header of the same name, with the rich-edit 2.0 records.
#ifndef _RICHEDIT_VER
#define _RICHEDIT_VER 0x0200
#endif
#include_next <richedit.h>

// commdlg.h maps FindText to FindTextA; here it is the rich edit's search.
#undef FindText

class TCustomRichEdit;

enum TAttributeType : uint8_t { atSelected, atDefaultText };

// Character format of the selection or of the control's default text
// (EM_GETCHARFORMAT / EM_SETCHARFORMAT).
class TTextAttributes : public TPersistent {
  CL_CLASS(TTextAttributes, TPersistent)
public:
  TTextAttributes(TCustomRichEdit* richEdit, TAttributeType type) : FRichEdit(richEdit), FType(type) {}

  // clWindowText stands for the control's automatic colour.
  TColor Color();
  void SetColor(TColor value);
  AnsiString Name();
  void SetName(const AnsiString& value);
  // Points.
  int Size();
  void SetSize(int value);
  // Pixels of the screen.
  int Height();
  void SetHeight(int value);
  TFontStyles Style();
  void SetStyle(TFontStyles value);
  TFontCharset Charset();
  void SetCharset(TFontCharset value);
  TFontPitch Pitch();
  void SetPitch(TFontPitch value);
  // Protected text raises OnProtectChange before the user changes it.
  bool Protected();
  void SetProtected(bool value);

  // From a TFont or other attributes; to a TFont.
  void Assign(TPersistent* source) override;
  void AssignTo(TPersistent* dest) override;

private:
  void Get(CHARFORMAT2A& format);
  void Set(CHARFORMAT2A& format);
  TCustomRichEdit* FRichEdit;
  TAttributeType FType;
};

enum TNumberingStyle : uint8_t { nsNone, nsBullet };

// Paragraph format of the paragraphs the selection touches
// (EM_GETPARAFORMAT / EM_SETPARAFORMAT). Indents are in points.
class TParaAttributes : public TPersistent {
  CL_CLASS(TParaAttributes, TPersistent)
public:
  explicit TParaAttributes(TCustomRichEdit* richEdit) : FRichEdit(richEdit) {}

  TAlignment Alignment();
  void SetAlignment(TAlignment value);
  // The first line's indent from the left margin.
  int FirstIndent();
  void SetFirstIndent(int value);
  // The other lines' indent from the first line's.
  int LeftIndent();
  void SetLeftIndent(int value);
  int RightIndent();
  void SetRightIndent(int value);
  TNumberingStyle Numbering();
  void SetNumbering(TNumberingStyle value);
  // Tab stops in points; at most MAX_TAB_STOPS (32).
  int TabCount();
  void SetTabCount(int value);
  int Tab(int index);
  void SetTab(int index, int value);

  void Assign(TPersistent* source) override;

private:
  void Get(PARAFORMAT2& format);
  void Set(PARAFORMAT2& format);
  TCustomRichEdit* FRichEdit;
};

// The lines of a rich edit, read from and written to its window; whole
// documents go in and out as RTF (as plain text with PlainText set).
class TRichEditStrings : public TMemoStrings {
  CL_CLASS(TRichEditStrings, TMemoStrings)
public:
  explicit TRichEditStrings(TCustomRichEdit* richEdit);
  void SetUpdateState(bool updating) override;
  // The lines joined with CR LF, as every list does (the control itself keeps
  // a paragraph mark as one character).
  AnsiString GetTextStr() override;
  void SetTextStr(const AnsiString& text) override;
  // A stream that is not RTF is read as plain text.
  void LoadFromStream(TStream* stream) override;
  void SaveToStream(TStream* stream) override;
  void LoadFromFile(const AnsiString& fileName) override;
  void SaveToFile(const AnsiString& fileName) override;

private:
  TCustomRichEdit* FRichEdit;
};

using TSearchTypes = uint8_t;
enum : uint8_t { stWholeWord = 1, stMatchCase = 2 };

using TRichEditResizeEvent = TEvent<void(TObject* sender, const TRect& rect)>;
using TRichEditProtectChange = TEvent<void(TObject* sender, int startPos, int endPos, bool& allowChange)>;

class TCustomRichEdit : public TCustomMemo {
  CL_CLASS(TCustomRichEdit, TCustomMemo)
  CL_DECLARE_MESSAGE_MAP(TCustomRichEdit)
public:
  explicit TCustomRichEdit(TComponent* owner);
  ~TCustomRichEdit() override;

  TTextAttributes* SelAttributes() const { return FSelAttributes; }
  void SetSelAttributes(TTextAttributes* value) { FSelAttributes->Assign(value); }
  TTextAttributes* DefAttributes() const { return FDefAttributes; }
  void SetDefAttributes(TTextAttributes* value) { FDefAttributes->Assign(value); }
  TParaAttributes* Paragraph() const { return FParagraph; }
  void SetParagraph(TParaAttributes* value) { FParagraph->Assign(value); }
  // Lines load and save plain text instead of RTF.
  bool PlainText() const { return FPlainText; }
  void SetPlainText(bool value) { FPlainText = value; }
  // Off: the scroll bars show, disabled, when nothing is to scroll.
  bool HideScrollBars() const { return FHideScrollBars; }
  void SetHideScrollBars(bool value);

  // Selection in characters of the control (EM_EXGETSEL / EM_EXSETSEL).
  int GetSelStart() override;
  void SetSelStart(int value) override;
  int GetSelLength() override;
  void SetSelLength(int value) override;
  AnsiString GetSelText() override;

  // The position of the first match in [startPos, startPos + length), or -1.
  virtual int FindText(const AnsiString& searchStr, int startPos, int length, TSearchTypes options);
  // Prints the whole text on the printer, as many pages as it takes.
  virtual void Print(const AnsiString& caption);

  TNotifyEvent OnSelectionChange;
  TRichEditResizeEvent OnResizeRequest;
  // The user is about to change protected text in [startPos, endPos);
  // allowChange false keeps it.
  TRichEditProtectChange OnProtectChange;
  TNotifyEvent GetOnSelectionChange() const { return OnSelectionChange; }
  void SetOnSelectionChange(TNotifyEvent v) { OnSelectionChange = v; }

protected:
  friend class TRichEditStrings;
  friend class TTextAttributes;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  // The text with its formats is kept while there is no window.
  void DestroyWnd() override;
  void SendMaxLength() override;
  virtual void SelectionChange();
  virtual void RequestSize(const TRect& rect);
  virtual bool ProtectChange(int startPos, int endPos);
  void CNNotify(TMessage& m);
  void CMColorChanged(TMessage& m);
  void CMFontChanged(TMessage& m);
  // Streams the document in (replacing it) or out; format SF_RTF or SF_TEXT.
  void StreamIn(TStream* stream, UINT format);
  void StreamOut(TStream* stream, UINT format);

  TTextAttributes* FSelAttributes;
  TTextAttributes* FDefAttributes;
  TParaAttributes* FParagraph;
  TMemoryStream* FKeptText = nullptr;
  bool FPlainText = false;
  bool FHideScrollBars = true;
};

class TRichEdit : public TCustomRichEdit {
  CL_CLASS(TRichEdit, TCustomRichEdit)
public:
  explicit TRichEdit(TComponent* owner) : TCustomRichEdit(owner) {}
};

// The rich-edit library's module (0 when it could not be loaded).
extern HMODULE RichEditModule;

void UnitInit_richedit();
void UnitFini_richedit();
