// Thousands of damaged variants of a few good archives, each opened, listed,
// tested, extracted and renamed: only numbered errors may come out and nothing
// may be written outside the base folder. The run is a fixed number of
// variants (ZE_SEED and ZE_ROUNDS choose others for a longer hunt); a hang
// would show as the test program's timeout.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "UcSysUtils.h"
#include "ZipTestUtil.h"

namespace {

struct TRandom {
  uint32_t State;
  uint32_t Next() {
    State = State * 1664525u + 1013904223u;
    return State >> 8;
  }
  uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }
};

std::string Mutate(std::string s, TRandom& rnd) {
  const int changes = 1 + static_cast<int>(rnd.Below(4));
  for (int c = 0; c < changes && !s.empty(); ++c) {
    const size_t at = rnd.Below(static_cast<uint32_t>(s.size()));
    switch (rnd.Below(7)) {
      case 0: s[at] = static_cast<char>(s[at] ^ (1 << rnd.Below(8))); break;
      case 1: s[at] = static_cast<char>(rnd.Next()); break;
      case 2: {  // a field set to an extreme value
        static const uint32_t values[] = {0, 0xFFFF, 0xFFFFFFFF, 0x7FFFFFFF, 1, 46, 0x10000};
        const uint32_t v = values[rnd.Below(7)];
        const size_t width = rnd.Below(2) ? 2 : 4;
        for (size_t k = 0; k < width && at + k < s.size(); ++k) s[at + k] = static_cast<char>(v >> (8 * k));
        break;
      }
      case 3: s.resize(at); break;
      case 4: s.insert(at, std::string(1 + rnd.Below(40), static_cast<char>(rnd.Next()))); break;
      case 5: s.erase(at, 1 + rnd.Below(40)); break;
      default: {  // a piece of the archive copied elsewhere (signatures included)
        const size_t from = rnd.Below(static_cast<uint32_t>(s.size()));
        const size_t len = std::min<size_t>(1 + rnd.Below(120), s.size() - from);
        s.insert(at, s.substr(from, len));
      }
    }
  }
  return s;
}

struct TIgnore {
  int Count = 0;
  static void On(void* data, TObject*, const WideString&, TZEProcessOperation, int, int, const WideString&,
                 TZEAction& action) {
    ++static_cast<TIgnore*>(data)->Count;
    action = fxaIgnore;
  }
};

std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.insert(fd.cFileName);
  while (FindNextFileA(h, &fd));
  FindClose(h);
  return names;
}

std::vector<std::string> Seeds(const TempDir& dir) {
  std::vector<std::string> seeds;
  {
    std::unique_ptr<TZipEngine> z(NewListEngine());
    TMemoryStream m;
    z->OpenArchive(&m, true);
    std::string records;
    for (int i = 0; i < 40; ++i) records += "rec" + std::to_string(i) + std::string(597 - std::to_string(i).size(), '\0');
    z->AddFromString(L"~tmp~list", records, 0x20, 0);
    z->CloseArchive();
    seeds.emplace_back(static_cast<const char*>(m.Memory()), static_cast<size_t>(m.Size()));
  }
  // A folder, a file, an empty file and a Cyrillic name; then the same
  // encrypted both ways: damaged headers, salts, codes and data.
  for (int kind = 0; kind < 3; ++kind) {
    std::unique_ptr<TZipEngine> z(new TZipEngine(nullptr));
    if (kind > 0) {
      z->SetPassword("pw");
      z->SetEncryptionMethod(kind == 1 ? caPkzipClassic : caAES_128);
    }
    TMemoryStream m;
    z->OpenArchive(&m, true);
    z->BeginUpdate();
    z->AddFromString(L"dir\\", "", 0x10, 0);
    z->AddFromString(L"dir\\a.txt", std::string(3000, 'a'), 0x20, 0);
    z->AddFromString(L"empty", "", 0x20, 0);
    if (kind == 0) z->AddFromString(L"Файл.txt", "cyrillic", 0x20, 0);
    z->EndUpdate();
    z->CloseArchive();
    seeds.emplace_back(static_cast<const char*>(m.Memory()), static_cast<size_t>(m.Size()));
  }
  std::string out;
  const std::string s = UP(dir, "");
  EXPECT_EQ(RunUnix("cd " + Q(s) + " && mkdir -p in/sub && cd in && seq 1 3000 > a && printf b > sub/b && "
                    "zip -q -r ../iz.zip a sub && zip -q -fd ../izd.zip a && printf s | zip -q ../izs.zip -",
                    &out),
            0)
      << out;
  const char* py =
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
      "    with z.open('big.txt', 'w', force_zip64=True) as f: f.write(b'x' * 5000)\n"
      "    z.writestr('s.txt', 'stored')\n"
      "    z.comment = b'c'\n";
  EXPECT_EQ(RunPython(py, Q(s + "/py64.zip"), &out), 0) << out;
  for (const char* f : {"iz.zip", "izd.zip", "izs.zip", "py64.zip"}) seeds.push_back(ReadFileBytes(dir.File(f)));
  return seeds;
}

