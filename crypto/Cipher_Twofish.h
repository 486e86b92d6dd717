// Twofish (Schneier et al.), keys of up to 32 bytes filled with zero bytes
// to 16, 24 or 32.
#pragma once

#include "Zecipher.h"

class TCipher_Twofish : public TCipher {
  CL_BLOCK_CIPHER(TCipher_Twofish, TCipher)
};
