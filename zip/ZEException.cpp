#include "ZEException.h"

#include "classes.h"

const int32_t ZENativeToErrorCode[ZE_NATIVE_COUNT][2] = {
    {0, 0},   {1, 1},   {2, 1},   {3, 1},   {4, 1},   {5, 2},   {6, 3},   {7, 1},   {8, 4},   {9, 5},
    {10, 5},  {11, 6},  {12, 6},  {13, 7},  {14, 7},  {15, 6},  {16, 1},  {17, 8},  {18, 6},  {19, 9},
    {20, 10}, {21, 1},  {22, 11}, {23, 9},  {24, 1},  {25, 11}, {26, 13}, {27, 14}, {28, 15}, {29, 5},
    {30, 6},  {31, 6},  {32, 16}, {33, 12}, {34, 17}, {35, 18}, {36, 19}, {37, 20}, {38, 6},  {39, 21},
    {40, 22}, {41, 23}, {42, 6},  {43, 23}, {44, 24}, {45, 24}, {46, 25}, {47, 26}, {48, 27}, {49, 28},
    {50, 29}, {51, 30}, {52, 31}, {53, 6},  {54, 6},  {55, 32}, {56, 33}, {57, 27}, {58, 34}, {59, 34},
    {60, 35}, {61, 36}, {62, 37},
};

const wchar_t* const ZEErrorMessages[ZE_MESSAGE_COUNT] = {
    L"Unknown error",
    L"Index out of bounds",
    L"Invalid compression mode. Mode must be in [0-9] range",
    L"Unexpected nil pointer",
    L"Invalid size or check sum of file or unsupported compression format",
    L"File name is blank. Specify appropriate file name",
    L"File \"%s\" not found",
    L"Archive is not open",
    L"SFXStub property is not specified",
    L"Cannot create file \"%s\"",
    L"Cannot create directory \"%s\"",
    L"Internal error. Update is not started",
    L"Cannot open file \"%s\"",
    L"Cannot proceed when update is not ended. Preceding EndUpdate call is required.",
    L"Cannot delete file \"%s\"",
    L"In-memory archive can be created only",
    L"File is open in read-only mode",
    L"Invalid compressed size, rfs.size = %d, count = %d",
    L"Invalid archive file.",
    L"Cannot create output file. Probably file is locked by another process. FileName = '%s'.",
    L"Archive is open. You should close it beore performing this operation.",
    L"Unable to create directory",
    L"Cannot find Zip64 directory end record",
    L"Cannot compress file '%s'. Zip64 mode is not enabled",
    L"Cannot open archive file. Opening aborted or invalid file",
    L"Write to stream error",
    L"Cannot place SFX stub on volume. Volume size limit is too small",
    L"Archive is damaged. Open failed",
    L"MakeSFX is not allowed for splitted or spanned archives. Set SFXStub before archive creation instead of "
    L"MakeSFX",
    L"Archive already has SFX stub",
    L"Multi-volume archive is not allowed for custom stream",
    L"Multi-spanned archive is not allowed for modification. Use BeginUpdate/EndUpdate methods to add files "
    L"several times",
    L"Deflate64 compression method is not supported",
    L"MakeSFX error",
    L"Hashed list of file names is invalid",
    L"Cannot delete folder \"%s\"",
    L"File name is too long: \r\n\"%s\"",
    L"Multiple transactions are not supported for multi-volume archives",
    L"",
    L"",
    L"",
};

const wchar_t* const SConfirmOverwrite = L"Overwrite file \"%s\" with \"%s\"";
const wchar_t* const SPasswordTitle = L"Password for \"%s\"";
const wchar_t* const SPasswordPrompt = L"Enter password: ";
const wchar_t* const SOnRequestBlankDisk = L"Please insert a blank disk #%d";
const wchar_t* const SOnRequestFirstDisk = L"Please insert the first disk";
const wchar_t* const SOnRequestLastDisk = L"Please insert the last disk";
const wchar_t* const SOnRequestMiddleDisk = L"Please insert disk #%d";
const wchar_t* const SOnDiskFull =
    L"Disk is full. Required free space: %d bytes, but available only: %d bytes. Clean the disk or find another "
    L"blank disk";
