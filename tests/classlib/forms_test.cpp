// Forms and the application object: creation order, showing and closing,
// modal loops answered by the dialog script, message boxes, deferred
// destruction, the exception handler, idle work and hints.
#include "forms.h"
#include "guitest.h"
#include "extctrls.h"
#include "layout.h"
#include "stdctrls.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Events;

class TEventForm : public TForm {
  CL_CLASS(TEventForm, TForm)
public:
  explicit TEventForm(TComponent* owner) : TForm(owner) {
    Events.push_back("constructor");
    SetBounds(100, 100, 260, 180);
  }
  ~TEventForm() override { Events.push_back("destructor"); }
  TEventForm** Global = nullptr;
  AnsiString SeenInCreate;
  TCloseAction CloseWith = caHide;
  bool AllowClose = true;
  bool ThrowInClick = false;

  void FormCreate(TObject*) {
    Events.push_back("create");
    if (Global) SeenInCreate = *Global == this ? "global set" : "global not set";
  }
  void FormDestroy(TObject*) {
    Events.push_back("destroy");
    if (Global) *Global = nullptr;
  }
  void FormShow(TObject*) { Events.push_back("show"); }
  void FormHide(TObject*) { Events.push_back("hide"); }
  void FormActivate(TObject*) { Events.push_back("activate"); }
  void FormClose(TObject*, TCloseAction& action) {
    Events.push_back("close");
    action = CloseWith;
  }
  void FormCloseQuery(TObject*, bool& canClose) {
    Events.push_back("closequery");
    canClose = AllowClose;
  }
  void Hook() {
    OnCreate = MakeEvent<&TEventForm::FormCreate>(this);
    OnDestroy = MakeEvent<&TEventForm::FormDestroy>(this);
    OnShow = MakeEvent<&TEventForm::FormShow>(this);
    OnHide = MakeEvent<&TEventForm::FormHide>(this);
    OnActivate = MakeEvent<&TEventForm::FormActivate>(this);
    OnClose = MakeEvent<&TEventForm::FormClose>(this);
    OnCloseQuery = MakeEvent<&TEventForm::FormCloseQuery>(this);
  }
};
CL_DEFINE_COMPONENT(TEventForm, TForm)

// A form whose constructor hooks its own events, as a layout would.
class THookedForm : public TEventForm {
  CL_CLASS(THookedForm, TEventForm)
public:
  explicit THookedForm(TComponent* owner) : TEventForm(owner) { Hook(); }
};
CL_DEFINE_COMPONENT(THookedForm, TEventForm)

THookedForm* GlobalForm = nullptr;

class FormsTest : public GuiTest {
protected:
  void SetUp() override {
    GuiTest::SetUp();
    Events.clear();
  }
};

TEST_F(FormsTest, CreateFormSetsTheReferenceBeforeOnCreateAndMakesTheFirstFormMain) {
  ASSERT_EQ(Application->MainForm(), nullptr);
  GlobalForm = nullptr;
  // The handler is bound in the constructor, so it runs during CreateForm.
  Application->CreateForm(&THookedForm::Class, &GlobalForm);
  ASSERT_NE(GlobalForm, nullptr);
  EXPECT_EQ(Events, (std::vector<std::string>{"constructor", "create"}));
  EXPECT_EQ(Application->MainForm(), GlobalForm);
  EXPECT_TRUE(GlobalForm->HandleAllocated()) << "the main form's window owns the later forms";
  EXPECT_EQ(GlobalForm->Owner(), Application);
  THookedForm* second = nullptr;
  Application->CreateForm(&second);
  EXPECT_EQ(Application->MainForm(), GlobalForm);
  second->HandleNeeded();
  EXPECT_EQ(GetWindow(second->Handle(), GW_OWNER), GlobalForm->Handle());
  // Deleting the main form clears the global through OnDestroy and the
  // application forgets it.
  second->Global = reinterpret_cast<TEventForm**>(&second);
  GlobalForm->Global = reinterpret_cast<TEventForm**>(&GlobalForm);
  Events.clear();
  delete GlobalForm;
  EXPECT_EQ(GlobalForm, nullptr);
  EXPECT_EQ(Application->MainForm(), nullptr);
  EXPECT_EQ(Events, (std::vector<std::string>{"destroy", "destructor"})) << "OnDestroy runs while the form is whole";
  delete second;
  EXPECT_EQ(second, nullptr);
  EXPECT_THROW(Application->CreateForm(&TForm::Class, &second), EInvalidCast);
}

TEST_F(FormsTest, AFormDeletedByItsOwnerSeesOnDestroyWhole) {
  auto* owner = new TComponent(nullptr);
  auto* form = NewForm<THookedForm>(owner);
  THookedForm* global = form;
  form->Global = reinterpret_cast<TEventForm**>(&global);
  form->HandleNeeded();
  HWND h = form->Handle();
  Events.clear();
  delete owner;
  EXPECT_EQ(global, nullptr);
  EXPECT_EQ(Events, (std::vector<std::string>{"destroy", "destructor"}));
  EXPECT_FALSE(IsWindow(h));
}

TEST_F(FormsTest, AFormMustBeCompletedBeforeItShows) {
  auto* form = new TForm(nullptr);
  EXPECT_THROW(form->Show(), EInvalidOperation);
  delete form;
}

TEST_F(FormsTest, ShowAndHideRunTheirEventsAndPositionCentres) {
  auto* form = NewForm<THookedForm>(nullptr);
  form->SetPosition(poScreenCenter);
  Events.clear();
  form->Show();
  Pump(20);
  ASSERT_GE(Events.size(), 1u);
  EXPECT_EQ(Events[0], "show");
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(form->Left(), (sw - 260) / 2);
  EXPECT_EQ(form->Top(), (sh - 180) / 2);
  RECT r;
  GetWindowRect(form->Handle(), &r);
  EXPECT_EQ(r.left, form->Left());
  EXPECT_EQ(r.top, form->Top());
  Events.clear();
  form->Hide();
  EXPECT_EQ(Events, (std::vector<std::string>{"hide"}));
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  // Placed once: a second show keeps where the form is now.
  form->SetLeft(10);
  form->Show();
  EXPECT_EQ(form->Left(), 10);
  delete form;
}

