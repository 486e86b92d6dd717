// The application object (wide title and hint, the hint action swap, the
// idle control), the Unicode form and the accelerator test.
#include "ControlsTestUtil.h"

#include "UcForms.h"
#include "UcHintWindow.h"
#include "UcMenus.h"
#include "UcStdActns.h"

#include <gtest/gtest.h>

namespace {

using UcApplicationTest = UcGuiTest;

std::vector<std::wstring> HintActionsSeen;
bool RecordHintActions(TMessage& m) {
  if (m.Msg == CM_ACTIONEXECUTE) {
    auto* action = reinterpret_cast<TBasicAction*>(m.LParam);
    if (action && action->Is<TUcHintAction>())
      HintActionsSeen.push_back(L"wide:" + UcAction_GetHint(static_cast<TCustomAction*>(action)).str());
    else if (action && action->Is<THintAction>())
      HintActionsSeen.push_back(L"ansi:" + AnsiToWide(static_cast<THintAction*>(action)->Hint()).str());
  }
  return false;
}

}  // namespace

TEST(UcAccel, WideHotKeysIgnoreCase) {
  EXPECT_TRUE(IsWideCharAccel(0x0436, L"&\u0416\u0451\u043B\u0442\u044B\u0439"));  // ж and Ж
  EXPECT_TRUE(IsWideCharAccel(0x0416, L"&\u0416\u0451\u043B\u0442\u044B\u0439"));
  EXPECT_TRUE(IsWideCharAccel(0x65E5, L"x&\u65E5"));
  EXPECT_TRUE(IsWideCharAccel('o', L"&Open"));
  EXPECT_FALSE(IsWideCharAccel('p', L"&Open"));
  EXPECT_FALSE(IsWideCharAccel('o', L"Open"));
  EXPECT_FALSE(IsWideCharAccel('&', L"a&&b"));
  // A key code below 256 is read in the keyboard's code page.
  EXPECT_EQ(IsWideCharAccel(0xE6, L"&\u0416"), KeyUnicode(0xE6) == L'\u0436');
}

// The text the window itself keeps (the application window's procedure is
// ANSI, so asking it through messages narrows the answer).
std::wstring StoredText(HWND wnd) {
  wchar_t buf[256] = {};
  int n = InternalGetWindowText(wnd, buf, 256);
  return std::wstring(buf, n > 0 ? n : 0);
}

TEST_F(UcApplicationTest, WideTitleOfTheApplicationWindow) {
  AnsiString oldTitle = Application->Title();
  UcApplication->SetTitle(kMixedText);
  EXPECT_EQ(StoredText(Application->Handle()), kMixedText);
  EXPECT_EQ(UcApplication->GetTitle().str(), kMixedText);

  // A title set while there is no Unicode road waits for the window's
  // creation, then is shown whole.
  {
    TPlatformSwitch ansi(false);
    UcApplication->SetTitle(kCjkText);
    EXPECT_EQ(Application->Title(), WideToAnsi(kCjkText));
    EXPECT_EQ(UcApplication->GetTitle().str(), kCjkText);
  }
  TMessage create{WM_CREATE, 0, 0, 0};
  EXPECT_FALSE(UcApplication->WndProc(create));
  EXPECT_EQ(StoredText(Application->Handle()), kCjkText);
  EXPECT_EQ(UcApplication->GetTitle().str(), kCjkText);
  Application->SetTitle(oldTitle);
  EXPECT_EQ(UcApplication->GetExeName().str(), AnsiToWide(Application->ExeName()).str());
}

TEST_F(UcApplicationTest, WideHintAndTheHintActionSwap) {
  HintActionsSeen.clear();
  TWindowHook hook = TWindowHook::Free(&RecordHintActions);
  Application->HookMainWindow(hook);
  UcApplication->SetHint(L"\u65E5\u672C hint");
  Application->UnhookMainWindow(hook);
  EXPECT_EQ(Application->Hint(), "?? hint");
  EXPECT_EQ(UcApplication->GetHint().str(), L"\u65E5\u672C hint");
  // The class library's hint action arrives first; the layer answers it
  // with a wide one carrying the whole text.
  ASSERT_EQ(HintActionsSeen.size(), 2u);
  EXPECT_EQ(HintActionsSeen[0], L"ansi:?? hint");
  EXPECT_EQ(HintActionsSeen[1], L"wide:\u65E5\u672C hint");

  Application->SetHint("ansi hint");
  EXPECT_EQ(UcApplication->GetHint().str(), L"ansi hint");
  UcApplication->SetHint(L"");
}

