#include "mask.h"

#include "sysutils.h"

#include <vector>

namespace {

// The kind of every character of the mask, from the start (an escape changes
// the meaning of the character after it).
std::vector<TMaskCharType> Classify(const AnsiString& editMask) {
  const std::string& m = editMask.str();
  std::vector<TMaskCharType> kinds(m.size(), mcNone);
  bool inFields = false;
  for (size_t i = 0; i < m.size(); ++i) {
    if (inFields) {
      kinds[i] = mcField;
      continue;
    }
    const char c = m[i];
    if (i > 0 && kinds[i - 1] == mcDirective && m[i - 1] == '\\') {
      kinds[i] = mcLiteral;
      continue;
    }
    switch (c) {
      case ';':
        kinds[i] = mcFieldSeparator;
        inFields = true;
        break;
      case '\\':
      case '!':
      case '>':
      case '<':
        kinds[i] = mcDirective;
        break;
      case ':':
      case '/':
        kinds[i] = mcIntlLiteral;
        break;
      case 'L':
      case 'A':
      case 'C':
      case '0':
        kinds[i] = mcMask;
        break;
      case 'l':
      case 'a':
      case 'c':
      case '9':
      case '#':
        kinds[i] = mcMaskOpt;
        break;
      default:
        kinds[i] = mcLiteral;
    }
  }
  return kinds;
}

bool ProducesValue(TMaskCharType kind) {
  return kind == mcLiteral || kind == mcIntlLiteral || kind == mcMask || kind == mcMaskOpt;
}

// The fields after the mask: index 0 is the save flag, 1 the blank.
std::string Field(const AnsiString& editMask, int field) {
  const std::string& m = editMask.str();
  size_t start = static_cast<size_t>(MaskGetMaskLength(editMask));
  for (int f = 0; f <= field; ++f) {
    if (start >= m.size()) return std::string();
    ++start;  // the separator
    size_t end = m.find(';', start);
    if (f == field) return m.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (end == std::string::npos) return std::string();
    start = end;
  }
  return std::string();
}

}  // namespace

TMaskCharType MaskGetCharType(const AnsiString& editMask, int maskOffset) {
  if (maskOffset < 1 || maskOffset > editMask.Length()) return mcNone;
  return Classify(editMask)[static_cast<size_t>(maskOffset - 1)];
}

TMaskDirectives MaskGetCurrentDirectives(const AnsiString& editMask, int maskOffset) {
  const std::string& m = editMask.str();
  const auto kinds = Classify(editMask);
  TMaskDirectives result = 0;
  for (int i = 0; i < maskOffset && i < static_cast<int>(m.size()); ++i) {
    if (kinds[static_cast<size_t>(i)] != mcDirective) continue;
    switch (m[static_cast<size_t>(i)]) {
      case '!':
        result |= mDirReverse;
        break;
      case '>':
        result = (result & ~mDirLowerCase) | mDirUpperCase;
        break;
      case '<':
        if (i + 1 < static_cast<int>(m.size()) && m[static_cast<size_t>(i) + 1] == '>') {
          result &= ~(mDirUpperCase | mDirLowerCase);
          ++i;
        } else {
          result = (result & ~mDirUpperCase) | mDirLowerCase;
        }
        break;
    }
  }
  return result;
}

char MaskIntlLiteralToChar(char c) {
  if (c == '/') return DateSeparator;
  if (c == ':') return TimeSeparator;
  return c;
}

int MaskGetMaskLength(const AnsiString& editMask) {
  const auto kinds = Classify(editMask);
  for (size_t i = 0; i < kinds.size(); ++i)
    if (kinds[i] == mcFieldSeparator) return static_cast<int>(i);
  return editMask.Length();
}

int MaskOffsetToOffset(const AnsiString& editMask, int maskOffset) {
  const auto kinds = Classify(editMask);
  const int end = MaskGetMaskLength(editMask);
  int offset = 0;
  for (int i = 1; i < maskOffset && i <= end; ++i)
    if (ProducesValue(kinds[static_cast<size_t>(i - 1)])) ++offset;
  return offset;
}

bool IsLiteralChar(const AnsiString& editMask, int offset) {
  const auto kinds = Classify(editMask);
  const int end = MaskGetMaskLength(editMask);
  int value = 0;
  for (int i = 0; i < end; ++i) {
    const TMaskCharType kind = kinds[static_cast<size_t>(i)];
    if (!ProducesValue(kind)) continue;
    if (value == offset) return kind == mcLiteral || kind == mcIntlLiteral;
    ++value;
  }
  return false;
}

char MaskGetMaskBlank(const AnsiString& editMask) {
  std::string blank = Field(editMask, 1);
  return blank.empty() ? DefaultBlank : blank[0];
}

bool MaskGetMaskSave(const AnsiString& editMask) {
  std::string save = Field(editMask, 0);
  return save.empty() || save[0] != MaskNoSave;
}

CL_DEFINE_CLASS(EDBEditError, Exception)

const char* const SMaskErr = "Invalid input value";
const char* const SMaskEditErr = "Invalid input value for the mask \"%s\". Use the Esc key to abandon changes";
