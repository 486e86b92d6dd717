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

inline const ListNode* Entry(const TList* list, int i) { return static_cast<const ListNode*>(list->Items(i)); }

inline bool IsFolder(const ListNode* node) { return node->Kind == ekFolder; }

AnsiString ChildPrefix(const AnsiString& prefix, const ListNode* folder) {
  const AnsiString name = FieldText(folder->Name);
  return prefix.IsEmpty() ? name : prefix + "\\" + name;
}

// One step of the bar, then the cancel flag: a cancelled walk writes nothing more.
inline bool Stepped(IStepProgress& steps) {
  steps.Step();
  return !steps.CancelRequested();
}

}  // namespace

// --- text -----------------------------------------------------------------------------------

TWriteResult WriteTextLines(const TList* list, TExportFile& out, IStepProgress& steps, const AnsiString& prefix,
                            AnsiString& lastFolder) {
  std::string line;
  for (int i = 0; i < list->Count(); ++i) {
    if (!Stepped(steps)) return TWriteResult::Cancelled;
    const ListNode* node = Entry(list, i);
    if (IsFolder(node)) {
      const TWriteResult r = WriteTextLines(node->Children, out, steps, ChildPrefix(prefix, node), lastFolder);
      if (r != TWriteResult::Done) return r;
      continue;
    }
    if (prefix != lastFolder) {
      if (!out.Append("\r\n", 2)) return TWriteResult::Failed;
      lastFolder = prefix;
    }
    line.clear();
    if (node->Attributes & DamagedBit) line += '*';
    if (node->Absent == 1) line += '*';
    if (!prefix.IsEmpty()) {
      line += prefix.str();
      line += '\\';
    }
    line += FieldView(node->Name);
    line += "\r\n";
    if (!out.Append(line)) return TWriteResult::Failed;
  }
  return TWriteResult::Done;
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

void AppendCsvRow(std::string& row, const ListNode* node, const AnsiString& prefix) {
  AppendCsvField(row, prefix.str());
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
  AppendCsvRow(row, node, prefix);
  return AnsiString(std::move(row));
}

TWriteResult WriteCsvRows(const TList* list, TExportFile& out, IStepProgress& steps, const AnsiString& prefix) {
  std::string row;
  for (int i = 0; i < list->Count(); ++i) {
    if (!Stepped(steps)) return TWriteResult::Cancelled;
    const ListNode* node = Entry(list, i);
    if (IsFolder(node)) {
      const TWriteResult r = WriteCsvRows(node->Children, out, steps, ChildPrefix(prefix, node));
      if (r != TWriteResult::Done) return r;
      continue;
    }
    row.clear();
    AppendCsvRow(row, node, prefix);
    if (!out.Append(row)) return TWriteResult::Failed;
  }
  return TWriteResult::Done;
}

TWriteResult WriteCheckedCsvRows(const TList* list, TExportFile& out, IStepProgress& steps, const AnsiString& prefix,
                                 const TExportMarks& marks) {
  std::string row;
  for (int i = 0; i < list->Count(); ++i) {
    if (!Stepped(steps)) return TWriteResult::Cancelled;
    const ListNode* node = Entry(list, i);
    if (MatchesExportOptions(marks, node)) {
      row.clear();
      AppendCsvRow(row, node, prefix);
      if (!out.Append(row)) return TWriteResult::Failed;
    }
    if (IsFolder(node)) {
      const TWriteResult r = WriteCheckedCsvRows(node->Children, out, steps, ChildPrefix(prefix, node), marks);
      if (r != TWriteResult::Done) return r;
    }
  }
  return TWriteResult::Done;
}
