// Encrypted items: what the engine writes with a password is opened by 7-Zip,
// Info-ZIP and Python, what they write is opened by the engine, and wrong
// passwords and damaged codes are caught.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ZECryptoTransform.h"
#include "ZipTestUtil.h"

namespace {

const std::string kText = [] {
  std::string r;
  for (int i = 0; i < 3000; ++i) r += "line " + std::to_string(i * 13) + "\n";
  return r;
}();

// Counts the password event's calls and answers from a script.
struct PasswordAnswers {
  int Calls = 0;
  std::wstring LastName;
  AnsiString Give;  // the password handed back
  bool Skip = false;
  static void On(void* d, TObject*, const WideString& name, AnsiString& pw, bool& skip) {
    auto* self = static_cast<PasswordAnswers*>(d);
    ++self->Calls;
    self->LastName = name.str();
    if (self->Skip)
      skip = true;
    else
      pw = self->Give;
  }
};

// A wrong password that the item's stored check data refuses: the
// traditional check is one byte, so one wrong password in 256 passes it and
// only the CRC catches it.
AnsiString RefusedPassword(const WideString& archive, const WideString& itemName) {
  std::unique_ptr<TZipEngine> z(NewListEngine());
  z->SetFileName(archive);
  z->OpenArchive(2);
  const TDirItem item = z->DirManager()->Directory().GetItem(z->GetFileCendralDirItemNo(itemName));
  TStream* s = z->ArchiveStream();
  AnsiString result;
  for (int n = 0; result.IsEmpty(); ++n) {
    const AnsiString candidate = AnsiString("bad" + std::to_string(n));
    s->SetPosition(item.LocalOffset());
    TZEZipFileHeader lh;
    s->ReadBuffer(&lh, 30);
    s->Seek(static_cast<int64_t>(lh.NameLength) + lh.ExtraLength, soCurrent);
    bool passes;
    if (item.EncryptionMarker == 0) {
      TZipKeys keys;
      passes = ZipInitPassword(s, candidate, lh.Flags, lh.ModTime, lh.Crc32, keys);
    } else {
      TAESCryptoTransform aes(AESKeyBits(item.EncryptionMarker), 2, item.RealMethod);
      aes.Initialize(TCryptoTransformMode::Decryption, item);
      aes.GenerateKey(candidate);
      aes.LoadFileStorageStartBlock(s, 0);
      passes = aes.CheckPassword(candidate, item);
    }
    if (!passes) result = candidate;
  }
  z->CloseArchive();
  return result;
}

struct ItemCrypt : ::testing::Test {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip{NewListEngine()};
  std::string U(const std::string& name) { return Q(UP(dir, name)); }
  void SetUp() override { ShownBoxes.clear(); }

  // stored.txt (mode 0), packed.txt (mode 9), empty.txt and the folder "sub/".
  void WriteArchive(const std::string& name, TZECryptoAlgorithm method, const AnsiString& pw = "pw") {
    CreateDirectoryA(dir.File("src").c_str(), nullptr);
    CreateDirectoryA(dir.File("src\\sub").c_str(), nullptr);
    zip->SetPassword(pw);  // first the password, then the method
    zip->SetEncryptionMethod(method);
    zip->SetFileName(W(dir.File(name)));
    zip->OpenArchive(fmCreate);
    zip->SetCompressionMode(0);
    zip->AddFromString(L"stored.txt", AnsiString(kText.substr(0, 5000)), 0x20, 0);
    zip->SetCompressionMode(9);
    zip->AddFromString(L"packed.txt", AnsiString(kText), 0x20, 0);
    zip->AddFromString(L"empty.txt", "", 0x20, 0);
    zip->SetBaseDir(W(dir.File("src")));
    zip->AddFiles(W(dir.File("src\\sub")), 0x28BF | 0x10, L"");
    zip->CloseArchive();
  }

