#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>

#include "sysutils.h"

void (*PumpIdleHook)() = nullptr;
bool (*PumpMessageHook)(MSG& msg) = nullptr;

namespace {

// Dispatches what is queued, then runs idle processing when nothing was.
// False when the queue held WM_QUIT (left for the loop that owns it).
bool DispatchQueued() {
  MSG msg;
  bool any = false;
  if (PumpMessageHook) {
    while (PumpMessageHook(msg)) {
      any = true;
      if (msg.message == WM_QUIT) return false;
    }
  } else {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      any = true;
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  if (!any && PumpIdleHook) PumpIdleHook();
  return true;
}

// The bounded wait under WaitFor and the Linux-side runs: true as soon as
// condition() holds, false when timeoutMs passed first.
bool WaitUntil(const std::function<bool()>& condition, unsigned timeoutMs, bool pumpMessages) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (pumpMessages && !DispatchQueued()) return condition();
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    if (pumpMessages)
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    else
      Sleep(5);
  }
}

}  // namespace

void Pump(unsigned ms) {
  DWORD start = GetTickCount();
  for (;;) {
    if (!DispatchQueued()) return;
    if (GetTickCount() - start >= ms) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

::testing::AssertionResult WaitFor(const std::function<bool()>& condition, const std::string& what,
                                   unsigned timeoutMs) {
  if (WaitUntil(condition, timeoutMs, true)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "never happened within " << timeoutMs << " ms: " << what;
}

EndMenuWhen* EndMenuWhen::FCurrent = nullptr;

EndMenuWhen::EndMenuWhen(std::function<bool()> condition, std::string what, unsigned timeoutMs)
    : FCondition(std::move(condition)), FWhat(std::move(what)), FTimeout(timeoutMs), FStart(GetTickCount()) {
  FCurrent = this;
  FTimer = SetTimer(nullptr, 0, 10, &EndMenuWhen::Tick);
}

EndMenuWhen::~EndMenuWhen() {
  if (FTimer) KillTimer(nullptr, FTimer);
  if (FCurrent == this) FCurrent = nullptr;
}

void CALLBACK EndMenuWhen::Tick(HWND, UINT, UINT_PTR id, DWORD) {
  // A timer callback: nothing may leave it.
  EndMenuWhen* self = FCurrent;
  if (!self || self->FEnded) {
    KillTimer(nullptr, id);
    return;
  }
  bool held = false;
  try {
    held = self->FCondition();
  } catch (...) {
  }
  if (!held && GetTickCount() - self->FStart < self->FTimeout) return;
  self->FHeld = held;
  self->FEnded = true;
  KillTimer(nullptr, id);
  self->FTimer = 0;
  EndMenu();
}

::testing::AssertionResult EndMenuWhen::Result() const {
  if (FHeld) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << (FEnded ? "the menu closed after " : "no menu loop ran for ") << FTimeout
                                       << " ms without: " << FWhat;
}

void PostClick(HWND wnd, int x, int y) {
  LPARAM pos = MAKELPARAM(x, y);
  PostMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, pos);
  PostMessageA(wnd, WM_LBUTTONUP, 0, pos);
}

void PostKey(HWND wnd, UINT vk, wchar_t ch) {
  UINT scan = MapVirtualKeyA(vk, 0);
  PostMessageA(wnd, WM_KEYDOWN, vk, 1 | (scan << 16));
  if (ch) PostMessageW(wnd, WM_CHAR, ch, 1 | (scan << 16));
  PostMessageA(wnd, WM_KEYUP, vk, 1 | (scan << 16) | (3u << 30));
}

// --- scripted dialogs --------------------------------------------------------

ScriptDialogs* ScriptDialogs::FCurrent = nullptr;
std::function<bool(HWND, std::string&, std::string&)> ScriptDialogs::ClassifyHook;
std::function<void(HWND, int)> ScriptDialogs::AnswerHook;

ScriptDialogs::ScriptDialogs(std::vector<DialogAnswer> script)
    : FScript(std::move(script)), FUsed(FScript.size(), false) {
  FCurrent = this;
  FHook = SetWindowsHookExA(WH_CBT, &CbtProc, nullptr, GetCurrentThreadId());
}

ScriptDialogs::~ScriptDialogs() {
  if (FHook) UnhookWindowsHookEx(FHook);
  if (FCurrent == this) FCurrent = nullptr;
}

std::vector<std::string> ScriptDialogs::Unused() const {
  std::vector<std::string> r;
  for (size_t i = 0; i < FScript.size(); ++i)
    if (!FUsed[i]) r.push_back(FScript[i].Match);
  return r;
}

LRESULT CALLBACK ScriptDialogs::CbtProc(int code, WPARAM w, LPARAM l) {
  // No exception may leave a hook: the whole body is guarded.
  if (code == HCBT_ACTIVATE && FCurrent) {
    try {
      FCurrent->OnActivate(reinterpret_cast<HWND>(w));
    } catch (...) {
    }
  }
  return CallNextHookEx(nullptr, code, w, l);
}

bool IsOwnThreadWindow(HWND wnd) {
  return wnd && GetWindowThreadProcessId(wnd, nullptr) == GetCurrentThreadId();
}

void ScriptDialogs::OnActivate(HWND wnd) {
  if (!IsOwnThreadWindow(wnd)) return;
  char cls[64] = {};
  GetClassNameA(wnd, cls, sizeof cls);
  std::string title = WindowTextA(wnd), text;
  bool known = false;
  if (std::string(cls) == "#32770") {
    char buf[4096] = {};
    GetDlgItemTextA(wnd, 0xFFFF, buf, sizeof buf);
    text = buf;
    known = true;
  } else if (ClassifyHook) {
    known = ClassifyHook(wnd, title, text);
  }
  if (!known) return;
  // Focus moving between windows can activate one dialog more than once; it
  // is still one dialog and gets one answer.
  if (std::find(FWindows.begin(), FWindows.end(), wnd) != FWindows.end()) return;
  FWindows.push_back(wnd);
  int button = IDCANCEL;
  bool matched = false;
  for (size_t i = 0; i < FScript.size(); ++i) {
    const std::string& m = FScript[i].Match;
    if (title.find(m) != std::string::npos || text.find(m) != std::string::npos) {
      button = FScript[i].ButtonId;
      FUsed[i] = true;
      matched = true;
      break;
    }
  }
  FShown.push_back({title, text, matched});
  if (std::string(cls) == "#32770") {
    if (button == 0) {
      PostMessageA(wnd, WM_CLOSE, 0, 0);
    } else {
      HWND btn = GetDlgItem(wnd, button);
      if (btn)
        PostMessageA(btn, BM_CLICK, 0, 0);
      else
        PostMessageA(wnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    }
  } else if (AnswerHook) {
    AnswerHook(wnd, button);
  }
}

std::string WindowTextA(HWND wnd) {
  int n = GetWindowTextLengthA(wnd);
  std::string s(n + 1, '\0');
  n = GetWindowTextA(wnd, s.data(), n + 1);
  s.resize(n > 0 ? n : 0);
  return s;
}

std::wstring WindowTextW(HWND wnd) {
  int n = GetWindowTextLengthW(wnd);
  std::wstring s(n + 1, L'\0');
  n = GetWindowTextW(wnd, s.data(), n + 1);
  s.resize(n > 0 ? n : 0);
  return s;
}

// --- files -------------------------------------------------------------------

namespace {

// A name that stays, as the failure says it: the path and the system's reason.
std::string Refusal(const std::wstring& path, DWORD error) {
  return WideToAnsi(path).str() + ": " + SysErrorMessage(error).str() + " (error " + std::to_string(error) + ")";
}

// Wine deletes no link to a device: the tests' disk that is always full is a
// link to /dev/full made on the Linux side, and the Linux side removes it.
// Only a link goes this way, never a file a handle still holds.
bool RemoveUnixLink(const std::wstring& path) {
  const std::string linuxPath = UnixPath(path);
  return !linuxPath.empty() && RunUnix("test -L " + Q(linuxPath) + " && rm -f -- " + Q(linuxPath)) == 0;
}

}  // namespace

std::string RemoveTree(const std::wstring& dir) {
  std::string stayed;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring n = fd.cFileName;
      if (n == L"." || n == L"..") continue;
      std::wstring p = dir + L"\\" + n;
      SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        stayed += RemoveTree(p);
      } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (!RemoveDirectoryW(p.c_str())) stayed += Refusal(p, GetLastError()) + "\n";
      } else if (!DeleteFileW(p.c_str())) {
        const DWORD error = GetLastError();
        if (!RemoveUnixLink(p)) stayed += Refusal(p, error) + "\n";
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  if (!RemoveDirectoryW(dir.c_str())) {
    const DWORD error = GetLastError();
    // A folder already gone is what was asked for; one that stays for what
    // stays in it is named by that.
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && stayed.empty()) {
      stayed = Refusal(dir, error);
      if (error == ERROR_DIR_NOT_EMPTY)
        stayed += ", though nothing in it was refused: a file deleted while a handle holds it goes only when the "
                  "handle is closed";
      stayed += "\n";
    }
  }
  return stayed;
}

namespace {
std::wstring WidePath(const std::string& ansiPath) {
  std::wstring w(ansiPath.size() + 1, L'\0');
  int n = MultiByteToWideChar(CP_ACP, 0, ansiPath.c_str(), -1, w.data(), static_cast<int>(w.size()));
  w.resize(n > 0 ? n - 1 : 0);
  return w;
}
}  // namespace

namespace {

std::string TemporaryFolder() {
  char base[MAX_PATH] = {};
  const DWORD length = GetTempPathA(MAX_PATH, base);
  if (length == 0 || length >= MAX_PATH)
    throw std::runtime_error("TempDir: no usable temporary folder (GetTempPath error " +
                             std::to_string(GetLastError()) + ")");
  return base;
}

}  // namespace

std::wstring CurrentFolder() {
  std::wstring r(GetCurrentDirectoryW(0, nullptr), L'\0');
  r.resize(GetCurrentDirectoryW(static_cast<DWORD>(r.size()), r.data()));
  return r;
}

namespace {

bool IsInFolder(std::wstring path, std::wstring folder) {
  CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
  CharUpperBuffW(folder.data(), static_cast<DWORD>(folder.size()));
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path == folder || path.rfind(folder + L"\\", 0) == 0;
}

}  // namespace

void RemoveScratchFolder(const std::wstring& dir, const std::wstring& currentBefore) {
  // A file dialog makes the folder it shows the process's current folder
  // (unless told not to), and the current folder cannot be removed.
  if (IsInFolder(CurrentFolder(), dir)) SetCurrentDirectoryW(currentBefore.c_str());
  const std::string stayed = RemoveTree(dir);
  if (!stayed.empty()) ADD_FAILURE() << "the scratch folder stays after the test:\n" << stayed;
}

void RemoveTempFolders(const std::string& mask) {
  const std::string base = TemporaryFolder();
  std::vector<std::string> names;
  WIN32_FIND_DATAA d;
  const HANDLE h = FindFirstFileA((base + mask).c_str(), &d);
  if (h != INVALID_HANDLE_VALUE) {
    do
      if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) names.push_back(d.cFileName);
    while (FindNextFileA(h, &d));
    FindClose(h);
  }
  for (const std::string& name : names) {
    const std::string stayed = RemoveTree(WidePath(base + name));
    if (!stayed.empty()) ADD_FAILURE() << "a folder of an ended process stays:\n" << stayed;
  }
}

