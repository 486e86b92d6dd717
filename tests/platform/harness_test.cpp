// The helpers every other test leans on: the bounded wait, the scratch
// folder and the runs of Linux programs.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "harness.h"

namespace {

TEST(HarnessWaitFor, HoldsAsSoonAsTheConditionDoes) {
  // A state that comes through a posted message, as a program's states do.
  struct Case {
    const char* Name;
    int PostsNeeded;
  } cases[] = {{"already true", 0}, {"after one message", 1}, {"after several messages", 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    static int handled;
    handled = 0;
    HWND wnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(wnd, nullptr);
    auto counter = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT __attribute__((stdcall)) {
      if (m == WM_APP) ++handled;
      return DefWindowProcA(w, m, wp, lp);
    };
    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+counter));
    for (int i = 0; i < c.PostsNeeded; ++i) PostMessageA(wnd, WM_APP, 0, 0);
    const DWORD start = GetTickCount();
    EXPECT_TRUE(WaitFor([&] { return handled == c.PostsNeeded; }, "the posted messages were handled"));
    EXPECT_LT(GetTickCount() - start, 5000u) << "a wait that holds does not sit out its bound";
    DestroyWindow(wnd);
  }
}

TEST(HarnessWaitFor, ATimeOutNamesWhatNeverHappened) {
  const DWORD start = GetTickCount();
  const ::testing::AssertionResult r = WaitFor([] { return false; }, "the list was saved", 200);
  const DWORD waited = GetTickCount() - start;
  EXPECT_FALSE(r);
  EXPECT_NE(std::string(r.message()).find("the list was saved"), std::string::npos) << r.message();
  EXPECT_GE(waited, 200u);
  EXPECT_LT(waited, 10000u) << "the bound ends the wait";
}

TEST(HarnessTempDir, AnUnusableTemporaryFolderFailsInsteadOfLooping) {
  TempDir scratch;
  WriteFileBytes(scratch.File("plain-file"), "x");
  const std::string cases[] = {scratch.File("missing") + "\\deeper", scratch.File("plain-file")};
  for (const std::string& temp : cases) {
    SCOPED_TRACE(temp);
    EnvironmentChange tmp("TMP", temp.c_str());
    EnvironmentChange temp2("TEMP", temp.c_str());
    try {
      TempDir unusable;
      ADD_FAILURE() << "made " << unusable.Path();
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find("temporary folder"), std::string::npos) << e.what();
    }
  }
}

TEST(HarnessTempDir, NamesDifferAndTheFolderGoesWithItsContents) {
  std::string first, second;
  {
    TempDir a, b;
    first = a.Path();
    second = b.Path();
    EXPECT_NE(first, second);
    WriteFileBytes(a.File("inner.txt"), "data");
    CreateDirectoryA(a.File("sub").c_str(), nullptr);
    WriteFileBytes(a.File("sub\\deeper.txt"), "data");
  }
  EXPECT_EQ(GetFileAttributesA(first.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(second.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(HarnessRunUnix, ExitCodesAndOutputComeBack) {
  struct Case {
    const char* Command;
    int Code;
    const char* Output;
  } cases[] = {{"printf 'one\\ntwo'", 0, "one\ntwo"}, {"echo err >&2; exit 3", 3, "err\n"}, {"true", 0, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Command);
    std::string out;
    EXPECT_EQ(RunUnix(c.Command, &out), c.Code);
    EXPECT_EQ(out, c.Output);
  }
}

TEST(HarnessRunUnix, LeavesEveryHandleOfTheCallerOpen) {
  // Wine leaves leftovers in the process information of a Linux program;
  // closing them once closed standard output and lost all later output.
  std::vector<HANDLE> events;
  for (int i = 0; i < 64; ++i) events.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD flags = 0;
  const bool outOpen = out && GetHandleInformation(out, &flags), errOpen = err && GetHandleInformation(err, &flags);
  for (int run = 0; run < 8; ++run) ASSERT_EQ(RunUnix("true"), 0);
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_TRUE(GetHandleInformation(events[i], &flags)) << "event " << i;
    CloseHandle(events[i]);
  }
  if (outOpen) {
    EXPECT_TRUE(GetHandleInformation(out, &flags)) << "standard output";
  }
  if (errOpen) {
    EXPECT_TRUE(GetHandleInformation(err, &flags)) << "standard error";
  }
}

}  // namespace