TEST_F(FormsTest, ClientSizeBeforeTheWindowIsTheWindowsClientSize) {
  auto* form = NewForm<TForm>(nullptr);
  form->SetBorderStyle(bsDialog);
  form->SetClientSize(321, 123);
  EXPECT_EQ(form->ClientWidth(), 321);
  EXPECT_EQ(form->ClientHeight(), 123);
  RECT r;
  GetClientRect(form->Handle(), &r);
  EXPECT_EQ(r.right, 321);
  EXPECT_EQ(r.bottom, 123);
  EXPECT_TRUE(GetWindowLongA(form->Handle(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  EXPECT_FALSE(GetWindowLongA(form->Handle(), GWL_STYLE) & WS_THICKFRAME);
  form->SetBorderStyle(bsSizeable);
  EXPECT_TRUE(GetWindowLongA(form->Handle(), GWL_STYLE) & WS_THICKFRAME);
  delete form;
}

TEST_F(FormsTest, LayeredFormKeepsItsTranslucencyAcrossRecreation) {
  auto* form = NewForm<TForm>(nullptr);
  form->SetAlphaBlend(true);
  form->SetAlphaBlendValue(300);
  EXPECT_EQ(form->AlphaBlendValue(), 255) << "clamped";
  form->SetAlphaBlendValue(128);
  HWND h = form->Handle();
  EXPECT_TRUE(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_LAYERED);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(h, nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 128);
  EXPECT_TRUE(flags & LWA_ALPHA);
  form->RecreateWnd();
  h = form->Handle();
  ASSERT_TRUE(GetLayeredWindowAttributes(h, nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 128);
  form->SetAlphaBlend(false);
  EXPECT_FALSE(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_LAYERED);
  delete form;
}

TEST_F(FormsTest, ModalLoopEndsWithTheScriptedResultAndTheOtherWindowsComeBack) {
  auto* owner = NewForm<TForm>(nullptr);
  owner->Show();
  Pump(10);
  auto* dialog = NewForm<THookedForm>(nullptr);
  dialog->SetCaption("Question form");
  Events.clear();
  int result;
  {
    ScriptDialogs script({{"Question form", IDOK}});
    result = dialog->ShowModal();
    EXPECT_TRUE(script.Unused().empty());
    ASSERT_EQ(script.Shown().size(), 1u);
    EXPECT_EQ(script.Shown()[0].Text, "THookedForm");
  }
  EXPECT_EQ(result, mrOk);
  EXPECT_FALSE(IsWindowVisible(dialog->Handle()));
  EXPECT_TRUE(IsWindowEnabled(owner->Handle())) << "disabled while the dialog ran, enabled again";
  EXPECT_FALSE(dialog->FormState() & fsModal);
  ASSERT_GE(Events.size(), 4u);
  EXPECT_EQ(Events.front(), "show");
  EXPECT_EQ(Events[Events.size() - 3], "closequery");
  EXPECT_EQ(Events[Events.size() - 2], "close");
  EXPECT_EQ(Events.back(), "hide");
  // A visible form cannot become modal.
  dialog->Show();
  EXPECT_THROW(dialog->ShowModal(), EInvalidOperation);
  dialog->Hide();
  delete dialog;
  delete owner;
}

TEST_F(FormsTest, ModalCloseCanBeRefusedAndWmCloseMeansCancel) {
  auto* dialog = NewForm<THookedForm>(nullptr);
  dialog->SetCaption("Stubborn");
  dialog->AllowClose = false;
  struct TFlip : TObject {
    THookedForm* Form;
    int Queries = 0;
    void CloseQuery(TObject*, bool& canClose) {
      ++Queries;
      canClose = Queries > 1;  // the first attempt is refused
      if (!canClose) PostMessageA(Form->Handle(), WM_CLOSE, 0, 0);
    }
  } flip;
  flip.Form = dialog;
  dialog->OnCloseQuery = MakeEvent<&TFlip::CloseQuery>(&flip);
  ScriptDialogs script({{"Stubborn", IDYES}});
  int result = dialog->ShowModal();
  EXPECT_EQ(flip.Queries, 2);
  EXPECT_EQ(result, mrCancel) << "the refused Yes was followed by WM_CLOSE";
  delete dialog;
}

TEST_F(FormsTest, MessageBoxIsAnsweredAndRecordedByTheHook) {
  Application->SetTitle("\xD2\xE5\xF1\xF2");  // "Тест"
  int r;
  {
    ScriptDialogs script({{"Save the list?", IDNO}});
    r = Application->MessageBox("Save the list?", "\xC7\xE0\xEF\xF0\xEE\xF1", MB_YESNOCANCEL | MB_ICONQUESTION);
    ASSERT_EQ(script.Shown().size(), 1u);
    EXPECT_EQ(script.Shown()[0].Title, "\xC7\xE0\xEF\xF0\xEE\xF1");
    EXPECT_EQ(script.Shown()[0].Text, "Save the list?");
  }
  EXPECT_EQ(r, IDNO);
  {
    ScriptDialogs script({{"Plain", IDOK}});
    ShowMessage("Plain message");
    ASSERT_EQ(script.Shown().size(), 1u);
    EXPECT_EQ(script.Shown()[0].Title, "\xD2\xE5\xF1\xF2") << "ShowMessage uses the application's title";
    EXPECT_TRUE(script.Shown()[0].Answered);
  }
}

TEST_F(FormsTest, ReleaseFreesTheFormAfterTheCurrentMessage) {
  auto* form = NewForm<THookedForm>(nullptr);
  THookedForm* global = form;
  form->Global = reinterpret_cast<TEventForm**>(&global);
  form->CloseWith = caFree;
  form->Show();
  Pump(10);
  Events.clear();
  // Closed from inside one of its own messages: still usable until that
  // message is done, gone after the loop ran.
  struct TCloser : TObject {
    THookedForm* Form;
    bool StillThere = false;
    TWndMethod Saved;
    void Proc(TMessage& m) {
      if (m.Msg == WM_USER + 5) {
        Form->Close();
        StillThere = Form->Caption() == Form->Caption();
        Events.push_back("after close");
      }
      Saved(m);
    }
  } closer;
  closer.Form = form;
  closer.Saved = form->WindowProc();
  form->SetWindowProc(MakeEvent<&TCloser::Proc>(&closer));
  HWND h = form->Handle();
  SendMessageA(h, WM_USER + 5, 0, 0);
  EXPECT_TRUE(closer.StillThere);
  EXPECT_NE(global, nullptr);
  Pump(10);
  EXPECT_EQ(global, nullptr);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(Events, (std::vector<std::string>{"closequery", "close", "after close", "destroy", "destructor"}));
}

// A form in pages of its own that go back to the system when it is freed: a
// read of the form after its deletion faults instead of passing unseen.
class TPagedForm : public TForm {
  CL_CLASS(TPagedForm, TForm)
public:
  explicit TPagedForm(TComponent* owner) : TForm(owner) {}
  static void* operator new(size_t size) {
    void* p = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!p) throw std::bad_alloc();
    return p;
  }
  static void operator delete(void* p) { VirtualFree(p, 0, MEM_RELEASE); }
};
CL_DEFINE_COMPONENT(TPagedForm, TForm)

TEST_F(FormsTest, AReleasedFormIsNotReadOnceItsReleaseMessageFreedIt) {
  // The message loop hands CM_RELEASE to the form, whose handler deletes it;
  // the window procedure must not look at the form on its way out.
  auto* form = NewForm<TPagedForm>(nullptr);
  form->Show();
  Pump(10);
  const HWND h = form->Handle();
  form->Release();
  EXPECT_TRUE(IsWindow(h)) << "freed after the message loop ran";
  Pump(10);
  EXPECT_FALSE(IsWindow(h));
}

TEST_F(FormsTest, ExceptionsReachOnExceptionAbortIsSilentAndHandlerFaultsAreSwallowed) {
  auto* form = NewForm<TForm>(nullptr);
  form->Show();
  struct TThrower : TObject {
    void Create(TObject*) { throw EConvertError("bad number"); }
    void Std(TObject*) { throw std::runtime_error("standard"); }
    void Silent(TObject*) { Abort(); }
    static void FaultyHandler(TObject*, Exception*) { throw Exception("from the handler"); }
  } thrower;
  auto* made = new TForm(nullptr);
  made->OnCreate = MakeEvent<&TThrower::Create>(&thrower);
  made->AfterConstruction();  // OnCreate's exception goes to the handler, the form is made
  EXPECT_EQ(TakeExceptions(), std::vector<std::string>{"bad number"});
  delete made;
  // Through a posted message, the way a click would come.
  form->OnResize = MakeEvent<&TThrower::Std>(&thrower);
  form->SetWidth(form->Width() + 10);
  Pump(10);
  std::vector<std::string> seen = TakeExceptions();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0], "standard");
  form->OnResize = MakeEvent<&TThrower::Silent>(&thrower);
  form->SetWidth(form->Width() + 10);
  Pump(10);
  EXPECT_TRUE(TakeExceptions().empty());
  // A handler that throws itself: nothing escapes, the program goes on.
  Application->OnException = TExceptionEvent::Free(&TThrower::FaultyHandler);
  form->OnResize = MakeEvent<&TThrower::Std>(&thrower);
  form->SetWidth(form->Width() + 10);
  Pump(10);
  form->OnResize.Clear();
  delete form;
}

TEST_F(FormsTest, WithoutOnExceptionTheMessageIsShown) {
  Application->OnException.Clear();
  Application->SetTitle("Fennolit");
  ScriptDialogs script({{"something failed", IDOK}});
  try {
    throw EInvalidOperation("something failed");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  ASSERT_EQ(script.Shown().size(), 1u);
  EXPECT_EQ(script.Shown()[0].Title, "Fennolit");
}

TEST_F(FormsTest, DisabledMainFormKeepsItsShortcutsQuiet) {
  // Covered with the menus; here: the task windows around a message box.
  auto* a = NewForm<TForm>(nullptr);
  auto* b = NewForm<TForm>(nullptr);
  a->Show();
  b->Show();
  Pump(10);
  std::vector<HWND> list = DisableTaskWindows(b->Handle());
  EXPECT_FALSE(IsWindowEnabled(a->Handle()));
  EXPECT_TRUE(IsWindowEnabled(b->Handle()));
  EnableTaskWindows(list);
  EXPECT_TRUE(IsWindowEnabled(a->Handle()));
  a->SetEnabled(false);
  list = DisableTaskWindows(nullptr);
  EnableTaskWindows(list);
  EXPECT_FALSE(IsWindowEnabled(a->Handle())) << "a window disabled before stays disabled";
  delete b;
  delete a;
}

TEST_F(FormsTest, ProcessMessagesRunsPostedWorkAndHandleMessageWaitsIdle) {
  auto* form = NewForm<TForm>(nullptr);
  struct TCounter : TObject {
    int Idle = 0;
    int Seen = 0;
    TWndMethod Saved;
    void OnIdle(TObject*, bool& done) {
      ++Idle;
      done = false;
    }
    void Proc(TMessage& m) {
      if (m.Msg == WM_USER + 9) ++Seen;
      Saved(m);
    }
  } counter;
  counter.Saved = form->WindowProc();
  form->SetWindowProc(MakeEvent<&TCounter::Proc>(&counter));
  for (int i = 0; i < 3; ++i) PostMessageA(form->Handle(), WM_USER + 9, 0, 0);
  Application->ProcessMessages();
  EXPECT_EQ(counter.Seen, 3);
  Application->OnIdle = MakeEvent<&TCounter::OnIdle>(&counter);
  Application->HandleMessage();  // empty queue: idle, and no wait since done is false
  EXPECT_EQ(counter.Idle, 1);
  Application->OnIdle.Clear();
  form->SetWindowProc(counter.Saved);
  delete form;
}

// --- hints --------------------------------------------------------------------------

class TMyHintWindow : public THintWindow {
  CL_CLASS(TMyHintWindow, THintWindow)
public:
  explicit TMyHintWindow(TComponent* owner) : THintWindow(owner) {}
  static int Activations;
  static AnsiString LastText;
  static void* LastData;
  void ActivateHintData(const TRect& rect, const AnsiString& hint, void* data) override {
    ++Activations;
    LastText = hint;
    LastData = data;
    THintWindow::ActivateHintData(rect, hint, data);
  }
};
int TMyHintWindow::Activations = 0;
AnsiString TMyHintWindow::LastText;
void* TMyHintWindow::LastData = nullptr;
CL_DEFINE_COMPONENT(TMyHintWindow, THintWindow)

class TPlainPanel : public TCustomControl {
  CL_CLASS(TPlainPanel, TCustomControl)
public:
  explicit TPlainPanel(TComponent* owner) : TCustomControl(owner) {}
  static THintInfo Seen;
  static int Shows;

protected:
  void CMHintShow(TMessage& m) {
    ++Shows;
    Seen = *reinterpret_cast<THintInfo*>(m.LParam);
    reinterpret_cast<THintInfo*>(m.LParam)->HintWindowClass = &TMyHintWindow::Class;
    m.Result = 0;
  }
  CL_DECLARE_MESSAGE_MAP(TPlainPanel)
};
THintInfo TPlainPanel::Seen;
int TPlainPanel::Shows = 0;
CL_DEFINE_COMPONENT(TPlainPanel, TCustomControl)
CL_BEGIN_MESSAGE_MAP(TPlainPanel, TCustomControl)
  CL_MESSAGE(CM_HINTSHOW, CMHintShow)
CL_END_MESSAGE_MAP

TEST_F(FormsTest, HintShowsAfterThePauseInTheClassTheControlAskedFor) {
  auto* form = NewForm<TForm>(nullptr);
  form->SetBounds(200, 200, 300, 200);
  auto* panel = new TPlainPanel(form);
  panel->SetParent(form);
  panel->SetBounds(20, 20, 100, 60);
  panel->SetHint("Short text|Long text");
  panel->SetShowHint(true);
  form->Show();
  Pump(20);
  struct TShowHint : TObject {
    int Calls = 0;
    void Handler(AnsiString& text, bool& canShow, THintInfo& info) {
      ++Calls;
      text = text + "!";
      info.HideTimeout = 60000;
      (void)canShow;
    }
    AnsiString Hint;
    void OnHint(TObject*) { Hint = Application->Hint(); }
  } show;
  Application->OnShowHint = MakeEvent<&TShowHint::Handler>(&show);
  Application->OnHint = MakeEvent<&TShowHint::OnHint>(&show);
  Application->SetHintPause(30);
  TMyHintWindow::Activations = 0;
  TPlainPanel::Shows = 0;
  // The real cursor has to be over the control when the timer fires.
  POINT p{50, 40};
  ClientToScreen(panel->Handle(), &p);
  SetCursorPos(p.x, p.y);
  PostMessageA(panel->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(50, 40));
  ASSERT_TRUE(WaitFor([] { return TMyHintWindow::Activations > 0; }, "the hint window was activated"));
  // The long hint is the idle pass's work, which a busy machine may run
  // only after the hint window has shown.
  EXPECT_TRUE(WaitFor([&] { return show.Hint == "Long text"; }, "the idle pass set the long hint"));
  EXPECT_EQ(TMyHintWindow::Activations, 1);
  EXPECT_EQ(TPlainPanel::Shows, 1);
  EXPECT_EQ(show.Calls, 1);
  EXPECT_EQ(TMyHintWindow::LastText, "Short text!");
  EXPECT_EQ(TPlainPanel::Seen.HintStr, "Short text");
  EXPECT_EQ(TPlainPanel::Seen.HintControl, panel);
  EXPECT_EQ(TPlainPanel::Seen.HintWindowClass, &THintWindow::Class);
  EXPECT_EQ(TPlainPanel::Seen.CursorRect, TRect(0, 0, 100, 60));
  ASSERT_NE(Application->HintWindow(), nullptr);
  EXPECT_EQ(Application->HintWindow()->ClassType(), &TMyHintWindow::Class);
  HWND hw = Application->HintWindow()->Handle();
  EXPECT_TRUE(IsWindowVisible(hw));
  EXPECT_EQ(WindowTextA(hw), "Short text!");
  // A key message ends it; a change of the hint text too.
  PostMessageA(panel->Handle(), WM_KEYDOWN, 'A', 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(hw); }, "a key hid the hint"));
  EXPECT_EQ(Application->HintControl(), nullptr);
  Application->OnShowHint.Clear();
  Application->OnHint.Clear();
  Application->SetHintPause(500);
  SetCursorPos(0, 0);
  delete form;
  Pump(10);
}

