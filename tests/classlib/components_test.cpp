// Components: ownership and destruction order, names, free notification,
// notification passing; collections and their items.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "classes.h"
#include "raised.h"

namespace {

using V = std::vector<std::string>;
std::vector<std::string> Log;

// Logs its destruction and every notification it receives.
class TProbe : public TComponent {
public:
  TProbe(TComponent* owner, const char* name) : TComponent(owner) { SetName(name); }
  ~TProbe() override {
    Log.push_back("~" + Name().str());
    if (ComponentState() & csDestroying) Flagged.push_back(Name().str());
  }
  void Notification(TComponent* c, TOperation op) override {
    Log.push_back(Name().str() + (op == opInsert ? " +" : " -") + (c ? c->Name().str() : "?"));
    if (op == opRemove && OnRemove) {
      auto handler = OnRemove;
      if (handler(c)) return;  // this probe deleted itself
    }
    TComponent::Notification(c, op);
  }
  // Returns true when it deleted the probe.
  std::function<bool(TComponent*)> OnRemove;
  static std::vector<std::string> Flagged;  // destroyed with csDestroying set
  void SetLoading() { FComponentState |= csLoading; }
};

TEST(TComponent, OwnerDeletesItsComponentsLastToFirst) {
  Log.clear();
  TProbe::Flagged.clear();
  auto* form = new TComponent(nullptr);
  new TProbe(form, "A");
  auto* b = new TProbe(form, "B");
  new TProbe(b, "B1");
  new TProbe(form, "C");
  ASSERT_EQ(form->ComponentCount(), 3);
  EXPECT_EQ(form->Components(1), b);
  EXPECT_EQ(b->Owner(), form);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_EQ(Raised([&] { form->Components(3); }), "EListError: List index out of bounds (3)");
  Log.clear();
  delete form;
  // B's own destructor runs before B deletes B1.
  EXPECT_EQ(Log, (V{"~C", "~B", "~B1", "~A"}));
  // Everyone is marked destroying before anyone goes.
  EXPECT_EQ(TProbe::Flagged, (V{"C", "B", "B1", "A"}));
}

TEST(TComponent, InsertAndRemoveNotifyOwnerAndSiblings) {
  Log.clear();
  TProbe form(nullptr, "Form");
  TProbe* a = new TProbe(&form, "A");
  Log.clear();
  auto* b = new TProbe(&form, "");  // named after insertion: the log shows no name
  b->SetName("B");
  EXPECT_EQ(Log, (V{"Form +", "A +"}));
  Log.clear();
  form.RemoveComponent(a);
  EXPECT_EQ(Log, (V{"Form -A", "B -A", "A -A"}));
  EXPECT_EQ(a->Owner(), nullptr);
  EXPECT_EQ(form.ComponentCount(), 1);
  // Inserting takes a component over from its former owner.
  TProbe other(nullptr, "Other");
  other.InsertComponent(b);
  EXPECT_EQ(form.ComponentCount(), 0);
  EXPECT_EQ(b->Owner(), &other);
  delete a;
  Log.clear();
}

TEST(TComponent, NamesAreIdentifiersAndUniqueAmongSiblings) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  a->SetName("Button1");
  EXPECT_EQ(Raised([&] { b->SetName("button1"); }),
            "EComponentError: A component named button1 already exists");
  EXPECT_EQ(b->Name(), "");
  EXPECT_EQ(Raised([&] { b->SetName("1st"); }), "EComponentError: '1st' is not a valid component name");
  EXPECT_EQ(Raised([&] { b->SetName("a b"); }), "EComponentError: 'a b' is not a valid component name");
  EXPECT_EQ(Raised([&] { b->SetName("\xC8\xEC\xFF"); }),
            "EComponentError: '\xC8\xEC\xFF' is not a valid component name");
  b->SetName("_x9");
  a->SetName("BUTTON1");  // its own name in another case
  EXPECT_EQ(owner.FindComponent("button1"), a);
  EXPECT_EQ(owner.FindComponent("_X9"), b);
  EXPECT_EQ(owner.FindComponent(""), nullptr);
  EXPECT_EQ(owner.FindComponent("none"), nullptr);
  b->SetName("");  // unnamed components may repeat
  auto* c = new TComponent(&owner);
  EXPECT_EQ(c->Name(), "");
  EXPECT_EQ(owner.FindComponent(""), nullptr);

