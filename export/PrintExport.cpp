#include "PrintExport.h"

#include "printers.h"

void CollectPrintLines(const TList* list, const AnsiString& prefix, TStrings* lines) {
  struct TLines : TEntryVisitor {
    TStrings* Lines;
    std::string Line;
    TWalkStep Entry(const ListNode* node, const std::string& folder) {
      if (node->Kind == ekFolder) return TWalkStep::Go;
      Line.clear();
      if (node->Attributes & DamagedBit) Line += '*';
      if (!folder.empty()) {
        Line += folder;
        Line += '\\';
      }
      Line += FieldView(node->Name);
      Lines->Add(AnsiString(Line));
      return TWalkStep::Go;
    }
  } collect;
  collect.Lines = lines;
  WalkEntries(list, '\\', collect, prefix.str());
}

namespace {

constexpr int Margin = 100;

}  // namespace

void PrintLines(TStrings* lines, IPrintSurface& surface) {
  int y = Margin;
  for (int n = 0; n < lines->Count(); ++n) {
    const AnsiString line = lines->Strings(n);
    const int limit = surface.PageWidth() - 2 * Margin;
    auto put = [&](const AnsiString& text) {
      surface.TextOut(Margin, y, text);
      y += surface.TextHeight(text);
    };
    if (surface.TextWidth(line) < limit) {
      put(line);
    } else {
      AnsiString piece = line;
      for (;;) {
        int k = 0;
        AnsiString first = piece;
        while (surface.TextWidth(first) > limit && !first.IsEmpty()) {
          k += 2;
          first = piece.SubString(1, piece.Length() - k);
        }
        if (first.IsEmpty()) {
          // Not even the first characters fit: cutting would never end.
          put(piece);
          break;
        }
        put(first);
        piece = piece.SubString(piece.Length() - k + 1, k);
        if (k == 0 || surface.TextWidth(piece) <= limit) {
          put(piece);
          break;
        }
      }
    }
    if (y > surface.PageHeight() - 2 * Margin) {
      surface.NewPage();
      y = Margin;
    }
  }
}

int TPrinterSurface::PageWidth() { return FPrinter->PageWidth(); }
int TPrinterSurface::PageHeight() { return FPrinter->PageHeight(); }
int TPrinterSurface::TextWidth(const AnsiString& text) { return FPrinter->Canvas()->TextWidth(text); }
int TPrinterSurface::TextHeight(const AnsiString& text) { return FPrinter->Canvas()->TextHeight(text); }
void TPrinterSurface::TextOut(int x, int y, const AnsiString& text) { FPrinter->Canvas()->TextOut(x, y, text); }
void TPrinterSurface::NewPage() { FPrinter->NewPage(); }

void PrintDocument(TPrinter* printer, TStrings* lines, const AnsiString& title) {
  printer->SetTitle(title);
  printer->BeginDoc();
  try {
    printer->Canvas()->Font()->SetName("Times New Roman");
    TPrinterSurface surface(printer);
    PrintLines(lines, surface);
  } catch (...) {
    if (printer->Printing()) printer->Abort();
    throw;
  }
  printer->EndDoc();
}
