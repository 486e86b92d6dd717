// Lists, string lists, streams, persistent objects, components and
// collections: the non-visual classes every other layer builds on.
#pragma once

#include "stringlistcore.h"
#include "sysutils.h"

#include <cstdint>
#include <vector>

class TFiler;
class TReader;
class TWriter;
class TStream;
class TComponent;
class TBasicAction;

// ---------------------------------------------------------------------------
// TList: an ordered list of untyped pointers.

enum TListNotification { lnAdded, lnExtracted, lnDeleted };
using TListSortCompare = int (*)(void* item1, void* item2);

class TList : public TObject {
  CL_CLASS(TList, TObject)
public:
  TList() = default;
  ~TList() override;
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;

  int Add(void* item);
  void Insert(int index, void* item);
  void Delete(int index);
  int Remove(void* item);  // index it had, or -1
  int IndexOf(void* item) const;
  void Exchange(int index1, int index2);
  void Move(int curIndex, int newIndex);
  // Removes the first occurrence without deleting what it points to; null when absent.
  void* Extract(void* item);
  virtual void Clear();
  int Count() const { return static_cast<int>(FList.size()); }
  // Growing adds null entries; shrinking deletes from the end.
  void SetCount(int newCount);
  int Capacity() const { return FCapacity; }
  void SetCapacity(int newCapacity);
  void* Items(int index) const;
  void* operator[](int index) const { return Items(index); }
  void SetItem(int index, void* item);
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }
  void Pack();  // drops null entries
  void Sort(TListSortCompare compare);
  void** List() { return FList.data(); }

  // EListError with msg formatted with data ("List index out of bounds (%d)").
  [[noreturn]] static void Error(const AnsiString& msg, int data);

protected:
  // Called after an item has been added, and after it left the list (extracted
  // or deleted); never for null items. Derived lists free or unlink here.
  virtual void Notify(void* ptr, TListNotification action);
  void Grow();

private:
  void CheckIndex(int index) const;
  std::vector<void*> FList;
  int FCapacity = 0;
};

// A list that deletes its objects when they are deleted from it (and when the
// list is cleared or destroyed), as long as OwnsObjects is set.
class TObjectList : public TList {
  CL_CLASS(TObjectList, TList)
public:
  explicit TObjectList(bool ownsObjects = true) : FOwnsObjects(ownsObjects) {}
  ~TObjectList() override;

  int Add(TObject* obj) { return TList::Add(obj); }
  void Insert(int index, TObject* obj) { TList::Insert(index, obj); }
  int Remove(TObject* obj) { return TList::Remove(obj); }
  int IndexOf(TObject* obj) const { return TList::IndexOf(obj); }
  TObject* Extract(TObject* obj) { return static_cast<TObject*>(TList::Extract(obj)); }
  TObject* Items(int index) const { return static_cast<TObject*>(TList::Items(index)); }
  TObject* operator[](int index) const { return Items(index); }
  void SetItem(int index, TObject* obj) { TList::SetItem(index, obj); }
  TObject* First() const { return static_cast<TObject*>(TList::First()); }
  TObject* Last() const { return static_cast<TObject*>(TList::Last()); }
  bool OwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool v) { FOwnsObjects = v; }

protected:
  void Notify(void* ptr, TListNotification action) override;

private:
  bool FOwnsObjects;
};

// A list of components that drops a component by itself when it is destroyed
// elsewhere (through a free-notification link held by an internal component).
class TComponentList : public TObjectList {
  CL_CLASS(TComponentList, TObjectList)
public:
  explicit TComponentList(bool ownsObjects = true) : TObjectList(ownsObjects) {}
  ~TComponentList() override;

  int Add(TComponent* c);
  void Insert(int index, TComponent* c);
  int Remove(TComponent* c);
  int IndexOf(TComponent* c) const;
  TComponent* Extract(TComponent* c);
  TComponent* Items(int index) const;
  TComponent* operator[](int index) const { return Items(index); }
  void SetItem(int index, TComponent* c);
  TComponent* First() const;
  TComponent* Last() const;

protected:
  void Notify(void* ptr, TListNotification action) override;

private:
  friend class TComponentListNexus;
  void HandleFreeNotify(TComponent* c);
  TComponent* FNexus = nullptr;
};

