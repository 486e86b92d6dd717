// File-type icons: the registry lookup with its failure cases, the folder
// tree's three icons, and the JPEG pictures of the HTML export (names, reuse,
// fall-backs, decodable 16x16 files).
#include <gtest/gtest.h>

#include "ShellIcons.h"
#include "UiTestUtil.h"
#include "harness.h"
#include "sysutils.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

// A registry key of the test below HKEY_LOCAL_MACHINE\Software\Classes,
// removed with its subkeys afterwards.
class TestKey {
public:
  TestKey(const std::string& path, const char* value) : FPath("Software\\Classes\\" + path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, FPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (value) RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), DWORD(strlen(value) + 1));
    RegCloseKey(key);
  }
  ~TestKey() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, FPath.c_str()); }

private:
  std::string FPath;
};

AnsiString SystemFolder() {
  char buffer[MAX_PATH] = {};
  GetSystemDirectoryA(buffer, MAX_PATH);
  return buffer;
}

TEST(ShellIcons, FileTypeIconFollowsTheClassToItsDefaultIcon) {
  TestKey ext(".fntest", "fntestfile");
  TestKey cls("fntestfile", nullptr);
  {
    TestKey icon("fntestfile\\DefaultIcon", (SystemFolder() + "\\shell32.dll,2").c_str());
    HICON h = FileTypeIcon(".fntest");
    EXPECT_NE(h, nullptr);
    if (h) DestroyIcon(h);
  }
  EXPECT_EQ(FileTypeIcon(".fntest"), nullptr) << "a class without DefaultIcon has no icon";
  {
    TestKey icon("fntestfile\\DefaultIcon", "%1");
    EXPECT_EQ(FileTypeIcon(".fntest"), nullptr);
  }
  {
    TestKey icon("fntestfile\\DefaultIcon", "");
    EXPECT_EQ(FileTypeIcon(".fntest"), nullptr);
  }
  {
    TestKey icon("fntestfile\\DefaultIcon", (SystemFolder() + "\\shell32.dll,abc").c_str());
    HICON h = FileTypeIcon(".fntest");
    EXPECT_NE(h, nullptr) << "an index that is not a number takes the first icon";
    if (h) DestroyIcon(h);
  }
  {
    TestKey icon("fntestfile\\DefaultIcon", (SystemFolder() + "\\no-such-file.dll,0").c_str());
    EXPECT_EQ(FileTypeIcon(".fntest"), nullptr);
  }
  {
    TempDir dir;
    WriteFileBytes(dir.File("plain.txt"), "not an icon file");
    TestKey icon("fntestfile\\DefaultIcon", (dir.File("plain.txt") + ",0").c_str());
    EXPECT_EQ(FileTypeIcon(".fntest"), nullptr) << "a file without icons gives none";
  }
  EXPECT_EQ(FileTypeIcon(".fntest-missing"), nullptr);
}

TEST(ShellIcons, FolderTreeGetsThreeIcons) {
  TImageList list(nullptr);
  TIcon stale;
  stale.SetHandle(Shell32SmallIcon(siDocument));
  list.AddIcon(&stale);
  LoadShellIcons(&list);
  EXPECT_EQ(list.Count(), 3) << "the list is cleared first";
}

// The 16x16 pixels of a picture drawn on white.
std::vector<uint32_t> Pixels(const std::function<void(HDC)>& draw) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 16;
  info.bmiHeader.biHeight = -16;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all = {0, 0, 16, 16};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  draw(dc);
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + 256);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return pixels;
}

std::vector<uint32_t> ListPicture(TCustomImageList* list, int index) {
  return Pixels([&](HDC dc) { ImageList_Draw(list->Handle(), index, dc, 0, 0, ILD_NORMAL); });
}

// shell32's picture with that resource identifier as the extraction by
// identifier gives it (not the resource loading the program uses), drawn
// through the tree's own image list.
std::vector<uint32_t> Shell32Picture(TCustomImageList* list, int id) {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  HICON small = nullptr;
  EXPECT_EQ(ExtractIconExA((std::string(system) + "\\shell32.dll").c_str(), -id, nullptr, &small, 1), 1u) << id;
  TIcon icon;
  icon.SetHandle(small);
  const int index = list->AddIcon(&icon);
  std::vector<uint32_t> pixels = ListPicture(list, index);
  list->Delete(index);
  return pixels;
}

