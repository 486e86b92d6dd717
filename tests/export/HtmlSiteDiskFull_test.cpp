// The HTML site on a disk that fills up part-way through a page: a small
// tmpfs stands in for the disk, filled so that exactly the chosen number of
// the page's bytes fit. The one message names the part of the page that was
// not written and the root page, and the page ends where the disk did.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>

#include "ExportTestUtil.h"
#include "Uexporttohtml.h"
#include "sysutils.h"

namespace {

// Pictures as small plain files in the site's root, one per type; hook runs
// before each is handed out.
class PlainPictures : public IHtmlPictures {
public:
  AnsiString PictureFor(const AnsiString& name, const AnsiString& folder) override {
    if (Hook) Hook(name.str());
    AnsiString type = ExtractFileExt(name);
    type.Delete(1, 1);
    return Put((type.IsEmpty() ? AnsiString("none") : type) + ".jpg", folder);
  }
  AnsiString FolderPicture(const AnsiString& folder) override { return Put("open.jpg", folder); }
  AnsiString DefaultPicture(const AnsiString& folder) override { return Put("def.jpg", folder); }
  std::function<void(const std::string& name)> Hook;

private:
  static AnsiString Put(const AnsiString& name, const AnsiString& folder) {
    const WideString path = AnsiToWide(folder + "\\" + name);
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) WriteFileBytes(path.str(), "picture");
    return name;
  }
};

const std::string Title = "List";

TWriteResult WriteSite(ICoreHost& host, IHtmlPictures& pictures, const TestList& list, const std::string& root) {
  CountingSteps steps;
  THtmlSiteWriter writer(host, pictures, steps);
  return writer.ExportToHtmlSite(list.Root(), AnsiString("\\\\?\\" + root), "", AnsiString(Title));
}

// A site whose folder A holds `files` files and one more whose name is
// nameLength characters long; its page is the one the disk takes.
void MakeFileList(TestList& list, int files, int nameLength) {
  list.File("top.txt");
  ListNode* a = list.Folder("A");
  for (int i = 0; i < files; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%04d.txt", i);
    list.File(name, 1000u * i, a);
  }
  list.File(std::string(nameLength - 4, 'n') + ".txt", 0, a);
}

// A site whose folder A holds `folders` empty sub-folders.
void MakeFolderList(TestList& list, int folders) {
  list.File("top.txt");
  ListNode* a = list.Folder("A");
  for (int i = 0; i < folders; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "d%04d", i);
    list.Folder(name, a);
  }
}

// The page of A written where the disk has room, and where its parts begin
// and end: the folders part begins with the line of its first sub-folder and
// ends where the first file line begins, or with the files part where the
// foot begins.
struct PageParts {
  std::string page;
  size_t foldersStart = std::string::npos, foldersEnd = std::string::npos, filesEnd = std::string::npos;
};

PageParts Measure(const std::function<void(TestList&)>& make) {
  TestList list;
  make(list);
  ExportHost host;
  PlainPictures pictures;
  TempDir dir;
  PageParts parts;
  if (WriteSite(host, pictures, list, dir.File("site")) != TWriteResult::Done) return parts;
  parts.page = Contents(dir.File("site\\A\\index.html"));
  parts.filesEnd = parts.page.rfind("<hr noshade>");
  parts.foldersStart = parts.page.find("<pre><a href=\"d0000/");
  parts.foldersEnd = std::min(parts.page.find("<pre><img src="), parts.filesEnd);
  return parts;
}

// The site's folder, whose sub-folder A gets the small disk; the disk's
// block as the system says. Skipped where no tmpfs can be mounted.
class HtmlSiteDiskFull : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    SmallDisk probe(root + "\\A", 64 * 1024);
    if (!probe.Mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here (root and the mount right needed): "
                                       << probe.Why();
    uint64_t emptyDisk = 0;
    ASSERT_TRUE(probe.Room(block, emptyDisk));
  }
  ExportHost host;
  PlainPictures pictures;
  TempDir dir;
  const std::string root = dir.File("site.html");
  uint64_t block = 0;
};

