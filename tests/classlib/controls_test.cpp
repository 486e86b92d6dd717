// Window life, the message chain, reflection, alignment, focus and keys of
// the control layer, on real windows.
#include "controls.h"
#include "forms.h"
#include "guitest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Log;

// A windowed control painted by itself, with a message of its own.
constexpr UINT CM_TESTPING = CM_BASE + 0x200;

class TTestPanel : public TCustomControl {
  CL_CLASS(TTestPanel, TCustomControl)
  CL_DECLARE_MESSAGE_MAP(TTestPanel)
public:
  explicit TTestPanel(TComponent* owner) : TCustomControl(owner) {
    FControlStyle |= csAcceptsControls;
    SetBounds(0, 0, 60, 40);
  }
  TColor PaintColor = clRed;
  int Pings = 0;
  int Paints = 0;
  using TWinControl::CreateParams;

protected:
  void Paint() override {
    ++Paints;
    Canvas()->Brush()->SetColor(PaintColor);
    Canvas()->FillRect(GetClientRect());
  }
  void CMTestPing(TMessage& m) {
    ++Pings;
    m.Result = 7;
  }
  void WMThrow(TMessage& m) {
    (void)m;
    throw EConvertError("thrown in a handler");
  }
};
CL_DEFINE_COMPONENT(TTestPanel, TCustomControl)
CL_BEGIN_MESSAGE_MAP(TTestPanel, TCustomControl)
  CL_MESSAGE(CM_TESTPING, CMTestPing)
  CL_MESSAGE(WM_USER + 77, WMThrow)
CL_END_MESSAGE_MAP

// Adds to the base's answer: the "inherited" of a handler.
class TTestPanel2 : public TTestPanel {
  CL_CLASS(TTestPanel2, TTestPanel)
  CL_DECLARE_MESSAGE_MAP(TTestPanel2)
public:
  using TTestPanel::TTestPanel;

protected:
  void CMTestPing(TMessage& m) {
    InheritedMsg(&TTestPanel::MessageMap, m);
    m.Result += 100;
  }
};
CL_DEFINE_COMPONENT(TTestPanel2, TTestPanel)
CL_BEGIN_MESSAGE_MAP(TTestPanel2, TTestPanel)
  CL_MESSAGE(CM_TESTPING, CMTestPing)
CL_END_MESSAGE_MAP

// A system BUTTON made into a library window; it hears its reflected commands.
class TTestButton : public TWinControl {
  CL_CLASS(TTestButton, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TTestButton)
public:
  explicit TTestButton(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 80, 24);
    FTabStop = true;
  }
  int Commands = 0;

protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    CreateSubClass(params, "BUTTON");
    params.Style |= BS_PUSHBUTTON;
  }
  void CNCommand(TMessage& m) {
    if (CmdNotify(m) == BN_CLICKED) ++Commands;
  }
};
CL_DEFINE_COMPONENT(TTestButton, TWinControl)
CL_BEGIN_MESSAGE_MAP(TTestButton, TWinControl)
  CL_MESSAGE(CN_COMMAND, CNCommand)
CL_END_MESSAGE_MAP

class TTestEdit : public TWinControl {
  CL_CLASS(TTestEdit, TWinControl)
public:
  explicit TTestEdit(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 100, 22);
    FTabStop = true;
    SetParentColor(false);
  }

protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    CreateSubClass(params, "EDIT");
    params.Style |= ES_AUTOHSCROLL;
  }
};
CL_DEFINE_COMPONENT(TTestEdit, TWinControl)

class TTestTree : public TWinControl {
  CL_CLASS(TTestTree, TWinControl)
public:
  explicit TTestTree(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 100, 100); }

protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    CreateSubClass(params, WC_TREEVIEWA);
  }
};
CL_DEFINE_COMPONENT(TTestTree, TWinControl)

class TTestShape : public TGraphicControl {
  CL_CLASS(TTestShape, TGraphicControl)
public:
  explicit TTestShape(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 30, 20); }
  TColor PaintColor = clBlue;

protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(PaintColor);
    Canvas()->FillRect(GetClientRect());
  }
};
CL_DEFINE_COMPONENT(TTestShape, TGraphicControl)

