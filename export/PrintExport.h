// Printing the shown entries: the lines (relative paths of the files, "*"
// before damaged ones) and their layout on pages, wrapped where a line is
// wider than the page. The layout draws on a surface, so it runs on the
// class library's printer and on any other canvas alike.
#pragma once

#include "ListNode.h"
#include "classes.h"

class TPrinter;

// Every file of the list and of its folders, depth first in list order.
void CollectPrintLines(const TList* list, const AnsiString& prefix, TStrings* lines);

// What the layout needs of a printer.
class IPrintSurface {
public:
  virtual ~IPrintSurface() = default;
  virtual int PageWidth() = 0;
  virtual int PageHeight() = 0;
  virtual int TextWidth(const AnsiString& text) = 0;
  virtual int TextHeight(const AnsiString& text) = 0;
  virtual void TextOut(int x, int y, const AnsiString& text) = 0;
  virtual void NewPage() = 0;
};

// Lays the lines out from (100, 100) down, 100 units from every edge; a page
// is full once a line ends below its height less 200. A line at least as
// wide as the page is cut two characters at a time until its first part
// fits, and its rest is cut the same way until every part fits. A line of
// which no part fits (a page narrower than its margins) is printed whole.
void PrintLines(TStrings* lines, IPrintSurface& surface);

// The class library's printer as a surface (its document must be open).
class TPrinterSurface : public IPrintSurface {
public:
  explicit TPrinterSurface(TPrinter* printer) : FPrinter(printer) {}
  int PageWidth() override;
  int PageHeight() override;
  int TextWidth(const AnsiString& text) override;
  int TextHeight(const AnsiString& text) override;
  void TextOut(int x, int y, const AnsiString& text) override;
  void NewPage() override;

private:
  TPrinter* FPrinter;
};

// Prints the lines on the printer: one document, the font "Times New Roman"
// at the canvas's size. A failure of the printer aborts the document and
// passes on.
void PrintDocument(TPrinter* printer, TStrings* lines, const AnsiString& title);
