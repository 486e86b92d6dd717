// Throughput of SHA-1, AES-256 in counter mode and PBKDF2-HMAC-SHA1 (1000
// rounds) beside OpenSSL's command line doing the same work on the Linux
// side, once as installed and once with its CPU extensions off
// (OPENSSL_ia32cap=0: no SHA or AES instructions, no vector units), which is
// the nearest to portable code. Every figure is the best of three rounds of
// half a second or more, ours and OpenSSL's portable code taken in turn.
//
// Run: wine <build>/bench/crypto_bench.exe   (with tools/env.sh sourced)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "Cipher_Rijndael.h"
#include "CryptoUnits.h"
#include "Zecryptutil.h"
#include "Zekeyderiv.h"
#include "Zesha1.h"
#include "harness.h"

#include "BenchClock.h"
#include "BenchReport.h"

namespace {

constexpr int Rounds = 3;

// The best of the rounds of a measure that returns a rate: other processes on
// the machine only ever make a round slower.
template <class F>
double Best(F measure) {
  double best = 0;
  for (int i = 0; i < Rounds; ++i) best = std::max(best, measure());
  return best;
}

// openssl speed, machine-readable: the "+F:" line gives bytes per second.
double OpenSslSpeedOnce(const std::string& env, const std::string& alg) {
  std::string out;
  RunUnix(env + " openssl speed -mr -elapsed -seconds 1 -bytes 16384 -evp " + alg + " 2>/dev/null", &out);
  size_t p = out.rfind("+F:");
  if (p == std::string::npos) return 0;
  size_t colon = out.find(':', out.find(':', out.find(':', p) + 1) + 1);
  return std::atof(out.c_str() + colon + 1);
}

double OpenSslSpeed(const std::string& env, const std::string& alg) {
  return Best([&] { return OpenSslSpeedOnce(env, alg); });
}

// The seconds of one openssl kdf run of iterations PBKDF2 iterations, timed
// by the shell.
double OpenSslKdfSeconds(const std::string& env, int iterations) {
  std::string out;
  RunUnix("s=$(date +%s%N); " + env +
              " openssl kdf -keylen 34 -kdfopt digest:SHA1 -kdfopt pass:password"
              " -kdfopt hexsalt:0001020304050607 -kdfopt iter:" +
              std::to_string(iterations) +
              " PBKDF2 >/dev/null; "
              "e=$(date +%s%N); echo $(( (e - s) / 1000 ))",
          &out);
  return std::atof(out.c_str()) / 1e6;
}

// PBKDF2 derivations per second: a run of 1001 x 1000 iterations less a run
// of 1 x 1000, so that the start of the process and the shell's clock are
// left out and 1000 derivations remain, as ours are measured. A thousand take
// half a second or more, as a round of ours does: with a hundred the start's
// jitter alone moved the rate by a third from one run to the next.
double OpenSslPbkdf2Once(const std::string& env) {
  const double seconds = OpenSslKdfSeconds(env, 1001000) - OpenSslKdfSeconds(env, 1000);
  return seconds > 0 ? 1000.0 / seconds : 0;
}

double OpenSslPbkdf2(const std::string& env) {
  return Best([&] { return OpenSslPbkdf2Once(env); });
}

// Ours against OpenSSL's portable code, round by round in turn: the rounds
// per second of our pass (one round of BestPerPass, half a second or more)
// and OpenSSL's rate (a run of a second or more of its own), each the best
// of the rounds.
template <class Pass, class Portable>
std::pair<double, double> RatesInTurn(Pass pass, Portable portable) {
  double ours = 0, theirs = 0;
  for (int i = 0; i < Rounds; ++i) {
    const auto [seconds] = BestPerPass(1, pass);
    ours = std::max(ours, 1.0 / seconds);
    theirs = std::max(theirs, portable());
  }
  return {ours, theirs};
}

// The aim: at most three times the time OpenSSL's portable code takes.
void Row(const char* what, double ours, double openssl, double portable, const char* unit) {
  std::printf("%-22s %10.1f %s   OpenSSL %10.1f (ratio %5.2f)   OpenSSL without CPU extensions %10.1f (ratio %5.2f)\n",
              what, ours, unit, openssl, openssl / ours, portable, portable / ours);
  ReportAim((std::string(what) + ", time against OpenSSL without CPU extensions").c_str(), portable / ours, 3.0);
}

std::string Hex(const uint8_t* bytes, size_t n, const char* separator) {
  std::string r;
  char two[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(two, sizeof two, "%02x", bytes[i]);
    if (i > 0) r += separator;
    r += two;
  }
  return r;
}

// The outputs measured are OpenSSL's for the same input: a fast wrong digest
// or key measures nothing.
void CheckOutputs(const std::vector<uint8_t>& buf, const uint8_t* salt) {
  TempDir dir;
  WriteFileBytes(dir.File("buf.bin"), std::string(buf.begin(), buf.end()));
  TSHA1Digest d;
  SHA1FullXL(d, buf.data(), static_cast<uint32_t>(buf.size()));
  std::string out;
  RunUnix("openssl dgst -sha1 -r " + Q(UnixPath(dir.File("buf.bin"))), &out);
  CheckSame("SHA-1 digest", out.compare(0, 40, Hex(d, sizeof d, "")) == 0);
  TPBKDF2 k("password", salt, 8, 1000);
  uint8_t* key = nullptr;
  k.GetKeyBytes(34, key);
  const std::string ours = Hex(key, 34, ":");
  delete[] key;
  RunUnix(
      "openssl kdf -keylen 34 -kdfopt digest:SHA1 -kdfopt pass:password -kdfopt hexsalt:0001020304050607"
      " -kdfopt iter:1000 PBKDF2 | tr A-F a-f",
      &out);
  CheckSame("PBKDF2 key", out.compare(0, ours.size(), ours) == 0);
}

}  // namespace

