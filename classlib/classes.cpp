#include "classes.h"
#include "actnlist.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

CL_DEFINE_CLASS(TList, TObject)
CL_DEFINE_CLASS(TObjectList, TList)
CL_DEFINE_CLASS(TComponentList, TObjectList)
CL_DEFINE_CLASS(TPersistent, TObject)
CL_DEFINE_CLASS(TStrings, TPersistent)
CL_DEFINE_CLASS(TStringList, TStrings)
CL_DEFINE_CLASS(TStream, TObject)
CL_DEFINE_CLASS(THandleStream, TStream)
CL_DEFINE_CLASS(TFileStream, THandleStream)
CL_DEFINE_CLASS(TCustomMemoryStream, TStream)
CL_DEFINE_CLASS(TMemoryStream, TCustomMemoryStream)
CL_DEFINE_CLASS(TStringStream, TStream)
CL_DEFINE_CLASS(TResourceStream, TCustomMemoryStream)
CL_DEFINE_COMPONENT(TComponent, TPersistent)
CL_DEFINE_CLASS(TCollectionItem, TPersistent)
CL_DEFINE_CLASS(TCollection, TPersistent)
CL_DEFINE_CLASS(TCriticalSection, TObject)

TReadStateProc ReadStateProc = nullptr;

namespace {
const char* const SListIndexError = "List index out of bounds (%d)";
const char* const SListCapacityError = "List capacity out of bounds (%d)";
const char* const SListCountError = "List count out of bounds (%d)";
const char* const SMemoryStreamError = "Out of memory while expanding memory stream";

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

bool IsValidIdent(const AnsiString& s) {
  if (s.IsEmpty()) return false;
  for (int i = 1; i <= s.Length(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    bool alpha = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    bool digit = c >= '0' && c <= '9';
    if (!(alpha || (i > 1 && digit))) return false;
  }
  return true;
}
}  // namespace

// ===========================================================================
// TList

TList::~TList() { Clear(); }

void TList::Error(const AnsiString& msg, int data) { throw EListError(Format(msg, {data})); }

void TList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) Error(SListIndexError, index);
}

void TList::Grow() {
  int delta = FCapacity > 64 ? FCapacity / 4 : (FCapacity > 8 ? 16 : 4);
  SetCapacity(FCapacity + delta);
}

void TList::SetCapacity(int newCapacity) {
  if (newCapacity < Count()) Error(SListCapacityError, newCapacity);
  if (newCapacity > static_cast<int>(FList.capacity())) FList.reserve(newCapacity);
  FCapacity = newCapacity;
}

void TList::SetCount(int newCount) {
  if (newCount < 0) Error(SListCountError, newCount);
  if (newCount > FCapacity) SetCapacity(newCount);
  if (newCount > Count()) {
    FList.resize(newCount, nullptr);
  } else {
    for (int i = Count() - 1; i >= newCount; --i) Delete(i);
  }
}

int TList::Add(void* item) {
  int result = Count();
  if (result == FCapacity) Grow();
  FList.push_back(item);
  if (item) Notify(item, lnAdded);
  return result;
}

void TList::Insert(int index, void* item) {
  if (index < 0 || index > Count()) Error(SListIndexError, index);
  if (Count() == FCapacity) Grow();
  FList.insert(FList.begin() + index, item);
  if (item) Notify(item, lnAdded);
}

void TList::Delete(int index) {
  CheckIndex(index);
  void* temp = FList[index];
  FList.erase(FList.begin() + index);
  if (temp) Notify(temp, lnDeleted);
}

int TList::Remove(void* item) {
  int index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

int TList::IndexOf(void* item) const {
  auto it = std::find(FList.begin(), FList.end(), item);
  return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

void TList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(FList[index1], FList[index2]);
}

void TList::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  void* item = FList[curIndex];
  FList.erase(FList.begin() + curIndex);
  FList.insert(FList.begin() + newIndex, item);
}

void* TList::Extract(void* item) {
  int index = IndexOf(item);
  if (index < 0) return nullptr;
  FList.erase(FList.begin() + index);
  if (item) Notify(item, lnExtracted);
  return item;
}

