#include "UcMaskUtils.h"

#include "mask.h"
#include "sysutils.h"

#include <string>

namespace {
wchar_t Widen(char c) { return static_cast<wchar_t>(static_cast<unsigned char>(c)); }

bool IsInput(TMaskCharType kind) { return kind == mcMask || kind == mcMaskOpt; }
bool IsLiteral(TMaskCharType kind) { return kind == mcLiteral || kind == mcIntlLiteral; }

// The value character a literal position stands for.
wchar_t LiteralChar(const AnsiString& editMask, int maskOffset) {
  const wchar_t c = Widen(editMask[maskOffset]);
  return MaskGetCharType(editMask, maskOffset) == mcIntlLiteral ? MaskIntlLiteralToWChar(c) : c;
}

// Brings text[from, to) (0-based) to width characters: blanks are inserted at
// the end of the segment (forward) or at its start (reverse); an overlong
// segment keeps its first (forward) or last (reverse) characters.
void FitSegment(std::wstring& text, size_t from, size_t to, int width, bool reverse, wchar_t blank) {
  const int have = static_cast<int>(to - from);
  if (have < width)
    text.insert(reverse ? from : to, static_cast<size_t>(width - have), blank);
  else if (have > width)
    text.erase(reverse ? from : from + static_cast<size_t>(width), static_cast<size_t>(have - width));
}
}  // namespace

wchar_t MaskIntlLiteralToWChar(wchar_t c) {
  if (c == L'/') return Widen(DateSeparator);
  if (c == L':') return Widen(TimeSeparator);
  return c;
}

WideString MaskDoFormatTextW(const AnsiString& editMask, const WideString& value, char blank) {
  std::wstring text = value.str();
  const int maskLength = MaskGetMaskLength(editMask);
  const bool reverse = MaskGetCurrentDirectives(editMask, maskLength) & mDirReverse;
  if (!reverse) {
    size_t p = 0;  // 0-based
    for (int m = 1; m <= maskLength; ++m) {
      const TMaskCharType kind = MaskGetCharType(editMask, m);
      if (IsLiteral(kind)) {
        text.insert(std::min(p, text.size()), 1, LiteralChar(editMask, m));
        ++p;
      } else if (IsInput(kind)) {
        if (text.size() <= p) text += Widen(blank);
        ++p;
      }
    }
  } else {
    int p = static_cast<int>(text.size());
    for (int m = maskLength; m >= 1; --m) {
      const TMaskCharType kind = MaskGetCharType(editMask, m);
      if (IsLiteral(kind)) {
        text.insert(static_cast<size_t>(std::max(p, 0)), 1, LiteralChar(editMask, m));
      } else if (IsInput(kind)) {
        if (p >= 1)
          --p;
        else
          text.insert(0, 1, Widen(blank));
      }
    }
  }
  return WideString(std::move(text));
}

WideString PadInputLiteralsW(const AnsiString& editMask, const WideString& value, char blank) {
  std::wstring text = value.str();
  const wchar_t blankChar = Widen(blank);
  const int maskLength = MaskGetMaskLength(editMask);
  const bool reverse = MaskGetCurrentDirectives(editMask, maskLength) & mDirReverse;
  int prev = 0;  // 1-based value position of the previous literal
  for (int m = 1; m <= maskLength; ++m) {
    if (!IsLiteral(MaskGetCharType(editMask, m))) continue;
    const int target = MaskOffsetToOffset(editMask, m) + 1;
    const wchar_t literal = LiteralChar(editMask, m);
    size_t q = text.find(literal, static_cast<size_t>(prev));
    if (q == std::wstring::npos) {
      q = text.size();
      text += literal;
    }
    FitSegment(text, static_cast<size_t>(prev), q, target - prev - 1, reverse, blankChar);
    prev = target;
  }
  const int total = MaskOffsetToOffset(editMask, maskLength + 1);
  if (static_cast<int>(text.size()) != total && static_cast<int>(text.size()) >= prev)
    FitSegment(text, static_cast<size_t>(prev), text.size(), total - prev, reverse, blankChar);
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == L' ' && !IsLiteralChar(editMask, static_cast<int>(i))) text[i] = blankChar;
  return WideString(std::move(text));
}
