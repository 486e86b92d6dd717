// The view filter: which entries the table and the search show in the current
// view mode, the marked counts the marked view relies on, and the road of the
// view-all command.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_set>

#include "CoreHost.h"
#include "ListNode.h"

enum TViewMode : uint8_t { vmAll = 0, vmDamaged = 1, vmMarked = 2 };

class ViewFilter {
public:
  void SetMode(uint8_t mode) { FMode = mode; }
  uint8_t GetMode() const { return FMode; }
  // Mode 0 (and any unknown mode) shows everything; mode 1 damaged or absent
  // entries and the folders that hold one; mode 2 entries with a need mark and
  // the folders that hold one. Any Kind but 'F' counts as a folder.
  bool IsVisible(const ListNode* node) const;
  // One need mark more (or less) below every ancestor up to, not including,
  // the first with an empty Name (the root of a saved or opened list).
  void AddMarkedCount(ListNode* node);
  void SubMarkedCount(ListNode* node);

private:
  uint8_t FMode = vmAll;
};

// The entry itself carries the damaged mark or is absent.
inline bool DamagedOrAbsent(const ListNode* n) { return (n->Attributes & DamagedBit) || n->Absent != 0; }

// The entry or one below it carries the damaged mark or is absent.
bool ContainsDamaged(const ListNode* node);

// The folders the folder tree shows in a view mode, found in one walk of the
// entry tree: mode 1 keeps the folders that contain damage, mode 2 the
// folders that are marked or hold marks, together with the folders above
// them; the root is always shown. Null for mode 0 (every folder).
std::function<bool(const ListNode*)> ViewFolderTest(const ListNode* root, uint8_t mode);

// What the view-all command needs of the main window.
class IViewHost {
public:
  virtual ~IViewHost() = default;
  // Checks the View menu item of the mode, unchecks the other two.
  virtual void UpdateViewMenuChecks(uint8_t mode) = 0;
  virtual bool HasSelectedFolder() = 0;
  virtual void LeaveSearchView() = 0;
  // The full folder tree is kept aside while a filtered view is shown.
  virtual bool FullTreeSaved() = 0;
  // Puts the full folder tree back, selects the folder that was selected when
  // the filter was applied, shows it in the table and empties the saved copy.
  virtual void RestoreFullTree() = 0;
  virtual void ClearHistories() = 0;
};

// The view-all command (also the first step of Open): mode 0, menu checks and,
// with a folder selected, the full folder tree back. The histories are emptied
// rather than extended: they would otherwise name nodes of the tree that the
// restore replaces. A failed restore shows message 28.
void ShowAllEntries(ViewFilter& filter, IViewHost& view, ICoreHost& host);
