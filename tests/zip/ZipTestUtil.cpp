#include "ZipTestUtil.h"

#include <algorithm>

#include "CryptoUnits.h"
#include "UcSysUtils.h"
#include "UcWideStreams.h"
#include "WideStringsUnits.h"
#include "ZipUnits.h"

// The wide-string layer's and the cipher library's units, then the engine's.
static TestUnits wideUnits(WideStringsUnitTable, WideStringsUnitCount);
static TestUnits cryptoUnits(CryptoUnitTable, CryptoUnitCount);
static TestUnits zipUnits(ZipUnitTable, ZipUnitCount);

std::vector<std::wstring> ShownBoxes;
TZEDialogs BuiltInDialogs;

namespace {
TZEModalResult RecordConfirm(const WideString& text, TZEDialogButtons) {
  ShownBoxes.push_back(text.str());
  return zmrAbort;
}
bool RecordInput(const WideString& caption, const WideString&, AnsiString&) {
  ShownBoxes.push_back(caption.str());
  return false;
}
// No test waits for a human.
struct TNoBoxes {
  TNoBoxes() {
    BuiltInDialogs = ZEDialogs;
    ZEDialogs = {&RecordConfirm, &RecordInput};
  }
} noBoxes;
}  // namespace

TZipEngine* NewListEngine() {
  auto* z = new TZipEngine(nullptr);
  z->SetCompressionLevel(TZECompressionLevel::clMax);
  z->SetCompressionMode(9);
  z->Options()->FlushBuffers = true;
  z->Options()->OEMFileNames = true;
  z->SetZip64Mode(zmDisabled);
  z->SetUnicodeFilenames(true);
  return z;
}

void WriteWide(const WideString& path, const std::string& bytes) {
  TUcFileStream f(path, fmCreate);
  if (!bytes.empty()) f.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

std::string ReadWide(const WideString& path) {
  TUcFileStream f(path, fmOpenRead | fmShareDenyNone);
  std::string r(static_cast<size_t>(f.Size()), '\0');
  if (!r.empty()) f.ReadBuffer(r.data(), static_cast<int32_t>(r.size()));
  return r;
}

int NativeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EZEException& e) {
    return e.NativeError();
  }
  return -1;
}

int32_t TTestSource::Read(void* buffer, int32_t count) {
  const int32_t n = static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(count, Size - Pos)));
  if (n > 0) Fill(static_cast<uint8_t*>(buffer), Pos, n);
  Pos += n;
  return n;
}

int64_t TTestSource::Seek(int64_t offset, TSeekOrigin origin) {
  Pos = origin == soBeginning ? offset : origin == soCurrent ? Pos + offset : Size + offset;
  return Pos;
}
