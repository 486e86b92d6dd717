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

class TWideStrings : public TPersistent {
  CL_CLASS(TWideStrings, TPersistent)
public:
  TWideStrings() = default;
  ~TWideStrings() override;
  TWideStrings(const TWideStrings&) = delete;
  TWideStrings& operator=(const TWideStrings&) = delete;

  // --- what every concrete list supplies
  virtual WideString Get(int index) = 0;
  virtual int GetCount() = 0;
  virtual void Clear() = 0;
  virtual void Delete(int index) = 0;
  virtual void Insert(int index, const WideString& s) = 0;

  // --- overridable, with defaults written on the abstract operations
  void AssignTo(TPersistent* dest) override;
  void DefineProperties(TFiler* filer) override;
  void Assign(TPersistent* source) override;
  virtual int GetCapacity();                           // GetCount
  virtual TObject* GetObject(int index);               // null
  virtual WideString GetTextStr();                     // CR LF after every line, the last one too
  virtual void Put(int index, const WideString& s);    // GetObject, Delete, InsertObject
  virtual void PutObject(int index, TObject* obj);     // nothing
  virtual void SetCapacity(int newCapacity);           // nothing
  // Lines end at CR, LF or U+2028; CR LF, CR LF U+2028 end one line.
  virtual void SetTextStr(const WideString& text);
  virtual void SetUpdateState(bool updating);          // nothing
  // Locale comparison in the user's locale ignoring case: -1, 0, 1.
  virtual int CompareStrings(const WideString& s1, const WideString& s2);
  virtual int Add(const WideString& s);
  virtual int AddObject(const WideString& s, TObject* obj);
  virtual void AddStrings(TStrings* strings);           // widened by the ANSI code page
  virtual void AddStrings(TWideStrings* strings);
  virtual void Exchange(int index1, int index2);
  // A new NUL-terminated copy of the text; free it with WStrDispose.
  virtual wchar_t* GetTextW();
  virtual int IndexOf(const WideString& s);
  virtual int IndexOfName(const WideString& name);
  virtual int IndexOfObject(TObject* obj);
  virtual void InsertObject(int index, const WideString& s, TObject* obj);
  // Raw UTF-16LE text without a byte-order mark; TUcStrings detects and writes marks.
  virtual void LoadFromFile(const WideString& fileName);
  virtual void LoadFromStream(TStream* stream);
  virtual void Move(int curIndex, int newIndex);
  virtual void SaveToFile(const WideString& fileName);
  virtual void SaveToStream(TStream* stream);
  virtual void SetTextW(const wchar_t* text);

  // --- the rest
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }
  void Append(const WideString& s) { Add(s); }
  // Same count and the same UTF-16 text at every index; objects not compared.
  bool Equals(TWideStrings* strings);
  TWideStringsEnumerator GetEnumerator() { return TWideStringsEnumerator(this); }
  // EStringListError with msg formatted with data ("%d").
  [[noreturn]] static void Error(const AnsiString& msg, int data);
  [[noreturn]] static void Error(const TResStringRec* msg, int data);

  // Name=value pairs; the separator is always '='.
  static WideString ExtractName(const WideString& s);
  WideString GetName(int index);
  WideString GetValue(const WideString& name);
  void SetValue(const WideString& name, const WideString& value);
  WideString GetValueFromIndex(int index);
  void SetValueFromIndex(int index, const WideString& value);
  wchar_t GetNameValueSeparator() const { return L'='; }

  WideString GetCommaText();
  void SetCommaText(const WideString& value);
  WideString GetDelimitedText();
  void SetDelimitedText(const WideString& value);
  wchar_t GetDelimiter();  // ',' until set
  void SetDelimiter(wchar_t value);
  wchar_t GetQuoteChar();  // '"' until set
  void SetQuoteChar(wchar_t value);
  // Bit 0: the delimiter was set; bit 1: the quote character was set.
  uint8_t DefinedProperties() const { return FDefined; }

  IWideStringsAdapter* StringsAdapter() const { return FAdapter.Get(); }
  void SetStringsAdapter(IWideStringsAdapter* value);

  // --- the properties
  int Count() { return GetCount(); }
  WideString Strings(int index) { return Get(index); }
  WideString operator[](int index) { return Get(index); }
  TObject* Objects(int index) { return GetObject(index); }
  int Capacity() { return GetCapacity(); }
  WideString Text() { return GetTextStr(); }
  void SetText(const WideString& text) { SetTextStr(text); }
  WideString Names(int index) { return GetName(index); }
  WideString Values(const WideString& name) { return GetValue(name); }
  WideString ValueFromIndex(int index) { return GetValueFromIndex(index); }

