// Inflating an item on a second thread while the caller's thread checks,
// writes and reports what came out before.
//
// The caller's thread keeps everything that can call the application (its
// streams, its event handlers) and every decision about the item; the worker
// only runs zlib's inflate and, when it would otherwise wait, zlib's crc32 over
// pieces of the blocks the caller has not reached yet. Small items are
// inflated on the caller's thread by the same code, without a worker.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include "ZECodec.h"

class TZEPipeLock;

// Items whose plain size is below this are inflated without a worker: starting
// a thread costs more than the overlap gains on them.
constexpr int64_t ZE_THREADED_INFLATE_MIN = 4 * static_cast<int64_t>(ZE_DECOMPRESSION_BUFFER);

class TZEInflatePipe {
public:
  // What Next hands the caller, in the order the stream produced it:
  //   peBlock      a block of plain bytes, to be given back with Release;
  //   peNeedInput  the previous input is used up: answer with Feed, EndInput
  //                or FailInput before the next call of Next;
  //   peEnd        the deflate stream or the input ended; nothing follows;
  //   peError      damaged data, more output than the limit, or failed input;
  //                nothing follows.
  enum TEvent { peBlock, peNeedInput, peEnd, peError };
  struct TBlock {
    const uint8_t* Data = nullptr;
    size_t Count = 0;
    int Slot = -1;
  };

  // limit: the plain size the item declares; the block that passes it is still
  // handed out (so the caller sees the item is too long), then peError, and
  // nothing more is inflated. threaded: inflate on a worker; the caller's
  // thread does it when no thread starts or the system lacks slim locks.
  // blockSize, slots: the ring of output blocks; a block is never larger than
  // limit + 1, and without a worker one block is enough.
  TZEInflatePipe(bool threaded, uint64_t limit, size_t blockSize = ZE_DECOMPRESSION_BUFFER, int slots = 4);
  ~TZEInflatePipe();
  TZEInflatePipe(const TZEInflatePipe&) = delete;
  TZEInflatePipe& operator=(const TZEInflatePipe&) = delete;

  // False when zlib refuses to start.
  bool Init();
  bool Threaded() const { return FWorker.joinable(); }

  // Waits for the next event. Raises, on the caller's thread, what the worker
  // raised, or the exception given to FailInput when its turn comes.
  TEvent Next(TBlock& block);
  // Answers to peNeedInput. The bytes given to Feed must stay in place until
  // the next peNeedInput. FailInput puts a peError (raising e when it is not
  // null) behind the blocks that are still to come, so a failed read is met in
  // the same order as when reading and inflating take turns.
  void Feed(const uint8_t* in, size_t n);
  void EndInput();
  void FailInput(std::exception_ptr e);

  // zlib's CRC-32 (not inverted) of crc followed by the block's bytes. Pieces
  // the worker already did are joined with crc32_combine; the rest is done here.
  uLong Crc(const TBlock& block, uLong crc);
  void Release(const TBlock& block);

private:
  enum TInput { inWanted, inAsked, inGiven, inUsing, inClosed };
  struct TItem {
    TEvent Kind;
    int Slot;
    std::exception_ptr Error;
  };
  // A condition variable, and a count that tells a spinning waiter that
  // something changed.
  struct TWakeup {
    void* Condition = nullptr;
    std::atomic<unsigned> Count{0};
  };
  struct TSlot {
    std::unique_ptr<uint8_t[]> Data;  // not cleared: zlib writes before anyone reads
    size_t Count = 0;
    std::unique_ptr<std::atomic<int>[]> Claimed, Done;
    std::vector<uLong> PieceCrc;
  };

  static constexpr size_t CRC_PIECE = 65536;
  int PieceCount(const TSlot& slot) const { return static_cast<int>((slot.Count + CRC_PIECE - 1) / CRC_PIECE); }
  size_t PieceSize(const TSlot& slot, int piece) const {
    return std::min(CRC_PIECE, slot.Count - static_cast<size_t>(piece) * CRC_PIECE);
  }

  // Hands the input to zlib when new input came; true when there is input to
  // inflate and a free block to inflate into (then taken into slot). Called
  // with FLock held.
  bool TakeWork(int& slot);
  // One zlib call into the slot, and its outcome queued. Called without FLock.
  void Produce(int slot);
  void Finish(TEvent kind, std::exception_ptr error);
  // With FLock held: claims a CRC piece of a queued block, newest block and last
  // piece first, away from where the caller works.
  bool ClaimPiece(int& slot, int& piece);
  void WorkerLoop();
  void StopWorker();
  void Wake(TWakeup& wakeup, bool all);
  // Spins a while for a change the first time, sleeps the next; the caller
  // checks its state between the two, with the lock held.
  void Await(TZEPipeLock& lock, TWakeup& wakeup, bool& spun);

  TZEInflater FInflater;
  const uint64_t FLimit;
  uint64_t FProduced = 0;
  size_t FBlockSize;
  std::vector<TSlot> FSlots;
  bool FWantThread;

  // The system's slim lock and condition variables (one pointer each, zero
  // when free). With the C runtime's pthread mutex and condition variable,
  // waking the other thread under Wine cost more than the overlap gained.
  void* FLock = nullptr;
  TWakeup FWorkerWake, FCallerWake;
  std::deque<TItem> FReady;
  std::vector<int> FFree;
  TInput FInput = inWanted;
  const uint8_t* FIn = nullptr;
  size_t FInCount = 0;
  bool FFinished = false;
  bool FStop = false;
  bool FSync = false;  // a worker runs: lock and wake
  std::thread FWorker;
};

void UnitInit_ZEInflatePipe();
void UnitFini_ZEInflatePipe();
