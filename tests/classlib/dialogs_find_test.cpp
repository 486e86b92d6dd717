// The modeless find dialog on a real window: its options as the system's
// flags, the user's request reaching OnFind, the remembered position and the
// text limit. The printer-setup, font and colour dialogs driven through their
// own controls: what the user chose is what the program gets.
#include <gtest/gtest.h>

#include <functional>

#include "dialogs_find.h"
#include "guitest.h"
#include "printers.h"

#include <colordlg.h>
#include <dlgs.h>

inline void PrintTo(const AnsiString& s, std::ostream* os) { *os << '"' << s.c_str() << '"'; }

namespace {

using FindDialog = GuiTest;
using ChoiceDialogs = GuiTest;

struct TFindEvents {
  int Finds = 0;
  AnsiString Text;
  TFindOptions Options = 0;
  TFindDialog* Dialog = nullptr;
  void Find(TObject*) {
    ++Finds;
    Text = Dialog->FindText();
    Options = Dialog->Options();
  }
};

TFindDialog* OpenDialog = nullptr;
bool DialogClosed() { return OpenDialog->Handle() == nullptr; }

TEST(FindOptions, FlagsRoundTrip) {
  struct Row {
    TFindOptions Options;
    DWORD Flags;
  } rows[] = {
      {FindOption(frDown), FR_DOWN},
      {FindOption(frMatchCase) | FindOption(frWholeWord), FR_MATCHCASE | FR_WHOLEWORD},
      {FindOption(frDisableMatchCase) | FindOption(frDisableUpDown) | FindOption(frDisableWholeWord),
       FR_NOMATCHCASE | FR_NOUPDOWN | FR_NOWHOLEWORD},
      {FindOption(frHideMatchCase) | FindOption(frHideWholeWord) | FindOption(frHideUpDown),
       FR_HIDEMATCHCASE | FR_HIDEWHOLEWORD | FR_HIDEUPDOWN},
      {FindOption(frFindNext) | FindOption(frReplace) | FindOption(frReplaceAll) | FindOption(frShowHelp),
       FR_FINDNEXT | FR_REPLACE | FR_REPLACEALL | FR_SHOWHELP},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(FindOptionsToFlags(r.Options), r.Flags);
    EXPECT_EQ(FlagsToFindOptions(r.Flags), r.Options);
  }
  // Flags the options do not know are dropped.
  EXPECT_EQ(FlagsToFindOptions(FR_DIALOGTERM | FR_ENABLEHOOK), 0);
}

TEST(FindOptions, TextIsCutAt255Characters) {
  TFindDialog d(nullptr);
  d.SetFindText(AnsiString(std::string(300, 'x')));
  EXPECT_EQ(d.FindText().Length(), 255);
  TReplaceDialog r(nullptr);
  r.SetReplaceText(AnsiString(std::string(256, 'y')));
  EXPECT_EQ(r.ReplaceText().Length(), 255);
}

TEST_F(FindDialog, FindNextReachesOnFindWithTheUsersOptions) {
  TFindDialog d(nullptr);
  TFindEvents events;
  events.Dialog = &d;
  d.OnFind = MakeEvent<&TFindEvents::Find>(&events);
  d.SetFindText("needle");
  d.SetOptions(FindOption(frDown) | FindOption(frMatchCase));
  d.SetPosition(TPoint(40, 50));
  ASSERT_TRUE(d.Execute());
  ASSERT_NE(d.Handle(), nullptr);
  EXPECT_EQ(d.Left(), 40);
  EXPECT_EQ(d.Top(), 50);
  // A second Execute only brings the open dialog forward.
  HWND first = d.Handle();
  EXPECT_TRUE(d.Execute());
  EXPECT_EQ(d.Handle(), first);

  SendMessageA(GetDlgItem(d.Handle(), IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return events.Finds > 0; }, "Find Next reached OnFind"));
  EXPECT_EQ(events.Finds, 1);
  EXPECT_EQ(events.Text, AnsiString("needle"));
  EXPECT_TRUE(events.Options & FindOption(frMatchCase));
  EXPECT_TRUE(events.Options & FindOption(frDown));

