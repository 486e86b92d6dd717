// Pointer lists, owning lists, assignment errors and the lock.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "classes.h"
#include "raised.h"

namespace {

// Records every notification the list sends.
class TLoggingList : public TList {
public:
  std::vector<std::pair<void*, TListNotification>> Log;

protected:
  void Notify(void* ptr, TListNotification action) override { Log.push_back({ptr, action}); }
};

int a = 1, b = 2, c = 3;

TEST(TList, IndexErrorsCarryTheIndex) {
  TList list;
  list.Add(&a);
  list.Add(&b);
  EXPECT_EQ(Raised([&] { list.Items(2); }), "EListError: List index out of bounds (2)");
  EXPECT_EQ(Raised([&] { list.Items(-1); }), "EListError: List index out of bounds (-1)");
  EXPECT_EQ(Raised([&] { list.Delete(2); }), "EListError: List index out of bounds (2)");
  EXPECT_EQ(Raised([&] { list.Insert(3, &c); }), "EListError: List index out of bounds (3)");
  EXPECT_EQ(Raised([&] { list.Exchange(0, 5); }), "EListError: List index out of bounds (5)");
  EXPECT_EQ(Raised([&] { list.Move(0, 2); }), "EListError: List index out of bounds (2)");
  EXPECT_EQ(Raised([&] { list.SetCount(-1); }), "EListError: List count out of bounds (-1)");
  EXPECT_EQ(Raised([&] { list.SetCapacity(1); }), "EListError: List capacity out of bounds (1)");
  EXPECT_EQ(Raised([&] { TList().First(); }), "EListError: List index out of bounds (0)");
  // Insert at Count appends; failed calls left the list as it was.
  list.Insert(2, &c);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0], &a);
  EXPECT_EQ(list.Last(), &c);
}

TEST(TList, EditingKeepsOrder) {
  TList list;
  for (int* p : {&a, &b, &c}) list.Add(p);
  list.Move(0, 2);  // b c a
  EXPECT_EQ(list[0], &b);
  EXPECT_EQ(list[2], &a);
  list.Exchange(0, 1);  // c b a
  EXPECT_EQ(list[0], &c);
  EXPECT_EQ(list.Remove(&b), 1);
  EXPECT_EQ(list.Remove(&b), -1);
  EXPECT_EQ(list.IndexOf(&a), 1);
  EXPECT_EQ(list.Extract(&b), nullptr);
  EXPECT_EQ(list.Extract(&a), &a);
  EXPECT_EQ(list.Count(), 1);

  list.SetCount(4);  // c nil nil nil
  EXPECT_EQ(list[3], nullptr);
  list.SetItem(2, &b);
  list.Pack();
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[1], &b);
}

TEST(TList, CapacityGrowsInSteps) {
  TList list;
  std::vector<int> caps;
  for (int i = 0; i < 77; ++i) {
    list.Add(&a);
    if (i == 0 || i == 4 || i == 8 || i == 12 || i == 76) caps.push_back(list.Capacity());
  }
  EXPECT_EQ(caps, (std::vector<int>{4, 8, 12, 28, 95}));
  list.Clear();
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(TList, SortOrdersByTheCompareFunction) {
  std::vector<int> values = {5, 3, 9, 1, 3, 7, 0, 8, 2, 6, 4};
  TList list;
  for (int& v : values) list.Add(&v);
  list.Sort([](void* x, void* y) { return *static_cast<int*>(x) - *static_cast<int*>(y); });
  std::vector<int> sorted;
  for (int i = 0; i < list.Count(); ++i) sorted.push_back(*static_cast<int*>(list[i]));
  EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(TList, NotifiesAfterEachChangeButNotForNull) {
  TLoggingList list;
  list.Add(&a);
  list.Add(nullptr);
  list.Insert(0, &b);
  list.SetItem(0, &c);  // b deleted, c added
  list.Extract(&a);
  list.Delete(0);  // c
  list.Move(0, 0);
  list.Clear();    // the null item: nothing
  using P = std::pair<void*, TListNotification>;
  EXPECT_EQ(list.Log, (std::vector<P>{{&a, lnAdded}, {&b, lnAdded}, {&b, lnDeleted}, {&c, lnAdded},
                                      {&a, lnExtracted}, {&c, lnDeleted}}));
}

// Counts live instances, to see which list deletes what.
struct TCounted : public TObject {
  static int Live;
  TCounted() { ++Live; }
  ~TCounted() override { --Live; }
};
int TCounted::Live = 0;

TEST(TObjectList, OwnsWhatItDeletesNotWhatItExtracts) {
  TCounted::Live = 0;
  {
    TObjectList list;
    TObject* first = new TCounted;
    list.Add(first);
    list.Add(new TCounted);
    list.Add(new TCounted);
    EXPECT_EQ(TCounted::Live, 3);
    list.Delete(1);
    EXPECT_EQ(TCounted::Live, 2);
    EXPECT_EQ(list.Extract(first), first);
    EXPECT_EQ(TCounted::Live, 2);
    delete first;
    list.SetItem(0, new TCounted);  // the replaced one is deleted
    EXPECT_EQ(TCounted::Live, 1);
  }
  EXPECT_EQ(TCounted::Live, 0);  // the destructor cleared the list

  TCounted kept;
  {
    TObjectList list(false);
    list.Add(&kept);
    list.Clear();
  }
  EXPECT_EQ(TCounted::Live, 1);
}

struct TLoggedComponent : public TComponent {
  static int Live;
  TLoggedComponent() : TComponent(nullptr) { ++Live; }
  explicit TLoggedComponent(TComponent* owner, int) : TComponent(owner) { ++Live; }
  ~TLoggedComponent() override { --Live; }
};
int TLoggedComponent::Live = 0;

TEST(TComponentList, DropsComponentsDestroyedElsewhere) {
  TLoggedComponent::Live = 0;
  TComponentList list(false);
  auto* c1 = new TLoggedComponent;
  auto* c2 = new TLoggedComponent;
  auto* c3 = new TLoggedComponent;
  list.Add(c1);
  list.Add(c2);
  list.Insert(0, c3);
  list.Add(c2);  // twice
  delete c2;
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0], c3);
  EXPECT_EQ(list[1], c1);
  // Extracted components are no longer watched: deleting one leaves the list alone.
  list.Extract(c1);
  delete c1;
  EXPECT_EQ(list.Count(), 1);
  delete c3;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(TLoggedComponent::Live, 0);
}

