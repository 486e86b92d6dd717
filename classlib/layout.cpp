#include "layout.h"

#include <charconv>
#include <string>

namespace {

enum TTokenKind { tkEOF, tkSymbol, tkString, tkInteger, tkFloat, tkResource, tkBinary, tkChar };

struct TToken {
  TTokenKind Kind = tkEOF;
  int Line = 1;
  AnsiString Text;      // symbol, resource name, binary bytes
  std::wstring Wide;    // string literal in UTF-16
  int64_t Int = 0;
  double Float = 0;
  char Char = 0;
};

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

class TLayoutParser {
public:
  TLayoutParser(const AnsiString& text, TWriter& writer) : FText(text.str()), FWriter(writer) {
    // A byte-order mark in front of the text is not part of it.
    if (FText.compare(0, 3, "\xEF\xBB\xBF") == 0) FPos = 3;
    Next();
  }

  void ParseFile() {
    FWriter.WriteSignature();
    if (!IsKeyword("object")) Error("'object' expected");
    ParseObject();
    if (FToken.Kind != tkEOF) Error("End of file expected");
  }

private:
  [[noreturn]] void Error(const AnsiString& what) { ErrorAt(what, FToken.Line); }
  [[noreturn]] void ErrorAt(const AnsiString& what, int line) {
    throw EParserError(Format("%s on line %d", {what, line}));
  }

  bool IsKeyword(const char* word) const { return FToken.Kind == tkSymbol && SameText(FToken.Text, word); }
  bool IsChar(char c) const { return FToken.Kind == tkChar && FToken.Char == c; }
  void ExpectChar(char c) {
    if (!IsChar(c)) Error(Format("'%s' expected", {AnsiString(c)}));
    Next();
  }
  AnsiString ExpectSymbol() {
    if (FToken.Kind != tkSymbol) Error("Identifier expected");
    AnsiString s = FToken.Text;
    Next();
    return s;
  }

  // --- objects and properties

  void ParseObject() {
    Next();  // 'object'
    AnsiString first = ExpectSymbol();
    AnsiString name, className;
    if (IsChar(':')) {
      Next();
      name = first;
      className = ExpectSymbol();
    } else {
      className = first;
    }
    if (name.Pos(".") || className.Pos(".")) Error("Identifier expected");
    FWriter.WriteStr(className);
    FWriter.WriteStr(name);
    while (FToken.Kind == tkSymbol && !IsKeyword("object") && !IsKeyword("end")) ParseProperty();
    FWriter.WriteListEnd();
    while (IsKeyword("object")) ParseObject();
    if (!IsKeyword("end")) Error("'end' expected");
    Next();
    FWriter.WriteListEnd();
  }

  void ParseProperty() {
    AnsiString name = ExpectSymbol();
    FWriter.WritePropName(name);
    ExpectChar('=');
    ParseValue();
  }

  void ParseValue() {
    switch (FToken.Kind) {
      case tkInteger:
        FWriter.WriteInteger(FToken.Int);
        Next();
        return;
      case tkFloat:
        FWriter.WriteFloat(FToken.Float);
        Next();
        return;
      case tkString: ParseString(); return;
      case tkSymbol:
        if (IsKeyword("end") || IsKeyword("object")) Error("Value expected");
        FWriter.WriteIdent(FToken.Text);
        Next();
        return;
      case tkResource:
        FWriter.WriteIdent("@" + FToken.Text);
        Next();
        return;
      case tkBinary:
        FWriter.WriteBinary(FToken.Text.c_str(), FToken.Text.Length());
        Next();
        return;
      case tkChar: break;
      case tkEOF: Error("Value expected");
    }
    switch (FToken.Char) {
      case '[': {
        Next();
        std::vector<AnsiString> names;
        if (!IsChar(']')) {
          for (;;) {
            if (FToken.Kind != tkSymbol || FToken.Text.Pos(".")) Error("Identifier expected");
            names.push_back(FToken.Text);
            Next();
            if (IsChar(']')) break;
            ExpectChar(',');
          }
        }
        Next();
        FWriter.WriteSet(names);
        return;
      }
      case '(':
        Next();
        FWriter.WriteListBegin();
        while (!IsChar(')')) {
          if (FToken.Kind == tkEOF) Error("')' expected");
          ParseValue();
        }
        Next();
        FWriter.WriteListEnd();
        return;
      case '<':
        Next();
        FWriter.WriteValue(vaCollection);
        while (!IsChar('>')) {
          if (!IsKeyword("item")) Error("'item' expected");
          Next();
          if (IsChar('[')) {
            Next();
            if (FToken.Kind != tkInteger) Error("Integer expected");
            FWriter.WriteInteger(FToken.Int);
            Next();
            ExpectChar(']');
          }
          FWriter.WriteListBegin();
          while (!IsKeyword("end")) {
            if (FToken.Kind != tkSymbol) Error("'end' expected");
            ParseProperty();
          }
          Next();
          FWriter.WriteListEnd();
        }
        Next();
        FWriter.WriteListEnd();
        return;
      default:
        Error("Value expected");
    }
  }