// --- layouts ----------------------------------------------------------------------

class TLayoutPanel : public TCustomControl {
  CL_CLASS(TLayoutPanel, TCustomControl)
public:
  explicit TLayoutPanel(TComponent* owner) : TCustomControl(owner) { FControlStyle |= csAcceptsControls; }
};
CL_DEFINE_COMPONENT(TLayoutPanel, TCustomControl)

class TLayoutForm : public TForm {
  CL_CLASS(TLayoutForm, TForm)
public:
  static const char* Text;
  explicit TLayoutForm(TComponent* owner) : TForm(owner) { ReadComponentText(Text, this); }
  TMainMenu* mmMenu = nullptr;
  TMenuItem* mmFile = nullptr;
  TMenuItem* mmOpen = nullptr;
  TActionList* ActionList1 = nullptr;
  TAction* openAction = nullptr;
  TLayoutPanel* Panel = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;
  std::vector<std::string> Seen;
  void FormCreate(TObject*) { Seen.push_back("create"); }
  void openActionExecute(TObject* sender) { Seen.push_back("open:" + static_cast<TComponent*>(sender)->Name().str()); }
  void PanelClick(TObject*) { Seen.push_back("panel"); }
  void FormKeyDown(TObject*, WORD& key, TShiftState) { Seen.push_back("key:" + std::to_string(key)); }
};
CL_DEFINE_COMPONENT(TLayoutForm, TForm)

