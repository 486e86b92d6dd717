// Small helpers of the crypto tests: hexadecimal text, and the Linux-side
// model and peers run in one batch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "harness.h"
#include "system.h"

inline std::string Hex(const void* data, size_t size) {
  static const char digits[] = "0123456789abcdef";
  const uint8_t* p = static_cast<const uint8_t*>(data);
  std::string s;
  for (size_t i = 0; i < size; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}
inline std::string Hex(const std::string& s) { return Hex(s.data(), s.size()); }
inline std::string Hex(const AnsiString& s) { return Hex(s.c_str(), s.Length()); }

inline std::string Unhex(const std::string& hex) {
  std::string out;
  auto val = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(val(hex[i]) << 4 | val(hex[i + 1]));
  return out;
}

inline std::vector<uint8_t> Bytes(const std::string& hex) {
  std::string b = Unhex(hex);
  return std::vector<uint8_t>(b.begin(), b.end());
}

// Deterministic pseudo-random bytes for inputs of the tests.
inline std::string PatternBytes(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    s[i] = static_cast<char>(seed >> 23);
  }
  return s;
}

// What a call raised, as "ClassName: message".
template <class F>
std::string Raised(F&& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.ClassName().str() + ": " + e.Message().str();
  }
  return "(nothing raised)";
}

// Runs the model script of this folder over a batch of requests (one per
// line) and returns its answers, one line each.
std::vector<std::string> RunModel(const std::vector<std::string>& requests);
// Runs a Python snippet on the Linux side and returns what it printed.
std::string RunPython(const std::string& code);
