// Helpers shared by the test programs: the unit start-up, a message pump, and a
// scripted answerer for modal windows and message boxes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classes.h"
#include "system.h"
#include "units.h"

// A test program that needs the units of a layer above the class library
// registers them with a static object of this type.
struct TestUnits {
  TestUnits(const TUnitEntry* table, size_t count) { RegisterUnits(table, count); }
};

// Dispatches messages for the given time; runs idle processing when the queue
// is empty (through the hook the forms unit installs, if any).
void Pump(unsigned ms);
extern void (*PumpIdleHook)();
// When set, Pump takes each message through it instead of its own
// Peek/Translate/Dispatch (the GUI tests route through the application's
// ProcessMessage, so key pre-processing and hints work as in the program).
// It returns false when the queue is empty.
extern bool (*PumpMessageHook)(MSG& msg);

// The bound of a wait for a state of the program: long enough for a machine
// whose cores are all busy, short enough that a state that never comes fails
// the test instead of its program's time limit.
constexpr unsigned kWaitBoundMs = 30000;

// Waits until condition() holds, dispatching this thread's messages (as Pump
// does) between checks, for at most timeoutMs. On time-out the failure names
// what never happened: ASSERT_TRUE(WaitFor([&] { ... }, "the scan finished")).
// Use it wherever a test waits for the program: a fixed pause or a fixed
// number of pumped milliseconds passes on a quiet machine and fails on a
// busy one.
::testing::AssertionResult WaitFor(const std::function<bool()>& condition, const std::string& what,
                                   unsigned timeoutMs = kWaitBoundMs);

// Ends the menu loop the test starts next (TrackPopupMenu, a menu bar's) as
// soon as condition() holds, checked on a timer inside the loop, or when the
// bound passes; Result() says which. A menu closed after a fixed time either
// waits for nothing or closes before the state it was opened for.
class EndMenuWhen {
public:
  EndMenuWhen(std::function<bool()> condition, std::string what, unsigned timeoutMs = kWaitBoundMs);
  ~EndMenuWhen();
  EndMenuWhen(const EndMenuWhen&) = delete;
  EndMenuWhen& operator=(const EndMenuWhen&) = delete;
  ::testing::AssertionResult Result() const;

private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
  std::function<bool()> FCondition;
  std::string FWhat;
  unsigned FTimeout;
  DWORD FStart;
  UINT_PTR FTimer = 0;
  bool FHeld = false;
  bool FEnded = false;
  static EndMenuWhen* FCurrent;
};

// Posts a click (button down and up) at client coordinates of a window.
void PostClick(HWND wnd, int x, int y);
// Posts key down, char (when given) and key up for a virtual key.
void PostKey(HWND wnd, UINT vk, wchar_t ch = 0);

// One scripted answer: a modal window whose title or text contains Match is
// answered by clicking the button with ButtonId (IDOK, IDYES, ...) or, when
// ButtonId is 0, by closing it.
struct DialogAnswer {
  std::string Match;
  int ButtonId = IDOK;
};

// True for a window of the calling thread. The system tells a thread's CBT
// hook of activations of other processes' windows too (the window that takes
// the foreground when one of ours closes): another test program's dialog on
// the same display is none of ours to record or answer.
bool IsOwnThreadWindow(HWND wnd);

// Records every modal dialog and message box shown while it lives, answering
// each with the first matching script entry (or IDCANCEL when none matches).
class ScriptDialogs {
public:
  explicit ScriptDialogs(std::vector<DialogAnswer> script);
  ~ScriptDialogs();
  ScriptDialogs(const ScriptDialogs&) = delete;
  ScriptDialogs& operator=(const ScriptDialogs&) = delete;

  struct Seen {
    std::string Title;  // ANSI, system code page
    std::string Text;
    bool Answered;      // true when a script entry matched
  };
  const std::vector<Seen>& Shown() const { return FShown; }
  // Script entries that never matched a window.
  std::vector<std::string> Unused() const;

  // Lets the library's forms be recognised: returns true and fills title/text
  // for a window that is one of them.
  static std::function<bool(HWND, std::string&, std::string&)> ClassifyHook;
  // Answers a library form (sets its modal result); set by the forms layer's tests.
  static std::function<void(HWND, int)> AnswerHook;

private:
  static LRESULT CALLBACK CbtProc(int code, WPARAM w, LPARAM l);
  void OnActivate(HWND wnd);
  std::vector<DialogAnswer> FScript;
  std::vector<bool> FUsed;
  std::vector<Seen> FShown;
  std::vector<HWND> FWindows;
  HHOOK FHook = nullptr;
  static ScriptDialogs* FCurrent;
};

// Native read-back.
std::string WindowTextA(HWND wnd);
std::wstring WindowTextW(HWND wnd);

// A scratch folder under the Wine temp folder, removed with its contents at
// destruction (RemoveScratchFolder). Path() ends without a backslash.
class TempDir {
public:
  TempDir();
  // A folder made in `base` (a folder path ending in "\") instead of the
  // temporary folder.
  explicit TempDir(const std::string& base);
  ~TempDir();
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& name) const { return FPath + "\\" + name; }