TEST(TComponentList, ListDestroyedFirstLeavesNoLinkBehind) {
  TLoggedComponent::Live = 0;
  auto* c = new TLoggedComponent;
  {
    TComponentList list(false);
    list.Add(c);
    EXPECT_TRUE(c->ComponentState() & csFreeNotification);
  }
  EXPECT_FALSE(c->ComponentState() & csFreeNotification);
  delete c;  // must not reach the dead list
  EXPECT_EQ(TLoggedComponent::Live, 0);
}

TEST(TComponentList, OwningListDeletesItsComponentsAndComponentsOwnedElsewhere) {
  TLoggedComponent::Live = 0;
  auto* owner = new TLoggedComponent;
  {
    TComponentList list(true);
    list.Add(new TLoggedComponent(owner, 0));
    list.Add(new TLoggedComponent);
    list.Delete(1);
    EXPECT_EQ(TLoggedComponent::Live, 2);
    EXPECT_EQ(owner->ComponentCount(), 1);
  }
  // The list deleted the owned component too; it left its owner.
  EXPECT_EQ(owner->ComponentCount(), 0);
  EXPECT_EQ(TLoggedComponent::Live, 1);
  // And the reverse: the owner deletes a component an owning list holds.
  TComponentList list(true);
  list.Add(new TLoggedComponent(owner, 0));
  delete owner;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(TLoggedComponent::Live, 0);
}

TEST(TPersistent, AssignErrorNamesBothClasses) {
  TStringList list;
  TComponent comp(nullptr);
  EXPECT_EQ(Raised([&] { list.Assign(&comp); }),
            "EConvertError: Cannot assign a TComponent to a TStringList");
  EXPECT_EQ(Raised([&] { list.Assign(nullptr); }), "EConvertError: Cannot assign a nil to a TStringList");
  EXPECT_EQ(Raised([&] { comp.Assign(&list); }),
            "EConvertError: Cannot assign a TStringList to a TComponent");
}

// AssignTo is the other half: a class that knows how to fill a foreign one.
struct TTextSource : public TPersistent {
  AnsiString Text;
  void AssignTo(TPersistent* dest) override {
    if (dest->Is<TStrings>())
      static_cast<TStrings*>(dest)->SetText(Text);
    else
      TPersistent::AssignTo(dest);
  }
};

TEST(TPersistent, AssignAsksTheSourceToAssignItself) {
  TTextSource source;
  source.Text = "x\r\ny";
  TStringList list;
  list.Assign(&source);
  EXPECT_EQ(list.Count(), 2);
  TComponent comp(nullptr);
  EXPECT_EQ(Raised([&] { comp.Assign(&source); }),
            "EConvertError: Cannot assign a TPersistent to a TComponent");
}

TEST(TCriticalSection, IsRecursiveAndExcludesOtherThreads) {
  TCriticalSection section;
  std::atomic<int> otherGot{-1};
  {
    TLock outer(section);
    TLock inner(section);  // the same thread enters again
    std::thread t([&] {
      bool got = section.TryEnter();
      if (got) section.Leave();
      otherGot = got ? 1 : 0;
    });
    t.join();
  }
  EXPECT_EQ(otherGot.load(), 0);
  std::thread t([&] {
    bool got = section.TryEnter();
    if (got) section.Leave();
    otherGot = got ? 1 : 0;
  });
  t.join();
  EXPECT_EQ(otherGot.load(), 1);
}

}  // namespace
