// Image lists: rows of equally sized images kept by the system's image-list
// control, drawn normally or disabled, and the links through which views learn
// that a list changed.
#pragma once

#include "graphics.h"

#include <commctrl.h>

class TCustomImageList;

// A view's subscription to an image list's changes.
class TChangeLink : public TObject {
  CL_CLASS(TChangeLink, TObject)
public:
  TChangeLink() = default;
  ~TChangeLink() override;
  TChangeLink(const TChangeLink&) = delete;
  TChangeLink& operator=(const TChangeLink&) = delete;

  TCustomImageList* Sender() const { return FSender; }
  void SetSender(TCustomImageList* v) { FSender = v; }
  virtual void Change();
  TNotifyEvent OnChange;

private:
  TCustomImageList* FSender = nullptr;
};

enum TDrawingStyle : uint8_t { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType : uint8_t { itImage, itMask };

class TCustomImageList : public TComponent {
  CL_CLASS(TCustomImageList, TComponent)
public:
  explicit TCustomImageList(TComponent* owner);
  ~TCustomImageList() override;

  HIMAGELIST Handle();
  // Uses an existing list (the system's, with ShareImages set, is not destroyed).
  void SetHandle(HIMAGELIST list);
  bool HandleAllocated() const { return FHandle != nullptr; }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // A new size empties the list.
  void SetWidth(int v);
  void SetHeight(int v);
  TColor BkColor() const { return FBkColor; }
  void SetBkColor(TColor v);
  TColor BlendColor() const { return FBlendColor; }
  void SetBlendColor(TColor v);
  // A change makes a new (empty) list.
  bool Masked() const { return FMasked; }
  void SetMasked(bool v);
  int AllocBy() const { return FAllocBy; }
  void SetAllocBy(int v) { FAllocBy = v > 0 ? v : 1; }
  bool ShareImages() const { return FShareImages; }
  void SetShareImages(bool v) { FShareImages = v; }
  TDrawingStyle DrawingStyle() const { return FDrawingStyle; }
  void SetDrawingStyle(TDrawingStyle v);
  TImageType ImageType() const { return FImageType; }
  void SetImageType(TImageType v);

  int Count();
  // The index of the first image added, or -1 when the system refused them
  // (a bitmap wider than Width adds one image per Width pixels).
  int Add(TBitmap* image, TBitmap* mask);
  // The mask is made from the colour; clDefault takes the bitmap's transparent colour.
  int AddMasked(TBitmap* image, TColor maskColor);
  // -1 for a missing or empty icon.
  int AddIcon(TIcon* image);
  void Replace(int index, TBitmap* image, TBitmap* mask);
  void ReplaceIcon(int index, TIcon* image);
  // EInvalidOperation "Invalid ImageList Index" outside 0..Count-1.
  void Delete(int index);
  void Clear();

  // Nothing for an index outside the list. A disabled image is drawn embossed
  // in the highlight and shadow colours.
  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
  void DrawOverlay(TCanvas* canvas, int x, int y, int index, int overlay, bool enabled = true);
  bool Overlay(int imageIndex, int overlay);
  // The image at its own size on the list's background (clNone: white).
  void GetBitmap(int index, TBitmap* image);
  void GetIcon(int index, TIcon* image);

  void RegisterChanges(TChangeLink* link);
  void UnRegisterChanges(TChangeLink* link);
  void BeginUpdate();
  void EndUpdate();

  void Assign(TPersistent* source) override;
  void DefineProperties(TFiler* filer) override;

  TNotifyEvent OnChange;

protected:
  virtual void Change();
  virtual void DoDraw(int index, TCanvas* canvas, int x, int y, UINT style, bool enabled);
  void HandleNeeded();
  void FreeHandle();
  void RecreateHandle();

private:
  void CheckIndex(int index);
  void ReadBitmap(TStream* stream);
  void WriteBitmap(TStream* stream);
  HIMAGELIST FHandle = nullptr;
  int FWidth = 16;
  int FHeight = 16;
  TColor FBkColor = clNone;
  TColor FBlendColor = clNone;
  bool FMasked = true;
  int FAllocBy = 4;
  bool FShareImages = false;
  TDrawingStyle FDrawingStyle = dsNormal;
  TImageType FImageType = itImage;
  int FUpdateCount = 0;
  bool FChanged = false;
  std::vector<TChangeLink*> FLinks;
};

class TImageList : public TCustomImageList {
  CL_CLASS(TImageList, TCustomImageList)
public:
  explicit TImageList(TComponent* owner) : TCustomImageList(owner) {}
};

// Draws a one-bit stencil (0 = image, 1 = background) of size w x h at x, y in
// the given colour: the step shared by disabled images and glyphs.
void DrawStencil(HDC dc, int x, int y, int w, int h, HDC stencil, TColor color);

// An image list of a control exchanged: the old one forgets the control, the
// new one tells it of changes (through link) and of its going.
void ChangeImageList(TComponent* self, TCustomImageList*& field, TCustomImageList* value, TChangeLink* link);

void UnitInit_imglist();
void UnitFini_imglist();
