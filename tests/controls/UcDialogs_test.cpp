// The wide find and replace dialogs on real windows (a Unicode window that
// hands back text outside the code page), and the layout, buttons, Ctrl+C
// text and answers of the wide message dialogs and input query.
#include "ControlsTestUtil.h"

#include "UcClipboard.h"
#include "UcDialogs.h"
#include "UcExtCtrls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using UcDialogs = UcGuiTest;

TUcButton* ObjectAsButton(TComponent* c) { return c->Is<TUcButton>() ? static_cast<TUcButton*>(c) : nullptr; }

struct TFindEvents {
  int Finds = 0, Replaces = 0;
  std::wstring Text, Replacement;
  TFindOptions Options = 0;
  TUcReplaceDialog* Dialog = nullptr;
  void Find(TObject*) {
    ++Finds;
    Text = Dialog->FindText().str();
    Options = Dialog->Options();
  }
  void Replace(TObject*) {
    ++Replaces;
    Replacement = Dialog->ReplaceText().str();
    Options = Dialog->Options();
  }
};

TUcFindDialog* Current = nullptr;
bool CurrentClosed() { return Current->FindHandle() == nullptr; }

// The find-what edit and the replace-with edit of the system's dialog.
constexpr int FindWhatEdit = 0x480;
constexpr int ReplaceWithEdit = 0x481;
constexpr int ReplaceButton = 0x400;

TEST_F(UcDialogs, ReplaceDialogStaysUnicodeAndReturnsWideText) {
  TUcReplaceDialog d(nullptr);
  d.SetFindText(std::wstring(kCyrillicText) + kCjkText);
  TFindEvents events;
  events.Dialog = &d;
  d.OnFind = MakeEvent<&TFindEvents::Find>(&events);
  d.OnReplace = MakeEvent<&TFindEvents::Replace>(&events);
  ASSERT_TRUE(d.Execute());
  HWND wnd = d.FindHandle();
  ASSERT_NE(wnd, nullptr);
  EXPECT_TRUE(IsWindowUnicode(wnd)) << "subclassing turned the dialog into an ANSI window";
  EXPECT_NE(d.Redirector(), nullptr);
  EXPECT_EQ(d.Record().hwndOwner, d.Redirector()->Handle());

  wchar_t shown[64] = {};
  GetDlgItemTextW(wnd, FindWhatEdit, shown, 64);
  EXPECT_EQ(std::wstring(shown), std::wstring(kCyrillicText) + kCjkText) << "the dialog shows the wide find text";
  SetDlgItemTextW(wnd, FindWhatEdit, kCjkText);
  SetDlgItemTextW(wnd, ReplaceWithEdit, kMixedText);
  SendMessageW(GetDlgItem(wnd, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return events.Finds > 0; }, "Find Next reached OnFind"));
  EXPECT_EQ(events.Finds, 1);
  EXPECT_EQ(events.Text, std::wstring(kCjkText));
  SendMessageW(GetDlgItem(wnd, ReplaceButton), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return events.Replaces > 0; }, "Replace reached OnReplace"));
  EXPECT_EQ(events.Replaces, 1);
  EXPECT_EQ(events.Replacement, std::wstring(kMixedText));
  EXPECT_TRUE(events.Options & FindOption(frReplace));

  EXPECT_TRUE(d.Execute()) << "an open dialog is brought forward";
  EXPECT_EQ(d.FindHandle(), wnd);
  SetWindowPos(wnd, nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  d.CloseDialog();
  Current = &d;
  ASSERT_TRUE(WaitFor(&CurrentClosed, "the replace dialog reported its end"));
  EXPECT_EQ(d.Redirector(), nullptr);
  EXPECT_EQ(d.Left(), 33);
  EXPECT_EQ(d.Top(), 44);

  // Opened again, it comes back where it was.
  ASSERT_TRUE(d.Execute());
  RECT r;
  GetWindowRect(d.FindHandle(), &r);
  EXPECT_EQ(r.left, 33);
  EXPECT_EQ(r.top, 44);
}

TEST_F(UcDialogs, FindTextIsCutAt255Characters) {
  TUcFindDialog d(nullptr);
  d.SetFindText(WideString(std::wstring(300, L'\u4E2D')));
  EXPECT_EQ(d.FindText().Length(), 255);
  EXPECT_EQ(d.Left(), -1);
  EXPECT_EQ(d.Top(), -1);
}

// --- message dialogs -------------------------------------------------------