  SetWindowPos(d.Handle(), nullptr, 70, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  d.CloseDialog();
  OpenDialog = &d;
  ASSERT_TRUE(WaitFor(&DialogClosed, "the find dialog closed"));
  // Closed, it reports where it was last.
  EXPECT_EQ(d.Left(), 70);
  EXPECT_EQ(d.Top(), 80);
}

// Runs a step on the next system dialog (window class "#32770") this thread
// activates, from inside that dialog's own message loop; the step sets the
// dialog's controls and presses one of its buttons.
class DriveDialog {
public:
  explicit DriveDialog(std::function<void(HWND)> step) : FStep(std::move(step)) {
    FCurrent = this;
    FHook = SetWindowsHookExA(WH_CBT, &DriveDialog::CbtProc, nullptr, GetCurrentThreadId());
  }
  ~DriveDialog() {
    UnhookWindowsHookEx(FHook);
    if (FTimer) KillTimer(nullptr, FTimer);
    FCurrent = nullptr;
  }
  DriveDialog(const DriveDialog&) = delete;
  DriveDialog& operator=(const DriveDialog&) = delete;
  bool Ran() const { return FRan; }

private:
  static LRESULT CALLBACK CbtProc(int code, WPARAM w, LPARAM l) {
    if (code == HCBT_ACTIVATE && FCurrent && !FCurrent->FDialog) {
      char cls[32] = {};
      GetClassNameA(reinterpret_cast<HWND>(w), cls, sizeof cls);
      if (std::string(cls) == "#32770") {
        FCurrent->FDialog = reinterpret_cast<HWND>(w);
        // Out of the hook: the dialog finishes its activation first.
        FCurrent->FTimer = SetTimer(nullptr, 0, 0, &DriveDialog::Tick);
      }
    }
    return CallNextHookEx(nullptr, code, w, l);
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (!FCurrent || FCurrent->FRan) return;
    FCurrent->FTimer = 0;
    FCurrent->FRan = true;
    FCurrent->FStep(FCurrent->FDialog);
  }
  std::function<void(HWND)> FStep;
  HHOOK FHook = nullptr;
  HWND FDialog = nullptr;
  UINT_PTR FTimer = 0;
  bool FRan = false;
  static inline DriveDialog* FCurrent = nullptr;
};

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Selects a combo box entry as the user does: the selection, then the
// notification the dialog acts on.
void SelectEntry(HWND dialog, int id, int index) {
  HWND combo = GetDlgItem(dialog, id);
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

std::string EntryText(HWND dialog, int id, int index) {
  HWND combo = GetDlgItem(dialog, id);
  const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

// Two printers of Wine's PostScript driver that print into files (Wine has
// no printer of its own here), installed for one test and removed after it;
// the first is the system's default. The driver's printer description is the
// generic one the spooler keeps among its resources.
class FilePrinters {
public:
  static constexpr const char* Driver = "Fennolit File Driver";
  static constexpr const char* First = "Fennolit File A";
  static constexpr const char* Second = "Fennolit File B";

  FilePrinters() {
    // Left over from a run that ended early.
    for (const char* name : {First, Second}) {
      HANDLE h = nullptr;
      PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
      if (OpenPrinterA(const_cast<char*>(name), &h, &access)) {
        DeletePrinter(h);
        ClosePrinter(h);
      }
    }
    char dir[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir), sizeof dir, &needed)) return;
    FDescription = std::string(dir) + "\\fennolit-file.ppd";
    HMODULE spooler = LoadLibraryExA("winspool.drv", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC res = spooler ? FindResourceA(spooler, MAKEINTRESOURCEA(1), "PPDFILE") : nullptr;
    if (!res) return;
    const char* text = static_cast<const char*>(LockResource(LoadResource(spooler, res)));
    WriteFileBytes(FDescription, std::string(text, SizeofResource(spooler, res)));
    FreeLibrary(spooler);
    DRIVER_INFO_3A driver{};
    driver.cVersion = 3;
    driver.pName = const_cast<char*>(Driver);
    driver.pDriverPath = const_cast<char*>("wineps.drv");
    driver.pDataFile = FDescription.data();
    driver.pConfigFile = const_cast<char*>("wineps.drv");
    driver.pDefaultDataType = const_cast<char*>("RAW");
    if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&driver))) return;
    for (const char* name : {First, Second}) {
      PRINTER_INFO_2A info{};
      info.pPrinterName = const_cast<char*>(name);
      info.pPortName = const_cast<char*>("FILE:");
      info.pDriverName = const_cast<char*>(Driver);
      info.pPrintProcessor = const_cast<char*>("WinPrint");
      info.pDatatype = const_cast<char*>("RAW");
      if (HANDLE h = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info))) FPrinters.push_back(h);
    }
    SetDefaultPrinterA(First);
  }
  ~FilePrinters() {
    // The process-wide printer may hold one of them.
    delete SetPrinter(nullptr);
    for (HANDLE h : FPrinters) {
      DeletePrinter(h);
      ClosePrinter(h);
    }
    DeletePrinterDriverA(nullptr, nullptr, const_cast<char*>(Driver));
    if (!FDescription.empty()) DeleteFileA(FDescription.c_str());
  }
  bool Ready() const { return FPrinters.size() == 2; }