  // A named component cannot join an owner that already has that name.
  TComponent stranger(nullptr);
  stranger.SetName("Button1");
  EXPECT_EQ(Raised([&] { owner.InsertComponent(&stranger); }),
            "EComponentError: A component named Button1 already exists");
  EXPECT_EQ(stranger.Owner(), nullptr);
  EXPECT_EQ(owner.ComponentCount(), 3);
}

TEST(TComponent, ComponentIndexMovesWithinTheOwner) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  auto* c = new TComponent(&owner);
  c->SetComponentIndex(0);
  EXPECT_EQ(owner.Components(0), c);
  EXPECT_EQ(owner.Components(1), a);
  a->SetComponentIndex(99);  // clamped
  EXPECT_EQ(owner.Components(2), a);
  EXPECT_EQ(b->ComponentIndex(), 1);
  TComponent lone(nullptr);
  EXPECT_EQ(lone.ComponentIndex(), -1);
}

TEST(TComponent, FreeNotificationIsTwoWay) {
  Log.clear();
  auto* x = new TProbe(nullptr, "X");
  auto* y = new TProbe(nullptr, "Y");
  x->FreeNotification(y);
  EXPECT_TRUE(y->ComponentState() & csFreeNotification);
  delete y;
  EXPECT_EQ(Log, (V{"~Y", "X -Y"}));
  Log.clear();
  auto* z = new TProbe(nullptr, "Z");
  z->FreeNotification(x);
  delete z;
  EXPECT_EQ(Log, (V{"~Z", "X -Z"}));
  // Unlinked: no word any more.
  Log.clear();
  auto* w = new TProbe(nullptr, "W");
  w->FreeNotification(x);
  w->FreeNotification(x);  // once is enough
  x->RemoveFreeNotification(w);
  EXPECT_FALSE(x->ComponentState() & csFreeNotification);
  delete w;
  EXPECT_EQ(Log, (V{"~W"}));
  delete x;
  Log.clear();
}

TEST(TComponent, ListenersMayDeleteThemselvesOrOthersWhileTold) {
  Log.clear();
  auto* subject = new TProbe(nullptr, "S");
  auto* l1 = new TProbe(nullptr, "L1");
  auto* l2 = new TProbe(nullptr, "L2");
  auto* l3 = new TProbe(nullptr, "L3");
  for (TProbe* l : {l1, l2, l3}) subject->FreeNotification(l);
  // Told last to first: L3 deletes L2 (which was to be told next) and itself.
  l3->OnRemove = [&](TComponent*) {
    delete l2;
    delete l3;
    return true;
  };
  Log.clear();
  delete subject;
  EXPECT_EQ(Log, (V{"~S", "L3 -S", "~L2", "~L3", "L1 -S"}));
  Log.clear();
  delete l1;
  EXPECT_EQ(Log, (V{"~L1"}));
}

// A listener that ignores the notification (does not call the base) must not
// leave the subject's pointer behind.
std::vector<std::string> TProbe::Flagged;

class TDeafListener : public TComponent {
public:
  using TComponent::TComponent;
  int Told = 0;
  void Notification(TComponent*, TOperation) override { ++Told; }
};

TEST(TComponent, DeafListenerIsStillUnlinked) {
  auto* deaf = new TDeafListener(nullptr);
  auto* subject = new TComponent(nullptr);
  subject->FreeNotification(deaf);
  delete subject;
  EXPECT_EQ(deaf->Told, 1);
  EXPECT_FALSE(deaf->ComponentState() & csFreeNotification);
  delete deaf;
}

