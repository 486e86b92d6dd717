// core_bench: the file-list core's long jobs next to their bare baselines in the
// same run.
// - Scan: ScanTree over a generated tree of 100,000 entries, against a plain
//   recursive FindFirstFileA/FindNextFileA walk making the same records (one
//   GetFileAttributesA, both times as text and the sizes per entry) over the
//   same tree (warm cache; the best per pass over rounds of half a second or
//   more, the passes taken in turn).
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

#include "BenchClock.h"
#include "BenchPhase.h"
#include "BenchReport.h"
#include "BenchScan.h"

namespace {

// --- scan ---------------------------------------------------------------------------------

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
  // The trees are freed outside the times.
  ListNode* plainTree = PlainScanTree(root, TStoreOptions{});  // warms the cache
  const long total = CountNodes(plainTree);
  bool same = true;
  auto scan = [&](bool pump) {
    return [&, pump] {
      BenchSink sink;
      sink.Pump = pump;
      const double t0 = Seconds();
      TScanResult r = ScanTree(sink, TStoreOptions{}, AnsiToWide(root));
      const double t = Seconds() - t0;
      same = same && SameEntriesBelow(r.Root, plainTree);
      FreeNodeTree(r.Root);
      return t;
    };
  };
  const auto [bare, core, quiet] = BestPerPass(
      3,
      [&] {
        FreeNodeTree(plainTree);
        const double t0 = Seconds();
        plainTree = PlainScanTree(root, TStoreOptions{});
        return Seconds() - t0;
      },
      scan(true), scan(false));
  FreeNodeTree(plainTree);
  std::printf("scan of %ld entries (%d folders)\n", total, folders);
  std::printf(
      "  plain walk making the same records (FindFirstFileA/FindNextFileA, GetFileAttributesA, times as text): "
      "%7.3f s  %8.0f entries/s\n",
      bare, total / bare);
  std::printf("  ScanTree, message loop run paced to 30 per second   : %7.3f s  %8.0f entries/s  (%.2fx bare)\n", core,
              total / core, core / bare);
  std::printf("  ScanTree alone                                       : %7.3f s  %8.0f entries/s  (%.2fx bare)\n",
              quiet, total / quiet, quiet / bare);
  CheckSame("the scan's records", same);
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

  // One round: each pass lasts seconds. The baseline writes the data file
  // and deflates it with its CRC-32, as the save does.
  TSaveStatus saved = TSaveStatus::Saved;
  const auto [bareSave, save] = BestPerPass(
      1,
      [&] {
        const double t0 = Seconds();
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
          uLong crc = 0;
          int flush;
          do {
            ReadFile(in, src.data(), static_cast<DWORD>(src.size()), &n, nullptr);
            crc = crc32(crc, src.data(), n);
            static_cast<void>(crc);
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
        const double t = Seconds() - t0;
        DeleteFileA((dir + "\\data.bin").c_str());
        return t;
      },
      [&] {
        const double t0 = Seconds();
        saved = SaveListFile(zip, dir + "\\big.vq", "header", root, nullptr);
        return Seconds() - t0;
      });
  FreeNodeTree(root);

  std::printf("list of %d entries, data file %.1f MiB\n", nodes, (256.0 + 600.0 * nodes) / 1048576.0);
  std::printf("  save: SaveListFile %7.3f s  data file + bare crc32 and level-9 deflate %7.3f s\n", save, bareSave);
  CheckSame("SaveListFile's status", saved == TSaveStatus::Saved);
  ReportAim("save, SaveListFile/bare time", save / bareSave, 1.3);
  const size_t peak = PeakMemory();
  std::printf("  peak memory of the save phase (its own process, the tree and the save): %.0f MiB\n", peak / 1048576.0);
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
    // Baseline: inflate into the data file, then read it record by record
    // into the tree (freed outside the time, as the program's is).
    ListNode* bareRoot = nullptr;
    double t0 = Seconds();
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
      // The records read into the tree: each below the last folder still
      // owed children (a record's LastChildIndex is its children less one).
      TFileStream data(dir + "\\data.bin", fmOpenRead);
      std::vector<NodeRecord> buf(1024);
      std::vector<std::pair<ListNode*, int>> owing;
      data.Seek(int64_t(256), soBeginning);
      for (int32_t got; (got = data.Read(buf.data(), static_cast<int32_t>(buf.size() * sizeof(NodeRecord)))) > 0;)
        for (int32_t i = 0; i < got / static_cast<int32_t>(sizeof(NodeRecord)); ++i) {
          while (!owing.empty() && owing.back().second == 0) owing.pop_back();
          ListNode* parent = owing.empty() ? nullptr : owing.back().first;
          if (parent) --owing.back().second;
          ListNode* node = InsertNode(parent, buf[i].Level, buf[i].Entry);
          if (!bareRoot) bareRoot = node;
          if (buf[i].LastChildIndex >= 0) owing.push_back({node, buf[i].LastChildIndex + 1});
        }
    }
    bareOpen = std::min(bareOpen, Seconds() - t0);
    baselineRecords = bareRoot ? 1 + CountNodes(bareRoot) : 0;
    FreeNodeTree(bareRoot);
    DeleteFileA((dir + "\\data.bin").c_str());

    // The engine's inflate alone, its output dropped.
    zip.SetFileName(AnsiToWide(dir + "\\big.vq"));
    zip.OpenArchive(fmOpenRead | fmShareDenyWrite);
    TNullStream null;
    t0 = Seconds();
    zip.ExtractToStream(L"~tmp~big", &null);
    toNull = std::min(toNull, Seconds() - t0);
    zip.CloseArchive();

    // The program's road, stage by stage: unpack into a temporary folder, prove
    // the data sound, make the tree.
    double t1, t2, t3;
    TListData data;
    TOpenStatus status;
    {
      TUnpackedList unpacked;
      t0 = Seconds();
      status = unpacked.Unpack(zip, dir + "\\big.vq");
      t1 = Seconds();
      if (status == TOpenStatus::Opened) status = unpacked.Check();
      t2 = Seconds();
      if (status == TOpenStatus::Opened) status = unpacked.Load(data);
      t3 = Seconds();
    }
    const double t4 = Seconds();  // the unpacked file and its folder removed
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
  std::printf(
      "  open: unpack, check, load %7.3f s (%d read)  bare inflate + reading the records into the tree %7.3f s\n", open,
      read, bareOpen);
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