void TList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void* TList::Items(int index) const {
  CheckIndex(index);
  return FList[index];
}

void TList::SetItem(int index, void* item) {
  CheckIndex(index);
  void* temp = FList[index];
  if (temp == item) return;
  FList[index] = item;
  if (temp) Notify(temp, lnDeleted);
  if (item) Notify(item, lnAdded);
}

void TList::Pack() { FList.erase(std::remove(FList.begin(), FList.end(), nullptr), FList.end()); }

void TList::Sort(TListSortCompare compare) {
  if (Count() <= 1 || !compare) return;
  QuickSortIndexes(
      0, Count() - 1, [&](int a, int b) { return compare(FList[a], FList[b]); },
      [&](int a, int b) { std::swap(FList[a], FList[b]); });
}

void TList::Notify(void* ptr, TListNotification action) {
  (void)ptr;
  (void)action;
}

// ===========================================================================
// TObjectList, TComponentList

// The base destructor's Clear would no longer reach this class's Notify.
TObjectList::~TObjectList() { Clear(); }

void TObjectList::Notify(void* ptr, TListNotification action) {
  if (FOwnsObjects && action == lnDeleted) delete static_cast<TObject*>(ptr);
  TList::Notify(ptr, action);
}

// Receives the free notifications of a TComponentList's items on its behalf.
class TComponentListNexus : public TComponent {
  CL_CLASS(TComponentListNexus, TComponent)
public:
  explicit TComponentListNexus(TComponentList* list) : TComponent(nullptr), FList(list) {}
  void Notification(TComponent* component, TOperation operation) override {
    if (operation == opRemove && FList) FList->HandleFreeNotify(component);
    TComponent::Notification(component, operation);
  }

private:
  TComponentList* FList;
};
CL_DEFINE_CLASS(TComponentListNexus, TComponent)

namespace {
TComponent* AsComponent(void* p) { return static_cast<TComponent*>(static_cast<TObject*>(p)); }
}  // namespace

TComponentList::~TComponentList() {
  Clear();
  delete FNexus;
}

int TComponentList::Add(TComponent* c) { return TObjectList::Add(c); }
void TComponentList::Insert(int index, TComponent* c) { TObjectList::Insert(index, c); }
int TComponentList::Remove(TComponent* c) { return TObjectList::Remove(c); }
int TComponentList::IndexOf(TComponent* c) const { return TObjectList::IndexOf(c); }
TComponent* TComponentList::Extract(TComponent* c) {
  return static_cast<TComponent*>(TObjectList::Extract(c));
}
TComponent* TComponentList::Items(int index) const {
  return static_cast<TComponent*>(TObjectList::Items(index));
}
void TComponentList::SetItem(int index, TComponent* c) { TObjectList::SetItem(index, c); }
TComponent* TComponentList::First() const { return static_cast<TComponent*>(TObjectList::First()); }
TComponent* TComponentList::Last() const { return static_cast<TComponent*>(TObjectList::Last()); }

void TComponentList::HandleFreeNotify(TComponent* c) {
  while (IndexOf(c) >= 0) Extract(c);
}

void TComponentList::Notify(void* ptr, TListNotification action) {
  TComponent* c = AsComponent(ptr);
  if (action == lnAdded) {
    if (!FNexus) FNexus = new TComponentListNexus(this);
    c->FreeNotification(FNexus);
  } else if (FNexus && TList::IndexOf(ptr) < 0) {
    // Unlink before an owning list deletes it, so the nexus is not told twice.
    c->RemoveFreeNotification(FNexus);
  }
  TObjectList::Notify(ptr, action);
}

// ===========================================================================
// TPersistent

void TPersistent::Assign(TPersistent* source) {
  if (source)
    source->AssignTo(this);
  else
    AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* dest) { dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* source) {
  AnsiString sourceName = source ? source->ClassName() : AnsiString("nil");
  throw EConvertError(Format("Cannot assign a %s to a %s", {sourceName, ClassName()}));
}

void TPersistent::DefineProperties(TFiler* filer) { (void)filer; }

TPersistent* TPersistent::GetOwner() { return nullptr; }

AnsiString TPersistent::GetNamePath() { return ClassName(); }

// ===========================================================================
// TStrings

