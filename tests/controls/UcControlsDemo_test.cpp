// A demo window with one of each wide control, read from a layout with
// Russian, Greek and Chinese texts; a picture of it is saved beside the test
// program (demo_uc_controls.bmp) for a person to look at.
#include "ControlsTestUtil.h"

#include "UcButtons.h"
#include "UcComCtrls.h"
#include "UcExtCtrls.h"
#include "UcRichEdit.h"
#include "UcStdCtrls.h"
#include "layout.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using UcControlsDemo = UcGuiTest;

const char* const DemoLayout = R"(
object UcDemoForm: TForm
  Left = 40
  Top = 40
  ClientWidth = 700
  ClientHeight = 480
  Caption = 'Образец элементов'
  object pnTop: TUcPanel
    Align = alTop
    Height = 56
    Caption = 'Панель 面板 Πίνακας'
    Alignment = taRightJustify
    object spbtOpen: TUcSpeedButton
      Left = 4
      Top = 4
      Width = 64
      Height = 48
      Caption = 'Открыть'
      Hint = 'Открыть список 打开'
      Flat = True
      Layout = blGlyphTop
      Spacing = 1
      Margin = -1
    end
    object FindBitBtn: TUcBitBtn
      Left = 76
      Top = 12
      Width = 110
      Height = 30
      Caption = 'Найти 查找'
    end
  end
  object tvTreeOfFile: TUcTreeView
    Align = alLeft
    Width = 180
    Indent = 19
    HideSelection = False
    ReadOnly = True
  end
  object Splitter1: TUcSplitter
    Left = 180
    Width = 3
  end
  object pnRight: TUcPanel
    Align = alClient
    BevelOuter = bvNone
    object laName: TUcLabel
      Left = 8
      Top = 8
      Caption = 'Имя файла (Όνομα 文件名):'
    end
    object ledMask: TUcEdit
      Left = 8
      Top = 28
      Width = 200
      Text = 'отчёт_报告.txt'
    end
    object cbxFileAll: TUcCheckBox
      Left = 220
      Top = 30
      Width = 180
      Caption = 'Все поля 所有'
    end
    object btOk: TUcButton
      Left = 410
      Top = 26
      Width = 90
      Caption = 'Принять ΟΚ'
    end
    object lvInfo: TUcListView
      Left = 8
      Top = 60
      Width = 500
      Height = 150
      ViewStyle = vsReport
      RowSelect = True
      GridLines = True
      ReadOnly = True
      HideSelection = False
      Columns = <
        item
          Caption = 'Имя 名称'
          Width = 150
        end
        item
          Caption = 'Размер'
          Width = 80
        end
        item
          Caption = 'Комментарии Σχόλια'
          Width = 200
        end>
    end
    object redComment: TUcRichEdit
      Left = 8
      Top = 220
      Width = 300
      Height = 90
      ScrollBars = ssBoth
      MaxLength = 254
    end
    object MIVOImage: TUcImage
      Left = 320
      Top = 220
      Width = 48
      Height = 48
      Stretch = True
      Hint = 'Сайт 网站'
    end
    object Bevel2: TUcBevel
      Left = 320
      Top = 280
      Width = 180
      Height = 4
      Shape = bsBottomLine
    end
    object ledPath: TUcLabeledEdit
      Left = 380
      Top = 240
      Width = 120
      Text = 'C:\Данные'
    end
    object mmNotes: TUcMemo
      Left = 8
      Top = 320
      Width = 300
      Height = 60
    end
  end
end
)";

}  // namespace

