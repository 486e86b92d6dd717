// Registering the wide properties of a Unicode control class with the
// layout reader: the wide caption (under the given name) and the wide hint,
// each with the stored test of the class.
#pragma once

#include "filer.h"

template <class C> void RegisterUcWideCaption(const char* name = "Caption") {
  RegisterProperty(&C::Class, name, pkWideString, &C::SetCaption, &C::Caption, TPropDefault(), &C::IsCaptionStored);
}

template <class C> void RegisterUcWideHint() {
  RegisterProperty(&C::Class, "Hint", pkWideString, &C::SetHint, &C::Hint, TPropDefault(), &C::IsHintStored);
}
