// The filer's value encodings, the class and property registries, and
// properties that objects define for themselves.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "filer.h"

namespace {

std::string Bytes(TMemoryStream& ms) {
  return std::string(static_cast<const char*>(ms.Memory()), static_cast<size_t>(ms.Size()));
}

template <class F> std::string Written(F f) {
  TMemoryStream ms;
  TWriter w(&ms);
  f(w);
  return Bytes(ms);
}

// A reader over given bytes.
struct TBytes {
  TMemoryStream Stream;
  TReader Reader;
  explicit TBytes(const std::string& b) : Reader(&Stream) {
    Stream.WriteBuffer(b.data(), static_cast<int32_t>(b.size()));
    Stream.SetPosition(0);
  }
  bool AtEnd() { return Stream.Position() == Stream.Size(); }
};

template <class F> std::string ReadErrorOf(F f) {
  try {
    f();
  } catch (const EReadError& e) {
    return e.Message().c_str();
  }
  return "(no EReadError)";
}

std::string S(const char* p, size_t n) { return std::string(p, n); }

// --- values ------------------------------------------------------------------------

TEST(FilerValues, IntegersTakeTheSmallestEncoding) {
  struct Case {
    int64_t Value;
    std::string Expected;
  } cases[] = {
      {0, S("\x02\x00", 2)},
      {-128, S("\x02\x80", 2)},
      {127, S("\x02\x7F", 2)},
      {128, S("\x03\x80\x00", 3)},
      {-129, S("\x03\x7F\xFF", 3)},
      {32767, S("\x03\xFF\x7F", 3)},
      {32768, S("\x04\x00\x80\x00\x00", 5)},
      {-32769, S("\x04\xFF\x7F\xFF\xFF", 5)},
      {INT32_MIN, S("\x04\x00\x00\x00\x80", 5)},
      {2147483648LL, S("\x13\x00\x00\x00\x80\x00\x00\x00\x00", 9)},
      {INT64_MIN, S("\x13\x00\x00\x00\x00\x00\x00\x00\x80", 9)},
  };
  for (const Case& c : cases) {
    std::string b = Written([&](TWriter& w) { w.WriteInteger(c.Value); });
    EXPECT_EQ(b, c.Expected) << c.Value;
    TBytes r(b);
    EXPECT_EQ(r.Reader.ReadInt64(), c.Value);
    EXPECT_TRUE(r.AtEnd());
  }
  // ReadInteger takes a 64-bit value only when it fits.
  TBytes small(Written([](TWriter& w) { w.WriteInteger(-5); }));
  EXPECT_EQ(small.Reader.ReadInteger(), -5);
  TBytes big(Written([](TWriter& w) { w.WriteInteger(int64_t(1) << 31); }));
  EXPECT_EQ(ReadErrorOf([&] { big.Reader.ReadInteger(); }), "Invalid property value");
  EXPECT_EQ(big.Stream.Position(), 0) << "a refused value stays for another read";
  EXPECT_EQ(big.Reader.ReadInt64(), int64_t(1) << 31);
}

TEST(FilerValues, StringsCarryTheirLengths) {
  EXPECT_EQ(Written([](TWriter& w) { w.WriteString("abc"); }), S("\x06\x03" "abc", 5));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteString(""); }), S("\x06\x00", 2));
  std::string x255(255, 'x'), x256(256, 'x');
  EXPECT_EQ(Written([&](TWriter& w) { w.WriteString(AnsiString(x255)); }), "\x06\xFF" + x255);
  EXPECT_EQ(Written([&](TWriter& w) { w.WriteString(AnsiString(x256)); }), S("\x0C\x00\x01\x00\x00", 5) + x256);
  EXPECT_EQ(Written([](TWriter& w) { w.WriteWideString(L"\x0416" L"1"); }),
            S("\x12\x02\x00\x00\x00\x16\x04\x31\x00", 9));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteUTF8String("\xD0\x96"); }), S("\x14\x02\x00\x00\x00\xD0\x96", 7));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteChar('*'); }), S("\x06\x01*", 3));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteWideChar(0x2022); }), S("\x12\x01\x00\x00\x00\x22\x20", 7));

  TBytes r(Written([&](TWriter& w) {
    w.WriteString(AnsiString(x256));
    w.WriteString(AnsiString("a\0b", 3));
    w.WriteChar('*');
    w.WriteWideChar(0x2022);
  }));
  EXPECT_EQ(r.Reader.ReadString().str(), x256);
  EXPECT_EQ(r.Reader.ReadString().str(), std::string("a\0b", 3));
  EXPECT_EQ(r.Reader.ReadChar(), '*');
  EXPECT_EQ(r.Reader.ReadWideChar(), L'\x2022');
  EXPECT_TRUE(r.AtEnd());
}

