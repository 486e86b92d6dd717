// A source of exactly 0xFFFFFFFF bytes already needs ZIP64 values: the local
// ZIP64 field comes first, the version is 45, and the directory carries the
// 64-bit sizes. The archive lives in a sparse memory stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "ZipTestUtil.h"

namespace {

// Holds only the 64 KiB pages that ever received a byte other than zero.
struct TSparse : TStream {
  std::map<int64_t, std::vector<uint8_t>> Pages;
  int64_t Size = 0, Pos = 0;
  static constexpr int64_t kPage = 65536;
  int32_t Write(const void* buffer, int32_t count) override {
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    for (int32_t done = 0; done < count;) {
      const int64_t page = (Pos + done) / kPage, at = (Pos + done) % kPage;
      const int32_t n = static_cast<int32_t>(std::min<int64_t>(count - done, kPage - at));
      auto it = Pages.find(page);
      if (it == Pages.end() && std::any_of(p + done, p + done + n, [](uint8_t b) { return b != 0; }))
        it = Pages.emplace(page, std::vector<uint8_t>(kPage, 0)).first;
      if (it != Pages.end()) std::memcpy(it->second.data() + at, p + done, static_cast<size_t>(n));
      done += n;
    }
    Pos += count;
    Size = std::max(Size, Pos);
    return count;
  }
  int32_t Read(void* buffer, int32_t count) override {
    const int32_t n = static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(count, Size - Pos)));
    uint8_t* p = static_cast<uint8_t*>(buffer);
    for (int32_t done = 0; done < n;) {
      const int64_t page = (Pos + done) / kPage, at = (Pos + done) % kPage;
      const int32_t k = static_cast<int32_t>(std::min<int64_t>(n - done, kPage - at));
      auto it = Pages.find(page);
      if (it == Pages.end())
        std::memset(p + done, 0, static_cast<size_t>(k));
      else
        std::memcpy(p + done, it->second.data() + at, static_cast<size_t>(k));
      done += k;
    }
    Pos += n;
    return n;
  }
  using TStream::Seek;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    Pos = origin == soBeginning ? offset : origin == soCurrent ? Pos + offset : Size + offset;
    return Pos;
  }
  using TStream::SetSize;
  void SetSize(int64_t n) override { Size = n; }
  int64_t GetSize() override { return Size; }
  std::string Bytes(int64_t at, int n) {
    std::string s(static_cast<size_t>(n), '\0');
    Seek(at, soBeginning);
    Read(s.data(), n);
    return s;
  }
};

struct TZeros : TTestSource {
  explicit TZeros(int64_t n) { Size = n; }
  void Fill(uint8_t* p, int64_t, int32_t n) override { std::memset(p, 0, static_cast<size_t>(n)); }
};

uint32_t U32(const std::string& s, size_t at) {
  uint32_t v;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}
uint16_t U16(const std::string& s, size_t at) {
  uint16_t v;
  std::memcpy(&v, s.data() + at, 2);
  return v;
}
uint64_t U64(const std::string& s, size_t at) {
  uint64_t v;
  std::memcpy(&v, s.data() + at, 8);
  return v;
}

TEST(Zip64, ASourceOfExactlyFourGigabytesLessOne) {
  std::unique_ptr<TZipEngine> zip(new TZipEngine(nullptr));
  zip->SetZip64Mode(zmAuto);
  zip->SetCompressionMode(0);
  TSparse s;
  zip->OpenArchive(&s, true);
  TZeros zeros(0xFFFFFFFFLL);
  zip->AddFromStream(L"z", &zeros, false, 0, 0, 0x20, 0);
  zip->CloseArchive();
  const std::string local = s.Bytes(0, 30 + 1 + 20 + 14);
  EXPECT_EQ(U16(local, 4), 45);
  EXPECT_EQ(U32(local, 18), 0xFFFFFFFFu);
  EXPECT_EQ(U32(local, 22), 0xFFFFFFFFu);
  EXPECT_EQ(U16(local, 28), 20 + 14);
  EXPECT_EQ(U16(local, 31), 1);  // the ZIP64 field first
  EXPECT_EQ(U16(local, 33), 16);
  EXPECT_EQ(U64(local, 35), 0xFFFFFFFFull);
  EXPECT_EQ(U64(local, 43), 0xFFFFFFFFull);
  EXPECT_EQ(local.substr(51, 2), "NU");
  const int64_t dir = 30 + 1 + 20 + 14 + 0xFFFFFFFFLL;
  const std::string central = s.Bytes(dir, 46 + 1 + 20);
  EXPECT_EQ(U32(central, 0), 0x02014B50u);
  EXPECT_EQ(U16(central, 6), 45);
  EXPECT_EQ(U32(central, 20), 0xFFFFFFFFu);
  EXPECT_EQ(U32(central, 24), 0xFFFFFFFFu);
  EXPECT_EQ(U32(central, 42), 0u);  // the offset fits in 32 bits
  EXPECT_EQ(U16(central, 47), 1);
  EXPECT_EQ(U16(central, 49), 16);  // two sizes, no offset
  // The directory ends past 4 GiB: ZIP64 end record and locator.
  const std::string tail = s.Bytes(s.Size - 22 - 20 - 56, 56 + 20 + 22);
  EXPECT_EQ(U32(tail, 0), 0x06064B50u);
  EXPECT_EQ(U64(tail, 48), static_cast<uint64_t>(dir));
  EXPECT_EQ(U32(tail, 56), 0x07064B50u);
  EXPECT_EQ(U32(tail, 76 + 16), 0xFFFFFFFFu);  // the end record points on to ZIP64
  // And it reads back.
  zip->OpenArchive(&s, false);
  const TDirItem& item = zip->DirManager()->Directory().GetItemPtr(0);
  EXPECT_EQ(item.UnpackedSize(), 0xFFFFFFFFLL);
  EXPECT_EQ(item.PackedSize(), 0xFFFFFFFFLL);
  EXPECT_TRUE(zip->DirManager()->HasZip64);
  zip->CloseArchive();
}

}  // namespace