class ControlsTest : public GuiTest {
protected:
  void SetUp() override {
    GuiTest::SetUp();
    Log.clear();
    form = NewForm<TForm>(nullptr);
    form->SetBounds(40, 40, 400, 300);
    form->SetCaption("Controls");
  }
  void TearDown() override {
    delete form;
    form = nullptr;
    GuiTest::TearDown();
  }
  TForm* form = nullptr;
};

struct TRecorder : TObject {
  void Click(TObject* sender) { Log.push_back("click:" + static_cast<TComponent*>(sender)->Name().str()); }
  void Enter(TObject* sender) { Log.push_back("enter:" + static_cast<TComponent*>(sender)->Name().str()); }
  void Exit(TObject* sender) { Log.push_back("exit:" + static_cast<TComponent*>(sender)->Name().str()); }
  void MouseDown(TObject*, TMouseButton b, TShiftState, int x, int y) {
    Log.push_back("down:" + std::to_string(b) + ":" + std::to_string(x) + "," + std::to_string(y));
  }
  void MouseUp(TObject*, TMouseButton b, TShiftState, int x, int y) {
    Log.push_back("up:" + std::to_string(b) + ":" + std::to_string(x) + "," + std::to_string(y));
  }
  void KeyDown(TObject* sender, WORD& key, TShiftState) {
    Log.push_back("key:" + static_cast<TComponent*>(sender)->Name().str() + ":" + std::to_string(key));
  }
  void KeyDownEat(TObject* sender, WORD& key, TShiftState) {
    Log.push_back("eat:" + static_cast<TComponent*>(sender)->Name().str());
    key = 0;
  }
  void Resize(TObject* sender) { Log.push_back("resize:" + static_cast<TComponent*>(sender)->Name().str()); }
  void Message(TMessage& m) {
    if (m.Msg == CM_TESTPING) Log.push_back("hooked");
    Saved(m);
  }
  TWndMethod Saved;
};

// --- thunks --------------------------------------------------------------------

struct TThunkTarget : TObject {
  std::vector<TMessage> Seen;
  void Method(TMessage& m) {
    Seen.push_back(m);
    m.Result = static_cast<LRESULT>(m.Msg + m.WParam + m.LParam);
  }
};

TEST(Thunks, CallTheBoundMethodAndFreeTheirSlots) {
  int before = ObjectInstanceCount();
  TThunkTarget a, b;
  WNDPROC pa = MakeObjectInstance(MakeEvent<&TThunkTarget::Method>(&a));
  WNDPROC pb = MakeObjectInstance(MakeEvent<&TThunkTarget::Method>(&b));
  ASSERT_NE(pa, pb);
  EXPECT_EQ(ObjectInstanceCount(), before + 2);
  EXPECT_EQ(CallWindowProcA(pa, nullptr, 1000, 20, 3), 1023);
  EXPECT_EQ(CallWindowProcA(pb, nullptr, 5, 6, 7), 18);
  ASSERT_EQ(a.Seen.size(), 1u);
  EXPECT_EQ(a.Seen[0].Msg, 1000u);
  EXPECT_EQ(b.Seen.size(), 1u);
  EXPECT_TRUE(ObjectInstanceMethod(pa) == MakeEvent<&TThunkTarget::Method>(&a));
  FreeObjectInstance(pa);
  EXPECT_FALSE(static_cast<bool>(ObjectInstanceMethod(pa)));
  EXPECT_EQ(ObjectInstanceCount(), before + 1);
  // A freed slot is handed out again.
  WNDPROC pc = MakeObjectInstance(MakeEvent<&TThunkTarget::Method>(&b));
  EXPECT_EQ(pc, pa);
  FreeObjectInstance(pb);
  FreeObjectInstance(pc);
  FreeObjectInstance(nullptr);
  EXPECT_EQ(ObjectInstanceCount(), before);
}

TEST(Thunks, ManyThunksSpanSeveralBlocks) {
  int before = ObjectInstanceCount();
  std::vector<TThunkTarget> targets(400);
  std::vector<WNDPROC> procs;
  for (auto& t : targets) procs.push_back(MakeObjectInstance(MakeEvent<&TThunkTarget::Method>(&t)));
  for (size_t i = 0; i < procs.size(); ++i) EXPECT_EQ(CallWindowProcA(procs[i], nullptr, 1, 0, static_cast<LPARAM>(i)), LRESULT(i + 1));
  for (size_t i = 0; i < targets.size(); ++i) EXPECT_EQ(targets[i].Seen.size(), 1u);
  for (WNDPROC p : procs) FreeObjectInstance(p);
  EXPECT_EQ(ObjectInstanceCount(), before);
}