  void Extract(const std::string& archive, const std::string& folder, const AnsiString& pw) {
    CreateDirectoryA(dir.File(folder).c_str(), nullptr);
    zip->SetFileName(W(dir.File(archive)));
    zip->SetBaseDir(W(dir.File(folder)));
    zip->SetPassword(pw);
    zip->OpenArchive(2);
    zip->ExtractFiles(L"*", 0x28BF, L"");
    zip->CloseArchive();
  }
};

TEST_F(ItemCrypt, PeersOpenWhatTheEngineEncrypts) {
  struct Case {
    TZECryptoAlgorithm Method;
    int Strength;  // in the AES block; 0: traditional
  };
  const Case cases[] = {{caPkzipClassic, 0}, {caAES_128, 1}, {caAES_192, 2}, {caAES_256, 3}};
  for (const Case& c : cases) {
    const std::string name = "w" + std::to_string(c.Strength) + ".zip";
    zip.reset(NewListEngine());
    WriteArchive(name, c.Method);
    // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
    const std::string o = "o" + std::to_string(c.Strength);
#pragma GCC diagnostic pop
    // The headers as decided: AES blocks only on file items, the data's own
    // method inside (stored for an empty item), method 99 kept for it.
    const char* py =
        "import sys, zipfile, struct\n"
        "z = zipfile.ZipFile(sys.argv[1]); strength = int(sys.argv[2])\n"
        "want = {'stored.txt': 0, 'packed.txt': 8, 'empty.txt': 0}\n"
        "raw = open(sys.argv[1], 'rb').read()\n"
        "for i in z.infolist():\n"
        "    local = raw[i.header_offset:]\n"
        "    n, e = struct.unpack('<HH', local[26:30])\n"
        "    lextra = local[30 + n:30 + n + e]\n"
        "    for extra in (i.extra, lextra):\n"
        "        aes = [extra[k:k + 11] for k in range(0, len(extra) - 3) if extra[k:k + 2] == b'\\x01\\x99']\n"
        "        if i.filename == 'sub/':\n"
        "            assert not aes and i.flag_bits & 1 == 0, i.filename\n"
        "        elif strength:\n"
        "            assert len(aes) == 1, (i.filename, extra)\n"
        "            assert aes[0] == struct.pack('<HHH2sBH', 0x9901, 7, 2, b'AE', strength, want[i.filename]), aes\n"
        "            assert i.compress_type == 99 and i.flag_bits & 1, i.filename\n"
        "        else:\n"
        "            assert not aes and i.flag_bits & 1, i.filename\n"
        "    if i.filename == 'empty.txt':\n"
        "        assert i.compress_size == (12 if not strength else 4 + 4 * strength + 2 + 10), i.compress_size\n"
        "if not strength:\n"
        "    z.setpassword(b'pw'); assert z.testzip() is None\n";
    TempDir tmp;
    WriteFileBytes(tmp.File("check.py"), py);
    // One call of the peers per archive: 7-Zip tests and extracts, Info-ZIP
    // tests the traditional one, Python reads the headers.
    std::string out;
    const std::string cmd = "cd " + U("") + " && 7z t -ppw " + name + " && 7z x -ppw -o" + o + " " + name +
                            (c.Strength == 0 ? " && unzip -t -P pw " + name : std::string()) + " && python3 " +
                            Q(UnixPath(tmp.File("check.py"))) + " " + name + " " + std::to_string(c.Strength);
    ASSERT_EQ(RunUnix(cmd, &out), 0) << name << out;
    EXPECT_TRUE(ReadFileBytes(dir.File(o + "\\packed.txt")) == kText) << name;
    EXPECT_TRUE(ReadFileBytes(dir.File(o + "\\stored.txt")) == kText.substr(0, 5000)) << name;
    EXPECT_EQ(ReadFileBytes(dir.File(o + "\\empty.txt")), "") << name;
    EXPECT_NE(GetFileAttributesA(dir.File(o + "\\sub").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u) << name;
  }
}

TEST_F(ItemCrypt, TheEngineOpensWhatPeersEncrypt) {
  struct Case {
    std::string Name, Command;
  };
  const Case cases[] = {
      {"zc.zip", "7z a -tzip -mem=ZipCrypto -mx=9 -ppw ../zc.zip a.txt s.bin e.txt"},
      {"zc0.zip", "7z a -tzip -mem=ZipCrypto -mx=0 -ppw ../zc0.zip a.txt s.bin e.txt"},
      {"a128.zip", "7z a -tzip -mem=AES128 -mx=9 -ppw ../a128.zip a.txt s.bin e.txt"},
      {"a192.zip", "7z a -tzip -mem=AES192 -mx=0 -ppw ../a192.zip a.txt s.bin e.txt"},
      {"a256.zip", "7z a -tzip -mem=AES256 -mx=5 -ppw ../a256.zip a.txt s.bin e.txt"},
      {"iz.zip", "zip -q -P pw ../iz.zip a.txt s.bin e.txt"},
      // Streamed: the check byte comes from the time (data descriptor).
      {"izs.zip", "cat a.txt | zip -q -P pw ../izs.zip - && printf '@ -\\n@=a.txt\\n' | zipnote -w ../izs.zip"},
  };
  std::string all = "cd " + U("") + " && mkdir -p in && cd in && seq 1 50000 > a.txt && head -c 70000 /dev/urandom "
                    "> s.bin && : > e.txt";
  for (const Case& c : cases) all += " && " + c.Command;
  std::string out;
  ASSERT_EQ(RunUnix(all, &out), 0) << out;
  const std::string a = ReadFileBytes(dir.File("in\\a.txt")), b = ReadFileBytes(dir.File("in\\s.bin"));
  for (const Case& c : cases) {
    const std::string o = "x" + c.Name;
    Extract(c.Name, o, "pw");
    EXPECT_EQ(ReadFileBytes(dir.File(o + "\\a.txt")), a) << c.Name;
    if (c.Name != "izs.zip") {
      EXPECT_EQ(ReadFileBytes(dir.File(o + "\\s.bin")), b) << c.Name;
      EXPECT_EQ(ReadFileBytes(dir.File(o + "\\e.txt")), "") << c.Name;
    }
    EXPECT_TRUE(ShownBoxes.empty()) << c.Name;
  }
}

TEST_F(ItemCrypt, AWrongPasswordIsAskedAboutAndNeverExtracted) {
  WriteArchive("w.zip", caAES_128);
  zip.reset(NewListEngine());
  WriteArchive("p.zip", caPkzipClassic);
  struct Case {
    std::string Archive;
    bool Handler, Skip;
    AnsiString Give;  // "bad": the same wrong password again
    int Native;      // raised by the extraction, -1 none
    bool Extracted;  // packed.txt is there afterwards
  };
  const Case cases[] = {
      {"w.zip", false, false, "", -1, false},  // default box, cancelled: skipped
      {"p.zip", false, false, "", -1, false},
      {"w.zip", true, true, "", -1, false},    // the handler skips
      {"w.zip", true, false, "pw", -1, true},  // the handler knows it
      {"p.zip", true, false, "pw", -1, true},
      {"w.zip", true, false, "bad", 8, false},  // the same wrong answer: refused, not asked forever
      {"p.zip", true, false, "bad", 8, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    zip.reset(NewListEngine());
    ShownBoxes.clear();
    PasswordAnswers answers;
    answers.Skip = c.Skip;
    const AnsiString wrong = RefusedPassword(W(dir.File(c.Archive)), L"packed.txt");
    answers.Give = c.Give == "bad" ? wrong : c.Give;
    if (c.Handler) zip->OnPassword = TZEOnPasswordEvent(&answers, &PasswordAnswers::On);
    const std::string o = "bad" + std::to_string(n++);
    CreateDirectoryA(dir.File(o).c_str(), nullptr);
    zip->SetFileName(W(dir.File(c.Archive)));
    zip->SetBaseDir(W(dir.File(o)));
    zip->SetPassword(wrong);
    zip->OpenArchive(2);
    EXPECT_EQ(NativeOf([&] { zip->ExtractFiles(L"packed.txt", 0x28BF, L""); }), c.Native) << o;
    zip->CloseArchive();
    EXPECT_EQ(GetFileAttributesA(dir.File(o + "\\packed.txt").c_str()) != INVALID_FILE_ATTRIBUTES, c.Extracted) << o;
    if (c.Extracted) {
      EXPECT_TRUE(ReadFileBytes(dir.File(o + "\\packed.txt")) == kText) << o;
    }
    if (c.Handler) {
      EXPECT_EQ(answers.Calls, 1) << o;
      EXPECT_EQ(answers.LastName, L"packed.txt");
    } else {
      ASSERT_EQ(ShownBoxes.size(), 1u) << o;
      EXPECT_EQ(ShownBoxes[0], L"Password for \"packed.txt\"");
    }
  }
  // Into a string: a skipped prompt is no empty item.
  zip.reset(NewListEngine());
  zip->SetFileName(W(dir.File("w.zip")));
  zip->OpenArchive(2);
  AnsiString text = "untouched";
  EXPECT_EQ(NativeOf([&] { zip->ExtractToString(L"packed.txt", text); }), 8);
  zip->SetPassword("pw");
  zip->ExtractToString(L"packed.txt", text);
  EXPECT_TRUE(text.str() == kText);
  zip->CloseArchive();
}

TEST_F(ItemCrypt, DamagedDataIsCaught) {
  struct Case {
    TZECryptoAlgorithm Method;
    int FromEnd;  // byte of packed.txt's data, counted back from its end
  };
  // AES: the code's last byte and a data byte; traditional: a data byte (CRC).
  const Case cases[] = {{caAES_256, 1}, {caAES_256, 40}, {caAES_128, 11}, {caPkzipClassic, 20}};
  int n = 0;
  for (const Case& c : cases) {
    zip.reset(NewListEngine());
    // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
    const std::string name = "d" + std::to_string(n++) + ".zip";
#pragma GCC diagnostic pop
    WriteArchive(name, c.Method);
    const char* py =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1]); i = z.getinfo('packed.txt')\n"
        "raw = bytearray(open(sys.argv[1], 'rb').read())\n"
        "n, e = raw[i.header_offset + 26] | raw[i.header_offset + 27] << 8, raw[i.header_offset + 28] | raw[i.header_offset + 29] << 8\n"
        "end = i.header_offset + 30 + n + e + i.compress_size\n"
        "raw[end - int(sys.argv[2])] ^= 0x40\n"
        "open(sys.argv[1], 'wb').write(raw)\n";
    std::string out;
    ASSERT_EQ(RunPython(py, U(name) + " " + std::to_string(c.FromEnd), &out), 0) << out;
    zip->SetFileName(W(dir.File(name)));
    zip->SetPassword("pw");
    zip->OpenArchive(2);
    EXPECT_EQ(NativeOf([&] { zip->TestFiles(L"packed.txt", 0x28BF, L""); }), 8) << name;
    EXPECT_EQ(NativeOf([&] { zip->TestFiles(L"stored.txt", 0x28BF, L""); }), -1) << name;
    zip->CloseArchive();
  }
}

TEST_F(ItemCrypt, AnAE1ItemIsReadAndItsCrcChecked) {
  WriteArchive("ae.zip", caAES_192);
  // Vendor version 1 in both headers: WinZip's AE-1, code and real CRC.
  const char* py =
      "import sys\n"
      "raw = open(sys.argv[1], 'rb').read().replace(b'\\x01\\x99\\x07\\x00\\x02\\x00AE', b'\\x01\\x99\\x07\\x00\\x01\\x00AE')\n"
      "open(sys.argv[1], 'wb').write(raw)\n"
      "import zipfile; i = zipfile.ZipFile(sys.argv[1]).getinfo('packed.txt')\n"
      "raw = bytearray(raw)\n"
      "c = raw.find(b'PK\\x01\\x02' , raw.find(b'PK\\x01\\x02') + 1)\n"
      "open(sys.argv[2], 'wb').write(raw)\n"
      "cd = raw.find(b'packed.txt', i.header_offset + 40) - 46\n"
      "assert raw[cd:cd + 4] == b'PK\\x01\\x02'\n"
      "raw[cd + 16] ^= 1\n"
      "open(sys.argv[3], 'wb').write(raw)\n";
  std::string out;
  ASSERT_EQ(RunPython(py, U("ae.zip") + " " + U("ae1.zip") + " " + U("ae1crc.zip"), &out), 0) << out;
  EXPECT_EQ(RunUnix("7z t -ppw " + U("ae1.zip"), &out), 0) << out;
  Extract("ae1.zip", "o1", "pw");
  EXPECT_TRUE(ReadFileBytes(dir.File("o1\\packed.txt")) == kText);
  zip->SetFileName(W(dir.File("ae1crc.zip")));
  zip->OpenArchive(2);
  EXPECT_EQ(NativeOf([&] { zip->TestFiles(L"packed.txt", 0x28BF, L""); }), 8);
  zip->CloseArchive();
}

TEST_F(ItemCrypt, PasswordTest) {
  WriteArchive("a.zip", caAES_256);
  zip.reset(NewListEngine());
  WriteArchive("p.zip", caPkzipClassic);
  for (const char* name : {"a.zip", "p.zip"}) {
    zip.reset(NewListEngine());
    PasswordAnswers answers;
    zip->OnPassword = TZEOnPasswordEvent(&answers, &PasswordAnswers::On);
    zip->SetFileName(W(dir.File(name)));
    zip->SetPassword("kept");
    zip->OpenArchive(2);
    EXPECT_TRUE(zip->IsFilePasswordValid(L"packed.txt", "pw")) << name;
    EXPECT_TRUE(zip->IsFilePasswordValid(L"empty.txt", "pw")) << name;
    EXPECT_FALSE(zip->IsFilePasswordValid(L"packed.txt", "pW")) << name;
    EXPECT_FALSE(zip->IsFilePasswordValid(L"stored.txt", "")) << name;
    EXPECT_EQ(NativeOf([&] { zip->IsFilePasswordValid(L"missing.txt", "pw"); }), 42);
    EXPECT_EQ(zip->Password(), "kept");  // the component's own password is back
    EXPECT_EQ(answers.Calls, 0);         // a test never asks
    zip->CloseArchive();
  }
}

TEST_F(ItemCrypt, AnAESMethodWithoutAPasswordWritesPlainItems) {
  zip->SetEncryptionMethod(caAES_256);  // chosen, but no password is set
  zip->SetFileName(W(dir.File("plain.zip")));
  zip->OpenArchive(fmCreate);
  zip->AddFromString(L"a.txt", AnsiString(kText), 0x20, 0);
  zip->CloseArchive();
  const char* py =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1]); i = z.getinfo('a.txt')\n"
      "raw = open(sys.argv[1], 'rb').read()\n"
      "assert i.compress_type == 8 and not i.flag_bits & 1 and b'\\x01\\x99' not in raw\n"
      "assert z.testzip() is None\n";
  std::string out;
  EXPECT_EQ(RunPython(py, U("plain.zip"), &out), 0) << out;
}

