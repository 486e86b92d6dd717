// Labels, edits, memos, buttons and check boxes on a real form: native state
// read back from the windows, events in their order, pixels of the label.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms.h"
#include "guitest.h"
#include "harness.h"
#include "stdctrls.h"

// Readable failure messages for the strings.
inline void PrintTo(const AnsiString& s, std::ostream* os) { *os << '"' << s.c_str() << '"'; }

namespace {
// Texts in the ANSI code page (the sources are UTF-8).
AnsiString Ru(const wchar_t* s) { return WideToAnsi(WideString(s)); }
}  // namespace

namespace {
struct TLog {
  std::vector<std::string> Events;
  TCustomCheckBox* Box = nullptr;
  void Click(TObject*) { Events.push_back("click"); }
  void Change(TObject*) { Events.push_back("change"); }
  void MouseUp(TObject*, TMouseButton, TShiftState, int, int) {
    Events.push_back(std::string("up:") + (Box && Box->Checked() ? "checked" : "unchecked"));
  }
  void Throw(TObject*) { throw Exception("handler failed"); }
};

struct TFormFixture : ::testing::Test {
  TForm* Form = nullptr;
  void SetUp() override {
    Form = NewForm<TForm>(nullptr);
    Form->SetBounds(10, 10, 320, 240);
    Form->Show();
    Pump(50);
  }
  void TearDown() override {
    delete Form;
    Pump(20);
  }
};

// The colour at a client point of a window's capture.
COLORREF CaptureAt(HWND wnd, int x, int y) { return CaptureClient(wnd).At(x, y); }
}  // namespace

using StdCtrls = TFormFixture;

