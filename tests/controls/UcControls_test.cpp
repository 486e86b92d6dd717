// The Unicode control core on real windows: wide texts through the trap,
// window re-creation, the ANSI requests of the class library, WM_CHAR above
// 255, WM_NOTIFYFORMAT, the trap's life and the ANSI road.
#include "ControlsTestUtil.h"

#include "UcForms.h"
#include "thunk.h"

#include <gtest/gtest.h>

namespace {

using UcControls = UcGuiTest;

TTestUcEdit* NewEdit(TForm* form) {
  auto* edit = new TTestUcEdit(form);
  edit->SetParent(form);
  return edit;
}

std::wstring WindowText(TWinControl* c) { return WindowTextW(c->WindowHandle()); }

}  // namespace

TEST_F(UcControls, WideTextBeforeAndAfterTheWindowAndAcrossRecreation) {
  auto* edit = new TTestUcEdit(nullptr);
  edit->SetCaption(kMixedText);  // no parent, no window yet: kept in the helper
  EXPECT_FALSE(edit->HandleAllocated());
  EXPECT_EQ(edit->Caption().str(), kMixedText);
  // The class library's own text is the ANSI form.
  EXPECT_EQ(AnsiToWide(edit->TControl::Text()).str(), Narrowed(kMixedText));

  edit->SetParent(Form);
  edit->HandleNeeded();
  ASSERT_TRUE(edit->HandleAllocated());
  EXPECT_TRUE(IsWindowUnicode(edit->WindowHandle()));
  EXPECT_EQ(WindowText(edit), kMixedText);
  EXPECT_EQ(edit->Caption().str(), kMixedText);

  edit->RecreateWnd();
  Pump(10);
  ASSERT_TRUE(edit->HandleAllocated());
  EXPECT_TRUE(IsWindowUnicode(edit->WindowHandle()));
  EXPECT_EQ(WindowText(edit), kMixedText);

  // A text set while the window is gone, then a new window.
  edit->DestroyHandle();
  edit->SetCaption(kCjkText);
  edit->HandleNeeded();
  EXPECT_EQ(WindowText(edit), kCjkText);
  // The trap was parked and taken again, not made anew.
  EXPECT_EQ(PendingTrapList->Count(), 0);
  delete edit;
}

TEST_F(UcControls, ClassLibraryAnsiRequestsAreAnsweredInAnsi) {
  auto* edit = NewEdit(Form);
  edit->HandleNeeded();
  edit->SetCaption(kMixedText);
  // The class library's Text goes through WM_GETTEXT with an ANSI buffer.
  AnsiString ansi = edit->TControl::Text();
  EXPECT_EQ(ansi, WideToAnsi(kMixedText));
  EXPECT_EQ(edit->GetTextLen(), WideToAnsi(kMixedText).Length());
  char buf[128] = {};
  GetWindowTextA(edit->WindowHandle(), buf, sizeof buf);
  EXPECT_EQ(AnsiString(buf), WideToAnsi(kMixedText));
  // And its ANSI setter reaches the Unicode window converted.
  edit->TControl::SetText(WideToAnsi(kCyrillicText));
  EXPECT_EQ(WindowText(edit), kCyrillicText);
  EXPECT_EQ(edit->Caption().str(), kCyrillicText);
}

TEST_F(UcControls, SameTextTwiceNotifiesOnce) {
  auto* edit = NewEdit(Form);
  edit->HandleNeeded();
  int before = edit->TextChanges;
  edit->SetCaption(kMixedText);
  edit->SetCaption(kMixedText);
  EXPECT_EQ(edit->TextChanges - before, 1);
}

