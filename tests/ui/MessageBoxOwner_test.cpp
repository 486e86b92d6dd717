// A failed open reports itself in a box that stays until it is answered:
// the wait window that was up when the box came is gone by then, and the box
// must not go with it.
#include <gtest/gtest.h>

#include "Opensaveunit.h"
#include "UiTestUtil.h"

namespace {

// Watches for the message box from a timer (the box runs its own loop): once
// the box is up it waits for the wait window to be freed, notes whether the
// box is still there, and only then answers it.
struct TLateAnswer {
  std::wstring Text;
  HWND Box = nullptr;
  DWORD Since = 0;
  bool WaitWindowGone = false;
  bool BoxOutlivedIt = false;
  bool Answered = false;
};
TLateAnswer* Watch = nullptr;

BOOL CALLBACK FindBox(HWND wnd, LPARAM) {
  wchar_t cls[16] = {};
  GetClassNameW(wnd, cls, 16);
  if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(wnd)) return TRUE;
  Watch->Box = wnd;
  return FALSE;
}

void CALLBACK LateAnswer(HWND, UINT, UINT_PTR, DWORD) {
  if (!Watch || Watch->Answered) return;
  if (!Watch->Box) {
    EnumThreadWindows(GetCurrentThreadId(), &FindBox, 0);
    Watch->Since = GetTickCount();
    return;
  }
  const bool gone = OpenSaveForm == nullptr;
  if (!gone && GetTickCount() - Watch->Since < 5000) return;
  Watch->WaitWindowGone = gone;
  Watch->BoxOutlivedIt = IsWindow(Watch->Box) && IsWindowVisible(Watch->Box);
  wchar_t text[512] = {};
  GetDlgItemTextW(Watch->Box, 0xFFFF, text, 512);
  Watch->Text = text;
  Watch->Answered = true;
  if (IsWindow(Watch->Box)) PostMessageW(Watch->Box, WM_COMMAND, IDOK, 0);
}

class OpenFailureBoxTest : public MainWindowTest {};

TEST_F(OpenFailureBoxTest, TheBoxStaysUntilAnswered) {
  TempDir out;
  WriteFileBytes(out.File("not-a-zip.vq"), "this is no archive");
  WriteFileBytes(out.File("~tmp~empty"), "");
  WriteFileBytes(out.File("~tmp~cut"), std::string(256 + 300, 'x'));
  std::string output;
  ASSERT_EQ(RunUnix("cd " + Q(UnixPath(out.Path())) + " && zip -q empty.vq '~tmp~empty' && zip -q cut.vq '~tmp~cut'",
                    &output),
            0)
      << output;
  struct Case {
    const char* File;
    const wchar_t* Message;
  };
  const Case cases[] = {
      {"not-a-zip.vq", L"Неудачная попытка разархивировать файл"},
      {"empty.vq", L"Файл пуст!"},
      {"cut.vq", L"Ошибка при загрузке файла! Возможно он повреждён"},
  };
  for (const Case& c : cases) {
    TLateAnswer watch;
    Watch = &watch;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &LateAnswer);
    OpenFile(out.File(c.File));
    KillTimer(nullptr, timer);
    Watch = nullptr;
    EXPECT_TRUE(watch.Answered) << c.File << ": no box was seen";
    EXPECT_TRUE(watch.WaitWindowGone) << c.File << ": the wait window never went";
    EXPECT_TRUE(watch.BoxOutlivedIt) << c.File << ": the box closed by itself";
    EXPECT_NE(watch.Text.find(c.Message), std::wstring::npos) << c.File;
    EXPECT_TRUE(F->Enabled());
  }
}

}  // namespace