TEST(FilerValues, TextKindsConvertThroughTheAnsiCodePage) {
  const char* cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";  // "Привет" in code page 1251
  const char* utf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
  const wchar_t* wide = L"\x041F\x0440\x0438\x0432\x0435\x0442";
  {
    TBytes r(Written([&](TWriter& w) {
      w.WriteWideString(wide);
      w.WriteWideString(wide);
      w.WriteWideString(wide);
    }));
    EXPECT_EQ(r.Reader.ReadString(), cp1251);
    EXPECT_EQ(r.Reader.ReadWideString(), wide);
    EXPECT_EQ(r.Reader.ReadUTF8String(), utf8);
  }
  {
    TBytes r(Written([&](TWriter& w) {
      w.WriteString(cp1251);
      w.WriteString(cp1251);
    }));
    EXPECT_EQ(r.Reader.ReadWideString(), wide);
    EXPECT_EQ(r.Reader.ReadString(), cp1251);
  }
  {
    TBytes r(Written([&](TWriter& w) {
      w.WriteUTF8String(utf8);
      w.WriteUTF8String(utf8);
      w.WriteUTF8String(utf8);
    }));
    EXPECT_EQ(r.Reader.ReadString(), cp1251);
    EXPECT_EQ(r.Reader.ReadWideString(), wide);
    EXPECT_EQ(r.Reader.ReadUTF8String(), utf8);
  }
  // A character the code page lacks becomes what the system makes of it.
  char expected[8] = {};
  int n = WideCharToMultiByte(CP_ACP, 0, L"\x65E5", 1, expected, sizeof expected, nullptr, nullptr);
  TBytes r(Written([](TWriter& w) { w.WriteWideString(L"\x65E5"); }));
  EXPECT_EQ(r.Reader.ReadString().str(), std::string(expected, n));
}

TEST(FilerValues, IdentsBooleansSetsAndBinary) {
  EXPECT_EQ(Written([](TWriter& w) {
              w.WriteIdent("TRUE");
              w.WriteIdent("false");
              w.WriteIdent("NIL");
              w.WriteIdent("Null");
              w.WriteIdent("alClient");
            }),
            S("\x09\x08\x0D\x00\x07\x08" "alClient", 14));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteSet({"fsBold", "fsItalic"}); }),
            S("\x0B\x06" "fsBold" "\x08" "fsItalic" "\x00", 18));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteSet({}); }), S("\x0B\x00", 2));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteBinary("\x01\x00\xFF", 3); }), S("\x0A\x03\x00\x00\x00\x01\x00\xFF", 8));
  EXPECT_EQ(Written([](TWriter& w) {
              w.WriteBoolean(true);
              w.WriteBoolean(false);
            }),
            S("\x09\x08", 2));

  TBytes r(Written([](TWriter& w) {
    w.WriteIdent("true");
    w.WriteIdent("nil");
    w.WriteIdent("alClient");
    w.WriteBoolean(true);
    w.WriteBoolean(false);
    w.WriteSet({"a", "bc"});
    w.WriteBinary("\x01\x00\xFF", 3);
  }));
  EXPECT_EQ(r.Reader.ReadIdent(), "True");
  EXPECT_EQ(r.Reader.ReadIdent(), "nil");
  EXPECT_EQ(r.Reader.ReadIdent(), "alClient");
  EXPECT_TRUE(r.Reader.ReadBoolean());
  EXPECT_FALSE(r.Reader.ReadBoolean());
  auto names = r.Reader.ReadSetNames();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], "a");
  EXPECT_EQ(names[1], "bc");
  TMemoryStream bin;
  r.Reader.ReadBinary(&bin);
  EXPECT_EQ(Bytes(bin), S("\x01\x00\xFF", 3));
  EXPECT_TRUE(r.AtEnd());
}

