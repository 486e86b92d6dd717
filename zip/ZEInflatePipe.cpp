#include "ZEInflatePipe.h"

#include <windows.h>

// A thread that sleeps for every block is woken on the CPU of the thread that
// woke it, so Linux's scheduler (under Wine) soon runs both on one CPU, one
// after the other. A short spin first keeps each on its own: a block takes
// less time than the spin (in milliseconds).
constexpr double SPIN_MS = 2.0;

namespace {
// Slim locks and condition variables came with Windows Vista: found at start,
// and where they are missing items are inflated without a worker.
struct TSlimSync {
  void(WINAPI* Acquire)(void**) = nullptr;
  void(WINAPI* Release)(void**) = nullptr;
  BOOL(WINAPI* Sleep)(void**, void**, DWORD, ULONG) = nullptr;
  void(WINAPI* Wake)(void**) = nullptr;
  void(WINAPI* WakeAll)(void**) = nullptr;
};
TSlimSync GSlim;

template <class F> bool Resolve(HMODULE module, const char* name, F& f) {
  f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return f != nullptr;
}

}  // namespace

// Holds the slim lock exclusively; Unlock/Lock around work done outside it.
// Without a worker there is only one thread and nothing to lock.
class TZEPipeLock {
public:
  TZEPipeLock(void*& lock, bool active) : FLock(lock), FActive(active) { Lock(); }
  ~TZEPipeLock() {
    if (FHeld) GSlim.Release(&FLock);
  }
  TZEPipeLock(const TZEPipeLock&) = delete;
  TZEPipeLock& operator=(const TZEPipeLock&) = delete;
  void Lock() {
    if (!FActive) return;
    GSlim.Acquire(&FLock);
    FHeld = true;
  }
  void Unlock() {
    if (!FHeld) return;
    FHeld = false;
    GSlim.Release(&FLock);
  }
  void Wait(void*& condition) { GSlim.Sleep(&condition, &FLock, INFINITE, 0); }

private:
  void*& FLock;
  const bool FActive;
  bool FHeld = false;
};

void UnitInit_ZEInflatePipe() {
  TSlimSync s;
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel && Resolve(kernel, "AcquireSRWLockExclusive", s.Acquire) &&
      Resolve(kernel, "ReleaseSRWLockExclusive", s.Release) && Resolve(kernel, "SleepConditionVariableSRW", s.Sleep) &&
      Resolve(kernel, "WakeConditionVariable", s.Wake) && Resolve(kernel, "WakeAllConditionVariable", s.WakeAll))
    GSlim = s;
}

void UnitFini_ZEInflatePipe() { GSlim = TSlimSync(); }

TZEInflatePipe::TZEInflatePipe(bool threaded, uint64_t limit, size_t blockSize, int slots)
    : FLimit(limit),
      FBlockSize(static_cast<size_t>(std::max<uint64_t>(1, std::min<uint64_t>(blockSize, limit + 1)))),
      FSlots(static_cast<size_t>(threaded ? std::max(slots, 2) : 1)),
      FWantThread(threaded) {
  const size_t pieces = (FBlockSize + CRC_PIECE - 1) / CRC_PIECE;
  for (size_t i = 0; i < FSlots.size(); ++i) {
    TSlot& s = FSlots[i];
    s.Data.reset(new uint8_t[FBlockSize]);
    s.Claimed.reset(new std::atomic<int>[pieces]);
    s.Done.reset(new std::atomic<int>[pieces]);
    s.PieceCrc.resize(pieces);
    // Taken from the back: the first block is slot 0.
    FFree.push_back(static_cast<int>(FSlots.size() - 1 - i));
  }
}

TZEInflatePipe::~TZEInflatePipe() { StopWorker(); }

bool TZEInflatePipe::Init() {
  if (!FInflater.Init()) return false;
  if (FWantThread && GSlim.Acquire) {
    FSync = true;
    try {
      FWorker = std::thread([this] { WorkerLoop(); });
    } catch (const std::exception&) {
      // No thread to be had: the caller's thread inflates instead.
      FSync = false;
    }
  }
  return true;
}

