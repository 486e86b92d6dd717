#include "UcWideStreams.h"

#include "UcClasses.h"
#include "UcCodePages.h"
#include "UcSysUtils.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

CL_DEFINE_CLASS(TUcFileStream, THandleStream)
CL_DEFINE_CLASS(TUcMemoryStream, TMemoryStream)
CL_DEFINE_CLASS(TUcResourceStream, TCustomMemoryStream)
CL_DEFINE_CLASS(TUcWideStringStream, TStream)
CL_DEFINE_CLASS(TBufferedStreamReader, TStream)

namespace {

// The handle is made before the handle stream exists, so that a failure
// leaves nothing open.
HANDLE OpenOrCreate(const WideString& fileName, uint16_t mode) {
  if (mode == fmCreate) {
    HANDLE h = WideFileCreate(fileName);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD err = GetLastError();
      const WideString full = WideExpandFileName(fileName);
      throw EFCreateError(Format("Cannot create file %s", {WideToSystem(full)}), full, err);
    }
    return h;
  }
  HANDLE h = WideFileOpen(fileName, mode);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    const WideString full = WideExpandFileName(fileName);
    throw EFOpenError(Format("Cannot open file %s", {WideToSystem(full)}), full, err);
  }
  return h;
}

// Reads everything from the position to the end.
std::string ReadRest(TStream* stream) {
  const int64_t left = stream->Size() - stream->Position();
  if (left <= 0) return std::string();
  if (left > std::numeric_limits<int32_t>::max()) throw EReadError("Stream read error");
  std::string bytes(static_cast<size_t>(left), '\0');
  stream->ReadBuffer(bytes.data(), static_cast<int32_t>(left));
  return bytes;
}

}  // namespace

// ===========================================================================
// TUcFileStream, TUcMemoryStream

TUcFileStream::TUcFileStream(const WideString& fileName, uint16_t mode) : THandleStream(OpenOrCreate(fileName, mode)) {}

TUcFileStream::~TUcFileStream() {
  if (FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle);
}

bool TUcFileStream::Close(DWORD& error) {
  if (FHandle == INVALID_HANDLE_VALUE) return true;
  const HANDLE handle = FHandle;
  FHandle = INVALID_HANDLE_VALUE;
  if (FileHandleCalls.Close(handle)) return true;
  error = GetLastError();
  return false;
}