// The x87 unit's own 80-bit format is the peer for the extended encoding.
std::string FpuExtended(long double v) {
  static_assert(sizeof(long double) >= 10, "x87 extended precision expected");
  return std::string(reinterpret_cast<const char*>(&v), 10);
}

TEST(FilerValues, ExtendedFloatsMatchTheFpu) {
  const double values[] = {1.0, -2.5, 0.1, 1e300, -1e-300, 4.9406564584124654e-324 /* smallest denormal */,
                           2.2250738585072014e-308, 123456789.125, -0.0, 0.0,
                           std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity()};
  for (double d : values) {
    uint8_t b[10];
    DoubleToExtended(d, b);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 10), FpuExtended(d)) << d;
    double back = ExtendedToDouble(b);
    EXPECT_EQ(std::memcmp(&back, &d, sizeof d), 0) << d;
  }
  // Known patterns of the format.
  uint8_t b[10];
  DoubleToExtended(1.0, b);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 10), S("\0\0\0\0\0\0\0\x80\xFF\x3F", 10));
  // Extended values beyond a double round the way the FPU rounds them.
  const long double wide[] = {1.0L / 3.0L, 1e400L,  -1e400L, 1e-4000L, 2.0L / 3.0L * 1e-310L,
                             1e-320L,     3e-324L, 2e-324L, -2.5e-324L};
  for (long double v : wide) {
    std::string bytes = FpuExtended(v);
    double got = ExtendedToDouble(reinterpret_cast<const uint8_t*>(bytes.data()));
    double expected = static_cast<double>(v);
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << static_cast<double>(v);
  }
  DoubleToExtended(std::numeric_limits<double>::quiet_NaN(), b);
  EXPECT_TRUE(std::isnan(ExtendedToDouble(b)));

  TBytes r(Written([](TWriter& w) {
    w.WriteFloat(0.5);
    w.WriteInteger(-3);
  }));
  EXPECT_EQ(r.Stream.Size(), 11 + 2);
  EXPECT_EQ(r.Reader.ReadFloat(), 0.5);
  EXPECT_EQ(r.Reader.ReadFloat(), -3.0);
}

TEST(FilerValues, FloatsFromTheOtherNumericEncodings) {
  float single = 1.5f;
  double date = 45000.25;
  int64_t currency = 12345;  // 1.2345
  std::string b = std::string(1, char(vaSingle)) + S(reinterpret_cast<char*>(&single), 4) +
                  std::string(1, char(vaDate)) + S(reinterpret_cast<char*>(&date), 8) +
                  std::string(1, char(vaCurrency)) + S(reinterpret_cast<char*>(&currency), 8);
  TBytes r(b);
  EXPECT_EQ(r.Reader.ReadFloat(), 1.5);
  EXPECT_EQ(r.Reader.ReadFloat(), 45000.25);
  EXPECT_DOUBLE_EQ(r.Reader.ReadFloat(), 1.2345);
}