TEST_F(UcDialogs, ShowMessageHasTheTitleAndOneOkButton) {
  UcApplication->SetTitle(kMixedText);
  TUcMessageForm* form = WideCreateMessageDialog(kCjkText, mtCustom, MsgDlgButton(mbOK));
  EXPECT_EQ(form->Caption(), WideString(kMixedText));
  EXPECT_EQ(form->FindComponent("Image"), nullptr);
  auto* ok = static_cast<TUcButton*>(form->FindComponent("OK"));
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(ok->Default());
  EXPECT_TRUE(ok->Cancel());
  EXPECT_EQ(ok->ModalResult(), 1);
  EXPECT_EQ(form->Message->Caption(), WideString(kCjkText));
  delete form;
}

TEST_F(UcDialogs, DefaultAndCancelButtons) {
  struct Row {
    TMsgDlgButtons Buttons;
    const char* Default;
    const char* Cancel;  // null: none
  } rows[] = {
      {mbYesNo, "Yes", "No"},
      {mbYesNoCancel, "Yes", "Cancel"},
      {mbOKCancel, "OK", "Cancel"},
      {mbAbortRetryIgnore, "Retry", nullptr},
  };
  for (const Row& r : rows) {
    TUcMessageForm* form = WideCreateMessageDialog(L"?", mtConfirmation, r.Buttons);
    for (int i = 0; i < form->ComponentCount(); ++i) {
      auto* b = ObjectAsButton(form->Components(i));
      if (!b) continue;
      EXPECT_EQ(b->Default(), b->Name() == AnsiString(r.Default)) << b->Name().c_str();
      EXPECT_EQ(b->Cancel(), r.Cancel && b->Name() == AnsiString(r.Cancel)) << b->Name().c_str();
    }
    delete form;
  }
}

TEST_F(UcDialogs, WarningLayoutFollowsTheFontsAverageCharacter) {
  TUcMessageForm* form = WideCreateMessageDialog(L"Disk full", mtWarning, MsgDlgButton(mbOK));
  const TPoint du = GetAveCharSize(form->Canvas());
  const int horzMargin = MulDiv(8, du.x, 4), horzSpacing = MulDiv(10, du.x, 4);
  const int vertMargin = MulDiv(8, du.y, 8), vertSpacing = MulDiv(10, du.y, 8);
  EXPECT_EQ(form->Caption(), WideString(L"Warning"));
  auto* image = form->FindComponent("Image");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(static_cast<TUcImage*>(image)->Left(), horzMargin);
  EXPECT_EQ(form->Message->Left(), 32 + horzSpacing + horzMargin);
  // One line of text is lower than the icon: the icon's 32 pixels set the buttons' place.
  auto* ok = static_cast<TUcButton*>(form->FindComponent("OK"));
  EXPECT_EQ(ok->Top(), 32 + vertMargin + vertSpacing);
  EXPECT_EQ(ok->Height(), MulDiv(14, du.y, 8));
  EXPECT_GE(ok->Width(), MulDiv(50, du.x, 4));
  delete form;
}

TEST_F(UcDialogs, CtrlCCopiesTheDialogAsText) {
  TUcMessageForm* form = WideCreateMessageDialog(L"Disk full", mtWarning, MsgDlgButton(mbOK));
  WORD key = 'C';
  form->CustomKeyDown(form, key, ssCtrl);
  const std::wstring d(27, L'-');
  const std::wstring expected =
      d + L"\r\nWarning\r\n" + d + L"\r\nDisk full\r\n" + d + L"\r\nOK   \r\n" + d + L"\r\n";
  EXPECT_EQ(UcClipboard()->GetAsWideText().str(), expected);
  // Other keys leave the clipboard alone.
  UcClipboard()->SetAsWideText(L"x");
  key = 'V';
  form->CustomKeyDown(form, key, ssCtrl);
  key = 'C';
  form->CustomKeyDown(form, key, ssCtrl | ssShift);
  EXPECT_EQ(UcClipboard()->GetAsWideText(), WideString(L"x"));
  delete form;

  TUcMessageForm* yesNo = WideCreateMessageDialog(kCjkText, mtConfirmation, mbYesNo);
  const std::wstring text = yesNo->GetFormText().str();
  EXPECT_NE(text.find(L"\r\nYes   No   \r\n"), std::wstring::npos) << "the hot-key markers are dropped";
  EXPECT_NE(text.find(kCjkText), std::wstring::npos);
  delete yesNo;
}

TEST_F(UcDialogs, OutOfRangeTypeOrButtonRaises) {
  EXPECT_THROW(GetMessageCaption(static_cast<TMsgDlgType>(5)), EUcInternalError);
  EXPECT_THROW(GetButtonCaption(static_cast<TMsgDlgBtn>(11)), EUcInternalError);
  EXPECT_EQ(GetButtonCaption(mbNoToAll), WideString(L"N&o to All"));
}

