// The name index of the directory: a fixed-size hash table of wide keys, and
// the wide-string list that keeps one such table from strings to their index.
#pragma once

#include <cstdint>
#include <vector>

#include "system.h"

class TZEStringHash : public TObject {
  CL_CLASS(TZEStringHash, TObject)
public:
  struct Entry {
    Entry* Next;
    WideString Key;
    int32_t Value;
  };

  explicit TZEStringHash(uint32_t size);
  ~TZEStringHash() override;
  TZEStringHash(const TZEStringHash&) = delete;
  TZEStringHash& operator=(const TZEStringHash&) = delete;

  virtual uint32_t HashOf(const WideString& key) const;
  // The newest entry of a key is found first; duplicates are allowed.
  void Add(const WideString& key, int32_t value);
  // The link that points at the first entry with this key, or the empty link
  // at the end of its bucket.
  Entry** Find(const WideString& key);
  bool Modify(const WideString& key, int32_t value);
  void Remove(const WideString& key);
  int32_t ValueOf(const WideString& key);
  void Clear();
  uint32_t BucketCount() const { return FBucketCount; }

private:
  std::vector<Entry*> FBuckets;
  uint32_t FBucketCount;
};

#include "UcClasses.h"

// A wide-string list that looks strings up through a hash table from each
// string (lower-cased unless CaseSensitive) to its index, built on the first
// lookup and kept current by Add and Update; every other change marks it stale.
class TZEHashedStringList : public TUcStringList {
  CL_CLASS(TZEHashedStringList, TUcStringList)
public:
  TZEHashedStringList() = default;
  ~TZEHashedStringList() override;

  int Add(const WideString& s) override;
  void Clear() override;
  void Delete(int index) override;
  int IndexOf(const WideString& s) override;
  int IndexOfName(const WideString& name) override;
  // Replaces string index and its key in the table.
  void Update(int index, const WideString& s);
  void UpdateValueHash();
  void UpdateNameHash();

  int AddObject(const WideString& s, TObject* obj) override;
  // The other changes of the list move strings around: the tables go stale.
  void Put(int index, const WideString& s) override;
  void Insert(int index, const WideString& s) override;
  void InsertObject(int index, const WideString& s, TObject* obj) override;
  void Exchange(int index1, int index2) override;
  void Move(int curIndex, int newIndex) override;
  void Sort() override;
  void CustomSort(TUcStringListSortCompare compare) override;

  bool ValueHashCurrent() const { return FValueHashValid; }
  TZEStringHash* ValueHash() const { return FValueHash; }

private:
  WideString KeyOf(const WideString& s);
  void Invalidate() {
    FValueHashValid = false;
    FNameHashValid = false;
  }
  TZEStringHash* FValueHash = nullptr;
  TZEStringHash* FNameHash = nullptr;
  bool FValueHashValid = false;
  bool FNameHashValid = false;
  bool FKeysCaseSensitive = false;
};