TEST(FilerValues, WrongTypesAndDamagedStreamsRaiseReadErrors) {
  TBytes str(Written([](TWriter& w) { w.WriteString("ab"); }));
  EXPECT_EQ(ReadErrorOf([&] { str.Reader.ReadInteger(); }), "Invalid property value");
  EXPECT_EQ(ReadErrorOf([&] { str.Reader.ReadBoolean(); }), "Invalid property value");
  EXPECT_EQ(ReadErrorOf([&] { str.Reader.ReadIdent(); }), "Invalid property value");
  EXPECT_EQ(ReadErrorOf([&] { str.Reader.ReadChar(); }), "Invalid property value");
  TBytes empty(Written([](TWriter& w) { w.WriteWideString(L""); }));
  EXPECT_EQ(ReadErrorOf([&] { empty.Reader.ReadWideChar(); }), "Invalid property value");
  TBytes num(Written([](TWriter& w) { w.WriteInteger(1); }));
  EXPECT_EQ(ReadErrorOf([&] { num.Reader.ReadString(); }), "Invalid property value");
  EXPECT_EQ(ReadErrorOf([&] { num.Reader.ReadListBegin(); }), "Invalid property value");
  EXPECT_EQ(num.Reader.ReadInteger(), 1);

  // Cut short, or with a length longer than the stream.
  TBytes cut(S("\x04\x01\x02", 3));
  EXPECT_EQ(ReadErrorOf([&] { cut.Reader.ReadInteger(); }), "Stream read error");
  TBytes huge(S("\x0C\xFF\xFF\xFF\x7F" "abc", 8));
  EXPECT_EQ(ReadErrorOf([&] { huge.Reader.ReadString(); }), "Stream read error");
  TBytes hugeWide(S("\x12\x00\x00\x00\x40" "abcd", 9));
  EXPECT_EQ(ReadErrorOf([&] { hugeWide.Reader.ReadWideString(); }), "Stream read error");
  TBytes shortStr(S("\x06\x05" "ab", 4));
  EXPECT_EQ(ReadErrorOf([&] { shortStr.Reader.ReadString(); }), "Stream read error");
  TBytes negativeWide(S("\x12\xFF\xFF\xFF\xFF", 5));
  EXPECT_EQ(ReadErrorOf([&] { negativeWide.Reader.ReadWideString(); }), "Stream read error");
  TBytes negative(S("\x0A\xFF\xFF\xFF\xFF", 5));
  TMemoryStream sink;
  EXPECT_EQ(ReadErrorOf([&] { negative.Reader.ReadBinary(&sink); }), "Stream read error");
  TBytes skipHuge(S("\x14\x00\x00\x00\x10", 5));
  EXPECT_EQ(ReadErrorOf([&] { skipHuge.Reader.SkipValue(); }), "Stream read error");
  TBytes unknown(S("\x30", 1));
  EXPECT_EQ(ReadErrorOf([&] { unknown.Reader.SkipValue(); }), "Invalid property value");
  TBytes nothing("");
  EXPECT_EQ(ReadErrorOf([&] { nothing.Reader.NextValue(); }), "Stream read error");
}

TEST(FilerValues, SkipValuePassesOverEveryType) {
  float single = 2.0f;
  TBytes r(Written([&](TWriter& w) {
    w.WriteInteger(1);
    w.WriteInteger(1000);
    w.WriteInteger(100000);
    w.WriteInteger(int64_t(1) << 40);
    w.WriteFloat(2.5);
    w.WriteString("short");
    w.WriteString(AnsiString(std::string(300, 'L')));
    w.WriteWideString(L"wide");
    w.WriteUTF8String("utf");
    w.WriteIdent("ident");
    w.WriteBoolean(true);
    w.WriteBoolean(false);
    w.WriteIdent("nil");
    w.WriteSet({"x", "y"});
    w.WriteBinary("123", 3);
    w.WriteListBegin();
    w.WriteInteger(1);
    w.WriteListBegin();
    w.WriteString("nested");
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteValue(vaCollection);
    w.WriteListBegin();  // an item without order
    w.WritePropName("Width");
    w.WriteInteger(5);
    w.WriteListEnd();
    w.WriteInteger(3);   // an item with its order
    w.WriteListBegin();
    w.WritePropName("Caption");
    w.WriteString("c");
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteValue(vaSingle);
    w.Write(&single, 4);
    w.WriteInteger(77);
  }));
  for (int i = 0; i < 18; ++i) r.Reader.SkipValue();
  EXPECT_EQ(r.Reader.ReadInteger(), 77);
  EXPECT_TRUE(r.AtEnd());
}

// --- class registry ---------------------------------------------------------------

class TFilTestA : public TComponent {
  CL_CLASS(TFilTestA, TComponent)
public:
  using TComponent::TComponent;
};
CL_DEFINE_COMPONENT(TFilTestA, TComponent)

TEST(ClassRegistry, FindsRegisteredClassesByNameIgnoringCase) {
  EXPECT_EQ(GetClass("TFilTestA"), nullptr);
  RegisterClass(&TFilTestA::Class);
  RegisterClass(&TFilTestA::Class);  // again: no error
  EXPECT_EQ(FindClass("TFilTestA"), &TFilTestA::Class);
  EXPECT_EQ(FindClass("tfiltesta"), &TFilTestA::Class);

  // Another class under a taken name is refused.
  static const TMetaClass impostor = {"TFILTESTA", &TComponent::Class, nullptr};
  try {
    RegisterClass(&impostor);
    ADD_FAILURE() << "no error";
  } catch (const EFilerError& e) {
    EXPECT_STREQ(e.Message().c_str(), "A class named TFILTESTA already exists");
  }

  try {
    FindClass("TNoSuchClass");
    ADD_FAILURE() << "no error";
  } catch (const EClassNotFound& e) {
    EXPECT_STREQ(e.Message().c_str(), "Class TNoSuchClass not found");
  }
  EXPECT_EQ(GetClass("TNoSuchClass"), nullptr);

  UnRegisterClass(&TFilTestA::Class);
  EXPECT_EQ(GetClass("TFilTestA"), nullptr);
}

