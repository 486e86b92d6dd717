#include "FileExports.h"

#include "sysutils.h"

AnsiString ExportBaseName(const AnsiString& caption) {
  const std::string& s = caption.str();
  const size_t dot = s.rfind('.');
  if (dot == std::string::npos) return caption;
  return AnsiString(s.substr(0, dot));
}

AnsiString ExportFileName(const AnsiString& chosen, const AnsiString& extension) {
  return ExtractFileExt(chosen).IsEmpty() ? chosen + extension : chosen;
}

namespace {

inline bool IsFolder(const ListNode* node) { return node->Kind == ekFolder; }

// The walk every file writer makes: one step of the bar for each entry, then
// the cancel flag (a cancelled walk writes nothing more), then write(entry,
// folder) for it; write answers false when the file failed.
template <class Write> class TWritingWalk : public TEntryVisitor {
public:
  TWritingWalk(IStepProgress& steps, Write& write) : FSteps(steps), FWrite(write) {}
  TWalkStep Entry(const ListNode* node, const std::string& folder) {
    FSteps.Step();
    if (FSteps.CancelRequested()) {
      Result = TWriteResult::Cancelled;
      return TWalkStep::Stop;
    }
    if (!FWrite(node, folder)) {
      Result = TWriteResult::Failed;
      return TWalkStep::Stop;
    }
    return TWalkStep::Go;
  }
  TWriteResult Result = TWriteResult::Done;

private:
  IStepProgress& FSteps;
  Write& FWrite;
};

template <class Write>
TWriteResult WriteWalking(const TList* list, IStepProgress& steps, const AnsiString& prefix, Write write) {
  TWritingWalk<Write> walk(steps, write);
  WalkEntries(list, '\\', walk, prefix.str());
  return walk.Result;
}

}  // namespace

// --- text -----------------------------------------------------------------------------------

TWriteResult WriteTextLines(const TList* list, TExportFile& out, IStepProgress& steps, const AnsiString& prefix,
                            AnsiString& lastFolder) {
  std::string line;
  std::string& last = lastFolder.str();
  return WriteWalking(list, steps, prefix, [&](const ListNode* node, const std::string& folder) {
    if (IsFolder(node)) return true;
    if (folder != last) {
      if (!out.Append("\r\n", 2)) return false;
      last = folder;
    }
    line.clear();
    if (node->Attributes & DamagedBit) line += '*';
    if (node->Absent == 1) line += '*';
    if (!folder.empty()) {
      line += folder;
      line += '\\';
    }
    line += FieldView(node->Name);
    line += "\r\n";
    return out.Append(line);
  });
}

// --- CSV --------------------------------------------------------------------------------------

bool MatchesExportOptions(const TExportMarks& marks, const ListNode* node) {
  return (marks.Need && node->NeedMark == 1) || (marks.NoNeed && node->NeedMark == 2) ||
         (marks.Damaged && (node->Attributes & DamagedBit)) || (marks.Absent && node->Absent != 0);
}

void AppendCsvField(std::string& row, std::string_view text) {
  bool plain = true;
  // One pass of plain comparisons: a search for any of four characters costs
  // a library call per character, which a million rows feel.
  for (char c : text) plain = plain && c != ';' && c != '"' && c != '\r' && c != '\n';
  if (plain) {
    row += text;
    return;
  }
  row += '"';
  for (char c : text) {
    if (c == '"') row += '"';
    row += c;
  }
  row += '"';
}

std::string CsvField(const std::string& text) {
  std::string field;
  AppendCsvField(field, text);
  return field;
}

AnsiString CsvHeader(const AnsiString (&titles)[9]) {
  std::string line;
  for (const AnsiString& t : titles) {
    line += CsvField(t.str());
    line += ';';
  }
  line += "\r\n";
  return AnsiString(std::move(line));
}

namespace {

// A text field, or one space when it is empty.
void AddTextField(std::string& row, std::string_view text) {
  if (text.empty())
    row += ' ';
  else
    AppendCsvField(row, text);
  row += ';';
}

void AppendCsvRow(std::string& row, const ListNode* node, std::string_view folder) {
  AppendCsvField(row, folder);
  row += ';';
  AppendCsvField(row, FieldView(node->Name));
  row += ';';
  row += SizeKbText(node->Size).str();
  row += ';';
  AddTextField(row, FieldView(node->Created));
  AddTextField(row, FieldView(node->Modified));
  AddTextField(row, AttributeLetters(node->Attributes).str());
  if (node->Attributes & DamagedBit)
    row += node->Absent == 1 ? "missing" : "bad";
  else
    row += ' ';
  row += ';';
  if (node->NeedMark == 1)
    row += "desired";
  else if (node->NeedMark == 2)
    row += "not needed";
  row += ';';
  AddTextField(row, FieldView(node->Comment));
  row += "\r\n";
}

}  // namespace

AnsiString CheckedCsvRow(const ListNode* node, const AnsiString& prefix) {
  std::string row;
  AppendCsvRow(row, node, prefix.str());
  return AnsiString(std::move(row));
}

TWriteResult WriteCsvRows(const TList* list, TExportFile& out, IStepProgress& steps, const AnsiString& prefix) {
  std::string row;
  return WriteWalking(list, steps, prefix, [&](const ListNode* node, const std::string& folder) {
    if (IsFolder(node)) return true;
    row.clear();
    AppendCsvRow(row, node, folder);
    return out.Append(row);
  });
}

TWriteResult WriteCheckedCsvRows(const TList* list, TExportFile& out, IStepProgress& steps, const AnsiString& prefix,
                                 const TExportMarks& marks) {
  std::string row;
  return WriteWalking(list, steps, prefix, [&](const ListNode* node, const std::string& folder) {
    if (!MatchesExportOptions(marks, node)) return true;
    row.clear();
    AppendCsvRow(row, node, folder);
    return out.Append(row);
  });
}