const char* TLayoutForm::Text = R"(object LayoutForm: TLayoutForm
  Left = 30
  Top = 40
  ClientWidth = 320
  ClientHeight = 160
  Caption = 'Окно'
  Color = clBtnFace
  Font.Name = 'Tahoma'
  Font.Charset = RUSSIAN_CHARSET
  Font.Height = -11
  Menu = mmMenu
  BorderIcons = [biSystemMenu, biMinimize]
  KeyPreview = True
  ShowHint = True
  OnCreate = FormCreate
  OnKeyDown = FormKeyDown
  object Panel: TLayoutPanel
    Left = 0
    Top = 0
    Height = 41
    Align = alTop
    Hint = 'Short|Long'
    Cursor = crHandPoint
    PopupMenu = PopupMenu1
    TabOrder = 0
    OnClick = PanelClick
  end
  object mmMenu: TMainMenu
    object mmFile: TMenuItem
      Caption = '&Файл'
      ShortCut = 16463
      object mmOpen: TMenuItem
        Action = openAction
      end
    end
  end
  object PopupMenu1: TPopupMenu
    AutoPopup = False
  end
  object ActionList1: TActionList
    object openAction: TAction
      Caption = 'Open'
      Hint = 'Open|Open a list file'
      ShortCut = 16463
      OnExecute = openActionExecute
    end
  end