TEST_F(ItemCrypt, RenameAndDeleteKeepEncryptedItemsWhole) {
  for (TZECryptoAlgorithm method : {caPkzipClassic, caAES_192}) {
    zip.reset(NewListEngine());
    const std::string name = method == caPkzipClassic ? "rp.zip" : "ra.zip";
    WriteArchive(name, method);
    zip->SetFileName(W(dir.File(name)));
    zip->OpenArchive(2);
    zip->RenameFile(L"packed.txt", L"renamed.txt");
    zip->DeleteFiles(L"stored.txt", 0x28BF, L"");
    zip->CloseArchive();
    std::string out;
    EXPECT_EQ(RunUnix("cd " + U("") + " && 7z t -ppw " + name + " && 7z e -so -ppw " + name + " renamed.txt > " + name +
                          ".out",
                      &out),
              0)
        << out;
    EXPECT_TRUE(ReadFileBytes(dir.File(name + ".out")) == kText) << name;
    Extract(name, name + ".x", "pw");
    EXPECT_TRUE(ReadFileBytes(dir.File(name + ".x\\renamed.txt")) == kText) << name;
  }
}

// A caller's stream that refuses the first write over bytes it already holds:
// the rewrite of an item's local header after its data.
struct TFlakyStream : TMemoryStream {
  int Refusals = 1;
  int32_t Write(const void* buffer, int32_t count) override {
    if (Refusals > 0 && Position() < Size()) {
      --Refusals;
      return 0;
    }
    return TMemoryStream::Write(buffer, count);
  }
};

