// The tool bar and its buttons. The buttons are windowless controls whose
// bounds follow the native button the "ToolbarWindow32" window draws for
// them; the tool bar keeps the native buttons in the order of its button list
// and tells a button of its clicks by the button's command id.
#pragma once

#include "actnlist.h"
#include "controls.h"
#include "imglist.h"
#include "menus.h"

class TToolBar;

enum TToolButtonStyle : uint8_t { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

class TToolButton : public TGraphicControl {
  CL_CLASS(TToolButton, TGraphicControl)
  CL_DECLARE_MESSAGE_MAP(TToolButton)
public:
  explicit TToolButton(TComponent* owner);
  ~TToolButton() override;

  TToolBar* ToolBar() const { return FToolBar; }
  // The position among the tool bar's buttons, -1 when on none.
  int Index() const;
  TToolButtonStyle Style() const { return FStyle; }
  void SetStyle(TToolButtonStyle value);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int value);
  bool Down() const { return FDown; }
  void SetDown(bool value);
  // Check buttons next to each other with Grouped on act as radio buttons.
  bool Grouped() const { return FGrouped; }
  void SetGrouped(bool value);
  // AutoSize: the native button as wide as its caption.
  void SetAutoSize(bool value) override;
  bool Indeterminate() const { return FIndeterminate; }
  void SetIndeterminate(bool value);
  bool Wrap() const { return FWrap; }
  void SetWrap(bool value);
  // The menu item the button stands for: its caption, hint, image, state and
  // click.
  TMenuItem* MenuItem() const { return FMenuItem; }
  virtual void SetMenuItem(TMenuItem* value);
  TPopupMenu* DropdownMenu() const { return FDropdownMenu; }
  void SetDropdownMenu(TPopupMenu* value);
  int CommandId() const { return FCommandId; }

  void Click() override;
  void SetParent(TWinControl* value) override;

protected:
  friend class TToolBar;
  void Notification(TComponent* component, TOperation operation) override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  const TMetaClass* GetActionLinkClass() override;
  // Tells the tool bar to refresh the native button.
  void RefreshControl();
  void CMTextChanged(TMessage& m);
  void CMVisibleChanged(TMessage& m);
  void CMEnabledChanged(TMessage& m);
  void CMHitTest(TMessage& m);

  TToolBar* FToolBar = nullptr;
  TToolButtonStyle FStyle = tbsButton;
  int FImageIndex = -1;
  int FCommandId;
  bool FDown = false;
  bool FGrouped = false;
  bool FIndeterminate = false;
  bool FWrap = false;
  TMenuItem* FMenuItem = nullptr;
  TPopupMenu* FDropdownMenu = nullptr;
};

// A tool button's link to an action: also the checked state (Down) and the image.
class TToolButtonActionLink : public TControlActionLink {
  CL_CLASS(TToolButtonActionLink, TControlActionLink)
public:
  using TControlActionLink::TControlActionLink;
  bool IsCheckedLinked() override;
  bool IsImageIndexLinked() override;
  void SetChecked(bool value) override;
  void SetImageIndex(int value) override;
};

class TToolBar : public TWinControl {
  CL_CLASS(TToolBar, TWinControl)
  CL_DECLARE_MESSAGE_MAP(TToolBar)
public:
  explicit TToolBar(TComponent* owner);
  ~TToolBar() override;

  int ButtonCount() const { return static_cast<int>(FButtons.size()); }
  TToolButton* Buttons(int index) const;
  int ButtonWidth() const { return FButtonWidth; }
  void SetButtonWidth(int value);
  int ButtonHeight() const { return FButtonHeight; }
  void SetButtonHeight(int value);
  bool ShowCaptions() const { return FShowCaptions; }
  void SetShowCaptions(bool value);
  bool Flat() const { return FFlat; }
  void SetFlat(bool value);
  bool List() const { return FList; }
  void SetList(bool value);
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* value);
  // The menu the tool bar shows as buttons, one per item.
  TMainMenu* Menu() const { return FMenu; }
  virtual void SetMenu(TMainMenu* value);

  // Makes the native button of a tool button match it.
  void UpdateButton(TToolButton* button);

protected:
  friend class TToolButton;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  // The native bar handles the mouse over its buttons itself: mouse messages
  // are not handed to the buttons' controls.
  void WndProc(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  void InsertButton(TToolButton* button);
  void RemoveButton(TToolButton* button);
  void MoveButton(TToolButton* button, int newIndex);
  // Takes native button oldIndex away (-1: none) and makes the one of the
  // tool button at newIndex, then places the controls on their buttons.
  void RemakeNativeButton(int oldIndex, int newIndex);
  // A setting the native bar takes only at creation: a new window.
  template <class T> void ChangeRecreating(T& field, T value) {
    if (field == value) return;
    field = value;
    if (HandleAllocated()) RecreateWnd();
  }
  // The button SetMenu makes for an item.
  virtual TToolButton* NewMenuButton() { return new TToolButton(this); }
  // The native button of index: its string added with TB_ADDSTRINGA, then
  // inserted with TB_INSERTBUTTONA.
  void InsertNativeButton(int index);
  // The buttons' bounds from the native buttons' rectangles.
  void RepositionButtons();
  // The tool button of a command id, null when none.
  TToolButton* FindButton(int commandId) const;
  void ImageListChange(TObject* sender);
  void CNCommand(TMessage& m);
  void CNNotify(TMessage& m);
  void WMSize(TMessage& m);

  std::vector<TToolButton*> FButtons;
  int FButtonWidth = 23;
  int FButtonHeight = 22;
  bool FShowCaptions = false;
  bool FFlat = false;
  bool FList = false;
  bool FUpdatingNative = false;
  TCustomImageList* FImages = nullptr;
  TChangeLink* FImageChangeLink;
  TMainMenu* FMenu = nullptr;
};

void UnitInit_toolwin();
void UnitFini_toolwin();