void TStrings::Error(const AnsiString& msg, int data) { throw EStringListError(Format(msg, {data})); }

int TStrings::CompareStrings(const AnsiString& s1, const AnsiString& s2) {
  return Sign(AnsiCompareText(s1, s2));
}

void TStrings::LoadFromStream(TStream* stream) {
  StringsInUpdate(this, [&] {
    int64_t left = stream->Size() - stream->Position();
    if (left < 0) left = 0;
    if (left > INT32_MAX) throw EReadError("Stream read error");
    AnsiString text;
    text.SetLength(static_cast<int>(left));
    // A short read gives the text that was read; only a failing stream is an error.
    int32_t got = left ? stream->Read(text.data(), static_cast<int32_t>(left)) : 0;
    text.SetLength(got > 0 ? got : 0);
    SetTextStr(text);
  });
}

void TStrings::SaveToStream(TStream* stream) {
  AnsiString text = GetTextStr();
  stream->WriteBuffer(text.c_str(), text.Length());
}

void TStrings::LoadFromFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TStrings::SaveToFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

void TStrings::Assign(TPersistent* source) {
  if (source && source->Is<TStrings>()) {
    TStrings* src = static_cast<TStrings*>(source);
    StringsInUpdate(this, [&] {
      Clear();
      FDefined = src->FDefined;
      FDelimiter = src->FDelimiter;
      FQuoteChar = src->FQuoteChar;
      AddStrings(src);
    });
    return;
  }
  TPersistent::Assign(source);
}

void TStrings::SetDelimitedText(const AnsiString& text) {
  char quote = QuoteChar();
  char delimiter = Delimiter();
  // The text ends at its first NUL, as a C string would.
  const std::string& s = text.str();
  const size_t n = std::min(s.size(), std::strlen(s.c_str()));
  auto blank = [&](size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    return c >= 1 && c <= ' ';
  };
  StringsInUpdate(this, [&] {
    Clear();
    size_t i = 0;
    while (i < n && blank(i)) ++i;
    while (i < n) {
      std::string item;
      if (s[i] == quote) {
        // Up to the closing quote; a doubled quote stands for one.
        ++i;
        while (i < n) {
          if (s[i] == quote) {
            if (i + 1 < n && s[i + 1] == quote) {
              item += quote;
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          item += s[i++];
        }
      } else {
        size_t start = i;
        while (i < n && static_cast<unsigned char>(s[i]) > ' ' && s[i] != delimiter) ++i;
        item = s.substr(start, i - start);
      }
      Add(AnsiString(std::move(item)));
      while (i < n && blank(i)) ++i;
      if (i < n && s[i] == delimiter) {
        if (i + 1 == n) Add(AnsiString());
        ++i;
        while (i < n && blank(i)) ++i;
      }
    }
  });
}

// ===========================================================================
// TStringList

void TStringList::SetCapacity(int newCapacity) {
  if (newCapacity < FCount) Error(SListCapacityError, newCapacity);
  TStringListCore::SetCapacity(newCapacity);
}

int TStringList::CompareStrings(const AnsiString& s1, const AnsiString& s2) {
  return Sign(FCaseSensitive ? AnsiCompareStr(s1, s2) : AnsiCompareText(s1, s2));
}

// ===========================================================================
// TStream

int32_t TStream::Seek(int32_t offset, uint16_t origin) {
  TSeekOrigin o = origin == soFromCurrent ? soCurrent : (origin == soFromEnd ? soEnd : soBeginning);
  return static_cast<int32_t>(Seek(int64_t(offset), o));
}

void TStream::SetSize(int64_t newSize) {
  if (newSize < INT32_MIN || newSize > INT32_MAX) throw ERangeError("Range check error");
  SetSize(static_cast<int32_t>(newSize));
}

void TStream::SetSize(int32_t newSize) { (void)newSize; }

int64_t TStream::GetSize() {
  int64_t pos = Seek(int64_t(0), soCurrent);
  int64_t result = Seek(int64_t(0), soEnd);
  Seek(pos, soBeginning);
  return result;
}

// The system's reason goes with the error when a file call gave one; a memory
// stream or a short read at the end leaves the code cleared before the call.
void TStream::ReadBuffer(void* buffer, int32_t count) {
  if (count == 0) return;
  SetLastError(0);
  if (Read(buffer, count) != count) throw EReadError("Stream read error", WideString(), GetLastError());
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    SetLastError(0);
    const int32_t n = Write(p, count);
    // A full disk takes what fits without a word; only the next write says
    // why it takes no more, and that is the reason the error carries.
    if (n <= 0) throw EWriteError("Stream write error", WideString(), GetLastError());
    p += n;
    count -= n;
  }
}

int64_t TStream::CopyFrom(TStream* source, int64_t count) {
  const int32_t MaxBufSize = 0xF000;
  if (count == 0) {
    source->SetPosition(0);
    count = source->Size();
  }
  if (count <= 0) return 0;
  int64_t result = count;
  int32_t bufSize = count > MaxBufSize ? MaxBufSize : static_cast<int32_t>(count);
  std::unique_ptr<char[]> buffer(new char[bufSize]);
  while (count != 0) {
    int32_t n = count > bufSize ? bufSize : static_cast<int32_t>(count);
    source->ReadBuffer(buffer.get(), n);
    WriteBuffer(buffer.get(), n);
    count -= n;
  }
  return result;
}

// ===========================================================================
// THandleStream, TFileStream

TFileHandleCalls FileHandleCalls = {&FlushFileBuffers, &CloseHandle};

bool THandleStream::Flush(DWORD& error) {
  if (FileHandleCalls.Flush(FHandle)) return true;
  error = GetLastError();
  return false;
}

int32_t THandleStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  DWORD done = 0;
  if (!ReadFile(FHandle, buffer, static_cast<DWORD>(count), &done, nullptr)) return 0;
  return static_cast<int32_t>(done);
}