TEST_F(UcControlsDemo, OneOfEachControlWithWideTexts) {
  std::unique_ptr<TForm> demo(NewForm<TForm>(nullptr));
  ReadComponentText(DemoLayout, demo.get());
  auto find = [&](const char* name) { return demo->FindComponent(name); };
  auto* panel = static_cast<TUcPanel*>(find("pnTop"));
  auto* speed = static_cast<TUcSpeedButton*>(find("spbtOpen"));
  auto* bitBtn = static_cast<TUcBitBtn*>(find("FindBitBtn"));
  auto* tree = static_cast<TUcTreeView*>(find("tvTreeOfFile"));
  auto* label = static_cast<TUcLabel*>(find("laName"));
  auto* edit = static_cast<TUcEdit*>(find("ledMask"));
  auto* box = static_cast<TUcCheckBox*>(find("cbxFileAll"));
  auto* button = static_cast<TUcButton*>(find("btOk"));
  auto* list = static_cast<TUcListView*>(find("lvInfo"));
  auto* rich = static_cast<TUcRichEdit*>(find("redComment"));
  auto* image = static_cast<TUcImage*>(find("MIVOImage"));
  auto* labeled = static_cast<TUcLabeledEdit*>(find("ledPath"));
  auto* memo = static_cast<TUcMemo*>(find("mmNotes"));
  ASSERT_TRUE(panel && speed && bitBtn && tree && label && edit && box && button && list && rich && image && labeled &&
              memo);

  // What code adds, as the program's windows do.
  TUcTreeNode* root = tree->Items()->Add(nullptr, L"список.vq");
  TUcTreeNode* docs = tree->Items()->AddChild(root, L"\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B");
  tree->Items()->AddChild(docs, L"\u6587\u4EF6\u5939 \u0391\u03C1\u03C7\u03B5\u03AF\u03B1");
  tree->Items()->AddChild(root, WideToAnsi(L"\u041E\u0442\u0447\u0451\u0442\u044B"));  // an ANSI name
  root->Expand(true);
  tree->SetSelected(docs);
  const wchar_t* rows[][3] = {{L"..", L"", L""},
                              {L"\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B", L"----", L"\u043F\u0430\u043F\u043A\u0430"},
                              {L"\u62A5\u544A.txt", L"12", L"\u03B6\u03B7\u03BC\u03B9\u03AC \u043F\u043E\u0432\u0440\u0435\u0436\u0434\u0451\u043D"}};
  for (auto& row : rows) {
    TUcListItem* item = list->Items()->Add();
    item->SetCaption(row[0]);
    item->SubItems()->Add(row[1]);
    item->SubItems()->Add(row[2]);
  }
  rich->SetText(L"{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0 \\b \\'ca\\'ee\\'ec\\'ec\\'e5\\'ed"
                L"\\'f2\\'e0\\'f0\\'e8\\'e9\\b0  \\u27880?\\u37322?\\par \\ul \\'f1\\'f1\\'fb\\'eb\\'ea\\'e0\\ulnone}");
  memo->Lines()->Add(L"\u0417\u0430\u043C\u0435\u0442\u043A\u0438 \u7B14\u8BB0");
  memo->Lines()->Add(L"\u03A3\u03B7\u03BC\u03B5\u03B9\u03CE\u03C3\u03B5\u03B9\u03C2");
  labeled->EditLabel()->SetCaption(L"\u041F\u0443\u0442\u044C \u8DEF\u5F84:");
  labeled->SetLabelPosition(lpAbove);
  TBitmap glyph;
  glyph.SetSize(24, 24);
  glyph.Canvas()->Brush()->SetColor(clNavy);
  glyph.Canvas()->FillRect(TRect(0, 0, 24, 24));
  glyph.Canvas()->Brush()->SetColor(clYellow);
  glyph.Canvas()->Ellipse(3, 3, 21, 21);
  speed->SetGlyph(&glyph);
  bitBtn->SetGlyph(&glyph);
  TBitmap* logo = image->Picture()->Bitmap();
  logo->SetSize(32, 32);
  logo->Canvas()->Brush()->SetColor(clMaroon);
  logo->Canvas()->FillRect(TRect(0, 0, 32, 32));
  box->SetChecked(true);
  demo->Show();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(demo->Handle()) && !GetUpdateRect(demo->Handle(), nullptr, FALSE); },
                      "the demo window shown and painted"));

  // Each wide text from the layout reached its window or control.
  EXPECT_EQ(WindowTextW(panel->Handle()), L"\u041F\u0430\u043D\u0435\u043B\u044C \u9762\u677F \u03A0\u03AF\u03BD\u03B1\u03BA\u03B1\u03C2");
  EXPECT_EQ(speed->Caption().str(), L"\u041E\u0442\u043A\u0440\u044B\u0442\u044C");
  EXPECT_EQ(speed->Hint().str(), L"\u041E\u0442\u043A\u0440\u044B\u0442\u044C \u0441\u043F\u0438\u0441\u043E\u043A \u6253\u5F00");
  EXPECT_EQ(WindowTextW(bitBtn->Handle()), L"\u041D\u0430\u0439\u0442\u0438 \u67E5\u627E");
  EXPECT_EQ(label->Caption().str(), L"\u0418\u043C\u044F \u0444\u0430\u0439\u043B\u0430 (\u038C\u03BD\u03BF\u03BC\u03B1 \u6587\u4EF6\u540D):");
  EXPECT_EQ(WindowTextW(edit->Handle()), L"\u043E\u0442\u0447\u0451\u0442_\u62A5\u544A.txt");
  EXPECT_EQ(WindowTextW(box->Handle()), L"\u0412\u0441\u0435 \u043F\u043E\u043B\u044F \u6240\u6709");
  EXPECT_EQ(SendMessageW(box->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(WindowTextW(button->Handle()), L"\u041F\u0440\u0438\u043D\u044F\u0442\u044C \u039F\u039A");
  EXPECT_EQ(list->Columns()->Items(0)->Caption().str(), L"\u0418\u043C\u044F \u540D\u79F0");
  EXPECT_EQ(list->Columns()->Items(2)->Caption().str(), L"\u041A\u043E\u043C\u043C\u0435\u043D\u0442\u0430\u0440\u0438\u0438 \u03A3\u03C7\u03CC\u03BB\u03B9\u03B1");
  EXPECT_EQ(image->Hint().str(), L"\u0421\u0430\u0439\u0442 \u7F51\u7AD9");
  EXPECT_EQ(WindowTextW(labeled->Handle()), L"C:\\\u0414\u0430\u043D\u043D\u044B\u0435");
  EXPECT_EQ(rich->Text().str().substr(0, 14), L"\u041A\u043E\u043C\u043C\u0435\u043D\u0442\u0430\u0440\u0438\u0439 \u6CE8\u91CA");
  EXPECT_EQ(memo->Lines()->Count(), 2);
  EXPECT_EQ(tree->Items()->Item(3)->Text().str(), L"\u041E\u0442\u0447\u0451\u0442\u044B");
  EXPECT_EQ(list->Items()->Item(2)->SubItems()->Get(1).str(), rows[2][2]);

  // The picture, taken from the screen as it shows, once it shows what a
  // user would see: the logo and the button glyph where their controls are
  // (the glyph's images are made in a later paint than the first).
  TBitmap picture;
  picture.SetPixelFormat(pf24bit);
  RECT wr;
  auto takePicture = [&] {
    GetWindowRect(demo->Handle(), &wr);
    picture.SetSize(wr.right - wr.left, wr.bottom - wr.top);
    HDC screen = GetDC(nullptr);
    BitBlt(picture.Canvas()->Handle(), 0, 0, wr.right - wr.left, wr.bottom - wr.top, screen, wr.left, wr.top,
           SRCCOPY);
    ReleaseDC(nullptr, screen);
  };
  auto pixelsIn = [&](TControl* control, TColor color) {
    POINT at{control->Left(), control->Top()};
    MapWindowPoints(control->Parent()->Handle(), nullptr, &at, 1);
    int n = 0;
    for (int y = 0; y < control->Height(); ++y)
      for (int x = 0; x < control->Width(); ++x)
        if (ColorToRGB(picture.Canvas()->Pixels(at.x - wr.left + x, at.y - wr.top + y)) == ColorToRGB(color)) ++n;
    return n;
  };
  const struct {
    const char* What;
    TControl* Control;
    TColor Color;
    int AtLeast;
  } seen[] = {{"the maroon logo", image, clMaroon, 30 * 30},
              // The glyph's navy corner is its transparent colour.
              {"the yellow circle of the speed button's glyph", speed, clYellow, 100}};
  auto allSeen = [&] {
    takePicture();
    for (const auto& c : seen)
      if (pixelsIn(c.Control, c.Color) < c.AtLeast) return false;
    return true;
  };
  EXPECT_TRUE(WaitFor(allSeen, "the logo and the speed button's glyph on the screen"));
  for (const auto& c : seen) EXPECT_GE(pixelsIn(c.Control, c.Color), c.AtLeast) << c.What;
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string file(path);
  file = file.substr(0, file.find_last_of('\\') + 1) + "demo_uc_controls.bmp";
  picture.SaveToFile(file.c_str());
  EXPECT_EQ(ReadFileBytes(file).substr(0, 2), "BM");
}
