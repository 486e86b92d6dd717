#include "ZEStringHash.h"

TZEStringHash::TZEStringHash(uint32_t size) : FBuckets(size ? size : 1, nullptr), FBucketCount(size ? size : 1) {}

TZEStringHash::~TZEStringHash() { Clear(); }

uint32_t TZEStringHash::HashOf(const WideString& key) const {
  uint32_t h = 0;
  for (wchar_t c : key.str()) h = ((h << 2) | (h >> 30)) ^ static_cast<uint16_t>(c);
  return h;
}

void TZEStringHash::Add(const WideString& key, int32_t value) {
  Entry*& head = FBuckets[HashOf(key) % FBucketCount];
  head = new Entry{head, key, value};
}

TZEStringHash::Entry** TZEStringHash::Find(const WideString& key) {
  Entry** link = &FBuckets[HashOf(key) % FBucketCount];
  while (*link && (*link)->Key != key) link = &(*link)->Next;
  return link;
}

bool TZEStringHash::Modify(const WideString& key, int32_t value) {
  Entry* e = *Find(key);
  if (!e) return false;
  e->Value = value;
  return true;
}

void TZEStringHash::Remove(const WideString& key) {
  Entry** link = Find(key);
  if (Entry* e = *link) {
    *link = e->Next;
    delete e;
  }
}

int32_t TZEStringHash::ValueOf(const WideString& key) {
  Entry* e = *Find(key);
  return e ? e->Value : -1;
}

void TZEStringHash::Clear() {
  for (Entry*& head : FBuckets) {
    while (head) {
      Entry* next = head->Next;
      delete head;
      head = next;
    }
  }
}

CL_DEFINE_CLASS(TZEStringHash, TObject)

// --- TZEHashedStringList ------------------------------------------------------------

TZEHashedStringList::~TZEHashedStringList() {
  delete FValueHash;
  delete FNameHash;
}

WideString TZEHashedStringList::KeyOf(const WideString& s) {
  if (CaseSensitive()) return s;
  WideString key = s;
  if (key.Length() > 0) CharLowerBuffW(key.data(), static_cast<DWORD>(key.Length()));
  return key;
}

void TZEHashedStringList::UpdateValueHash() {
  if (FValueHash && FValueHashValid && FKeysCaseSensitive == CaseSensitive()) return;
  const int count = GetCount();
  if (!FValueHash) FValueHash = new TZEStringHash(static_cast<uint32_t>(count > 1000 ? count : 1000));
  FValueHash->Clear();
  for (int i = 0; i < count; ++i) FValueHash->Add(KeyOf(Get(i)), i);
  FKeysCaseSensitive = CaseSensitive();
  FValueHashValid = true;
}

void TZEHashedStringList::UpdateNameHash() {
  if (FNameHash && FNameHashValid && FKeysCaseSensitive == CaseSensitive()) return;
  if (!FNameHash)
    FNameHash = new TZEStringHash(256);
  else
    FNameHash->Clear();
  const int count = GetCount();
  for (int i = count - 1; i >= 0; --i) {
    // Added from the end, so that the first string of a name is found first.
    const WideString s = Get(i);
    const int eq = s.Pos(L"=");
    if (eq > 0) FNameHash->Add(KeyOf(s.SubString(1, eq - 1)), i);
  }
  FNameHashValid = true;
}

int TZEHashedStringList::Add(const WideString& s) { return TZEHashedStringList::AddObject(s, nullptr); }

int TZEHashedStringList::AddObject(const WideString& s, TObject* obj) {
  const int before = GetCount();
  const int index = TUcStringList::AddObject(s, obj);
  if (GetCount() == before) return index;  // an ignored duplicate of a sorted list
  if (index != GetCount() - 1) {
    Invalidate();
    return index;
  }
  if (FValueHash && FValueHashValid) {
    FValueHash->Add(KeyOf(s), index);
    if (static_cast<uint32_t>(GetCount()) > 5 * FValueHash->BucketCount()) {
      delete FValueHash;
      FValueHash = nullptr;
      FValueHashValid = false;
    }
  }
  FNameHashValid = false;
  return index;
}

void TZEHashedStringList::Clear() {
  TUcStringList::Clear();
  if (FValueHash) {
    FValueHash->Clear();
    FValueHashValid = true;
    FKeysCaseSensitive = CaseSensitive();
  }
  FNameHashValid = false;
}

void TZEHashedStringList::Delete(int index) {
  TUcStringList::Delete(index);
  Invalidate();
}

int TZEHashedStringList::IndexOf(const WideString& s) {
  UpdateValueHash();
  return FValueHash->ValueOf(KeyOf(s));
}

int TZEHashedStringList::IndexOfName(const WideString& name) {
  UpdateNameHash();
  return FNameHash->ValueOf(KeyOf(name));
}

void TZEHashedStringList::Update(int index, const WideString& s) {
  if (!FValueHash || !FValueHashValid || Sorted()) {
    TUcStringList::Put(index, s);
    Invalidate();
    return;
  }
  const WideString old = Get(index);
  // Remove exactly the entry of this index; another string may share its key.
  TZEStringHash::Entry** link = FValueHash->Find(KeyOf(old));
  while (*link && !((*link)->Key == KeyOf(old) && (*link)->Value == index)) link = &(*link)->Next;
  if (*link) {
    TZEStringHash::Entry* e = *link;
    *link = e->Next;
    delete e;
  }
  TUcStringList::Put(index, s);
  FValueHash->Add(KeyOf(s), index);
  FNameHashValid = false;
}

void TZEHashedStringList::Put(int index, const WideString& s) {
  TUcStringList::Put(index, s);
  Invalidate();
}

void TZEHashedStringList::Insert(int index, const WideString& s) {
  TUcStringList::Insert(index, s);
  Invalidate();
}

void TZEHashedStringList::InsertObject(int index, const WideString& s, TObject* obj) {
  TUcStringList::InsertObject(index, s, obj);
  Invalidate();
}

void TZEHashedStringList::Exchange(int index1, int index2) {
  TUcStringList::Exchange(index1, index2);
  Invalidate();
}

void TZEHashedStringList::Move(int curIndex, int newIndex) {
  TUcStringList::Move(curIndex, newIndex);
  Invalidate();
}

void TZEHashedStringList::Sort() {
  TUcStringList::Sort();
  Invalidate();
}

void TZEHashedStringList::CustomSort(TUcStringListSortCompare compare) {
  TUcStringList::CustomSort(compare);
  Invalidate();
}

CL_DEFINE_CLASS(TZEHashedStringList, TUcStringList)
