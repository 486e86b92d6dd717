// Square (Daemen, Knudsen, Rijmen), keys of up to 16 bytes filled with zero
// bytes to 16.
#pragma once

#include "Zecipher.h"

class TCipher_Square : public TCipher {
  CL_BLOCK_CIPHER(TCipher_Square, TCipher)
};