private:
  std::string FDescription;
  std::vector<HANDLE> FPrinters;
};

TEST_F(ChoiceDialogs, PrinterSetupAppliesTheChosenPrinterAndSettings) {
  FilePrinters printers;
  ASSERT_TRUE(printers.Ready()) << "file printers on Wine's PostScript driver";
  delete SetPrinter(nullptr);
  ASSERT_EQ(Printer()->PrinterName(), AnsiString(FilePrinters::First));
  ASSERT_LT(Printer()->PageWidth(), Printer()->PageHeight()) << "the default is portrait";

  TPrinterSetupDialog d(nullptr);
  {
    // The second printer, turned to landscape.
    DriveDialog drive([](HWND dlg) {
      HWND combo = GetDlgItem(dlg, cmb1);
      const LRESULT index = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(FilePrinters::Second));
      SelectEntry(dlg, cmb1, static_cast<int>(index));
      Click(dlg, rad2);
      Click(dlg, IDOK);
    });
    EXPECT_TRUE(d.Execute());
    EXPECT_TRUE(drive.Ran());
  }
  EXPECT_EQ(Printer()->PrinterName(), AnsiString(FilePrinters::Second));
  ASSERT_NE(Printer()->DeviceMode(), nullptr);
  EXPECT_EQ(Printer()->DeviceMode()->dmOrientation, DMORIENT_LANDSCAPE);
  // The device the program measures and prints on is the chosen one.
  EXPECT_GT(Printer()->PageWidth(), Printer()->PageHeight());

  {
    // The dialog opens at the choice in use; a cancelled one changes nothing.
    std::string shown;
    bool landscape = false;
    DriveDialog drive([&](HWND dlg) {
      shown = EntryText(dlg, cmb1, static_cast<int>(SendMessageA(GetDlgItem(dlg, cmb1), CB_GETCURSEL, 0, 0)));
      landscape = IsDlgButtonChecked(dlg, rad2) == BST_CHECKED;
      Click(dlg, rad1);
      Click(dlg, IDCANCEL);
    });
    EXPECT_FALSE(d.Execute());
    EXPECT_EQ(shown, FilePrinters::Second);
    EXPECT_TRUE(landscape);
  }
  EXPECT_EQ(Printer()->PrinterName(), AnsiString(FilePrinters::Second));
  EXPECT_GT(Printer()->PageWidth(), Printer()->PageHeight());

  // Another printer by index starts with its own defaults.
  Printer()->SetPrinterIndex(Printer()->Printers()->IndexOf(FilePrinters::First));
  EXPECT_EQ(Printer()->DeviceMode(), nullptr);
  EXPECT_LT(Printer()->PageWidth(), Printer()->PageHeight());
}

TEST_F(ChoiceDialogs, PrintDialogAppliesTheChosenPrinter) {
  FilePrinters printers;
  ASSERT_TRUE(printers.Ready()) << "file printers on Wine's PostScript driver";
  delete SetPrinter(nullptr);
  TPrintDialog d(nullptr);
  DriveDialog drive([](HWND dlg) {
    const LRESULT index = SendMessageA(GetDlgItem(dlg, cmb4), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(FilePrinters::Second));
    SelectEntry(dlg, cmb4, static_cast<int>(index));
    Click(dlg, IDOK);
  });
  EXPECT_TRUE(d.Execute());
  EXPECT_TRUE(drive.Ran());
  EXPECT_EQ(Printer()->PrinterName(), AnsiString(FilePrinters::Second));
  ASSERT_NE(Printer()->DeviceMode(), nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Printer()->DeviceMode()->dmDeviceName)),
            FilePrinters::Second);
}

