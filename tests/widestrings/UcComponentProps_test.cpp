#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "UcClasses.h"
#include "UcComponentProps.h"
#include "UcSysUtils.h"
#include "WideTestUtil.h"
#include "filer.h"

// A component with the two kinds of wide properties and a wide list.
class TWidePropHolder : public TComponent {
  CL_CLASS(TWidePropHolder, TComponent)
public:
  explicit TWidePropHolder(TComponent* owner) : TComponent(owner) {}
  ~TWidePropHolder() override { delete FLines; }
  WideString Caption() const { return FCaption; }
  void SetCaption(WideString value) {
    FCaption = value;
    ++CaptionSets;
  }
  wchar_t Accel() const { return FAccel; }
  void SetAccel(wchar_t value) { FAccel = value; }
  TUcStringList* Lines() const { return FLines; }
  void DefineProperties(TFiler* filer) override {
    TComponent::DefineProperties(filer);
    UcPersistent_AfterInherited_DefineProperties(filer, this);
  }
  int CaptionSets = 0;

private:
  WideString FCaption;
  wchar_t FAccel = L'\0';
  TUcStringList* FLines = new TUcStringList;
};
CL_DEFINE_COMPONENT(TWidePropHolder, TComponent)

namespace {

void RegisterHolder() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterProperty(&TWidePropHolder::Class, "Caption", pkWideString, &TWidePropHolder::SetCaption,
                   &TWidePropHolder::Caption);
  RegisterProperty(&TWidePropHolder::Class, "Accel", pkWideChar, &TWidePropHolder::SetAccel,
                   &TWidePropHolder::Accel, TPropDefault(0));
  RegisterProperty(&TWidePropHolder::Class, "Lines", pkStrings, nullptr, &TWidePropHolder::Lines);
}

// Reads the properties a writer put into the stream.
void ReadInto(TWidePropHolder& holder, TMemoryStream& stream) {
  stream.WriteBuffer("\0\0", 2);  // end of the properties, end of the children
  stream.SetPosition(0);
  TReader reader(&stream);
  reader.SetRoot(&holder);
  reader.ReadData(&holder);
}

// Reads into holder what write puts through a writer.
template <class Write> void ReadWritten(TWidePropHolder& holder, Write&& write) {
  TMemoryStream stream;
  {
    TWriter w(&stream);
    write(w);
  }
  ReadInto(holder, stream);
}

// Writes what instance defines beyond its registered properties into stream
// (nothing at all when it has nothing to write).
void WriteDefined(TPersistent* instance, TMemoryStream& stream) {
  TWriter w(&stream);
  w.WriteDefinedProperties(instance);
}

// The same, closed with the end of the list and rewound for a reader.
void WriteDefinedForReading(TPersistent* instance, TMemoryStream& stream) {
  WriteDefined(instance, stream);
  stream.WriteBuffer("\0", 1);
  stream.SetPosition(0);
}

class RuntimeUtf {
public:
  RuntimeUtf() { RuntimeUTFStreaming = true; }
  ~RuntimeUtf() { RuntimeUTFStreaming = false; }
};

}  // namespace

TEST(FormCopies, ThePlainValueWinsAtRunTime) {
  RegisterHolder();
  TWidePropHolder holder(nullptr);
  ReadWritten(holder, [&](TWriter& w) {
    w.WritePropName("Caption");
    w.WriteWideString(L"\x0416 plain");
    w.WritePropName("CaptionW");
    w.WriteUTF8String(WideStringToUTF8(L"\x0416 utf8"));
    w.WritePropName("Caption_UTF7");
    w.WriteString(WideStringToUTF7(L"\x0416 utf7"));
    w.WritePropName("Caption_UTF7");
    w.WriteString("+!");  // a malformed copy is dropped undecoded
  });
  EXPECT_EQ(holder.Caption(), WideString(L"\x0416 plain"));
  EXPECT_EQ(holder.CaptionSets, 1);
}