TEST_F(ItemCrypt, RetryAndIgnoreAfterAPartialWriteLeaveNoTrace) {
  struct Case {
    TZEAction Answer;
    int Items;
  };
  for (const Case& c : {Case{fxaRetry, 2}, Case{fxaIgnore, 1}}) {
    zip.reset(NewListEngine());
    struct H {
      TZEAction Answer;
      int Calls = 0;
      static void On(void* d, TObject*, const WideString&, TZEProcessOperation, int native, int, const WideString&,
                     TZEAction& action) {
        auto* h = static_cast<H*>(d);
        ++h->Calls;
        EXPECT_EQ(native, 46);
        action = h->Calls == 1 ? h->Answer : fxaAbort;
      }
    } h{c.Answer};
    zip->OnProcessFileFailure = TZEProcessFileFailureEvent(&h, &H::On);
    zip->SetPassword("pw");
    zip->SetEncryptionMethod(caAES_128);
    TFlakyStream s;
    s.Refusals = 0;
    zip->OpenArchive(&s, true);
    zip->AddFromString(L"first.txt", "first", 0x20, 0);
    s.Refusals = 1;
    // An item whose source the engine owns: it must still be there for the retry.
    zip->AddFromString(L"second.txt", AnsiString(kText), 0x20, 0);
    zip->CloseArchive();
    EXPECT_EQ(h.Calls, 1);
    const std::string name = c.Answer == fxaRetry ? "retry.zip" : "ignore.zip";
    WriteFileBytes(dir.File(name), std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size())));
    std::string out;
    EXPECT_EQ(RunUnix("7z t -ppw " + U(name), &out), 0) << out;
    const char* py =
        "import sys, zipfile\n"
        "raw = open(sys.argv[1], 'rb').read(); z = zipfile.ZipFile(sys.argv[1])\n"
        "assert len(z.infolist()) == int(sys.argv[2]), z.namelist()\n"
        "assert raw.count(b'PK\\x03\\x04') == int(sys.argv[2]), 'orphan local header'\n"
        "assert raw.count(b'\\x01\\x99\\x07\\x00') == 2 * int(sys.argv[2]), 'AES blocks'\n"
        "assert raw.count(b'NUCX') == 2 * int(sys.argv[2]), 'name blocks'\n";
    EXPECT_EQ(RunPython(py, U(name) + " " + std::to_string(c.Items), &out), 0) << name << out;
  }
}

