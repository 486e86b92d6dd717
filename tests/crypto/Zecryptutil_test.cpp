// The protection base, the text formats of byte strings and the utilities.
#include "Zecryptutil.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "Cipher_Blowfish.h"
#include "Cipher_Rijndael.h"
#include "crypto_test_util.h"

using namespace std::string_literals;

namespace {

std::string To(int format, const std::string& bytes) {
  return StrToFormat(bytes.data(), static_cast<int>(bytes.size()), format).str();
}
std::string From(int format, const std::string& text) {
  return FormatToStr(text.data(), static_cast<int>(text.size()), format).str();
}

std::vector<std::string> Lines(const std::string& s) {
  std::vector<std::string> v;
  std::istringstream in(s);
  for (std::string line; std::getline(in, line);) v.push_back(line);
  return v;
}

}  // namespace

TEST(TextFormats, Hexadecimal) {
  EXPECT_EQ(To(fmtHEX, "\x1f\xa0\x00\xff"s), "1FA000FF");
  EXPECT_EQ(To(fmtHEXL, "\x1f\xa0\x00\xff"s), "1fa000ff");
  EXPECT_EQ(Hex(From(fmtHEX, "0x1F A0")), "1fa0");
  EXPECT_EQ(Hex(From(fmtHEX, "$1FA0")), "1fa0");
  EXPECT_EQ(Hex(From(fmtHEX, "1fa")), "1f");  // the odd last digit goes
  EXPECT_EQ(Hex(From(fmtHEX, "{1F-A0}, (ff)")), "1fa0ff");
  // The lower-case format reads its own output, letters included.
  EXPECT_EQ(Hex(From(fmtHEXL, "1fa000ff")), "1fa000ff");
  EXPECT_EQ(Hex(From(fmtHEXL, "0X1FA0")), "1fa0");
  EXPECT_EQ(Raised([] { From(fmtHEX, "12G4"); }), "EStringFormat: Input is not an valid Hexadecimal Format.");
  EXPECT_EQ(Raised([] { From(fmtHEXL, "12 34 ?"); }),
            "EStringFormat: Input is not an valid Hexadecimal lowercase Format.");
}

TEST(TextFormats, Mime64) {
  const char* rfc4648[][2] = {{"", ""},
                              {"f", "Zg=="},
                              {"fo", "Zm8="},
                              {"foo", "Zm9v"},
                              {"foob", "Zm9vYg=="},
                              {"fooba", "Zm9vYmE="},
                              {"foobar", "Zm9vYmFy"}};
  for (auto& v : rfc4648) {
    EXPECT_EQ(To(fmtMIME64, v[0]), v[1]);
    EXPECT_EQ(From(fmtMIME64, v[1]), v[0]);
  }
  EXPECT_EQ(From(fmtMIME64, "TWFu"), "Man");
  EXPECT_EQ(From(fmtMIME64, "TWE"), "Ma");
  // Text broken into lines decodes to the same bytes.
  std::string data = PatternBytes(100, 17);
  std::string text = To(fmtMIME64, data);
  EXPECT_EQ(From(fmtMIME64, InsertCR(text, 7).str()), data);
  EXPECT_EQ(From(fmtMIME64, InsertCR(text, 76).str()), data);
  EXPECT_EQ(Raised([] { From(fmtMIME64, "TW#u"); }), "EStringFormat: Input is not an valid MIME Base 64 Format.");
}

// Python's base64 and binascii (UU with backticks) over lengths 0 to 150.
TEST(TextFormats, Mime64AndUUMatchPython) {
  std::vector<std::string> expected =
      Lines(RunPython("import base64, binascii\n"
                      "for n in range(151):\n"
                      "  d = bytes((i * 31 + n) & 255 for i in range(n))\n"
                      "  uu = b''.join(binascii.b2a_uu(d[i:i+45], backtick=True)[:-1] for i in range(0, n, 45))\n"
                      "  print(base64.b64encode(d).decode(), uu.decode())\n"));
  ASSERT_EQ(expected.size(), 151u);
  for (int n = 0; n <= 150; ++n) {
    std::string d;
    for (int i = 0; i < n; ++i) d += static_cast<char>((i * 31 + n) & 255);
    std::string mime = To(fmtMIME64, d), uu = To(fmtUU, d);
    EXPECT_EQ(mime + " " + uu, expected[n]) << n;
    EXPECT_EQ(From(fmtMIME64, mime), d) << n;
    EXPECT_EQ(From(fmtUU, uu), d) << n;
    EXPECT_EQ(From(fmtXX, To(fmtXX, d)), d) << n;
  }
}

