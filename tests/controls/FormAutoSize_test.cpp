// The form auto-size component: proportional scaling of a form's controls
// while active, buttons keeping their size, half-to-even rounding, the
// chained resize handler.
#include "ControlsTestUtil.h"

#include "FormAutoSize.h"
#include "buttons.h"
#include "extctrls.h"

#include <gtest/gtest.h>

namespace {

int PreviousHandlerCalls = 0;
void PreviousHandler(TObject*) { ++PreviousHandlerCalls; }

// A form of the class library that is not a TForm.
class TOtherForm : public TCustomForm {
  CL_CLASS(TOtherForm, TCustomForm)
public:
  explicit TOtherForm(TComponent* owner) : TCustomForm(owner) {}
};
CL_DEFINE_COMPONENT(TOtherForm, TCustomForm)

TLabel* PlacedLabel(TForm* form, int l, int t, int w, int h) {
  auto* label = new TLabel(form);
  label->SetAutoSize(false);
  label->SetParent(form);
  label->SetBounds(l, t, w, h);
  return label;
}

class FormAutoSizeTest : public GuiTest {
protected:
  void SetUp() override {
    GuiTest::SetUp();
    Form = NewForm<TForm>(nullptr);
    Form->SetBounds(50, 50, 400, 300);
    Form->HandleNeeded();
    PreviousHandlerCalls = 0;
    Form->OnResize = TNotifyEvent::Free(&PreviousHandler);
  }
  void TearDown() override {
    delete Form;
    GuiTest::TearDown();
  }
  TForm* Form = nullptr;
};

TRect Bounds(TControl* c) { return c->BoundsRect(); }

}  // namespace

TEST_F(FormAutoSizeTest, ScalesControlsWhileActiveButtonsKeepTheirSize) {
  TLabel* label = PlacedLabel(Form, 10, 20, 100, 30);
  auto* button = PlaceOn<TButton>(Form, 10, 20, 100, 30);
  auto* speed = PlaceOn<TSpeedButton>(Form, 10, 20, 100, 30);
  auto* panel = PlaceOn<TPanel>(Form, 200, 100, 100, 100);
  TLabel* onPanel = PlacedLabel(Form, 10, 10, 20, 20);
  onPanel->SetParent(panel);
  auto* sizer = new TFormAutoSize(Form);
  EXPECT_EQ(sizer->Form(), Form);
  sizer->SetActive(true);
  Form->SetBounds(50, 50, 600, 450);
  EXPECT_EQ(Bounds(label), TRect(15, 30, 165, 75));
  EXPECT_EQ(Bounds(button), TRect(15, 30, 115, 60));
  EXPECT_EQ(Bounds(speed), TRect(15, 30, 165, 75));
  EXPECT_EQ(Bounds(panel), TRect(300, 150, 450, 300));
  EXPECT_EQ(Bounds(onPanel), TRect(15, 15, 45, 45));  // owned by the form, on a panel
  EXPECT_GE(PreviousHandlerCalls, 1);
}

TEST_F(FormAutoSizeTest, RoundsHalfToEven) {
  TLabel* five = PlacedLabel(Form, 0, 0, 5, 10);
  TLabel* three = PlacedLabel(Form, 0, 40, 3, 10);
  auto* sizer = new TFormAutoSize(Form);
  sizer->SetActive(true);
  Form->SetBounds(50, 50, 600, 300);
  EXPECT_EQ(five->Width(), 8);   // 7.5
  EXPECT_EQ(three->Width(), 4);  // 4.5
  EXPECT_EQ(three->Height(), 10);
}

TEST_F(FormAutoSizeTest, InactiveItKeepsBoundsAndStillCallsThePreviousHandler) {
  TLabel* label = PlacedLabel(Form, 10, 20, 100, 30);
  auto* sizer = new TFormAutoSize(Form);
  Form->SetBounds(50, 50, 600, 450);
  EXPECT_EQ(Bounds(label), TRect(10, 20, 110, 50));
  int calls = PreviousHandlerCalls;
  EXPECT_GE(calls, 1);
  Form->SetBounds(50, 50, 500, 400);
  EXPECT_GT(PreviousHandlerCalls, calls);
  // The remembered size stayed at the last active resize (here: creation).
  sizer->SetActive(true);
  Form->SetBounds(50, 50, 800, 600);
  EXPECT_EQ(Bounds(label), TRect(20, 40, 220, 100));
}

TEST_F(FormAutoSizeTest, AZeroRememberedSizeOnlyRecordsTheNewOne) {
  // Without a window the form reports no resize: the handler is called here.
  Form->DestroyHandle();
  Form->SetBounds(50, 50, 0, 0);
  TLabel* label = PlacedLabel(Form, 10, 20, 100, 30);
  auto* sizer = new TFormAutoSize(Form);
  sizer->SetActive(true);
  Form->SetBounds(50, 50, 400, 300);
  sizer->Resize(Form);
  EXPECT_EQ(Bounds(label), TRect(10, 20, 110, 50));
  Form->SetBounds(50, 50, 800, 600);
  sizer->Resize(Form);
  EXPECT_EQ(Bounds(label), TRect(20, 40, 220, 100));
}

TEST_F(FormAutoSizeTest, FreeingItGivesTheFormItsOwnHandlerBack) {
  auto* sizer = new TFormAutoSize(Form);
  EXPECT_NE(Form->OnResize, TNotifyEvent::Free(&PreviousHandler));
  delete sizer;
  EXPECT_EQ(Form->OnResize, TNotifyEvent::Free(&PreviousHandler));
  // A handler someone put in later stays.
  sizer = new TFormAutoSize(Form);
  Form->OnResize.Clear();
  delete sizer;
  EXPECT_FALSE(Form->OnResize.Assigned());
}

TEST_F(FormAutoSizeTest, OwnersThatAreNoTFormOfAControl) {
  // An owner that is no control: the component does nothing.
  TComponent plainOwner(nullptr);
  auto* loose = new TFormAutoSize(&plainOwner);
  EXPECT_EQ(loose->Form(), nullptr);
  loose->SetActive(true);
  loose->Resize(nullptr);
  // A control on the form as owner: the form is found through the parents.
  TLabel* label = PlacedLabel(Form, 0, 0, 10, 10);
  auto* viaControl = new TFormAutoSize(label);
  EXPECT_EQ(viaControl->Form(), Form);
  delete viaControl;
  // A form of another class is an invalid cast.
  auto* other = new TOtherForm(nullptr);
  EXPECT_THROW(new TFormAutoSize(other), EInvalidCast);
  EXPECT_EQ(other->ComponentCount(), 0);
  // GCC's pairing check misses the destroying delete and calls it a mismatch with the form's new.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
  delete other;
#pragma GCC diagnostic pop
}

TEST_F(FormAutoSizeTest, AHandlerBoundAfterTheComponentWasMadeIsChainedAtLoaded) {
  Form->OnResize.Clear();
  TLabel* label = PlacedLabel(Form, 10, 20, 100, 30);
  auto* sizer = new TFormAutoSize(Form);
  // The layout binds the form's handler after making its components.
  Form->OnResize = TNotifyEvent::Free(&PreviousHandler);
  sizer->Loaded();
  sizer->SetActive(true);
  PreviousHandlerCalls = 0;
  Form->SetBounds(50, 50, 800, 600);
  EXPECT_EQ(Bounds(label), TRect(20, 40, 220, 100));
  EXPECT_GE(PreviousHandlerCalls, 1);
  sizer->Loaded();  // a second time changes nothing
  delete sizer;
  EXPECT_EQ(Form->OnResize, TNotifyEvent::Free(&PreviousHandler));
}
