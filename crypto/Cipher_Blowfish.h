// Blowfish (Schneier), keys of 1 to 56 bytes; Init raises ECipherException
// errInvalidKeySize for an empty key.
#pragma once

#include "Zecipher.h"

class TCipher_Blowfish : public TCipher {
  CL_BLOCK_CIPHER(TCipher_Blowfish, TCipher)
};