end
)";

TEST_F(FormsTest, LayoutBuildsTheFormItsComponentsAndBindsTheirEvents) {
  RegisterClasses({&TLayoutPanel::Class});
  RegisterFormFields<TLayoutForm>({{"mmMenu", &TLayoutForm::mmMenu},
                                   {"mmFile", &TLayoutForm::mmFile},
                                   {"mmOpen", &TLayoutForm::mmOpen},
                                   {"ActionList1", &TLayoutForm::ActionList1},
                                   {"openAction", &TLayoutForm::openAction},
                                   {"Panel", &TLayoutForm::Panel},
                                   {"PopupMenu1", &TLayoutForm::PopupMenu1}});
  RegisterFormMethods<TLayoutForm>({{"FormCreate", MethodEntry<&TLayoutForm::FormCreate>()},
                                    {"openActionExecute", MethodEntry<&TLayoutForm::openActionExecute>()},
                                    {"PanelClick", MethodEntry<&TLayoutForm::PanelClick>()},
                                    {"FormKeyDown", MethodEntry<&TLayoutForm::FormKeyDown>()}});
  TLayoutForm* form = nullptr;
  Application->CreateForm(&form);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->Seen, std::vector<std::string>{"create"});
  EXPECT_EQ(form->Caption(), "\xCE\xEA\xED\xEE") << "the Russian caption arrives in code page 1251";
  EXPECT_EQ(WindowTextW(form->Handle()), L"Окно");
  EXPECT_EQ(form->ClientWidth(), 320);
  EXPECT_EQ(form->ClientHeight(), 160);
  EXPECT_EQ(form->BorderIcons(), biSystemMenu | biMinimize);
  EXPECT_TRUE(form->KeyPreview());
  EXPECT_EQ(form->Font()->Name(), "Tahoma");
  EXPECT_EQ(form->Font()->Charset(), RUSSIAN_CHARSET);
  ASSERT_NE(form->Panel, nullptr);
  EXPECT_EQ(form->Panel->Parent(), form);
  EXPECT_EQ(form->Panel->Font()->Name(), "Tahoma") << "parent values reach children after loading";
  EXPECT_TRUE(form->Panel->ShowHint());
  EXPECT_EQ(form->Panel->Cursor(), crHandPoint);
  EXPECT_EQ(form->Panel->PopupMenu(), form->PopupMenu1);
  EXPECT_EQ(form->Panel->BoundsRect(), TRect(0, 0, 320, 41));
  EXPECT_FALSE(form->PopupMenu1->AutoPopup());
  ASSERT_NE(form->mmMenu, nullptr);
  EXPECT_EQ(form->Menu(), form->mmMenu);
  EXPECT_EQ(GetMenu(form->Handle()), form->mmMenu->Handle());
  EXPECT_EQ(form->mmFile->Parent(), form->mmMenu->Items());
  EXPECT_EQ(form->mmOpen->Parent(), form->mmFile);
  EXPECT_EQ(form->mmFile->Caption(), "&\xD4\xE0\xE9\xEB");
  EXPECT_EQ(form->mmOpen->Caption(), "Open") << "taken from the action";
  EXPECT_EQ(form->mmOpen->ShortCut(), 16463);
  EXPECT_EQ(form->openAction->ActionList(), form->ActionList1);
  form->Panel->Click();
  form->mmOpen->Click();
  EXPECT_EQ(form->Seen, (std::vector<std::string>{"create", "panel", "open:openAction"}));
  delete form;
  EXPECT_EQ(Application->MainForm(), nullptr);
}

// --- message dialogs ------------------------------------------------------------------

TEST_F(FormsTest, MessageDialogHoldsTheTextAndTheChosenButtons) {
  TForm* dlg = CreateMessageDialog("Delete the entry?", mtConfirmation, mbYesNoCancel);
  EXPECT_EQ(dlg->Caption(), "Confirmation");
  EXPECT_EQ(dlg->BorderStyle(), bsDialog);
  auto* yes = static_cast<TButton*>(dlg->FindComponent("Yes"));
  auto* no = static_cast<TButton*>(dlg->FindComponent("No"));
  auto* cancel = static_cast<TButton*>(dlg->FindComponent("Cancel"));
  ASSERT_TRUE(yes && no && cancel);
  EXPECT_EQ(dlg->FindComponent("OK"), nullptr);
  EXPECT_EQ(yes->Caption(), "&Yes");
  EXPECT_EQ(no->Caption(), "&No");
  EXPECT_EQ(yes->ModalResult(), mrYes);
  EXPECT_EQ(cancel->ModalResult(), mrCancel);
  EXPECT_TRUE(yes->Default());
  EXPECT_TRUE(cancel->Cancel());
  EXPECT_FALSE(no->Cancel()) << "Cancel is there to take Esc";
  EXPECT_EQ(dlg->ActiveControl(), yes);
  auto* text = static_cast<TLabel*>(dlg->FindComponent("Message"));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->Caption(), "Delete the entry?");
  EXPECT_LT(yes->Left(), no->Left());
  EXPECT_LT(no->Left(), cancel->Left());
  EXPECT_GE(dlg->ClientHeight(), cancel->Top() + cancel->Height());
  delete dlg;
  {
    ScriptDialogs script({{"TMessageForm", IDNO}});
    EXPECT_EQ(MessageDlg("Delete the entry?", mtConfirmation, mbYesNoCancel, 0), mrNo);
    ASSERT_EQ(script.Shown().size(), 1u);
    EXPECT_EQ(script.Shown()[0].Title, "Confirmation");
  }
  {
    ScriptDialogs script({{"Error", IDOK}});
    EXPECT_EQ(MessageDlg("It broke", mtError, MsgDlgButton(mbOK), 0), mrOk);
  }
}