TEST_F(UcControls, WindowlessControlKeepsWideTextInItsHelper) {
  auto* label = new TTestUcLabel(Form);
  label->SetParent(Form);
  label->SetCaption(kCjkText);
  EXPECT_EQ(label->Caption().str(), kCjkText);
  EXPECT_NE(FindWideControlHelper(label), nullptr);

  // A change only in characters the code page cannot hold: the ANSI text is
  // set to "" first, so ANSI listeners see a change.
  label->TextChanges = 0;
  label->AnsiTextsSeen.clear();
  label->SetCaption(L"\u65E5\u672C");  // same ANSI form "??" as the old text
  EXPECT_EQ(label->Caption().str(), L"\u65E5\u672C");
  ASSERT_EQ(label->AnsiTextsSeen.size(), 2u);
  EXPECT_EQ(label->AnsiTextsSeen[0], "");
  EXPECT_EQ(label->AnsiTextsSeen[1], "??");

  // The class library changes the ANSI caption itself: the next wide read
  // follows it.
  label->TControl::SetText("plain");
  EXPECT_EQ(label->Caption().str(), L"plain");

  label->SetHint(L"\u03B1|\u03B2");
  EXPECT_EQ(label->Hint().str(), L"\u03B1|\u03B2");
  label->TControl::SetHint("other");
  EXPECT_EQ(label->Hint().str(), L"other");
  delete label;
  EXPECT_EQ(FindWideControlHelper(label), nullptr);
}

TEST_F(UcControls, HintParts) {
  EXPECT_EQ(WideGetShortHint(L"a|b|c").str(), L"a");
  EXPECT_EQ(WideGetLongHint(L"a|b|c").str(), L"b|c");
  EXPECT_EQ(WideGetShortHint(L"abc").str(), L"abc");
  EXPECT_EQ(WideGetLongHint(L"abc").str(), L"abc");
  EXPECT_EQ(WideGetShortHint(L"|x").str(), L"");
  EXPECT_EQ(WideGetLongHint(L"x|").str(), L"");

  auto* edit = NewEdit(Form);
  UcControl_SetHint(Form, kCjkText);
  EXPECT_EQ(WideGetHint(edit).str(), kCjkText);  // from the parent
  edit->SetHint(kCyrillicText);
  EXPECT_EQ(WideGetHint(edit).str(), kCyrillicText);
  EXPECT_EQ(WideGetHint(nullptr).str(), L"");
}

TEST(UcControlsWMChar, HidingAndRestoringTheCharacter) {
  TMessage m{WM_CHAR, 0x0416, 0, 0};
  MakeWMCharMsgSafeForAnsi(m);
  EXPECT_EQ(m.WParam, 0x041600FFu);
  EXPECT_EQ(GetWideCharFromWMCharMsg(m), L'\u0416');
  RestoreWMCharMsg(m);
  EXPECT_EQ(m.WParam, 0x0416u);

  TMessage latin{WM_CHAR, 0xE9, 0, 0};
  MakeWMCharMsgSafeForAnsi(latin);
  EXPECT_EQ(latin.WParam, 0xE9u);
  EXPECT_EQ(GetWideCharFromWMCharMsg(latin), L'\u00E9');

  // An ANSI handler that replaced the hidden 255 by its own character wins.
  TMessage changed{WM_CHAR, 0x04160041, 0, 0};
  RestoreWMCharMsg(changed);
  EXPECT_EQ(changed.WParam, 0x41u);

  // A high word already in use, or another message: left as it is.
  TMessage used{WM_CHAR, 0x00010416, 0, 0};
  MakeWMCharMsgSafeForAnsi(used);
  EXPECT_EQ(used.WParam, 0x00010416u);
  TMessage other{WM_KEYDOWN, 0x0416, 0, 0};
  MakeWMCharMsgSafeForAnsi(other);
  EXPECT_EQ(other.WParam, 0x0416u);

  TMessage set{WM_CHAR, 0x12345678, 0, 0};
  SetWideCharForWMCharMsg(set, L'\u65E5');
  EXPECT_EQ(set.WParam, 0x65E500FFu);
  SetWideCharForWMCharMsg(set, L'a');
  EXPECT_EQ(set.WParam, 0x61u);
}

