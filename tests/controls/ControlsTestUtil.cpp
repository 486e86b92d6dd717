#include "ControlsTestUtil.h"

#include "ControlsUnits.h"
#include "WideStringsUnits.h"

// The wide-string layer's units, then this layer's, after the class library's.
static TestUnits WideStringsTestUnits(WideStringsUnitTable, WideStringsUnitCount);
static TestUnits ControlsTestUnits(ControlsUnitTable, ControlsUnitCount);

const wchar_t* const kMixedText = L"\u0416\u0451\u043B\u0442\u044B\u0439 \u0395\u03BB\u03BB\u03AC\u03B4\u03B1 \u65E5\u672C\u8A9E";
const wchar_t* const kCyrillicText = L"\u0424\u0430\u0439\u043B";
const wchar_t* const kCjkText = L"\u4E2D\u6587";

CL_DEFINE_COMPONENT(TTestUcEdit, TEdit)
CL_BEGIN_MESSAGE_MAP(TTestUcEdit, TEdit)
  CL_MESSAGE(CM_TEXTCHANGED, CMTextChanged)
  CL_MESSAGE(WM_CREATE, WMCreate)
  CL_MESSAGE(WM_TEST_THROW, WMTestThrow)
CL_END_MESSAGE_MAP

TTestUcEdit::TTestUcEdit(TComponent* owner) : TEdit(owner) { SetBounds(10, 10, 200, 24); }

void TTestUcEdit::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, L"EDIT"); }

void TTestUcEdit::ActionChange(TObject* sender, bool checkDefaults) {
  UcControl_BeforeInherited_ActionChange(this, sender, checkDefaults);
  TEdit::ActionChange(sender, checkDefaults);
}

const TMetaClass* TTestUcEdit::GetActionLinkClass() {
  return UcControl_GetActionLinkClass(this, TEdit::GetActionLinkClass());
}

void TTestUcEdit::KeyPress(char& key) {
  KeyPresses.push_back(key);
  TEdit::KeyPress(key);
}

void TTestUcEdit::CMTextChanged(TMessage& m) {
  ++TextChanges;
  if (OnTextChanged) OnTextChanged(this);
  InheritedMsg(&TEdit::MessageMap, m);
}

void TTestUcEdit::WMCreate(TMessage& m) {
  // A child that asks its parent how to notify it while it is being made.
  NotifyFormatDuringCreate =
      SendMessageW(GetParent(WindowHandle()), WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(WindowHandle()), NF_QUERY);
  InheritedMsg(&TEdit::MessageMap, m);
}

void TTestUcEdit::WMTestThrow(TMessage& m) {
  (void)m;
  throw EConvertError("thrown in a Unicode window");
}

CL_DEFINE_COMPONENT(TTestUcLabel, TLabel)
CL_BEGIN_MESSAGE_MAP(TTestUcLabel, TLabel)
  CL_MESSAGE(CM_TEXTCHANGED, CMTextChanged)
  CL_MESSAGE(CM_HINTSHOW, CMHintShow)
CL_END_MESSAGE_MAP

void TTestUcLabel::ActionChange(TObject* sender, bool checkDefaults) {
  UcControl_BeforeInherited_ActionChange(this, sender, checkDefaults);
  TLabel::ActionChange(sender, checkDefaults);
}

const TMetaClass* TTestUcLabel::GetActionLinkClass() {
  return UcControl_GetActionLinkClass(this, TLabel::GetActionLinkClass());
}

void TTestUcLabel::CMTextChanged(TMessage& m) {
  ++TextChanges;
  AnsiTextsSeen.push_back(TControl::Text().str());
  InheritedMsg(&TLabel::MessageMap, m);
}

void TTestUcLabel::CMHintShow(TMessage& m) {
  ProcessCMHintShowMsg(m);
  InheritedMsg(&TLabel::MessageMap, m);
}

void UcGuiTest::SetUp() {
  GuiTest::SetUp();
  Form = NewForm<TForm>(nullptr);
  Form->SetBounds(100, 100, 420, 300);
  Form->Show();
  Pump(20);
}

void UcGuiTest::TearDown() {
  delete Form;
  Form = nullptr;
  GuiTest::TearDown();
}

std::wstring Narrowed(const std::wstring& s) { return AnsiToWide(WideToAnsi(WideString(s))).str(); }

