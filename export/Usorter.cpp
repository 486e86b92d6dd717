#include "Usorter.h"

#include <algorithm>
#include <cstring>

namespace {

struct TLowerTable {
  unsigned char map[256];
  TLowerTable() {
    char bytes[256];
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<char>(i);
    // The NUL byte stops nothing here: CharLowerBuffA works by length.
    CharLowerBuffA(bytes, 256);
    std::memcpy(map, bytes, 256);
  }
};

const TLowerTable& LowerTable() {
  static const TLowerTable table;
  return table;
}

}  // namespace

std::string AnsiLowerBytes(const std::string& text) {
  const TLowerTable& t = LowerTable();
  std::string out(text);
  for (char& c : out) c = static_cast<char>(t.map[static_cast<unsigned char>(c)]);
  return out;
}

void TSorter::AddFolder(AnsiString key, AnsiString text) { Insert(std::move(key), std::move(text), FFolders); }

void TSorter::AddFile(AnsiString key, AnsiString text) { Insert(std::move(key), std::move(text), FFiles); }

void TSorter::Insert(AnsiString key, AnsiString text, TRecList& list) {
  std::string lower = AnsiLowerBytes(key.str());
  list.items.push_back(TItem{std::move(lower), FSerial++, std::make_unique<Rec>(Rec{std::move(key), std::move(text)})});
  list.sorted = list.items.size() <= 1;
}

void TSorter::Order(TRecList& list) {
  if (list.sorted) return;
  // std::string compares its bytes as unsigned char, a prefix first.
  std::sort(list.items.begin(), list.items.end(), [](const TItem& a, const TItem& b) {
    const int c = a.lowerKey.compare(b.lowerKey);
    if (c != 0) return c < 0;
    return a.serial > b.serial;
  });
  list.sorted = true;
}

const Rec* TSorter::Get(int i, TRecList& list) {
  Order(list);
  if (i < 0 || static_cast<size_t>(i) >= list.items.size()) return nullptr;
  return list.items[i].rec.get();
}

AnsiString TSorter::Text(TRecList& list) {
  Order(list);
  size_t size = 0;
  for (const TItem& item : list.items) size += item.rec->text.Length();
  std::string text;
  text.reserve(size);
  for (const TItem& item : list.items) text += item.rec->text.str();
  return AnsiString(std::move(text));
}

AnsiString TSorter::FoldersText() { return Text(FFolders); }

AnsiString TSorter::FilesText() { return Text(FFiles); }