TEST_F(UcControls, CharactersAbove255ReachTheEditThroughTheLoop) {
  auto* edit = NewEdit(Form);
  edit->HandleNeeded();
  edit->SetCaption(L"");
  HWND wnd = edit->WindowHandle();
  PostMessageW(wnd, WM_CHAR, 0x0416, 1);
  PostMessageW(wnd, WM_CHAR, 0x65E5, 1);
  PostMessageW(wnd, WM_CHAR, 0x03B1, 1);
  PostMessageW(wnd, WM_CHAR, 0x00E9, 1);
  Pump(50);
  // 0xE9 is below 256: the ANSI loop carries it in the code page's form.
  EXPECT_EQ(WindowText(edit), L"\u0416\u65E5\u03B1" + Narrowed(L"\u00E9"));
  // The ANSI handlers saw the placeholder 255 for the wide characters.
  ASSERT_EQ(edit->KeyPresses.size(), 4u);
  EXPECT_EQ(static_cast<unsigned char>(edit->KeyPresses[0]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(edit->KeyPresses[1]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(edit->KeyPresses[2]), 0xFF);

  // An input-method character goes in as WM_CHAR of the same character.
  edit->SetCaption(L"");
  SendMessageW(wnd, WM_IME_CHAR, 0x8A9E, 1);
  EXPECT_EQ(WindowText(edit), L"\u8A9E");

  // Without the hook the ANSI loop turns what the code page lacks into "?".
  edit->SetCaption(L"");
  EnableManualPeekMessageWithRemove();
  PostMessageW(wnd, WM_CHAR, 0x65E5, 1);
  Pump(30);
  DisableManualPeekMessageWithRemove();
  EXPECT_EQ(WindowText(edit), L"?");
}

TEST_F(UcControls, TheHookTakesOnlyWideCharactersForUnicodeWindows) {
  auto* edit = NewEdit(Form);
  edit->HandleNeeded();
  auto* plain = PlaceOn<TEdit>(Form, 10, 50, 100, 24);
  plain->HandleNeeded();
  ASSERT_FALSE(IsWindowUnicode(plain->WindowHandle()));

  MSG latin{edit->WindowHandle(), WM_CHAR, 0xE9, 0, 0, {0, 0}};
  EXPECT_FALSE(UcApplication->ProcessMessage(latin));
  MSG keyDown{edit->WindowHandle(), WM_KEYDOWN, 0x0416, 0, 0, {0, 0}};
  EXPECT_FALSE(UcApplication->ProcessMessage(keyDown));
  MSG toAnsi{plain->WindowHandle(), WM_CHAR, 0x0416, 0, 0, {0, 0}};
  EXPECT_FALSE(UcApplication->ProcessMessage(toAnsi));

  edit->SetCaption(L"");
  // While an ANSI dialog is the application's dialog nothing is taken.
  Application->SetDialogHandle(plain->WindowHandle());
  MSG wide{edit->WindowHandle(), WM_CHAR, 0x0416, 0, 0, {0, 0}};
  EXPECT_FALSE(UcApplication->ProcessMessage(wide));
  Application->SetDialogHandle(nullptr);
  EXPECT_TRUE(UcApplication->ProcessMessage(wide));
  EXPECT_EQ(WindowText(edit), L"\u0416");
}

TEST_F(UcControls, NotifyFormatIsUnicodeAlsoDuringCreation) {
  auto* edit = NewEdit(Form);
  edit->HandleNeeded();
  EXPECT_EQ(edit->NotifyFormatDuringCreate, NFR_UNICODE);
  EXPECT_EQ(SendMessageW(Form->WindowHandle(), WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(edit->WindowHandle()),
                         NF_QUERY),
            NFR_UNICODE);
  auto* plain = new TEdit(Form);
  plain->SetParent(Form);
  plain->HandleNeeded();
  EXPECT_EQ(SendMessageW(Form->WindowHandle(), WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(plain->WindowHandle()),
                         NF_QUERY),
            NFR_ANSI);
  EXPECT_EQ(NotifyFormatFor(edit->WindowHandle()), NFR_UNICODE);
  EXPECT_EQ(NotifyFormatFor(plain->WindowHandle()), NFR_ANSI);
  TPlatformSwitch ansi(false);
  EXPECT_EQ(NotifyFormatFor(edit->WindowHandle()), NFR_ANSI);
}

TEST_F(UcControls, TheClassLibraryFindsTheControlOfAUnicodeWindow) {
  auto* edit = NewEdit(Form);
  edit->HandleNeeded();
  EXPECT_EQ(FindControl(edit->WindowHandle()), edit);
  EXPECT_EQ(UcControlAtom, ControlAtom);
  EXPECT_EQ(UcWindowAtom, WindowAtom);
  EXPECT_NE(GetWindowLongW(edit->WindowHandle(), GWL_ID), 0);
}

TEST_F(UcControls, TrapsAndThunksDoNotLeak) {
  int thunks = ObjectInstanceCount();
  auto* edit = NewEdit(Form);
  edit->HandleNeeded();
  TWinControlTrap* trap = TWinControlTrap::OfControl(edit);
  ASSERT_NE(trap, nullptr);
  EXPECT_TRUE(trap->Attached());
  edit->RecreateWnd();
  EXPECT_EQ(TWinControlTrap::OfControl(edit), trap);
  delete edit;
  EXPECT_EQ(ObjectInstanceCount(), thunks);
  EXPECT_EQ(PendingTrapList->Count(), 0);
}

TEST_F(UcControls, AnotherHookOnWindowProcStaysInFront) {
  auto* edit = NewEdit(Form);
  edit->HandleNeeded();
  static int seen;
  seen = 0;
  TWndMethod trapProc = edit->WindowProc();
  static TWndMethod next;
  next = trapProc;
  edit->SetWindowProc(TWndMethod::Free([](TMessage& m) {
    if (m.Msg == WM_SETTEXT) ++seen;
    next(m);
  }));
  TWndMethod outer = edit->WindowProc();
  edit->RecreateWnd();  // the trap finds itself down the chain and leaves it as it is
  EXPECT_EQ(edit->WindowProc(), outer);
  edit->SetCaption(kMixedText);
  edit->TControl::SetText("abc");
  EXPECT_GE(seen, 1);
  EXPECT_EQ(WindowText(edit), L"abc");
  edit->SetWindowProc(trapProc);
}

TEST_F(UcControls, ExceptionsInAUnicodeWindowReachTheApplication) {
  auto* edit = NewEdit(Form);
  edit->HandleNeeded();
  SendMessageW(edit->WindowHandle(), WM_TEST_THROW, 0, 0);
  std::vector<std::string> seen = TakeExceptions();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "thrown in a Unicode window");

  // And from the message hook: the application's OnMessage throws.
  // Only the hook's message throws (the loop's own OnMessage call sees WM_NULL then).
  Application->OnMessage = TMessageEvent::Free([](MSG& msg, bool&) {
    if (msg.message == WM_CHAR && msg.wParam == 0x4E2D) throw EConvertError("thrown in OnMessage");
  });
  PostMessageW(edit->WindowHandle(), WM_CHAR, 0x4E2D, 1);
  Pump(30);
  Application->OnMessage.Clear();
  seen = TakeExceptions();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0], "thrown in OnMessage");
}

