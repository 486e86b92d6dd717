// The archive engine's enumerations, with the values the component publishes.
#pragma once

#include <cstdint>

// Scoped: the class library's colours already use the name clNone.
enum class TZECompressionLevel : uint8_t { clNone = 0, clFastest = 1, clNormal = 2, clMax = 3 };
enum TZESpanningMode : uint8_t { smNone = 0, smSpanning = 1, smSplitting = 2 };
enum TZip64Mode : uint8_t { zmDisabled = 0, zmAuto = 1, zmAlways = 2 };
enum TZECryptoAlgorithm : uint8_t { caPkzipClassic = 0, caAES_128 = 1, caAES_192 = 2, caAES_256 = 3 };
enum TZEProcessOperation : uint8_t {
  poAdd = 0,
  poMove = 1,
  poDelete = 2,
  poUpdate = 3,
  poExtract = 4,
  poTest = 5,
  poRename = 6,
  poChangeAttr = 7,
  poChangeComment = 8,
  poMakeSFX = 9
};
enum TZEProgressPhase : uint8_t { ppStart = 0, ppProcess = 1, ppEnd = 2 };
enum TZEAction : uint8_t { fxaRetry = 0, fxaIgnore = 1, fxaAbort = 2 };
enum TZEVolumeSize : uint8_t {
  vsAutoDetect = 0,
  vsCustom = 1,
  vs1_44MB = 2,
  vs100MB = 3,
  vs200MB = 4,
  vs250MB = 5,
  vs600MB = 6,
  vs650MB = 7,
  vs700MB = 8,
  vs4700MB = 9
};
enum TZEStorePathMode : uint8_t { spNoPath = 0, spRelativePath = 1, spFullPath = 2, spFullPathWithDrive = 3 };
enum TZEOverwriteMode : uint8_t { omPrompt = 0, omAlways = 1, omNever = 2, omIfNewer = 3, omIfOlder = 4 };
enum TZEFileShareMode : uint8_t {
  smShareCompat = 0,
  smShareExclusive = 1,
  smShareDenyWrite = 2,
  smShareDenyRead = 3,
  smShareDenyNone = 4
};
