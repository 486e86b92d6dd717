// Format strings of the class library's Format syntax: explicit argument
// indexes for every specifier, floating-point arguments formatted ahead of the
// wide formatting, and the check that two format strings take the same
// arguments (a translation must not change what a message expects).
#pragma once

#include "UcSysUtils.h"

#include <vector>

CL_EXCEPTION(EFormatSpecError, EUcGeneralError)

// The format with "N:" written into every specifier that lacked an index;
// unchanged when it has explicit indexes only, or one implicit specifier alone.
WideString GetCanonicalFormatStr(const WideString& formatString);
// The canonical format with every floating-point specifier replaced by its
// value, formatted by the class library's Format.
WideString ReplaceFloatingArgumentsInFormatString(const WideString& formatString, const std::vector<TVarRec>& args);
// Raises EFormatSpecError when the two formats do not take the same arguments.
void CompareFormatStrings(const WideString& formatStr1, const WideString& formatStr2);
bool FormatStringsAreCompatible(const WideString& formatStr1, const WideString& formatStr2);