TEST_F(FormsTest, InputQueryGivesTheValueOnlyOnOk) {
  AnsiString value = "*.txt";
  {
    ScriptDialogs script({{"Mask", IDOK}});
    EXPECT_TRUE(InputQuery("Mask", "Files to find:", value));
  }
  EXPECT_EQ(value, "*.txt");
  {
    ScriptDialogs script({{"Mask", IDCANCEL}});
    EXPECT_FALSE(InputQuery("Mask", "Files to find:", value));
    EXPECT_EQ(InputBox("Mask", "Files:", "*.doc"), "*.doc");
  }
}

// --- the application's loop ---------------------------------------------------------

TEST_F(FormsTest, RunShowsTheMainFormAndEndsWhenItCloses) {
  TForm* main = nullptr;
  Application->CreateForm(&TForm::Class, &main);
  main->SetCaption("Fennolit");
  PostMessageA(main->Handle(), WM_CLOSE, 0, 0);
  Application->Run();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_TRUE(IsWindowVisible(main->Handle())) << "the loop ended; the form is freed with the application";
  EXPECT_EQ(WindowTextA(main->Handle()), "Fennolit");
  // A fresh application for the tests after this one.
  UnitFini_forms();
  UnitInit_forms();
  InstallGuiHarness();
  Application->OnException = TExceptionEvent::Free([](TObject*, Exception* e) {
    ADD_FAILURE() << "exception after restart: " << e->Message().str();
  });
  EXPECT_FALSE(Application->Terminated());
  EXPECT_EQ(Application->MainForm(), nullptr);
}

}  // namespace

// --- scrolling, frames, MDI, docking, the default font -------------------------------

namespace {

TPanel* PanelAt(TWinControl* parent, int left, int top, int width, int height) {
  auto* panel = new TPanel(parent);
  panel->SetParent(parent);
  panel->SetBounds(left, top, width, height);
  return panel;
}

// A 200 x 150 scroll box on a 400 x 300 form.
TScrollBox* ScrollBoxOn(TForm* form) {
  form->SetBounds(50, 50, 400, 300);
  auto* box = new TScrollBox(form);
  box->SetParent(form);
  box->SetBounds(0, 0, 200, 150);
  return box;
}

bool HasStyle(HWND wnd, LONG bit) { return (GetWindowLongA(wnd, GWL_STYLE) & bit) != 0; }

SCROLLINFO BarInfo(HWND wnd, int bar) {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  GetScrollInfo(wnd, bar, &si);
  return si;
}

}  // namespace