int32_t THandleStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  DWORD done = 0;
  if (!WriteFile(FHandle, buffer, static_cast<DWORD>(count), &done, nullptr)) return 0;
  return static_cast<int32_t>(done);
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER result;
  DWORD method = origin == soCurrent ? FILE_CURRENT : (origin == soEnd ? FILE_END : FILE_BEGIN);
  if (!SetFilePointerEx(FHandle, distance, &result, method)) return -1;
  return result.QuadPart;
}

void THandleStream::SetSize(int64_t newSize) {
  int64_t oldPosition = Position();
  if (Seek(newSize, soBeginning) != newSize) RaiseLastOSError();
  Win32Check(SetEndOfFile(FHandle));
  // Like a memory stream: the position stays unless it is now past the end.
  if (oldPosition >= 0 && oldPosition < newSize) Seek(oldPosition, soBeginning);
}

int64_t THandleStream::GetSize() {
  LARGE_INTEGER size;
  if (GetFileSizeEx(FHandle, &size)) return size.QuadPart;
  return TStream::GetSize();
}

namespace {
HANDLE OpenFileStreamHandle(const AnsiString& fileName, uint16_t mode) {
  HANDLE h;
  if (mode == fmCreate) {
    h = CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      DWORD err = GetLastError();
      const AnsiString full = ExpandFileName(fileName);
      throw EFCreateError(Format("Cannot create file \"%s\". %s", {full, SysErrorMessage(err)}), AnsiToWide(full),
                          err);
    }
    return h;
  }
  static const DWORD access[3] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
  static const DWORD share[5] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
  unsigned accessIndex = mode & 3;
  unsigned shareIndex = (mode & 0xF0) >> 4;
  if (accessIndex < 3 && shareIndex < 5) {
    h = CreateFileA(fileName.c_str(), access[accessIndex], share[shareIndex], nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
  } else {
    h = INVALID_HANDLE_VALUE;
    SetLastError(ERROR_INVALID_PARAMETER);
  }
  if (h == INVALID_HANDLE_VALUE) {
    DWORD err = GetLastError();
    const AnsiString full = ExpandFileName(fileName);
    throw EFOpenError(Format("Cannot open file \"%s\". %s", {full, SysErrorMessage(err)}), AnsiToWide(full), err);
  }
  return h;
}
}  // namespace

TFileStream::TFileStream(const AnsiString& fileName, uint16_t mode)
    : THandleStream(OpenFileStreamHandle(fileName, mode)) {}

