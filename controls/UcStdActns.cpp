#include "UcStdActns.h"

CL_DEFINE_COMPONENT(TUcHintAction, THintAction)
