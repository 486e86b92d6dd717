// The texts of the main window in the language of its localisation object:
// character sets, menus, actions, buttons, logos, columns and dialogs.
#include "Mainunit.h"
#include "sysutils.h"

namespace {

// A menu caption for comparison: without the hot-key marks, upper case.
AnsiString MenuKey(const AnsiString& caption) {
  AnsiString key;
  for (int i = 1; i <= caption.Length(); ++i)
    if (caption[i] != '&') key += caption[i];
  return AnsiUpperCase(key);
}

struct TActionTexts {
  int Caption;  // CommonTexts index, -1 for none
  int Hint;     // HintTexts index, -1 for none
};

// By position in the action list, as the layout orders the actions.
const TActionTexts ActionTexts[27] = {
    {-1, -1}, {12, -1}, {52, -1}, {53, -1}, {-1, -1}, {0, 0},   {38, 23}, {8, 8},   {39, -1},
    {19, 10}, {41, 25}, {42, 26}, {43, 27}, {9, 9},   {44, -1}, {45, 29}, {46, -1}, {47, -1},
    {48, -1}, {49, -1}, {55, -1}, {56, -1}, {57, -1}, {4, -1},  {11, -1}, {59, -1}, {51, -1},
};

}  // namespace

void ApplyMainLocalisation(TInfoFileForm* form) {
  Localization* loc = form->localization;
  const uint8_t charset = LanguageCharset(loc);

  // 1. Character sets.
  loc->ApplyCharset(form);
  TControl* charsetControls[] = {form->lvInfo,      form->tvTreeOfFile, form->Panel,       form->Panel1,
                                 form->spbtBack,    form->spbtComment,  form->spbtDamaged, form->spbtForward,
                                 form->spbtList,    form->spbtNew,      form->spbtOpen,    form->spbtSave,
                                 form->spbtSearch,  form->spbtUp,       form->StatusBar1};
  for (TControl* c : charsetControls)
    if (c) c->Font()->SetCharset(charset);

  // 2. Top-level menus, found by their design captions.
  const struct {
    const wchar_t* Design;
    int Text;
  } menus[] = {{L"Файл", 68}, {L"Редактирование", 40}, {L"Вид", 60}, {L"Помощь", 61}, {L"Поиск", 4}};
  TMenuItem* bar = form->mmMenu->Items();
  for (const auto& m : menus) {
    const AnsiString key = MenuKey(WideToAnsi(m.Design));
    for (int i = 0; i < bar->Count(); ++i) {
      TMenuItem* item = bar->Items(i);
      if (MenuKey(item->Caption()) == key) {
        item->SetCaption(WideToAnsi(loc->GetCommonText(m.Text)));
        break;
      }
    }
  }

  // 3. Actions by position, through the ANSI texts so that the links carry
  // them on to the menu items and buttons.
  TCustomActionList* actions = form->ActionList1;
  for (int i = 0; i < actions->ActionCount() && i < 27; ++i) {
    auto* action = dynamic_cast<TCustomAction*>(actions->Actions(i));
    if (!action) continue;
    if (ActionTexts[i].Caption >= 0) action->TCustomAction::SetCaption(WideToAnsi(loc->GetCommonText(ActionTexts[i].Caption)));
    if (ActionTexts[i].Hint >= 0) action->TCustomAction::SetHint(WideToAnsi(loc->GetHintText(ActionTexts[i].Hint)));
  }

  // 4. Buttons without actions.
  const struct {
    TControl* Button;
    int Caption;
    int Hint;
  } buttons[] = {{form->spbtList, 58, 29}, {form->spbtDamaged, 51, 30}, {form->spbtComment, 50, 12},
                 {form->spbtBack, 1, 1},   {form->spbtForward, 2, 2},   {form->spbtUp, 3, 3},
                 {form->spbtSearch, 4, 4}};
  for (const auto& b : buttons) {
    UcControl_SetText(b.Button, loc->GetCommonText(b.Caption));
    UcControl_SetHint(b.Button, loc->GetHintText(b.Hint));
  }

  // 5. Logos.
  UcControl_SetHint(form->MIVOImage, loc->GetHintText(21));
  UcControl_SetHint(form->KorfenImage, loc->GetHintText(22));

  // 6. Columns.
  TUcListColumns* columns = form->lvInfo->Columns();
  for (int i = 0; i < 6 && i < columns->Count(); ++i) columns->Items(i)->SetCaption(loc->GetCommonText(13 + i));

  // 7. Dialogs.
  form->sdSave->SetTitle(WideToAnsi(loc->GetCommonText(39)));
  form->sdSaveText->SetTitle(WideToAnsi(loc->GetCommonText(19)));
  form->sdSaveCSV->SetTitle(WideToAnsi(loc->GetCommonText(41)));
  form->sdSaveHTML->SetTitle(WideToAnsi(loc->GetCommonText(42)));
  form->odOpen->SetTitle(WideToAnsi(loc->GetCommonText(0)));
  form->odOpen->SetFilter(WideToAnsi(loc->GetCommonText(22)));
  form->odFileWithError->SetTitle(WideToAnsi(loc->GetCommonText(20)));
  form->odFileWithError->SetFilter(WideToAnsi(loc->GetCommonText(21)));
}