TEST(TComponent, StateFlags) {
  TProbe p(nullptr, "P");
  EXPECT_EQ(p.ComponentState(), 0u);
  p.SetLoading();
  EXPECT_TRUE(p.ComponentState() & csLoading);
  p.Loaded();
  EXPECT_FALSE(p.ComponentState() & csLoading);
  p.Updating();
  EXPECT_TRUE(p.ComponentState() & csUpdating);
  p.Updated();
  EXPECT_EQ(p.ComponentState(), 0u);
  p.SetSubComponent(true);
  EXPECT_TRUE(p.ComponentStyle() & csSubComponent);
  p.SetTag(-7);
  EXPECT_EQ(p.Tag(), -7);
  EXPECT_EQ(p.GetNamePath(), "P");
  Log.clear();
  auto* child = new TProbe(&p, "Child");
  p.Destroying();
  EXPECT_TRUE(child->ComponentState() & csDestroying);
  p.DestroyComponents();
  EXPECT_EQ(p.ComponentCount(), 0);
  EXPECT_EQ(Log, (V{"P +", "~Child"}));
  Log.clear();
}

TEST(TComponent, MetaClassCreatesByClass) {
  TComponent owner(nullptr);
  TComponent* made = TComponent::Class.Create(&owner);
  EXPECT_EQ(made->Owner(), &owner);
  EXPECT_EQ(made->ClassName(), "TComponent");
  EXPECT_TRUE(TStringList::Class.InheritsFrom(&TPersistent::Class));
  EXPECT_EQ(TStringList::Class.Create, nullptr);
}

void CountReads(TComponent* instance, TReader* reader) {
  instance->SetTag(instance->Tag() + 1);
  EXPECT_EQ(reader, nullptr);
}

TEST(TComponent, ReadStateGoesThroughTheInstalledReader) {
  TReadStateProc saved = ReadStateProc;
  ReadStateProc = &CountReads;
  TComponent c(nullptr);
  c.ReadState(nullptr);
  EXPECT_EQ(c.Tag(), 1);
  ReadStateProc = saved;
}

// --- collections -------------------------------------------------------------

class TColumn : public TCollectionItem {
  CL_CLASS(TColumn, TCollectionItem)
public:
  explicit TColumn(TCollection* c) : TCollectionItem(c) {}
  AnsiString Caption;
  int Width = 50;
  void Assign(TPersistent* source) override {
    if (source && source->Is<TColumn>()) {
      Caption = static_cast<TColumn*>(source)->Caption;
      Width = static_cast<TColumn*>(source)->Width;
      return;
    }
    TCollectionItem::Assign(source);
  }
  AnsiString GetDisplayName() override { return Caption.IsEmpty() ? TCollectionItem::GetDisplayName() : Caption; }
  void Touch(bool all) { Changed(all); }
};
const TMetaClass TColumn::Class = {"TColumn", &TCollectionItem::Class, nullptr};

class TColumns : public TCollection {
  CL_CLASS(TColumns, TCollection)
public:
  TColumns() : TCollection(&TColumn::Class, &NewCollectionItem<TColumn>) {}
  std::vector<std::string> Events;

protected:
  void Update(TCollectionItem* item) override {
    Events.push_back("update " + (item ? static_cast<TColumn*>(item)->Caption.str() : std::string("all")));
  }
  void Notify(TCollectionItem* item, TCollectionNotification action) override {
    // A complete item: the derived fields are readable here.
    const char* names[] = {"added", "extracting", "deleting"};
    Events.push_back(std::string(names[action]) + " w" + std::to_string(static_cast<TColumn*>(item)->Width));
  }
};
const TMetaClass TColumns::Class = {"TColumns", &TCollection::Class, nullptr};

