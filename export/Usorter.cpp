#include "Usorter.h"

#include <algorithm>

#include "sysutils.h"

void TSorter::AddFolder(const AnsiString& key, const AnsiString& text) { Insert(key.str(), text.str(), FFolders); }

void TSorter::AddFile(const AnsiString& key, const AnsiString& text) { Insert(key.str(), text.str(), FFiles); }

uint64_t SortHead(std::string_view key) {
  const unsigned char* lower = AnsiLowerTable();
  // Names hold no zero byte, so a shorter key's zero fill orders it before
  // the longer keys it begins.
  uint64_t head = 0;
  for (size_t i = 0; i < 8; ++i)
    head = head << 8 | (i < key.size() ? lower[static_cast<unsigned char>(key[i])] : 0);
  return head;
}

int CompareKeyTails(std::string_view a, std::string_view b) {
  const unsigned char* lower = AnsiLowerTable();
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 8; i < common; ++i) {
    const unsigned char ca = lower[static_cast<unsigned char>(a[i])], cb = lower[static_cast<unsigned char>(b[i])];
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return 0;
}

void TSorter::Insert(std::string_view key, std::string_view text, TRecList& list) {
  const TItem item{SortHead(key), static_cast<uint32_t>(list.bytes.size()), static_cast<uint32_t>(key.size()),
                   static_cast<uint32_t>(list.bytes.size() + key.size()), static_cast<uint32_t>(text.size()),
                   FSerial++};
  list.bytes.append(key);
  list.bytes.append(text);
  list.items.push_back(item);
  list.sorted = list.items.size() <= 1;
}

void TSorter::Clear() {
  for (TRecList* list : {&FFolders, &FFiles}) {
    list->bytes.clear();
    list->items.clear();
    list->sorted = true;
  }
  FSerial = 0;
}

void TSorter::Order(TRecList& list) {
  if (list.sorted) return;
  const std::string_view bytes(list.bytes);
  SortByKey(list.items, [&](const TItem& item) { return bytes.substr(item.keyAt, item.keyLength); });
  list.sorted = true;
}

const Rec* TSorter::Get(int i, TRecList& list) {
  Order(list);
  if (i < 0 || static_cast<size_t>(i) >= list.items.size()) return nullptr;
  const TItem& item = list.items[i];
  FGot.key = AnsiString(std::string_view(list.bytes).substr(item.keyAt, item.keyLength));
  FGot.text = AnsiString(std::string_view(list.bytes).substr(item.textAt, item.textLength));
  return &FGot;
}

void TSorter::AppendText(TRecList& list, std::string& out) {
  Order(list);
  size_t size = out.size();
  for (const TItem& item : list.items) size += item.textLength;
  out.reserve(size);
  for (const TItem& item : list.items) out.append(list.bytes, item.textAt, item.textLength);
}

AnsiString TSorter::Text(TRecList& list) {
  std::string text;
  AppendText(list, text);
  return AnsiString(std::move(text));
}

AnsiString TSorter::FoldersText() { return Text(FFolders); }

AnsiString TSorter::FilesText() { return Text(FFiles); }