TEST_F(UcApplicationTest, SettingChangesAreTimed) {
  TMessage m{WM_SETTINGCHANGE, 0, 0, 0};
  DWORD before = GetTickCount();
  EXPECT_FALSE(UcApplication->WndProc(m));
  EXPECT_GE(UcApplication->SettingChangeTime(), before);
  EXPECT_EQ(_SettingChangeTime, UcApplication->SettingChangeTime());
}

TEST_F(UcApplicationTest, TheMainFormGetsTheIdleControlOnce) {
  TForm* main = nullptr;
  Application->CreateForm(&main);
  ASSERT_EQ(Application->MainForm(), main);
  PostMessageW(main->WindowHandle(), WM_NULL, 0, 0);
  Pump(20);
  TUcAppIdleEventControl* idle = UcApplication->IdleControl();
  ASSERT_NE(idle, nullptr);
  EXPECT_EQ(idle->Parent(), main);
  EXPECT_EQ(idle->Owner(), main);
  ASSERT_NE(idle->Action(), nullptr);
  EXPECT_TRUE(idle->Action()->Is<TUcAction>());
  EXPECT_TRUE(idle->Action()->OnUpdate.Assigned());
  delete main;
  EXPECT_EQ(UcApplication->IdleControl(), nullptr);
}

TEST_F(UcApplicationTest, UnicodeFormCaptionSurvivesRecreation) {
  auto* form = NewForm<TUcForm>(nullptr);
  form->SetCaption(kMixedText);
  form->SetBounds(150, 150, 300, 200);
  form->Show();
  Pump(20);
  ASSERT_TRUE(form->HandleAllocated());
  EXPECT_TRUE(IsWindowUnicode(form->WindowHandle()));
  EXPECT_EQ(WindowTextW(form->WindowHandle()), kMixedText);
  form->RecreateWnd();
  Pump(20);
  ASSERT_TRUE(form->HandleAllocated());
  EXPECT_EQ(WindowTextW(form->WindowHandle()), kMixedText);
  EXPECT_EQ(form->Caption().str(), kMixedText);
  EXPECT_EQ(form->TControl::Caption(), WideToAnsi(kMixedText));
  // A Unicode child on a Unicode form.
  auto* edit = new TTestUcEdit(form);
  edit->SetParent(form);
  edit->SetCaption(kCjkText);
  edit->HandleNeeded();
  EXPECT_EQ(WindowTextW(edit->WindowHandle()), kCjkText);
  delete form;
}

TEST_F(UcApplicationTest, MenuSelectOnAUnicodeFormSetsTheWideLongHint) {
  auto* form = NewForm<TUcForm>(nullptr);
  auto* menu = new TUcMainMenu(form);
  auto* top = new TUcMenuItem(form);
  top->SetCaption(L"top");
  auto* item = new TUcMenuItem(form);
  item->SetCaption(L"item");
  item->SetHint(L"short|\u65E5\u672C \u0434\u043B\u0438\u043D\u043D\u0430\u044F");
  top->Add(item);
  menu->Items()->Add(top);
  form->SetMenu(menu);
  form->HandleNeeded();
  SendMessageW(form->WindowHandle(), WM_MENUSELECT, MAKEWPARAM(item->Command(), 0),
               reinterpret_cast<LPARAM>(top->Handle()));
  EXPECT_EQ(UcApplication->GetHint().str(), L"\u65E5\u672C \u0434\u043B\u0438\u043D\u043D\u0430\u044F");
  SendMessageW(form->WindowHandle(), WM_MENUSELECT, MAKEWPARAM(0xFFFF, 0xFFFF), 0);
  EXPECT_EQ(UcApplication->GetHint().str(), L"");
  delete form;
}

TEST_F(UcApplicationTest, NoMdiChildWithoutAnMdiForm) {
  auto* form = NewForm<TUcForm>(nullptr);
  form->SetFormStyle(fsMDIChild);
  EXPECT_THROW(form->HandleNeeded(), EInvalidOperation);
  form->SetFormStyle(fsNormal);
  delete form;
}

