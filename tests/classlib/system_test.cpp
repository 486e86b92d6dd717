// The runtime's foundation: 1-based byte and UTF-16 strings and their
// conversions through the ANSI code page, class references and checked casts,
// method pointers, the exception guard, the pseudo-random generator.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>

#include "harness.h"
#include "raised.h"
#include "sysutils.h"

namespace {

// "Файл" in code page 1251 and in UTF-16.
const char kFileAnsi[] = "\xD4\xE0\xE9\xEB";
const wchar_t kFileWide[] = L"\x0424\x0430\x0439\x043B";

TEST(AnsiString, IndexesFromOneAndRaisesOutside) {
  AnsiString s = "abc";
  EXPECT_EQ(s[1], 'a');
  EXPECT_EQ(s[3], 'c');
  s[2] = 'X';
  EXPECT_EQ(s, "aXc");
  EXPECT_EQ(Raised([&] { (void)s[0]; }), "ERangeError: String index out of range (0)");
  EXPECT_EQ(Raised([&] { (void)s[4]; }), "ERangeError: String index out of range (4)");
  const AnsiString empty;
  EXPECT_EQ(Raised([&] { (void)empty[1]; }), "ERangeError: String index out of range (1)");
}

TEST(AnsiString, KeepsNulBytesAndComparesBytewise) {
  AnsiString s("a\0b", 3);
  EXPECT_EQ(s.Length(), 3);
  EXPECT_EQ(s[2], '\0');
  EXPECT_NE(s, AnsiString("a"));
  EXPECT_EQ(s + AnsiString("\0", 1), AnsiString("a\0b\0", 4));
  // Bytes above 0x7F sort after ASCII.
  EXPECT_LT(AnsiString("z"), AnsiString(kFileAnsi));
  EXPECT_TRUE(AnsiString().IsEmpty());
  EXPECT_EQ(AnsiString(static_cast<const char*>(nullptr)), "");
}

TEST(AnsiString, PosSubStringDeleteInsertAtTheEdges) {
  AnsiString s = "hello world";
  EXPECT_EQ(s.Pos("o"), 5);
  EXPECT_EQ(s.Pos("world"), 7);
  EXPECT_EQ(s.Pos("xyz"), 0);
  EXPECT_EQ(s.Pos(""), 0);
  EXPECT_EQ(AnsiString().Pos("a"), 0);

  EXPECT_EQ(s.SubString(1, 5), "hello");
  EXPECT_EQ(s.SubString(7, 100), "world");
  EXPECT_EQ(s.SubString(0, 3), "he");  // index 0 takes the place before the string
  EXPECT_EQ(s.SubString(12, 1), "");
  EXPECT_EQ(s.SubString(3, 0), "");
  EXPECT_EQ(s.SubString(3, -2), "");

  AnsiString d = "abcdef";
  d.Delete(2, 2);
  EXPECT_EQ(d, "adef");
  d.Delete(0, 2);  // outside: unchanged
  EXPECT_EQ(d, "adef");
  d.Delete(4, 10);
  EXPECT_EQ(d, "ade");
  d.Delete(5, 1);
  EXPECT_EQ(d, "ade");

  AnsiString i = "ac";
  i.Insert("b", 2);
  EXPECT_EQ(i, "abc");
  i.Insert(">", 0);
  EXPECT_EQ(i, ">abc");
  i.Insert("<", 100);
  EXPECT_EQ(i, ">abc<");

  AnsiString l = "abc";
  l.SetLength(1);
  EXPECT_EQ(l, "a");
  l.SetLength(3);
  EXPECT_EQ(l, AnsiString("a\0\0", 3));
  l.SetLength(-1);
  EXPECT_TRUE(l.IsEmpty());
}

TEST(AnsiString, MembersFollowTheRuntimeFunctions) {
  EXPECT_EQ(AnsiString(" \t x y \r\n").Trim(), "x y");
  EXPECT_EQ(AnsiString("aZ\xE0").UpperCase(), "AZ\xE0");
  EXPECT_EQ(AnsiString("aZ\xC0").LowerCase(), "az\xC0");
  EXPECT_EQ(AnsiString(" 42 ").ToInt(), 42);
  EXPECT_EQ(AnsiString("x").ToIntDef(-7), -7);
  EXPECT_EQ(Raised([] { AnsiString("4x").ToInt(); }), "EConvertError: '4x' is not a valid integer value");
}

TEST(WideString, SameConventionsOverUtf16) {
  WideString w = L"\x0424\x0430\x0439\x043B.txt";
  EXPECT_EQ(w.Length(), 8);
  EXPECT_EQ(w[1], L'\x0424');
  EXPECT_EQ(w.Pos(L".txt"), 5);
  EXPECT_EQ(w.Pos(L""), 0);
  EXPECT_EQ(w.SubString(5, 4), L".txt");
  EXPECT_EQ(Raised([&] { (void)w[9]; }), "ERangeError: String index out of range (9)");
  WideString d = w;
  d.Delete(1, 4);
  EXPECT_EQ(d, L".txt");
  d.Insert(L"x", 1);
  EXPECT_EQ(d, L"x.txt");
  d.SetLength(1);
  EXPECT_EQ(d, L"x");
  EXPECT_EQ(Trim(WideString(L"\t \x0424 \r\n")), L"\x0424");
}

TEST(WideString, ConvertsThroughTheAnsiCodePage) {
  WideString w = AnsiString(kFileAnsi);
  EXPECT_EQ(w, kFileWide);
  AnsiString a = WideString(kFileWide);
  EXPECT_EQ(a, kFileAnsi);
  // What 1251 cannot hold becomes the system default character.
  AnsiString lossy = WideString(L"a\x4E2D" L"b");
  EXPECT_EQ(lossy, "a?b");
  // Every byte of 1251 that maps to a character comes back unchanged.
  for (int b = 1; b < 256; ++b) {
    if (b == 0x98) continue;  // unassigned in 1251
    AnsiString one(static_cast<char>(b));
    EXPECT_EQ(AnsiString(WideString(one)), one) << "byte " << b;
  }
  // Explicit code pages: OEM 866 has "Ф" at 0x94.
  EXPECT_EQ(WideToAnsi(WideString(L"\x0424"), 866), "\x94");
  EXPECT_EQ(AnsiToWide("\x94", 866), L"\x0424");
  EXPECT_EQ(AnsiString(WideString()), "");
  EXPECT_EQ(WideString(AnsiString()), L"");
}

TEST(WideString, Utf8RoundTripMatchesPython) {
  WideString w = L"\x0424 \x20AC \x4E2D \xD83D\xDE00";  // Cyrillic, euro, CJK, a surrogate pair
  AnsiString u = UTF8Encode(w);
  std::string expected;
  ASSERT_EQ(RunUnix("printf '%s' 'Ф € 中 😀' | od -An -tx1 | tr -d ' \\n'", &expected), 0);
  std::ostringstream hex;
  for (unsigned char c : u.str()) hex << std::hex << (c < 16 ? "0" : "") << static_cast<int>(c);
  EXPECT_EQ(hex.str(), expected);
  EXPECT_EQ(UTF8Decode(u), w);
  EXPECT_EQ(UTF8Decode(""), L"");
}

// --- classes and casts ---------------------------------------------------------

class TAnimal : public TObject {
  CL_CLASS(TAnimal, TObject)
public:
  virtual AnsiString Sound() { return "..."; }
  AnsiString Speak() { return Sound(); }
};
class TDog : public TAnimal {
  CL_CLASS(TDog, TAnimal)
public:
  AnsiString Sound() override { return "woof"; }
};
class TCat : public TAnimal {
  CL_CLASS(TCat, TAnimal)
};
CL_DEFINE_CLASS(TAnimal, TObject)
CL_DEFINE_CLASS(TDog, TAnimal)
CL_DEFINE_CLASS(TCat, TAnimal)

TEST(TObject, ClassRecordsAndCheckedCasts) {
  TDog dog;
  TObject* o = &dog;
  EXPECT_EQ(o->ClassName(), "TDog");
  EXPECT_EQ(o->ClassType(), &TDog::Class);
  EXPECT_EQ(TDog::Class.Parent, &TAnimal::Class);
  EXPECT_TRUE(o->InheritsFrom(&TObject::Class));
  EXPECT_TRUE(o->InheritsFrom(&TAnimal::Class));
  EXPECT_FALSE(o->InheritsFrom(&TCat::Class));
  EXPECT_TRUE(o->Is<TAnimal>());
  EXPECT_FALSE(o->Is<TCat>());
  EXPECT_EQ(o->As<TAnimal>(), &dog);
  EXPECT_EQ(Raised([&] { o->As<TCat>(); }), "EInvalidCast: Invalid class typecast");
  EXPECT_FALSE(TAnimal::Class.InheritsFrom(&TDog::Class));
  EXPECT_EQ(TDog::Class.Create, nullptr);
  void* intf = &dog;
  EXPECT_FALSE(Supports(o, GUID{}, &intf));
  EXPECT_EQ(intf, nullptr);
  EXPECT_FALSE(Supports(nullptr, GUID{}, &intf));
}

TEST(TObject, ExceptionClassesFormATree) {
  EXPECT_TRUE(EReadError::Class.InheritsFrom(&EStreamError::Class));
  EXPECT_TRUE(EClassNotFound::Class.InheritsFrom(&EFilerError::Class));
  EXPECT_TRUE(EOSError::Class.InheritsFrom(&Exception::Class));
  try {
    throw EFOpenError("cannot open");
  } catch (const EStreamError& e) {
    EXPECT_EQ(e.ClassName(), "EFOpenError");
    EXPECT_STREQ(e.what(), "cannot open");
  }
  EXPECT_EQ(Raised([] { Abort(); }), "EAbort: Operation aborted");
  EXPECT_EQ(Raised([] { Assert(false, "broken"); }), "EAssertionFailed: broken");
  EXPECT_EQ(Raised([] { Assert(true, "fine"); }), "(nothing raised)");
}

TEST(TInterfacedObject, ReleaseToZeroDeletes) {
  static int destroyed = 0;
  struct TCounted : TInterfacedObject {
    ~TCounted() override { ++destroyed; }
  };
  auto* c = new TCounted;
  EXPECT_EQ(c->AddRef(), 1);
  EXPECT_EQ(c->AddRef(), 2);
  EXPECT_EQ(c->Release(), 1);
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(c->Release(), 0);
  EXPECT_EQ(destroyed, 1);
}

// --- method pointers -------------------------------------------------------------

struct THandlerHost : TObject {
  AnsiString Log;
  void Click(TObject*) { Log += "click;"; }
  void Other(TObject*) { Log += "other;"; }
  virtual int Twice(int v) { return 2 * v; }
};
struct TDerivedHost : THandlerHost {
  int Twice(int v) override { return 3 * v; }
};

AnsiString gFreeLog;
void FreeHandler(TObject*) { gFreeLog += "free;"; }

TEST(TEvent, EqualWhenObjectAndMemberAreEqual) {
  THandlerHost a, b;
  TNotifyEvent e1 = MakeEvent<&THandlerHost::Click>(&a);
  TNotifyEvent e2 = MakeEvent<&THandlerHost::Click>(&a);
  TNotifyEvent onB = MakeEvent<&THandlerHost::Click>(&b);
  TNotifyEvent other = MakeEvent<&THandlerHost::Other>(&a);
  EXPECT_TRUE(e1 == e2);
  EXPECT_FALSE(e1 != e2);
  EXPECT_NE(e1, onB);
  EXPECT_NE(e1, other);
  EXPECT_EQ(sizeof(TNotifyEvent), 2 * sizeof(void*));

  e1(nullptr);
  other(nullptr);
  onB(nullptr);
  EXPECT_EQ(a.Log, "click;other;");
  EXPECT_EQ(b.Log, "click;");

  TNotifyEvent empty;
  EXPECT_FALSE(empty);
  EXPECT_FALSE(empty.Assigned());
  EXPECT_EQ(empty, TNotifyEvent(nullptr));
  e1.Clear();
  EXPECT_EQ(e1, empty);
}

TEST(TEvent, VirtualMembersDispatchThroughOneTrampoline) {
  THandlerHost base;
  TDerivedHost derived;
  auto eb = MakeEvent<&THandlerHost::Twice>(&base);
  auto ed = MakeEvent<&THandlerHost::Twice>(static_cast<THandlerHost*>(&derived));
  EXPECT_EQ(eb(5), 10);
  EXPECT_EQ(ed(5), 15);
  EXPECT_EQ(eb.Code, ed.Code);
  EXPECT_NE(eb, ed);
}

TEST(TEvent, WrapsPlainFunctions) {
  gFreeLog = "";
  TNotifyEvent f = TNotifyEvent::Free(&FreeHandler);
  EXPECT_TRUE(f);
  f(nullptr);
  f(nullptr);
  EXPECT_EQ(gFreeLog, "free;free;");
  EXPECT_EQ(f, TNotifyEvent::Free(&FreeHandler));
}

// --- the guard -----------------------------------------------------------------------

TEST(GuardedCall, ReturnsTheFallbackAndReportsTheException) {
  static TObject* seenSender = nullptr;
  static std::string seenMessage;
  TExceptionHandlerProc saved = ExceptionHandlerProc;
  ExceptionHandlerProc = [](TObject* sender) {
    seenSender = sender;
    try {
      throw;
    } catch (const Exception& e) {
      seenMessage = e.Message().str();
    }
  };
  TObject sender;
  int r = GuardedCall(&sender, []() -> int { throw EConvertError("bad"); }, -1);
  EXPECT_EQ(r, -1);
  EXPECT_EQ(seenSender, &sender);
  EXPECT_EQ(seenMessage, "bad");
  EXPECT_EQ(GuardedCall(&sender, [] { return 7; }, -1), 7);

  // Without a handler the exception is swallowed, even one that is no Exception.
  ExceptionHandlerProc = nullptr;
  GuardedCall(nullptr, [] { throw 42; });
  GuardedCall(nullptr, [] { throw std::runtime_error("x"); });
  ExceptionHandlerProc = saved;
}

// --- pseudo-random numbers --------------------------------------------------------------

TEST(Random, FollowsTheLinearCongruentialSequence) {
  // The same generator written in Python: seed = seed * 134775813 + 1 (mod 2^32),
  // Random(n) = seed * n >> 32.
  std::string expected;
  ASSERT_EQ(RunUnix("python3 -c \""
                    "s=123456789\n"
                    "out=[]\n"
                    "for n in [10,256,1,2147483647,1000,7,65536,3]*4:\n"
                    "  s=(s*134775813+1)%2**32\n"
                    "  out.append(str(s*n>>32))\n"
                    "print(' '.join(out))\"",
                    &expected),
            0);
  uint32_t saved = RandSeed;
  RandSeed = 123456789;
  std::string got;
  // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
  for (int round = 0; round < 4; ++round)
    for (int n : {10, 256, 1, 2147483647, 1000, 7, 65536, 3}) got += (got.empty() ? "" : " ") + std::to_string(Random(n));
#pragma GCC diagnostic pop
  EXPECT_EQ(got + "\n", expected);

  RandSeed = 0xFFFFFFFF;
  EXPECT_EQ(Random(0), 0);  // an empty range gives 0 but still advances the seed
  EXPECT_EQ(RandSeed, 0xFFFFFFFFu * 134775813u + 1u);
  for (int i = 0; i < 1000; ++i) {
    int r = Random(5);
    EXPECT_GE(r, 0);
    EXPECT_LT(r, 5);
    double f = RandomFloat();
    EXPECT_GE(f, 0.0);
    EXPECT_LT(f, 1.0);
  }
  RandSeed = saved;
}

TEST(Random, RandomizeTakesMillisecondsSinceMidnightUtc) {
  SYSTEMTIME before, after;
  GetSystemTime(&before);
  Randomize();
  uint32_t seed = RandSeed;
  GetSystemTime(&after);
  auto ms = [](const SYSTEMTIME& t) {
    return ((t.wHour * 60u + t.wMinute) * 60u + t.wSecond) * 1000u + t.wMilliseconds;
  };
  EXPECT_LT(seed, 86400000u);
  if (ms(before) <= ms(after)) {  // not across midnight
    EXPECT_GE(seed, ms(before));
    EXPECT_LE(seed, ms(after));
  }
}

}  // namespace
