// Drag and drop between the library's controls. The control being dragged
// holds the mouse capture; its mouse moves find the control under the mouse
// and ask it (CM_DRAG) whether it takes the drop, its left button's release
// drops there, and anything else that ends the capture cancels the drag.
// One drag at a time, as there is one mouse.
#include "controls.h"

#include "forms.h"

#include <cstdlib>

CL_DEFINE_CLASS(TDragObject, TObject)
CL_DEFINE_CLASS(TDragControlObject, TDragObject)

namespace {

struct TDragSession {
  TControl* Control = nullptr;     // the control being dragged
  TDragObject* Object = nullptr;
  bool OwnObject = false;          // the default object, freed at the end
  bool Active = false;             // past the threshold
  bool Accepted = false;           // the target's last answer
  TPoint Start;
  int Threshold = 0;
  TControl* Target = nullptr;
};

TDragSession Drag;

// What handlers are given as the source: the control for the default object.
TObject* SourceOf(TDragObject* object) {
  if (object && object->Is<TDragControlObject>()) return static_cast<TDragControlObject*>(object)->Control;
  return object;
}

LRESULT SendDrag(TControl* target, TDragMessage kind, const TPoint& pos) {
  TDragRec rec{pos, Drag.Object};
  Drag.Object->DragPos = pos;
  Drag.Object->DragTarget = target;
  return target->Perform(CM_DRAG, kind, reinterpret_cast<LPARAM>(&rec));
}

void DragTo(const TPoint& pos) {
  TControl* target = FindDragTarget(pos, false);
  if (target != Drag.Target) {
    if (Drag.Target) SendDrag(Drag.Target, dmDragLeave, pos);
    Drag.Target = target;
    Drag.Accepted = target && SendDrag(target, dmDragEnter, pos) != 0;
  } else if (target) {
    Drag.Accepted = SendDrag(target, dmDragMove, pos) != 0;
  }
  if (Screen) ::SetCursor(Screen->Cursors(Drag.Accepted ? crArrow : crNo));
}

// Ends the drag; the state is cleared before any handler runs, so a handler
// may begin the next drag.
void DragDone(bool drop) {
  TDragSession done = Drag;
  Drag = TDragSession();
  SetCaptureControl(nullptr);
  TPoint pos = done.Object->DragPos;
  bool dropped = drop && done.Active && done.Target && done.Accepted;
  if (done.Target) {
    TDragRec rec{pos, done.Object};
    done.Object->Cancelling = !dropped;
    done.Target->Perform(CM_DRAG, dropped ? dmDragDrop : dmDragLeave, reinterpret_cast<LPARAM>(&rec));
  }
  TPoint local = done.Control->ScreenToClient(pos);
  if (done.OwnObject) delete done.Object;
  GuardedCall(done.Control, [&] { done.Control->DoEndDrag(dropped ? done.Target : nullptr, local.x, local.y); });
}

}  // namespace

void DragControlGone(TControl* control) {
  if (Drag.Target == control) {
    Drag.Target = nullptr;
    Drag.Accepted = false;
  }
  if (Drag.Control == control) {
    if (Drag.OwnObject) delete Drag.Object;
    Drag = TDragSession();
    SetCaptureControl(nullptr);
  }
}

bool TControl::Dragging() const { return Drag.Control == this; }

void TControl::BeginDrag(bool immediate, int threshold) {
  if (Drag.Control) return;
  TDragObject* object = nullptr;
  DoStartDrag(object);
  bool own = object == nullptr;
  if (own) object = new TDragControlObject(this);
  // The capture first: taking it away from a window is a cancel for a drag
  // that is already under way.
  SetCaptureControl(this);
  Drag.Control = this;
  Drag.Object = object;
  Drag.OwnObject = own;
  POINT p{};
  GetCursorPos(&p);
  Drag.Start = p;
  object->DragPos = p;
  Drag.Threshold = threshold < 0 ? GetSystemMetrics(SM_CXDRAG) : threshold;
  Drag.Active = immediate;
  if (immediate) DragTo(Drag.Start);
}

void TControl::EndDrag(bool drop) {
  if (Drag.Control == this) DragDone(drop);
}

void TControl::DoStartDrag(TDragObject*& dragObject) {
  if (OnStartDrag) OnStartDrag(this, dragObject);
}

void TControl::DoEndDrag(TObject* target, int x, int y) {
  if (OnEndDrag) OnEndDrag(this, target, x, y);
}

void TControl::DragOver(TObject* source, int x, int y, TDragState state, bool& accept) {
  accept = false;
  if (OnDragOver) {
    accept = true;
    OnDragOver(this, source, x, y, state, accept);
  }
}

void TControl::DragDrop(TObject* source, int x, int y) {
  if (OnDragDrop) OnDragDrop(this, source, x, y);
}

void TControl::CMDrag(TMessage& m) {
  auto kind = static_cast<TDragMessage>(m.WParam);
  auto* rec = reinterpret_cast<TDragRec*>(m.LParam);
  m.Result = 0;
  if (!rec) return;
  TPoint local = ScreenToClient(rec->Pos);
  TObject* source = SourceOf(rec->Source);
  switch (kind) {
    case dmDragEnter:
    case dmDragMove:
    case dmDragLeave: {
      bool accept = false;
      TDragState state = kind == dmDragEnter ? dsDragEnter : kind == dmDragLeave ? dsDragLeave : dsDragMove;
      GuardedCall(this, [&] { DragOver(source, local.x, local.y, state, accept); });
      m.Result = accept ? 1 : 0;
      break;
    }
    case dmDragDrop:
      GuardedCall(this, [&] { DragDrop(source, local.x, local.y); });
      break;
    default:
      break;
  }
}

bool TControl::DragMouseMessage(TMessage& message) {
  if (Drag.Control != this) return false;
  switch (message.Msg) {
    case WM_MOUSEMOVE: {
      TPoint pos = ClientToScreen(TPoint(MouseX(message), MouseY(message)));
      if (!Drag.Active) {
        if (std::abs(pos.x - Drag.Start.x) < Drag.Threshold && std::abs(pos.y - Drag.Start.y) < Drag.Threshold)
          return false;
        Drag.Active = true;
      }
      DragTo(pos);
      return true;
    }
    case WM_LBUTTONUP:
      if (!Drag.Active) {
        // Released before it moved far enough: a plain click after all.
        DragDone(false);
        return false;
      }
      Drag.Object->DragPos = ClientToScreen(TPoint(MouseX(message), MouseY(message)));
      DragDone(true);
      return true;
    case WM_RBUTTONDOWN:
      DragDone(false);
      return true;
    case WM_CANCELMODE:
    case WM_CAPTURECHANGED:
      DragDone(false);
      return false;
    default:
      return false;
  }
}