// --- property registry ------------------------------------------------------------

enum TFilAlign { faNone, faTop, faBottom };
const char* const FilAlignNames[] = {"faNone", "faTop", "faBottom"};

class TFilBase : public TComponent {
  CL_CLASS(TFilBase, TComponent)
public:
  using TComponent::TComponent;
  AnsiString FCaption;
  int FLeft = 0;
  bool FVisible = true;
  TFilAlign FAlign = faNone;
  const AnsiString& GetCaption() const { return FCaption; }
  void SetCaption(const AnsiString& v) { FCaption = v; }
  int GetLeft() const { return FLeft; }
  void SetLeft(int v) { FLeft = v; }
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool v) { FVisible = v; }
  TFilAlign GetAlign() const { return FAlign; }
  void SetAlign(TFilAlign v) { FAlign = v; }
  bool IsLeftStored() const { return FLeft != 99; }
};
CL_DEFINE_COMPONENT(TFilBase, TComponent)

class TFilDerived : public TFilBase {
  CL_CLASS(TFilDerived, TFilBase)
public:
  using TFilBase::TFilBase;
  WideString FWideCaption;
  int64_t FExtra = 0;
  WideString GetWideCaption() { return FWideCaption; }
  void SetWideCaption(WideString v) { FWideCaption = v; }
  int64_t GetExtra() const { return FExtra; }
  void SetExtra(int64_t v) { FExtra = v; }
};
CL_DEFINE_COMPONENT(TFilDerived, TFilBase)

void RegisterFilProperties() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterProperty(&TFilBase::Class, "Caption", pkString, &TFilBase::SetCaption, &TFilBase::GetCaption);
  RegisterProperty(&TFilBase::Class, "Left", pkInteger, &TFilBase::SetLeft, &TFilBase::GetLeft, TPropDefault(),
                   &TFilBase::IsLeftStored);
  RegisterProperty(&TFilBase::Class, "Visible", pkBool, &TFilBase::SetVisible, &TFilBase::GetVisible, 1);
  RegisterProperty(&TFilBase::Class, "Align", TPropType::Enum(FilAlignNames), &TFilBase::SetAlign,
                   &TFilBase::GetAlign, faNone);
  RegisterProperty(&TFilDerived::Class, "Extra", pkInt64, &TFilDerived::SetExtra, &TFilDerived::GetExtra);
  RegisterProperty(&TFilDerived::Class, "CAPTION", pkWideString, &TFilDerived::SetWideCaption,
                   &TFilDerived::GetWideCaption);
}

TEST(PropertyRegistry, LookupWalksTheChainAndDerivedEntriesOverride) {
  RegisterFilProperties();
  const TPropInfo* base = GetPropInfo(&TFilBase::Class, "caption");
  const TPropInfo* derived = GetPropInfo(&TFilDerived::Class, "Caption");
  ASSERT_TRUE(base && derived);
  EXPECT_EQ(base->Kind(), pkString);
  EXPECT_EQ(derived->Kind(), pkWideString);
  EXPECT_EQ(GetPropInfo(&TFilDerived::Class, "Left"), GetPropInfo(&TFilBase::Class, "Left"));
  EXPECT_EQ(GetPropInfo(&TFilBase::Class, "Extra"), nullptr);
  EXPECT_EQ(GetPropInfo(&TFilBase::Class, "Tag")->Owner, &TComponent::Class);

  TPropList list = GetPropList(&TFilDerived::Class);
  std::string names;
  for (const TPropInfo* p : list) names += std::string(p->Name.c_str()) + ":" + std::to_string(p->Kind()) + " ";
  // Base classes first; the override keeps the place of the entry it replaces.
  EXPECT_EQ(names, "Name:8 Tag:0 CAPTION:9 Left:0 Visible:3 Align:6 Extra:1 ");
  EXPECT_EQ(list[2], derived);
}