// ---------------------------------------------------------------------------
// TPersistent: objects that can copy themselves and take part in layouts.

class TPersistent : public TObject {
  CL_CLASS(TPersistent, TObject)
public:
  // Copies source into this object; the default asks source->AssignTo(this).
  virtual void Assign(TPersistent* source);
  // The default raises EConvertError "Cannot assign a %s to a %s" (source or "nil", then dest).
  virtual void AssignTo(TPersistent* dest);
  // Lets the object read and write values that are not registered properties.
  virtual void DefineProperties(TFiler* filer);
  virtual TPersistent* GetOwner();
  virtual AnsiString GetNamePath();

protected:
  [[noreturn]] void AssignError(TPersistent* source);
};

// ---------------------------------------------------------------------------
// TStrings: the abstract list of ANSI strings, each with an object reference.
// The operations and their defaults are in stringlistcore.h; here is what
// only the ANSI list has.

class TStrings : public TStringsCore<TStrings, TPersistent, AnsiString> {
  CL_CLASS(TStrings, TPersistent)
public:
  // Locale comparison ignoring case (-1, 0, 1).
  int CompareStrings(const AnsiString& s1, const AnsiString& s2) override;
  // ANSI text: the stream's remaining bytes / the whole Text.
  virtual void LoadFromStream(TStream* stream);
  virtual void SaveToStream(TStream* stream);
  virtual void LoadFromFile(const AnsiString& fileName);
  virtual void SaveToFile(const AnsiString& fileName);

  void Assign(TPersistent* source) override;

  AnsiString CommaText() { return JoinCommaText(); }
  AnsiString DelimitedText() { return JoinDelimited(); }
  void SetDelimitedText(const AnsiString& text);
  char Delimiter() { return CurrentDelimiter(); }   // ',' until set
  char QuoteChar() { return CurrentQuoteChar(); }   // '"' until set

  // EStringListError with msg formatted with data.
  [[noreturn]] static void Error(const AnsiString& msg, int data);
};

// ---------------------------------------------------------------------------
// TStringList: the array-backed list with sorting, duplicates rule and events.

class TStringList;
using TStringListSortCompare = int (*)(TStringList* list, int index1, int index2);

class TStringList : public TStringListCore<TStringList, TStrings, AnsiString> {
  CL_CLASS(TStringList, TStrings)
public:
  // A capacity below Count raises EStringListError.
  void SetCapacity(int newCapacity) override;
  int CompareStrings(const AnsiString& s1, const AnsiString& s2) override;
};

// ---------------------------------------------------------------------------
// Streams. A derived stream overrides Read, Write and the 64-bit Seek (and
// SetSize where it can change size). A class that overrides one overload of
// Seek or SetSize should say `using TStream::Seek;` / `using TStream::SetSize;`
// so that the other stays visible.

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };
inline constexpr TSeekOrigin soBeginning = TSeekOrigin::soBeginning;
inline constexpr TSeekOrigin soCurrent = TSeekOrigin::soCurrent;
inline constexpr TSeekOrigin soEnd = TSeekOrigin::soEnd;
enum : uint16_t { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream : public TObject {
  CL_CLASS(TStream, TObject)
public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Bytes actually transferred (0 at the end or on failure).
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  // The new position from the start.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  // The 32-bit form forwards to the 64-bit one (origin soFromBeginning..soFromEnd).
  virtual int32_t Seek(int32_t offset, uint16_t origin);
  // Truncates or extends. The 64-bit form forwards to the 32-bit one when the
  // size fits; the 32-bit default does nothing (fixed-size streams).
  virtual void SetSize(int64_t newSize);
  virtual void SetSize(int32_t newSize);
  // Size by seeking to the end and back; streams that know it override.
  virtual int64_t GetSize();

  int64_t Position() { return Seek(int64_t(0), soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, soBeginning); }
  int64_t Size() { return GetSize(); }

  // All or nothing: EReadError "Stream read error" / EWriteError "Stream write
  // error", with the system's error code when the stream's call set one.
  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);
  // Copies count bytes from source's position; count 0 copies all of source
  // from its start. Returns the bytes copied.
  int64_t CopyFrom(TStream* source, int64_t count);
};