void TUcMemoryStream::LoadFromFile(const WideString& fileName) {
  TUcFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TUcMemoryStream::SaveToFile(const WideString& fileName) {
  TUcFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

// ===========================================================================
// TUcResourceStream

TUcResourceStream::TUcResourceStream(HINSTANCE instance, const WideString& resName, LPCWSTR resType) {
  Initialize(instance, resName.c_bstr(), resType, resName);
}

TUcResourceStream::TUcResourceStream(HINSTANCE instance, WORD resId, LPCWSTR resType) {
  Initialize(instance, MAKEINTRESOURCEW(resId), resType, WideString(L"#") + WideString(IntToStr(resId)));
}

void TUcResourceStream::Initialize(HINSTANCE instance, LPCWSTR name, LPCWSTR resType, const WideString& shownName) {
  FResInfo = FindResourceW(instance, name, resType);
  if (FResInfo) FHandle = LoadResource(instance, FResInfo);
  if (!FResInfo || !FHandle) throw EResNotFound(Format("Resource %s not found", {WideToSystem(shownName)}));
  SetPointer(LockResource(FHandle), static_cast<int32_t>(SizeofResource(instance, FResInfo)));
}

TUcResourceStream::~TUcResourceStream() {
  UnlockResource(FHandle);
  FreeResource(FHandle);
}

int32_t TUcResourceStream::Write(const void* buffer, int32_t count) {
  (void)buffer;
  (void)count;
  throw EStreamError("Can't write to a read-only resource stream");
}

void TUcResourceStream::SaveToFile(const WideString& fileName) {
  TUcFileStream stream(fileName, fmCreate);
  if (FSize > 0) stream.WriteBuffer(FMemory, FSize);
}

// ===========================================================================
// TUcWideStringStream

TUcWideStringStream::TUcWideStringStream(const WideString& s) {
  const int32_t bytes = s.Length() * 2;
  if (bytes > 0) {
    FData = static_cast<char*>(std::malloc(static_cast<size_t>(bytes)));
    if (!FData) throw EOutOfMemory("Out of memory");
    std::memcpy(FData, s.c_bstr(), static_cast<size_t>(bytes));
  }
  FSize = FCapacity = bytes;
}

TUcWideStringStream::~TUcWideStringStream() { std::free(FData); }

void TUcWideStringStream::SetCapacity(int32_t newCapacity) {
  if (newCapacity < 0) throw EAssertionFailed("Negative stream capacity invalid");
  if (newCapacity < FSize) throw EStreamError("Capacity cannot be less than size");
  newCapacity = (newCapacity + 3) & ~3;
  if (newCapacity == FCapacity) return;
  if (newCapacity == 0) {
    std::free(FData);
    FData = nullptr;
  } else {
    char* p = static_cast<char*>(std::realloc(FData, static_cast<size_t>(newCapacity)));
    if (!p) throw EOutOfMemory("Out of memory");
    FData = p;
  }
  FCapacity = newCapacity;
}

void TUcWideStringStream::GrowFor(int32_t needed) {
  if (needed > FCapacity) SetCapacity(needed + std::max(needed / 4, 8));
}

void TUcWideStringStream::SetSize(int32_t newSize) {
  if (newSize < 0) throw EAssertionFailed("Negative stream size invalid");
  if (newSize % 2) throw EStreamError("Odd size not valid for WideString");
  GrowFor(newSize);
  FSize = newSize;
  if (FPosition > FSize) FPosition = FSize;
}

void TUcWideStringStream::SetSize(int64_t newSize) {
  if (newSize > std::numeric_limits<int32_t>::max()) throw EStreamError("Stream size too large");
  SetSize(static_cast<int32_t>(newSize));
}

int32_t TUcWideStringStream::Read(void* buffer, int32_t count) {
  const int32_t n = std::max(0, std::min(count, FSize - FPosition));
  if (n > 0) std::memcpy(buffer, FData + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int32_t TUcWideStringStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  const int32_t end = FPosition + count;
  if (end > FSize) {
    const int32_t newSize = end + (end & 1);
    GrowFor(newSize);
    FSize = newSize;
  }
  std::memcpy(FData + FPosition, buffer, static_cast<size_t>(count));
  FPosition = end;
  return count;
}

int64_t TUcWideStringStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t p = origin == soBeginning ? offset : origin == soCurrent ? FPosition + offset : FSize + offset;
  FPosition = static_cast<int32_t>(std::clamp<int64_t>(p, 0, FSize));
  return FPosition;
}

WideString TUcWideStringStream::ReadString(int32_t count) {
  if (FPosition % 2) throw EReadError("Cannot read WideString from odd byte position");
  const int32_t n = std::max(0, std::min(count, (FSize - FPosition) / 2));
  WideString r(reinterpret_cast<const wchar_t*>(FData + FPosition), n);
  FPosition += n * 2;
  return r;
}

void TUcWideStringStream::WriteString(const WideString& s) {
  if (FPosition % 2) throw EWriteError("Cannot write WideString to odd byte position");
  WriteChars(s.c_bstr(), s.Length());
}

int32_t TUcWideStringStream::WriteChars(const wchar_t* p, int32_t count) {
  return Write(p, count * 2);
}

int32_t TUcWideStringStream::WriteNullTerminated(const wchar_t* p) {
  if (FPosition % 2) throw EWriteError("Cannot write WideString to odd byte position");
  int32_t written = 0;
  for (; p[written]; ++written) {
    if (FPosition + 2 > FCapacity) GrowFor(FPosition + 2);
    std::memcpy(FData + FPosition, p + written, 2);
    FPosition += 2;
    if (FPosition > FSize) FSize = FPosition;
  }
  return written;
}

WideString TUcWideStringStream::DataString() const {
  return WideString(reinterpret_cast<const wchar_t*>(FData), FSize / 2);
}

int32_t TUcWideStringStream::StringPosition() const {
  if (FPosition % 2) throw EStreamError("Odd byte position not valid for WideString");
  return FPosition / 2 + 1;
}

void TUcWideStringStream::SetStringPosition(int32_t value) {
  if (value < 1) throw EStreamError("String position invalid");
  FPosition = (value - 1) * 2;
}

// ===========================================================================
// TBufferedStreamReader

TBufferedStreamReader::TBufferedStreamReader(TStream* stream, int32_t bufferSize)
    : FStream(stream),
      FStreamSize(static_cast<int32_t>(stream->Size())),
      FBuffer(static_cast<char*>(std::malloc(static_cast<size_t>(std::max(bufferSize, 1))))),
      FBufferSize(std::max(bufferSize, 1)),
      FBufferStartPosition(-FBufferSize) {
  if (!FBuffer) throw EOutOfMemory("Out of memory");
}

TBufferedStreamReader::~TBufferedStreamReader() { std::free(FBuffer); }

void TBufferedStreamReader::FillBuffer() {
  try {
    FStream->SetPosition(FVirtualPosition);
    FStream->Read(FBuffer, FBufferSize);
    FBufferStartPosition = FVirtualPosition;
  } catch (...) {
    FBufferStartPosition = -FBufferSize;
    throw;
  }
}

int32_t TBufferedStreamReader::Read(void* buffer, int32_t count) {
  if (FVirtualPosition < 0 || count < 0 || FVirtualPosition >= FStreamSize) return 0;
  const int32_t total = std::min(count, FStreamSize - FVirtualPosition);
  char* out = static_cast<char*>(buffer);
  int32_t left = total;
  // 1. What the buffer already holds.
  if (FVirtualPosition >= FBufferStartPosition && FVirtualPosition < FBufferStartPosition + FBufferSize) {
    const int32_t n = std::min(left, FBufferStartPosition + FBufferSize - FVirtualPosition);
    std::memcpy(out, FBuffer + (FVirtualPosition - FBufferStartPosition), static_cast<size_t>(n));
    out += n;
    left -= n;
    FVirtualPosition += n;
  }
  // 2. Whole buffers straight from the source.
  const int32_t direct = left - left % FBufferSize;
  if (direct > 0) {
    FStream->SetPosition(FVirtualPosition);
    FStream->ReadBuffer(out, direct);
    out += direct;
    left -= direct;
    FVirtualPosition += direct;
  }
  // 3. The rest through a refilled buffer.
  if (left > 0) {
    FillBuffer();
    std::memcpy(out, FBuffer, static_cast<size_t>(left));
    FVirtualPosition += left;
  }
  return total;
}

int32_t TBufferedStreamReader::Write(const void* buffer, int32_t count) {
  (void)buffer;
  (void)count;
  throw EUcInternalError("Internal Error: class can not write.");
}

int64_t TBufferedStreamReader::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning:
      FVirtualPosition = static_cast<int32_t>(offset);
      break;
    case TSeekOrigin::soCurrent:
      FVirtualPosition += static_cast<int32_t>(offset);
      break;
    case TSeekOrigin::soEnd:
      FVirtualPosition = FStreamSize + static_cast<int32_t>(offset);
      break;
  }
  return FVirtualPosition;
}

