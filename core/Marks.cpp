#include "Marks.h"

#include <cstring>

namespace {

bool Marked(uint8_t mark) { return mark == 1 || mark == 2; }

// One entry's mark and the counts above it.
bool SetOwnMark(ViewFilter& filter, ListNode* node, uint8_t mark) {
  const uint8_t old = node->NeedMark;
  if (old == mark) return false;
  node->NeedMark = mark;
  if (!Marked(old) && Marked(mark)) filter.AddMarkedCount(node);
  if (Marked(old) && !Marked(mark)) filter.SubMarkedCount(node);
  return true;
}

// Files (and other kinds that are no folder) step through the marks by the
// table of the command; folders switch their whole subtree.
bool ToggleMark(ViewFilter& filter, ListNode* node, uint8_t mark) {
  if (!node) return false;
  if (node->Kind == ekFolder) return SetNeedMarkRecursive(filter, node, node->NeedMark == mark ? 0 : mark);
  return SetOwnMark(filter, node, node->NeedMark == mark ? 0 : mark);
}

}  // namespace

bool SetNeedMarkRecursive(ViewFilter& filter, ListNode* node, uint8_t mark) {
  bool changed = false;
  VisitPreOrder(node, [&](ListNode* n) {
    changed |= SetOwnMark(filter, n, mark);
    return true;
  });
  return changed;
}

bool MarkNeeded(ViewFilter& filter, ListNode* node) { return ToggleMark(filter, node, 1); }

bool MarkNotNeeded(ViewFilter& filter, ListNode* node) { return ToggleMark(filter, node, 2); }

bool ClearMarks(ViewFilter& filter, ListNode* node) {
  if (!node) return false;
  bool changed = (node->Attributes & DamagedBit) != 0;
  node->Attributes &= static_cast<uint8_t>(~DamagedBit);
  if (node->NeedMark == 0) return changed;
  if (node->Kind == ekFolder) return SetNeedMarkRecursive(filter, node, 0) || changed;
  return SetOwnMark(filter, node, 0) || changed;
}

bool ToggleDamaged(ListNode* node) {
  if (!node || node->Kind != ekFile) return false;
  node->Attributes ^= DamagedBit;
  return true;
}

WideString AttributeCellAfterToggle(const WideString& cell, bool damaged) {
  std::wstring text = cell.str();
  if (damaged) return text == L"----" ? WideString(L"E") : WideString(text + L"E");
  const size_t e = text.find(L'E');
  if (e != std::wstring::npos) text.erase(e, 1);
  return text.empty() ? WideString(L"----") : WideString(text);
}

AnsiString CutAtCharacter(const AnsiString& text, int maxBytes, UINT codePage) {
  if (text.Length() <= maxBytes) return text;
  return text.SubString(1, static_cast<int>(AnsiCharBoundary(text, static_cast<size_t>(maxBytes), codePage)));
}

bool StoreComment(ListNode* node, const AnsiString& text) {
  if (!node) return false;
  char field[sizeof node->Comment] = {};
  const AnsiString kept = CutAtCharacter(text, kCommentMaxBytes);
  memcpy(field, kept.c_str(), static_cast<size_t>(kept.Length()));
  if (memcmp(field, node->Comment, sizeof field) == 0) return false;
  memcpy(node->Comment, field, sizeof field);
  return true;
}
