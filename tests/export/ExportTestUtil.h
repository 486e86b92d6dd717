// Helpers of the export layer's tests: hand-built entry trees, a host with
// the Russian texts the exports use, progress steps that record and cancel,
// and the Linux-side readers of what the exports write.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CoreHost.h"
#include "ListNode.h"
#include "harness.h"

// The ANSI form of a wide text (test sources are UTF-8).
inline std::string A(const wchar_t* wide) { return WideToAnsi(WideString(wide)).str(); }

// A hand-built tree: the root and its entries, freed with the object.
class TestList {
public:
  TestList();
  ~TestList();
  TestList(const TestList&) = delete;
  TestList& operator=(const TestList&) = delete;

  ListNode* Root() const { return FRoot; }
  // A file or folder below parent (the root when null), name in ANSI.
  ListNode* File(const std::string& name, uint64_t size = 0, ListNode* parent = nullptr);
  ListNode* Folder(const std::string& name, ListNode* parent = nullptr);

private:
  ListNode* Add(const std::string& name, char kind, uint64_t size, ListNode* parent);
  ListNode* FRoot;
};

void SetText(char (&field)[28], const std::string& text);
void SetComment(ListNode* node, const std::string& text);

// The window's side as the exports see it: the Russian texts and the
// messages shown.
class ExportHost : public ICoreHost {
public:
  WideString LocalText(int group, int index) override;
  void ShowMessage(const AnsiString& text) override { Shown.push_back(text.str()); }
  int MessageBox(const AnsiString&, const AnsiString&, UINT) override { return IDNO; }
  std::vector<std::string> Shown;
};

// Counts the steps; asks to cancel once CancelAfter steps were made.
class CountingSteps : public IStepProgress {
public:
  explicit CountingSteps(int cancelAfter = -1) : CancelAfter(cancelAfter) {}
  void Step() override { ++Steps; }
  bool CancelRequested() override { return CancelAfter >= 0 && Steps >= CancelAfter; }
  int Steps = 0;
  int CancelAfter;
};

// The whole content of a file written by the code under test.
std::string Contents(const std::string& path);
// The SOF0 frame of a JPEG file as "WxH/components", or what is wrong with it.
std::string JpegFrame(const std::string& path);
