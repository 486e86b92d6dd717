#include "Zehash.h"

#include <cstring>

namespace {
PHashDesc Slots[HashAlgorithmCount];

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

AnsiString UpperName(const THashName& n) {
  AnsiString s = n.ToString();
  for (int i = 1; i <= s.Length(); ++i) s[i] = AsciiUpper(s[i]);
  return s;
}

// The file is closed on every way out.
struct FileHandle {
  HANDLE H;
  ~FileHandle() {
    if (H != INVALID_HANDLE_VALUE) CloseHandle(H);
  }
};
}  // namespace

THashName THashName::From(const AnsiString& s) {
  THashName n{};
  int len = s.Length() > 19 ? 19 : s.Length();
  n.Length = static_cast<uint8_t>(len);
  std::memcpy(n.Chars, s.c_str(), len);
  return n;
}

void RegisterHash(THashAlgorithm algo, PHashDesc desc) {
  if (!desc || algo < 0 || algo >= HashAlgorithmCount) return;
  if (desc->AlgorithmId != algo || desc->Signature != HashDescSig || desc->Version != HashDescVersion ||
      desc->DescSize != sizeof(THashDesc))
    return;
  Slots[algo] = desc;
}

PHashDesc FindHash_by_ID(THashAlgorithm algo) {
  if (algo < 0 || algo >= HashAlgorithmCount) return nullptr;
  PHashDesc d = Slots[algo];
  if (!IsValidHashDesc(d) || d->AlgorithmId != algo) return nullptr;
  return d;
}

PHashDesc FindHash_by_Name(const AnsiString& name) {
  AnsiString wanted = UpperName(THashName::From(name));
  for (int i = 0; i < HashAlgorithmCount; ++i) {
    PHashDesc d = Slots[i];
    if (IsValidHashDesc(d) && d->AlgorithmId == i && UpperName(d->Name) == wanted) return d;
  }
  return nullptr;
}

void HashUpdate(PHashDesc desc, THashContext& context, const void* msg, uint16_t len) {
  if (IsValidHashDesc(desc)) desc->Update(context, msg, len);
}

void HashFullXL(PHashDesc desc, THashDigest& digest, const void* msg, uint32_t len) {
  if (!IsValidHashDesc(desc)) return;
  THashContext ctx;
  desc->Init(ctx);
  desc->Update(ctx, msg, len);
  desc->Final(ctx, digest);
}

void HashFull(PHashDesc desc, THashDigest& digest, const void* msg, uint16_t len) {
  HashFullXL(desc, digest, msg, len);
}

void HashFile(const AnsiString& fileName, PHashDesc desc, THashDigest& digest, void* buffer, uint16_t bufSize,
              uint16_t& err) {
  if (!IsValidHashDesc(desc)) {
    err = 204;
    return;
  }
  FileHandle f{CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (f.H == INVALID_HANDLE_VALUE) {
    err = static_cast<uint16_t>(GetLastError());
    return;
  }
  err = 0;
  THashContext ctx;
  desc->Init(ctx);
  for (;;) {
    DWORD got = 0;
    err = ReadFile(f.H, buffer, bufSize, &got, nullptr) ? 0 : static_cast<uint16_t>(GetLastError());
    if (err == 0 || got > 0) desc->Update(ctx, buffer, got);
    if (err != 0 || got < bufSize || bufSize == 0) break;
  }
  desc->Final(ctx, digest);
}

void UnitInit_Zehash() {
  for (PHashDesc& d : Slots) d = nullptr;
}

void UnitFini_Zehash() {
  for (PHashDesc& d : Slots) d = nullptr;
}
