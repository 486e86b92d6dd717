// Dragging one control onto another: what the target is asked, the drop,
// refusals, the threshold, cancelling, and controls going away meanwhile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comctrls.h"
#include "extctrls.h"
#include "forms.h"
#include "guitest.h"
#include "harness.h"

namespace {

struct TDragLog {
  std::vector<std::string> Events;
  TObject* Source = nullptr;
  TObject* EndTarget = reinterpret_cast<TObject*>(1);
  TPoint DropAt;
  bool Accept = true;
  void Over(TObject*, TObject* source, int, int, TDragState state, bool& accept) {
    static const char* const names[] = {"enter", "leave", "move"};
    Events.push_back(names[state]);
    Source = source;
    accept = Accept;
  }
  void Drop(TObject*, TObject* source, int x, int y) {
    Events.push_back("drop");
    Source = source;
    DropAt = TPoint(x, y);
  }
  void End(TObject*, TObject* target, int, int) {
    Events.push_back("end");
    EndTarget = target;
  }
};

class DragDropTest : public SharedFormTest<DragDropTest> {
protected:
  static void SetUpTestSuite() { SetUpSharedForm(80, 80, 400, 200); }
  void SetUp() override {
    SharedFormTest::SetUp();
    Source = Panel(10, 10);
    Target = Panel(200, 10);
    Target->OnDragOver = MakeEvent<&TDragLog::Over>(&Log);
    Target->OnDragDrop = MakeEvent<&TDragLog::Drop>(&Log);
    Source->OnEndDrag = MakeEvent<&TDragLog::End>(&Log);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(Source->Handle()) && IsWindowVisible(Target->Handle()); },
                        "both panels show"));
  }
  TPanel* Panel(int left, int top) {
    auto* p = Place<TPanel>(left, top, 100, 80);
    p->HandleNeeded();
    return p;
  }
  // A mouse message to the source (it holds the capture) at a point of control.
  void MouseAt(UINT msg, TControl* control, int x, int y) {
    TPoint screen = control->ClientToScreen(TPoint(x, y));
    TPoint local = Source->ScreenToClient(screen);
    SendMessageA(Source->Handle(), msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(local.x, local.y));
  }
  TPanel* Source = nullptr;
  TPanel* Target = nullptr;
  TDragLog Log;
};

}  // namespace

TEST_F(DragDropTest, TheTargetIsAskedAndTakesTheDrop) {
  Source->BeginDrag(true);
  EXPECT_TRUE(Source->Dragging());
  MouseAt(WM_MOUSEMOVE, Target, 30, 40);
  MouseAt(WM_MOUSEMOVE, Target, 31, 41);
  MouseAt(WM_LBUTTONUP, Target, 31, 41);
  EXPECT_FALSE(Source->Dragging());
  EXPECT_EQ(Log.Events, (std::vector<std::string>{"enter", "move", "drop", "end"}));
  EXPECT_EQ(Log.Source, Source) << "the control stands for the default drag object";
  EXPECT_EQ(Log.DropAt, TPoint(31, 41)) << "in the target's coordinates";
  EXPECT_EQ(Log.EndTarget, Target);
}

TEST_F(DragDropTest, ARefusedOrCancelledDragDropsNothing) {
  struct Case {
    const char* what;
    bool accept;
    UINT ending;
    std::vector<std::string> events;
  } cases[] = {
      {"refused", false, WM_LBUTTONUP, {"enter", "leave", "end"}},
      {"right button", true, WM_RBUTTONDOWN, {"enter", "leave", "end"}},
  };
  for (const Case& c : cases) {
    Log = TDragLog();
    Log.Accept = c.accept;
    Source->BeginDrag(true);
    MouseAt(WM_MOUSEMOVE, Target, 30, 40);
    MouseAt(c.ending, Target, 30, 40);
    EXPECT_EQ(Log.Events, c.events) << c.what;
    EXPECT_EQ(Log.EndTarget, nullptr) << c.what;
    EXPECT_FALSE(Source->Dragging()) << c.what;
  }
  // Leaving the target is told to it.
  Log = TDragLog();
  Source->BeginDrag(true);
  MouseAt(WM_MOUSEMOVE, Target, 30, 40);
  MouseAt(WM_MOUSEMOVE, Source, 30, 40);
  Source->EndDrag(false);
  EXPECT_EQ(Log.Events, (std::vector<std::string>{"enter", "leave", "end"}));
}

TEST_F(DragDropTest, AutomaticDragWaitsForTheThreshold) {
  Source->SetDragMode(dmAutomatic);
  int clicks = 0;
  struct TClick {
    int* n;
    void Click(TObject*) { ++*n; }
  } click{&clicks};
  Source->OnClick = MakeEvent<&TClick::Click>(&click);
  TPoint screen = Source->ClientToScreen(TPoint(20, 20));
  SetCursorPos(screen.x, screen.y);
  SendMessageA(Source->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  EXPECT_TRUE(Source->Dragging());
  SendMessageA(Source->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(21, 21));
  EXPECT_TRUE(Log.Events.empty()) << "a move inside the threshold asks nobody";
  SendMessageA(Source->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(21, 21));
  EXPECT_EQ(Log.Events, std::vector<std::string>{"end"});
  EXPECT_FALSE(Source->Dragging());
}

TEST_F(DragDropTest, ControlsGoingAwayLeaveTheDrag) {
  Source->BeginDrag(true);
  MouseAt(WM_MOUSEMOVE, Target, 30, 40);
  TPoint inTarget = Target->ClientToScreen(TPoint(30, 40));
  delete Target;
  Target = nullptr;
  TPoint local = Source->ScreenToClient(inTarget);
  SendMessageA(Source->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(local.x, local.y));
  EXPECT_EQ(Log.Events, (std::vector<std::string>{"enter", "end"}));
  EXPECT_EQ(Log.EndTarget, nullptr);
  // A source that goes ends its drag.
  Source->BeginDrag(true);
  delete Source;
  Source = Panel(10, 10);
  EXPECT_FALSE(Source->Dragging());
  Source->BeginDrag(true);
  EXPECT_TRUE(Source->Dragging()) << "a new drag can begin";
  Source->EndDrag(false);
}

TEST_F(DragDropTest, ViewsBeginWhenTheirWindowReportsADrag) {
  auto* tree = new TTreeView(Form);
  tree->SetParent(Form);
  tree->SetBounds(10, 100, 150, 80);
  TTreeNode* node = tree->Items()->Add(nullptr, "node");
  HWND wnd = tree->Handle();
  struct Case {
    TDragMode mode;
    bool dragging;
  } cases[] = {{dmManual, false}, {dmAutomatic, true}};
  for (const Case& c : cases) {
    tree->SetDragMode(c.mode);
    // A press alone begins nothing: the window decides when a drag starts.
    SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 70));
    SendMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(200, 70));
    EXPECT_FALSE(tree->Dragging());
    NMTREEVIEWA begin{};
    begin.hdr = {wnd, static_cast<UINT_PTR>(GetDlgCtrlID(wnd)), static_cast<UINT>(TVN_BEGINDRAGA)};
    begin.itemNew.hItem = node->ItemId();
    begin.itemNew.lParam = reinterpret_cast<LPARAM>(node);
    SendMessageA(Form->Handle(), WM_NOTIFY, begin.hdr.idFrom, reinterpret_cast<LPARAM>(&begin));
    EXPECT_EQ(tree->Dragging(), c.dragging) << c.mode;
    tree->EndDrag(false);
  }
}
