// The name index: the hash table and the hashed string list.
#include <gtest/gtest.h>

#include "ZEStringHash.h"
#include "ZipTestUtil.h"

namespace {

TEST(TZEStringHash, HashOfAndBuckets) {
  TZEStringHash h(1000);
  EXPECT_EQ(h.HashOf(L"abc"), 2043u);
  EXPECT_EQ(h.HashOf(L"~tmp~disk1"), 26329325u);
  EXPECT_EQ(h.HashOf(L"~tmp~disk1") % 1000, 325u);
}

TEST(TZEStringHash, AddFindModifyRemove) {
  TZEStringHash h(7);
  EXPECT_EQ(h.ValueOf(L"x"), -1);
  h.Add(L"x", 1);
  h.Add(L"x", 2);
  EXPECT_EQ(h.ValueOf(L"x"), 2);  // the newest first
  EXPECT_TRUE(h.Modify(L"x", 5));
  EXPECT_EQ(h.ValueOf(L"x"), 5);
  h.Remove(L"x");
  EXPECT_EQ(h.ValueOf(L"x"), 1);
  h.Remove(L"x");
  EXPECT_EQ(h.ValueOf(L"x"), -1);
  EXPECT_FALSE(h.Modify(L"x", 1));
  EXPECT_EQ(*h.Find(L"none"), nullptr);
  h.Add(L"a", 1);
  h.Clear();
  EXPECT_EQ(h.ValueOf(L"a"), -1);
  EXPECT_EQ(h.BucketCount(), 7u);
}

TEST(TZEHashedStringList, LookupsFollowTheList) {
  TZEHashedStringList l;
  l.Add(L"one");
  l.Add(L"two");
  l.Add(L"three");
  EXPECT_EQ(l.IndexOf(L"THREE"), 2);  // built on the first lookup, case ignored
  l.Delete(0);
  EXPECT_EQ(l.IndexOf(L"three"), 1);
  EXPECT_EQ(l.IndexOf(L"one"), -1);
  l.Update(0, L"Zwei");
  EXPECT_EQ(l.IndexOf(L"zwei"), 0);
  EXPECT_EQ(l.IndexOf(L"two"), -1);
  l.Insert(0, L"first");
  EXPECT_EQ(l.IndexOf(L"three"), 2);
  l.Exchange(0, 2);
  EXPECT_EQ(l.IndexOf(L"first"), 2);
  l.Add(L"k=v");
  EXPECT_EQ(l.IndexOfName(L"K"), 3);
  l.Clear();
  EXPECT_EQ(l.IndexOf(L"first"), -1);
  l.SetCaseSensitive(true);
  l.Add(L"ABC");
  EXPECT_EQ(l.IndexOf(L"abc"), -1);
  EXPECT_EQ(l.IndexOf(L"ABC"), 0);
}

TEST(TZEHashedStringList, GrowsPastFiveEntriesPerBucket) {
  TZEHashedStringList l;
  l.IndexOf(L"");  // the table exists (1000 buckets) and follows every Add
  for (int i = 0; i < 6000; ++i) l.Add(WideString(std::to_wstring(i)));
  EXPECT_FALSE(l.ValueHashCurrent());
  for (int i = 0; i < 6000; i += 7) ASSERT_EQ(l.IndexOf(WideString(std::to_wstring(i))), i);
  EXPECT_EQ(l.ValueHash()->BucketCount(), 6000u);
}

}  // namespace
