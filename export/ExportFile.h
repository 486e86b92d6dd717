// The file an export writes: created for writing, appended to piece by piece
// through a buffer, every write checked, and the close too (a network disk
// may report a delayed write error only there). A failed or short write is
// kept as the file's state, so a writer stops at its next piece and the
// command reports the failure instead of a finished export.
#pragma once

#include <cstdint>
#include <string>

#include "system.h"

class TExportFile {
public:
  TExportFile() = default;
  ~TExportFile();
  TExportFile(const TExportFile&) = delete;
  TExportFile& operator=(const TExportFile&) = delete;

  // Creates (or empties) the file; readers may look at it meanwhile. Any
  // path the user can choose: past MAX_PATH and on network folders too. False
  // when the system refused, the reason left in GetLastError.
  bool Create(const WideString& name);
  // The same through the wide call, nobody else may open the file meanwhile
  // (the pages of the HTML site; their paths may be long "\\?\" paths).
  bool CreateExclusive(const WideString& name);
  // Whether a file (not a folder) of that name is there; any path Create takes.
  static bool Exists(const WideString& name);

  // Appends a piece; false once a write has failed (nothing more is written).
  bool Append(const char* data, size_t size);
  bool Append(const std::string& s) { return Append(s.data(), s.size()); }
  bool Append(const AnsiString& s) { return Append(s.str()); }
  // Writes what the buffer holds; false when that or an earlier write failed.
  bool Flush();
  // Flushes and closes; false when anything was not written or the system
  // refused the close. A second call does nothing and repeats the answer.
  bool Close();
  // Closes and deletes the file: an export that failed leaves nothing under
  // its name. False when the file is still there, the system's reason kept
  // in DiscardError.
  bool Discard();
  // Why the last Discard left the file (0 when it did not).
  DWORD DiscardError() const { return FDiscardError; }

  bool IsOpen() const { return FHandle != INVALID_HANDLE_VALUE; }
  // The system's handle of the open file; INVALID_HANDLE_VALUE once closed.
  HANDLE Handle() const { return FHandle; }
  bool Failed() const { return FFailed; }
  // The system's error code of the failed write (ERROR_HANDLE_DISK_FULL for a
  // short one).
  DWORD LastError() const { return FError; }
  // Bytes in the file so far, and bytes appended so far (written or waiting
  // in the buffer).
  uint64_t Written() const { return FWritten; }
  uint64_t Position() const { return FWritten + FBuffer.size(); }

private:
  bool WriteOut(const char* data, size_t size);
  void Opened(const WideString& name);
  HANDLE FHandle = INVALID_HANDLE_VALUE;
  WideString FName;  // as given to the system
  std::string FBuffer;
  bool FFailed = false;
  DWORD FError = 0;
  DWORD FDiscardError = 0;
  uint64_t FWritten = 0;
};