// The two calls that end a file's writing: hand its bytes to the disk, close
// it (FlushFileBuffers and CloseHandle). A test puts failing ones in place to
// stand for a disk that loses a delayed write; nothing else changes them.
struct TFileHandleCalls {
  BOOL(WINAPI* Flush)(HANDLE);
  BOOL(WINAPI* Close)(HANDLE);
};
extern TFileHandleCalls FileHandleCalls;

// A stream over a Win32 file handle it does not own.
class THandleStream : public TStream {
  CL_CLASS(THandleStream, TStream)
public:
  explicit THandleStream(HANDLE handle) : FHandle(handle) {}
  HANDLE Handle() const { return FHandle; }
  // Hands the bytes written so far to the disk; false with the system's
  // reason in error when it did not take them.
  bool Flush(DWORD& error);

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  using TStream::Seek;
  // -1 when the system refuses (a position before the start, a bad handle).
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  using TStream::SetSize;
  void SetSize(int64_t newSize) override;
  void SetSize(int32_t newSize) override { SetSize(int64_t(newSize)); }
  int64_t GetSize() override;

protected:
  HANDLE FHandle;
};

// File modes: the access in the low bits, sharing in bits 4-6.
enum : uint16_t {
  fmCreate = 0xFFFF,
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
};

// Opens or creates a named file; closes it when destroyed.
// EFCreateError "Cannot create file \"%s\". %s" / EFOpenError "Cannot open file \"%s\". %s"
// (the expanded name and the system's message; both also as FileName and
// ErrorCode).
class TFileStream : public THandleStream {
  CL_CLASS(TFileStream, THandleStream)
public:
  TFileStream(const AnsiString& fileName, uint16_t mode);
  ~TFileStream() override;
};

// A stream over a block of memory it does not manage.
class TCustomMemoryStream : public TStream {
  CL_CLASS(TCustomMemoryStream, TStream)
public:
  int32_t Read(void* buffer, int32_t count) override;
  using TStream::Seek;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return FSize; }
  void SaveToStream(TStream* stream);
  void SaveToFile(const AnsiString& fileName);
  void* Memory() const { return FMemory; }

protected:
  void SetPointer(void* ptr, int32_t size);
  void* FMemory = nullptr;
  int32_t FSize = 0;
  int64_t FPosition = 0;
};

// A growable memory block (capacity in steps of 8 KiB).
class TMemoryStream : public TCustomMemoryStream {
  CL_CLASS(TMemoryStream, TCustomMemoryStream)
public:
  TMemoryStream() = default;
  ~TMemoryStream() override;

  void Clear();
  void LoadFromStream(TStream* stream);
  void LoadFromFile(const AnsiString& fileName);
  int32_t Write(const void* buffer, int32_t count) override;
  using TStream::SetSize;
  void SetSize(int64_t newSize) override;
  void SetSize(int32_t newSize) override;
  int32_t Capacity() const { return FCapacity; }

protected:
  virtual void SetCapacity(int32_t newCapacity);
  // Resizes the block to newCapacity (rounded up; 0 frees it); returns the new block.
  virtual void* Realloc(int32_t& newCapacity);

private:
  int32_t FCapacity = 0;
};

// A stream whose data is an AnsiString; a write past the end extends it.
class TStringStream : public TStream {
  CL_CLASS(TStringStream, TStream)
public:
  explicit TStringStream(const AnsiString& s = AnsiString()) : FDataString(s) {}

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  using TStream::Seek;
  // Clamped to 0..size.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  using TStream::SetSize;
  void SetSize(int32_t newSize) override;
  int64_t GetSize() override { return FDataString.Length(); }

  AnsiString ReadString(int32_t count);
  void WriteString(const AnsiString& s);
  const AnsiString& DataString() const { return FDataString; }

private:
  AnsiString FDataString;
  int32_t FPosition = 0;
};

