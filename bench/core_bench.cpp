// core_bench: the file-list core's long jobs next to their bare baselines in the
// same run.
// - Scan: ScanTree over a generated tree of 100,000 entries, against a bare
//   recursive FindFirstFileA/FindNextFileA loop with one GetFileAttributesA per
//   entry over the same tree (warm cache, best of three).
// - Save and open of a 1,000,000-entry list: SaveListFile against writing the
//   data file plus a bare zlib level-9 raw deflate of it; the open road of the
//   program (unpack, check, load) against a bare inflate of that plus reading
//   the records. Save and open each run in a process of their own, so that
//   the peak memory printed for each is that phase's (the tree built for the
//   save would otherwise stand in the open's figure too).
//
// Run: wine <build>/bench/core_bench.exe [scan entries] [list entries]
//      (with tools/env.sh sourced)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

#include "CoreUnits.h"
#include "FolderScan.h"
#include "ListFile.h"
#include "UcSysUtils.h"
#include "Zecryptutil.h"
#include "harness.h"
#include "units.h"

#include "BenchPhase.h"
#include "BenchReport.h"

namespace {

double Clock() { return PerfCounter() / PerfFreq(); }

// --- scan ---------------------------------------------------------------------------------

long BareWalk(const std::string& path) {
  long entries = 0;
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA((path + "\\*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    if (!strcmp(d.cFileName, ".") || !strcmp(d.cFileName, "..")) continue;
    const std::string full = path + "\\" + d.cFileName;
    volatile DWORD a = GetFileAttributesA(full.c_str());
    (void)a;
    ++entries;
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) entries += BareWalk(full);
  } while (FindNextFileA(h, &d));
  FindClose(h);
  return entries;
}

// A sink that does what the window's does per entry, short of painting: count
// and let the message loop run, paced as the window paces its repaint.
struct BenchSink : IScanSink {
  long Folders = 0, Files = 0;
  bool Pump = true;
  TProgressPacer Pacer;
  void* AddRootFolderNode() override { return this; }
  void* AddFolderNode(void* parent, const AnsiString&) override { return parent; }
  void FolderRecorded(const AnsiString&) override {
    ++Folders;
    Look();
  }
  void FileRecorded(const AnsiString&) override {
    ++Files;
    Look();
  }
  bool CancelRequested() override { return false; }
  void Look() {
    MSG m;
    if (Pump && Pacer.Due())
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
};

void ScanBench(int entries) {
  TempDir dir;
  const int folders = std::max(1, entries / 200);
  const int perFolder = entries / folders - 1;
  const std::string script = "import os, sys\nroot = sys.argv[1]\nfor d in range(" + std::to_string(folders) +
                             "):\n  p = os.path.join(root, 'folder%04d' % d)\n  os.mkdir(p)\n  for f in range(" +
                             std::to_string(perFolder) +
                             "):\n    open(os.path.join(p, 'file%05d.txt' % f), 'wb').write(b'x' * (f % 7))\n";
  WriteFileBytes(dir.File("gen.py"), script);
  CreateDirectoryA(dir.File("tree").c_str(), nullptr);
  RunUnix("python3 '" + UnixPath(dir.File("gen.py")) + "' '" + UnixPath(dir.File("tree")) + "'");
  const std::string root = dir.File("tree");
  const long total = BareWalk(root);  // warms the cache
  double bare = 1e9, core = 1e9, quiet = 1e9;
  for (int round = 0; round < 3; ++round) {
    double t0 = Clock();
    BareWalk(root);
    bare = std::min(bare, Clock() - t0);
    for (bool pump : {true, false}) {
      BenchSink sink;
      sink.Pump = pump;
      t0 = Clock();
      TScanResult r = ScanTree(sink, TStoreOptions{}, AnsiToWide(root));
      const double t = Clock() - t0;
      (pump ? core : quiet) = std::min(pump ? core : quiet, t);
      FreeNodeTree(r.Root);
    }
  }
  std::printf("scan of %ld entries (%d folders)\n", total, folders);
  std::printf("  bare FindFirstFileA/FindNextFileA + GetFileAttributesA: %7.3f s  %8.0f entries/s\n", bare,
              total / bare);
  std::printf("  ScanTree, message loop run paced to 30 per second   : %7.3f s  %8.0f entries/s  (%.2fx bare)\n",
              core, total / core, core / bare);
  std::printf("  ScanTree alone                                       : %7.3f s  %8.0f entries/s  (%.2fx bare)\n",
              quiet, total / quiet, quiet / bare);
  ReportAim("scan, ScanTree with the message loop/bare walk time", core / bare, 1.5);
  RunUnix("rm -rf '" + UnixPath(root) + "'");
}

// --- save and open ------------------------------------------------------------------------------

ListNode* BigTree(int entries) {
  EntryRecord r{};
  r.Kind = ekFolder;
  SetFieldText(r.Name, "C:\\data");
  ListNode* root = InsertNode(nullptr, 0, r);
  const int folders = std::max(1, entries / 1000);
  for (int d = 0; d < folders; ++d) {
    r = EntryRecord{};
    r.Kind = ekFolder;
    SetFieldText(r.Name, AnsiString("folder") + IntToStr(d));
    SetFieldText(r.Created, "07.12.2026 17:27:05", true);
    SetFieldText(r.Modified, "07.12.2026 17:27:05", true);
    r.Attributes = eaArchive;
    ListNode* folder = InsertNode(root, 1, r);
    for (int f = 0; f + 1 < entries / folders; ++f) {
      r.Kind = ekFile;
      SetFieldText(r.Name, AnsiString("document_") + IntToStr(f) + ".txt");
      r.Size = ExtendedFromUInt64(1000 + f * 37);
      InsertNode(folder, 2, r);
    }
  }
  return root;
}

// The peak of the process's resident memory. Wine fills PeakPagefileUsage
// with the private memory of the moment (no peak at all: after the tree was
// freed it showed a few MiB); the peak working set is a true high-water mark
// here and on Windows, and in a process of its own it is the phase's.
constexpr double GiB = 1024.0 * 1024.0 * 1024.0;

// The save phase, in a process of its own: the tree in memory, the baseline
// (the data file written and deflated raw at level 9, kept for the open
// phase's baseline) and SaveListFile.
void SavePhase(const std::string& dir, int entries) {
  TZipEngine zip(nullptr);
  ConfigureListEngine(zip);
  ListNode* root = BigTree(entries);
  const int nodes = 1 + CountNodes(root);

  double t0 = Clock();
  {
    TFileStream data(dir + "\\data.bin", fmCreate);
    WriteListData(data, "header", root, nullptr);
  }
  {
    HANDLE in = CreateFileA((dir + "\\data.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileA((dir + "\\data.z").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::vector<unsigned char> src(1 << 20), dst(1 << 20);
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    DWORD n = 0, done = 0;
    int flush;
    do {
      ReadFile(in, src.data(), static_cast<DWORD>(src.size()), &n, nullptr);
      flush = n < src.size() ? Z_FINISH : Z_NO_FLUSH;
      z.next_in = src.data();
      z.avail_in = n;
      do {
        z.next_out = dst.data();
        z.avail_out = static_cast<uInt>(dst.size());
        deflate(&z, flush);
        WriteFile(out, dst.data(), static_cast<DWORD>(dst.size() - z.avail_out), &done, nullptr);
      } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&z);
    CloseHandle(in);
    CloseHandle(out);
  }
  const double bareSave = Clock() - t0;
  DeleteFileA((dir + "\\data.bin").c_str());

  t0 = Clock();
  const TSaveStatus saved = SaveListFile(zip, dir + "\\big.vq", "header", root, nullptr);
  const double save = Clock() - t0;
  FreeNodeTree(root);

  std::printf("list of %d entries, data file %.1f MiB\n", nodes, (256.0 + 600.0 * nodes) / 1048576.0);
  std::printf("  save: SaveListFile %7.3f s  data file + bare level-9 deflate %7.3f s\n", save, bareSave);
  CheckSame("SaveListFile's status", saved == TSaveStatus::Saved);
  ReportAim("save, SaveListFile/bare time", save / bareSave, 1.3);
  const size_t peak = PeakMemory();
  std::printf("  peak memory of the save phase (its own process, the tree and the save): %.0f MiB\n",
              peak / 1048576.0);
  ReportAim("save phase peak memory, GiB", peak / GiB, 1.0);
}

// The open phase, in a process of its own, on what the save phase left.
void OpenPhase(const std::string& dir, int entries) {
  TZipEngine zip(nullptr);
  ConfigureListEngine(zip);
  const int folders = std::max(1, entries / 1000);
  const int nodes = 1 + folders * (entries / folders);  // as BigTree makes them
  // Best of five for both sides: others may be loading the machine, and the
  // engine inflates on a second thread.
  double bareOpen = 1e9, unpack = 1e9, check = 1e9, load = 1e9, cleanUp = 1e9, open = 1e9, toNull = 1e9;
  int read = 0;
  long baselineRecords = 0;
  for (int round = 0; round < 5; ++round) {
    // Baseline: inflate into the data file, then read it record by record.
    double t0 = Clock();
    {
      HANDLE in = CreateFileA((dir + "\\data.z").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      HANDLE out = CreateFileA((dir + "\\data.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      std::vector<unsigned char> src(1 << 20), dst(1 << 20);
      z_stream z{};
      inflateInit2(&z, -15);
      DWORD n = 0, done = 0;
      int r = Z_OK;
      while (r == Z_OK && ReadFile(in, src.data(), static_cast<DWORD>(src.size()), &n, nullptr) && n > 0) {
        z.next_in = src.data();
        z.avail_in = n;
        do {
          z.next_out = dst.data();
          z.avail_out = static_cast<uInt>(dst.size());
          r = inflate(&z, Z_NO_FLUSH);
          WriteFile(out, dst.data(), static_cast<DWORD>(dst.size() - z.avail_out), &done, nullptr);
        } while (r == Z_OK && z.avail_out == 0);
      }
      inflateEnd(&z);
      CloseHandle(in);
      CloseHandle(out);
      TFileStream data(dir + "\\data.bin", fmOpenRead);
      std::vector<char> buf(600 * 1024);
      long records = 0;
      data.Seek(int64_t(256), soBeginning);
      for (int32_t got; (got = data.Read(buf.data(), static_cast<int32_t>(buf.size()))) > 0;) records += got / 600;
      baselineRecords = records;
    }
    bareOpen = std::min(bareOpen, Clock() - t0);
    DeleteFileA((dir + "\\data.bin").c_str());

    // The engine's inflate alone, its output dropped.
    zip.SetFileName(AnsiToWide(dir + "\\big.vq"));
    zip.OpenArchive(fmOpenRead | fmShareDenyWrite);
    TNullStream null;
    t0 = Clock();
    zip.ExtractToStream(L"~tmp~big", &null);
    toNull = std::min(toNull, Clock() - t0);
    zip.CloseArchive();

    // The program's road, stage by stage: unpack into a temporary folder, prove
    // the data sound, make the tree.
    double t1, t2, t3;
    TListData data;
    TOpenStatus status;
    {
      TUnpackedList unpacked;
      t0 = Clock();
      status = unpacked.Unpack(zip, dir + "\\big.vq");
      t1 = Clock();
      if (status == TOpenStatus::Opened) status = unpacked.Check();
      t2 = Clock();
      if (status == TOpenStatus::Opened) status = unpacked.Load(data);
      t3 = Clock();
    }
    const double t4 = Clock();  // the unpacked file and its folder removed
    unpack = std::min(unpack, t1 - t0);
    check = std::min(check, t2 - t1);
    load = std::min(load, t3 - t2);
    cleanUp = std::min(cleanUp, t4 - t3);
    open = std::min(open, t4 - t0);
    read = data.Root ? 1 + CountNodes(data.Root) : 0;
    if (round == 0) CheckSame("the list opened", status == TOpenStatus::Opened && read == nodes);
    FreeNodeTree(data.Root);
  }
  CheckSame("the baseline's records", baselineRecords == nodes);
  std::printf("  open: unpack, check, load %7.3f s (%d read)  bare inflate + reading the records %7.3f s\n", open, read,
              bareOpen);
  ReportAim("open, unpack, check and load/bare time", open / bareOpen, 2.0);
  std::printf("        unpack %.3f s (the engine's inflate alone %.3f s), check %.3f s, load %.3f s, clean-up %.3f s\n",
              unpack, toNull, check, load, cleanUp);
  const size_t peak = PeakMemory();
  std::printf("  peak memory of the open phase (its own process): %.0f MiB\n", peak / 1048576.0);
  ReportAim("open phase peak memory, GiB", peak / GiB, 1.0);
}


}  // namespace

int main(int argc, char** argv) {
  // Each figure is out as soon as it is measured.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  RegisterCoreUnits();
  StartUnits();
  // "--phase save|open FOLDER ENTRIES": one phase of the list benchmark.
  if (argc == 5 && std::string(argv[1]) == "--phase") {
    if (std::string(argv[2]) == "save")
      SavePhase(argv[3], std::atoi(argv[4]));
    else
      OpenPhase(argv[3], std::atoi(argv[4]));
    FinishUnits();
    return BenchExitCode();
  }
  const int scanEntries = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int listEntries = argc > 2 ? std::atoi(argv[2]) : 1000000;
  if (scanEntries > 0) ScanBench(scanEntries);
  int phases = 0;
  if (listEntries > 0) {
    TempDir dir;
    const std::string arguments = "\"" + dir.Path() + "\" " + std::to_string(listEntries);
    phases = RunPhase("save", arguments);
    if (phases == 0) phases = RunPhase("open", arguments);
  }
  FinishUnits();
  return phases != 0 ? phases : BenchExitCode();
}
