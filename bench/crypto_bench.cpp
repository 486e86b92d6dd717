// Throughput of SHA-1, AES-256 in counter mode and PBKDF2-HMAC-SHA1 (1000
// rounds) beside OpenSSL's command line doing the same work on the Linux
// side, once as installed and once with its CPU extensions off
// (OPENSSL_ia32cap=0: no SHA or AES instructions, no vector units), which is
// the nearest to portable code. Every figure is the best of three rounds.
//
// Run: wine <build>/bench/crypto_bench.exe   (with tools/env.sh sourced)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Cipher_Rijndael.h"
#include "CryptoUnits.h"
#include "Zecryptutil.h"
#include "Zekeyderiv.h"
#include "Zesha1.h"
#include "harness.h"

#include "BenchReport.h"

namespace {

double Seconds(double start) { return (PerfCounter() - start) / PerfFreq(); }

// The best of three rounds: other processes on the machine only ever make a
// round slower.
constexpr int Rounds = 3;
template <class F>
double Best(F measure) {
  double best = 0;
  for (int i = 0; i < Rounds; ++i) best = std::max(best, measure());
  return best;
}

// Runs f until at least minSeconds have passed; returns the calls per second
// (the best of the rounds).
template <class F>
double Rate(F f, double minSeconds = 0.5) {
  return Best([&] {
    int calls = 0;
    double start = PerfCounter();
    double elapsed;
    do {
      f();
      ++calls;
    } while ((elapsed = Seconds(start)) < minSeconds);
    return calls / elapsed;
  });
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

// PBKDF2 derivations per second: one run of 100 x 1000 rounds, timed by the shell.
double OpenSslPbkdf2Once(const std::string& env) {
  std::string out;
  RunUnix("s=$(date +%s%N); " + env +
              " openssl kdf -keylen 34 -kdfopt digest:SHA1 -kdfopt pass:password"
              " -kdfopt hexsalt:0001020304050607 -kdfopt iter:100000 PBKDF2 >/dev/null; "
              "e=$(date +%s%N); echo $(( (e - s) / 1000 ))",
          &out);
  double micros = std::atof(out.c_str());
  return micros > 0 ? 100.0 / (micros / 1e6) : 0;
}

double OpenSslPbkdf2(const std::string& env) {
  return Best([&] { return OpenSslPbkdf2Once(env); });
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
  RunUnix("openssl kdf -keylen 34 -kdfopt digest:SHA1 -kdfopt pass:password -kdfopt hexsalt:0001020304050607"
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

  double sha = Rate([&] {
                 TSHA1Digest d;
                 SHA1FullXL(d, buf.data(), static_cast<uint32_t>(buf.size()));
               }) *
               buf.size() / MB;

  uint8_t* key = new uint8_t[32];
  for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(i);
  TCipher_Rijndael aes(key, 32);
  delete[] key;
  aes.SetMode(cmCTR);
  double ctr = Rate([&] { aes.EncodeBuffer(buf.data(), buf.data(), static_cast<int>(buf.size())); }) * buf.size() / MB;

  const uint8_t salt[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  double kdf = Rate([&] {
    TPBKDF2 k("password", salt, 8, 1000);
    uint8_t* out = nullptr;
    k.GetKeyBytes(34, out);
    delete[] out;
  });

  std::printf("Fennolit crypto benchmark (MB/s; PBKDF2: derivations of 34 bytes per second)\n");
  Row("SHA-1", sha, OpenSslSpeed("", "sha1") / MB, OpenSslSpeed("OPENSSL_ia32cap=0", "sha1") / MB, "MB/s");
  Row("AES-256-CTR", ctr, OpenSslSpeed("", "aes-256-ctr") / MB, OpenSslSpeed("OPENSSL_ia32cap=0", "aes-256-ctr") / MB,
      "MB/s");
  Row("PBKDF2-SHA1 x1000", kdf, OpenSslPbkdf2(""), OpenSslPbkdf2("OPENSSL_ia32cap=0"), "/s  ");
  CheckOutputs(buf, salt);
  FinishUnits();
  return BenchExitCode();
}
