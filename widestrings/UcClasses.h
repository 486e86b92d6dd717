// Ordered lists of UTF-16 strings, each with an object reference the list does
// not own: the abstract TWideStrings, TUcStrings (byte-order-mark aware text
// files and an ANSI view) and the array-backed TUcStringList with sorting,
// duplicates rule and change events.
#pragma once

#include "classes.h"
#include "stringsadapter.h"

#include "UcWideStreams.h"

#include <cstdint>

class TWideStrings;
class TUcStrings;

// The counted interface of an outside client mirroring a wide list.
class IWideStringsAdapter : public IRefCounted {
public:
  virtual void ReferenceStrings(TWideStrings* strings) = 0;
  virtual void ReleaseStrings() = 0;

protected:
  ~IWideStringsAdapter() = default;
};

// Walks a list: MoveNext, then Current, until MoveNext answers false.
class TWideStringsEnumerator {
public:
  explicit TWideStringsEnumerator(TWideStrings* strings) : FStrings(strings) {}
  bool MoveNext();
  WideString GetCurrent();
  WideString Current() { return GetCurrent(); }

private:
  TWideStrings* FStrings;
  int FIndex = -1;
};

// The operations and their defaults are those of the ANSI list
// (stringlistcore.h) over WideString; here is what only the wide list has.
class TWideStrings : public TStringsCore<TWideStrings, TPersistent, WideString> {
  CL_CLASS(TWideStrings, TPersistent)
public:
  TWideStrings() = default;
  ~TWideStrings() override;

  void AssignTo(TPersistent* dest) override;
  void DefineProperties(TFiler* filer) override;
  void Assign(TPersistent* source) override;
  // Locale comparison in the user's locale ignoring case: -1, 0, 1.
  int CompareStrings(const WideString& s1, const WideString& s2) override;
  using TStringsCore::AddStrings;
  virtual void AddStrings(TStrings* strings);  // widened by the ANSI code page
  // A new NUL-terminated copy of the text; free it with WStrDispose.
  virtual wchar_t* GetTextW();
  // Raw UTF-16LE text without a byte-order mark; TUcStrings detects and writes marks.
  virtual void LoadFromFile(const WideString& fileName);
  virtual void LoadFromStream(TStream* stream);
  virtual void SaveToFile(const WideString& fileName);
  virtual void SaveToStream(TStream* stream);
  virtual void SetTextW(const wchar_t* text);

  TWideStringsEnumerator GetEnumerator() { return TWideStringsEnumerator(this); }
  // EStringListError with msg formatted with data ("%d").
  [[noreturn]] static void Error(const AnsiString& msg, int data);
  [[noreturn]] static void Error(const TResStringRec* msg, int data);

  WideString GetName(int index) { return Names(index); }
  WideString GetValue(const WideString& name) { return Values(name); }
  WideString GetValueFromIndex(int index) { return ValueFromIndex(index); }
  wchar_t GetNameValueSeparator() const { return L'='; }

  WideString GetCommaText() { return JoinCommaText(); }
  WideString GetDelimitedText() { return JoinDelimited(); }
  void SetDelimitedText(const WideString& value);
  wchar_t GetDelimiter() { return CurrentDelimiter(); }  // ',' until set
  wchar_t GetQuoteChar() { return CurrentQuoteChar(); }  // '"' until set
  // Bit 0: the delimiter was set; bit 1: the quote character was set.
  uint8_t DefinedProperties() const { return FDefined; }

  IWideStringsAdapter* StringsAdapter() const { return FAdapter.Get(); }
  void SetStringsAdapter(IWideStringsAdapter* value);

protected:
  // "Strings" in form resources; DoWrite: whether the list is written.
  void ReadData(TReader* reader);
  void WriteData(TWriter* writer);
  bool DoWrite(TFiler* filer);

private:
  TInterfacePtr<IWideStringsAdapter> FAdapter;
};

