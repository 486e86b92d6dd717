// Form layouts: the UTF-8 text that describes a window's components, compiled
// into the filer's component stream and read into a root component.
//
//   object InfoFileForm: TInfoFileForm
//     Caption = 'Fennolit'               // strings: 'x', #1053, adjacent parts join, 'a' + 'b'
//     Font.Style = [fsBold]              // dotted paths into nested objects; sets
//     Menu = mmMenu                      // identifiers: references, handlers, constants
//     Glyph = @GLYPH_BACK                // a resource loaded into the object
//     Lines.Strings = ('a' 'b')          // lists
//     Data = {0A1B}                      // binary
//     Columns = <item Width = 150 end>   // collections
//     object Child: TClass ... end       // children after the properties
//   end
#pragma once

#include "filer.h"

// Compiles layout text into the component stream that TReader::ReadRootComponent
// reads. A literal of characters below 0x80 becomes a narrow string, any other
// a wide one. Errors raise EParserError "<what> on line <n>".
void ObjectTextToBinary(const AnsiString& utf8Text, TStream* output);

// Reads a layout given as text into root.
void ReadComponentText(const AnsiString& utf8Text, TComponent* root);

// Reads the RCDATA resource resName (of instance, or of the program when null)
// into root. EResNotFound "Resource %s not found".
void ReadComponentRes(const AnsiString& resName, TComponent* root, HINSTANCE instance = nullptr);

// Reads the layout of every class from rootAncestor's child class down to
// instance's class that has one (the RCDATA resource named by the upper-cased
// class name), the base class first. False when no class had a layout.
bool InitInheritedComponent(TComponent* instance, const TMetaClass* rootAncestor);