TempDir::TempDir() : TempDir(TemporaryFolder()) {}

TempDir::TempDir(const std::string& folder) : FCurrentBefore(CurrentFolder()) {
  const char* const base = folder.c_str();
  static unsigned counter = 0;
  // A name in use is skipped; any other refusal (a folder that is missing,
  // read-only or not a folder) would refuse every name, so it ends the test.
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%sfnt%lu_%u_%lu", base, GetCurrentProcessId(), ++counter, GetTickCount());
    if (CreateDirectoryA(name, nullptr)) {
      FPath = name;
      return;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS)
      throw std::runtime_error(std::string("TempDir: cannot create a folder in the temporary folder ") + base +
                               " (error " + std::to_string(error) + ")");
  }
  throw std::runtime_error(std::string("TempDir: every name tried in ") + base + " is taken");
}

TempDir::~TempDir() { RemoveScratchFolder(WidePath(FPath), FCurrentBefore); }

void WriteFileBytes(const std::string& path, const std::string& bytes) { WriteFileBytes(WidePath(path), bytes); }

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cannot create " << path;
  DWORD done = 0;
  if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  CloseHandle(h);
  ASSERT_EQ(done, bytes.size());
}

std::string ReadFileBytes(const std::string& path) { return ReadFileBytes(WidePath(path)); }