TEST(FormCopies, AppliedWhenRuntimeStreamingIsOn) {
  RegisterHolder();
  RuntimeUtf on;
  TWidePropHolder holder(nullptr);
  ReadWritten(holder, [&](TWriter& w) {
    w.WritePropName("CaptionW");
    w.WriteUTF8String(WideStringToUTF8(L"\x0416 utf8"));
  });
  EXPECT_EQ(holder.Caption(), WideString(L"\x0416 utf8"));
  ReadWritten(holder, [&](TWriter& w) {
    w.WritePropName("Caption_UTF7");
    w.WriteString(WideStringToUTF7(L"\x4E2D~"));
  });
  EXPECT_EQ(holder.Caption(), WideString(L"\x4E2D~"));
}

TEST(FormCopies, WideCharCopyIsAlwaysApplied) {
  RegisterHolder();
  TWidePropHolder holder(nullptr);
  auto readAccel = [&](auto write) {
    ReadWritten(holder, [&](TWriter& w) {
      w.WritePropName("AccelW");
      write(w);
    });
    return holder.Accel();
  };
  EXPECT_EQ(readAccel([](TWriter& w) { w.WriteWideChar(L'\x0416'); }), L'\x0416');
  EXPECT_EQ(readAccel([](TWriter& w) { w.WriteString("x"); }), L'x');
  EXPECT_EQ(readAccel([](TWriter& w) { w.WriteString(""); }), L'\0');
  try {
    readAccel([](TWriter& w) { w.WriteWideString(L"ab"); });
    FAIL() << "two characters";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), AnsiString("Invalid property value"));
  }
  EXPECT_THROW(readAccel([](TWriter& w) { w.WriteInteger(5); }), EReadError);
}