TFileStream::~TFileStream() {
  if (FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle);
}

// ===========================================================================
// Memory streams

int32_t TCustomMemoryStream::Read(void* buffer, int32_t count) {
  if (FPosition < 0 || count <= 0) return 0;
  int64_t n = FSize - FPosition;
  if (n <= 0) return 0;
  if (n > count) n = count;
  std::memcpy(buffer, static_cast<char*>(FMemory) + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return static_cast<int32_t>(n);
}

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning: FPosition = offset; break;
    case TSeekOrigin::soCurrent: FPosition += offset; break;
    case TSeekOrigin::soEnd: FPosition = FSize + offset; break;
  }
  return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream* stream) {
  if (FSize != 0) stream->WriteBuffer(FMemory, FSize);
}

void TCustomMemoryStream::SaveToFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

void TCustomMemoryStream::SetPointer(void* ptr, int32_t size) {
  FMemory = ptr;
  FSize = size;
}

TMemoryStream::~TMemoryStream() { Clear(); }

void TMemoryStream::Clear() {
  SetCapacity(0);
  FSize = 0;
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream* stream) {
  stream->SetPosition(0);
  int64_t count = stream->Size();
  SetSize(count);
  if (count != 0) stream->ReadBuffer(FMemory, static_cast<int32_t>(count));
  // The loaded data is read from its start, not from where the old data was left.
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TMemoryStream::SetCapacity(int32_t newCapacity) {
  SetPointer(Realloc(newCapacity), FSize);
  FCapacity = newCapacity;
}

void* TMemoryStream::Realloc(int32_t& newCapacity) {
  const int64_t MemoryDelta = 0x2000;
  if (newCapacity < 0) throw EStreamError(SMemoryStreamError);
  if (newCapacity > 0 && newCapacity != FSize) {
    int64_t rounded = (int64_t(newCapacity) + (MemoryDelta - 1)) & ~(MemoryDelta - 1);
    if (rounded > INT32_MAX) throw EStreamError(SMemoryStreamError);
    newCapacity = static_cast<int32_t>(rounded);
  }
  void* result = FMemory;
  if (newCapacity != FCapacity) {
    if (newCapacity == 0) {
      std::free(FMemory);
      result = nullptr;
    } else {
      result = std::realloc(FMemory, static_cast<size_t>(newCapacity));
      if (!result) throw EStreamError(SMemoryStreamError);
    }
  }
  return result;
}

void TMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) throw EStreamError("Negative stream size invalid");
  if (newSize > INT32_MAX) throw EStreamError(SMemoryStreamError);
  SetSize(static_cast<int32_t>(newSize));
}

void TMemoryStream::SetSize(int32_t newSize) {
  if (newSize < 0) throw EStreamError("Negative stream size invalid");
  int64_t oldPosition = FPosition;
  int32_t oldSize = FSize;
  SetCapacity(newSize);
  // Bytes a larger size adds read as zeros, not as whatever the heap held.
  if (newSize > oldSize) std::memset(static_cast<char*>(FMemory) + oldSize, 0, size_t(newSize - oldSize));
  FSize = newSize;
  if (oldPosition > newSize) FPosition = newSize;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (FPosition < 0 || count <= 0) return 0;
  int64_t pos = FPosition + count;
  if (pos > FSize) {
    if (pos > INT32_MAX) throw EStreamError(SMemoryStreamError);
    if (pos > FCapacity) {
      // Growing by a quarter at a time keeps many small writes linear; growing to
      // exactly the new end made every write of a large stream copy it whole.
      int64_t want = std::max<int64_t>(pos, int64_t(FCapacity) + FCapacity / 4);
      if (want > INT32_MAX - 0x2000) want = pos;
      SetCapacity(static_cast<int32_t>(want));
    }
    // A write after a seek past the end leaves a gap of zeros.
    if (FPosition > FSize) std::memset(static_cast<char*>(FMemory) + FSize, 0, size_t(FPosition - FSize));
    FSize = static_cast<int32_t>(pos);
  }
  std::memcpy(static_cast<char*>(FMemory) + FPosition, buffer, static_cast<size_t>(count));
  FPosition = pos;
  return count;
}