const wchar_t* const SOnProcessFileFailure = L"%s. File processing error, possibly disk is full";
const wchar_t* const SWrongDiskRequestLastDisk =
    L"File '%s' not found on inserted disk. Please insert last disk with required file";

namespace {
[[noreturn]] void FormatError(const WideString& fmt) {
  throw EConvertError(Format("Format '%s' invalid or incompatible with argument", {fmt}));
}
}  // namespace

WideString ZEFormat(const WideString& fmt, const std::vector<TZEArg>& args) {
  const std::wstring& f = fmt.str();
  std::wstring out;
  size_t next = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] != L'%') {
      out += f[i];
      continue;
    }
    size_t j = i + 1;
    if (j < f.size() && f[j] == L'%') {
      out += L'%';
      i = j;
      continue;
    }
    int width = 0;
    while (j < f.size() && f[j] >= L'0' && f[j] <= L'9') width = width * 10 + (f[j++] - L'0');
    if (j >= f.size() || next >= args.size()) FormatError(fmt);
    std::wstring piece;
    const TZEArg& a = args[next++];
    if (f[j] == L's') {
      if (a.VType != TZEArg::String) FormatError(fmt);
      piece = a.VString.str();
    } else if (f[j] == L'd') {
      if (a.VType != TZEArg::Integer) FormatError(fmt);
      piece = std::to_wstring(a.VInt);
    } else {
      FormatError(fmt);
    }
    if (static_cast<int>(piece.size()) < width) piece.insert(0, width - piece.size(), L' ');
    out += piece;
    i = j;
  }
  return WideString(std::move(out));
}

int ZEErrorCodeOf(int nativeError) {
  for (const auto& pair : ZENativeToErrorCode)
    if (pair[0] == nativeError) return pair[1];
  return 0;
}

EZEException::EZEException(int nativeError, TComponent* owner, uint32_t systemError) : FSystemError(systemError) {
  Build(nativeError, nullptr, owner);
}

EZEException::EZEException(int nativeError, std::initializer_list<TZEArg> args, TComponent* owner,
                           uint32_t systemError)
    : FSystemError(systemError) {
  std::vector<TZEArg> v(args);
  Build(nativeError, &v, owner);
}

void EZEException::Build(int nativeError, const std::vector<TZEArg>* args, TComponent* owner) {
  FNativeError = nativeError;
  FErrorCode = ZEErrorCodeOf(nativeError);
  WideString text = ZEErrorMessages[FErrorCode];
  if (args) text = ZEFormat(text, *args);
  if (owner && !owner->Name().IsEmpty()) text = AnsiToWide(owner->Name()) + L": " + text;
  std::wstring num = std::to_wstring(nativeError);
  if (num.size() < 5) num.insert(0, 5 - num.size(), L'0');
  FWideMessage = text + L" - Native error: " + WideString(num);
  SetMessage(WideToAnsi(FWideMessage));
}

WideString ZEExceptionMessage(const Exception& e) {
  if (auto* z = dynamic_cast<const EZEException*>(&e)) return z->WideMessage();
  return AnsiToWide(e.Message());
}

uint32_t ZEExceptionSystemError(const Exception& e) {
  if (auto* z = dynamic_cast<const EZEException*>(&e)) return z->SystemError();
  if (auto* s = dynamic_cast<const EStreamError*>(&e)) return s->ErrorCode();
  if (auto* os = dynamic_cast<const EOSError*>(&e)) return os->ErrorCode();
  return 0;
}

int CCheck(int code) {
  if (code < 0) throw ECompressionError("error");
  return code;
}

int DCheck(int code) {
  if (code < 0) throw EDecompressionError("error");
  return code;
}

CL_DEFINE_CLASS(EZEException, Exception)
CL_DEFINE_CLASS(EZlibError, Exception)
CL_DEFINE_CLASS(ECompressionError, EZlibError)
CL_DEFINE_CLASS(EDecompressionError, EZlibError)
