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
