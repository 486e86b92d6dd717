#include "comboex.h"

#include "actnlist.h"
#include "filer.h"

#include <commctrl.h>

#include <vector>

CL_DEFINE_CLASS(TComboBoxExStrings, TComboBoxStrings)
CL_DEFINE_COMPONENT(TCustomComboBoxEx, TCustomComboBox)
CL_DEFINE_COMPONENT(TComboBoxEx, TCustomComboBoxEx)
CL_DEFINE_CLASS(TComboBoxExActionLink, TWinControlActionLink)

namespace {

// The item's text and data as the window keeps them (CBEM_GETITEM).
bool ReadItem(HWND wnd, int index, UINT mask, COMBOBOXEXITEMA& item, std::vector<char>& text) {
  item = COMBOBOXEXITEMA{};
  item.mask = mask;
  item.iItem = index;
  if (mask & CBEIF_TEXT) {
    text.assign(1024, '\0');
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
  }
  return SendMessageA(wnd, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

}  // namespace

// ===========================================================================
// TComboBoxExStrings

TComboBoxExStrings::TComboBoxExStrings(TCustomComboBoxEx* combo) : TComboBoxStrings(combo) {}

AnsiString TComboBoxExStrings::Get(int index) {
  COMBOBOXEXITEMA item;
  std::vector<char> text;
  if (!ReadItem(Wnd(), index, CBEIF_TEXT, item, text)) return AnsiString();
  return AnsiString(text.data());
}

TObject* TComboBoxExStrings::GetObject(int index) {
  COMBOBOXEXITEMA item;
  std::vector<char> text;
  if (!ReadItem(Wnd(), index, CBEIF_LPARAM, item, text)) Error("List index out of bounds (%d)", index);
  return reinterpret_cast<TObject*>(item.lParam);
}

void TComboBoxExStrings::PutObject(int index, TObject* obj) {
  COMBOBOXEXITEMA item{};
  item.mask = CBEIF_LPARAM;
  item.iItem = index;
  item.lParam = reinterpret_cast<LPARAM>(obj);
  SendMessageA(Wnd(), CBEM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

int TComboBoxExStrings::AddItem(const AnsiString& caption, int imageIndex, int selectedImageIndex, int indent) {
  COMBOBOXEXITEMA item{};
  item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_INDENT;
  item.iItem = GetCount();
  item.pszText = const_cast<char*>(caption.c_str());
  item.iImage = imageIndex;
  item.iSelectedImage = selectedImageIndex < 0 ? imageIndex : selectedImageIndex;
  item.iIndent = indent;
  LRESULT r = SendMessageA(Wnd(), CBEM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  if (r < 0) throw EOutOfResources(SInsertLineError);
  return static_cast<int>(r);
}

int TComboBoxExStrings::Add(const AnsiString& s) { return AddItem(s, -1); }

void TComboBoxExStrings::Insert(int index, const AnsiString& s) {
  COMBOBOXEXITEMA item{};
  item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
  item.iItem = index;
  item.pszText = const_cast<char*>(s.c_str());
  item.iImage = item.iSelectedImage = -1;
  if (SendMessageA(Wnd(), CBEM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) < 0)
    throw EOutOfResources(SInsertLineError);
}

void TComboBoxExStrings::Delete(int index) { SendMessageA(Wnd(), CBEM_DELETEITEM, index, 0); }

int TComboBoxExStrings::IndexOf(const AnsiString& s) { return TStrings::IndexOf(s); }

int TComboBoxExStrings::ImageIndex(int index) {
  COMBOBOXEXITEMA item;
  std::vector<char> text;
  if (!ReadItem(Wnd(), index, CBEIF_IMAGE, item, text)) return -1;
  return item.iImage;
}

// ===========================================================================
// TCustomComboBoxEx

TCustomComboBoxEx::TCustomComboBoxEx(TComponent* owner) : TCustomComboBox(owner) {
  delete FItems;
  FItems = new TComboBoxExStrings(this);
}

TCustomComboBoxEx::~TCustomComboBoxEx() {
  if (FImages) FImages->RemoveFreeNotification(this);
}

void TCustomComboBoxEx::CreateParams(TCreateParams& params) {
  TCustomComboBox::CreateParams(params);
  CreateSubClass(params, WC_COMBOBOXEXA);
  // The extended combo box draws its items itself and keeps their strings.
  params.Style &= ~(CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE | CBS_HASSTRINGS | CBS_SORT | CBS_AUTOHSCROLL);
  if (FStyle >= csOwnerDrawFixed) params.Style = (params.Style & ~CBS_DROPDOWN) | CBS_DROPDOWNLIST;
  params.Style |= WS_CLIPCHILDREN;
  params.Style &= ~WS_VSCROLL;
  params.ExStyle &= ~WS_EX_CLIENTEDGE;
}

void TCustomComboBoxEx::CreateWnd() {
  TCustomComboBox::CreateWnd();
  if (FImages) SendMessageA(WindowHandle(), CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FImages->Handle()));
}

HWND TCustomComboBoxEx::ComboHandle() {
  return reinterpret_cast<HWND>(SendMessageA(Handle(), CBEM_GETCOMBOCONTROL, 0, 0));
}

void TCustomComboBoxEx::SetImages(TCustomImageList* v) {
  if (v == FImages) return;
  if (FImages) FImages->RemoveFreeNotification(this);
  FImages = v;
  if (FImages) FImages->FreeNotification(this);
  if (HandleAllocated())
    SendMessageA(WindowHandle(), CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FImages ? FImages->Handle() : nullptr));
}

void TCustomComboBoxEx::Notification(TComponent* component, TOperation operation) {
  TCustomComboBox::Notification(component, operation);
  if (operation == opRemove && component == FImages) SetImages(nullptr);
}

const TMetaClass* TCustomComboBoxEx::GetActionLinkClass() { return &TComboBoxExActionLink::Class; }

// ===========================================================================
// Unit

void UnitInit_comboex() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_USEREX_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterClasses({&TComboBoxEx::Class, &TCustomComboBoxEx::Class});
  RegisterActionLinkClass(&TComboBoxExActionLink::Class, &NewActionLink<TComboBoxExActionLink>);
}

void UnitFini_comboex() {}
