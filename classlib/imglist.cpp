#include "imglist.h"

#include <algorithm>
#include <memory>

CL_DEFINE_CLASS(TChangeLink, TObject)
CL_DEFINE_CLASS(TCustomImageList, TComponent)
CL_DEFINE_COMPONENT(TImageList, TCustomImageList)

// ---------------------------------------------------------------------------

TChangeLink::~TChangeLink() {
  if (FSender) FSender->UnRegisterChanges(this);
}

void TChangeLink::Change() {
  if (OnChange) OnChange(FSender);
}

// ---------------------------------------------------------------------------

namespace {
COLORREF ListColor(TColor c) {
  if (c == clNone) return CLR_NONE;
  if (c == clDefault) return CLR_DEFAULT;
  return ColorToRGB(c);
}

// Memory DC with one object selected, cleaned up at scope exit.
struct TScopedDC {
  HDC DC;
  HGDIOBJ Old;
  explicit TScopedDC(HGDIOBJ obj) : DC(CreateCompatibleDC(nullptr)), Old(SelectObject(DC, obj)) {}
  ~TScopedDC() {
    SelectObject(DC, Old);
    DeleteDC(DC);
  }
};
}  // namespace

void DrawStencil(HDC dc, int x, int y, int w, int h, HDC stencil, TColor color) {
  // Monochrome into colour: 0 bits take the text colour, 1 bits the background
  // colour. With white for the image and black for the rest, the ROP
  // D xor (S and (P xor D)) paints the brush on the image and keeps the rest.
  const DWORD ropDSPDxax = 0x00E20746;
  HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  COLORREF oldText = SetTextColor(dc, RGB(255, 255, 255));
  COLORREF oldBk = SetBkColor(dc, RGB(0, 0, 0));
  BitBlt(dc, x, y, w, h, stencil, 0, 0, ropDSPDxax);
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBk);
  SelectObject(dc, oldBrush);
  DeleteObject(brush);
}

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* link : FLinks) link->SetSender(nullptr);
  FLinks.clear();
  FreeHandle();
}

void TCustomImageList::HandleNeeded() {
  if (FHandle) return;
  UINT flags = ILC_COLOR24 | (FMasked ? ILC_MASK : 0);
  FHandle = ImageList_Create(FWidth, FHeight, flags, FAllocBy, FAllocBy);
  if (!FHandle) throw EInvalidOperation("Failed to create the image list");
  ImageList_SetBkColor(FHandle, ListColor(FBkColor));
}

HIMAGELIST TCustomImageList::Handle() {
  HandleNeeded();
  return FHandle;
}

void TCustomImageList::FreeHandle() {
  if (FHandle && !FShareImages) ImageList_Destroy(FHandle);
  FHandle = nullptr;
}

void TCustomImageList::RecreateHandle() {
  FreeHandle();
  HandleNeeded();
  Change();
}

void TCustomImageList::SetHandle(HIMAGELIST list) {
  if (list == FHandle) return;
  FreeHandle();
  FHandle = list;
  if (list) {
    int w = 0, h = 0;
    if (ImageList_GetIconSize(list, &w, &h)) {
      FWidth = w;
      FHeight = h;
    }
    COLORREF bk = ImageList_GetBkColor(list);
    FBkColor = bk == CLR_NONE ? clNone : static_cast<TColor>(bk);
  }
  Change();
}

void TCustomImageList::SetWidth(int v) {
  if (v <= 0 || v == FWidth) return;
  FWidth = v;
  if (FHandle) ImageList_SetIconSize(FHandle, FWidth, FHeight);
  Change();
}

void TCustomImageList::SetHeight(int v) {
  if (v <= 0 || v == FHeight) return;
  FHeight = v;
  if (FHandle) ImageList_SetIconSize(FHandle, FWidth, FHeight);
  Change();
}

void TCustomImageList::SetBkColor(TColor v) {
  if (v == FBkColor) return;
  FBkColor = v;
  if (FHandle) ImageList_SetBkColor(FHandle, ListColor(v));
  Change();
}

void TCustomImageList::SetBlendColor(TColor v) {
  if (v == FBlendColor) return;
  FBlendColor = v;
  Change();
}

void TCustomImageList::SetMasked(bool v) {
  if (v == FMasked) return;
  FMasked = v;
  if (FHandle) RecreateHandle();
}

void TCustomImageList::SetDrawingStyle(TDrawingStyle v) {
  if (v == FDrawingStyle) return;
  FDrawingStyle = v;
  Change();
}

void TCustomImageList::SetImageType(TImageType v) {
  if (v == FImageType) return;
  FImageType = v;
  Change();
}