TEST_F(UcApplicationTest, MdiChildrenOfAUnicodeMainFormKeepTheirWideCaptions) {
  TUcForm* main = nullptr;
  Application->CreateForm(&main);
  main->SetFormStyle(fsMDIForm);
  main->SetBounds(30, 30, 600, 450);
  main->SetCaption(kCjkText);
  main->Show();
  Pump(20);
  HWND client = main->ClientHandle();
  ASSERT_NE(client, nullptr);
  EXPECT_TRUE(IsWindowUnicode(main->WindowHandle()));
  EXPECT_EQ(WindowTextW(main->WindowHandle()), kCjkText) << "text requests pass DefFrameProcW";

  const std::wstring captions[] = {L"\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442",     // Документ
                                   L"\u0388\u03B3\u03B3\u03C1\u03B1\u03C6\u03BF",          // Έγγραφο
                                   L"\u6587\u66F8 \u0416 \u03A9"};                              // 文書 Ж Ω
  std::vector<TUcForm*> children;
  for (const std::wstring& caption : captions) {
    auto* child = NewForm<TUcForm>(nullptr);
    child->SetFormStyle(fsMDIChild);
    child->SetBounds(10 + 20 * static_cast<int>(children.size()), 10, 250, 180);
    child->SetCaption(caption.c_str());
    child->Show();
    children.push_back(child);
  }
  Pump(20);
  for (size_t i = 0; i < children.size(); ++i) {
    HWND h = children[i]->WindowHandle();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetParent(h), client);
    EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_MDICHILD);
    EXPECT_TRUE(IsWindowUnicode(h));
    EXPECT_EQ(WindowTextW(h), captions[i]);
    EXPECT_EQ(children[i]->Caption().str(), captions[i]);
  }
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0)), children.back()->WindowHandle());

  // A new window for a child and for the frame: the wide texts move across.
  children[1]->RecreateWnd();
  Pump(10);
  ASSERT_TRUE(children[1]->HandleAllocated());
  EXPECT_EQ(WindowTextW(children[1]->WindowHandle()), captions[1]);
  EXPECT_EQ(GetParent(children[1]->WindowHandle()), client);

  for (TUcForm* child : children) delete child;
  EXPECT_EQ(GetWindow(client, GW_CHILD), nullptr) << "the MDI client destroyed the children";

  main->RecreateWnd();
  Pump(10);
  ASSERT_TRUE(main->HandleAllocated());
  EXPECT_NE(main->ClientHandle(), nullptr);
  EXPECT_NE(main->ClientHandle(), client);
  EXPECT_EQ(WindowTextW(main->WindowHandle()), kCjkText) << "the frame's trap let go of the old window";
  delete main;
}

TEST_F(UcApplicationTest, LayeringOfAUnicodeFormSurvivesANewWindow) {
  auto* form = NewForm<TUcForm>(nullptr);
  form->SetAlphaBlend(true);
  form->SetAlphaBlendValue(100);
  HWND h = form->Handle();
  EXPECT_TRUE(IsWindowUnicode(h));
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(h, nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 100);
  EXPECT_TRUE(flags & LWA_ALPHA);
  form->RecreateWnd();
  h = form->Handle();
  EXPECT_TRUE(IsWindowUnicode(h));
  EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_LAYERED);
  alpha = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(h, nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 100);

  // A colour key alone is applied to the new window too.
  form->SetAlphaBlend(false);
  form->SetTransparentColorValue(clRed);
  form->SetTransparentColor(true);
  form->RecreateWnd();
  h = form->Handle();
  COLORREF key = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(h, &key, nullptr, &flags));
  EXPECT_EQ(key, RGB(255, 0, 0));
  EXPECT_TRUE(flags & LWA_COLORKEY);
  EXPECT_FALSE(flags & LWA_ALPHA);
  delete form;
}

TEST_F(UcApplicationTest, AUnicodeDockSiteHasItsWindowBeforeAnythingDocks) {
  auto* form = NewForm<TUcForm>(nullptr);
  form->SetDockSite(true);
  EXPECT_FALSE(form->HandleAllocated()) << "a dock site alone needs no manager";
  form->SetUseDockManager(true);
  ASSERT_TRUE(form->HandleAllocated());
  EXPECT_TRUE(IsWindowUnicode(form->WindowHandle()));
  delete form;
}

namespace {

int UpdateCalls[UcSystemUpdateCount];
template <int N> void CountUpdate() { ++UpdateCalls[N]; }

}  // namespace

TEST(UcEnvironment, SystemUpdatesRunTheChosenHooksOnce) {
  TUcSystemUpdate saved[UcSystemUpdateCount];
  std::copy(UcSystemUpdates, UcSystemUpdates + UcSystemUpdateCount, saved);
  std::fill(UpdateCalls, UpdateCalls + UcSystemUpdateCount, 0);
  UcSystemUpdates[0] = &CountUpdate<0>;
  UcSystemUpdates[1] = nullptr;  // an empty slot is passed over
  UcSystemUpdates[2] = &CountUpdate<2>;
  UcSystemUpdates[3] = &CountUpdate<3>;
  InstallUcSystemUpdates(0x1 | 0x2 | 0x4 | 0x10);
  EXPECT_EQ(UpdateCalls[0], 1);
  EXPECT_EQ(UpdateCalls[2], 1);
  EXPECT_EQ(UpdateCalls[3], 0) << "not chosen";
  InstallUcSystemUpdates(0xF);
  EXPECT_EQ(UpdateCalls[0], 1) << "installed once";
  EXPECT_EQ(UpdateCalls[2], 1);
  EXPECT_EQ(UpdateCalls[3], 1);
  std::copy(saved, saved + UcSystemUpdateCount, UcSystemUpdates);
}