TEST(Mutation, DamagedArchivesGiveNumberedErrorsOnly) {
  TempDir dir;
  const std::vector<std::string> seeds = Seeds(dir);
  ASSERT_EQ(seeds.size(), 8u);
  const std::string sandbox = dir.File("sandbox");
  CreateDirectoryA(sandbox.c_str(), nullptr);
  CreateDirectoryA((sandbox + "\\base").c_str(), nullptr);
  const std::set<std::string> outside = Listing(sandbox);
  const std::set<std::string> parent = Listing(dir.Path());

  char seedText[32] = {};
  GetEnvironmentVariableA("ZE_SEED", seedText, sizeof seedText);
  TRandom rnd{seedText[0] ? static_cast<uint32_t>(std::stoul(seedText)) : 20261207u};
  char roundsText[32] = {};
  GetEnvironmentVariableA("ZE_ROUNDS", roundsText, sizeof roundsText);
  const int rounds = roundsText[0] ? std::stoi(roundsText) : 700;
  int variants = 0, opened = 0, numbered = 0;
  double slowest = 0;
  LARGE_INTEGER freq, start, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&start);
  std::vector<std::string> unexpected;
  for (int round = 0; round < rounds; ++round) {
    for (const std::string& seed : seeds) {
      const std::string bytes = Mutate(seed, rnd);
      ++variants;
      QueryPerformanceCounter(&t0);
      std::unique_ptr<TZipEngine> z(new TZipEngine(nullptr));
      TIgnore ignore;
      z->OnProcessFileFailure = TZEProcessFileFailureEvent(&ignore, &TIgnore::On);
      z->SetPassword("pw");  // the encrypted seeds' password; plain items ignore it
      z->SetBaseDir(W(sandbox + "\\base"));
      z->SetTempDir(W(dir.Path()));
      TMemoryStream m;
      if (!bytes.empty()) m.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
      try {
        z->OpenArchive(&m, false);
        ++opened;
        z->GetFileCount();
        TZEArchiveItem item;
        int listed = 0;
        for (bool f = z->FindFirst(L"*", item, 63, L""); f && listed < 100000; f = z->FindNext(item)) ++listed;
        z->TestFiles(L"*", 0x28BF, L"");
        if (variants % 10 == 0) z->ExtractFiles(L"*", 0x28BF, L"");
        if (variants % 7 == 0 && z->DirManager()->Directory().GetCount() > 0) {
          const WideString first = z->DirManager()->Directory().GetItemPtr(0).StoredName;
          z->RenameFile(first.IsEmpty() ? WideString(L"*") : first, L"renamed");
          z->TestFiles(L"*", 0x28BF, L"");
        }
        z->CloseArchive();
      } catch (const EZEException&) {
        ++numbered;
      } catch (const Exception& e) {
        unexpected.push_back(std::to_string(variants) + ": " + e.ClassName().str() + " " + e.Message().str());
      } catch (const std::exception& e) {
        unexpected.push_back(std::to_string(variants) + ": " + e.what());
      }
      // Every 50th variant also as a file: a rewrite that fails leaves the
      // file exactly as it was.
      if (variants % 50 == 0) {
        const std::string file = dir.File("variant.zip");
        WriteFileBytes(file, bytes);
        std::unique_ptr<TZipEngine> f(new TZipEngine(nullptr));
        f->OnProcessFileFailure = TZEProcessFileFailureEvent(&ignore, &TIgnore::On);
        f->SetFileName(W(file));
        try {
          f->OpenArchive(2);
          if (f->DirManager()->Directory().GetCount() > 0) {
            const WideString first = f->DirManager()->Directory().GetItemPtr(0).StoredName;
            try {
              f->RenameFile(first.IsEmpty() ? WideString(L"*") : first, L"renamed");
            } catch (const EZEException&) {
              f->CloseArchive();
              if (ReadFileBytes(file) != bytes) unexpected.push_back(std::to_string(variants) + ": file changed");
            }
          }
          f->CloseArchive();
        } catch (const EZEException&) {
        } catch (const Exception& e) {
          unexpected.push_back(std::to_string(variants) + ": " + e.ClassName().str() + " " + e.Message().str());
        }
        DeleteFileA(file.c_str());
      }
      QueryPerformanceCounter(&t1);
      slowest = std::max(slowest, static_cast<double>(t1.QuadPart - t0.QuadPart) / freq.QuadPart);
    }
  }
  QueryPerformanceCounter(&t1);
  const double total = static_cast<double>(t1.QuadPart - start.QuadPart) / freq.QuadPart;
  EXPECT_TRUE(unexpected.empty()) << unexpected.size() << " unexpected, first: " << unexpected.front();
  EXPECT_EQ(variants, rounds * 8);
  EXPECT_GT(opened, 1000);
  EXPECT_GT(numbered, 100);
  // Nothing appeared beside the base folder or above it.
  EXPECT_EQ(Listing(sandbox), outside);
  EXPECT_EQ(Listing(dir.Path()), parent);
  RecordProperty("variants", variants);
  std::printf("variants %d, opened %d, numbered errors %d, slowest %.3f s, total %.1f s\n", variants, opened, numbered,
              slowest, total);
}

}  // namespace