std::string ReadFileBytes(const std::wstring& path) {
  std::string r;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return r;
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) r.append(buf, n);
  CloseHandle(h);
  return r;
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> r;
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return r;
  do
    if (std::string(d.cFileName) != "." && std::string(d.cFileName) != "..") r.push_back(d.cFileName);
  while (FindNextFileA(h, &d));
  FindClose(h);
  std::sort(r.begin(), r.end());
  return r;
}

EnvironmentChange::EnvironmentChange(const char* name, const char* value) : FName(name) {
  char old[MAX_PATH] = {};
  FHad = GetEnvironmentVariableA(name, old, MAX_PATH) > 0;
  FOld = old;
  SetEnvironmentVariableA(name, value);
}

EnvironmentChange::~EnvironmentChange() { SetEnvironmentVariableA(FName.c_str(), FHad ? FOld.c_str() : nullptr); }

std::string UnixPath(const std::string& windowsPath) { return UnixPath(WidePath(windowsPath)); }

std::string UnixPath(const std::wstring& windowsPath) {
  // wine_get_unix_file_name is exported by kernel32 under Wine.
  using Fn = char* (*)(const wchar_t*);
  static Fn fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!fn) return std::string();
  char* u = fn(windowsPath.c_str());
  if (!u) return std::string();
  std::string r = u;
  HeapFree(GetProcessHeap(), 0, u);
  return r;
}