TEST(UcEnvironment, DevelopmentEnvironmentHostsAreKnownByFileNameInAnyCase) {
  EXPECT_TRUE(IsDevelopmentEnvironmentHost("C:\\Program Files\\Studio\\4.0\\Bin\\studio.exe"));
  EXPECT_TRUE(IsDevelopmentEnvironmentHost("D:\\Designer\\Bin\\DESIGNER32.EXE"));
  EXPECT_TRUE(IsDevelopmentEnvironmentHost("Builder32.Exe"));
  EXPECT_FALSE(IsDevelopmentEnvironmentHost("C:\\studio.exe\\fennolit.exe"));
  EXPECT_FALSE(IsDevelopmentEnvironmentHost("C:\\tools\\studio.exe.bak"));
  EXPECT_FALSE(IsDevelopmentEnvironmentHost("C:\\tools\\xstudio.exe"));
  EXPECT_FALSE(IsDevelopmentEnvironmentHost(""));
}

TEST_F(UcApplicationTest, AnsiPlatformFormIsAClassLibraryForm) {
  TPlatformSwitch ansi(false);
  auto* form = NewForm<TUcForm>(nullptr);
  form->SetCaption(kCyrillicText);
  form->HandleNeeded();
  EXPECT_FALSE(IsWindowUnicode(form->WindowHandle()));
  EXPECT_EQ(WindowTextA(form->WindowHandle()), WideToAnsi(kCyrillicText).str());
  delete form;
}

namespace {

std::string ProfileValue(const char* name) {
  char buf[64] = {};
  GetProfileStringA("FontSubstitutes", name, "", buf, sizeof buf);
  return buf;
}

}  // namespace

// InitUcEnvironment writes win.ini and broadcasts the change: it runs only in
// a Wine prefix of its own, made for the test and removed after it.
TEST(UcEnvironment, InitUcEnvironmentInAScratchPrefix) {
  char child[8] = {};
  if (GetEnvironmentVariableA("FENNOLIT_UC_SCRATCH_CHILD", child, sizeof child)) {
    const TMetaClass* saved = HintWindowClass;
    InitUcEnvironment();
    EXPECT_FALSE(ProfileValue("MS Shell Dlg").empty());
    EXPECT_FALSE(ProfileValue("MS Shell Dlg 2").empty());
    EXPECT_EQ(HintWindowClass, &TUcHintWindow::Class);
    std::string first = ProfileValue("MS Shell Dlg 2");
    // A program (not a library in a development environment) takes the
    // face the substitute names for the fonts it makes from now on.
    EXPECT_EQ(DefaultFontName().str(), first);
    TFont font;
    EXPECT_EQ(font.Name().str(), first);
    InitUcEnvironment();  // values that are there stay
    EXPECT_EQ(ProfileValue("MS Shell Dlg 2"), first);
    HintWindowClass = saved;
    return;
  }
  std::string shellDlg = ProfileValue("MS Shell Dlg");
  std::string shellDlg2 = ProfileValue("MS Shell Dlg 2");
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string prefix = "/tmp/fennolit-uc-scratch-" + std::to_string(GetCurrentProcessId());
  std::string script =
      "export WINEPREFIX='" + prefix + "' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='\n"
      "wineboot -i >/dev/null 2>&1 && wineserver -w\n"
      "FENNOLIT_UC_SCRATCH_CHILD=1 wine '" + UnixPath(exe) +
      "' --gtest_filter=UcEnvironment.InitUcEnvironmentInAScratchPrefix\n"
      "rc=$?\n"
      "wineserver -k\n"
      "rm -rf '" + prefix + "'\n"
      "exit $rc\n";
  std::string output;
  int rc = RunUnix(script, &output);
  EXPECT_EQ(rc, 0) << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
  // The shared prefix was not touched.
  EXPECT_EQ(ProfileValue("MS Shell Dlg"), shellDlg);
  EXPECT_EQ(ProfileValue("MS Shell Dlg 2"), shellDlg2);
}
