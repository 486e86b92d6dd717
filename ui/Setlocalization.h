// The localisation tables: every text the program's windows and message boxes
// show, in five numbered groups, Russian (language 0) and English (language
// 1); languages 2 and 3 are empty slots. The language is fixed when the main
// window creates the object.
#pragma once

#include <cstdint>

#include "UcClasses.h"
#include "controls.h"

// One group of numbered texts: one list per language 0-3 and a count shared
// by all of them (set by every assignment).
class localItems {
public:
  localItems();
  ~localItems();
  localItems(const localItems&) = delete;
  localItems& operator=(const localItems&) = delete;

  // Copies source into the list of language 0-3 and takes its size as the
  // count; another language copies nothing. False only for a null source.
  bool Assign(int language, TUcStringList* source);
  // The text at index of the language's list; empty outside 0..count-1, for
  // a language above 3, or past the end of that language's own list.
  WideString GetText(int index, int language);
  uint16_t Count() const { return FCount; }

private:
  uint16_t FCount = 0;
  TUcStringList* FLists[4];
};

// The groups by number.
enum TLocalGroup { lgCommon = 1, lgHint = 2, lgAbout = 3, lgMessage = 4, lgParams = 5 };

class Localization {
public:
  explicit Localization(uint8_t language);
  ~Localization();
  Localization(const Localization&) = delete;
  Localization& operator=(const Localization&) = delete;

  uint8_t GetLanguage() const { return FLanguage; }
  WideString GetCommonText(int index) { return CommonTexts->GetText(index, FLanguage); }
  WideString GetHintText(int index) { return HintTexts->GetText(index, FLanguage); }
  WideString GetAboutText(int index) { return AboutTexts->GetText(index, FLanguage); }
  WideString GetMessageText(int index) { return MessageTexts->GetText(index, FLanguage); }
  WideString GetParamsText(int index) { return ParamsTexts->GetText(index, FLanguage); }
  // Text of group 1-5 (TLocalGroup); empty for another group.
  WideString GetText(int group, int index);
  // Font.Charset of the control := LanguageCharset.
  void ApplyCharset(TControl* control);

  localItems* CommonTexts;   // group 1, 74 texts
  localItems* HintTexts;     // group 2, 31 texts
  localItems* AboutTexts;    // group 3, 7 texts
  localItems* MessageTexts;  // group 4, 43 texts
  localItems* ParamsTexts;   // group 5, 8 texts

private:
  uint8_t FLanguage;
};

// Font charset of a language: 0 Russian 204, 1 ANSI 0, 2 Russian 204,
// 3 Turkish 162, any other DEFAULT_CHARSET 1.
uint8_t LanguageCharset(const Localization* localization);
uint8_t LanguageCharset(uint8_t language);

// Fills the groups with the built-in texts of the language: 0 Russian, 1
// English; any other language gets empty lists as languages 2 and 3 (the
// messages keep what they had).
void LoadUiTexts(Localization& localization, uint8_t language);

