// The printer: its device context, pages and canvas, over the system's
// printers by name (the default one unless another is chosen).
#pragma once

#include "graphics.h"

#include <winspool.h>

#include <vector>

// winspool.h maps SetPrinter to SetPrinterA; here it is the process-wide printer.
#undef SetPrinter

class TPrinter;

// The canvas of the printer: the printing DC while a document is open,
// otherwise an information context of the same printer (to measure text).
class TPrinterCanvas : public TCanvas {
  CL_CLASS(TPrinterCanvas, TCanvas)
public:
  explicit TPrinterCanvas(TPrinter* printer) : FPrinter(printer) {}

protected:
  void CreateHandle() override;

private:
  TPrinter* FPrinter;
};

enum TPrinterOrientation : uint8_t { poPortrait, poLandscape };

class TPrinter : public TObject {
  CL_CLASS(TPrinter, TObject)
public:
  TPrinter();
  ~TPrinter() override;
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  // EPrinter "Printing in progress" when a document is open already.
  void BeginDoc();
  // EPrinter "Printer is not currently printing" without an open document.
  void EndDoc();
  void NewPage();
  void Abort();

  TCanvas* Canvas() { return FCanvas; }
  // The device context: the printing one, or an information context.
  HDC Handle();
  // The system's printer names (refreshed on each call).
  TStrings* Printers();
  // -1 is the default printer; EPrinter "Printer index out of range" otherwise.
  // Another printer starts with its own default settings.
  int PrinterIndex();
  void SetPrinterIndex(int v);
  // The printer of that name with these settings (as the system's printer
  // dialogs answer them; null: the printer's own defaults). EPrinter "Printer
  // selected is not valid" when the system has no printer of that name.
  void SetPrinter(const AnsiString& device, const DEVMODEA* deviceMode);
  // The settings chosen for the printer in use; null while its defaults apply.
  const DEVMODEA* DeviceMode() const;
  // The name of the printer in use; ENoDefaultPrinter "There is no default
  // printer currently selected" when there is none.
  virtual AnsiString PrinterName();
  int PageWidth();   // HORZRES
  int PageHeight();  // VERTRES
  int PageNumber() const { return FPageNumber; }
  bool Printing() const { return FPrinting; }
  bool Aborted() const { return FAborted; }
  const AnsiString& Title() const { return FTitle; }
  void SetTitle(const AnsiString& v) { FTitle = v; }

protected:
  // The device steps, over the system's spooler; a derived printer may direct
  // them elsewhere (a test's memory DC, a preview). Each returns false when
  // the device refused, leaving the reason in GetLastError.
  virtual HDC CreateDeviceContext(const AnsiString& name, bool informationOnly);
  virtual bool StartDocument(HDC dc, const AnsiString& title);
  virtual bool StartDevicePage(HDC dc);
  virtual bool EndDevicePage(HDC dc);
  virtual bool EndDocument(HDC dc);
  virtual void AbortDocument(HDC dc);

private:
  friend class TPrinterCanvas;
  void CheckPrinting(bool value);
  void FreeDC();
  HDC DeviceContext();
  TPrinterCanvas* FCanvas;
  TStringList* FPrinters;
  int FPrinterIndex = -1;
  std::vector<BYTE> FDeviceMode;  // a DEVMODEA with its driver's extra bytes
  HDC FDC = nullptr;      // printing DC or information context
  bool FDCIsIC = false;
  bool FPrinting = false;
  bool FAborted = false;
  int FPageNumber = 0;
  AnsiString FTitle;
};

// The process-wide printer, made on first use.
TPrinter* Printer();
// Replaces the process-wide printer; returns the old one (the caller owns it).
TPrinter* SetPrinter(TPrinter* printer);

void UnitInit_printers();
void UnitFini_printers();
