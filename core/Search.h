// Search by name over the entry tree, the look-ups of entries by name and
// depth, and the locale-aware upper-casing that both the search and the
// import compare with.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ListNode.h"
#include "Uterm.h"
#include "sysutils.h"

// Upper-casing of the system's ANSI code page, as the search and the import
// compare names: AnsiUpperInPlace, with the class library's table looked up
// here once, since a search or an import applies it to every name of a list.
class TAnsiUpper {
public:
  void Apply(std::string& text) const {
    if (!FTable) return AnsiUpperInPlace(text);
    for (char& c : text) c = static_cast<char>(FTable[static_cast<unsigned char>(c)]);
  }
  std::string Of(const char* text, size_t length) const {
    std::string s(text, length);
    Apply(s);
    return s;
  }
  std::string Of(const AnsiString& text) const { return Of(text.c_str(), static_cast<size_t>(text.Length())); }

private:
  // Null on a double-byte code page, where a byte is not a character.
  const unsigned char* FTable = AnsiCodePageIsSingleByte() ? AnsiUpperTable() : nullptr;
};

// The result of a search: the hits in table order with their full paths.
struct TSearchHits {
  std::vector<ListNode*> Entries;
  std::vector<AnsiString> Paths;
};

// Every entry below node (node itself not tested), in depth-first pre-order,
// whose Name holds mask (compared upper-cased; an empty mask never matches)
// and that the filter shows; hits are appended with path + "\" + Name. An
// entry the filter hides is still searched below.
void SearchNodes(const class ViewFilter& filter, const ListNode* node, const AnsiString& mask, const AnsiString& path,
                 TSearchHits& hits);
// The search's mask as typed: its first "*" is removed, any other stays and is
// matched literally.
AnsiString SearchNeedle(const AnsiString& typed);
// The base path of a search: the root's Name without one trailing "\".
AnsiString SearchBasePath(const ListNode* root);
// A hit's caption: its path without the base path and the "\" after it.
AnsiString SearchCaption(const AnsiString& path, const AnsiString& basePath);

// Folders before files by exchanges: for every i < j, a file at i and a
// folder at j trade places (folders keep their order, files do not). kindAt
// tells the Kind at a position; exchange swaps two positions in every list
// that follows the order.
void OrderFoldersFirst(int count, const std::function<char(int)>& kindAt, const std::function<void(int, int)>& exchange);
// The same applied to the hits.
void OrderFoldersFirst(TSearchHits& hits);

// The first entry below node, in pre-order, whose Name equals name byte for
// byte and whose Level is level; null when none.
ListNode* FindChildNode(const ListNode* node, const AnsiString& name, int32_t level);
// Every such entry, in pre-order; nothing when list is null.
void CollectNodesByName(const ListNode* node, const AnsiString& name, int32_t level, TList* list);