  // One literal, or several joined with '+'.
  void ParseString() {
    std::wstring s = FToken.Wide;
    Next();
    while (IsChar('+')) {
      Next();
      if (FToken.Kind != tkString) Error("String expected");
      s += FToken.Wide;
      Next();
    }
    bool narrow = true;
    for (wchar_t c : s)
      if (static_cast<unsigned>(c) >= 0x80) narrow = false;
    if (narrow) {
      std::string a(s.begin(), s.end());
      FWriter.WriteString(AnsiString(std::move(a)));
    } else {
      FWriter.WriteWideString(WideString(std::move(s)));
    }
  }

  // --- tokens

  char Peek(size_t ahead = 0) const { return FPos + ahead < FText.size() ? FText[FPos + ahead] : '\0'; }
  bool AtEnd() const { return FPos >= FText.size(); }

  void SkipBlanks() {
    while (!AtEnd()) {
      char c = Peek();
      if (c == '\n') {
        ++FLine;
        ++FPos;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++FPos;
      } else if (c == '/' && Peek(1) == '/') {
        while (!AtEnd() && Peek() != '\n') ++FPos;
      } else {
        break;
      }
    }
  }

  void Next() {
    SkipBlanks();
    FToken = TToken();
    FToken.Line = FLine;
    if (AtEnd()) return;
    char c = Peek();
    if (IsIdentStart(c)) {
      FToken.Kind = tkSymbol;
      FToken.Text = ReadDottedIdent();
    } else if (c == '\'' || c == '#') {
      FToken.Kind = tkString;
      ReadStringToken();
    } else if (IsDigit(c) || c == '$' || ((c == '-' || c == '+') && (IsDigit(Peek(1)) || Peek(1) == '$'))) {
      ReadNumber();
    } else if (c == '@') {
      ++FPos;
      if (!IsIdentStart(Peek())) Error("Resource name expected");
      FToken.Kind = tkResource;
      FToken.Text = ReadDottedIdent();
    } else if (c == '{') {
      ++FPos;
      ReadBinary();
    } else if (c == '=' || c == ':' || c == '[' || c == ']' || c == ',' || c == '(' || c == ')' || c == '<' ||
               c == '>' || c == '+') {
      FToken.Kind = tkChar;
      FToken.Char = c;
      ++FPos;
    } else {
      Error("Invalid character");
    }
  }

  AnsiString ReadDottedIdent() {
    size_t start = FPos;
    for (;;) {
      while (IsIdentChar(Peek())) ++FPos;
      if (Peek() == '.' && IsIdentStart(Peek(1)))
        ++FPos;
      else
        break;
    }
    // Names travel with a one-byte length.
    if (FPos - start > 255) Error("Identifier too long");
    return AnsiString(FText.substr(start, FPos - start));
  }

  // Quoted parts and #n code units that follow each other without blanks.
  void ReadStringToken() {
    for (;;) {
      char c = Peek();
      if (c == '\'') {
        ++FPos;
        for (;;) {
          if (AtEnd() || Peek() == '\n' || Peek() == '\r') Error("Unterminated string");
          char d = Peek();
          if (d == '\'') {
            if (Peek(1) == '\'') {
              FToken.Wide += L'\'';
              FPos += 2;
              continue;
            }
            ++FPos;
            break;
          }
          AppendUtf8Char();
        }
      } else if (c == '#') {
        ++FPos;
        if (!IsDigit(Peek())) Error("Character code expected");
        uint32_t code = 0;
        while (IsDigit(Peek())) {
          code = code * 10 + static_cast<uint32_t>(Peek() - '0');
          if (code > 0xFFFF) Error("Character code out of range");
          ++FPos;
        }
        FToken.Wide += static_cast<wchar_t>(code);
      } else {
        break;
      }
    }
  }

  // One UTF-8 encoded character inside a literal, appended as UTF-16.
  void AppendUtf8Char() {
    auto byte = [this](size_t i) { return static_cast<unsigned char>(Peek(i)); };
    unsigned char b0 = byte(0);
    if (b0 < 0x80) {
      FToken.Wide += static_cast<wchar_t>(b0);
      ++FPos;
      return;
    }
    int extra;
    uint32_t cp, min;
    if ((b0 & 0xE0) == 0xC0) {
      extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
      Error("Invalid UTF-8 text");
    }
    for (int i = 1; i <= extra; ++i) {
      if (FPos + i >= FText.size() || (byte(i) & 0xC0) != 0x80) Error("Invalid UTF-8 text");
      cp = (cp << 6) | (byte(i) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) Error("Invalid UTF-8 text");
    FPos += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      FToken.Wide += static_cast<wchar_t>(0xD800 + (cp >> 10));
      FToken.Wide += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
      FToken.Wide += static_cast<wchar_t>(cp);
    }
  }