int main() {
  RegisterCryptoUnits();
  StartUnits();
  const double MB = 1024.0 * 1024.0;
  std::vector<uint8_t> buf(16384);
  for (size_t i = 0; i < buf.size(); ++i) buf[i] = static_cast<uint8_t>(i * 7);

  const auto [shaRate, shaPortable] = RatesInTurn(
      [&] {
        TSHA1Digest d;
        SHA1FullXL(d, buf.data(), static_cast<uint32_t>(buf.size()));
      },
      [] { return OpenSslSpeedOnce("OPENSSL_ia32cap=0", "sha1"); });
  const double sha = shaRate * buf.size() / MB;

  uint8_t* key = new uint8_t[32];
  for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(i);
  TCipher_Rijndael aes(key, 32);
  delete[] key;
  aes.SetMode(cmCTR);
  const auto [ctrRate, ctrPortable] =
      RatesInTurn([&] { aes.EncodeBuffer(buf.data(), buf.data(), static_cast<int>(buf.size())); },
                  [] { return OpenSslSpeedOnce("OPENSSL_ia32cap=0", "aes-256-ctr"); });
  const double ctr = ctrRate * buf.size() / MB;

  const uint8_t salt[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  const auto [kdf, kdfPortable] = RatesInTurn(
      [&] {
        TPBKDF2 k("password", salt, 8, 1000);
        uint8_t* out = nullptr;
        k.GetKeyBytes(34, out);
        delete[] out;
      },
      [] { return OpenSslPbkdf2Once("OPENSSL_ia32cap=0"); });

  std::printf("Fennolit crypto benchmark (MB/s; PBKDF2: derivations of 34 bytes per second)\n");
  Row("SHA-1", sha, OpenSslSpeed("", "sha1") / MB, shaPortable / MB, "MB/s");
  Row("AES-256-CTR", ctr, OpenSslSpeed("", "aes-256-ctr") / MB, ctrPortable / MB, "MB/s");
  Row("PBKDF2-SHA1 x1000", kdf, OpenSslPbkdf2(""), kdfPortable, "/s  ");
  CheckOutputs(buf, salt);
  FinishUnits();
  return BenchExitCode();
}