TEST_F(FormsTest, ScrollBoxShowsItsBarsOnlyForChildrenOutsideAndScrollsThemIntoView) {
  auto* form = NewForm<TForm>(nullptr);
  TScrollBox* box = ScrollBoxOn(form);
  form->Show();
  Pump(10);
  HWND h = box->WindowHandle();
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  TPanel* inside = PanelAt(box, 10, 10, 50, 50);
  EXPECT_FALSE(HasStyle(h, WS_HSCROLL));
  EXPECT_FALSE(HasStyle(h, WS_VSCROLL));
  EXPECT_FALSE(box->HorzScrollBar()->IsScrollBarVisible());

  // A child reaching past the right edge: only the horizontal bar.
  TPanel* distant = PanelAt(box, 300, 20, 40, 30);
  EXPECT_TRUE(HasStyle(h, WS_HSCROLL));
  EXPECT_FALSE(HasStyle(h, WS_VSCROLL));
  EXPECT_EQ(box->HorzScrollBar()->Range(), 340);
  RECT client;
  GetClientRect(h, &client);
  SCROLLINFO si = BarInfo(h, SB_HORZ);
  EXPECT_EQ(si.nMin, 0);
  EXPECT_EQ(si.nMax, 339);
  EXPECT_EQ(static_cast<LONG>(si.nPage), client.right);

  // The bar's own messages move the children; the range stays put.
  SendMessageA(h, WM_HSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
  EXPECT_EQ(box->HorzScrollBar()->Position(), 8);
  EXPECT_EQ(inside->Left(), 2);
  EXPECT_EQ(distant->Left(), 292);
  SendMessageA(h, WM_HSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
  int maxPos = 340 - client.right;
  EXPECT_EQ(box->HorzScrollBar()->Position(), maxPos);
  EXPECT_EQ(distant->Left() + distant->Width(), client.right) << "the far child's right edge is in view";
  EXPECT_EQ(GetScrollPos(h, SB_HORZ), maxPos);
  EXPECT_EQ(box->HorzScrollBar()->Range(), 340);
  RECT r;
  GetWindowRect(distant->WindowHandle(), &r);
  MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, distant->Left()) << "the window moved with the control";
  box->HorzScrollBar()->SetPosition(100000);
  EXPECT_EQ(box->HorzScrollBar()->Position(), maxPos) << "clamped to the range";
  box->HorzScrollBar()->SetPosition(-5);
  EXPECT_EQ(box->HorzScrollBar()->Position(), 0);
  EXPECT_EQ(inside->Left(), 10);

  // A child below the bottom too: both bars.
  TPanel* low = PanelAt(box, 0, 400, 20, 20);
  EXPECT_TRUE(HasStyle(h, WS_VSCROLL));
  EXPECT_EQ(box->VertScrollBar()->Range(), 420);
  SendMessageA(h, WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
  GetClientRect(h, &client);
  EXPECT_EQ(box->VertScrollBar()->Position(), client.bottom);
  EXPECT_EQ(low->Top(), 400 - client.bottom);

  // Taking the far children away hides the bars and scrolls back.
  delete low;
  delete distant;
  EXPECT_FALSE(HasStyle(h, WS_HSCROLL));
  EXPECT_FALSE(HasStyle(h, WS_VSCROLL));
  EXPECT_EQ(box->VertScrollBar()->Position(), 0);
  EXPECT_EQ(inside->Top(), 10);
  EXPECT_EQ(inside->Left(), 10);
  delete form;
}

TEST_F(FormsTest, ScrollBarRangeByHandEndsAutoScrollAndHiddenBarsStayHidden) {
  auto* form = NewForm<TForm>(nullptr);
  TScrollBox* box = ScrollBoxOn(form);
  box->HandleNeeded();
  HWND h = box->WindowHandle();
  EXPECT_TRUE(box->AutoScroll());
  box->VertScrollBar()->SetRange(1000);
  EXPECT_FALSE(box->AutoScroll());
  EXPECT_TRUE(HasStyle(h, WS_VSCROLL));
  EXPECT_FALSE(HasStyle(h, WS_HSCROLL));
  // A child distant away no longer changes the range.
  PanelAt(box, 500, 0, 10, 10);
  EXPECT_EQ(box->HorzScrollBar()->Range(), 0);
  EXPECT_FALSE(HasStyle(h, WS_HSCROLL));
  box->VertScrollBar()->SetVisible(false);
  EXPECT_FALSE(HasStyle(h, WS_VSCROLL));
  EXPECT_EQ(box->VertScrollBar()->Position(), 0);
  // Forms do not scroll unless asked.
  PanelAt(form, 0, 1000, 10, 10);
  EXPECT_FALSE(HasStyle(form->Handle(), WS_VSCROLL));
  form->SetAutoScroll(true);
  EXPECT_TRUE(HasStyle(form->Handle(), WS_VSCROLL));
  delete form;
}

TEST_F(FormsTest, ScrollBoxBorderFollowsBorderStyleAndCtl3D) {
  auto* form = NewForm<TForm>(nullptr);
  auto* box = new TScrollBox(form);
  box->SetParent(form);
  box->SetBorderStyle(bsNone);
  HWND h = box->Handle();
  EXPECT_FALSE(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_FALSE(HasStyle(h, WS_BORDER));
  box->SetCtl3D(false);
  box->SetBorderStyle(bsSingle);
  h = box->Handle();
  EXPECT_FALSE(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(HasStyle(h, WS_BORDER));
  delete form;
}

TEST_F(FormsTest, FrameAndScrollBoxComeFromALayoutWithTheirScrollBars) {
  auto* form = NewForm<TForm>(nullptr);
  ReadComponentText(
      "object Form1: TForm\n"
      "  object Frame1: TFrame\n"
      "    Left = 8\n"
      "    Top = 16\n"
      "    Width = 300\n"
      "    Height = 200\n"
      "    object Box: TScrollBox\n"
      "      Width = 100\n"
      "      Height = 80\n"
      "      AutoScroll = False\n"
      "      BorderStyle = bsNone\n"
      "      HorzScrollBar.Range = 640\n"
      "      HorzScrollBar.Increment = 32\n"
      "      VertScrollBar.Visible = False\n"
      "    end\n"
      "  end\n"
      "end\n",
      form);
  auto* frame = static_cast<TFrame*>(form->FindComponent("Frame1"));
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(frame->Is<TFrame>());
  EXPECT_EQ(frame->Parent(), form);
  EXPECT_EQ(frame->BoundsRect(), TRect(8, 16, 308, 216));
  auto* box = static_cast<TScrollBox*>(form->FindComponent("Box"));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->Parent(), frame);
  EXPECT_FALSE(box->AutoScroll());
  EXPECT_EQ(box->BorderStyle(), bsNone);
  EXPECT_EQ(box->HorzScrollBar()->Range(), 640);
  EXPECT_EQ(box->HorzScrollBar()->Increment(), 32);
  EXPECT_FALSE(box->VertScrollBar()->Visible());
  HWND h = box->Handle();
  EXPECT_EQ(GetParent(h), frame->WindowHandle());
  EXPECT_TRUE(HasStyle(h, WS_HSCROLL));
  SendMessageA(h, WM_HSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
  EXPECT_EQ(box->HorzScrollBar()->Position(), 32);
  delete form;
}

TEST_F(FormsTest, MdiChildrenLiveInTheMainFormsClientWindow) {
  TForm* main = nullptr;
  Application->CreateForm(&main);
  main->SetFormStyle(fsMDIForm);
  main->SetBounds(20, 20, 500, 400);
  auto* bar = PanelAt(main, 0, 0, 100, 30);
  bar->SetAlign(alTop);
  main->HandleNeeded();
  HWND client = main->ClientHandle();
  ASSERT_NE(client, nullptr);
  char cls[32] = {};
  GetClassNameA(client, cls, sizeof cls);
  EXPECT_STRCASEEQ(cls, "MDICLIENT") << "the platform's spelling of the class name varies";
  EXPECT_EQ(GetParent(client), main->WindowHandle());
  // The client takes what the aligned panel leaves.
  RECT r, frameClient;
  GetWindowRect(client, &r);
  MapWindowPoints(nullptr, main->WindowHandle(), reinterpret_cast<POINT*>(&r), 2);
  GetClientRect(main->WindowHandle(), &frameClient);
  EXPECT_EQ(r.top, 30);
  EXPECT_EQ(r.bottom, frameClient.bottom);
  EXPECT_EQ(r.right, frameClient.right);

  auto* child = NewForm<TForm>(nullptr);
  child->SetFormStyle(fsMDIChild);
  child->SetBounds(10, 10, 200, 150);
  child->SetCaption("\xC4\xEE\xEA\xF3\xEC\xE5\xED\xF2");
  child->Show();
  Pump(20);
  HWND ch = child->WindowHandle();
  ASSERT_NE(ch, nullptr);
  EXPECT_EQ(GetParent(ch), client);
  EXPECT_TRUE(GetWindowLongA(ch, GWL_EXSTYLE) & WS_EX_MDICHILD);
  EXPECT_TRUE(child->FormState() & fsCreatedMDIChild);
  EXPECT_EQ(WindowTextW(ch), L"Документ");
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0)), ch);
  EXPECT_THROW(child->ShowModal(), EInvalidOperation);

  // The MDI client destroys its child itself and forgets it.
  delete child;
  EXPECT_FALSE(IsWindow(ch));
  EXPECT_EQ(GetWindow(client, GW_CHILD), nullptr);
  EXPECT_EQ(SendMessageA(client, WM_MDIGETACTIVE, 0, 0), 0);

  // Back to a plain form: the client window goes.
  main->SetFormStyle(fsNormal);
  main->HandleNeeded();
  EXPECT_EQ(main->ClientHandle(), nullptr);
  EXPECT_FALSE(IsWindow(client));
  delete main;
}

TEST_F(FormsTest, AnMdiChildNeedsAnMdiMainForm) {
  auto* child = NewForm<TForm>(nullptr);
  child->SetFormStyle(fsMDIChild);
  try {
    child->HandleNeeded();
    ADD_FAILURE() << "no MDI main form, yet a window";
  } catch (EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "Cannot create form. No MDI forms are currently active");
  }
  EXPECT_FALSE(child->HandleAllocated());
  // A main form that is not an MDI form does not do either.
  TForm* main = nullptr;
  Application->CreateForm(&main);
  EXPECT_THROW(child->HandleNeeded(), EInvalidOperation);
  child->SetFormStyle(fsNormal);
  EXPECT_NE(child->Handle(), nullptr);
  delete child;
  delete main;
}