TEST(Thunks, AnExceptionInTheMethodStopsAtTheThunk) {
  struct TThrower : TObject {
    void Method(TMessage&) { throw EAbort("silent"); }
  } t;
  WNDPROC p = MakeObjectInstance(MakeEvent<&TThrower::Method>(&t));
  EXPECT_EQ(CallWindowProcA(p, nullptr, WM_USER, 0, 0), 0);
  FreeObjectInstance(p);
}

TEST(Thunks, UtilityWindowReceivesMessages) {
  TThunkTarget t;
  HWND wnd = AllocateHWnd(MakeEvent<&TThunkTarget::Method>(&t));
  ASSERT_NE(wnd, nullptr);
  char cls[64] = {};
  GetClassNameA(wnd, cls, sizeof cls);
  EXPECT_STREQ(cls, "TUtilWindow");
  EXPECT_EQ(SendMessageA(wnd, WM_USER + 1, 2, 3), LRESULT(WM_USER + 6));
  DeallocateHWnd(wnd);
  EXPECT_FALSE(IsWindow(wnd));
}

// --- helpers ----------------------------------------------------------------

TEST(ControlHelpers, HotKeysAndHints) {
  EXPECT_EQ(GetHotkey("&File"), "F");
  EXPECT_EQ(GetHotkey("Save &as"), "a");
  EXPECT_EQ(GetHotkey("A&&B"), "");
  EXPECT_EQ(GetHotkey("&A&B"), "B");  // the last marker wins
  EXPECT_EQ(GetHotkey("End&"), "");
  EXPECT_EQ(StripHotkey("&File"), "File");
  EXPECT_EQ(StripHotkey("A&&B"), "A&B");
  EXPECT_TRUE(IsAccel('F', "&file"));
  EXPECT_TRUE(IsAccel(static_cast<unsigned char>('\xD4'), "\xF4\xE0\xE9\xEB &\xF4"));  // Cyrillic, other case
  EXPECT_FALSE(IsAccel('X', "&File"));
  EXPECT_EQ(GetShortHint("Short|Long part|more"), "Short");
  EXPECT_EQ(GetLongHint("Short|Long part|more"), "Long part|more");
  EXPECT_EQ(GetShortHint("Whole"), "Whole");
  EXPECT_EQ(GetLongHint("Whole"), "Whole");
  EXPECT_EQ(GetLongHint("Short|"), "");
}

TEST(ControlHelpers, AtomNamesFollowProcessAndThread) {
  char text[64];
  std::snprintf(text, sizeof text, "ClassLib%.8lX", static_cast<unsigned long>(GetCurrentProcessId()));
  EXPECT_EQ(GlobalFindAtomA(text), WindowAtom);
  std::snprintf(text, sizeof text, "ControlOfs%.8lX%.8lX", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(HInstance)),
                static_cast<unsigned long>(GetCurrentThreadId()));
  EXPECT_EQ(GlobalFindAtomA(text), ControlAtom);
  EXPECT_NE(WindowAtom, 0);
  EXPECT_NE(ControlAtom, 0);
  EXPECT_EQ(FindControl(nullptr), nullptr);
  EXPECT_EQ(FindControl(GetDesktopWindow()), nullptr);
}

// --- window life -----------------------------------------------------------------

TEST_F(ControlsTest, WindowIsMadeOnDemandAndFoundThroughBothProperties) {
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  EXPECT_FALSE(panel->HandleAllocated());
  EXPECT_FALSE(form->HandleAllocated());
  HWND h = panel->Handle();
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(form->HandleAllocated()) << "the parent's window comes first";
  EXPECT_EQ(GetParent(h), form->WindowHandle());
  EXPECT_EQ(GetPropA(h, MAKEINTATOM(ControlAtom)), panel);
  EXPECT_EQ(GetPropA(h, MAKEINTATOM(WindowAtom)), panel);
  EXPECT_EQ(FindControl(h), panel);
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(h, GWLP_WNDPROC)), panel->ObjectInstance());
  EXPECT_EQ(GetWindowLongPtrA(h, GWLP_ID), reinterpret_cast<LONG_PTR>(h)) << "a child gets its handle as id";
  char cls[64] = {};
  GetClassNameA(h, cls, sizeof cls);
  EXPECT_STREQ(cls, "TTestPanel");
  EXPECT_EQ(CreationControl, nullptr);
  panel->DestroyHandle();
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(panel->HandleAllocated());
}