TEST_F(ItemCrypt, TwoItemsNeverShareAKeyStream) {
  zip->SetPassword("pw");
  zip->SetFileName(W(dir.File("same.zip")));
  zip->SetCompressionMode(0);
  zip->OpenArchive(fmCreate);
  zip->BeginUpdate();
  zip->AddFromString(L"one.txt", AnsiString(kText.substr(0, 400)), 0x20, 0);
  zip->AddFromString(L"two.txt", AnsiString(kText.substr(0, 400)), 0x20, 0);
  zip->EndUpdate();
  zip->CloseArchive();
  // Same password, same bytes, written in the same instant: the encryption
  // headers (and so the key streams) still differ.
  const char* py =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1]); raw = open(sys.argv[1], 'rb').read()\n"
      "def data(i):\n"
      "    o = i.header_offset; n = raw[o + 26] | raw[o + 27] << 8; e = raw[o + 28] | raw[o + 29] << 8\n"
      "    return raw[o + 30 + n + e:o + 30 + n + e + i.compress_size]\n"
      "a, b = [data(i) for i in z.infolist()]\n"
      "assert a[:10] != b[:10] and a[12:] != b[12:]\n"
      "z.setpassword(b'pw'); assert z.read('one.txt') == z.read('two.txt')\n";
  std::string out;
  EXPECT_EQ(RunPython(py, U("same.zip"), &out), 0) << out;
}

}  // namespace