TEST(TextFormats, UUAndXXLines) {
  EXPECT_EQ(To(fmtUU, "Man"), "#36%N");
  EXPECT_EQ(To(fmtXX, "Man"), "1HK3i");
  std::string d48;
  for (int i = 0; i < 48; ++i) d48 += static_cast<char>(i);
  EXPECT_EQ(To(fmtXX, d48), "h++20+kE3-UQ60Ec91+oC1l+F2VAI3FML4-YO4lkR5VwU6G6X70Ia7mUd8Wgg19Gsj");
  std::string u45 = To(fmtUU, PatternBytes(45, 1));
  EXPECT_EQ(u45.size(), 61u);
  std::string u46 = To(fmtUU, PatternBytes(46, 1));
  EXPECT_EQ(u46.substr(0, 61), u45);
  EXPECT_EQ(u46[61], '!');
  // Lines apart, and a count that is not a multiple of three in the first line.
  EXPECT_EQ(From(fmtUU, "#36%N\r\n#36%N\n"), "ManMan");
  EXPECT_EQ(From(fmtUU, To(fmtUU, "Ma") + "\r\n" + To(fmtUU, "n!")), "Man!");
  EXPECT_EQ(From(fmtXX, To(fmtXX, "a") + " " + To(fmtXX, "bcd")), "abcd");
  EXPECT_TRUE(IsValidFormat("#36%N", 5, fmtUU));
  EXPECT_FALSE(IsValidFormat("#36%", 4, fmtUU));   // a data character missing
  EXPECT_FALSE(IsValidFormat("N36%N", 5, fmtUU));  // a count above 45
  EXPECT_EQ(Raised([] { From(fmtUU, "N36%N"); }), "EStringFormat: Input is not an valid UU Coding Format.");
  EXPECT_EQ(Raised([] { From(fmtXX, "#36%N"); }), "EStringFormat: Input is not an valid XX Coding Format.");
}

TEST(TextFormats, RegistryAndConversions) {
  EXPECT_EQ(StringFormat(fmtHEX), &TStringFormat_HEX::Class);
  EXPECT_EQ(StringFormat(fmtDEFAULT), &TStringFormat_MIME64::Class);
  EXPECT_EQ(StringFormat(12345), nullptr);
  EXPECT_EQ(Raised([] { To(12345, "x"); }), "EStringFormat: String Format \"12345\" not exists.");
  EXPECT_EQ(Raised([] { From(12345, "x"); }), "EStringFormat: String Format \"12345\" not exists.");
  EXPECT_EQ(StrToFormat(nullptr, 4, fmtHEX), "");
  EXPECT_EQ(StrToFormat("ab", 2, fmtNONE), "");
  EXPECT_EQ(StrToFormat("ab\0cd", -1, fmtHEX), "6162");  // a negative length runs to the zero byte
  EXPECT_EQ(To(fmtCOPY, "a\0b"s), "a\0b"s);
  EXPECT_EQ(ConvertFormat("666F6F", 6, fmtHEX, fmtMIME64), "Zm9v");
  EXPECT_EQ(ConvertFormat("Zm9v", 4, fmtMIME64, fmtMIME64), "Zm9v");
  EXPECT_EQ(ConvertFormat("Zm9v", 4, fmtMIME64, fmtNONE), "");
  EXPECT_TRUE(IsValidFormat("", 0, fmtHEX));
  EXPECT_TRUE(IsValidFormat(nullptr, 5, 12345));
  EXPECT_FALSE(IsValidFormat("1F", 2, 12345));
  EXPECT_FALSE(IsValidFormat("1G", 2, fmtHEX));
  EXPECT_TRUE(IsValidString("\xff\x00", 2, fmtHEX));
  TStringList names;
  GetStringFormats(&names);
  EXPECT_EQ(names.Text(),
            "copy Input to Output\r\nHexadecimal\r\nHexadecimal lowercase\r\nMIME Base 64\r\n"
            "UU Coding\r\nXX Coding\r\n");
  EXPECT_EQ(reinterpret_cast<const void*>(names.Objects(4)), &TStringFormat_UU::Class);
  EXPECT_EQ(TStringFormat_XX::Class.CharTable().SubString(1, 4), "+-01");

  EXPECT_EQ(DefaultStringFormat(), fmtMIME64);
  SetDefaultStringFormat(fmtHEX);
  EXPECT_EQ(DefaultStringFormat(), fmtHEX);
  EXPECT_EQ(StrToFormat("\x01", 1, fmtDEFAULT), "01");
  SetDefaultStringFormat(777);
  EXPECT_EQ(DefaultStringFormat(), fmtMIME64);
  SetDefaultStringFormat(fmtHEXL);
  SetDefaultStringFormat(fmtDEFAULT);
  EXPECT_EQ(DefaultStringFormat(), fmtMIME64);
}