int RunUnix(const std::string& command, std::string* output) {
  // Wine runs a Unix program given by its absolute path; the shell gives us
  // pipes and redirection. Output goes through a temporary file. The handle
  // Wine returns for a Unix process does not wait for it, so the script ends
  // by writing its exit code to a file that appears only when it is done.
  TempDir tmp;
  std::string outWin = tmp.File("out.txt");
  std::string outUnix = UnixPath(tmp.Path()) + "/out.txt";
  std::string rcWin = tmp.File("rc.txt");
  std::string rcUnix = UnixPath(tmp.Path()) + "/rc.txt";
  std::string scriptWin = tmp.File("cmd.sh");
  WriteFileBytes(scriptWin, "(" + command + ") > '" + outUnix + "' 2>&1\necho $? > '" + rcUnix + ".part'\nmv '" +
                                rcUnix + ".part' '" + rcUnix + "'\n");
  std::string cmdline = "/bin/sh \"" + UnixPath(scriptWin) + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::vector<char> line(cmdline.begin(), cmdline.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  // For a Unix program Wine fills the process information with leftovers
  // (no process handle, a thread "handle" that is whatever was on its stack).
  // Closing that value closed a handle of ours: once it was standard output,
  // and everything the caller printed afterwards was lost. Only a process
  // handle that names the process started is ours to close.
  if (pi.hProcess && GetProcessId(pi.hProcess) == pi.dwProcessId) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  const bool done = WaitUntil([&] { return GetFileAttributesA(rcWin.c_str()) != INVALID_FILE_ATTRIBUTES; }, 600000,
                              /*pumpMessages=*/false);
  if (!done) return -1;
  if (output) *output = ReadFileBytes(outWin);
  return std::atoi(ReadFileBytes(rcWin).c_str());
}

std::string Q(const std::string& s) {
  std::string r = "'";
  for (char c : s) {
    if (c == '\'')
      r += "'\\''";
    else
      r += c;
  }
  return r + "'";
}

int RunPython(const std::string& script, const std::string& args, std::string* output) {
  TempDir tmp;
  WriteFileBytes(tmp.File("t.py"), script);
  return RunUnix("python3 " + Q(UnixPath(tmp.File("t.py"))) + " " + args, output);
}

HDC CreateWhiteDibDC(int width, int height, HBITMAP* bitmap, uint32_t** bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down: row 0 first in the bits
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  HDC dc = CreateCompatibleDC(nullptr);
  void* data = nullptr;
  HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &data, nullptr, 0);
  SelectObject(dc, dib);
  PatBlt(dc, 0, 0, width, height, WHITENESS);
  GdiFlush();
  if (bitmap) *bitmap = dib;
  if (bits) *bits = static_cast<uint32_t*>(data);
  return dc;
}

DibSurface::DibSurface(int width, int height) : FWidth(width), FHeight(height) {
  FDC = CreateWhiteDibDC(width, height, &FBitmap, &FBits);
}

DibSurface::~DibSurface() {
  // A bitmap still selected into a DC is freed once the DC is gone.
  DeleteDC(FDC);
  DeleteObject(FBitmap);
}

uint32_t DibSurface::Pixel(int x, int y) const {
  GdiFlush();
  return FBits[y * FWidth + x] & 0xFFFFFF;
}