class TAnsiStrings : public TStrings {
  CL_CLASS(TAnsiStrings, TStrings)
public:
  using TStrings::LoadFromFile;
  using TStrings::SaveToFile;
  // Open with share-deny-write / create, then the narrow stream load / save.
  void LoadFromFile(const AnsiString& fileName) override;
  void SaveToFile(const AnsiString& fileName) override;
  virtual void LoadFromFile(const WideString& fileName);
  virtual void SaveToFile(const WideString& fileName);
  void LoadFromFileEx(const WideString& fileName, UINT codePage);
  // Writes EF BB BF first for code page 65001.
  void SaveToFileEx(const WideString& fileName, UINT codePage);
  virtual void LoadFromStreamEx(TStream* stream, UINT codePage) = 0;
  virtual void SaveToStreamEx(TStream* stream, UINT codePage) = 0;
};

// A narrow view of a wide list: holds no strings, converts each one through
// its code page (0: the system's ANSI code page, looked up at each call).
class TAnsiStringsForWideStringsAdapter : public TAnsiStrings {
  CL_CLASS(TAnsiStringsForWideStringsAdapter, TAnsiStrings)
public:
  explicit TAnsiStringsForWideStringsAdapter(TWideStrings* wideStrings, UINT adapterCodePage = 0);

  AnsiString Get(int index) override;
  int GetCount() override;
  void Clear() override;
  void Delete(int index) override;
  void Insert(int index, const AnsiString& s) override;
  void Put(int index, const AnsiString& s) override;
  TObject* GetObject(int index) override;
  void PutObject(int index, TObject* obj) override;
  void SetUpdateState(bool updating) override;
  // The bytes from the position to the end as one text (a leading UTF-8 mark
  // is skipped for 65001); the text's bytes without mark or terminator.
  void LoadFromStreamEx(TStream* stream, UINT codePage) override;
  void SaveToStreamEx(TStream* stream, UINT codePage) override;

protected:
  virtual UINT AdapterCodePage();

private:
  TWideStrings* FWideStrings;
  UINT FAdapterCodePage;
};

class TUcStrings : public TWideStrings {
  CL_CLASS(TUcStrings, TWideStrings)
public:
  TUcStrings() = default;
  ~TUcStrings() override;

  void DefineProperties(TFiler* filer) override;
  // Detects the byte-order mark (UTF-16LE, UTF-16BE, UTF-8, else ANSI).
  void LoadFromFile(const WideString& fileName) override;
  void LoadFromStream(TStream* stream) override;    // LoadFromStream_BOM(stream, true)
  // UTF-16LE with FF FE, whatever the file held when it was loaded.
  void SaveToFile(const WideString& fileName) override;
  void SaveToStream(TStream* stream) override;      // SaveToStream_BOM(stream, true)
  virtual void LoadFromStream_BOM(TStream* stream, bool withBOM);
  virtual void SaveToStream_BOM(TStream* stream, bool withBOM);

  TUcStreamCharSet LastFileCharSet() const { return FLastFileCharSet; }
  // The narrow view (system code page), made on first use.
  TAnsiStrings* AnsiStrings();
  // Replaces the content with value's strings, converted.
  void SetAnsiStrings(TStrings* value);

private:
  void ReadWideStrings(TReader* reader);
  void ReadWideStringsW(TReader* reader);
  void ReadWideStringsUTF7(TReader* reader);
  void WriteWideStringsUTF7(TWriter* writer);

  TUcStreamCharSet FLastFileCharSet = csUnicode;
  TAnsiStringsForWideStringsAdapter* FAnsiStrings = nullptr;
};

class TUcStringList;
using TUcStringListSortCompare = int (*)(TUcStringList* list, int index1, int index2);

using TWideStringItem = TStringListItem<WideString>;

class TUcStringList : public TStringListCore<TUcStringList, TUcStrings, WideString> {
  CL_CLASS(TUcStringList, TUcStrings)
public:
  int CompareStrings(const WideString& s1, const WideString& s2) override;
  bool Updating() const { return FUpdating; }
};

// The comparison the lists make; a test may replace it to stand for a system
// without the wide call (null: CompareStringW).
using TCompareStringWProc = int(WINAPI*)(LCID, DWORD, LPCWSTR, int, LPCWSTR, int);
extern TCompareStringWProc UcListCompareStringW;