TEST_F(UcControls, SubClassingAnAnsiWindowIsAnInternalError) {
  auto* plain = new TEdit(Form);
  plain->SetParent(Form);
  plain->HandleNeeded();
  try {
    SubClassUnicodeControl(plain, "");
    FAIL() << "no exception";
  } catch (EUcInternalError& e) {
    EXPECT_EQ(e.Message(), "Internal Error: SubClassUnicodeControl.Control is not Unicode.");
  }
}

TEST_F(UcControls, ReCreateUnicodeWndMakesAPlainControlUnicode) {
  auto* plain = new TEdit(Form);
  plain->SetParent(Form);
  plain->HandleNeeded();
  plain->SetText(WideToAnsi(kCyrillicText));
  ReCreateUnicodeWnd(plain, L"EDIT");
  ASSERT_TRUE(plain->HandleAllocated());
  EXPECT_TRUE(IsWindowUnicode(plain->WindowHandle()));
  EXPECT_EQ(WindowText(plain), kCyrillicText);
  UcControl_SetText(plain, kCjkText);
  EXPECT_EQ(WindowText(plain), kCjkText);
  delete plain;
}

TEST_F(UcControls, AfterTheUnitEndedTheWindowGetsTheDefaultHandling) {
  auto* edit = new TTestUcEdit(Form);
  edit->SetParent(Form);
  edit->HandleNeeded();
  HWND wnd = edit->WindowHandle();
  UcControlsFinalized = true;
  // Not dropped: the system's default procedure answers.
  EXPECT_NE(SendMessageW(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"def")), 0);
  EXPECT_EQ(SendMessageW(wnd, WM_GETTEXTLENGTH, 0, 0), 3);
  DestroyWindow(wnd);
  UcControlsFinalized = false;
  EXPECT_FALSE(edit->HandleAllocated());
  delete edit;
}

