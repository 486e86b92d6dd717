// Edit masks: the text "mask;save;blank" of a masked edit. The mask part holds
// input positions (L l A a C c 0 9 #), literals (any other character, or one
// escaped by '\'), the international literals ':' and '/' (the locale's time
// and date separators) and directives ('!' reverse, '>' upper case, '<' lower
// case, "<>" case as typed). The second field, '0', means literals are not
// saved with the value; the third is the blank character.
#pragma once

#include "system.h"
#include "sysutils.h"

enum TMaskCharType { mcNone, mcLiteral, mcIntlLiteral, mcDirective, mcMask, mcMaskOpt, mcFieldSeparator, mcField };

using TMaskDirectives = unsigned;
enum : unsigned { mDirReverse = 1, mDirUpperCase = 2, mDirLowerCase = 4 };

constexpr char DefaultBlank = '_';
constexpr char MaskFieldSeparator = ';';
constexpr char MaskNoSave = '0';

// The kind of the mask character at a 1-based position (mcNone outside).
TMaskCharType MaskGetCharType(const AnsiString& editMask, int maskOffset);
// The directives in force at a 1-based position of the mask.
TMaskDirectives MaskGetCurrentDirectives(const AnsiString& editMask, int maskOffset);
// ':' and '/' as the locale's separators; any other character unchanged.
char MaskIntlLiteralToChar(char c);
// The number of characters of the mask part (the mask ends there).
int MaskGetMaskLength(const AnsiString& editMask);
// The 0-based offset in the value of the character a mask position stands
// for: how many value characters the positions before it produce. The end of
// the mask (MaskGetMaskLength + 1) gives the length of a full value.
int MaskOffsetToOffset(const AnsiString& editMask, int maskOffset);
// Whether the value character at a 0-based offset is a literal of the mask.
bool IsLiteralChar(const AnsiString& editMask, int offset);
// The blank character (third field), DefaultBlank when none is given.
char MaskGetMaskBlank(const AnsiString& editMask);
// Whether literals are saved with the value (second field not '0').
bool MaskGetMaskSave(const AnsiString& editMask);

// A value that does not fit its edit mask.
CL_EXCEPTION(EDBEditError, Exception)
// The texts of EDBEditError: a value set that does not fit, and a value typed
// that does not fit (formatted with the mask).
extern const char* const SMaskErr;
extern const char* const SMaskEditErr;