void TZEInflatePipe::Wake(TWakeup& wakeup, bool all) {
  if (!FSync) return;
  wakeup.Count.fetch_add(1, std::memory_order_release);
  if (all)
    GSlim.WakeAll(&wakeup.Condition);
  else
    GSlim.Wake(&wakeup.Condition);
}

void TZEInflatePipe::Await(TZEPipeLock& lock, TWakeup& wakeup, bool& spun) {
  if (spun) {
    lock.Wait(wakeup.Condition);
    spun = false;
    return;
  }
  const unsigned seen = wakeup.Count.load(std::memory_order_acquire);
  lock.Unlock();
  LARGE_INTEGER now, until, frequency;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&until);
  until.QuadPart += static_cast<LONGLONG>(static_cast<double>(frequency.QuadPart) * SPIN_MS / 1000.0);
  do {
    for (int i = 0; i < 64; ++i) YieldProcessor();
    QueryPerformanceCounter(&now);
  } while (wakeup.Count.load(std::memory_order_acquire) == seen && now.QuadPart < until.QuadPart);
  lock.Lock();
  spun = true;
}

void TZEInflatePipe::StopWorker() {
  if (!FWorker.joinable()) return;
  {
    TZEPipeLock lock(FLock, FSync);
    FStop = true;
  }
  Wake(FWorkerWake, true);
  FWorker.join();
}

bool TZEInflatePipe::TakeWork(int& slot) {
  if (FInput == inGiven) {
    FInflater.SetInput(FIn, FInCount);
    FInput = inUsing;
  }
  if (FInput != inUsing || FFree.empty() || FFinished) return false;
  slot = FFree.back();
  FFree.pop_back();
  return true;
}

void TZEInflatePipe::Produce(int slot) {
  TSlot& s = FSlots[static_cast<size_t>(slot)];
  size_t produced = 0;
  const TZEInflater::TStep step = FInflater.Step(s.Data.get(), FBlockSize, produced);
  if (produced > 0) {
    s.Count = produced;
    for (int p = PieceCount(s) - 1; p >= 0; --p) {
      s.Claimed[p].store(0, std::memory_order_relaxed);
      s.Done[p].store(0, std::memory_order_relaxed);
    }
  }
  {
    TZEPipeLock lock(FLock, FSync);
    if (produced > 0) {
      FReady.push_back({peBlock, slot, nullptr});
      FProduced += produced;
    } else {
      FFree.push_back(slot);
    }
    // Past the declared size nothing more is inflated: damaged or hostile data
    // must not fill the disk.
    if (step == TZEInflater::isError || FProduced > FLimit) {
      FReady.push_back({peError, -1, nullptr});
      FFinished = true;
    } else if (step == TZEInflater::isStreamEnd) {
      FReady.push_back({peEnd, -1, nullptr});
      FFinished = true;
    } else if (step == TZEInflater::isNeedInput) {
      FInput = inWanted;
    }
  }
  Wake(FCallerWake, false);
}

void TZEInflatePipe::Finish(TEvent kind, std::exception_ptr error) {
  {
    TZEPipeLock lock(FLock, FSync);
    FInput = inClosed;
    if (!FFinished) FReady.push_back({kind, -1, error});
    FFinished = true;
  }
  Wake(FWorkerWake, true);
}

bool TZEInflatePipe::ClaimPiece(int& slot, int& piece) {
  for (auto it = FReady.rbegin(); it != FReady.rend(); ++it) {
    if (it->Kind != peBlock) continue;
    TSlot& s = FSlots[static_cast<size_t>(it->Slot)];
    for (int p = PieceCount(s) - 1; p >= 0; --p) {
      if (s.Claimed[p].load(std::memory_order_relaxed) != 0) continue;
      if (s.Claimed[p].exchange(1, std::memory_order_acq_rel) != 0) continue;
      slot = it->Slot;
      piece = p;
      return true;
    }
  }
  return false;
}