COLORREF DibSurface::At(int x, int y) const {
  const uint32_t v = Pixel(x, y);
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int DibSurface::Count(COLORREF color, const RECT& area) const {
  int n = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (At(x, y) == color) ++n;
  return n;
}

void DibSurface::Fill(uint32_t value) {
  GdiFlush();
  std::fill(FBits, FBits + FWidth * FHeight, value);
}

// --- the small disk ---------------------------------------------------------------------------

namespace {

// Marks the tmpfs mounts of the tests in the system's mount table.
const char* const MountSource = "fennolit-diskfull";

// Whether the test process that made a folder of TempDir ("fnt<pid>_...")
// still runs: its mounts are its own to remove.
bool OwnerRuns(const std::string& folder) {
  unsigned long pid = 0;
  if (std::sscanf(folder.c_str(), "fnt%lu_", &pid) != 1) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!process) return false;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

// Unmounts what a run that ended without its clean-up left mounted in this
// Wine prefix's temporary folder (the folders of the tests' TempDir). Test
// programs run side by side in one prefix: the mounts of one that still runs
// stay.
void UnmountLeftovers() {
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  const std::string under = UnixPath(std::string(base));
  if (under.empty()) return;
  const char* const script = R"(
import os, re, sys
# Wine names the folder through its drive's link; the table has the real path.
source, under = sys.argv[1], os.path.realpath(sys.argv[2]) + '/'
for line in open('/proc/mounts'):
    fields = line.split()
    point = re.sub(r'\\([0-7]{3})', lambda m: chr(int(m.group(1), 8)), fields[1])
    if fields[0] == source and point.startswith(under):
        print(point[len(under):].split('/')[0] + '\t' + point)
)";
  std::string output;
  if (RunPython(script, Q(MountSource) + " " + Q(under), &output) != 0) return;
  std::istringstream points(output);
  std::string line;
  while (std::getline(points, line)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || OwnerRuns(line.substr(0, tab))) continue;
    RunUnix("umount -l " + Q(line.substr(tab + 1)));
  }
}

}  // namespace

SmallDisk::SmallDisk(const std::string& windowsFolder, uint64_t bytes)
    : FFolder(windowsFolder), FPoint(UnixPath(windowsFolder)) {
  UnmountLeftovers();
  CreateDirectoryA(windowsFolder.c_str(), nullptr);
  FMounted = !FPoint.empty() &&
             RunUnix("mount -t tmpfs -o size=" + std::to_string(bytes) + " " + Q(MountSource) + " " + Q(FPoint),
                     &FWhy) == 0;
}

SmallDisk::~SmallDisk() {
  if (FMounted && RunUnix("umount " + Q(FPoint)) != 0) RunUnix("umount -l " + Q(FPoint));
}

bool SmallDisk::Room(uint64_t& block, uint64_t& free) const {
  std::string output;
  if (RunUnix("stat -f -c '%S %a %f' " + Q(FPoint), &output) != 0) return false;
  uint64_t available = 0, freeBlocks = 0;
  std::istringstream in(output);
  if (!(in >> block >> available >> freeBlocks) || block == 0) return false;
  // Root may use blocks kept from others; a tmpfs keeps none.
  if (available != freeBlocks) return false;
  free = available * block;
  return true;
}

bool SmallDisk::LeaveFree(uint64_t left) {
  uint64_t block = 0, free = 0;
  if (!Room(block, free) || free < left) return false;
  if (RunUnix("head -c " + std::to_string(free - left) + " /dev/zero > " + Q(FPoint + "/filler")) != 0) return false;
  return Room(block, free) && free == left;
}

DWORD SmallDisk::WriteRefusal() const {
  const std::string probe = FFolder + "\\write-probe";
  const HANDLE h = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  // A full disk may take part of a write; the next one says why it takes no
  // more.
  const std::string chunk(65536, 'x');
  DWORD error = 0;
  for (int i = 0; i < 4096 && error == 0; ++i) {
    DWORD written = 0;
    if (!WriteFile(h, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr)) error = GetLastError();
  }
  CloseHandle(h);
  DeleteFileA(probe.c_str());
  return error;
}

namespace {
DWORD failingError = 0;
int failingCalls = 0;
BOOL WINAPI RefuseFlush(HANDLE) {
  ++failingCalls;
  SetLastError(failingError);
  return FALSE;
}
BOOL WINAPI CloseAndRefuse(HANDLE h) {
  ++failingCalls;
  CloseHandle(h);
  SetLastError(failingError);
  return FALSE;
}
}  // namespace

FailingFileCall::FailingFileCall(TWhich which, DWORD error) : FSaved(FileHandleCalls) {
  failingError = error;
  failingCalls = 0;
  if (which == Flush)
    FileHandleCalls.Flush = &RefuseFlush;
  else
    FileHandleCalls.Close = &CloseAndRefuse;
}

FailingFileCall::~FailingFileCall() { FileHandleCalls = FSaved; }

int FailingFileCall::Calls() const { return failingCalls; }