private:
  std::string FPath;
  std::wstring FCurrentBefore;
};

// Writes or reads a whole file byte for byte (ANSI path, or wide for names
// outside the code page).
void WriteFileBytes(const std::string& path, const std::string& bytes);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
std::string ReadFileBytes(const std::wstring& path);
// The names in a folder (no "." or ".."), sorted; empty when it cannot be read.
std::vector<std::string> FolderNames(const std::string& folder);
// Sets an environment variable of the process (value null: removes it) and
// puts back what it was when it goes.
class EnvironmentChange {
public:
  EnvironmentChange(const char* name, const char* value);
  ~EnvironmentChange();
  EnvironmentChange(const EnvironmentChange&) = delete;
  EnvironmentChange& operator=(const EnvironmentChange&) = delete;

private:
  std::string FName, FOld;
  bool FHad = false;
};
// Removes a folder with everything in it; a link to a folder is removed, not
// followed. Returns what stays, a line per name with the system's reason
// (empty when the folder is gone).
std::string RemoveTree(const std::wstring& dir);
// The end of a test's scratch folder: the process's current folder, when it
// was left inside, goes back to currentBefore; the folder is removed, and
// whatever stays fails the test that runs, named with the reason.
void RemoveScratchFolder(const std::wstring& dir, const std::wstring& currentBefore);
// The process's current folder.
std::wstring CurrentFolder();
// What a process the test ended left in the temporary folder: the folders
// whose names match mask (with * and ?) are removed, once it has ended; one
// that stays fails the test.
void RemoveTempFolders(const std::string& mask);
// Converts a Windows path of the test to the Unix path (for Linux-side peers).
std::string UnixPath(const std::string& windowsPath);
std::string UnixPath(const std::wstring& windowsPath);
// Runs a command on the Linux side (through /bin/sh), returns its exit code and
// fills output with its standard output.
int RunUnix(const std::string& command, std::string* output = nullptr);
// Shell-quotes a text for /bin/sh.
std::string Q(const std::string& s);
// Runs a Python script on the Linux side with arguments (already quoted);
// returns its exit code and fills output.
int RunPython(const std::string& script, const std::string& args, std::string* output);

// A tmpfs of about `bytes` mounted on a folder for the life of the object, a
// small disk that the tests fill: unmounted on every way out, before the
// folder itself is removed. Mounting needs root; Why() tells what mount said.
class SmallDisk {
public:
  SmallDisk(const std::string& windowsFolder, uint64_t bytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Mounted() const { return FMounted; }
  const std::string& Why() const { return FWhy; }
  // The disk's block and the bytes a new file may take, as the system says.
  bool Room(uint64_t& block, uint64_t& free) const;
  // Fills the disk with one file until `left` bytes are free; false when the
  // system does not then say exactly that.
  bool LeaveFree(uint64_t left);
  // The system's reason when a write finds no more room on the disk as it is
  // now (writes until one fails, then gives the room back).
  DWORD WriteRefusal() const;

private:
  std::string FFolder;
  std::string FPoint;
  bool FMounted = false;
  std::string FWhy;
};

// While it lives, the handle streams' flush (FileHandleCalls.Flush) or their
// checked close (.Close) fails with the system's code `error`, as on a
// network share that loses a delayed write or a disk pulled out: the flush
// hands nothing over, the close still closes the handle. Calls() counts them.
class FailingFileCall {
public:
  enum TWhich { Flush, Close };
  FailingFileCall(TWhich which, DWORD error);
  ~FailingFileCall();
  FailingFileCall(const FailingFileCall&) = delete;
  FailingFileCall& operator=(const FailingFileCall&) = delete;
  int Calls() const;

private:
  TFileHandleCalls FSaved;
};

// A memory device context with a white 32-bit DIB section of width x height
// selected (row 0 at the top). The caller deletes the DC, then the bitmap;
// bitmap and bits receive them when given.
HDC CreateWhiteDibDC(int width, int height, HBITMAP* bitmap = nullptr, uint32_t** bits = nullptr);

// The same as an object that deletes both, for tests that draw and read the
// pixels back.
class DibSurface {
public:
  DibSurface(int width, int height);
  ~DibSurface();
  DibSurface(const DibSurface&) = delete;
  DibSurface& operator=(const DibSurface&) = delete;

  HDC DC() const { return FDC; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // After the drawing so far has reached the bits: 0x00RRGGBB, and as a COLORREF.
  uint32_t Pixel(int x, int y) const;
  COLORREF At(int x, int y) const;
  // Pixels of exactly this colour inside the rectangle.
  int Count(COLORREF color, const RECT& area) const;
  // Every pixel set to value (0x00RRGGBB).
  void Fill(uint32_t value);

private:
  HDC FDC;
  HBITMAP FBitmap;
  uint32_t* FBits = nullptr;
  int FWidth, FHeight;
};