void TZEInflatePipe::WorkerLoop() {
  // Nothing may leave this thread as an exception: what goes wrong here is
  // queued and raised on the caller's thread by Next.
  try {
    for (;;) {
      int slot = -1;
      {
        TZEPipeLock lock(FLock, FSync);
        bool spun = false;
        for (;;) {
          if (FStop || FFinished) return;
          if (TakeWork(slot)) break;
          int piece = -1;
          if (ClaimPiece(slot, piece)) {
            // Waiting for the caller: do a piece of its CRC work meanwhile.
            lock.Unlock();
            TSlot& s = FSlots[static_cast<size_t>(slot)];
            const size_t at = static_cast<size_t>(piece) * CRC_PIECE;
            s.PieceCrc[static_cast<size_t>(piece)] =
                crc32(0, s.Data.get() + at, static_cast<uInt>(PieceSize(s, piece)));
            s.Done[piece].store(1, std::memory_order_release);
            lock.Lock();
            continue;
          }
          Await(lock, FWorkerWake, spun);
        }
      }
      Produce(slot);
    }
  } catch (...) {
    std::exception_ptr e = std::current_exception();
    try {
      TZEPipeLock lock(FLock, FSync);
      FReady.push_back({peError, -1, e});
      FFinished = true;
    } catch (...) {
    }
    Wake(FCallerWake, false);
  }
}

TZEInflatePipe::TEvent TZEInflatePipe::Next(TBlock& block) {
  block = TBlock();
  TZEPipeLock lock(FLock, FSync);
  bool spun = false;
  for (;;) {
    // Input is answered before the queued blocks, so that the worker is not
    // left idle while they are written.
    if (FInput == inWanted && !FFinished) {
      FInput = inAsked;
      return peNeedInput;
    }
    if (!FReady.empty()) {
      const TItem item = FReady.front();
      FReady.pop_front();
      if (item.Error) std::rethrow_exception(item.Error);
      if (item.Kind == peBlock) {
        block.Slot = item.Slot;
        block.Data = FSlots[static_cast<size_t>(item.Slot)].Data.get();
        block.Count = FSlots[static_cast<size_t>(item.Slot)].Count;
      }
      return item.Kind;
    }
    if (FFinished) return peError;  // everything was handed out already
    if (Threaded()) {
      Await(lock, FCallerWake, spun);
      continue;
    }
    int slot = -1;
    // Without a worker the caller gives back each block before asking for the
    // next, so there is always input or a question for it, and a free block.
    if (!TakeWork(slot)) return peError;
    lock.Unlock();
    Produce(slot);
    lock.Lock();
  }
}

void TZEInflatePipe::Feed(const uint8_t* in, size_t n) {
  {
    TZEPipeLock lock(FLock, FSync);
    FIn = in;
    FInCount = n;
    FInput = inGiven;
  }
  Wake(FWorkerWake, true);
}

void TZEInflatePipe::EndInput() { Finish(peEnd, nullptr); }

void TZEInflatePipe::FailInput(std::exception_ptr e) { Finish(peError, e); }

uLong TZEInflatePipe::Crc(const TBlock& block, uLong crc) {
  TSlot& s = FSlots[static_cast<size_t>(block.Slot)];
  const int pieces = PieceCount(s);
  for (int p = 0; p < pieces; ++p) {
    const size_t size = PieceSize(s, p);
    if (s.Claimed[p].exchange(1, std::memory_order_acq_rel) == 0) {
      crc = crc32(crc, s.Data.get() + static_cast<size_t>(p) * CRC_PIECE, static_cast<uInt>(size));
      continue;
    }
    // The worker is on this piece: a few microseconds of work.
    while (s.Done[p].load(std::memory_order_acquire) == 0) YieldProcessor();
    crc = crc32_combine(crc, s.PieceCrc[static_cast<size_t>(p)], static_cast<z_off_t>(size));
  }
  return crc;
}

void TZEInflatePipe::Release(const TBlock& block) {
  if (block.Slot < 0) return;
  {
    TZEPipeLock lock(FLock, FSync);
    FFree.push_back(block.Slot);
  }
  Wake(FWorkerWake, true);
}
