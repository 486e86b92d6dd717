#include "UcFormatStrUtils.h"

#include "UcCodePages.h"

#include <string>

CL_DEFINE_CLASS(EFormatSpecError, EUcGeneralError)

namespace {

enum TFormatArgKind { akNone, akInteger, akFloating, akPointer, akString };

TFormatArgKind ArgKindOf(wchar_t type) {
  switch (type) {
    case L'd': case L'D': case L'u': case L'U': case L'x': case L'X':
      return akInteger;
    case L'e': case L'E': case L'f': case L'F': case L'g': case L'G': case L'm': case L'M': case L'n': case L'N':
      return akFloating;
    case L'p': case L'P':
      return akPointer;
    case L's': case L'S':
      return akString;
    default:
      throw EUcInternalError(
          Format("Internal Error: Unexpected format type (%s)", {WideString(type)}));
  }
}

bool IsTypeLetter(wchar_t c) {
  switch (c) {
    case L'd': case L'D': case L'e': case L'E': case L'f': case L'F': case L'g': case L'G': case L'm': case L'M':
    case L'n': case L'N': case L'p': case L'P': case L's': case L'S': case L'u': case L'U': case L'x': case L'X':
      return true;
    default:
      return false;
  }
}

struct TFormatSpec {
  WideString Text;  // canonical: "%" + index + ":" + the rest
  int Index = 0;
  TFormatArgKind Kind = akNone;
};

// Walks a format string: the text between specifiers is handed on unchanged,
// every specifier in its canonical form.
class TFormatParser {
public:
  explicit TFormatParser(const WideString& format) : FFormat(format.str()) {}

  // The literal text before the next specifier, then the specifier; false at
  // the end of the format (the literal then holds the rest).
  bool Next(std::wstring& literal, TFormatSpec& fmtItem) {
    literal.clear();
    const size_t n = FFormat.size();
    while (FPos < n) {
      const wchar_t c = FFormat[FPos];
      if (c != L'%') {
        literal += c;
        ++FPos;
        continue;
      }
      // "%%" and "% " are not specifiers.
      if (FPos + 1 < n && (FFormat[FPos + 1] == L'%' || FFormat[FPos + 1] == L' ')) {
        literal.append(FFormat, FPos, 2);
        FPos += 2;
        continue;
      }
      ParseSpec(fmtItem);
      return true;
    }
    return false;
  }

  int ExplicitCount() const { return FExplicitCount; }
  int ImplicitCount() const { return FImplicitCount; }

private:
  [[noreturn]] void Invalid(const std::wstring& parsed) const {
    WideString text = WideString(parsed) + WideString(FFormat.substr(FPos));
    throw EFormatSpecError(Format("Invalid Format Specifier: %s", {text}));
  }

  bool IsDigit(size_t i) const { return i < FFormat.size() && FFormat[i] >= L'0' && FFormat[i] <= L'9'; }

  // Digits at the position (at most six); false when there are none.
  bool ReadDigits(std::wstring& out, const std::wstring& parsed) {
    size_t start = FPos;
    while (IsDigit(FPos)) ++FPos;
    if (FPos - start >= 7) Invalid(parsed + FFormat.substr(start, FPos - start));
    out = FFormat.substr(start, FPos - start);
    return !out.empty();
  }

  // '*' (which takes an argument) or digits.
  bool ReadNumber(std::wstring& rest) {
    if (FPos < FFormat.size() && FFormat[FPos] == L'*') {
      rest += L'*';
      ++FPos;
      ++FCurrent;
      return true;
    }
    std::wstring digits;
    if (!ReadDigits(digits, L"%" + rest)) return false;
    rest += digits;
    return true;
  }