  void ReadNumber() {
    bool negative = false;
    if (Peek() == '-' || Peek() == '+') {
      negative = Peek() == '-';
      ++FPos;
    }
    if (Peek() == '$') {
      ++FPos;
      uint64_t v = 0;
      int digits = 0;
      while (HexValue(Peek()) >= 0) {
        if (++digits > 16) Error("Number out of range");
        v = (v << 4) | static_cast<uint64_t>(HexValue(Peek()));
        ++FPos;
      }
      if (digits == 0) Error("Number expected");
      if (IsIdentChar(Peek())) Error("Invalid number");
      // Up to eight hex digits are a 32-bit pattern ($80000005 is a system colour,
      // negative as an int); longer ones a 64-bit value.
      int64_t value = digits <= 8 ? static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(v)))
                                  : static_cast<int64_t>(v);
      FToken.Kind = tkInteger;
      FToken.Int = negative ? -value : value;
      return;
    }
    size_t start = FPos;
    while (IsDigit(Peek())) ++FPos;
    bool isFloat = false;
    if (Peek() == '.' && IsDigit(Peek(1))) {
      isFloat = true;
      ++FPos;
      while (IsDigit(Peek())) ++FPos;
    }
    if ((Peek() == 'e' || Peek() == 'E') &&
        (IsDigit(Peek(1)) || ((Peek(1) == '-' || Peek(1) == '+') && IsDigit(Peek(2))))) {
      isFloat = true;
      FPos += 2;
      while (IsDigit(Peek())) ++FPos;
    }
    if (IsIdentChar(Peek()) || Peek() == '.') Error("Invalid number");
    const char* first = FText.data() + start;
    const char* last = FText.data() + FPos;
    if (isFloat) {
      double d = 0;
      auto r = std::from_chars(first, last, d);
      if (r.ec != std::errc() || r.ptr != last) Error("Invalid number");
      FToken.Kind = tkFloat;
      FToken.Float = negative ? -d : d;
    } else {
      uint64_t v = 0;
      auto r = std::from_chars(first, last, v);
      if (r.ec != std::errc() || r.ptr != last || v > (negative ? 0x8000000000000000ull : 0x7FFFFFFFFFFFFFFFull))
        Error("Number out of range");
      FToken.Kind = tkInteger;
      FToken.Int = negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
    }
  }

  // {hex digits}, blanks and line breaks allowed between them.
  void ReadBinary() {
    FToken.Kind = tkBinary;
    std::string bytes;
    int high = -1;
    for (;;) {
      if (AtEnd()) Error("'}' expected");
      char c = Peek();
      ++FPos;
      if (c == '}') break;
      if (c == '\n') {
        ++FLine;
        continue;
      }
      if (c == ' ' || c == '\t' || c == '\r') continue;
      int v = HexValue(c);
      if (v < 0) ErrorAt("Invalid binary value", FLine);
      if (high < 0) {
        high = v;
      } else {
        bytes += static_cast<char>(high << 4 | v);
        high = -1;
      }
    }
    if (high >= 0) ErrorAt("Invalid binary value", FLine);
    FToken.Text = AnsiString(std::move(bytes));
  }

  std::string FText;
  size_t FPos = 0;
  int FLine = 1;
  TToken FToken;
  TWriter& FWriter;
};

}  // namespace

void ObjectTextToBinary(const AnsiString& utf8Text, TStream* output) {
  TWriter writer(output);
  TLayoutParser parser(utf8Text, writer);
  parser.ParseFile();
}

void ReadComponentText(const AnsiString& utf8Text, TComponent* root) {
  TMemoryStream binary;
  ObjectTextToBinary(utf8Text, &binary);
  binary.SetPosition(0);
  TReader reader(&binary);
  reader.ReadRootComponent(root);
}

void ReadComponentRes(const AnsiString& resName, TComponent* root, HINSTANCE instance) {
  TResourceStream res(instance ? instance : FindResourceHInstance(HInstance), resName, RT_RCDATA);
  AnsiString text;
  text.SetLength(static_cast<int>(res.Size()));
  res.ReadBuffer(text.data(), text.Length());
  ReadComponentText(text, root);
}

namespace {
bool InitComponent(TComponent* instance, const TMetaClass* cls, const TMetaClass* rootAncestor) {
  if (!cls || cls == rootAncestor || cls == &TComponent::Class) return false;
  bool result = InitComponent(instance, cls->Parent, rootAncestor);
  AnsiString resName = UpperCase(cls->Name);
  HINSTANCE module = FindResourceHInstance(HInstance);
  if (FindResourceA(module, resName.c_str(), RT_RCDATA)) {
    ReadComponentRes(resName, instance, module);
    result = true;
  }
  return result;
}
}  // namespace

bool InitInheritedComponent(TComponent* instance, const TMetaClass* rootAncestor) {
  return InitComponent(instance, instance->ClassType(), rootAncestor);
}