TEST(TCollection, AddDeleteAndEvents) {
  TColumns cols;
  auto* a = static_cast<TColumn*>(cols.Add());
  a->Caption = "A";
  EXPECT_EQ(cols.Events, (V{"added w50", "update all"}));
  cols.Events.clear();
  auto* b = static_cast<TColumn*>(cols.Add());
  b->Caption = "B";
  auto* c = static_cast<TColumn*>(cols.Insert(0));
  c->Caption = "C";
  EXPECT_EQ(cols.Count(), 3);
  EXPECT_EQ(cols[0], c);
  EXPECT_EQ(c->Index(), 0);
  EXPECT_EQ(a->Index(), 1);
  EXPECT_EQ(c->ID(), 2);
  EXPECT_EQ(cols.FindItemID(1), b);
  EXPECT_EQ(cols.FindItemID(9), nullptr);
  EXPECT_EQ(b->Collection(), &cols);
  EXPECT_EQ(b->GetOwner(), &cols);
  EXPECT_EQ(b->GetNamePath(), "TColumns[2]");
  EXPECT_EQ(b->DisplayName(), "B");
  EXPECT_EQ(Raised([&] { cols.Items(3); }), "EListError: List index out of bounds (3)");
  EXPECT_EQ(Raised([&] { a->SetIndex(5); }), "EListError: List index out of bounds (5)");

  cols.Events.clear();
  b->Touch(false);
  b->Touch(true);
  EXPECT_EQ(cols.Events, (V{"update B", "update all"}));
  cols.Events.clear();
  a->Width = 7;
  cols.Delete(1);
  EXPECT_EQ(cols.Events, (V{"deleting w7", "extracting w7", "update all"}));
  EXPECT_EQ(cols.Count(), 2);
  EXPECT_EQ(b->Index(), 1);

  // Deleting an item directly takes it out of its collection.
  delete b;
  EXPECT_EQ(cols.Count(), 1);

  cols.Events.clear();
  cols.BeginUpdate();
  cols.Add();
  cols.Add();
  c->Touch(false);
  cols.EndUpdate();
  EXPECT_EQ(cols.Events, (V{"added w50", "added w50", "update all"}));
  cols.Events.clear();
  cols.Clear();
  EXPECT_EQ(cols.Count(), 0);
  EXPECT_EQ(cols.Events, (V{"extracting w50", "extracting w50", "extracting w50", "update all"}));
}

TEST(TCollection, AssignCopiesItemsAndMovesBetweenCollections) {
  TColumns src;
  for (const char* name : {"x", "y"}) {
    auto* col = static_cast<TColumn*>(src.Add());
    col->Caption = name;
    col->Width = 10;
  }
  TColumns dst;
  dst.Add();
  dst.Assign(&src);
  ASSERT_EQ(dst.Count(), 2);
  EXPECT_EQ(static_cast<TColumn*>(dst[1])->Caption, "y");
  EXPECT_EQ(static_cast<TColumn*>(dst[1])->Width, 10);

  TColumn* moved = static_cast<TColumn*>(src[0]);
  moved->SetCollection(&dst);
  EXPECT_EQ(src.Count(), 1);
  EXPECT_EQ(dst.Count(), 3);
  EXPECT_EQ(moved->Index(), 2);
  EXPECT_EQ(dst.Events.back(), "update all");

  TStringList list;
  EXPECT_EQ(Raised([&] { dst.Assign(&list); }), "EConvertError: Cannot assign a TStringList to a TColumns");
}

TEST(TCollection, FactoryOfTheWrongClassIsRefused) {
  TCollection wrong(&TColumn::Class, &NewCollectionItem<TCollectionItem>);
  EXPECT_EQ(Raised([&] { wrong.Add(); }), "EListError: Invalid property value");
  EXPECT_EQ(wrong.Count(), 0);
}

}  // namespace