TEST(PropertyRegistry, AKindThatDoesNotFitItsAccessorsIsRefused) {
  RegisterFilProperties();
  EXPECT_THROW(RegisterProperty(&TFilBase::Class, "Bad1", pkWideString, &TFilBase::SetCaption,
                                &TFilBase::GetCaption),
               EFilerError);
  EXPECT_THROW(RegisterProperty(&TFilBase::Class, "Bad2", pkString, &TFilBase::SetLeft, &TFilBase::GetLeft),
               EFilerError);
  EXPECT_THROW(RegisterProperty(&TFilBase::Class, "Bad3", pkInteger, &TFilBase::SetVisible, nullptr), EFilerError);
  EXPECT_EQ(GetPropInfo(&TFilBase::Class, "Bad1"), nullptr);
}

TEST(PropertyRegistry, TypeErasedAccessConvertsStringKinds) {
  RegisterFilProperties();
  TFilDerived d(nullptr);
  const TPropInfo* narrow = GetPropInfo(&TFilBase::Class, "Caption");
  const TPropInfo* wide = GetPropInfo(&TFilDerived::Class, "Caption");
  SetWideStrProp(&d, narrow, L"\x041D\x0430\x0437\x0430\x0434");
  EXPECT_EQ(d.FCaption, "\xCD\xE0\xE7\xE0\xE4");
  EXPECT_EQ(GetWideStrProp(&d, narrow), L"\x041D\x0430\x0437\x0430\x0434");
  SetStrProp(&d, wide, "\xCD\xE0\xE7\xE0\xE4");
  EXPECT_EQ(d.FWideCaption, L"\x041D\x0430\x0437\x0430\x0434");
  EXPECT_EQ(GetStrProp(&d, wide), "\xCD\xE0\xE7\xE0\xE4");

  const TPropInfo* align = GetPropInfo(&TFilBase::Class, "Align");
  SetOrdProp(&d, align, faBottom);
  EXPECT_EQ(d.FAlign, faBottom);
  EXPECT_EQ(GetOrdProp(&d, align), 2);
  SetOrdProp(&d, GetPropInfo(&TFilDerived::Class, "Extra"), int64_t(1) << 50);
  EXPECT_EQ(d.FExtra, int64_t(1) << 50);

  // Name goes through SetName with its checks.
  const TPropInfo* name = GetPropInfo(&TFilDerived::Class, "Name");
  SetStrProp(&d, name, "Abc");
  EXPECT_EQ(d.Name(), "Abc");
  EXPECT_THROW(SetStrProp(&d, name, "1bad"), EComponentError);
}

TEST(PropertyRegistry, StoredFollowsTheStoredTestOrTheDefault) {
  RegisterFilProperties();
  TFilBase b(nullptr);
  const TPropInfo* visible = GetPropInfo(&TFilBase::Class, "Visible");
  const TPropInfo* left = GetPropInfo(&TFilBase::Class, "Left");
  const TPropInfo* caption = GetPropInfo(&TFilBase::Class, "Caption");
  EXPECT_FALSE(IsStoredProp(&b, visible));
  b.FVisible = false;
  EXPECT_TRUE(IsStoredProp(&b, visible));
  EXPECT_TRUE(IsStoredProp(&b, left));
  b.FLeft = 99;
  EXPECT_FALSE(IsStoredProp(&b, left));
  EXPECT_TRUE(IsStoredProp(&b, caption));
}

// --- what objects define for themselves ----------------------------------------