TEST_F(ControlsTest, CreationAndDestructionLeaveNoWindowsThunksOrObjects) {
  form->HandleNeeded();
  Pump(0);
  int windows = ThreadWindowCount();
  int thunks = ObjectInstanceCount();
  DWORD user = GuiObjects(GR_USEROBJECTS);
  DWORD gdi = GuiObjects(GR_GDIOBJECTS);
  for (int round = 0; round < 3; ++round) {
    std::vector<TControl*> made;
    for (int i = 0; i < 10; ++i) {
      auto* p = new TTestPanel(form);
      p->SetParent(form);
      p->SetBounds(i * 5, i * 5, 40, 30);
      auto* b = new TTestButton(form);
      b->SetParent(p);
      auto* s = new TTestShape(form);
      s->SetParent(p);
      p->HandleNeeded();
      b->HandleNeeded();
      p->Repaint();
      made.push_back(p);
      made.push_back(b);
      made.push_back(s);
    }
    Pump(0);
    for (auto it = made.rbegin(); it != made.rend(); ++it) delete *it;
    Pump(0);
  }
  EXPECT_EQ(ThreadWindowCount(), windows);
  EXPECT_EQ(ObjectInstanceCount(), thunks);
  EXPECT_LE(GuiObjects(GR_USEROBJECTS), user + 2);
  EXPECT_LE(GuiObjects(GR_GDIOBJECTS), gdi + 4);
}

TEST_F(ControlsTest, TextTravelsThroughTheChainAndSurvivesRecreation) {
  auto* edit = new TTestEdit(form);
  edit->SetParent(form);
  const AnsiString russian = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0";  // "Привет, мир" in 1251
  edit->SetText(russian);
  EXPECT_EQ(edit->CachedText(), russian) << "kept while there is no window";
  HWND h = edit->Handle();
  EXPECT_EQ(WindowTextA(h), russian.str());
  EXPECT_EQ(WindowTextW(h), std::wstring(L"Привет, мир"));
  EXPECT_TRUE(edit->CachedText().IsEmpty()) << "the window holds it now";
  SetWindowTextA(h, "typed");
  EXPECT_EQ(edit->Text(), "typed");
  edit->RecreateWnd();
  // Re-created only when showing; the text waits in the cache meanwhile.
  EXPECT_EQ(edit->Text(), "typed");
  HWND h2 = edit->Handle();
  EXPECT_NE(h2, nullptr);
  EXPECT_EQ(WindowTextA(h2), "typed");
  EXPECT_EQ(FindControl(h2), edit);
}

TEST_F(ControlsTest, SetTextSendsTextChangedOnlyOnChange) {
  auto* panel = new TTestPanel(form);
  int changes = 0;
  struct THook : TObject {
    int* Count;
    TWndMethod Saved;
    void Proc(TMessage& m) {
      if (m.Msg == CM_TEXTCHANGED) ++*Count;
      Saved(m);
    }
  } hook;
  hook.Count = &changes;
  hook.Saved = panel->WindowProc();
  panel->SetWindowProc(MakeEvent<&THook::Proc>(&hook));
  panel->SetCaption("a");
  panel->SetCaption("a");
  panel->SetCaption("b");
  EXPECT_EQ(changes, 2);
  panel->SetWindowProc(hook.Saved);
}

TEST_F(ControlsTest, WindowProcIsReplaceableAndComparable) {
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  TWndMethod own = MakeEvent<&TControl::WndProc>(panel);
  EXPECT_TRUE(panel->WindowProc() == own);
  TRecorder rec;
  rec.Saved = panel->WindowProc();
  panel->SetWindowProc(MakeEvent<&TRecorder::Message>(&rec));
  EXPECT_FALSE(panel->WindowProc() == own);
  // Messages from Windows and from Perform both pass the replacement.
  EXPECT_EQ(SendMessageA(panel->Handle(), CM_TESTPING, 0, 0), 7);
  EXPECT_EQ(panel->Perform(CM_TESTPING), 7);
  EXPECT_EQ(Log, (std::vector<std::string>{"hooked", "hooked"}));
  panel->SetWindowProc(rec.Saved);
  EXPECT_TRUE(panel->WindowProc() == own);
  EXPECT_EQ(panel->Pings, 2);
}