// ===========================================================================
// Byte-order marks and the text files of the lists

TUcStreamCharSet AutoDetectCharacterSet(TStream* stream) {
  const int64_t left = stream->Size() - stream->Position();
  unsigned char bytes[3];
  if (left >= 2) {
    stream->ReadBuffer(bytes, 2);
    if (bytes[0] == 0xFF && bytes[1] == 0xFE) return csUnicode;
    if (bytes[0] == 0xFE && bytes[1] == 0xFF) return csUnicodeSwapped;
    stream->Seek(int64_t(-2), soCurrent);
    if (left >= 3) {
      stream->ReadBuffer(bytes, 3);
      if (bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return csUtf8;
      stream->Seek(int64_t(-3), soCurrent);
    }
  }
  return csAnsi;
}

void TWideStrings::LoadFromFile(const WideString& fileName) {
  TUcFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TWideStrings::LoadFromStream(TStream* stream) {
  BeginUpdate();
  try {
    std::string bytes = ReadRest(stream);
    SetTextStr(UCS2ToWideString(AnsiString(std::move(bytes))));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TWideStrings::SaveToFile(const WideString& fileName) {
  TUcFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

void TWideStrings::SaveToStream(TStream* stream) {
  WideString text = GetTextStr();
  if (!text.IsEmpty()) stream->WriteBuffer(text.c_bstr(), text.Length() * 2);
}

void TUcStrings::LoadFromFile(const WideString& fileName) {
  TUcFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  FLastFileCharSet = AutoDetectCharacterSet(&stream);
  stream.SetPosition(0);
  LoadFromStream(&stream);
}

void TUcStrings::LoadFromStream(TStream* stream) { LoadFromStream_BOM(stream, true); }

void TUcStrings::LoadFromStream_BOM(TStream* stream, bool withBOM) {
  BeginUpdate();
  try {
    const TUcStreamCharSet charSet = withBOM ? AutoDetectCharacterSet(stream) : csUnicode;
    // The whole text is read before the list changes: a failed read leaves it
    // as it was.
    AnsiString bytes(ReadRest(stream));
    WideString text;
    switch (charSet) {
      case csUnicode:
      case csUnicodeSwapped:
        text = UCS2ToWideString(bytes);
        if (charSet == csUnicodeSwapped)
          for (wchar_t& c : text.str()) c = static_cast<wchar_t>(((c & 0xFF) << 8) | ((c >> 8) & 0xFF));
        break;
      case csUtf8:
        text = UTF8ToWideString(bytes);
        break;
      case csAnsi:
        text = StringToWideStringEx(bytes, DefaultSystemCodePage());
        break;
    }
    SetTextStr(text);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TUcStrings::SaveToFile(const WideString& fileName) {
  TUcFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

void TUcStrings::SaveToStream(TStream* stream) { SaveToStream_BOM(stream, true); }

void TUcStrings::SaveToStream_BOM(TStream* stream, bool withBOM) {
  if (withBOM) stream->WriteBuffer("\xFF\xFE", 2);
  WideString text = GetTextStr();
  if (!text.IsEmpty()) stream->WriteBuffer(text.c_bstr(), text.Length() * 2);
}
