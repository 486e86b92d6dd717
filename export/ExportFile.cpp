#include "ExportFile.h"

#include "LongPath.h"
#include "UcSysUtils.h"

namespace {

// Large enough that one write carries thousands of lines, small enough that
// every open page of a deep site keeps only a little memory.
constexpr size_t BufferSize = 64 * 1024;

}  // namespace

TExportFile::~TExportFile() { Close(); }

void TExportFile::Opened(const WideString& name) {
  FFailed = false;
  FError = 0;
  FWritten = 0;
  FName = name;
}

bool TExportFile::Create(const WideString& name) {
  Close();
  Opened(LongPathForm(name));
  // Normal attributes: a "temporary" export file would be kept in the cache
  // only and carry the attribute on.
  FHandle = CreateFileW(FName.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  return IsOpen();
}

bool TExportFile::CreateExclusive(const WideString& name) {
  Close();
  Opened(name);
  FHandle = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen();
}

bool TExportFile::Exists(const WideString& name) { return WideFileExists(LongPathForm(name)); }

bool TExportFile::WriteOut(const char* data, size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(size > 0x40000000u ? 0x40000000u : size);
    DWORD written = 0;
    if (!WriteFile(FHandle, data, chunk, &written, nullptr)) {
      FError = GetLastError();
      FFailed = true;
      return false;
    }
    if (written == 0) {
      FError = ERROR_HANDLE_DISK_FULL;
      FFailed = true;
      return false;
    }
    data += written;
    size -= written;
    FWritten += written;
  }
  return true;
}

bool TExportFile::Append(const char* data, size_t size) {
  if (FFailed || !IsOpen()) {
    if (!IsOpen() && !FFailed) {
      FFailed = true;
      FError = ERROR_INVALID_HANDLE;
    }
    return false;
  }
  if (FBuffer.size() + size > BufferSize) {
    if (!Flush()) return false;
    if (size >= BufferSize) return WriteOut(data, size);
  }
  FBuffer.append(data, size);
  return true;
}

bool TExportFile::Flush() {
  if (FFailed) return false;
  if (!IsOpen()) return true;
  if (FBuffer.empty()) return true;
  const bool ok = WriteOut(FBuffer.data(), FBuffer.size());
  FBuffer.clear();
  return ok;
}

bool TExportFile::Close() {
  if (IsOpen()) {
    Flush();
    const HANDLE handle = FHandle;
    FHandle = INVALID_HANDLE_VALUE;
    FBuffer.clear();
    if (!CloseHandle(handle) && !FFailed) {
      FError = GetLastError();
      FFailed = true;
    }
  }
  return !FFailed;
}

bool TExportFile::Discard() {
  FDiscardError = 0;
  Close();
  if (FName.IsEmpty()) return true;
  if (!DeleteFileW(FName.c_str())) {
    // Taken at once: whatever the caller does next may leave its own code.
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
      FDiscardError = error;
      return false;
    }
  }
  FName = WideString();
  return true;
}