namespace {

int DockManagersAlive = 0;
class TCountedDockManager : public TDockManager {
public:
  TCountedDockManager() { ++DockManagersAlive; }
  ~TCountedDockManager() override { --DockManagersAlive; }
};

class TDockPanel : public TPanel {
  CL_CLASS(TDockPanel, TPanel)
public:
  explicit TDockPanel(TComponent* owner) : TPanel(owner) {}
  int Asked = 0;

protected:
  TDockManager* CreateDockManager() override {
    ++Asked;
    return DockManager() ? DockManager() : new TCountedDockManager();
  }
};
CL_DEFINE_COMPONENT(TDockPanel, TPanel)

}  // namespace

TEST_F(FormsTest, ADockManagerExistsOnlyWhileTheControlIsADockSiteThatUsesOne) {
  auto* panel = new TDockPanel(nullptr);
  panel->SetDockSite(true);
  EXPECT_EQ(panel->DockManager(), nullptr);
  EXPECT_EQ(panel->Asked, 0);
  panel->SetUseDockManager(true);
  ASSERT_NE(panel->DockManager(), nullptr);
  EXPECT_EQ(DockManagersAlive, 1);
  panel->SetDockSite(false);
  EXPECT_EQ(panel->DockManager(), nullptr);
  EXPECT_EQ(DockManagersAlive, 0);
  panel->SetDockSite(true);
  EXPECT_EQ(DockManagersAlive, 1);
  delete panel;
  EXPECT_EQ(DockManagersAlive, 0) << "the control owns its manager";
  // The library's own controls get the library's manager.
  auto* plain = new TPanel(nullptr);
  plain->SetDockSite(true);
  plain->SetUseDockManager(true);
  EXPECT_NE(plain->DockManager(), nullptr);
  delete plain;
}

TEST_F(FormsTest, NewFontsTakeTheDefaultFontNameCutTo31Characters) {
  AnsiString saved = DefaultFontName();
  EXPECT_EQ(saved, "MS Sans Serif");
  SetDefaultFontName("Tahoma");
  TFont font;
  EXPECT_EQ(font.Name(), "Tahoma");
  auto* form = NewForm<TForm>(nullptr);
  EXPECT_EQ(form->Font()->Name(), "Tahoma");
  delete form;
  SetDefaultFontName("A123456789B123456789C123456789D123456789");
  EXPECT_EQ(DefaultFontName(), "A123456789B123456789C123456789D");
  EXPECT_EQ(DefaultFontName().Length(), 31);
  SetDefaultFontName(saved);
  TFont after;
  EXPECT_EQ(after.Name(), "MS Sans Serif");
}

TEST_F(FormsTest, MdiChildMenusMergeAndTheWindowMenuListsTheChildren) {
  TForm* main = nullptr;
  Application->CreateForm(&main);
  main->SetFormStyle(fsMDIForm);
  main->SetBounds(20, 20, 500, 400);
  auto* mainMenu = new TMainMenu(main);
  auto* fileItem = new TMenuItem(main);
  fileItem->SetCaption("File");
  fileItem->Add(new TMenuItem(main));
  auto* windowItem = new TMenuItem(main);
  windowItem->SetCaption("Window");
  windowItem->SetGroupIndex(9);
  auto* tile = new TMenuItem(main);
  tile->SetCaption("Tile");
  windowItem->Add(tile);
  mainMenu->Items()->Add(fileItem);
  mainMenu->Items()->Add(windowItem);
  main->SetMenu(mainMenu);
  main->SetWindowMenu(windowItem);
  main->Show();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main->Handle()); }, "the MDI frame shows"));
  int before = GetMenuItemCount(windowItem->Handle());

  auto* child = NewForm<TForm>(nullptr);
  child->SetFormStyle(fsMDIChild);
  auto* childMenu = new TMainMenu(child);
  auto* edit = new TMenuItem(child);
  edit->SetCaption("Edit");
  edit->SetGroupIndex(1);
  edit->Add(new TMenuItem(child));
  childMenu->Items()->Add(edit);
  child->SetMenu(childMenu);
  child->SetCaption("Doc1");
  child->SetBounds(10, 10, 200, 150);
  child->Show();
  HMENU bar = mainMenu->Handle();
  ASSERT_TRUE(WaitFor([&] { return GetMenuItemCount(bar) == 3 && GetMenuItemCount(windowItem->Handle()) > before; },
                      "the active child's menu merged in and the child listed in the window menu"));
  ASSERT_EQ(GetMenuItemCount(bar), 3) << "the active child's menu is merged in";
  char text[64] = {};
  GetMenuStringA(bar, 1, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "Edit");
  // The MDI client lists the child in the window menu.
  EXPECT_GT(GetMenuItemCount(windowItem->Handle()), before);

  delete child;
  EXPECT_TRUE(WaitFor([&] { return GetMenuItemCount(bar) == 2; }, "a closed child's menu left the bar"));
  EXPECT_EQ(mainMenu->Items()->Merged(), nullptr);
  delete main;
}