int TCustomImageList::Count() { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

void TCustomImageList::CheckIndex(int index) {
  if (index < 0 || index >= Count()) throw EInvalidOperation("Invalid ImageList Index");
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
  HandleNeeded();
  int r = ImageList_Add(FHandle, image ? image->Handle() : nullptr, mask ? mask->Handle() : nullptr);
  if (r >= 0) Change();
  return r;
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
  HandleNeeded();
  if (!image || image->Empty()) return -1;
  if (maskColor == clDefault) maskColor = image->TransparentColor();
  int r = ImageList_AddMasked(FHandle, image->Handle(), ColorToRGB(maskColor));
  if (r >= 0) Change();
  return r;
}

int TCustomImageList::AddIcon(TIcon* image) {
  HandleNeeded();
  if (!image || image->Empty()) return -1;
  int r = ImageList_ReplaceIcon(FHandle, -1, image->Handle());
  if (r >= 0) Change();
  return r;
}

void TCustomImageList::Replace(int index, TBitmap* image, TBitmap* mask) {
  CheckIndex(index);
  if (!ImageList_Replace(FHandle, index, image ? image->Handle() : nullptr, mask ? mask->Handle() : nullptr))
    throw EInvalidOperation("Failed to replace image");
  Change();
}

void TCustomImageList::ReplaceIcon(int index, TIcon* image) {
  CheckIndex(index);
  if (!image || image->Empty() || ImageList_ReplaceIcon(FHandle, index, image->Handle()) < 0)
    throw EInvalidOperation("Failed to replace image");
  Change();
}

void TCustomImageList::Delete(int index) {
  CheckIndex(index);
  ImageList_Remove(FHandle, index);
  Change();
}

void TCustomImageList::Clear() {
  if (FHandle) ImageList_Remove(FHandle, -1);
  Change();
}

void TCustomImageList::DoDraw(int index, TCanvas* canvas, int x, int y, UINT style, bool enabled) {
  HDC dc = canvas->Handle();
  if (enabled) {
    ImageList_DrawEx(FHandle, index, dc, x, y, 0, 0, ListColor(FBkColor), ListColor(FBlendColor), style);
    return;
  }
  // Disabled: every pixel that is not the background white becomes part of a
  // stencil, drawn once in the highlight colour one pixel down-right and once
  // in the shadow colour on top.
  HBITMAP mono = CreateBitmap(FWidth, FHeight, 1, 1, nullptr);
  {
    TScopedDC monoDC(mono);
    PatBlt(monoDC.DC, 0, 0, FWidth, FHeight, WHITENESS);
    HBITMAP color = CreateBitmap(FWidth, FHeight, 1, 32, nullptr);
    {
      TScopedDC colorDC(color);
      PatBlt(colorDC.DC, 0, 0, FWidth, FHeight, WHITENESS);
      ImageList_DrawEx(FHandle, index, colorDC.DC, 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
      ::SetBkColor(colorDC.DC, RGB(255, 255, 255));
      BitBlt(monoDC.DC, 0, 0, FWidth, FHeight, colorDC.DC, 0, 0, SRCCOPY);
    }
    DeleteObject(color);
    DrawStencil(dc, x + 1, y + 1, FWidth, FHeight, monoDC.DC, clBtnHighlight);
    DrawStencil(dc, x, y, FWidth, FHeight, monoDC.DC, clBtnShadow);
  }
  DeleteObject(mono);
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
  if (!FHandle || index < 0 || index >= Count()) return;
  static const UINT styles[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
  UINT style = styles[FDrawingStyle];
  if (FImageType == itMask) style |= ILD_MASK;
  DoDraw(index, canvas, x, y, style, enabled);
}

void TCustomImageList::DrawOverlay(TCanvas* canvas, int x, int y, int index, int overlay, bool enabled) {
  if (!FHandle || index < 0 || index >= Count() || overlay < 0 || overlay > 14) return;
  static const UINT styles[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
  DoDraw(index, canvas, x, y, styles[FDrawingStyle] | INDEXTOOVERLAYMASK(overlay + 1), enabled);
}

bool TCustomImageList::Overlay(int imageIndex, int overlay) {
  if (!FHandle || overlay < 0 || overlay > 14) return false;
  return ImageList_SetOverlayImage(FHandle, imageIndex, overlay + 1) != FALSE;
}

void TCustomImageList::GetBitmap(int index, TBitmap* image) {
  if (!image) return;
  CheckIndex(index);
  image->SetSize(0, 0);
  image->SetPixelFormat(pf24bit);
  image->SetSize(FWidth, FHeight);
  TCanvas* c = image->Canvas();
  if (FBkColor != clNone) {
    c->Brush()->SetColor(FBkColor);
    c->FillRect(Rect(0, 0, FWidth, FHeight));
  }
  ImageList_Draw(FHandle, index, c->Handle(), 0, 0, FBkColor == clNone ? ILD_TRANSPARENT : ILD_NORMAL);
  c->Changed();
}

void TCustomImageList::GetIcon(int index, TIcon* image) {
  if (!image) return;
  CheckIndex(index);
  HICON icon = ImageList_GetIcon(FHandle, index, ILD_NORMAL);
  if (!icon) throw EInvalidOperation("Failed to get the image");
  image->SetHandle(icon);
}

void TCustomImageList::RegisterChanges(TChangeLink* link) {
  if (!link || std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end()) return;
  if (link->Sender() && link->Sender() != this) link->Sender()->UnRegisterChanges(link);
  link->SetSender(this);
  FLinks.push_back(link);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* link) {
  auto it = std::find(FLinks.begin(), FLinks.end(), link);
  if (it == FLinks.end()) return;
  FLinks.erase(it);
  link->SetSender(nullptr);
}

void TCustomImageList::BeginUpdate() { ++FUpdateCount; }

void TCustomImageList::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0 && FChanged) Change();
}

void TCustomImageList::Change() {
  FChanged = true;
  if (FUpdateCount > 0) return;
  FChanged = false;
  // A link may unregister itself (or others) while it is told.
  std::vector<TChangeLink*> links = FLinks;
  for (TChangeLink* link : links)
    if (std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end()) link->Change();
  if (OnChange) OnChange(this);
}

void TCustomImageList::Assign(TPersistent* source) {
  if (source && source->Is<TCustomImageList>()) {
    TCustomImageList* src = static_cast<TCustomImageList*>(source);
    if (src == this) return;
    FreeHandle();
    FWidth = src->FWidth;
    FHeight = src->FHeight;
    FBkColor = src->FBkColor;
    FBlendColor = src->FBlendColor;
    FMasked = src->FMasked;
    FAllocBy = src->FAllocBy;
    FDrawingStyle = src->FDrawingStyle;
    FImageType = src->FImageType;
    FShareImages = false;
    if (src->FHandle) {
      FHandle = ImageList_Duplicate(src->FHandle);
      if (!FHandle) throw EInvalidOperation("Failed to copy the image list");
    }
    Change();
    return;
  }
  TComponent::Assign(source);
}

// In a layout the images are one bitmap strip; its bottom-left colour is the mask.
void TCustomImageList::ReadBitmap(TStream* stream) {
  TBitmap strip;
  strip.LoadFromStream(stream);
  BeginUpdate();
  Clear();
  if (!strip.Empty()) AddMasked(&strip, clDefault);
  EndUpdate();
}

void TCustomImageList::WriteBitmap(TStream* stream) {
  int n = Count();
  if (n == 0) return;
  TBitmap strip;
  strip.SetPixelFormat(pf24bit);
  strip.SetSize(FWidth * n, FHeight);
  for (int i = 0; i < n; ++i)
    ImageList_Draw(FHandle, i, strip.Canvas()->Handle(), i * FWidth, 0, ILD_NORMAL);
  strip.SaveToStream(stream);
}

void TCustomImageList::DefineProperties(TFiler* filer) {
  TComponent::DefineProperties(filer);
  filer->DefineBinaryProperty("Bitmap", MakeEvent<&TCustomImageList::ReadBitmap>(this),
                              MakeEvent<&TCustomImageList::WriteBitmap>(this), Count() > 0);
}

// ---------------------------------------------------------------------------

namespace {
const char* const DrawingStyleNames[] = {"dsFocus", "dsSelected", "dsNormal", "dsTransparent"};
const char* const ImageTypeNames[] = {"itImage", "itMask"};
}  // namespace

void UnitInit_imglist() {
  RegisterClass(&TImageList::Class);
  const TMetaClass* c = &TCustomImageList::Class;
  RegisterProperty(c, "AllocBy", pkInteger, &TCustomImageList::SetAllocBy, &TCustomImageList::AllocBy);
  RegisterProperty(c, "BkColor", ColorPropType(), &TCustomImageList::SetBkColor, &TCustomImageList::BkColor);
  RegisterProperty(c, "BlendColor", ColorPropType(), &TCustomImageList::SetBlendColor, &TCustomImageList::BlendColor);
  RegisterProperty(c, "DrawingStyle", TPropType::Enum(DrawingStyleNames), &TCustomImageList::SetDrawingStyle,
                   &TCustomImageList::DrawingStyle);
  RegisterProperty(c, "ImageType", TPropType::Enum(ImageTypeNames), &TCustomImageList::SetImageType,
                   &TCustomImageList::ImageType);
  RegisterProperty(c, "Masked", pkBool, &TCustomImageList::SetMasked, &TCustomImageList::Masked);
  RegisterProperty(c, "ShareImages", pkBool, &TCustomImageList::SetShareImages, &TCustomImageList::ShareImages);
  RegisterProperty(c, "Height", pkInteger, &TCustomImageList::SetHeight, &TCustomImageList::Height);
  RegisterProperty(c, "Width", pkInteger, &TCustomImageList::SetWidth, &TCustomImageList::Width);
}

void UnitFini_imglist() {}

void ChangeImageList(TComponent* self, TCustomImageList*& field, TCustomImageList* value, TChangeLink* link) {
  if (field) {
    field->UnRegisterChanges(link);
    field->RemoveFreeNotification(self);
  }
  field = value;
  if (field) {
    field->RegisterChanges(link);
    field->FreeNotification(self);
  }
}
