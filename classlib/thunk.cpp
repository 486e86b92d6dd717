#include "thunk.h"

#include "sysutils.h"

#include <cstring>

namespace {

// One 32-byte slot: 12 bytes of code at the start (the WNDPROC address), the
// bound method further on. Code layout, i686:
//   59            pop  ecx            ; return address
//   68 <slot>     push slot           ; becomes StdWndProc's first argument
//   51            push ecx
//   E9 <rel32>    jmp  StdWndProc
// StdWndProc is stdcall with five arguments, so its return removes the four
// the caller pushed plus the slot pointer.
struct alignas(32) TSlot {
  unsigned char Code[12];
  uint32_t Magic;
  TWndMethod Method;
  TSlot* NextFree;
  uint32_t Pad;
};
static_assert(sizeof(TSlot) == 32, "thunk slots are 32 bytes");
static_assert(offsetof(TSlot, Method) == 16, "method after the code");

constexpr uint32_t kLiveMagic = 0x4B4E5554;  // "TUNK"
constexpr size_t kBlockSize = 4096;

// A block's first slot-sized cell is its header; the rest are slots.
struct TBlockHeader {
  TBlockHeader* Next;
  int Used;
  unsigned char Pad[32 - sizeof(void*) - sizeof(int)];
};
static_assert(sizeof(TBlockHeader) == 32, "header fills one slot");

TBlockHeader* Blocks = nullptr;
TSlot* FreeList = nullptr;
int LiveCount = 0;

LRESULT CALLBACK StdWndProc(TSlot* slot, HWND wnd, UINT msg, WPARAM w, LPARAM l) {
  (void)wnd;
  TMessage m{msg, w, l, 0};
  GuardedCall(nullptr, [&] { slot->Method(m); });
  return m.Result;
}

void AddBlock() {
  void* mem = VirtualAlloc(nullptr, kBlockSize, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
  if (!mem) throw EOutOfResources("Out of system resources");
  auto* header = static_cast<TBlockHeader*>(mem);
  header->Next = Blocks;
  header->Used = 0;
  Blocks = header;
  auto* slots = reinterpret_cast<TSlot*>(header + 1);
  const int count = static_cast<int>(kBlockSize / sizeof(TSlot)) - 1;
  for (int i = count - 1; i >= 0; --i) {
    slots[i].Magic = 0;
    slots[i].NextFree = FreeList;
    FreeList = &slots[i];
  }
}

TBlockHeader* BlockOf(const void* p) {
  for (TBlockHeader* b = Blocks; b; b = b->Next) {
    auto base = reinterpret_cast<uintptr_t>(b);
    auto a = reinterpret_cast<uintptr_t>(p);
    if (a >= base + sizeof(TBlockHeader) && a < base + kBlockSize && (a - base) % sizeof(TSlot) == 0) return b;
  }
  return nullptr;
}

TSlot* LiveSlot(WNDPROC proc) {
  auto* slot = reinterpret_cast<TSlot*>(reinterpret_cast<void*>(proc));
  if (!proc || !BlockOf(slot) || slot->Magic != kLiveMagic) return nullptr;
  return slot;
}

const char kUtilWindowClass[] = "TUtilWindow";

}  // namespace

WNDPROC MakeObjectInstance(TWndMethod m) {
  if (!FreeList) AddBlock();
  TSlot* slot = FreeList;
  FreeList = slot->NextFree;
  slot->NextFree = nullptr;
  slot->Method = m;
  slot->Magic = kLiveMagic;
  unsigned char* c = slot->Code;
  c[0] = 0x59;
  c[1] = 0x68;
  uint32_t self = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(slot));
  std::memcpy(c + 2, &self, 4);
  c[6] = 0x51;
  c[7] = 0xE9;
  auto target = reinterpret_cast<uintptr_t>(&StdWndProc);
  int32_t rel = static_cast<int32_t>(target - (reinterpret_cast<uintptr_t>(c) + 12));
  std::memcpy(c + 8, &rel, 4);
  FlushInstructionCache(GetCurrentProcess(), slot, sizeof(TSlot));
  BlockOf(slot)->Used++;
  ++LiveCount;
  return reinterpret_cast<WNDPROC>(reinterpret_cast<void*>(slot));
}

void FreeObjectInstance(WNDPROC proc) {
  TSlot* slot = LiveSlot(proc);
  if (!slot) return;
  slot->Magic = 0;
  slot->Method.Clear();
  // A stray call through a freed slot must not reach a dead object: the
  // method is cleared and the code jumps into a harmless default procedure.
  slot->Code[0] = 0xE9;
  int32_t rel = static_cast<int32_t>(reinterpret_cast<uintptr_t>(&DefWindowProcA) -
                                     (reinterpret_cast<uintptr_t>(slot->Code) + 5));
  std::memcpy(slot->Code + 1, &rel, 4);
  FlushInstructionCache(GetCurrentProcess(), slot, sizeof(TSlot));
  slot->NextFree = FreeList;
  FreeList = slot;
  BlockOf(slot)->Used--;
  --LiveCount;
}

TWndMethod ObjectInstanceMethod(WNDPROC proc) {
  TSlot* slot = LiveSlot(proc);
  return slot ? slot->Method : TWndMethod();
}

int ObjectInstanceCount() { return LiveCount; }

void ReleaseObjectInstanceBlocks() {
  if (LiveCount != 0) return;
  while (Blocks) {
    TBlockHeader* next = Blocks->Next;
    VirtualFree(Blocks, 0, MEM_RELEASE);
    Blocks = next;
  }
  FreeList = nullptr;
}

HWND AllocateHWnd(TWndMethod m) {
  WNDCLASSA wc{};
  if (!GetClassInfoA(HInstance, kUtilWindowClass, &wc)) {
    wc = WNDCLASSA{};
    wc.lpfnWndProc = &DefWindowProcA;
    wc.hInstance = HInstance;
    wc.lpszClassName = kUtilWindowClass;
    if (!RegisterClassA(&wc)) RaiseLastOSError();
  }
  HWND wnd = CreateWindowExA(WS_EX_TOOLWINDOW, kUtilWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             HInstance, nullptr);
  if (!wnd) RaiseLastOSError();
  if (m) SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MakeObjectInstance(m)));
  return wnd;
}

void DeallocateHWnd(HWND wnd) {
  if (!wnd) return;
  auto proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC));
  DestroyWindow(wnd);
  FreeObjectInstance(proc);
}
