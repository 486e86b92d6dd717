// The event dispatchers: handlers get the arguments, and without handlers the
// fixed default answers apply.
#include <gtest/gtest.h>

#include <memory>

#include "ZipTestUtil.h"

namespace {

struct Scripted {
  static std::vector<std::wstring> Texts;
  static std::vector<TZEDialogButtons> Buttons;
  static TZEModalResult Answer;
  static TZEModalResult Confirm(const WideString& text, TZEDialogButtons buttons) {
    Texts.push_back(text.str());
    Buttons.push_back(buttons);
    return Answer;
  }
  static bool Input(const WideString& caption, const WideString& prompt, AnsiString& value) {
    Texts.push_back(caption.str() + L"|" + prompt.str() + L"|" + AnsiToWide(value).str());
    value = "typed";
    return Answer == zmrOk;
  }
};
std::vector<std::wstring> Scripted::Texts;
std::vector<TZEDialogButtons> Scripted::Buttons;
TZEModalResult Scripted::Answer = zmrNone;

struct Events : ::testing::Test {
  TZEDialogs saved = ZEDialogs;
  std::unique_ptr<TZipEngine> zip{new TZipEngine(nullptr)};
  void SetUp() override {
    ZEDialogs = {&Scripted::Confirm, &Scripted::Input};
    Scripted::Texts.clear();
    Scripted::Buttons.clear();
  }
  void TearDown() override { ZEDialogs = saved; }
};

TEST_F(Events, DefaultsWithoutHandlers) {
  bool cancel = true;
  zip->DoOnOverallProgress(50, poAdd, ppProcess, cancel);
  EXPECT_FALSE(cancel);
  cancel = true;
  zip->DoOnFileProgress(L"a/b", 50, poAdd, ppProcess, cancel);
  EXPECT_FALSE(cancel);
  bool confirm = false;
  zip->DoOnConfirmProcessFile(L"x", poExtract, confirm);
  EXPECT_TRUE(confirm);
  cancel = false;
  zip->DoOnDiskFull(0, L"x.zip", cancel);  // no spanning: cancel, no box
  EXPECT_TRUE(cancel);
  TZEAction action = fxaRetry;
  zip->DoOnProcessFileFailure(L"f", poExtract, 45, 24, L"m", action);
  EXPECT_EQ(action, fxaAbort);
  EXPECT_TRUE(Scripted::Texts.empty());
  // A missing first volume of an archive being created is not a cancellation.
  TempDir dir;
  zip->SetFileName(W(dir.File("new.zip")));
  zip->OpenArchive(fmCreate);
  WideString name;
  cancel = true;
  zip->DoOnRequestFirstVolume(name, cancel);
  EXPECT_FALSE(cancel);
  zip->CloseArchive();
}

TEST_F(Events, FailureQuestionsShowTheRightButtons) {
  TZEAction action = fxaAbort;
  Scripted::Answer = zmrRetry;
  zip->DoOnProcessFileFailure(L"f", poAdd, 33, 12, L"Cannot open file", action);
  EXPECT_EQ(action, fxaRetry);
  EXPECT_EQ(Scripted::Texts.back(), L"Cannot open file. File processing error, possibly disk is full");
  EXPECT_EQ(Scripted::Buttons.back(), zdbAbortRetryIgnore);
  Scripted::Answer = zmrIgnore;
  zip->DoOnProcessFileFailure(L"f", poAdd, 61, 36, L"File name is too long", action);
  EXPECT_EQ(action, fxaIgnore);
  EXPECT_EQ(Scripted::Texts.back(), L"File name is too long");
  EXPECT_EQ(Scripted::Buttons.back(), zdbAbortIgnore);
  Scripted::Answer = zmrNone;  // closed: abort
  zip->DoOnProcessFileFailure(L"f", poAdd, 8, 4, L"bad", action);
  EXPECT_EQ(action, fxaAbort);
}

TEST_F(Events, OverwriteAnswersToAllChangeTheOptions) {
  WideString dest = L"C:\\t\\a.txt";
  bool confirm = false;
  Scripted::Answer = zmrYesToAll;
  zip->Options()->OverwriteMode = omPrompt;
  zip->DoOnConfirmOverwrite(L"a.txt", dest, confirm);
  EXPECT_TRUE(confirm);
  EXPECT_EQ(zip->Options()->OverwriteMode, omAlways);
  EXPECT_EQ(Scripted::Texts.back(), L"Overwrite file \"C:\\t\\a.txt\" with \"a.txt\"");
  EXPECT_EQ(Scripted::Buttons.back(), zdbYesNoAll);
  Scripted::Answer = zmrNoToAll;
  zip->DoOnConfirmOverwrite(L"a.txt", dest, confirm);
  EXPECT_FALSE(confirm);
  EXPECT_EQ(zip->Options()->OverwriteMode, omNever);
}

TEST_F(Events, PasswordPrompt) {
  AnsiString pw = "old";
  bool skip = false;
  Scripted::Answer = zmrOk;
  zip->DoOnPassword(L"item.txt", pw, skip);
  EXPECT_FALSE(skip);
  EXPECT_EQ(pw, "typed");
  EXPECT_EQ(Scripted::Texts.back(), L"Password for \"item.txt\"|Enter password: |old");
  Scripted::Answer = zmrCancel;
  zip->DoOnPassword(L"item.txt", pw, skip);
  EXPECT_TRUE(skip);
}

TEST_F(Events, HandlersGetTheArguments) {
  struct H {
    std::wstring File;
    int Volume = -1;
    static void OnFile(void* d, TObject*, const WideString& f, double, TZEProcessOperation, TZEProgressPhase, bool&) {
      static_cast<H*>(d)->File = f.str();
    }
    static void OnBlank(void* d, TObject*, int volume, WideString&, bool&) { static_cast<H*>(d)->Volume = volume; }
    static void OnStore(void*, TObject*, WideString& name, uint32_t& attr, AnsiString& comment, const WideString&) {
      name = L"renamed\\" + name;
      attr = 0x21;
      comment = "c";
    }
  } h;
  bool cancel = false;
  zip->OnFileProgress = TZEFileProgressEvent(&h, &H::OnFile);
  zip->DoOnFileProgress(L"dir/sub/f.txt", 1, poAdd, ppStart, cancel);
  EXPECT_EQ(h.File, L"dir\\sub\\f.txt");
  zip->OnRequestBlankVolume = TZEOnRequestBlankVolumeEvent(&h, &H::OnBlank);
  WideString name;
  zip->DoOnRequestBlankVolume(0, name, cancel);
  EXPECT_EQ(h.Volume, 1);
  TMemoryStream m;
  zip->OnStoreFile = TZEOnStoreFileEvent(&h, &H::OnStore);
  zip->OpenArchive(&m, true);
  zip->AddFromString(L"a.txt", "x", 0x20, 0);
  const TDirItem& item = zip->DirManager()->Directory().GetItemPtr(0);
  EXPECT_EQ(item.StoredName, WideString(L"renamed/a.txt"));
  EXPECT_EQ(item.Comment, "c");
  zip->CloseArchive();
}

TEST(BuiltInBoxes, TheOverwriteBoxOffersYesToAll) {
  TZEDialogs saved = ZEDialogs;
  ZEDialogs = BuiltInDialogs;
  ScriptDialogs script({{"Overwrite file", 10}});
  std::unique_ptr<TZipEngine> zip(new TZipEngine(nullptr));
  WideString dest = L"C:\\t\\a.txt";
  bool confirm = false;
  zip->DoOnConfirmOverwrite(L"a.txt", dest, confirm);
  ZEDialogs = saved;
  EXPECT_TRUE(confirm);
  EXPECT_EQ(zip->Options()->OverwriteMode, omAlways);
  ASSERT_EQ(script.Shown().size(), 1u);
  EXPECT_TRUE(script.Unused().empty());
}

}  // namespace