TEST_F(UcControls, AnsiPlatformRoad) {
  TPlatformSwitch ansi(false);
  auto* edit = NewEdit(Form);
  edit->HandleNeeded();
  EXPECT_FALSE(IsWindowUnicode(edit->WindowHandle()));
  EXPECT_EQ(TWinControlTrap::OfControl(edit), nullptr);
  edit->SetCaption(kMixedText);
  EXPECT_EQ(edit->Caption().str(), Narrowed(kMixedText));
  EXPECT_EQ(WindowTextA(edit->WindowHandle()), WideToAnsi(kMixedText).str());
  edit->SetHint(kCyrillicText);
  EXPECT_EQ(edit->TControl::Hint(), WideToAnsi(kCyrillicText));
  EXPECT_EQ(FindWideControlHelper(edit), nullptr);

  auto* label = new TTestUcLabel(Form);
  label->SetCaption(kCjkText);
  EXPECT_EQ(label->Caption().str(), Narrowed(kCjkText));
  EXPECT_EQ(FindWideControlHelper(label), nullptr);
  delete edit;
}

TEST_F(UcControls, StoredTestsFollowTheActionLink) {
  auto* edit = NewEdit(Form);
  EXPECT_TRUE(edit->IsCaptionStored());
  EXPECT_TRUE(edit->IsHintStored());
  auto* action = new TUcAction(Form);
  action->SetCaption(kMixedText);
  action->SetHint(kCjkText);
  edit->SetAction(action);
  EXPECT_EQ(edit->Caption().str(), kMixedText);
  EXPECT_FALSE(edit->IsCaptionStored());
  EXPECT_FALSE(edit->IsHintStored());
  edit->SetCaption(L"own");
  EXPECT_TRUE(edit->IsCaptionStored());
  edit->SetAction(nullptr);
  delete action;
}

namespace {

// A list control of the class library's kind (ANSI items) and one that takes
// wide items.
class TAnsiList : public TComponent {
  CL_CLASS(TAnsiList, TComponent)
public:
  TAnsiList() : TComponent(nullptr) {}
  void AddItem(const AnsiString& item, TObject* object) {
    Items.push_back(item.str());
    Objects.push_back(object);
  }
  std::vector<std::string> Items;
  std::vector<TObject*> Objects;
};
CL_DEFINE_CLASS(TAnsiList, TComponent)

class TWideList : public TAnsiList, public IWideCustomListControl {
  CL_CLASS(TWideList, TAnsiList)
public:
  void AddItem(const WideString& item, TObject* object) override {
    WideItems.push_back(item.str());
    Objects.push_back(object);
  }
  bool GetInterface(const GUID& iid, void** obj) override {
    if (IsEqualGUID(iid, IID_IWideCustomListControl)) {
      *obj = static_cast<IWideCustomListControl*>(this);
      return true;
    }
    return TAnsiList::GetInterface(iid, obj);
  }
  std::vector<std::wstring> WideItems;
};
CL_DEFINE_CLASS(TWideList, TAnsiList)

}  // namespace

TEST(UcListControls, WideItemsGoWideWhereTheControlTakesThem) {
  TObject tag;
  TAnsiList ansi;
  WideListControl_AddItem(&ansi, kMixedText, &tag);
  ASSERT_EQ(ansi.Items.size(), 1u);
  EXPECT_EQ(ansi.Items[0], WideToAnsi(kMixedText).str());
  EXPECT_EQ(ansi.Objects[0], &tag);
  TWideList wide;
  WideListControl_AddItem(&wide, kMixedText, &tag);
  ASSERT_EQ(wide.WideItems.size(), 1u);
  EXPECT_EQ(wide.WideItems[0], kMixedText);
  EXPECT_TRUE(wide.Items.empty());
}
