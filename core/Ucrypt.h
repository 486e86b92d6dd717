// The keyed byte-stream transformation that keeps the scanned root path out of
// plain sight in the list file's header. Not a cipher.
#pragma once

#include <cstdint>

#include "system.h"

// The values every call site of the program passes.
constexpr int32_t kScrambleStartKey = 685;
constexpr int32_t kScrambleMultiplier = 36271;
constexpr int32_t kScrambleAddend = 27318;

// Same length out as in; any byte value may come out, zero included.
AnsiString ScrambleString(const AnsiString& text, int32_t startKey, int32_t multiplier, int32_t addend);
AnsiString UnscrambleString(const AnsiString& text, int32_t startKey, int32_t multiplier, int32_t addend);