TEST(TextFormats, LinesAndBlocks) {
  EXPECT_EQ(InsertCR("abcdefgh", 4), "abcd\r\nefgh\r\n");
  EXPECT_EQ(InsertCR("abcdefghij", 4), "abcd\r\nefgh\r\nij");
  EXPECT_EQ(InsertCR("abcd", 4), "abcd");
  EXPECT_EQ(InsertCR("abcdefgh", 0), "abcdefgh");
  EXPECT_EQ(DeleteCR("ab\r\ncd\ne\rf"), "abcdef");
  EXPECT_EQ(InsertBlocks("abcdefg", "[", "]", 3), "[abc][def][g]");
  EXPECT_EQ(InsertBlocks("abc", "[", "]", 3), "abc");
  EXPECT_EQ(RemoveBlocks("[abc][def][g]", "[", "]"), "abcdefg");
  EXPECT_EQ(RemoveBlocks("x[ab]y[cd", "[", "]"), "abcd");
  EXPECT_EQ(RemoveBlocks("ab]cd]ef", "", "]"), "abcdef");
  EXPECT_EQ(RemoveBlocks("no marks", "[", "]"), "");
  EXPECT_EQ(GetShortClassName(&TStringFormat_HEX::Class), "HEX");
  EXPECT_EQ(GetShortClassName(AnsiString("TProtection")), "TProtection");
  EXPECT_EQ(GetShortClassName(&TCipher_Rijndael::Class), "Rijndael");
}

TEST(Utilities, BitsAndBytes) {
  EXPECT_EQ(ROL(0x80000001u, 1), 3u);
  EXPECT_EQ(ROR(3u, 1), 0x80000001u);
  EXPECT_EQ(ROL(0x12345678u, 0), 0x12345678u);
  EXPECT_EQ(ROLADD(1, 5, 4), 21u);
  EXPECT_EQ(ROLSUB(1, 5, 4), 11u);
  EXPECT_EQ(RORADD(16, 1, 4), 2u);
  EXPECT_EQ(RORSUB(16, 1, 4), 0u);
  EXPECT_EQ(SwapInteger(0x12345678u), 0x78563412u);
  uint32_t words[2] = {0x01020304u, 0xA0B0C0D0u}, out[2];
  SwapIntegerBuffer(words, out, 2);
  EXPECT_EQ(out[0], 0x04030201u);
  EXPECT_EQ(out[1], 0xD0C0B0A0u);
  EXPECT_EQ(SwapBits(1u), 0x80000000u);
  EXPECT_EQ(SwapBits(0x0000000Fu), 0xF0000000u);
  EXPECT_EQ(LSBit(0), 0);
  EXPECT_EQ(LSBit(0x28), 3);
  EXPECT_EQ(MSBit(0x28), 5);
  EXPECT_EQ(MSBit(-1), 31);
  EXPECT_EQ(OneBit(0x40), 6);
  EXPECT_EQ(OneBit(0x41), 0);
  EXPECT_EQ(OneBit(0), 0);
  EXPECT_EQ(MemCompare("abc", "abc", 3), 0);
  EXPECT_EQ(MemCompare("abc", "abd", 3), -1);
  EXPECT_EQ(MemCompare("b", "a", 1), 1);
  EXPECT_EQ(MemCompare("ab", "xy", 0), 0);
  char a[4] = {1, 2, 3, 4}, b[4] = {4, 4, 4, 4};
  XORBuffers(a, b, 4, a);
  EXPECT_EQ(Hex(a, 4), "05060700");
  EXPECT_EQ(CRC16(0, "123456789", 9), 0xBB3D);  // the CRC-16/ARC check value
  EXPECT_EQ(CRC16(0x1234, nullptr, 9), 0x1234);
  EXPECT_EQ(CRC16(0x1234, "x", 0), 0x1234);
  EXPECT_EQ(TProtection::Identity(&TCipher_Rijndael::Class), 0x81F8);
  EXPECT_EQ(TProtection::Identity(&THash_RipeMD256::Class), 0xA3B1);
  std::string buf;
  for (int i = 0; i < 16; ++i) buf += static_cast<char>(i);
  RndXORBuffer(0x12345678u, buf.data(), 16);
  EXPECT_EQ(Hex(buf), "cb71155b20d061f5fb05207b9a7db102");
  EXPECT_GT(PerfFreq(), 0.0);
  double t0 = PerfCounter();
  double t1 = PerfCounter();
  EXPECT_LE(t0, t1);
  EXPECT_GE(CPUType(), 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(GetTestVector()), 32), "Fennolit cipher library selftest");
}