TEST_F(ChoiceDialogs, FontDialogGivesBackTheChosenFont) {
  TFontDialog d(nullptr);
  d.Font()->SetName("Tahoma");
  d.Font()->SetSize(10);
  d.Font()->SetColor(clBlack);
  std::string face, size;
  COLORREF color = 0;
  DriveDialog drive([&](HWND dlg) {
    // A face other than the current one, as the system lists them.
    const std::string current = WindowTextA(GetDlgItem(dlg, cmb1));
    const int faces = static_cast<int>(SendMessageA(GetDlgItem(dlg, cmb1), CB_GETCOUNT, 0, 0));
    for (int i = 0; i < faces && face.empty(); ++i)
      if (EntryText(dlg, cmb1, i) != current) {
        face = EntryText(dlg, cmb1, i);
        SelectEntry(dlg, cmb1, i);
      }
    // The largest size offered for it.
    const int sizes = static_cast<int>(SendMessageA(GetDlgItem(dlg, cmb3), CB_GETCOUNT, 0, 0));
    if (sizes > 0) {
      size = EntryText(dlg, cmb3, sizes - 1);
      SelectEntry(dlg, cmb3, sizes - 1);
    }
    Click(dlg, chx1);  // strike-out
    Click(dlg, chx2);  // underline
    // A colour other than black.
    HWND colors = GetDlgItem(dlg, cmb4);
    const int count = static_cast<int>(SendMessageA(colors, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      const auto c = static_cast<COLORREF>(SendMessageA(colors, CB_GETITEMDATA, static_cast<WPARAM>(i), 0));
      if (c != RGB(0, 0, 0) && c != 0) {
        color = c;
        SelectEntry(dlg, cmb4, i);
        break;
      }
    }
    Click(dlg, IDOK);
  });
  ASSERT_TRUE(d.Execute());
  ASSERT_TRUE(drive.Ran());
  ASSERT_FALSE(face.empty());
  EXPECT_EQ(d.Font()->Name(), AnsiString(face));
  ASSERT_FALSE(size.empty()) << "the dialog offers sizes";
  EXPECT_EQ(d.Font()->Size(), std::stoi(size));
  EXPECT_NE(d.Font()->Size(), 10);
  EXPECT_EQ(d.Font()->Style() & (fsStrikeOut | fsUnderline), fsStrikeOut | fsUnderline);
  EXPECT_EQ(ColorToRGB(d.Font()->Color()), color);

  // Cancelled: the font stays as it was.
  const AnsiString before = d.Font()->Name();
  DriveDialog cancel([](HWND dlg) { Click(dlg, IDCANCEL); });
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.Font()->Name(), before);
}

TEST_F(ChoiceDialogs, ColorDialogGivesBackTheChosenColor) {
  TColorDialog d(nullptr);
  d.SetColor(clBtnFace);  // a system colour starts as its RGB value
  COLORREF shown = 0;
  DriveDialog drive([&](HWND dlg) {
    shown = RGB(GetDlgItemInt(dlg, COLOR_RED, nullptr, FALSE), GetDlgItemInt(dlg, COLOR_GREEN, nullptr, FALSE),
                GetDlgItemInt(dlg, COLOR_BLUE, nullptr, FALSE));
    // The red, green and blue boxes as typed in.
    const struct {
      int Id;
      UINT Value;
    } boxes[] = {{COLOR_RED, 18}, {COLOR_GREEN, 52}, {COLOR_BLUE, 86}};
    for (const auto& b : boxes) {
      SetDlgItemInt(dlg, b.Id, b.Value, FALSE);
      SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(b.Id, EN_UPDATE), reinterpret_cast<LPARAM>(GetDlgItem(dlg, b.Id)));
    }
    Click(dlg, IDOK);
  });
  ASSERT_TRUE(d.Execute());
  ASSERT_TRUE(drive.Ran());
  EXPECT_EQ(shown, ColorToRGB(clBtnFace));
  EXPECT_EQ(d.Color(), static_cast<TColor>(RGB(18, 52, 86)));

  DriveDialog cancel([](HWND dlg) { Click(dlg, IDCANCEL); });
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.Color(), static_cast<TColor>(RGB(18, 52, 86)));
}

}  // namespace