TEST(FormCopies, WrittenCopies) {
  RegisterHolder();
  TWidePropHolder holder(nullptr);
  holder.SetCaption(L"\x0416uk");
  holder.SetAccel(L'Q');
  TMemoryStream stream;
  WriteDefinedForReading(&holder, stream);
  TReader r(&stream);
  std::vector<std::string> names;
  WideString utf7Value;
  WideString accelValue;
  while (!r.EndOfList()) {
    names.push_back(r.ReadStr().str());
    if (names.back() == "Caption_UTF7") utf7Value = UTF7ToWideString(r.ReadString());
    else if (names.back() == "AccelW") {
      EXPECT_EQ(r.NextValue(), vaWString);
      accelValue = r.ReadWideString();
    } else r.SkipValue();
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Caption_UTF7", "AccelW"}));
  EXPECT_EQ(utf7Value, WideString(L"\x0416uk"));
  EXPECT_EQ(accelValue, WideString(L"Q"));
  // Plain ASCII and the default character need no copies.
  holder.SetCaption(L"plain");
  holder.SetAccel(L'\0');
  TMemoryStream none;
  WriteDefined(&holder, none);
  EXPECT_EQ(none.Size(), 0);
}

TEST(FormCopies, ListValuesAndTheirUtf8Copy) {
  RegisterHolder();
  TWidePropHolder holder(nullptr);
  ReadWritten(holder, [&](TWriter& w) {
    w.WritePropName("Lines.Strings");
    w.WriteListBegin();
    w.WriteString("narrow");
    w.WriteWideString(L"\x0416");
    w.WriteListEnd();
    w.WritePropName("Lines.WideStringsW");
    w.WriteListBegin();
    w.WriteUTF8String(WideStringToUTF8(L"dropped"));
    w.WriteListEnd();
  });
  ASSERT_EQ(holder.Lines()->Count(), 2);
  EXPECT_EQ(holder.Lines()->Get(0), WideString(L"narrow"));
  EXPECT_EQ(holder.Lines()->Get(1), WideString(L"\x0416"));
  // An empty list is filled from the UTF-8 items.
  TWidePropHolder empty(nullptr);
  ReadWritten(empty, [&](TWriter& w) {
    w.WritePropName("Lines.Strings");
    w.WriteListBegin();
    w.WriteListEnd();
    w.WritePropName("Lines.WideStringsW");
    w.WriteListBegin();
    w.WriteUTF8String(WideStringToUTF8(L"\x4E2D"));
    w.WriteUTF8String(WideStringToUTF8(L"b"));
    w.WriteListEnd();
  });
  ASSERT_EQ(empty.Lines()->Count(), 2);
  EXPECT_EQ(empty.Lines()->Get(0), WideString(L"\x4E2D"));
  // Text values: narrow ones widened, wide ones as they are.
  TWidePropHolder texts(nullptr);
  ReadWritten(texts, [&](TWriter& w) {
    w.WritePropName("Lines.Strings");
    w.WriteWideString(L"a\r\n\x0416");
    w.WritePropName("Lines.WideStrings_UTF7");
    w.WriteListBegin();
    w.WriteString("ignored");
    w.WriteListEnd();
  });
  ASSERT_EQ(texts.Lines()->Count(), 2);
  EXPECT_EQ(texts.Lines()->Get(1), WideString(L"\x0416"));
}

TEST(FormCopies, ListsWriteWideItemsAndAUtf7Copy) {
  TUcStringList list;
  list.Add(L"a");
  list.Add(L"\x0416");
  TMemoryStream stream;
  WriteDefinedForReading(&list, stream);
  TReader r(&stream);
  std::vector<std::string> names;
  std::vector<std::wstring> items, utf7;
  while (!r.EndOfList()) {
    names.push_back(r.ReadStr().str());
    r.ReadListBegin();
    while (!r.EndOfList()) {
      if (names.back() == "Strings") {
        EXPECT_EQ(r.NextValue(), vaWString);
        items.push_back(r.ReadWideString().str());
      } else {
        utf7.push_back(UTF7ToWideString(r.ReadString()).str());
      }
    }
    r.ReadListEnd();
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Strings", "WideStrings_UTF7"}));
  EXPECT_EQ(items, (std::vector<std::wstring>{L"a", L"\x0416"}));
  EXPECT_EQ(utf7, items);
  TUcStringList empty;
  TMemoryStream none;
  WriteDefined(&empty, none);
  EXPECT_EQ(none.Size(), 0);
}

TEST(SyncedStrings, TheNarrowSideChangedBehind) {
  WideString wide(L"\x0416\x0443\x043A");
  EXPECT_EQ(GetSyncedWideString(wide, "abc"), WideString(L"abc"));
  EXPECT_EQ(wide, WideString(L"abc"));
  WideString chinese(L"\x4E2D");
  // Its ANSI form is "?": unchanged behind, the wide value stays.
  EXPECT_EQ(GetSyncedWideString(chinese, "?"), WideString(L"\x4E2D"));
}

TEST(SyncedStrings, OnlyUnmappableCharactersChanged) {
  WideString wide(L"\x4E2D");
  AnsiString ansi("?");
  std::vector<std::string> calls;
  auto set = [&](const AnsiString& v) {
    calls.push_back(v.str());
    ansi = v;
  };
  SetSyncedWideString(L"\x6587", wide, ansi, set);
  EXPECT_EQ(calls, (std::vector<std::string>{"", "?"}));
  EXPECT_EQ(wide, WideString(L"\x6587"));
  calls.clear();
  SetSyncedWideString(L"\x6587", wide, ansi, set);  // the same value: nothing
  EXPECT_TRUE(calls.empty());
  SetSyncedWideString(L"abc", wide, ansi, set);
  EXPECT_EQ(calls, (std::vector<std::string>{"abc"}));
}

TEST(SyncedStringsAcp, CyrillicByCodePage) {
  WideString wide;
  AnsiString ansi("?");
  std::vector<std::string> calls;
  auto set = [&](const AnsiString& v) {
    calls.push_back(v.str());
    ansi = v;
  };
  SetSyncedWideString(L"\x0416", wide, ansi, set);
  if (GetACP() == 1251) { EXPECT_EQ(calls, (std::vector<std::string>{Bytes("C6")})); }
  if (GetACP() == 1252) { EXPECT_EQ(calls, (std::vector<std::string>{"", "?"})); }
  EXPECT_EQ(GetSyncedWideString(wide, ansi), WideString(L"\x0416"));
}

TEST(ComponentHelpers, FoundByAddressAndGoneWithTheirComponent) {
  std::vector<TComponent*> components;
  for (int i = 0; i < 100; ++i) components.push_back(new TComponent(nullptr));
  std::mt19937 random(12345);
  std::shuffle(components.begin(), components.end(), random);
  TComponentList helpers(true);
  for (TComponent* c : components) new TWideComponentHelper(c, &helpers);
  ASSERT_EQ(helpers.Count(), 100);
  for (int i = 1; i < helpers.Count(); ++i) {
    auto a = static_cast<int32_t>(
        reinterpret_cast<uintptr_t>(static_cast<TWideComponentHelper*>(helpers.Items(i - 1))->Component()));
    auto b = static_cast<int32_t>(
        reinterpret_cast<uintptr_t>(static_cast<TWideComponentHelper*>(helpers.Items(i))->Component()));
    EXPECT_LT(a, b);
  }
  for (TComponent* c : components) {
    TWideComponentHelper* h = FindWideComponentHelper(&helpers, c);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->Component(), c);
  }
  for (int k = 0; k < 50; ++k) {
    TComponent* gone = components.back();
    components.pop_back();
    delete gone;
    EXPECT_EQ(helpers.Count(), 99 - k);
    EXPECT_EQ(FindWideComponentHelper(&helpers, gone), nullptr);
  }
  for (int i = 0; i < helpers.Count(); ++i)
    EXPECT_NE(std::find(components.begin(), components.end(),
                        static_cast<TWideComponentHelper*>(helpers.Items(i))->Component()),
              components.end());
  for (TComponent* c : components) delete c;
  EXPECT_EQ(helpers.Count(), 0);
  EXPECT_THROW(TWideComponentHelper(nullptr), EUcInternalError);
  TList empty;
  int index = -1;
  EXPECT_FALSE(FindSortedListByTarget(&empty, [](void*, void*) { return 0; }, nullptr, index));
  EXPECT_EQ(index, 0);
}

TEST(ComClasses, RegisteredOnlyWithEveryPiece) {
  GUID random;
  ASSERT_EQ(CoCreateGuid(&random), S_OK);
  EXPECT_FALSE(ClassIsRegistered(random));
  // StdFont of the OLE automation library: a ProgID and an in-process server
  // registered under HKEY_LOCAL_MACHINE.
  const CLSID stdFont = {0x0BE35203, 0x8F91, 0x11CE, {0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
  LPOLESTR progId = nullptr;
  if (FAILED(ProgIDFromCLSID(stdFont, &progId))) GTEST_SKIP() << "the prefix has no StdFont class";
  EXPECT_STREQ(progId, L"StdFont");
  CoTaskMemFree(progId);
  EXPECT_TRUE(ClassIsRegistered(stdFont));
}

TEST(Buffers, WideBufferGrowsInSteps) {
  TBufferedWideString b;
  for (int i = 0; i < 40; ++i) {
    b.AddChar(static_cast<wchar_t>(L'a' + i % 26));
    EXPECT_EQ(b.StorageLength(), i < 32 ? 32 : 64);
  }
  EXPECT_EQ(b.Value().Length(), 40);
  b.Clear();
  EXPECT_EQ(b.StorageLength(), 64);
  EXPECT_EQ(b.Value(), WideString());
  b.AddString(L"\x0416\x4E2D");
  b.AddBuffer(L"xy\0z", 4);  // stops at the NUL
  EXPECT_EQ(b.Value(), WideString(L"\x0416\x4E2Dxy"));
  EXPECT_EQ(b.BuffPtr()[4], L'\0');
  TBufferedWideString big;
  for (int i = 0; i < 1000; ++i) big.AddChar(L'x');
  EXPECT_EQ(big.StorageLength() % 32, 0);
  EXPECT_LE(big.StorageLength() - 1000, 256);
}

TEST(Buffers, AnsiBufferGrowsByWholeSteps) {
  TBufferedAnsiString b;
  b.AddString(AnsiString(std::string(20, 'a')));
  EXPECT_EQ(b.StorageLength(), 24);  // step 8: (20 div 8 + 1) * 8
  b.AddString("bcd");
  EXPECT_EQ(b.StorageLength(), 24);
  b.AddString(AnsiString(std::string(10, 'c')));  // step 12: (10 div 12 + 1) * 12
  EXPECT_EQ(b.StorageLength(), 36);
  EXPECT_EQ(b.Value().Length(), 33);
  b.AddChar('!');
  EXPECT_EQ(b.Value().str().back(), '!');
  b.Clear();
  EXPECT_EQ(b.Value(), AnsiString());
  b.AddBuffer("xy\0z", 4);
  EXPECT_EQ(b.Value(), AnsiString("xy"));
}
