#include "units.h"

#include <cstring>
#include <vector>

#include "classlib_units.inc"

namespace {
struct TUnitState {
  TUnitEntry Entry;
  bool Started;
};

std::vector<TUnitState>& Table() {
  static std::vector<TUnitState> table = [] {
    std::vector<TUnitState> t;
    for (const TUnitEntry& e : ClasslibUnits) t.push_back({e, false});
    return t;
  }();
  return table;
}
}  // namespace

void RegisterUnits(const TUnitEntry* table, size_t count) {
  auto& t = Table();
  for (size_t i = 0; i < count; ++i) {
    bool known = false;
    for (auto& s : t)
      if (std::strcmp(s.Entry.Name, table[i].Name) == 0) known = true;
    if (!known) t.push_back({table[i], false});
  }
}

void StartUnits() {
  auto& t = Table();
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i].Started) continue;
    if (t[i].Entry.Init) t[i].Entry.Init();
    t[i].Started = true;
  }
}

void FinishUnits() {
  auto& t = Table();
  for (size_t i = t.size(); i-- > 0;) {
    if (!t[i].Started) continue;
    t[i].Started = false;
    if (t[i].Entry.Fini) t[i].Entry.Fini();
  }
}

bool UnitStarted(const char* name) {
  for (auto& s : Table())
    if (std::strcmp(s.Entry.Name, name) == 0) return s.Started;
  return false;
}
