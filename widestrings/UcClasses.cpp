#include "UcClasses.h"

#include "UcCodePages.h"
#include "UcWideStrUtils.h"

#include <algorithm>
#include <cstring>
#include <string>

CL_DEFINE_CLASS(TWideStrings, TPersistent)
CL_DEFINE_CLASS(TAnsiStrings, TStrings)
CL_DEFINE_CLASS(TAnsiStringsForWideStringsAdapter, TAnsiStrings)
CL_DEFINE_CLASS(TUcStrings, TWideStrings)
CL_DEFINE_CLASS(TUcStringList, TUcStrings)

TCompareStringWProc UcListCompareStringW = nullptr;

namespace {

// CompareStringW in the user's locale, minus 2. Where the system has no wide
// call (error 120) the ANSI forms are compared instead.
int CompareWide(const WideString& s1, const WideString& s2, DWORD flags) {
  TCompareStringWProc compare = UcListCompareStringW ? UcListCompareStringW : &CompareStringW;
  int r = compare(LOCALE_USER_DEFAULT, flags, s1.c_bstr(), s1.Length(), s2.c_bstr(), s2.Length());
  if (r == 0) {
    DWORD error = GetLastError();
    if (error != ERROR_CALL_NOT_IMPLEMENTED) RaiseLastOSError(error);
    AnsiString a1 = WideToSystem(s1), a2 = WideToSystem(s2);
    r = CompareStringA(LOCALE_USER_DEFAULT, flags, a1.c_str(), a1.Length(), a2.c_str(), a2.Length());
    if (r == 0) RaiseLastOSError();
  }
  return r - 2;
}

}  // namespace

// ===========================================================================
// TWideStringsEnumerator

bool TWideStringsEnumerator::MoveNext() {
  if (FIndex >= FStrings->GetCount() - 1) return false;
  ++FIndex;
  return true;
}

WideString TWideStringsEnumerator::GetCurrent() { return FStrings->Get(FIndex); }

// ===========================================================================
// TWideStrings

TWideStrings::~TWideStrings() {
  try {
    SetStringsAdapter(nullptr);
  } catch (...) {
  }
}

void TWideStrings::Error(const AnsiString& msg, int data) { throw EStringListError(Format(msg, {data})); }

void TWideStrings::Error(const TResStringRec* msg, int data) { Error(LoadResString(msg), data); }

void TWideStrings::AssignTo(TPersistent* dest) {
  if (auto* wide = dynamic_cast<TWideStrings*>(dest)) {
    wide->Assign(this);
    return;
  }
  if (auto* narrow = dynamic_cast<TStrings*>(dest)) {
    StringsInUpdate(narrow, [&] {
      narrow->Clear();
      narrow->SetQuoteChar(static_cast<char>(GetQuoteChar()));
      narrow->SetDelimiter(static_cast<char>(GetDelimiter()));
      for (int i = 0; i < GetCount(); ++i) narrow->AddObject(WideToSystem(Get(i)), GetObject(i));
    });
    return;
  }
  TPersistent::AssignTo(dest);
}

void TWideStrings::Assign(TPersistent* source) {
  if (auto* wide = dynamic_cast<TWideStrings*>(source)) {
    StringsInUpdate(this, [&] {
      Clear();
      FDefined = wide->FDefined;
      FQuoteChar = wide->FQuoteChar;
      FDelimiter = wide->FDelimiter;
      AddStrings(wide);
    });
    return;
  }
  if (auto* narrow = dynamic_cast<TStrings*>(source)) {
    StringsInUpdate(this, [&] {
      Clear();
      // The 8-bit characters widened by value, not through the code page.
      SetQuoteChar(static_cast<wchar_t>(static_cast<unsigned char>(narrow->QuoteChar())));
      SetDelimiter(static_cast<wchar_t>(static_cast<unsigned char>(narrow->Delimiter())));
      AddStrings(narrow);
    });
    return;
  }
  TPersistent::Assign(source);
}

int TWideStrings::CompareStrings(const WideString& s1, const WideString& s2) {
  return CompareWide(s1, s2, NORM_IGNORECASE);
}

void TWideStrings::AddStrings(TStrings* strings) {
  StringsInUpdate(this, [&] {
    for (int i = 0; i < strings->GetCount(); ++i) AddObject(SystemToWide(strings->Get(i)), strings->GetObject(i));
  });
}

wchar_t* TWideStrings::GetTextW() { return WStrNew(GetTextStr().c_bstr()); }

void TWideStrings::SetTextW(const wchar_t* text) { SetTextStr(WideString(text)); }