namespace {
struct ProgressLog {
  std::vector<std::pair<int, int>> Calls;
  void On(TObject*, int current, int maximal) { Calls.push_back({current, maximal}); }
};
}  // namespace

TEST(Protection, CodingThroughBuffersStreamsFilesAndStrings) {
  std::string data = PatternBytes(10000, 99);
  auto* c = new TCipher_Blowfish("secret");
  c->AddRef();
  // Buffers.
  std::string buf = data;
  c->CodeBuffer(buf.data(), static_cast<int>(buf.size()), paEncode);
  EXPECT_NE(buf, data);
  std::string enc = buf;
  c->CodeBuffer(buf.data(), static_cast<int>(buf.size()), paDecode);
  EXPECT_EQ(buf, data);
  // A stream onto itself, in 4096-byte blocks with progress reports.
  ProgressLog log;
  Progress = MakeEvent<&ProgressLog::On>(&log);
  TMemoryStream m;
  m.WriteBuffer(data.data(), static_cast<int>(data.size()));
  c->CodeStream(&m, nullptr, -1, paEncode);
  Progress.Clear();
  EXPECT_EQ(std::string(static_cast<const char*>(m.Memory()), data.size()), enc);
  EXPECT_EQ(log.Calls,
            (std::vector<std::pair<int, int>>{{0, 10000}, {4096, 10000}, {8192, 10000}, {10000, 10000}, {0, 0}}));
  // Files: to another file, and in place.
  TempDir dir;
  WriteFileBytes(dir.File("plain.bin"), data);
  WriteFileBytes(dir.File("coded.bin"), std::string(20000, 'x'));  // longer: cut to the written size
  c->CodeFile(dir.File("plain.bin").c_str(), dir.File("coded.bin").c_str(), paEncode);
  EXPECT_EQ(ReadFileBytes(dir.File("coded.bin")), enc);
  c->CodeFile(dir.File("coded.bin").c_str(), "", paDecode);
  EXPECT_EQ(ReadFileBytes(dir.File("coded.bin")), data);
  // Strings: encoded into the default text format and back.
  AnsiString text = c->CodeString("attack at dawn", paEncode, fmtDEFAULT);
  EXPECT_TRUE(IsValidFormat(text.c_str(), text.Length(), fmtMIME64));
  EXPECT_EQ(FormatToStr(text.c_str(), text.Length(), fmtMIME64).Length(), 14);
  EXPECT_EQ(c->CodeString(text, paDecode, fmtDEFAULT), "attack at dawn");
  EXPECT_EQ(c->CodeString("", paEncode, fmtHEX), "");
  // Actions outside the set pass the data through.
  c->SetActions(TPActions{paDecode});
  buf = data;
  c->CodeBuffer(buf.data(), 100, paEncode);
  EXPECT_EQ(buf, data);
  c->Release();
}

TEST(Protection, ChainsHoldCountedReferences) {
  // The outer cipher encrypts after the inner one and decrypts before it.
  auto* inner = new TCipher_Rijndael("inner");
  auto* outer = new TCipher_Blowfish("outer", inner);
  EXPECT_EQ(outer->GetProtection(), inner);
  EXPECT_EQ(inner->RefCount(), 1);
  std::string data = PatternBytes(64, 5), buf = data;
  outer->CodeBuffer(buf.data(), 64, paEncode);
  std::string manual = data;
  TCipher_Rijndael i2("inner");
  TCipher_Blowfish o2("outer");
  i2.EncodeBuffer(manual.data(), manual.data(), 64);
  o2.EncodeBuffer(manual.data(), manual.data(), 64);
  EXPECT_EQ(buf, manual);
  outer->CodeBuffer(buf.data(), 64, paDecode);
  EXPECT_EQ(buf, data);

  // A chain that leads back is refused.
  EXPECT_EQ(Raised([&] { inner->SetProtection(outer); }),
            "EProtection: Circular Protection detected, Protection Object is invalid.");
  EXPECT_EQ(Raised([&] { outer->SetProtection(outer); }),
            "EProtection: Circular Protection detected, Protection Object is invalid.");
  EXPECT_EQ(IsObject(inner, &TCipher::Class), true);
  EXPECT_EQ(IsObject(inner, &TCipher_Blowfish::Class), false);
  // Freeing the outer releases the inner, its last holder.
  delete outer;
  EXPECT_FALSE(IsObject(inner, &TProtection::Class));

  // A link freed behind the chain's back is dropped, not touched.
  auto* hash = new THash_RipeMD128();
  TCipher_Rijndael holder("k", hash);
  EXPECT_EQ(holder.GetProtection(), hash);
  delete hash;
  EXPECT_EQ(holder.GetProtection(), nullptr);
  EXPECT_FALSE(IsObject(nullptr, nullptr));
}
