// The header-field scrambling: known vectors, round trips, and a Python
// rendering of the algorithm as the independent peer.
#include <gtest/gtest.h>

#include <random>

#include "CoreTestUtil.h"
#include "Ucrypt.h"

namespace {

AnsiString Scramble(const std::string& s) {
  return ScrambleString(AnsiString(s), kScrambleStartKey, kScrambleMultiplier, kScrambleAddend);
}
AnsiString Unscramble(const std::string& s) {
  return UnscrambleString(AnsiString(s), kScrambleStartKey, kScrambleMultiplier, kScrambleAddend);
}

TEST(Ucrypt, KnownVectors) {
  EXPECT_EQ(Scramble("").str(), "");
  EXPECT_EQ(Unscramble("").str(), "");
  EXPECT_EQ(Scramble("C:\\").str(), std::string("\x41\xBB\xA4"));
  EXPECT_EQ(Scramble("D:\\Data").str(), std::string("\x46\x7F\xFA\x48\xF6\xFF\x41"));
  // Zero bytes come out like any other.
  EXPECT_EQ(Scramble("DE").str(), std::string("\x46\x00", 2));
  EXPECT_EQ(Scramble("AAE").str(), std::string("\x43\xDD\x00", 3));
}

TEST(Ucrypt, RoundTripsEveryByteValue) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(Unscramble(Scramble(all).str()).str(), all);
  std::mt19937 rnd(7);
  for (int n = 0; n < 200; ++n) {
    std::string s(rnd() % 300, '\0');
    for (char& c : s) c = static_cast<char>(rnd());
    ASSERT_EQ(Unscramble(Scramble(s).str()).str(), s);
    ASSERT_EQ(Scramble(s).Length(), static_cast<int>(s.size()));
  }
  // Other parameters round-trip too, with the key wrapping freely.
  const AnsiString t("\xFF\x80\x7F path", 9);
  EXPECT_EQ(UnscrambleString(ScrambleString(t, -1, INT32_MIN, INT32_MAX), -1, INT32_MIN, INT32_MAX), t);
}

TEST(Ucrypt, ChangesReachOnlyForward) {
  // The first byte depends only on the first input byte: start key 685 has 2 in
  // bits 8-15.
  for (int p = 0; p < 256; ++p) EXPECT_EQ(static_cast<uint8_t>(Scramble(std::string(1, static_cast<char>(p)))[1]), p ^ 2);
  const std::string a = "C:\\Users\\Data\\x", b = "C:\\Users\\Dbta\\x";
  const std::string sa = Scramble(a).str(), sb = Scramble(b).str();
  EXPECT_EQ(sa.substr(0, 10), sb.substr(0, 10));
  EXPECT_NE(sa[10], sb[10]);
}

TEST(Ucrypt, AgreesWithPythonRendering) {
  std::mt19937 rnd(11);
  std::string inputs, expected;
  TempDir dir;
  for (int n = 0; n < 50; ++n) {
    std::string s(1 + rnd() % 60, '\0');
    for (char& c : s) c = static_cast<char>(rnd());
    inputs += std::string(1, static_cast<char>(s.size())) + s;
    expected += Scramble(s).str();
  }
  WriteFileBytes(dir.File("in.bin"), inputs);
  WriteFileBytes(dir.File("out.bin"), expected);
  const char* py =
      "import sys\n"
      "def scramble(t, k=685, m=36271, a=27318):\n"
      "    out = bytearray()\n"
      "    for p in t:\n"
      "        c = p ^ ((k >> 8) & 0xFF)\n"
      "        out.append(c)\n"
      "        k = ((k + (c - 256 if c > 127 else c)) * m + a) % 2**32\n"
      "    return bytes(out)\n"
      "data = open(sys.argv[1], 'rb').read(); want = open(sys.argv[2], 'rb').read()\n"
      "got = b''; i = 0\n"
      "while i < len(data):\n"
      "    n = data[i]; got += scramble(data[i + 1:i + 1 + n]); i += 1 + n\n"
      "assert got == want\n"
      "print('ok')\n";
  std::string out;
  EXPECT_EQ(RunPython(py, Q(UnixPath(dir.File("in.bin"))) + " " + Q(UnixPath(dir.File("out.bin"))), &out), 0) << out;
}

}  // namespace