// ===========================================================================
// TStringStream

int32_t TStringStream::Read(void* buffer, int32_t count) {
  int32_t n = FDataString.Length() - FPosition;
  if (n > count) n = count;
  if (n <= 0) return 0;
  std::memcpy(buffer, FDataString.c_str() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int32_t TStringStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  int64_t end = int64_t(FPosition) + count;
  if (end > INT32_MAX) throw EStreamError(SMemoryStreamError);
  // Overwrites in place and extends only past the end; the tail after the
  // written bytes is kept.
  if (end > FDataString.Length()) FDataString.SetLength(static_cast<int>(end));
  std::memcpy(FDataString.data() + FPosition, buffer, static_cast<size_t>(count));
  FPosition = static_cast<int32_t>(end);
  return count;
}

int64_t TStringStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t pos = FPosition;
  switch (origin) {
    case TSeekOrigin::soBeginning: pos = offset; break;
    case TSeekOrigin::soCurrent: pos += offset; break;
    case TSeekOrigin::soEnd: pos = FDataString.Length() + offset; break;
  }
  if (pos > FDataString.Length()) pos = FDataString.Length();
  if (pos < 0) pos = 0;
  FPosition = static_cast<int32_t>(pos);
  return FPosition;
}

void TStringStream::SetSize(int32_t newSize) {
  if (newSize < 0) throw EStreamError("Negative stream size invalid");
  FDataString.SetLength(newSize);
  if (FPosition > newSize) FPosition = newSize;
}

AnsiString TStringStream::ReadString(int32_t count) {
  int32_t n = FDataString.Length() - FPosition;
  if (n > count) n = count;
  if (n <= 0) return AnsiString();
  AnsiString result(FDataString.c_str() + FPosition, n);
  FPosition += n;
  return result;
}

void TStringStream::WriteString(const AnsiString& s) { Write(s.c_str(), s.Length()); }

// ===========================================================================
// TResourceStream

TResourceStream::TResourceStream(HINSTANCE instance, const AnsiString& resName, LPCSTR resType) {
  Initialize(instance, resName.c_str(), resType, resName);
}

TResourceStream::TResourceStream(HINSTANCE instance, const char* resName, LPCSTR resType) {
  if (IS_INTRESOURCE(resName))
    Initialize(instance, resName, resType, IntToStr(static_cast<int>(reinterpret_cast<uintptr_t>(resName))));
  else
    Initialize(instance, resName, resType, resName);
}

TResourceStream::TResourceStream(HINSTANCE instance, int resId, LPCSTR resType) {
  Initialize(instance, MAKEINTRESOURCEA(resId), resType, IntToStr(resId));
}

void TResourceStream::Initialize(HINSTANCE instance, LPCSTR name, LPCSTR resType, const AnsiString& shownName) {
  FResInfo = FindResourceA(instance, name, resType);
  if (FResInfo) FHandle = LoadResource(instance, FResInfo);
  if (!FResInfo || !FHandle) throw EResNotFound(Format("Resource %s not found", {shownName}));
  SetPointer(LockResource(FHandle), static_cast<int32_t>(SizeofResource(instance, FResInfo)));
}

TResourceStream::~TResourceStream() {
  if (FHandle) FreeResource(FHandle);
}

int32_t TResourceStream::Write(const void* buffer, int32_t count) {
  (void)buffer;
  (void)count;
  throw EStreamError("Can't write to a read-only resource stream");
}

// ===========================================================================
// TComponent

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  if (!FFreeNotifies.empty()) {
    // A listener may unlink, delete itself or delete other listeners while it
    // is told; only those still linked are told.
    std::vector<TComponent*> listeners = FFreeNotifies;
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
      if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), *it) == FFreeNotifies.end()) continue;
      (*it)->Notification(this, opRemove);
    }
    // Listeners whose Notification did not unlink must not keep a dangling link.
    for (TComponent* c : FFreeNotifies) c->RemoveNotification(this);
    FFreeNotifies.clear();
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::BeforeDestruction() {
  if (!(FComponentState & csDestroying)) Destroying();
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) TList::Error(SListIndexError, index);
  return FComponents[index];
}