void TWideStrings::SetDelimitedText(const WideString& value) {
  const wchar_t quote = GetQuoteChar(), delimiter = GetDelimiter();
  StringsInUpdate(this, [&] {
    Clear();
    const wchar_t* p = value.c_bstr();
    auto isBlank = [](wchar_t c) { return c >= 1 && c <= L' '; };
    while (isBlank(*p)) ++p;
    while (*p) {
      WideString item;
      if (*p == quote) {
        item = WideExtractQuotedStr(p, quote);
      } else {
        const wchar_t* start = p;
        while (*p > L' ' && *p != delimiter) ++p;
        item = WideString(start, static_cast<int>(p - start));
      }
      Add(item);
      while (isBlank(*p)) ++p;
      if (*p == delimiter && *p) {
        // A delimiter at the very end stands for one more, empty item.
        if (p[1] == L'\0') Add(WideString());
        do
          ++p;
        while (isBlank(*p));
      }
    }
  });
}

void TWideStrings::SetStringsAdapter(IWideStringsAdapter* value) {
  if (FAdapter) FAdapter->ReleaseStrings();
  FAdapter = value;
  if (FAdapter) FAdapter->ReferenceStrings(this);
}

// ===========================================================================
// TAnsiStrings and the narrow view of a wide list

void TAnsiStrings::LoadFromFile(const AnsiString& fileName) { LoadFromFile(WideString(fileName)); }
void TAnsiStrings::SaveToFile(const AnsiString& fileName) { SaveToFile(WideString(fileName)); }

void TAnsiStrings::LoadFromFile(const WideString& fileName) {
  TUcFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TAnsiStrings::SaveToFile(const WideString& fileName) {
  TUcFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

void TAnsiStrings::LoadFromFileEx(const WideString& fileName, UINT codePage) {
  TUcFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStreamEx(&stream, codePage);
}

void TAnsiStrings::SaveToFileEx(const WideString& fileName, UINT codePage) {
  TUcFileStream stream(fileName, fmCreate);
  if (codePage == CP_UTF8_NUMBER) stream.WriteBuffer("\xEF\xBB\xBF", 3);
  SaveToStreamEx(&stream, codePage);
}

TAnsiStringsForWideStringsAdapter::TAnsiStringsForWideStringsAdapter(TWideStrings* wideStrings,
                                                                     UINT adapterCodePage)
    : FWideStrings(wideStrings), FAdapterCodePage(adapterCodePage) {}

UINT TAnsiStringsForWideStringsAdapter::AdapterCodePage() {
  return FAdapterCodePage == 0 ? DefaultSystemCodePage() : FAdapterCodePage;
}

AnsiString TAnsiStringsForWideStringsAdapter::Get(int index) {
  return WideStringToStringEx(FWideStrings->Get(index), AdapterCodePage());
}

int TAnsiStringsForWideStringsAdapter::GetCount() { return FWideStrings->GetCount(); }
void TAnsiStringsForWideStringsAdapter::Clear() { FWideStrings->Clear(); }
void TAnsiStringsForWideStringsAdapter::Delete(int index) { FWideStrings->Delete(index); }

void TAnsiStringsForWideStringsAdapter::Insert(int index, const AnsiString& s) {
  FWideStrings->Insert(index, StringToWideStringEx(s, AdapterCodePage()));
}

void TAnsiStringsForWideStringsAdapter::Put(int index, const AnsiString& s) {
  FWideStrings->Put(index, StringToWideStringEx(s, AdapterCodePage()));
}

TObject* TAnsiStringsForWideStringsAdapter::GetObject(int index) { return FWideStrings->GetObject(index); }

void TAnsiStringsForWideStringsAdapter::PutObject(int index, TObject* obj) {
  FWideStrings->PutObject(index, obj);
}

void TAnsiStringsForWideStringsAdapter::SetUpdateState(bool updating) { FWideStrings->SetUpdateState(updating); }

void TAnsiStringsForWideStringsAdapter::LoadFromStreamEx(TStream* stream, UINT codePage) {
  StringsInUpdate(this, [&] {
    const int64_t size = stream->Size() - stream->Position();
    std::string bytes(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
    if (!bytes.empty()) stream->ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    // The mark SaveToFileEx writes for UTF-8 is no part of the text.
    if (codePage == CP_UTF8_NUMBER && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    FWideStrings->SetTextStr(StringToWideStringEx(AnsiString(std::move(bytes)), codePage));
  });
}

void TAnsiStringsForWideStringsAdapter::SaveToStreamEx(TStream* stream, UINT codePage) {
  AnsiString text = WideStringToStringEx(FWideStrings->GetTextStr(), codePage);
  if (!text.IsEmpty()) stream->WriteBuffer(text.c_str(), text.Length());
}

// ===========================================================================
// TUcStrings

TUcStrings::~TUcStrings() { delete FAnsiStrings; }

TAnsiStrings* TUcStrings::AnsiStrings() {
  // Made on first use: a list-view row's sub-items never need one.
  if (!FAnsiStrings) FAnsiStrings = new TAnsiStringsForWideStringsAdapter(this, 0);
  return FAnsiStrings;
}

void TUcStrings::SetAnsiStrings(TStrings* value) { AnsiStrings()->Assign(value); }

// ===========================================================================
// TUcStringList

int TUcStringList::CompareStrings(const WideString& s1, const WideString& s2) {
  return CompareWide(s1, s2, FCaseSensitive ? 0 : NORM_IGNORECASE);
}