TEST_F(ControlsTest, MessageTablesRunTheDerivedHandlerAndItsInherited) {
  auto* p2 = new TTestPanel2(form);
  EXPECT_EQ(p2->Perform(CM_TESTPING), 107);
  EXPECT_EQ(p2->Pings, 1);
  // A message no table has goes to the default handler (no window: nothing).
  EXPECT_EQ(p2->Perform(CM_BASE + 0x201), 0);
  EXPECT_NE(FindMessageHandler(&TTestPanel::MessageMap, CM_TESTPING), nullptr);
  EXPECT_NE(FindMessageHandler(&TTestPanel2::MessageMap, CM_TESTPING),
            FindMessageHandler(&TTestPanel::MessageMap, CM_TESTPING));
  EXPECT_EQ(FindMessageHandler(&TControl::MessageMap, CM_TESTPING), nullptr);
}

TEST_F(ControlsTest, ChildCommandsAreReflectedToTheChild) {
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  auto* button = new TTestButton(form);
  button->SetParent(panel);
  button->SetCaption("Push");
  SendMessageA(button->Handle(), BM_CLICK, 0, 0);
  Pump(0);
  EXPECT_EQ(button->Commands, 1);
  // An unhandled reflected notification stops at the child with result 0.
  EXPECT_EQ(button->Perform(CN_NOTIFY, 0, 0), 0);
}

namespace UnicodeDefault {
WNDPROC Old = nullptr;
LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_NOTIFYFORMAT && lp == NF_QUERY) return NFR_UNICODE;
  return CallWindowProcA(Old, w, m, wp, lp);
}
}  // namespace UnicodeDefault

TEST_F(ControlsTest, NotifyFormatIsAnsweredByTheAskingControl) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  auto* tree = new TTestTree(form);
  tree->SetParent(form);
  HWND h = tree->Handle();
  EXPECT_EQ(SendMessageA(form->Handle(), WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(h), NF_QUERY), NFR_ANSI);
  EXPECT_EQ(SendMessageA(h, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(form->Handle()), NF_REQUERY), NFR_ANSI);
  // A control whose default procedure answers Unicode gets Unicode.
  UnicodeDefault::Old = tree->DefWndProcPtr();
  tree->SetDefWndProcPtr(&UnicodeDefault::Proc);
  EXPECT_EQ(SendMessageA(form->Handle(), WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(h), NF_QUERY), NFR_UNICODE);
  tree->SetDefWndProcPtr(UnicodeDefault::Old);
}

TEST_F(ControlsTest, ExceptionInAHandlerReachesTheApplicationAndTheWindowLivesOn) {
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  HWND h = panel->Handle();
  EXPECT_EQ(SendMessageA(h, WM_USER + 77, 0, 0), 0);
  EXPECT_EQ(TakeExceptions(), std::vector<std::string>{"thrown in a handler"});
  EXPECT_TRUE(IsWindow(h));
  EXPECT_EQ(SendMessageA(h, CM_TESTPING, 0, 0), 7);
  // EAbort is silent.
  struct TAborter : TObject {
    TWndMethod Saved;
    void Proc(TMessage& m) {
      if (m.Msg == WM_USER + 78) Abort();
      Saved(m);
    }
  } aborter;
  aborter.Saved = panel->WindowProc();
  panel->SetWindowProc(MakeEvent<&TAborter::Proc>(&aborter));
  SendMessageA(h, WM_USER + 78, 0, 0);
  EXPECT_TRUE(TakeExceptions().empty());
  panel->SetWindowProc(aborter.Saved);
}

TEST_F(ControlsTest, ControlWithoutParentWindowRefusesToCreate) {
  auto* panel = new TTestPanel(form);
  try {
    panel->HandleNeeded();
    FAIL() << "no exception";
  } catch (EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "Control '' has no parent window");
  }
  EXPECT_EQ(CreationControl, nullptr);
  panel->SetName("pnlLonely");
  EXPECT_THROW(panel->HandleNeeded(), EInvalidOperation);
}

