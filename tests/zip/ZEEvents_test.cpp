// The event dispatchers: handlers get the arguments, and without handlers the
// fixed default answers apply.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "UcSysUtils.h"
#include "ZipTestUtil.h"

namespace {

struct Scripted {
  static std::vector<std::wstring> Texts;
  static std::vector<TZEDialogButtons> Buttons;
  static TZEModalResult Answer;
  static std::vector<TZEModalResult> Queue;  // answered first, in order
  static TZEModalResult Confirm(const WideString& text, TZEDialogButtons buttons) {
    Texts.push_back(text.str());
    Buttons.push_back(buttons);
    if (!Queue.empty()) {
      const TZEModalResult r = Queue.front();
      Queue.erase(Queue.begin());
      return r;
    }
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
std::vector<TZEModalResult> Scripted::Queue;

struct Events : ::testing::Test {
  TZEDialogs saved = ZEDialogs;
  std::unique_ptr<TZipEngine> zip{new TZipEngine(nullptr)};
  void SetUp() override {
    ZEDialogs = {&Scripted::Confirm, &Scripted::Input};
    Scripted::Texts.clear();
    Scripted::Buttons.clear();
    Scripted::Queue.clear();
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

// Every handler records what it was given and answers with its own values.
struct Recorder {
  std::vector<std::wstring> Seen;
  void Add(const std::wstring& s) { Seen.push_back(s); }
  static std::wstring N(int n) { return std::to_wstring(n); }
  static void Copy(void* d, TObject*, double p, TZEProgressPhase ph, bool& cancel) {
    static_cast<Recorder*>(d)->Add(L"copy " + N(static_cast<int>(p)) + L" " + N(ph) + L" " + N(cancel));
    cancel = true;
  }
  static void Overwrite(void* d, TObject*, const WideString& src, WideString& dest, bool& confirm) {
    static_cast<Recorder*>(d)->Add(L"overwrite " + src.str() + L" " + dest.str());
    dest = L"other.txt";
    confirm = true;
  }
  static void Process(void* d, TObject*, const WideString& name, TZEProcessOperation op, bool& confirm) {
    static_cast<Recorder*>(d)->Add(L"process " + name.str() + L" " + N(op) + L" " + N(confirm));
    confirm = false;
  }
  static void Password(void* d, TObject*, const WideString& name, AnsiString& pw, bool& skip) {
    static_cast<Recorder*>(d)->Add(L"password " + name.str() + L" " + AnsiToWide(pw).str());
    pw = "new";
    skip = true;
  }
  static void Failure(void* d, TObject*, const WideString& name, TZEProcessOperation op, int native, int code,
                      const WideString& message, TZEAction& action) {
    static_cast<Recorder*>(d)->Add(L"failure " + name.str() + L" " + N(op) + L" " + N(native) + L" " + N(code) +
                                   L" " + message.str() + L" " + N(action));
    action = fxaRetry;
  }
  static void Blank(void* d, TObject*, int volume, WideString& name, bool& cancel) {
    static_cast<Recorder*>(d)->Add(L"blank " + N(volume) + L" " + WideExtractFileName(name).str() + L" " + N(cancel));
    name = L"b.zip";
    cancel = true;
  }
  static void First(void* d, TObject*, WideString& name, bool& cancel) {
    static_cast<Recorder*>(d)->Add(L"first " + WideExtractFileName(name).str() + L" " + N(cancel));
    name = L"f.zip";
    cancel = true;
  }
  static void Last(void* d, TObject*, WideString& name, bool& cancel) {
    static_cast<Recorder*>(d)->Add(L"last " + WideExtractFileName(name).str() + L" " + N(cancel));
    name = L"l.zip";
    cancel = true;
  }
  static void Middle(void* d, TObject*, int volume, WideString& name, bool& cancel) {
    static_cast<Recorder*>(d)->Add(L"middle " + N(volume) + L" " + WideExtractFileName(name).str() + L" " + N(cancel));
    name = L"m.zip";
    cancel = true;
  }
  static void Full(void* d, TObject*, int volume, const WideString& name, bool& cancel) {
    static_cast<Recorder*>(d)->Add(L"full " + N(volume) + L" " + name.str() + L" " + N(cancel));
    cancel = false;
  }
  static void VolumeFailure(void* d, TObject*, TZEProcessOperation op, int volume, const WideString& name,
                            bool& result) {
    static_cast<Recorder*>(d)->Add(L"volume " + N(op) + L" " + N(volume) + L" " + name.str() + L" " + N(result));
    result = false;
  }
  static void Extract(void* d, TObject*, WideString& name, uint32_t& attr, const AnsiString& comment) {
    static_cast<Recorder*>(d)->Add(L"extract " + name.str() + L" " + N(static_cast<int>(attr)) + L" " +
                                   AnsiToWide(comment).str());
    name = L"renamed.txt";
    attr = 0x21;
  }
  static void Opened(void* d, TObject*) { static_cast<Recorder*>(d)->Add(L"opened"); }
};

TEST_F(Events, EveryHandlerGetsItsArgumentsAndGivesTheAnswer) {
  Recorder r;
  zip->OnCopyTempFileProgress = TZECopyTempFileProgressEvent(&r, &Recorder::Copy);
  zip->OnConfirmOverwrite = TZEConfirmOverwriteEvent(&r, &Recorder::Overwrite);
  zip->OnConfirmProcessFile = TZEConfirmProcessFileEvent(&r, &Recorder::Process);
  zip->OnPassword = TZEOnPasswordEvent(&r, &Recorder::Password);
  zip->OnProcessFileFailure = TZEProcessFileFailureEvent(&r, &Recorder::Failure);
  zip->OnRequestBlankVolume = TZEOnRequestBlankVolumeEvent(&r, &Recorder::Blank);
  zip->OnRequestFirstVolume = TZEOnRequestFirstVolumeEvent(&r, &Recorder::First);
  zip->OnRequestLastVolume = TZEOnRequestLastVolumeEvent(&r, &Recorder::Last);
  zip->OnRequestMiddleVolume = TZEOnRequestMiddleVolumeEvent(&r, &Recorder::Middle);
  zip->OnDiskFull = TZEOnDiskFullEvent(&r, &Recorder::Full);
  zip->OnProcessVolumeFailure = TZEOnProcessVolumeFailureEvent(&r, &Recorder::VolumeFailure);
  zip->OnExtractFile = TZEOnExtractFileEvent(&r, &Recorder::Extract);
  zip->SetFileName(L"C:\\t\\arc.zip");

  struct Case {
    std::function<std::wstring()> Run;  // the dispatcher's results after the call
    std::wstring Seen, Results;
  };
  const Case cases[] = {
      {[&] { bool c = false; zip->DoOnCopyTempFileProgress(25, ppProcess, c); return Recorder::N(c); },
       L"copy 25 1 0", L"1"},
      {[&] { WideString d = L"C:\\t\\a.txt"; bool c = false; zip->DoOnConfirmOverwrite(L"a.txt", d, c);
             return d.str() + L" " + Recorder::N(c); },
       L"overwrite a.txt C:\\t\\a.txt", L"other.txt 1"},
      {[&] { bool c = false; zip->DoOnConfirmProcessFile(L"x.txt", poExtract, c); return Recorder::N(c); },
       L"process x.txt 4 1", L"0"},
      {[&] { AnsiString pw = "old"; bool s = false; zip->DoOnPassword(L"p.txt", pw, s);
             return AnsiToWide(pw).str() + L" " + Recorder::N(s); },
       L"password p.txt old", L"new 1"},
      {[&] { TZEAction a = fxaAbort; zip->DoOnProcessFileFailure(L"f", poAdd, 33, 12, L"msg", a); return Recorder::N(a); },
       L"failure f 0 33 12 msg 1", L"0"},  // the handler starts from Ignore
      {[&] { WideString n; bool c = false; zip->DoOnRequestBlankVolume(-3, n, c); return n.str() + L" " + Recorder::N(c); },
       L"blank 1 arc.zip 0", L"b.zip 1"},  // a negative number counts as the first volume
      {[&] { WideString n; bool c = true; zip->DoOnRequestFirstVolume(n, c); return n.str() + L" " + Recorder::N(c); },
       L"first arc.zip 0", L"f.zip 1"},
      {[&] { WideString n; bool c = true; zip->DoOnRequestLastVolume(n, c); return n.str() + L" " + Recorder::N(c); },
       L"last arc.zip 0", L"l.zip 1"},
      {[&] { WideString n; bool c = true; zip->DoOnRequestMiddleVolume(4, n, c); return n.str() + L" " + Recorder::N(c); },
       L"middle 5 arc.zip 0", L"m.zip 1"},
      {[&] { bool c = true; zip->DoOnDiskFull(2, L"v.zip", c); return Recorder::N(c); }, L"full 3 v.zip 0", L"0"},
      {[&] { bool res = true; zip->DoOnProcessVolumeFailure(poExtract, 0, L"v.zip", res); return Recorder::N(res); },
       L"volume 4 1 v.zip 1", L"0"},
      {[&] { WideString n = L"d/e/f.txt"; uint32_t a = 0x20; zip->DoOnExtractFile(n, a, "note");
             return n.str() + L" " + Recorder::N(static_cast<int>(a)); },
       L"extract d\\e\\f.txt 32 note", L"renamed.txt 33"},
  };
  for (const Case& c : cases) {
    r.Seen.clear();
    const std::wstring results = c.Run();
    ASSERT_EQ(r.Seen.size(), 1u) << c.Seen;
    EXPECT_EQ(r.Seen[0], c.Seen);
    EXPECT_EQ(results, c.Results) << c.Seen;
  }
  EXPECT_TRUE(Scripted::Texts.empty());  // a handler replaces every box
}

TEST_F(Events, DefaultsWithoutHandlersInEveryMode) {
  TempDir dir;
  WriteFileBytes(dir.File("here.zip"), "x");
  struct Case {
    TZESpanningMode Spanning;
    std::vector<TZEModalResult> Answers;
    std::function<std::wstring()> Run;
    std::wstring Results;
    std::vector<std::wstring> Boxes;
  };
  const std::wstring missing = W(dir.File("missing.zip")).str();
  const Case cases[] = {
      {smNone, {}, [&] { bool c = true; zip->DoOnCopyTempFileProgress(5, ppStart, c); return std::to_wstring(c); }, L"0", {}},
      {smNone, {}, [&] { bool r = true; zip->DoOnProcessVolumeFailure(poAdd, 0, L"v", r); return std::to_wstring(r); }, L"1", {}},
      {smNone, {}, [&] { bool r = false; zip->DoOnProcessVolumeFailure(poAdd, 0, L"v", r); return std::to_wstring(r); }, L"0", {}},
      {smNone, {}, [&] { WideString n = L"a/b.txt"; uint32_t a = 1; zip->DoOnExtractFile(n, a, ""); return n.str(); }, L"a\\b.txt", {}},
      {smNone, {}, [&] { WideString n; bool c = false; zip->DoOnRequestBlankVolume(0, n, c); return std::to_wstring(c); }, L"0", {}},
      // Not spanning: a missing file is a cancellation, no box.
      {smNone, {}, [&] { WideString n; bool c = false; zip->DoOnRequestLastVolume(n, c); return std::to_wstring(c); }, L"1", {}},
      {smNone, {}, [&] { WideString n; bool c = false; zip->DoOnRequestMiddleVolume(1, n, c); return std::to_wstring(c); }, L"1", {}},
      {smNone, {}, [&] { WideString n; bool c = false; zip->DoOnRequestFirstVolume(n, c); return std::to_wstring(c); }, L"1", {}},
      // Spanning: boxes, numbered from 1.
      {smSpanning, {zmrCancel}, [&] { WideString n; bool c = false; zip->DoOnRequestBlankVolume(1, n, c); return std::to_wstring(c); },
       L"1", {L"Please insert a blank disk #2"}},
      {smSpanning, {zmrOk}, [&] { WideString n; bool c = true; zip->DoOnRequestFirstVolume(n, c); return std::to_wstring(c); },
       L"0", {L"Please insert the first disk"}},
      {smSpanning, {zmrOk}, [&] { WideString n; bool c = true; zip->DoOnRequestMiddleVolume(2, n, c); return std::to_wstring(c); },
       L"0", {L"Please insert disk #3"}},
      // The last disk is asked for again while its file is missing.
      {smSpanning, {zmrOk, zmrOk, zmrCancel}, [&] { WideString n; bool c = false; zip->DoOnRequestLastVolume(n, c); return std::to_wstring(c); },
       L"1", {L"Please insert the last disk",
              L"File '" + missing + L"' not found on inserted disk. Please insert last disk with required file",
              L"File '" + missing + L"' not found on inserted disk. Please insert last disk with required file"}},
  };
  for (const Case& c : cases) {
    zip->SetSpanningMode(c.Spanning);
    zip->SetFileName(W(dir.File("missing.zip")));
    Scripted::Texts.clear();
    Scripted::Queue = c.Answers;
    EXPECT_EQ(c.Run(), c.Results) << c.Results;
    EXPECT_EQ(Scripted::Texts, c.Boxes) << c.Results;
  }
  // The last volume found: no cancellation.
  zip->SetSpanningMode(smNone);
  zip->SetFileName(W(dir.File("here.zip")));
  WideString n;
  bool cancel = true;
  zip->DoOnRequestLastVolume(n, cancel);
  EXPECT_FALSE(cancel);
  EXPECT_EQ(n, W(dir.File("here.zip")));
}

TEST_F(Events, OperationsRaiseTheirEvents) {
  TempDir dir;
  Recorder r;
  zip->AfterOpen = TNotifyEvent(&r, &Recorder::Opened);
  zip->SetFileName(W(dir.File("e.zip")));
  zip->OpenArchive(fmCreate);  // created: opened
  zip->AddFromString(L"keep/a.txt", "aaa", 0x20, 0);
  zip->AddFromString(L"skip.txt", "sss", 0x20, 0);
  zip->CloseArchive();
  zip->OpenArchive(2);  // opened again
  EXPECT_EQ(r.Seen, (std::vector<std::wstring>{L"opened", L"opened"}));
  // The extraction asks about each file and takes the handler's new name.
  struct H {
    std::vector<std::wstring> Asked;
    static void Process(void* d, TObject*, const WideString& name, TZEProcessOperation op, bool& confirm) {
      static_cast<H*>(d)->Asked.push_back(name.str() + L" " + std::to_wstring(op));
      confirm = name.str().find(L"skip") == std::wstring::npos;
    }
    static void Extract(void*, TObject*, WideString& name, uint32_t&, const AnsiString&) {
      name = L"out\\" + WideExtractFileName(name);
    }
  } h;
  zip->OnConfirmProcessFile = TZEConfirmProcessFileEvent(&h, &H::Process);
  zip->OnExtractFile = TZEOnExtractFileEvent(&h, &H::Extract);
  CreateDirectoryA(dir.File("x").c_str(), nullptr);
  zip->SetBaseDir(W(dir.File("x")));
  zip->ExtractFiles(L"*", 0x28BF, L"");
  zip->CloseArchive();
  EXPECT_EQ(h.Asked.size(), 2u);
  EXPECT_EQ(ReadFileBytes(dir.File("x\\out\\a.txt")), "aaa");
  EXPECT_EQ(GetFileAttributesA(dir.File("x\\out\\skip.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(dir.File("x\\keep").c_str()), INVALID_FILE_ATTRIBUTES);
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
  std::string seen;
  for (const ScriptDialogs::Seen& s : script.Shown())
    seen += "[" + s.Title + " | " + s.Text + (s.Answered ? "" : " (unanswered)") + "] ";
  ASSERT_EQ(script.Shown().size(), 1u) << seen;
  EXPECT_TRUE(script.Unused().empty());
}

}  // namespace

namespace {

TEST(BuiltInBoxes, ThePasswordBoxGivesBackALongPasswordWhole) {
  TZEDialogs saved = ZEDialogs;
  ZEDialogs = BuiltInDialogs;
  ScriptDialogs script({{"Password for", IDOK}});
  std::unique_ptr<TZipEngine> zip(new TZipEngine(nullptr));
  const std::string initial(3000, 'k');  // accepted as it stands
  AnsiString pw = AnsiString(initial);
  bool skip = true;
  zip->DoOnPassword(L"item.txt", pw, skip);
  ZEDialogs = saved;
  EXPECT_FALSE(skip);
  EXPECT_EQ(pw.str(), initial);
  ASSERT_EQ(script.Shown().size(), 1u);
  EXPECT_TRUE(script.Unused().empty());
}

}  // namespace