int TComponent::ComponentIndex() const {
  if (!FOwner) return -1;
  auto& list = FOwner->FComponents;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TComponent::SetComponentIndex(int value) {
  int index = ComponentIndex();
  if (index < 0) return;
  auto& list = FOwner->FComponents;
  int count = static_cast<int>(list.size());
  if (value < 0) value = 0;
  if (value >= count) value = count - 1;
  if (value == index) return;
  list.erase(list.begin() + index);
  list.insert(list.begin() + value, this);
}

TComponent* TComponent::FindComponent(const AnsiString& name) const {
  if (name.IsEmpty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameText(c->FName, name)) return c;
  return nullptr;
}

void TComponent::SetName(const AnsiString& newName) {
  if (FName == newName) return;
  if (!newName.IsEmpty() && !IsValidIdent(newName))
    throw EComponentError(Format("'%s' is not a valid component name", {newName}));
  if (FOwner)
    FOwner->ValidateRename(this, FName, newName);
  else
    ValidateRename(nullptr, FName, newName);
  ChangeName(newName);
}

void TComponent::ValidateRename(TComponent* component, const AnsiString& curName, const AnsiString& newName) {
  if (component && !newName.IsEmpty() && !SameText(curName, newName) && FindComponent(newName))
    throw EComponentError(Format("A component named %s already exists", {newName}));
}

void TComponent::ValidateContainer(TComponent* component) { component->ValidateInsert(this); }

void TComponent::Insert(TComponent* component) {
  FComponents.push_back(component);
  component->FOwner = this;
}

void TComponent::Remove(TComponent* component) {
  auto it = std::find(FComponents.begin(), FComponents.end(), component);
  if (it != FComponents.end()) FComponents.erase(it);
  component->FOwner = nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component || component->FOwner == this) return;
  component->ValidateContainer(this);
  ValidateRename(component, AnsiString(), component->FName);
  // A component has one owner: it leaves the former one first.
  if (component->FOwner) component->FOwner->RemoveComponent(component);
  Insert(component);
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (!component || component->FOwner != this) return;
  ValidateRename(component, component->FName, AnsiString());
  Notification(component, opRemove);
  Remove(component);
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component) return;
  if (component != this &&
      std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end()) {
    FFreeNotifies.push_back(component);
    component->FreeNotification(this);
  }
  FComponentState |= csFreeNotification;
}

void TComponent::RemoveNotification(TComponent* component) {
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), component), FFreeNotifies.end());
  if (FFreeNotifies.empty()) FComponentState &= ~csFreeNotification;
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  RemoveNotification(component);
  component->RemoveNotification(this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) RemoveFreeNotification(component);
  // Passed on last to first; the list may shrink while it is walked.
  int i = ComponentCount() - 1;
  while (i >= 0) {
    FComponents[i]->Notification(component, operation);
    --i;
    if (i >= ComponentCount()) i = ComponentCount() - 1;
  }
}

void TComponent::Destroying() {
  if (FComponentState & csDestroying) return;
  FComponentState |= csDestroying;
  for (TComponent* c : FComponents) c->Destroying();
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* instance = FComponents.back();
    Remove(instance);
    delete instance;
  }
}

void TComponent::SetSubComponent(bool value) {
  if (value)
    FComponentStyle |= csSubComponent;
  else
    FComponentStyle &= ~csSubComponent;
}

void TComponent::Loaded() { FComponentState &= ~csLoading; }

void TComponent::ReadState(TReader* reader) {
  if (ReadStateProc) ReadStateProc(this, reader);
}

// An action that can work on this component (a standard action on the
// focused edit, say) takes it as its target.
bool TComponent::ExecuteAction(TBasicAction* action) {
  if (!action || !action->HandlesTarget(this)) return false;
  action->ExecuteTarget(this);
  return true;
}

bool TComponent::UpdateAction(TBasicAction* action) {
  if (!action || !action->HandlesTarget(this)) return false;
  action->UpdateTarget(this);
  return true;
}

// ===========================================================================
// TCollection