// --- visibility, state, parent values -------------------------------------------

TEST_F(ControlsTest, VisibleAndEnabledReachTheNativeWindow) {
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  form->Show();
  Pump(0);
  HWND h = panel->WindowHandle();
  ASSERT_NE(h, nullptr) << "showing the form made the child's window";
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_TRUE(panel->Showing());
  panel->SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_FALSE(panel->Showing());
  panel->SetVisible(true);
  EXPECT_TRUE(IsWindowVisible(h));
  panel->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(h));
  panel->RecreateWnd();
  Pump(0);
  HWND h2 = panel->WindowHandle();
  ASSERT_NE(h2, nullptr);
  EXPECT_FALSE(IsWindowEnabled(h2)) << "state survives re-creation";
  EXPECT_TRUE(IsWindowVisible(h2));
  panel->SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(h2));
  form->Hide();
  EXPECT_FALSE(IsWindowVisible(form->WindowHandle()));
}

TEST_F(ControlsTest, FontAndColourComeFromTheParentUntilSetOwn) {
  form->Font()->SetName("Tahoma");
  form->Font()->SetCharset(RUSSIAN_CHARSET);
  form->SetColor(clAqua);
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  EXPECT_EQ(panel->Font()->Name(), "Tahoma");
  EXPECT_EQ(panel->Font()->Charset(), RUSSIAN_CHARSET);
  EXPECT_TRUE(panel->ParentFont());
  EXPECT_EQ(panel->Color(), clAqua);
  EXPECT_EQ(panel->Brush()->Color(), clAqua);
  form->Font()->SetHeight(-15);
  EXPECT_EQ(panel->Font()->Height(), -15);
  panel->Font()->SetHeight(-20);
  EXPECT_FALSE(panel->ParentFont());
  form->Font()->SetHeight(-9);
  EXPECT_EQ(panel->Font()->Height(), -20);
  panel->SetParentFont(true);
  EXPECT_EQ(panel->Font()->Height(), -9);
  panel->SetColor(clYellow);
  form->SetColor(clLime);
  EXPECT_EQ(panel->Color(), clYellow);
  // The window gets the font.
  HWND h = panel->Handle();
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)), nullptr)
      << "a custom window keeps no font of its own";
  auto* edit = new TTestEdit(form);
  edit->SetParent(form);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(edit->Handle(), WM_GETFONT, 0, 0)), edit->Font()->Handle());
}

TEST_F(ControlsTest, ShowHintFollowsTheParent) {
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  EXPECT_FALSE(panel->ShowHint());
  form->SetShowHint(true);
  EXPECT_TRUE(panel->ShowHint());
  panel->SetShowHint(false);
  EXPECT_FALSE(panel->ParentShowHint());
  form->SetShowHint(false);
  form->SetShowHint(true);
  EXPECT_FALSE(panel->ShowHint());
  panel->SetHint("Short|Long");
  EXPECT_EQ(GetControlHint(panel), "Short|Long");
  auto* inner = new TTestShape(form);
  inner->SetParent(panel);
  EXPECT_EQ(GetControlHint(inner), "Short|Long") << "from the nearest parent with a hint";
}

// --- alignment ---------------------------------------------------------------------

