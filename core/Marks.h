// Marks and comments of entries: damaged, needed and not needed, clearing
// them, and the one-line comment. Every ancestor keeps the count of its
// marked descendants (ViewFilter::AddMarkedCount / SubMarkedCount). Each
// function returns whether a field of the entry tree really changed, which
// is what the changed flag of the list follows.
#pragma once

#include "ListNode.h"
#include "Uterm.h"

// Sets NeedMark on the node and, for a folder, on every descendant, depth
// first; each entry whose mark goes from none to a mark (or back) adjusts the
// counts of its ancestors.
bool SetNeedMarkRecursive(class ViewFilter& filter, ListNode* node, uint8_t mark);
// The Needed command on one entry: a file cycles none -> needed -> none (not
// needed -> needed); a folder with the needed mark clears its subtree, any
// other folder marks its whole subtree needed.
bool MarkNeeded(class ViewFilter& filter, ListNode* node);
// The Not needed command, the mirror of MarkNeeded.
bool MarkNotNeeded(class ViewFilter& filter, ListNode* node);
// The Clear command: the damaged mark goes; a marked folder clears its whole
// subtree, an unmarked folder keeps the marks below it.
bool ClearMarks(class ViewFilter& filter, ListNode* node);
// Inverts the damaged mark of a file; folders do not change (false).
bool ToggleDamaged(ListNode* node);

// The attributes cell after the damaged mark was set or removed: "E"
// appended (a "----" cell becomes "E"), or the first "E" deleted (an empty
// cell becomes "----").
WideString AttributeCellAfterToggle(const WideString& cell, bool damaged);

// Most bytes a comment keeps: the field's 256 less room for its terminator.
constexpr int kCommentMaxBytes = 254;
// Writes text into the Comment field: zeroed, then at most 254 bytes, cut at
// a character boundary of the code page (a double-byte character is never
// split). Returns whether the field changed.
bool StoreComment(ListNode* node, const AnsiString& text);
// The longest prefix of text of at most maxBytes bytes that ends at a
// character boundary of the code page.
AnsiString CutAtCharacter(const AnsiString& text, int maxBytes, UINT codePage = CP_ACP);