// The tree's nodes show the drive, the closed and the open folder, not the
// document picture that shell32's icon positions give under Wine.
TEST_F(MainWindowTest, FolderTreeShowsDriveAndFolderPictures) {
  TestTree tree;
  tree.Folder("inner");
  tree.File("inner\\a.txt", 3);
  Scan(tree.Root());
  TUcTreeNode* root = static_cast<TUcTreeNode*>(F->tvTreeOfFile->Items()->GetFirstNode());
  ASSERT_NE(root, nullptr);
  TUcTreeNode* inner = TreeNode(L"inner");
  ASSERT_NE(inner, nullptr);
  TCustomImageList* images = F->imlIcons;
  const auto drive = Shell32Picture(images, siDrive), closed = Shell32Picture(images, siClosedFolder),
             open = Shell32Picture(images, siOpenFolder);
  // The document picture, which the positions 7, 3 and 4 gave under Wine.
  TIcon generic;
  generic.SetHandle(Shell32SmallIcon(siDocument));
  const int at = images->AddIcon(&generic);
  const auto document = ListPicture(images, at);
  images->Delete(at);
  ASSERT_NE(closed, document) << "the platform's pictures must differ for this test to tell them apart";
  ASSERT_EQ(images->Count(), 3);
  EXPECT_EQ(ListPicture(images, root->ImageIndex()), drive);
  EXPECT_EQ(ListPicture(images, inner->ImageIndex()), closed);
  EXPECT_NE(ListPicture(images, inner->ImageIndex()), document);
  ClickTreeNode(inner);
  ASSERT_TRUE(WaitFor([&] { return F->tvTreeOfFile->Selected() == inner; }, "the folder selected"));
  EXPECT_EQ(ListPicture(images, inner->SelectedIndex()), open);
}

// The JPEG file's pixel size, decoded.
std::pair<int, int> JpegSize(const AnsiString& path) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(path);
  return {jpeg.Width(), jpeg.Height()};
}

TEST(ShellIcons, PicturesAreNamedByTypeAndWrittenOncePerType) {
  TempDir target;
  TempDir files;
  TImageList html(nullptr);
  const AnsiString T = target.Path().c_str();

  // The folder picture: the target path itself names no extension.
  EXPECT_EQ(SaveIconsAsJpeg(&html, T, T), "open.jpg");
  EXPECT_TRUE(FileExists(T + "\\open.jpg"));
  EXPECT_EQ(JpegSize(T + "\\open.jpg"), std::make_pair(16, 16));
  EXPECT_EQ(SaveIconsAsJpeg(&html, "README", T), "open.jpg") << "no extension: the folder picture";

  // An existing file: the shell's icon, the extension's case kept.
  WriteFileBytes(files.File("report.DOC"), "x");
  EXPECT_EQ(SaveIconsAsJpeg(&html, (files.Path() + "\\report.DOC").c_str(), T), "DOC.jpg");
  EXPECT_TRUE(FileExists(T + "\\DOC.jpg"));

  // Two files of one type share one picture, written once.
  WriteFileBytes(files.File("a.txt"), "a");
  WriteFileBytes(files.File("b.txt"), "b");
  EXPECT_EQ(SaveIconsAsJpeg(&html, (files.Path() + "\\a.txt").c_str(), T), "txt.jpg");
  FILETIME first = {};
  {
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA((T + "\\txt.jpg").c_str(), GetFileExInfoStandard, &data));
    first = data.ftLastWriteTime;
  }
  WriteFileBytes((T + "\\txt.jpg").c_str(), "kept");
  EXPECT_EQ(SaveIconsAsJpeg(&html, (files.Path() + "\\b.txt").c_str(), T), "txt.jpg");
  EXPECT_EQ(ReadFileBytes((T + "\\txt.jpg").c_str()), "kept") << "an existing picture is reused, not rewritten";
  (void)first;

  // A name with "ico" in it: the picture is written under the name returned.
  WriteFileBytes(files.File("lexicon.rtf"), "r");
  EXPECT_EQ(SaveIconsAsJpeg(&html, (files.Path() + "\\lexicon.rtf").c_str(), T), "rtf.jpg");
  EXPECT_EQ(JpegSize(T + "\\rtf.jpg"), std::make_pair(16, 16));
  EXPECT_FALSE(FileExists(T + "\\lexicon.rtf.jpg"));
  // A folder so named keeps its icon and rewrites the folder picture.
  CreateDirectoryA(files.File("icons").c_str(), nullptr);
  WriteFileBytes((T + "\\open.jpg").c_str(), "old");
  EXPECT_EQ(SaveIconsAsJpeg(&html, (files.Path() + "\\icons").c_str(), T), "open.jpg");
  EXPECT_EQ(JpegSize(T + "\\open.jpg"), std::make_pair(16, 16));

  // Unknown types of files that are not here: the generic picture; ".exe"
  // the program picture.
  EXPECT_EQ(SaveIconsAsJpeg(&html, "C:\\nowhere\\x.fnunknown", T), "def.jpg");
  EXPECT_TRUE(FileExists(T + "\\def.jpg"));
  EXPECT_EQ(SaveIconsAsJpeg(&html, "C:\\nowhere\\tool.exe", T), "exe.jpg");
  EXPECT_EQ(JpegSize(T + "\\exe.jpg"), std::make_pair(16, 16));
  EXPECT_GE(html.Count(), 6);
}

}  // namespace