TEST_F(ControlsTest, AlignmentFillsSidesInOrderAndFollowsResizes) {
  form->SetClientSize(300, 200);
  auto* top = new TTestPanel(form);
  top->SetName("top");
  top->SetParent(form);
  top->SetHeight(30);
  top->SetAlign(alTop);
  auto* bottom = new TTestPanel(form);
  bottom->SetParent(form);
  bottom->SetHeight(20);
  bottom->SetAlign(alBottom);
  auto* left = new TTestPanel(form);
  left->SetParent(form);
  left->SetWidth(50);
  left->SetAlign(alLeft);
  auto* client = new TTestPanel(form);
  client->SetParent(form);
  client->SetAlign(alClient);
  auto* anchored = new TTestShape(form);
  anchored->SetParent(form);
  anchored->SetBounds(250, 100, 30, 20);
  anchored->SetAnchors(akRight | akBottom);
  form->HandleNeeded();
  EXPECT_EQ(form->ClientWidth(), 300);
  EXPECT_EQ(form->ClientHeight(), 200);
  EXPECT_EQ(top->BoundsRect(), TRect(0, 0, 300, 30));
  EXPECT_EQ(bottom->BoundsRect(), TRect(0, 180, 300, 200));
  EXPECT_EQ(left->BoundsRect(), TRect(0, 30, 50, 180));
  EXPECT_EQ(client->BoundsRect(), TRect(50, 30, 300, 180));
  TRecorder rec;
  client->SetName("client");
  client->OnResize = MakeEvent<&TRecorder::Resize>(&rec);
  client->HandleNeeded();
  form->SetClientSize(400, 260);
  EXPECT_EQ(top->BoundsRect(), TRect(0, 0, 400, 30));
  EXPECT_EQ(bottom->BoundsRect(), TRect(0, 240, 400, 260));
  EXPECT_EQ(client->BoundsRect(), TRect(50, 30, 400, 240));
  EXPECT_EQ(anchored->BoundsRect(), TRect(350, 160, 380, 180)) << "keeps its right and bottom distances";
  EXPECT_FALSE(Log.empty());
  EXPECT_EQ(Log.back(), "resize:client");
  // The native window agrees with the bounds.
  RECT r;
  GetWindowRect(client->Handle(), &r);
  MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(TRect(r), client->BoundsRect());
  // A hidden aligned control gives its room back.
  left->SetVisible(false);
  EXPECT_EQ(client->BoundsRect(), TRect(0, 30, 400, 240));
}

// --- painting and the mouse on windowless children -------------------------------

TEST_F(ControlsTest, WindowlessChildPaintsOnTheParentAndGetsItsMouse) {
  form->SetClientSize(200, 120);
  form->SetColor(clWhite);
  auto* shape = new TTestShape(form);
  shape->SetName("shape");
  shape->SetParent(form);
  shape->SetBounds(20, 30, 40, 25);
  TRecorder rec;
  shape->OnClick = MakeEvent<&TRecorder::Click>(&rec);
  shape->OnMouseDown = MakeEvent<&TRecorder::MouseDown>(&rec);
  shape->OnMouseUp = MakeEvent<&TRecorder::MouseUp>(&rec);
  form->Show();
  Pump(50);
  TCapturedImage img = CaptureClient(form->Handle());
  ASSERT_EQ(img.Width, 200);
  EXPECT_EQ(img.At(30, 40), RGB(0, 0, 255));
  EXPECT_EQ(img.At(10, 10), RGB(255, 255, 255));
  EXPECT_EQ(img.Count(RGB(0, 0, 255)), 40 * 25);
  PostClick(form->Handle(), 25, 35);
  Pump(0);
  EXPECT_EQ(Log, (std::vector<std::string>{"down:0:5,5", "click:shape", "up:0:5,5"}));
  // Outside the shape: nothing for it.
  Log.clear();
  PostClick(form->Handle(), 150, 100);
  Pump(0);
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(form->ControlAtPos(TPoint(25, 35), false), shape);
  shape->SetEnabled(false);
  EXPECT_EQ(form->ControlAtPos(TPoint(25, 35), false), nullptr);
  EXPECT_EQ(form->ControlAtPos(TPoint(25, 35), true), shape);
}

TEST_F(ControlsTest, CustomControlPaintsThroughItsCanvas) {
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  panel->SetBounds(10, 10, 50, 40);
  panel->PaintColor = clLime;
  form->Show();
  Pump(50);
  EXPECT_GT(panel->Paints, 0);
  TCapturedImage img = CaptureClient(panel->Handle());
  ASSERT_EQ(img.Width, 50);
  EXPECT_EQ(img.At(25, 20), RGB(0, 255, 0));
  EXPECT_EQ(img.Count(RGB(0, 255, 0)), 50 * 40);
}

// --- focus and keys ---------------------------------------------------------------