// A read-only stream over a resource of a module.
// EResNotFound "Resource %s not found"; writing raises EStreamError.
class TResourceStream : public TCustomMemoryStream {
  CL_CLASS(TResourceStream, TCustomMemoryStream)
public:
  TResourceStream(HINSTANCE instance, const AnsiString& resName, LPCSTR resType);
  // A name or a MAKEINTRESOURCEA number.
  TResourceStream(HINSTANCE instance, const char* resName, LPCSTR resType);
  TResourceStream(HINSTANCE instance, int resId, LPCSTR resType);
  ~TResourceStream() override;
  int32_t Write(const void* buffer, int32_t count) override;

private:
  void Initialize(HINSTANCE instance, LPCSTR name, LPCSTR resType, const AnsiString& shownName);
  HRSRC FResInfo = nullptr;
  HGLOBAL FHandle = nullptr;
};

// ---------------------------------------------------------------------------
// TComponent: owned, named, notified objects.

enum TOperation { opInsert, opRemove };

using TComponentState = uint32_t;
enum : uint32_t {
  csLoading = 1u << 0,
  csReading = 1u << 1,
  csWriting = 1u << 2,
  csDestroying = 1u << 3,
  csDesigning = 1u << 4,  // never set at run time
  csAncestor = 1u << 5,
  csUpdating = 1u << 6,
  csFixups = 1u << 7,
  csFreeNotification = 1u << 8,
  csInline = 1u << 9,
  csDesignInstance = 1u << 10,
};

using TComponentStyle = uint32_t;
enum : uint32_t {
  csInheritable = 1u << 0,
  csCheckPropAvail = 1u << 1,
  csSubComponent = 1u << 2,
  csTransient = 1u << 3,
};

// The layout reader installs the routine that reads a component's properties
// and children, which TComponent::ReadState calls by default; the class unit
// stays free of the filer that way.
using TReadStateProc = void (*)(TComponent* instance, TReader* reader);
extern TReadStateProc ReadStateProc;

class TComponent : public TPersistent {
  CL_CLASS(TComponent, TPersistent)
public:
  // Joins owner's Components (when owner is given).
  explicit TComponent(TComponent* owner);
  // Marks itself destroying, tells its free-notification listeners (opRemove),
  // deletes its components last to first, then leaves its owner. A derived
  // destructor runs before all this: a class whose components must go while
  // it is still whole calls Destroying() and DestroyComponents() first.
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  const AnsiString& Name() const { return FName; }
  // A valid identifier or empty; a name a sibling already has (ignoring case)
  // raises EComponentError "A component named %s already exists".
  virtual void SetName(const AnsiString& newName);
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const;
  int ComponentIndex() const;
  void SetComponentIndex(int value);
  // By name, ignoring ASCII case; null when absent or name empty.
  TComponent* FindComponent(const AnsiString& name) const;
  TComponentState ComponentState() const { return FComponentState; }
  TComponentStyle ComponentStyle() const { return FComponentStyle; }
  int Tag() const { return FTag; }
  void SetTag(int value) { FTag = value; }

  // Takes component over (from its former owner, if any).
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // A two-way link: each side is told (opRemove) when the other is destroyed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);
  // Sets csDestroying here and in every owned component.
  void Destroying();
  void DestroyComponents();
  void SetSubComponent(bool value);

  // opInsert / opRemove of component, passed on to every owned component.
  virtual void Notification(TComponent* component, TOperation operation);
  // After the layout was read: clears csLoading.
  virtual void Loaded();
  virtual void ReadState(TReader* reader);
  // The hooks the layout reader uses for a component's visual parent.
  virtual TComponent* GetParentComponent() { return nullptr; }
  virtual bool HasParent() { return false; }
  virtual void SetParentComponent(TComponent* value) { (void)value; }
  virtual TComponent* GetChildOwner() { return nullptr; }
  virtual TComponent* GetChildParent() { return this; }
  virtual void ValidateRename(TComponent* component, const AnsiString& curName, const AnsiString& newName);
  virtual void ValidateContainer(TComponent* component);
  virtual void ValidateInsert(TComponent* component) { (void)component; }
  virtual void Updating() { FComponentState |= csUpdating; }
  virtual void Updated() { FComponentState &= ~csUpdating; }
  virtual bool ExecuteAction(TBasicAction* action);
  virtual bool UpdateAction(TBasicAction* action);

