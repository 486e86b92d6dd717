// The messages of the cipher and hash library. They are English by design:
// the library reports programming errors, not user-facing conditions.
#pragma once

inline constexpr const char* sProtectionCircular = "Circular Protection detected, Protection Object is invalid.";
inline constexpr const char* sStringFormatExists = "String Format \"%d\" not exists.";
inline constexpr const char* sInvalidStringFormat = "Input is not an valid %s Format.";
inline constexpr const char* sInvalidFormatString = "Input can not be convert to %s Format.";
inline constexpr const char* sNotInitialized = "%s is not initialized call Init() or InitKey() before.";
inline constexpr const char* sInvalidKeySize =
    "Length from Encryptionkey is invalid.\r\nKeysize for %s must be to %d-%d bytes";
// Electronic codebook has no way to restore a partial block, so decoding one is refused.
inline constexpr const char* sInvalidBlockLength =
    "%s: data length %d is not a multiple of the block size %d in ECB mode.";
