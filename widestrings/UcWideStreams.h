// Streams on files named by wide names, resource and memory streams, and the
// byte-order-mark detection of text files.
#pragma once

#include "classes.h"

#include <cstdint>

// The encoding of a text file.
enum TUcStreamCharSet : uint8_t { csAnsi = 0, csUnicode = 1, csUnicodeSwapped = 2, csUtf8 = 3 };

// A file opened or created by a wide name. mode 0xFFFF (fmCreate) creates or
// truncates the file; any other value is an open mode (fmOpen* | fmShare*).
// EFCreateError "Cannot create file %s" / EFOpenError "Cannot open file %s"
// name the expanded full path (also their FileName, with the system's
// ErrorCode).
class TUcFileStream : public THandleStream {
  CL_CLASS(TUcFileStream, THandleStream)
public:
  TUcFileStream(const WideString& fileName, uint16_t mode);
  ~TUcFileStream() override;
  TUcFileStream(const TUcFileStream&) = delete;
  TUcFileStream& operator=(const TUcFileStream&) = delete;
  // Closes the file now, where the destructor would close it without a word;
  // false with the system's reason in error when the close failed (a delayed
  // write the disk refused). The stream holds no file afterwards either way.
  bool Close(DWORD& error);
};

class TUcMemoryStream : public TMemoryStream {
  CL_CLASS(TUcMemoryStream, TMemoryStream)
public:
  void LoadFromFile(const WideString& fileName);
  void SaveToFile(const WideString& fileName);
};

// A read-only stream over a resource of a module. EResNotFound "Resource %s
// not found" (a numeric identifier shows as #n); writing raises EStreamError.
class TUcResourceStream : public TCustomMemoryStream {
  CL_CLASS(TUcResourceStream, TCustomMemoryStream)
public:
  TUcResourceStream(HINSTANCE instance, const WideString& resName, LPCWSTR resType);
  TUcResourceStream(HINSTANCE instance, WORD resId, LPCWSTR resType);
  ~TUcResourceStream() override;
  TUcResourceStream(const TUcResourceStream&) = delete;
  TUcResourceStream& operator=(const TUcResourceStream&) = delete;
  int32_t Write(const void* buffer, int32_t count) override;
  void SaveToFile(const WideString& fileName);

private:
  void Initialize(HINSTANCE instance, LPCWSTR name, LPCWSTR resType, const WideString& shownName);
  HRSRC FResInfo = nullptr;
  HGLOBAL FHandle = nullptr;
};

// A growable memory stream of UTF-16 text (sizes always even, capacity a
// multiple of 4).
class TUcWideStringStream : public TStream {
  CL_CLASS(TUcWideStringStream, TStream)
public:
  explicit TUcWideStringStream(const WideString& s = WideString());
  ~TUcWideStringStream() override;
  TUcWideStringStream(const TUcWideStringStream&) = delete;
  TUcWideStringStream& operator=(const TUcWideStringStream&) = delete;

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  using TStream::Seek;
  // Clamped to 0..size; soEnd counts from the end like every other stream.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  using TStream::SetSize;
  void SetSize(int32_t newSize) override;
  void SetSize(int64_t newSize) override;
  int64_t GetSize() override { return FSize; }
  virtual void SetCapacity(int32_t newCapacity);

  WideString ReadString(int32_t count);
  void WriteString(const WideString& s);
  int32_t WriteChars(const wchar_t* p, int32_t count);
  // Characters of p up to its NUL; returns how many were written.
  int32_t WriteNullTerminated(const wchar_t* p);

  WideString DataString() const;
  void* Data() const { return FData; }
  int32_t StringLength() const { return FSize / 2; }
  void SetStringLength(int32_t value) { SetSize(value * 2); }
  // 1-based character index of the position.
  int32_t StringPosition() const;
  void SetStringPosition(int32_t value);
  int32_t Capacity() const { return FCapacity; }

private:
  void GrowFor(int32_t needed);
  char* FData = nullptr;
  int32_t FSize = 0;
  int32_t FCapacity = 0;
  int32_t FPosition = 0;
};

// A read-only buffered view of another stream (not owned): large requests are
// read straight from the source in whole buffers, only the rest is buffered.
class TBufferedStreamReader : public TStream {
  CL_CLASS(TBufferedStreamReader, TStream)
public:
  TBufferedStreamReader(TStream* stream, int32_t bufferSize = 1024);
  ~TBufferedStreamReader() override;
  TBufferedStreamReader(const TBufferedStreamReader&) = delete;
  TBufferedStreamReader& operator=(const TBufferedStreamReader&) = delete;

  int32_t Read(void* buffer, int32_t count) override;
  // EUcInternalError "Internal Error: class can not write."
  int32_t Write(const void* buffer, int32_t count) override;
  using TStream::Seek;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return FStreamSize; }

private:
  void FillBuffer();
  TStream* FStream;
  int32_t FStreamSize;
  char* FBuffer;
  int32_t FBufferSize;
  int32_t FBufferStartPosition;  // minus the buffer size when it holds nothing
  int32_t FVirtualPosition = 0;
};

// Reads a byte-order mark at the stream's position: FF FE, FE FF or EF BB BF
// leave the stream after the mark; anything else is csAnsi and leaves the
// position where it was.
TUcStreamCharSet AutoDetectCharacterSet(TStream* stream);
