// Shared pieces of the Unicode layer's tests: minimal Unicode controls made
// the way the concrete control classes make them, a test form, and a switch
// of the platform flag for the ANSI road.
#pragma once

#include "forms.h"
#include "guitest.h"
#include "stdctrls.h"

#include "UcActnList.h"
#include "UcCodePages.h"
#include "UcControls.h"

#include <string>
#include <vector>

// Texts from several scripts: Cyrillic (code page 1251 holds it), Greek and
// CJK (it does not).
extern const wchar_t* const kMixedText;
extern const wchar_t* const kCyrillicText;
extern const wchar_t* const kCjkText;

// Switches Win32PlatformIsUnicode for a scope.
class TPlatformSwitch {
public:
  explicit TPlatformSwitch(bool unicode) : FOld(Win32PlatformIsUnicode) { Win32PlatformIsUnicode = unicode; }
  ~TPlatformSwitch() { Win32PlatformIsUnicode = FOld; }
  TPlatformSwitch(const TPlatformSwitch&) = delete;
  TPlatformSwitch& operator=(const TPlatformSwitch&) = delete;

private:
  bool FOld;
};

constexpr UINT WM_TEST_THROW = WM_USER + 77;

// A windowed Unicode control over the system EDIT class.
class TTestUcEdit : public TEdit {
  CL_CLASS(TTestUcEdit, TEdit)
  CL_DECLARE_MESSAGE_MAP(TTestUcEdit)
public:
  explicit TTestUcEdit(TComponent* owner);
  UC_WIDE_CAPTION_MEMBERS
  UC_WIDE_HINT_MEMBERS

  int TextChanges = 0;
  std::vector<char> KeyPresses;                      // what the ANSI handlers saw
  TNotifyEvent OnTextChanged;
  void CallActionChange(TObject* sender, bool checkDefaults) { ActionChange(sender, checkDefaults); }
  const TMetaClass* LinkClass() { return GetActionLinkClass(); }
  LRESULT NotifyFormatDuringCreate = -1;

protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  const TMetaClass* GetActionLinkClass() override;
  void KeyPress(char& key) override;
  void CMTextChanged(TMessage& m);
  void WMCreate(TMessage& m);
  void WMTestThrow(TMessage& m);
};

// A windowless Unicode control (its texts live in the helper).
class TTestUcLabel : public TLabel {
  CL_CLASS(TTestUcLabel, TLabel)
  CL_DECLARE_MESSAGE_MAP(TTestUcLabel)
public:
  explicit TTestUcLabel(TComponent* owner) : TLabel(owner) {}
  UC_WIDE_CAPTION_MEMBERS
  UC_WIDE_HINT_MEMBERS

  int TextChanges = 0;
  std::vector<std::string> AnsiTextsSeen;
  void CallActionChange(TObject* sender, bool checkDefaults) { ActionChange(sender, checkDefaults); }

protected:
  void ActionChange(TObject* sender, bool checkDefaults) override;
  const TMetaClass* GetActionLinkClass() override;
  void CMTextChanged(TMessage& m);
  void CMHintShow(TMessage& m);
};

// A shown form of the class library, made in code, freed by the fixture.
class UcGuiTest : public GuiTest {
protected:
  void SetUp() override;
  void TearDown() override;
  TForm* Form = nullptr;
};

// A new control of class T, owned by parent and placed on it at these bounds.
template <class T> T* PlaceOn(TWinControl* parent, int left, int top, int width, int height) {
  auto* control = new T(parent);
  control->SetParent(parent);
  control->SetBounds(left, top, width, height);
  return control;
}

// Widened / narrowed through the system code page, for expectations.
std::wstring Narrowed(const std::wstring& s);

