// The printer object: its state rules and canvas, printed onto a memory page
// through the device steps a derived printer directs; and the system's own
// printer list.
#include <gtest/gtest.h>

#include "harness.h"
#include "printers.h"

#include <memory>

namespace {
// Prints into a 600 dpi-like memory page and records the steps.
class TMemoryPrinter : public TPrinter {
public:
  std::vector<std::string> Steps;
  bool RefuseStart = false;
  AnsiString PrinterName() override { return "Memory"; }

protected:
  HDC CreateDeviceContext(const AnsiString& name, bool informationOnly) override {
    Steps.push_back(std::string(informationOnly ? "ic " : "dc ") + name.c_str());
    return CreateWhiteDibDC(400, 300, &Page);
  }
  bool StartDocument(HDC, const AnsiString& title) override {
    Steps.push_back("start " + std::string(title.c_str()));
    SetLastError(ERROR_CANCELLED);
    return !RefuseStart;
  }
  bool StartDevicePage(HDC) override { Steps.push_back("page"); return true; }
  bool EndDevicePage(HDC dc) override {
    Steps.push_back("endpage");
    LastPageInk = 0;
    for (int y = 0; y < 300; ++y)
      for (int x = 0; x < 400; ++x)
        if (GetPixel(dc, x, y) != RGB(255, 255, 255)) ++LastPageInk;
    return true;
  }
  bool EndDocument(HDC) override { Steps.push_back("end"); return true; }
  void AbortDocument(HDC) override { Steps.push_back("abort"); }

public:
  HBITMAP Page = nullptr;
  int LastPageInk = 0;
};
}  // namespace

TEST(Printer, DocumentStepsAndStateErrors) {
  TMemoryPrinter p;
  p.SetTitle("Список");
  EXPECT_FALSE(p.Printing());
  try {
    p.EndDoc();
    FAIL();
  } catch (const EPrinter& e) {
    EXPECT_EQ(e.Message(), "Printer is not currently printing");
  }
  EXPECT_THROW(p.NewPage(), EPrinter);
  int width = p.PageWidth();  // measured on an information context
  EXPECT_EQ(width, GetDeviceCaps(p.Handle(), HORZRES));
  p.BeginDoc();
  EXPECT_TRUE(p.Printing());
  EXPECT_EQ(p.PageNumber(), 1);
  try {
    p.BeginDoc();
    FAIL();
  } catch (const EPrinter& e) {
    EXPECT_EQ(e.Message(), "Printing in progress");
  }
  p.Canvas()->Font()->SetName("Times New Roman");
  p.Canvas()->TextOut(100, 100, "Строка");
  EXPECT_GT(p.Canvas()->TextWidth("Строка"), 0);
  p.NewPage();
  EXPECT_EQ(p.PageNumber(), 2);
  p.EndDoc();
  EXPECT_FALSE(p.Printing());
  std::vector<std::string> expected = {"ic Memory", "dc Memory", "start Список", "page", "endpage",
                                       "page", "endpage", "end"};
  EXPECT_EQ(p.Steps, expected);
}

TEST(Printer, TextReachesThePageAndAbortSkipsTheEnd) {
  TMemoryPrinter p;
  p.BeginDoc();
  p.Canvas()->Font()->SetName("Arial");
  p.Canvas()->Font()->SetSize(20);
  p.Canvas()->TextOut(10, 10, "WWWW");
  p.EndDoc();
  EXPECT_GT(p.LastPageInk, 20);
  // The canvas font keeps its size in points at the device's resolution.
  EXPECT_EQ(p.Canvas()->Font()->Size(), 20);

  TMemoryPrinter q;
  q.BeginDoc();
  q.Abort();
  EXPECT_FALSE(q.Printing());
  std::vector<std::string> expected = {"dc Memory", "start ", "page", "abort"};
  EXPECT_EQ(q.Steps, expected);

  TMemoryPrinter r;
  r.RefuseStart = true;
  try {
    r.BeginDoc();
    ADD_FAILURE() << "a refused start raised nothing";
  } catch (const EPrinter& e) {
    // The device's reason goes with the error; a printer is there.
    EXPECT_FALSE(e.Is<ENoDefaultPrinter>());
    EXPECT_EQ(e.ErrorCode(), static_cast<DWORD>(ERROR_CANCELLED));
    EXPECT_EQ(e.Message(), SysErrorMessage(ERROR_CANCELLED));
  }
  EXPECT_FALSE(r.Printing());
}

TEST(Printer, SystemPrinterListAndDefault) {
  // The list is what the spooler reports; with no printer installed, using
  // the default printer is an error rather than a silent success.
  DWORD needed = 0, count = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed, &count);
  TPrinter* p = Printer();
  EXPECT_EQ(p, Printer());
  if (needed == 0) {
    EXPECT_EQ(p->Printers()->Count(), 0);
    try {
      p->BeginDoc();
      FAIL();
    } catch (const EPrinter& e) {
      EXPECT_EQ(e.Message(), "There is no default printer currently selected");
      // Its own kind, so that a program can say so in its own words.
      EXPECT_TRUE(e.Is<ENoDefaultPrinter>());
    }
    EXPECT_THROW(p->SetPrinterIndex(0), EPrinter);
  } else {
    EXPECT_GT(p->Printers()->Count(), 0);
  }
  // The process-wide printer can be replaced (and given back).
  auto* mine = new TMemoryPrinter;
  TPrinter* old = SetPrinter(mine);
  EXPECT_EQ(Printer(), mine);
  EXPECT_EQ(SetPrinter(old), mine);
  delete mine;
}
