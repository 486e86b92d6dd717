#include "printers.h"

#include <vector>

CL_DEFINE_CLASS(TPrinterCanvas, TCanvas)
CL_DEFINE_CLASS(TPrinter, TObject)

namespace {
TPrinter* ThePrinter = nullptr;
}

TPrinter* Printer() {
  if (!ThePrinter) ThePrinter = new TPrinter;
  return ThePrinter;
}

TPrinter* SetPrinter(TPrinter* printer) {
  TPrinter* old = ThePrinter;
  ThePrinter = printer;
  return old;
}

void TPrinterCanvas::CreateHandle() {
  HDC dc = FPrinter->DeviceContext();
  // The font keeps its size in points on the printer's resolution.
  int ppi = GetDeviceCaps(dc, LOGPIXELSY);
  if (ppi > 0 && ppi != Font()->PixelsPerInch()) {
    int size = Font()->Size();
    Font()->SetPixelsPerInch(ppi);
    Font()->SetSize(size);
  }
  SetHandle(dc);
}

TPrinter::TPrinter() : FCanvas(new TPrinterCanvas(this)), FPrinters(new TStringList) {}

TPrinter::~TPrinter() {
  if (FPrinting) {
    // A document left open is abandoned rather than half printed.
    AbortDocument(FDC);
    FPrinting = false;
  }
  FreeDC();
  delete FCanvas;
  delete FPrinters;
}

TStrings* TPrinter::Printers() {
  FPrinters->Clear();
  DWORD needed = 0, count = 0;
  const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  EnumPrintersA(flags, nullptr, 4, nullptr, 0, &needed, &count);
  if (needed) {
    std::vector<BYTE> buf(needed);
    if (EnumPrintersA(flags, nullptr, 4, buf.data(), needed, &needed, &count)) {
      auto* info = reinterpret_cast<PRINTER_INFO_4A*>(buf.data());
      for (DWORD i = 0; i < count; ++i)
        if (info[i].pPrinterName) FPrinters->Add(info[i].pPrinterName);
    }
  }
  return FPrinters;
}

int TPrinter::PrinterIndex() { return FPrinterIndex; }

void TPrinter::SetPrinterIndex(int v) {
  CheckPrinting(false);
  if (v < -1 || v >= Printers()->Count()) throw EPrinter("Printer index out of range");
  if (v == FPrinterIndex) return;
  FPrinterIndex = v;
  FDeviceMode.clear();
  FreeDC();
}

void TPrinter::SetPrinter(const AnsiString& device, const DEVMODEA* deviceMode) {
  CheckPrinting(false);
  const int index = Printers()->IndexOf(device);
  if (index < 0) throw EPrinter("Printer selected is not valid");
  FPrinterIndex = index;
  FDeviceMode.clear();
  if (deviceMode) {
    const auto* bytes = reinterpret_cast<const BYTE*>(deviceMode);
    FDeviceMode.assign(bytes, bytes + deviceMode->dmSize + deviceMode->dmDriverExtra);
  }
  FreeDC();
}

const DEVMODEA* TPrinter::DeviceMode() const {
  return FDeviceMode.empty() ? nullptr : reinterpret_cast<const DEVMODEA*>(FDeviceMode.data());
}

AnsiString TPrinter::PrinterName() {
  if (FPrinterIndex >= 0) {
    TStrings* list = Printers();
    if (FPrinterIndex < list->Count()) return list->Strings(FPrinterIndex);
    FPrinterIndex = -1;  // the printer has gone; fall back to the default
    FDeviceMode.clear();
  }
  char name[512];
  DWORD size = sizeof name;
  if (!GetDefaultPrinterA(name, &size) || !name[0]) throw ENoDefaultPrinter("There is no default printer currently selected");
  return name;
}

void TPrinter::FreeDC() {
  FCanvas->SetHandle(nullptr);
  if (FDC) DeleteDC(FDC);
  FDC = nullptr;
  FDCIsIC = false;
}

HDC TPrinter::DeviceContext() {
  if (!FDC) {
    AnsiString name = PrinterName();
    FDC = CreateDeviceContext(name, true);
    if (!FDC) throw EPrinter("Printer selected is not valid");
    FDCIsIC = true;
  }
  return FDC;
}

HDC TPrinter::Handle() { return DeviceContext(); }

void TPrinter::CheckPrinting(bool value) {
  if (FPrinting == value) return;
  throw EPrinter(value ? "Printer is not currently printing" : "Printing in progress");
}

void TPrinter::BeginDoc() {
  CheckPrinting(false);
  AnsiString name = PrinterName();
  FreeDC();
  HDC dc = CreateDeviceContext(name, false);
  if (!dc) throw EPrinter("Printer selected is not valid");
  if (!StartDocument(dc, FTitle)) {
    DWORD err = GetLastError();
    DeleteDC(dc);
    throw EPrinter(SysErrorMessage(err), err);
  }
  if (!StartDevicePage(dc)) {
    DWORD err = GetLastError();
    AbortDocument(dc);
    DeleteDC(dc);
    throw EPrinter(SysErrorMessage(err), err);
  }
  FDC = dc;
  FDCIsIC = false;
  FPrinting = true;
  FAborted = false;
  FPageNumber = 1;
}

void TPrinter::EndDoc() {
  CheckPrinting(true);
  FCanvas->Refresh();
  if (!FAborted) {
    EndDevicePage(FDC);
    EndDocument(FDC);
  }
  FPrinting = false;
  FAborted = false;
  FPageNumber = 0;
  FreeDC();
}

void TPrinter::NewPage() {
  CheckPrinting(true);
  FCanvas->Refresh();
  EndDevicePage(FDC);
  StartDevicePage(FDC);
  ++FPageNumber;
}

void TPrinter::Abort() {
  CheckPrinting(true);
  AbortDocument(FDC);
  FAborted = true;
  EndDoc();
}

HDC TPrinter::CreateDeviceContext(const AnsiString& name, bool informationOnly) {
  const DEVMODEA* mode = DeviceMode();
  return informationOnly ? CreateICA("WINSPOOL", name.c_str(), nullptr, mode)
                         : CreateDCA("WINSPOOL", name.c_str(), nullptr, mode);
}

bool TPrinter::StartDocument(HDC dc, const AnsiString& title) {
  DOCINFOA di;
  ZeroMemory(&di, sizeof di);
  di.cbSize = sizeof di;
  di.lpszDocName = title.IsEmpty() ? "Document" : title.c_str();
  return StartDocA(dc, &di) > 0;
}

bool TPrinter::StartDevicePage(HDC dc) { return StartPage(dc) > 0; }
bool TPrinter::EndDevicePage(HDC dc) { return EndPage(dc) > 0; }
bool TPrinter::EndDocument(HDC dc) { return ::EndDoc(dc) > 0; }
void TPrinter::AbortDocument(HDC dc) { AbortDoc(dc); }

int TPrinter::PageWidth() { return GetDeviceCaps(DeviceContext(), HORZRES); }

int TPrinter::PageHeight() { return GetDeviceCaps(DeviceContext(), VERTRES); }

void UnitInit_printers() {}

void UnitFini_printers() {
  delete ThePrinter;
  ThePrinter = nullptr;
}