// The script's answers for these dialogs go through their real buttons, as a
// user's would: the window's child whose caption (without its "&") is the
// one named is clicked (BM_CLICK), after Typed went into its edit when set.
// A button with the wrong modal result, or an edit read wrongly, shows.
struct TClickAnswer {
  std::wstring Caption;
  std::wstring Typed;
  static inline TClickAnswer* Current = nullptr;
  static inline HWND Found = nullptr;
  static inline HWND Edit = nullptr;
  static BOOL CALLBACK Child(HWND wnd, LPARAM) {
    const LRESULT code = SendMessageW(wnd, WM_GETDLGCODE, 0, 0);
    if (code & DLGC_HASSETSEL) Edit = wnd;
    std::wstring text = WindowTextW(wnd);
    text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());
    if ((code & (DLGC_BUTTON | DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) && text == Current->Caption) Found = wnd;
    return TRUE;
  }
  explicit TClickAnswer(std::wstring caption, std::wstring typed = L"")
      : Caption(std::move(caption)), Typed(std::move(typed)), FOld(ScriptDialogs::AnswerHook) {
    Current = this;
    ScriptDialogs::AnswerHook = [](HWND form, int) {
      Found = Edit = nullptr;
      EnumChildWindows(form, &Child, 0);
      if (!Found) {
        ADD_FAILURE() << "no button " << WideToAnsi(Current->Caption).c_str();
        PostMessageW(form, WM_CLOSE, 0, 0);
        return;
      }
      if (!Current->Typed.empty() && Edit) SetWindowTextW(Edit, Current->Typed.c_str());
      PostMessageW(Found, BM_CLICK, 0, 0);
    };
  }
  ~TClickAnswer() {
    ScriptDialogs::AnswerHook = FOld;
    Current = nullptr;
  }
  TClickAnswer(const TClickAnswer&) = delete;
  TClickAnswer& operator=(const TClickAnswer&) = delete;

private:
  std::function<void(HWND, int)> FOld;
};

TEST_F(UcDialogs, MessageDlgAnswersWithTheModalResult) {
  struct Row {
    TMsgDlgButtons Buttons;
    const wchar_t* Clicked;
    int Result;
  } rows[] = {
      {mbYesNo, L"No", IDNO},
      {mbYesNo, L"Yes", IDYES},
      {mbOKCancel, L"Cancel", IDCANCEL},
      {mbAbortRetryIgnore, L"Ignore", IDIGNORE},
      {MsgDlgButton(mbYesToAll) | MsgDlgButton(mbNoToAll) | MsgDlgButton(mbAll), L"Yes to All", 10},
      {MsgDlgButton(mbYesToAll) | MsgDlgButton(mbNoToAll) | MsgDlgButton(mbAll), L"No to All", 9},
      {MsgDlgButton(mbYesToAll) | MsgDlgButton(mbNoToAll) | MsgDlgButton(mbAll), L"All", 8},
  };
  for (const Row& r : rows) {
    TClickAnswer click(r.Clicked);
    ScriptDialogs script({{"TUcMessageForm", IDOK}});
    EXPECT_EQ(WideMessageDlg(kCjkText, mtConfirmation, r.Buttons, 0), r.Result) << WideToAnsi(r.Clicked).c_str();
    EXPECT_EQ(script.Shown().size(), 1u);
  }
}

TEST_F(UcDialogs, InputQueryReturnsTheEditsWideText) {
  WideString value = kCyrillicText;
  {
    // The text typed over the one shown comes back whole, outside the code page too.
    TClickAnswer click(L"OK", kCjkText);
    ScriptDialogs script({{"Query", IDOK}});
    EXPECT_TRUE(WideInputQuery(L"Query", kMixedText, value));
    EXPECT_EQ(script.Shown().size(), 1u);
  }
  EXPECT_EQ(value, WideString(kCjkText));
  {
    TClickAnswer click(L"Cancel", L"typed");
    ScriptDialogs script({{"Query", IDOK}});
    value = L"kept";
    EXPECT_FALSE(WideInputQuery(L"Query", L"prompt", value));
    EXPECT_EQ(value, WideString(L"kept"));
  }
  {
    TClickAnswer click(L"OK", kMixedText);
    ScriptDialogs script({{"Box", IDOK}});
    EXPECT_EQ(WideInputBox(L"Box", L"prompt", kCyrillicText), WideString(kMixedText));
  }
  TClickAnswer click(L"Cancel", L"typed");
  ScriptDialogs script({{"Box", IDOK}});
  EXPECT_EQ(WideInputBox(L"Box", L"prompt", kCyrillicText), WideString(kCyrillicText));
}

}  // namespace