  TPersistent* GetOwner() override { return FOwner; }
  AnsiString GetNamePath() override { return FName; }
  void BeforeDestruction() override;

protected:
  void ChangeName(const AnsiString& newName) { FName = newName; }
  TComponentState FComponentState = 0;
  TComponentStyle FComponentStyle = csInheritable;

private:
  friend class TFiler;
  friend class TReader;
  friend class TWriter;
  void Insert(TComponent* component);
  void Remove(TComponent* component);
  void RemoveNotification(TComponent* component);

  TComponent* FOwner = nullptr;
  AnsiString FName;
  int FTag = 0;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
};

// ---------------------------------------------------------------------------
// TCollection: a list of items of one class, owned by the collection.

class TCollection;
class TCollectionItem;
enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };
// Makes a new item that joins the collection it is given.
using TCollectionItemFactory = TCollectionItem* (*)(TCollection* collection);
template <class TItem> TCollectionItem* NewCollectionItem(TCollection* collection) {
  return new TItem(collection);
}

class TCollectionItem : public TPersistent {
  CL_CLASS(TCollectionItem, TPersistent)
public:
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;
  TCollectionItem(const TCollectionItem&) = delete;
  TCollectionItem& operator=(const TCollectionItem&) = delete;

  TCollection* Collection() const { return FCollection; }
  void SetCollection(TCollection* value);
  int Index() const;
  virtual void SetIndex(int value);
  int ID() const { return FID; }
  virtual AnsiString GetDisplayName();
  virtual void SetDisplayName(const AnsiString& value);
  AnsiString DisplayName() { return GetDisplayName(); }
  TPersistent* GetOwner() override;
  AnsiString GetNamePath() override;

protected:
  // Tells the collection (unless it is updating): all = true for a change that
  // concerns every item.
  virtual void Changed(bool allItems);

private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
  int FID = 0;
};

// Items are made by Add/Insert (the factory builds the item, which joins the
// collection; Notify(cnAdded) follows once the item is complete).
class TCollection : public TPersistent {
  CL_CLASS(TCollection, TPersistent)
public:
  TCollection(const TMetaClass* itemClass, TCollectionItemFactory factory, TPersistent* owner = nullptr);
  ~TCollection() override;
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  TCollectionItem* Items(int index) const;
  TCollectionItem* operator[](int index) const { return Items(index); }
  int Count() const { return static_cast<int>(FItems.size()); }
  TCollectionItem* FindItemID(int id) const;
  const TMetaClass* ItemClass() const { return FItemClass; }
  TPersistent* Owner() const { return FOwner; }
  virtual void BeginUpdate();
  virtual void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

  void Assign(TPersistent* source) override;
  TPersistent* GetOwner() override { return FOwner; }
  AnsiString GetNamePath() override;

protected:
  // item null = every item changed.
  virtual void Update(TCollectionItem* item) { (void)item; }
  virtual void Notify(TCollectionItem* item, TCollectionNotification action) { (void)item; (void)action; }
  void Changed();

private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* item);
  void RemoveItem(TCollectionItem* item);
  void NotifyAdded(TCollectionItem* item);
  void MoveItem(int curIndex, int newIndex);
  const TMetaClass* FItemClass;
  TCollectionItemFactory FFactory;
  TPersistent* FOwner;
  std::vector<TCollectionItem*> FItems;
  int FUpdateCount = 0;
  int FNextID = 0;
};

// ---------------------------------------------------------------------------
// A recursive lock, and its scope guard.

class TCriticalSection : public TObject {
  CL_CLASS(TCriticalSection, TObject)
public:
  TCriticalSection() { InitializeCriticalSection(&FSection); }
  ~TCriticalSection() override { DeleteCriticalSection(&FSection); }
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;
  void Acquire() { EnterCriticalSection(&FSection); }
  void Release() { LeaveCriticalSection(&FSection); }
  void Enter() { Acquire(); }
  void Leave() { Release(); }
  bool TryEnter() { return TryEnterCriticalSection(&FSection) != FALSE; }

private:
  CRITICAL_SECTION FSection;
};

class TLock {
public:
  explicit TLock(TCriticalSection& section) : FSection(section) { FSection.Acquire(); }
  ~TLock() { FSection.Release(); }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;

private:
  TCriticalSection& FSection;
};

void UnitInit_classes();
void UnitFini_classes();
