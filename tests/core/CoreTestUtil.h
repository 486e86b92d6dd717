// Helpers of the file-list core's tests: wide and ANSI texts, Linux-side peers,
// a window stand-in that records what the core shows and asks, and a folder
// tree sink that records the nodes made.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CoreHost.h"
#include "FolderScan.h"
#include "harness.h"

inline WideString W(const std::string& ansi) { return AnsiToWide(AnsiString(ansi)); }
// The ANSI form of a wide text (test sources are UTF-8: Cyrillic literals are
// written wide).
inline std::string A(const wchar_t* wide) { return WideToAnsi(WideString(wide)).str(); }
inline std::string A(const WideString& wide) { return WideToAnsi(wide).str(); }

// The Unix path of a Windows path given wide (names outside the code page).
inline std::string UnixPathW(const WideString& windowsPath) { return UnixPath(windowsPath.str()); }

// A temporary folder removed from the Linux side, so that names outside the
// code page, long paths and symbolic links go with it.
class ScanDir {
public:
  ScanDir();
  ~ScanDir();
  ScanDir(const ScanDir&) = delete;
  ScanDir& operator=(const ScanDir&) = delete;
  const WideString& Path() const { return FPath; }
  const std::string& Unix() const { return FUnix; }
  WideString Sub(const WideString& rel) const { return FPath + L"\\" + rel; }

private:
  WideString FPath;
  std::string FUnix;
};

// Files and folders by wide path.
void MakeFolder(const WideString& path);
void MakeFile(const WideString& path, const std::string& bytes = std::string());
std::string ReadWideFile(const WideString& path);

// The window as the core sees it: the Russian message texts the core uses, the
// boxes it showed, and scripted answers to its questions.
class FakeHost : public ICoreHost {
public:
  WideString LocalText(int group, int index) override;
  void ShowMessage(const AnsiString& text) override { Shown.push_back(text.str()); }
  int MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags) override;

  struct Box {
    std::string Text, Caption;
    UINT Flags;
  };
  std::vector<std::string> Shown;
  std::vector<Box> Asked;
  std::vector<int> Answers;  // taken in order; IDCANCEL when none is left
};

// A folder tree sink and scan sink that records the nodes made and the paths
// reported. A node handle is its index + 1.
class RecordingSink : public IScanSink {
public:
  void* AddRootFolderNode() override;
  void* AddFolderNode(void* parent, const AnsiString& name) override;
  void FolderRecorded(const AnsiString& scanPath) override;
  void FileRecorded(const AnsiString& scanPath) override;
  bool CancelRequested() override { return Cancel && Cancel(); }

  struct Node {
    int Parent;  // index, -1 for the root
    std::string Text;
  };
  std::vector<Node> Nodes;
  std::vector<std::string> Folders, Files, Order;  // Order: "D:path" / "F:path" as reported
  std::function<bool()> Cancel;
};

// A small tree built by hand: name/kind/children.
ListNode* MakeEntry(ListNode* parent, const std::string& name, char kind);