TEST_F(ControlsTest, FocusMovesWithEnterAndExitInOrderAndTabGoesToTheNext) {
  auto* a = new TTestEdit(form);
  a->SetName("a");
  a->SetParent(form);
  a->SetBounds(10, 10, 100, 22);
  auto* b = new TTestEdit(form);
  b->SetName("b");
  b->SetParent(form);
  b->SetBounds(10, 40, 100, 22);
  TRecorder rec;
  for (TWinControl* c : {static_cast<TWinControl*>(a), static_cast<TWinControl*>(b)}) {
    c->OnEnter = MakeEvent<&TRecorder::Enter>(&rec);
    c->OnExit = MakeEvent<&TRecorder::Exit>(&rec);
  }
  form->Show();
  Pump(20);
  a->SetFocus();
  Pump(0);
  EXPECT_TRUE(a->Focused());
  EXPECT_EQ(form->ActiveControl(), a);
  Log.clear();
  b->SetFocus();
  Pump(0);
  EXPECT_TRUE(b->Focused());
  EXPECT_EQ(Log, (std::vector<std::string>{"exit:a", "enter:b"}));
  EXPECT_EQ(a->TabOrder(), 0);
  EXPECT_EQ(b->TabOrder(), 1);
  // Tab from b goes round to a (through the key pre-processing of the loop).
  Log.clear();
  PostKey(b->Handle(), VK_TAB);
  Pump(0);
  EXPECT_TRUE(a->Focused());
  EXPECT_EQ(Log, (std::vector<std::string>{"exit:b", "enter:a"}));
  b->SetTabOrder(0);
  EXPECT_EQ(b->TabOrder(), 0);
  EXPECT_EQ(a->TabOrder(), 1);
  EXPECT_EQ(form->FindNextControl(b, true, true, false), a);
  b->SetEnabled(false);
  EXPECT_FALSE(b->CanFocus());
  EXPECT_EQ(form->FindNextControl(a, true, true, false), nullptr);
  EXPECT_THROW(form->SetActiveControl(b), EInvalidOperation);
}

TEST_F(ControlsTest, KeyPreviewLetsTheFormSeeKeysFirstAndEatThem) {
  form->SetName("frm");
  auto* a = new TTestEdit(form);
  a->SetName("a");
  a->SetParent(form);
  TRecorder rec;
  a->OnKeyDown = MakeEvent<&TRecorder::KeyDown>(&rec);
  form->OnKeyDown = MakeEvent<&TRecorder::KeyDown>(&rec);
  form->Show();
  Pump(20);
  a->SetFocus();
  Pump(0);
  PostKey(a->Handle(), 'K');
  Pump(0);
  EXPECT_EQ(Log, (std::vector<std::string>{"key:a:75"}));
  Log.clear();
  form->SetKeyPreview(true);
  PostKey(a->Handle(), 'K');
  Pump(0);
  EXPECT_EQ(Log, (std::vector<std::string>{"key:frm:75", "key:a:75"}));
  Log.clear();
  form->OnKeyDown = MakeEvent<&TRecorder::KeyDownEat>(&rec);
  PostKey(a->Handle(), 'K');
  Pump(0);
  EXPECT_EQ(Log, (std::vector<std::string>{"eat:frm"}));
}

TEST_F(ControlsTest, ParentDestroyedFromOutsideLeavesChildrenReadyForNewWindows) {
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  auto* edit = new TTestEdit(form);
  edit->SetParent(panel);
  edit->SetText("kept");
  HWND he = edit->Handle();
  HWND hp = panel->WindowHandle();
  DestroyWindow(hp);
  EXPECT_FALSE(IsWindow(he));
  EXPECT_FALSE(edit->HandleAllocated());
  EXPECT_FALSE(panel->HandleAllocated());
  EXPECT_EQ(edit->Text(), "kept");
  EXPECT_NE(edit->Handle(), nullptr);
  EXPECT_EQ(WindowTextA(edit->Handle()), "kept");
}

TEST_F(ControlsTest, DeletingAParentLeavesTheChildrenWithoutOne) {
  auto* panel = new TTestPanel(nullptr);
  panel->SetParent(form);
  auto* shape = new TTestShape(form);
  shape->SetParent(panel);
  auto* edit = new TTestEdit(form);
  edit->SetParent(panel);
  edit->HandleNeeded();
  delete panel;
  EXPECT_EQ(shape->Parent(), nullptr);
  EXPECT_EQ(edit->Parent(), nullptr);
  EXPECT_FALSE(edit->HandleAllocated());
  edit->SetParent(form);
  EXPECT_NE(edit->Handle(), nullptr);
}

}  // namespace