TCollectionItem::TCollectionItem(TCollection* collection) {
  // Joins silently: Notify(cnAdded) waits until the derived item is complete.
  if (collection) collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem() {
  if (FCollection) FCollection->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* value) {
  if (FCollection == value) return;
  if (FCollection) FCollection->RemoveItem(this);
  if (value) {
    value->InsertItem(this);
    value->NotifyAdded(this);
  }
}

int TCollectionItem::Index() const {
  if (!FCollection) return -1;
  auto& items = FCollection->FItems;
  auto it = std::find(items.begin(), items.end(), this);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void TCollectionItem::SetIndex(int value) {
  int cur = Index();
  if (cur >= 0 && cur != value) {
    FCollection->MoveItem(cur, value);
    Changed(true);
  }
}

AnsiString TCollectionItem::GetDisplayName() { return ClassName(); }

void TCollectionItem::SetDisplayName(const AnsiString& value) {
  (void)value;
  Changed(false);
}

TPersistent* TCollectionItem::GetOwner() { return FCollection; }

AnsiString TCollectionItem::GetNamePath() {
  if (!FCollection) return ClassName();
  return Format("%s[%d]", {FCollection->GetNamePath(), Index()});
}

void TCollectionItem::Changed(bool allItems) {
  if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(allItems ? nullptr : this);
}

TCollection::TCollection(const TMetaClass* itemClass, TCollectionItemFactory factory, TPersistent* owner)
    : FItemClass(itemClass), FFactory(factory), FOwner(owner) {}

TCollection::~TCollection() {
  FUpdateCount = 1;
  Clear();
}

TCollectionItem* TCollection::Add() {
  TCollectionItem* item = FFactory(this);
  if (item->Collection() != this) item->SetCollection(this);
  if (FItemClass && !item->InheritsFrom(FItemClass)) {
    delete item;
    throw EListError("Invalid property value");
  }
  NotifyAdded(item);
  return item;
}

void TCollection::NotifyAdded(TCollectionItem* item) {
  Notify(item, cnAdded);
  Changed();
}

TCollectionItem* TCollection::Insert(int index) {
  TCollectionItem* item = Add();
  item->SetIndex(index);
  return item;
}

void TCollection::Delete(int index) {
  TCollectionItem* item = Items(index);
  Notify(item, cnDeleting);
  RemoveItem(item);
  delete item;
}

void TCollection::Clear() {
  if (FItems.empty()) return;
  BeginUpdate();
  try {
    while (!FItems.empty()) {
      TCollectionItem* item = FItems.back();
      RemoveItem(item);
      delete item;
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count()) TList::Error(SListIndexError, index);
  return FItems[index];
}

TCollectionItem* TCollection::FindItemID(int id) const {
  for (TCollectionItem* item : FItems)
    if (item->FID == id) return item;
  return nullptr;
}

void TCollection::BeginUpdate() { ++FUpdateCount; }

void TCollection::EndUpdate() {
  if (FUpdateCount <= 0) return;
  --FUpdateCount;
  Changed();
}

void TCollection::Changed() {
  if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::Assign(TPersistent* source) {
  if (source && source->Is<TCollection>()) {
    TCollection* src = static_cast<TCollection*>(source);
    BeginUpdate();
    try {
      Clear();
      for (TCollectionItem* item : src->FItems) Add()->Assign(item);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TPersistent::Assign(source);
}

AnsiString TCollection::GetNamePath() { return ClassName(); }

void TCollection::InsertItem(TCollectionItem* item) {
  FItems.push_back(item);
  item->FCollection = this;
  item->FID = FNextID++;
}

void TCollection::RemoveItem(TCollectionItem* item) {
  Notify(item, cnExtracting);
  auto it = std::find(FItems.begin(), FItems.end(), item);
  if (it != FItems.end()) FItems.erase(it);
  item->FCollection = nullptr;
  Changed();
}

void TCollection::MoveItem(int curIndex, int newIndex) {
  if (newIndex < 0 || newIndex >= Count()) TList::Error(SListIndexError, newIndex);
  TCollectionItem* item = FItems[curIndex];
  FItems.erase(FItems.begin() + curIndex);
  FItems.insert(FItems.begin() + newIndex, item);
}

// ===========================================================================

void UnitInit_classes() {}
void UnitFini_classes() {}