TEST_F(HtmlSiteDiskFull, ThePartOfThePageTheDiskCouldNotHoldIsNamed) {
  // The list grows until its files part spans two blocks and the middle of
  // its foot can be put on a block boundary by the length of one name.
  PageParts parts;
  int files = 1, nameLength = 30;
  for (;;) {
    parts = Measure([&](TestList& list) { MakeFileList(list, files, 30); });
    ASSERT_NE(parts.foldersEnd, std::string::npos) << parts.page;
    ASSERT_NE(parts.filesEnd, std::string::npos) << parts.page;
    ASSERT_LT(files, 100000) << "no list found for a block of " << block;
    if (parts.filesEnd - parts.foldersEnd < 2 * block) {
      files *= 2;
      continue;
    }
    const uint64_t footMiddle = parts.filesEnd + (parts.page.size() - parts.filesEnd) / 2;
    const uint64_t grow = (block - footMiddle % block) % block;
    // Up to the name field's size: each name past 30 characters lengthens
    // its line by one byte.
    if (grow > sizeof(ListNode::Name) - 1 - 30) {
      ++files;
      continue;
    }
    nameLength = 30 + static_cast<int>(grow);
    parts = Measure([&](TestList& list) { MakeFileList(list, files, nameLength); });
    break;
  }
  const size_t filesRoom = (parts.filesEnd - 1) / block * block;
  const size_t footRoom = parts.filesEnd + (parts.page.size() - parts.filesEnd) / 2;
  ASSERT_GT(filesRoom, parts.foldersEnd);
  ASSERT_EQ(footRoom % block, 0u) << "the foot's middle is not on a block boundary";
  ASSERT_LT(footRoom, parts.page.size());

  const std::string disk = SysErrorMessage(ERROR_DISK_FULL).str();
  const struct {
    const char* part;
    size_t room;
  } cases[] = {{" (write about files).\n", filesRoom}, {" (end of html file).\n", footRoom}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.part);
    host.Shown.clear();
    TestList list;
    MakeFileList(list, files, nameLength);
    SmallDisk small(root + "\\A", parts.page.size() + 16 * block);
    ASSERT_TRUE(small.Mounted()) << small.Why();
    ASSERT_TRUE(small.LeaveFree(c.room)) << "the filler did not leave " << c.room << " bytes";
    EXPECT_EQ(WriteSite(host, pictures, list, root), TWriteResult::Failed);
    EXPECT_EQ(host.Shown, (std::vector<std::string>{A(L"Ошибка записи в файл") + c.part + "path = " + root +
                                                    "\\A\ntreePath = /A\n" + disk + "\n\npath = " + root +
                                                    "\ntreePath = "}));
    // The page ends where the disk did, with every byte before that right.
    EXPECT_EQ(Contents(root + "\\A\\index.html"), parts.page.substr(0, c.room));
  }
}

TEST_F(HtmlSiteDiskFull, AFoldersPartCutPartWayIsNamed) {
  // Enough sub-folders that their lines span two blocks.
  PageParts parts;
  int folders = 1;
  for (;; folders *= 2) {
    parts = Measure([&](TestList& list) { MakeFolderList(list, folders); });
    ASSERT_NE(parts.foldersStart, std::string::npos) << parts.page;
    ASSERT_NE(parts.filesEnd, std::string::npos) << parts.page;
    if (parts.foldersEnd - parts.foldersStart >= 2 * block) break;
    ASSERT_LT(folders, 100000) << "no list found for a block of " << block;
  }
  const size_t room = (parts.foldersEnd - 1) / block * block;
  ASSERT_GT(room, parts.foldersStart);

  TestList list;
  MakeFolderList(list, folders);
  // Every sub-folder's page is smaller than A's.
  SmallDisk small(root + "\\A", (folders + 2) * (parts.page.size() + block));
  ASSERT_TRUE(small.Mounted()) << small.Why();
  // The sub-folders' pages lie on the small disk too: a first export leaves
  // them there, and a second one writes each again in the room it takes.
  ASSERT_EQ(WriteSite(host, pictures, list, root), TWriteResult::Done);
  ASSERT_EQ(Contents(root + "\\A\\index.html"), parts.page);
  ASSERT_TRUE(DeleteFileA((root + "\\A\\index.html").c_str()));
  ASSERT_TRUE(small.LeaveFree(room)) << "the filler did not leave " << room << " bytes";
  EXPECT_EQ(WriteSite(host, pictures, list, root), TWriteResult::Failed);
  EXPECT_EQ(host.Shown, (std::vector<std::string>{A(L"Ошибка записи в файл") + " (write about dirs).\npath = " +
                                                  root + "\\A\ntreePath = /A\n" +
                                                  SysErrorMessage(ERROR_DISK_FULL).str() + "\n\npath = " + root +
                                                  "\ntreePath = "}));
  EXPECT_EQ(Contents(root + "\\A\\index.html"), parts.page.substr(0, room));
  EXPECT_NE(Contents(root + "\\A\\d0000\\index.html").find("<hr noshade>"), std::string::npos)
      << "the pages written stay";
}

TEST(HtmlSiteFailures, APageThatCannotBeOpenedAgainAfterItsSubFoldersIsNamed) {
  // A's page is closed while B's is written; then a folder takes its name.
  TestList list;
  ListNode* a = list.Folder("A");
  list.File("x.hook", 0, list.Folder("B", a));
  list.File("a.txt", 0, a);
  ExportHost host;
  PlainPictures pictures;
  TempDir dir;
  const std::string root = dir.File("site.html");
  const std::string page = root + "\\A\\index.html";
  pictures.Hook = [&](const std::string& name) {
    if (name != "x.hook") return;
    DeleteFileA(page.c_str());
    CreateDirectoryA(page.c_str(), nullptr);
  };
  EXPECT_EQ(WriteSite(host, pictures, list, root), TWriteResult::Failed);
  // What the system says when the page is made again over the folder.
  const HANDLE h = CreateFileW(AnsiToWide(AnsiString("\\\\?\\" + page)).c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = GetLastError();
  ASSERT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(host.Shown, (std::vector<std::string>{A(L"Ошибка записи в файл") + " (write about dirs).\npath = " +
                                                  root + "\\A\ntreePath = /A\n" + SysErrorMessage(error).str() +
                                                  "\n\npath = " + root + "\ntreePath = "}));
  EXPECT_NE(Contents(root + "\\A\\B\\index.html").find("x.hook"), std::string::npos) << "the pages written stay";
}

}  // namespace
