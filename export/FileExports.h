// The text and CSV exports of a list: the proposed file names, the writers
// that walk the entry tree and append one piece per entry, and the marks of
// the marked-entries CSV export. The writers take the progress steps and the
// cancel flag as an interface, so they run without windows as well.
#pragma once

#include "CoreHost.h"
#include "ExportFile.h"
#include "ListNode.h"

// How a writer's walk ended.
enum class TWriteResult { Done, Cancelled, Failed };

// The list file's name without its extension (cut at the last dot; a name
// without a dot stays whole): "my.list.vq" gives "my.list".
AnsiString ExportBaseName(const AnsiString& caption);
// The name chosen in a save dialog, with extension appended when it has none.
AnsiString ExportFileName(const AnsiString& chosen, const AnsiString& extension);

// --- text export

// One line per file (relative path, "*" for damaged, another for absent), an
// empty line before a file whose folder differs from the last one written
// (lastFolder carries that folder from one call to the next; empty at the
// start of an export).
TWriteResult WriteTextLines(const TList* list, TExportFile& out, IStepProgress& steps, const AnsiString& prefix,
                            AnsiString& lastFolder);

// --- CSV exports

// The marks that the marked-entries export takes.
struct TExportMarks {
  bool Need = false;
  bool NoNeed = false;
  bool Damaged = false;
  bool Absent = false;
  bool Any() const { return Need || NoNeed || Damaged || Absent; }
};
bool MatchesExportOptions(const TExportMarks& marks, const ListNode* node);

// A field as the CSV files hold it: unchanged, or in double quotes (inner
// quotes doubled) when it holds ";", a double quote or a line break, which
// would otherwise split the row for every reader.
std::string CsvField(const std::string& text);
void AppendCsvField(std::string& row, std::string_view text);
// The header line of both CSV exports from its nine titles (ANSI).
AnsiString CsvHeader(const AnsiString (&titles)[9]);
// One row: path, name, size in KB, created, modified, attribute letters,
// state, need, comment, each followed by ";", then CR LF.
AnsiString CheckedCsvRow(const ListNode* node, const AnsiString& prefix);

// Every file, one row each, in list order.
TWriteResult WriteCsvRows(const TList* list, TExportFile& out, IStepProgress& steps, const AnsiString& prefix);
// Every file and folder that carries one of the marks; a folder's row comes
// before its contents, and folders are searched whether they match or not.
TWriteResult WriteCheckedCsvRows(const TList* list, TExportFile& out, IStepProgress& steps, const AnsiString& prefix,
                                 const TExportMarks& marks);
