// Docking: a control leaves one dock site and joins another by messages, so
// that a site class (a page control, a form) decides how it takes the client
// in. A site that uses a dock manager gets a TDockTree, which lays the
// clients out in the order they came, each on the side it was docked to.
#include "controls.h"

#include <algorithm>

namespace {

// Lays docked clients out like aligned controls: each docked to a side takes
// its share of that edge of what is left; alClient and alNone clients share
// the rest, side by side.
class TDockTree : public TDockManager {
public:
  explicit TDockTree(TWinControl* site) : FSite(site) {}

  void InsertControl(TControl* control, int align, TControl* dropControl) override {
    TZone zone{control, static_cast<TAlign>(align)};
    auto at = std::find_if(FZones.begin(), FZones.end(), [&](const TZone& z) { return z.Control == dropControl; });
    // Docked beside a client: in front of it for the left and top sides.
    if (at != FZones.end() && (align == alLeft || align == alTop))
      FZones.insert(at, zone);
    else if (at != FZones.end())
      FZones.insert(at + 1, zone);
    else
      FZones.push_back(zone);
    ResetBounds(true);
  }

  void RemoveControl(TControl* control) override {
    std::erase_if(FZones, [&](const TZone& z) { return z.Control == control; });
    ResetBounds(true);
  }

  void ResetBounds(bool) override {
    TRect r = FSite->ClientRect();
      std::vector<TControl*> middle;
    for (const TZone& z : FZones) {
      if (!z.Control->Visible()) continue;
      switch (z.Align) {
        case alTop: {
          int h = std::max(0, z.Control->Height());
          z.Control->SetBounds(r.left, r.top, r.right - r.left, h);
          r.top += h;
          break;
        }
        case alBottom: {
          int h = std::max(0, z.Control->Height());
          z.Control->SetBounds(r.left, r.bottom - h, r.right - r.left, h);
          r.bottom -= h;
          break;
        }
        case alLeft: {
          int w = std::max(0, z.Control->Width());
          z.Control->SetBounds(r.left, r.top, w, r.bottom - r.top);
          r.left += w;
          break;
        }
        case alRight: {
          int w = std::max(0, z.Control->Width());
          z.Control->SetBounds(r.right - w, r.top, w, r.bottom - r.top);
          r.right -= w;
          break;
        }
        default:
          middle.push_back(z.Control);
          break;
      }
    }
    if (middle.empty()) return;
    int n = static_cast<int>(middle.size());
    int width = std::max(0, static_cast<int>(r.right - r.left));
    for (int i = 0; i < n; ++i) {
      int left = r.left + width * i / n, right = r.left + width * (i + 1) / n;
      middle[i]->SetBounds(left, r.top, right - left, std::max(0, static_cast<int>(r.bottom - r.top)));
    }
  }

private:
  struct TZone {
    TControl* Control;
    TAlign Align;
  };
  TWinControl* FSite;
  std::vector<TZone> FZones;
};

}  // namespace

bool TControl::ManualDock(TWinControl* newDockSite, TControl* dropControl, TAlign align) {
  if (newDockSite && newDockSite == FHostDockSite) return true;
  if (newDockSite && !newDockSite->DockSite()) return false;
  if (TWinControl* old = FHostDockSite) {
    old->Perform(CM_UNDOCKCLIENT, reinterpret_cast<WPARAM>(newDockSite), reinterpret_cast<LPARAM>(this));
    FHostDockSite = nullptr;
  }
  if (!newDockSite) {
    if (!(ComponentState() & csDestroying)) SetParent(nullptr);
    return true;
  }
  TDragDockObject dock(this);
  TPoint origin = newDockSite->ClientToScreen(TPoint(0, 0));
  dock.DockRect = RECT{static_cast<LONG>(origin.x + Left()), static_cast<LONG>(origin.y + Top()), static_cast<LONG>(origin.x + Left() + Width()), static_cast<LONG>(origin.y + Top() + Height())};
  dock.DropAlign = align;
  dock.DropOnControl = dropControl;
  newDockSite->Perform(CM_DOCKCLIENT, 0, reinterpret_cast<LPARAM>(&dock));
  return FHostDockSite == newDockSite;
}

void TControl::SendDockNotification(UINT msg, WPARAM wParam, LPARAM lParam) {
  TDockNotifyRec rec{msg, wParam, lParam};
  FHostDockSite->Perform(CM_DOCKNOTIFICATION, reinterpret_cast<WPARAM>(this), reinterpret_cast<LPARAM>(&rec));
}

TDockManager* TWinControl::CreateDockManager() {
  if (FDockManager) return FDockManager;
  return new TDockTree(this);
}

void TWinControl::ShowControl(TControl* control) {
  (void)control;
  if (FParent) FParent->ShowControl(this);
}

void TWinControl::DoAddDockClient(TControl* client, const TRect& rect) {
  client->SetParent(this);
  TPoint origin = ClientToScreen(TPoint(0, 0));
  client->SetBounds(rect.left - origin.x, rect.top - origin.y, rect.Width(), rect.Height());
}

void TWinControl::DoRemoveDockClient(TControl* client) { (void)client; }

void TWinControl::CMDockClient(TMessage& m) {
  auto* dock = reinterpret_cast<TDragDockObject*>(m.LParam);
  TControl* client = dock->Control;
  DoAddDockClient(client, TRect(dock->DockRect.left, dock->DockRect.top, dock->DockRect.right, dock->DockRect.bottom));
  client->FHostDockSite = this;
  if (std::find(FDockClients.begin(), FDockClients.end(), client) == FDockClients.end()) FDockClients.push_back(client);
  if (FUseDockManager && FDockManager) FDockManager->InsertControl(client, dock->DropAlign, dock->DropOnControl);
  m.Result = 1;
}

void TWinControl::CMUnDockClient(TMessage& m) {
  auto* client = reinterpret_cast<TControl*>(m.LParam);
  auto it = std::find(FDockClients.begin(), FDockClients.end(), client);
  if (it == FDockClients.end()) return;
  FDockClients.erase(it);
  if (FUseDockManager && FDockManager) FDockManager->RemoveControl(client);
  DoRemoveDockClient(client);
  m.Result = 1;
}