class TFilDefRoot : public TComponent {
  CL_CLASS(TFilDefRoot, TComponent)
public:
  using TComponent::TComponent;
  int FExtra = 0;
  WideString FWide;
  std::string FBlob;
  bool FNeverRead = false;
  void DefineProperties(TFiler* filer) override {
    TComponent::DefineProperties(filer);
    filer->DefineProperty("Extra", MakeEvent<&TFilDefRoot::ReadExtra>(this), MakeEvent<&TFilDefRoot::WriteExtra>(this),
                          FExtra != 0);
    filer->DefineProperty("Wide", MakeEvent<&TFilDefRoot::ReadWide>(this), MakeEvent<&TFilDefRoot::WriteWide>(this),
                          !FWide.IsEmpty());
    filer->DefineBinaryProperty("Blob", MakeEvent<&TFilDefRoot::ReadBlob>(this),
                                MakeEvent<&TFilDefRoot::WriteBlob>(this), !FBlob.empty());
    filer->DefineProperty("Never", MakeEvent<&TFilDefRoot::ReadNever>(this), MakeEvent<&TFilDefRoot::WriteExtra>(this),
                          false);
  }
  void ReadExtra(TReader* r) { FExtra = r->ReadInteger(); }
  void WriteExtra(TWriter* w) { w->WriteInteger(FExtra); }
  void ReadWide(TReader* r) { FWide = r->ReadWideString(); }
  void WriteWide(TWriter* w) { w->WriteWideString(FWide); }
  void ReadNever(TReader* r) {
    FNeverRead = true;
    r->SkipValue();
  }
  void ReadBlob(TStream* s) {
    FBlob.resize(static_cast<size_t>(s->Size()));
    s->ReadBuffer(FBlob.data(), static_cast<int32_t>(FBlob.size()));
  }
  void WriteBlob(TStream* s) { s->WriteBuffer(FBlob.data(), static_cast<int32_t>(FBlob.size())); }
};
CL_DEFINE_COMPONENT(TFilDefRoot, TComponent)

// A root component record that holds only the defined properties of src.
std::string RootOfDefinedProperties(const char* className, const char* name, TPersistent* src) {
  return Written([&](TWriter& w) {
    w.WriteSignature();
    w.WriteStr(className);
    w.WriteStr(name);
    w.WriteDefinedProperties(src);
    w.WriteListEnd();
    w.WriteListEnd();
  });
}

TEST(DefinedProperties, WrittenOnlyWithDataAndReadBackIntoARoot) {
  TFilDefRoot src(nullptr);
  src.FExtra = 300;
  src.FBlob = std::string("\x00\x01\x02", 3);
  std::string b = Written([&](TWriter& w) { w.WriteDefinedProperties(&src); });
  EXPECT_EQ(b, S("\x05" "Extra" "\x03\x2C\x01" "\x04" "Blob" "\x0A\x03\x00\x00\x00\x00\x01\x02", 22));

  src.FWide = L"\x0416";
  std::string tree = RootOfDefinedProperties("TFilDefRoot", "Source", &src);
  TFilDefRoot dest(nullptr);
  TBytes r(tree);
  r.Reader.ReadRootComponent(&dest);
  EXPECT_EQ(dest.Name(), "Source");
  EXPECT_EQ(dest.FExtra, 300);
  EXPECT_EQ(dest.FWide, L"\x0416");
  EXPECT_EQ(dest.FBlob, std::string("\x00\x01\x02", 3));
  EXPECT_FALSE(dest.FNeverRead);
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(dest.ComponentState() & (csLoading | csReading), 0u);
}

// One read and one write procedure for several names, told apart by PropName.
class TFilCopies : public TComponent {
  CL_CLASS(TFilCopies, TComponent)
public:
  using TComponent::TComponent;
  std::string Seen;
  void DefineProperties(TFiler* filer) override {
    for (const char* n : {"CaptionW", "HintW"})
      filer->DefineProperty(n, MakeEvent<&TFilCopies::ReadCopy>(this), MakeEvent<&TFilCopies::WriteCopy>(this), true);
  }
  void ReadCopy(TReader* r) { Seen += std::string(r->PropName().c_str()) + "=" + r->ReadString().c_str() + ";"; }
  void WriteCopy(TWriter* w) { w->WriteString("of " + w->PropName()); }
};
CL_DEFINE_COMPONENT(TFilCopies, TComponent)

TEST(DefinedProperties, OneProcedureServesSeveralNames) {
  TFilCopies src(nullptr);
  std::string tree = RootOfDefinedProperties("TFilCopies", "", &src);
  TFilCopies dest(nullptr);
  TBytes r(tree);
  r.Reader.ReadRootComponent(&dest);
  EXPECT_EQ(dest.Seen, "CaptionW=of CaptionW;HintW=of HintW;");
}

TEST(DefinedProperties, AStreamWithoutTheSignatureIsRefused) {
  TFilDefRoot dest(nullptr);
  TBytes r(S("TPF1\x0BTFilDefRoot\x00\x00\x00", 19));
  EXPECT_EQ(ReadErrorOf([&] { r.Reader.ReadRootComponent(&dest); }), "Invalid stream format");
}

}  // namespace