TEST_F(StdCtrls, EditKeepsItsStateAcrossRecreation) {
  auto* edit = new TEdit(Form);
  edit->SetParent(Form);
  edit->SetBounds(10, 10, 150, 25);
  TLog log;
  edit->OnChange = MakeEvent<&TLog::Change>(&log);
  edit->SetText(Ru(L"Привет, мир"));
  EXPECT_EQ(WindowTextA(edit->Handle()), Ru(L"Привет, мир"));
  EXPECT_EQ(log.Events.size(), 1u);
  edit->SetMaxLength(20);
  EXPECT_EQ(SendMessageA(edit->Handle(), EM_GETLIMITTEXT, 0, 0), 20);
  edit->SetSelStart(2);
  edit->SetSelLength(4);
  EXPECT_EQ(edit->SelText(), Ru(L"ивет"));
  DWORD s = 0, e = 0;
  SendMessageA(edit->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
  EXPECT_EQ(s, 2u);
  EXPECT_EQ(e, 6u);
  edit->SetModified(true);
  edit->SetReadOnly(true);
  EXPECT_TRUE(GetWindowLongA(edit->Handle(), GWL_STYLE) & ES_READONLY);
  HWND old = edit->Handle();
  edit->RecreateWnd();
  Pump(20);
  EXPECT_NE(edit->Handle(), old);
  EXPECT_EQ(WindowTextA(edit->Handle()), Ru(L"Привет, мир"));
  EXPECT_EQ(SendMessageA(edit->Handle(), EM_GETLIMITTEXT, 0, 0), 20);
  EXPECT_TRUE(edit->Modified());
  EXPECT_EQ(edit->SelStart(), 2);
  EXPECT_EQ(edit->SelLength(), 4);
  EXPECT_TRUE(GetWindowLongA(edit->Handle(), GWL_STYLE) & ES_READONLY);
  edit->SetSelText(Ru(L"ИВЕТ"));
  EXPECT_EQ(edit->Text(), Ru(L"ПрИВЕТ, мир"));
  edit->SetPasswordChar('*');
  EXPECT_EQ(SendMessageA(edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), '*');
  edit->Clear();
  EXPECT_EQ(edit->Text(), "");
}

TEST_F(StdCtrls, MemoLines) {
  auto* memo = new TMemo(Form);
  memo->SetParent(Form);
  memo->SetBounds(10, 40, 200, 100);
  memo->Lines()->SetText("one\r\ntwo\r\nthree\r\n");
  EXPECT_EQ(memo->Lines()->Count(), 3);
  EXPECT_EQ(memo->Lines()->Strings(1), "two");
  memo->Lines()->Add("four");
  memo->Lines()->Insert(0, "zero");
  memo->Lines()->Delete(2);
  // The text set with a final line break keeps its empty last line, so the
  // added line goes before it.
  EXPECT_EQ(memo->Text(), "zero\r\none\r\nthree\r\nfour\r\n");
  memo->Lines()->Put(1, "ONE");
  EXPECT_EQ(memo->Lines()->Strings(1), "ONE");
  EXPECT_TRUE(GetWindowLongA(memo->Handle(), GWL_STYLE) & ES_MULTILINE);
}

TEST_F(StdCtrls, CheckBoxToggleComesBeforeMouseUp) {
  auto* box = new TCheckBox(Form);
  box->SetParent(Form);
  box->SetBounds(10, 150, 150, 20);
  box->SetCaption(Ru(L"Флажок"));
  TLog log;
  log.Box = box;
  box->OnClick = MakeEvent<&TLog::Click>(&log);
  box->OnMouseUp = MakeEvent<&TLog::MouseUp>(&log);
  PostClick(box->Handle(), 5, 5);
  Pump(100);
  std::vector<std::string> expected = {"click", "up:checked"};
  EXPECT_EQ(log.Events, expected);
  EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  // Setting the state shows in the window and counts as a click; it survives
  // re-creation.
  box->SetAllowGrayed(true);
  box->SetState(cbGrayed);
  EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
  box->RecreateWnd();
  EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
  box->Toggle();
  EXPECT_EQ(box->State(), cbChecked);
  EXPECT_EQ(log.Events.size(), 4u);
}

TEST_F(StdCtrls, ButtonClickSetsTheModalResultAndDefaultAnswersEnter) {
  auto* ok = new TButton(Form);
  ok->SetParent(Form);
  ok->SetBounds(10, 180, 75, 25);
  ok->SetCaption(Ru(L"&Да"));
  ok->SetModalResult(mrOk);
  ok->SetDefault(true);
  TLog log;
  ok->OnClick = MakeEvent<&TLog::Click>(&log);
  EXPECT_EQ(GetWindowLongA(ok->Handle(), GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
  PostClick(ok->Handle(), 5, 5);
  Pump(100);
  EXPECT_EQ(log.Events.size(), 1u);
  EXPECT_EQ(Form->ModalResult(), mrOk);
  Form->SetModalResult(mrNone);
  // Enter goes to the default button through the dialog-key message.
  EXPECT_EQ(ok->Perform(CM_DIALOGKEY, VK_RETURN, 0), 1);
  EXPECT_EQ(log.Events.size(), 2u);
  EXPECT_EQ(ok->Perform(CM_DIALOGKEY, VK_ESCAPE, 0), 0);
  ok->SetCancel(true);
  EXPECT_EQ(ok->Perform(CM_DIALOGKEY, VK_ESCAPE, 0), 1);
  // The hot key works in either case of the Cyrillic letter.
  EXPECT_EQ(ok->Perform(CM_DIALOGCHAR, static_cast<BYTE>('\xE4'), 0), 1);  // 'д'
  EXPECT_EQ(log.Events.size(), 4u);
}

TEST_F(StdCtrls, ExceptionInAHandlerReachesTheApplication) {
  auto* b = new TButton(Form);
  b->SetParent(Form);
  TLog log;
  b->OnClick = MakeEvent<&TLog::Throw>(&log);
  static int caught = 0;
  caught = 0;
  struct THandler {
    void On(TObject*, Exception*) { ++caught; }
  } handler;
  TExceptionEvent saved = Application->OnException;
  Application->OnException = MakeEvent<&THandler::On>(&handler);
  PostClick(b->Handle(), 5, 5);
  Pump(100);
  Application->OnException = saved;
  EXPECT_EQ(caught, 1);
  EXPECT_TRUE(IsWindow(b->Handle()));
}

TEST_F(StdCtrls, LabelSizesAndDrawsItsText) {
  auto* label = new TLabel(Form);
  label->SetParent(Form);
  label->SetLeft(20);
  label->SetTop(20);
  label->Font()->SetName("Arial");
  label->Font()->SetHeight(-20);
  label->Font()->SetColor(clBlue);
  label->SetColor(clYellow);
  label->SetCaption("");
  EXPECT_GT(label->Height(), 0);  // an empty label still has a line's height
  label->SetCaption(Ru(L"ШШШШ"));
  int wide = label->Width();
  EXPECT_GT(wide, 20);
  label->SetAlignment(taRightJustify);
  label->SetCaption(Ru(L"Ш"));
  EXPECT_EQ(label->Left() + label->Width(), 20 + wide);  // keeps its right side
  label->SetCaption(Ru(L"ШШШШ"));
  Form->Repaint();
  Pump(50);
  // Background in the label's colour, some pixels in its font colour.
  EXPECT_EQ(CaptureAt(Form->Handle(), label->Left() + 1, label->Top() + 1), RGB(255, 255, 0));
  int blue = 0;
  for (int x = label->Left(); x < label->Left() + label->Width(); ++x)
    if (CaptureAt(Form->Handle(), x, label->Top() + label->Height() / 2) == RGB(0, 0, 255)) ++blue;
  EXPECT_GT(blue, 2);

  // The hot key moves the focus to the focus control.
  auto* edit = new TEdit(Form);
  edit->SetParent(Form);
  edit->SetTop(100);
  label->SetCaption(Ru(L"&Имя"));
  label->SetFocusControl(edit);
  EXPECT_EQ(label->Perform(CM_DIALOGCHAR, static_cast<BYTE>('\xC8'), 0), 1);  // 'И'
  delete edit;
  EXPECT_EQ(label->FocusControl(), nullptr);
}
