// The list file (.vq): a ZIP archive whose single entry is the list data file.
// Saving writes the data file in a fresh temporary folder, builds the archive
// under a temporary name beside the list file and puts it in place only when it
// is complete. Opening extracts the entry into a fresh temporary folder and
// never writes to the list file. A save also removes the pending archives that
// killed saves left beside its list file.
#pragma once

#include <memory>

#include "CoreHost.h"
#include "ListDataFile.h"
#include "ZipEngine.h"

// The archive component's settings for list files, as the main window's layout
// gives them: deflate level 9, OEM names with the Unicode-name field, no ZIP64,
// no spanning, flushing on, no password, no extraction of corrupted items. An
// item the engine fails on aborts its operation without a question: the
// program tells the failure in its own words.
void ConfigureListEngine(TZipEngine& zip);

// A folder of its own under the system's temporary folder,
// "fennolit-<process id>-<serial>" (upper-case hex), removed with the files in
// it when the object ends. Nothing else writes there, so nothing of the user's
// is ever overwritten or deleted. A lock file inside stays open, its deletion
// shared with no one, for the folder's lifetime: while the process lives no
// other process can take the folder away, and once it has gone, however it
// ended, the system has closed the lock and a later run removes what is left.
class TTempFolder {
public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  bool Created() const { return !FPath.IsEmpty(); }
  // The system's reason when the folder could not be made (0 when it was, or
  // when the system gave none).
  DWORD Error() const { return FError; }
  const WideString& Path() const { return FPath; }
  // The folder's own name, without the path.
  WideString Name() const;
  WideString File(const WideString& name) const { return FPath + L"\\" + name; }

private:
  WideString FPath;
  HANDLE FLock = INVALID_HANDLE_VALUE;
  DWORD FError = 0;
};

// Removes what this program's runs that have ended left in the temporary
// folder: their folders whose lock no live process holds (or, for a folder
// without a lock, whose process no longer exists), with the list data files in
// them. Folders of live runs, folders it did not make and files it did not put
// there are left alone. Cheap and silent: made for the program's start.
void RemoveLeftoverTempFolders();

// Save As: a name without extension gets ".vq".
AnsiString ListFileNameWithExtension(const AnsiString& name);

enum class TSaveStatus {
  Saved,
  Cancelled,     // the user stopped the writing; the old list file is untouched
  CreateFailed,  // a file could not be created or put in place
  WriteFailed,   // writing the data file or the archive failed
};

// Writes root's tree under listFileName. The stored entry is "~tmp~" + the
// list file's base name; the header holds scrambledRootPath. On success the
// tree's path names are cleared as the file holds them (ClearPathNames); on any
// other outcome the tree, the old list file and every other file are as before.
// reason, when given, receives the system's error code of a failure (0 when
// the system gave none).
TSaveStatus SaveListFile(TZipEngine& zip, const AnsiString& listFileName, const AnsiString& scrambledRootPath,
                         ListNode* root, IStepProgress* progress, DWORD* reason = nullptr);
// Message 11 for a failed save, with the list file's path and the system's
// reason; nothing otherwise.
void ReportSaveFailure(ICoreHost& host, TSaveStatus status, const AnsiString& listFileName, DWORD reason);

// Save and Save As once the list file's name is known, on the main window's
// fields: the root path is scrambled when a scan set it since the last save;
// only a save that succeeded changes scrambledRootPath and clears isRootPathNew
// and isModified; a failure is reported (message 11 with the list file's
// path and the system's reason).
TSaveStatus SaveList(ICoreHost& host, TZipEngine& zip, const AnsiString& listFileName, ListNode* root,
                     const AnsiString& rootPath, AnsiString& scrambledRootPath, uint8_t& isRootPathNew,
                     uint8_t& isModified, IStepProgress* progress);

enum class TOpenStatus {
  Opened,
  UnpackFailed,    // not an archive, not one entry, unreadable entry, data file not made or written (message 2)
  DataOpenFailed,  // the unpacked data file cannot be opened (messages 2, 3, 4)
  DataEmpty,       // the unpacked data file is empty (message 5)
  LoadFailed,      // damaged list data (message 6)
};

struct TOpenResult {
  TOpenStatus Status = TOpenStatus::UnpackFailed;
  TListData Data;  // Root set only when Opened; the caller owns it
  DWORD Reason = 0;  // as TUnpackedList::Reason gives it
};

// The two halves of an open, so that a caller can keep its loaded list through
// every failure of the unpacking and free it before the new tree is read (one
// tree in memory at a time). The unpacked data file lives in a temporary folder
// of its own and goes with the object.
class TUnpackedList {
public:
  TUnpackedList() = default;
  TUnpackedList(const TUnpackedList&) = delete;
  TUnpackedList& operator=(const TUnpackedList&) = delete;
  // Opened, UnpackFailed or DataEmpty. Only reads the list file. The data is
  // checked on its way into the data file, which stays open to this object
  // alone, so what was checked is what Load reads.
  TOpenStatus Unpack(TZipEngine& zip, const AnsiString& listFileName);
  // After an Unpack that failed on a system call (the temporary folder or the
  // data file could not be made or written, the list file could not be read),
  // the system's reason for it; 0 otherwise, as for a file that is not a list.
  DWORD Reason() const { return FReason; }
  // After a successful Unpack: Opened with data.Root set, or LoadFailed.
  TOpenStatus Load(TListData& data);
  // After a successful Unpack: Opened when Load will succeed but for memory,
  // else LoadFailed. Lets a caller keep its list until the new one is sound.
  TOpenStatus Check();

private:
  TTempFolder FFolder;
  std::unique_ptr<TStream> FData;
  // Set by Unpack when the checker saw every byte of the data file.
  enum class TVerdict { None, Sound, Damaged } FVerdict = TVerdict::None;
  int64_t FNodes = 0;  // of a Sound list
  DWORD FReason = 0;
};

// Both halves at once: the list file read into a new tree; on failure nothing
// is read and nothing is left behind.
TOpenResult OpenListFile(TZipEngine& zip, const AnsiString& listFileName);
// The message of a failed open, with the list file's name where it has one;
// a failed unpacking adds the system's reason on a line of its own when it
// has one (reason 0: a file that is not a list, today's words alone).
void ReportOpenFailure(ICoreHost& host, TOpenStatus status, const AnsiString& listFileName, DWORD reason = 0);