protected:
  enum : uint8_t { sdDelimiter = 1, sdQuoteChar = 2 };

  // "Strings" in form resources; DoWrite: whether the list is written.
  void ReadData(TReader* reader);
  void WriteData(TWriter* writer);
  bool DoWrite(TFiler* filer);

private:

  uint8_t FDefined = 0;
  wchar_t FDelimiter = L'\0';
  wchar_t FQuoteChar = L'\0';
  int FUpdateCount = 0;
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

struct TWideStringItem {
  WideString FString;
  TObject* FObject = nullptr;
};

class TUcStringList : public TUcStrings {
  CL_CLASS(TUcStringList, TUcStrings)
public:
  TUcStringList() = default;
  ~TUcStringList() override;

  WideString Get(int index) override;
  int GetCapacity() override { return FCapacity; }
  int GetCount() override { return FCount; }
  TObject* GetObject(int index) override;
  void Put(int index, const WideString& s) override;
  void PutObject(int index, TObject* obj) override;
  // Never below Count: a smaller request keeps every item.
  void SetCapacity(int newCapacity) override;
  void SetUpdateState(bool updating) override;
  int CompareStrings(const WideString& s1, const WideString& s2) override;
  int Add(const WideString& s) override;
  int AddObject(const WideString& s, TObject* obj) override;
  void Clear() override;
  void Delete(int index) override;
  void Exchange(int index1, int index2) override;
  int IndexOf(const WideString& s) override;
  int IndexOfName(const WideString& name) override;
  void Insert(int index, const WideString& s) override;
  void InsertObject(int index, const WideString& s, TObject* obj) override;
  // Refused on a sorted list before anything is deleted.
  void Move(int curIndex, int newIndex) override;

  // Binary search; with dupAccept the index is the first of a run of equal
  // strings; when absent, where s belongs.
  virtual bool Find(const WideString& s, int& index);
  virtual void Sort();
  // Only on an unsorted list of two or more items.
  virtual void CustomSort(TUcStringListSortCompare compare);

  bool Sorted() const { return FSorted; }
  void SetSorted(bool value);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates value) { FDuplicates = value; }
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool value);
  bool Updating() const { return FUpdating; }

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

protected:
  // OnChange / OnChanging unless an update is running.
  virtual void Changed();
  virtual void Changing();
  virtual void InsertItem(int index, const WideString& s, TObject* obj);
  void Grow();
  void ExchangeItems(int index1, int index2);
  void QuickSort(int l, int r, TUcStringListSortCompare compare);

private:
  void CheckIndex(int index, int limit) const;
  std::vector<TWideStringItem> FList;  // FList.size() is the capacity
  int FCount = 0;
  int FCapacity = 0;
  bool FUpdating = false;
  bool FSorted = false;
  bool FCaseSensitive = false;
  TDuplicates FDuplicates = dupIgnore;
};

// The comparison the lists make; a test may replace it to stand for a system
// without the wide call (null: CompareStringW).
using TCompareStringWProc = int(WINAPI*)(LCID, DWORD, LPCWSTR, int, LPCWSTR, int);
extern TCompareStringWProc UcListCompareStringW;