  void ParseSpec(TFormatSpec& fmtItem) {
    ++FPos;  // the '%'
    std::wstring rest;
    bool hasIndex = false;
    int index = 0;
    {
      size_t start = FPos;
      std::wstring digits;
      if (ReadDigits(digits, L"%") && FPos < FFormat.size() && FFormat[FPos] == L':') {
        hasIndex = true;
        index = std::stoi(digits);
        ++FPos;
      } else {
        FPos = start;
      }
    }
    if (hasIndex) {
      ++FExplicitCount;
      if (index > FCurrent) FCurrent = index;
    } else {
      ++FImplicitCount;
      index = ++FCurrent;
    }
    const std::wstring head = L"%" + std::to_wstring(index) + L":";
    if (ReadNumber(rest) && FPos < FFormat.size() && FFormat[FPos] == L':') {
      rest += L':';
      ++FPos;
    }
    if (FPos < FFormat.size() && FFormat[FPos] == L'-') {
      rest += L'-';
      ++FPos;
    }
    ReadNumber(rest);
    if (FPos < FFormat.size() && FFormat[FPos] == L'.') {
      rest += L'.';
      ++FPos;
      ReadNumber(rest);
    }
    if (FPos >= FFormat.size() || !IsTypeLetter(FFormat[FPos])) Invalid(head + rest);
    const wchar_t type = FFormat[FPos++];
    rest += type;
    fmtItem.Text = WideString(head + rest);
    fmtItem.Index = index;
    fmtItem.Kind = ArgKindOf(type);
  }

  std::wstring FFormat;
  size_t FPos = 0;
  int FCurrent = -1;
  int FExplicitCount = 0;
  int FImplicitCount = 0;
};

struct TArgEntry {
  TFormatArgKind Kind = akNone;
  WideString Specifier;
};

std::vector<TArgEntry> ArgumentList(const WideString& format) {
  std::vector<TArgEntry> list;
  TFormatParser parser(format);
  std::wstring literal;
  TFormatSpec fmtItem;
  while (parser.Next(literal, fmtItem)) {
    if (fmtItem.Index >= static_cast<int>(list.size())) list.resize(static_cast<size_t>(fmtItem.Index) + 1);
    TArgEntry& e = list[static_cast<size_t>(fmtItem.Index)];
    if (e.Kind == akNone) {
      e.Kind = fmtItem.Kind;
      e.Specifier = fmtItem.Text;
    } else if (e.Kind != fmtItem.Kind) {
      throw EFormatSpecError(
          Format("Argument types for index %d do not match. (%s <> %s)", {fmtItem.Index, e.Specifier, fmtItem.Text}));
    }
  }
  return list;
}

}  // namespace

WideString GetCanonicalFormatStr(const WideString& formatString) {
  TFormatParser parser(formatString);
  std::wstring out, literal;
  TFormatSpec fmtItem;
  while (parser.Next(literal, fmtItem)) {
    out += literal;
    out += fmtItem.Text.str();
  }
  out += literal;
  const int explicitCount = parser.ExplicitCount(), implicitCount = parser.ImplicitCount();
  if ((implicitCount == 0 && explicitCount > 0) || (implicitCount == 1 && explicitCount == 0)) return formatString;
  return WideString(std::move(out));
}

WideString ReplaceFloatingArgumentsInFormatString(const WideString& formatString, const std::vector<TVarRec>& args) {
  TFormatParser parser(formatString);
  std::wstring out, literal;
  TFormatSpec fmtItem;
  while (parser.Next(literal, fmtItem)) {
    out += literal;
    if (fmtItem.Kind == akFloating) {
      AnsiString narrowSpec = WideStringToStringEx(fmtItem.Text, DefaultSystemCodePage());
      out += StringToWideStringEx(Format(narrowSpec, args), DefaultSystemCodePage()).str();
    } else {
      out += fmtItem.Text.str();
    }
  }
  out += literal;
  return WideString(std::move(out));
}

void CompareFormatStrings(const WideString& formatStr1, const WideString& formatStr2) {
  const auto list1 = ArgumentList(formatStr1);
  const auto list2 = ArgumentList(formatStr2);
  if (list1.size() != list2.size())
    throw EFormatSpecError(AnsiString("Number of format specifiers do not match.\r\n\r\n> ") +
                           WideStringToStringEx(formatStr1, DefaultSystemCodePage()) + "\r\n> " +
                           WideStringToStringEx(formatStr2, DefaultSystemCodePage()));
  for (size_t i = 0; i < list1.size(); ++i)
    if (list1[i].Kind != list2[i].Kind)
      throw EFormatSpecError(Format("Argument types for index %d do not match. (%s <> %s)",
                                    {static_cast<int>(i), list1[i].Specifier, list2[i].Specifier}));
}

bool FormatStringsAreCompatible(const WideString& formatStr1, const WideString& formatStr2) {
  const auto list1 = ArgumentList(formatStr1);
  const auto list2 = ArgumentList(formatStr2);
  if (list1.size() != list2.size()) return false;
  for (size_t i = 0; i < list1.size(); ++i)
    if (list1[i].Kind != list2[i].Kind) return false;
  return true;
}
