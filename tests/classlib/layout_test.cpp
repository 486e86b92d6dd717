// Layout text: the compiler's grammar and errors, and reading a layout into a
// component tree (children, fields, references, handlers, Loaded).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "layout.h"

namespace {

std::vector<std::string> LoadLog;

enum TLayAlign { laNone, laTop, laClient };
const char* const LayAlignNames[] = {"laNone", "laTop", "laClient"};
const char* const LayStyleNames[] = {"lsBold", "lsItalic", "lsUnderline"};
const TIdentMapEntry LayColorIdents[] = {{0x00FF0000, "clBlue"}, {static_cast<int>(0x8000000F), "clBtnFace"}};

class TLayFont : public TPersistent {
  CL_CLASS(TLayFont, TPersistent)
public:
  int FCharset = 1;
  uint32_t FStyle = 0;
  AnsiString FName;
  int GetCharset() const { return FCharset; }
  void SetCharset(int v) { FCharset = v; }
  uint32_t GetStyle() const { return FStyle; }
  void SetStyle(uint32_t v) { FStyle = v; }
  AnsiString GetName() const { return FName; }
  void SetName(AnsiString v) { FName = v; }
};
CL_DEFINE_CLASS(TLayFont, TPersistent)

class TLayPicture : public TPersistent {
  CL_CLASS(TLayPicture, TPersistent)
public:
  AnsiString FLoadedFrom;
};
CL_DEFINE_CLASS(TLayPicture, TPersistent)

class TLayPlain : public TPersistent {
  CL_CLASS(TLayPlain, TPersistent)
};
CL_DEFINE_CLASS(TLayPlain, TPersistent)

class TLayColumn : public TCollectionItem {
  CL_CLASS(TLayColumn, TCollectionItem)
public:
  explicit TLayColumn(TCollection* c) : TCollectionItem(c) {}
  WideString FCaption;
  WideString FCaptionWSeen;
  int FWidth = 50;
  WideString GetCaption() const { return FCaption; }
  void SetCaption(const WideString& v) { FCaption = v; }
  int GetWidth() const { return FWidth; }
  void SetWidth(int v) { FWidth = v; }
  // The wide copy is read and dropped, as run-time reading does with it.
  void DefineProperties(TFiler* filer) override {
    TCollectionItem::DefineProperties(filer);
    filer->DefineProperty("CaptionW", MakeEvent<&TLayColumn::ReadCaptionW>(this), TWriterProc(), false);
  }
  void ReadCaptionW(TReader* r) { FCaptionWSeen = UTF8Decode(r->ReadUTF8String()); }
};
CL_DEFINE_CLASS(TLayColumn, TCollectionItem)

using TKeyEvent = TEvent<void(TObject*, int&)>;

class TLayWidget : public TComponent {
  CL_CLASS(TLayWidget, TComponent)
public:
  explicit TLayWidget(TComponent* owner) : TComponent(owner) {
    FColumns = new TCollection(&TLayColumn::Class, &NewCollectionItem<TLayColumn>, this);
  }
  ~TLayWidget() override {
    SetParentComponent(nullptr);
    for (TLayWidget* k : FKids) k->FParentW = nullptr;
    delete FFont;
    delete FColumns;
    delete FLines;
    delete FItems;
    delete FGlyph;
    delete FPlain;
  }

  // Properties.
  int FColor = 0;
  int FLeft = 0;
  int64_t FBig = 0;
  double FRatio = 0;
  bool FVisible = false;
  char FPass = 0;
  wchar_t FBullet = 0;
  TLayAlign FAlign = laNone;
  AnsiString FCaption;
  WideString FText;
  TLayWidget* FBuddy = nullptr;
  TNotifyEvent FOnClick;
  TKeyEvent FOnKey;
  TLayFont* FFont = new TLayFont;
  TCollection* FColumns;
  TStringList* FLines = new TStringList;
  TStringList* FItems = new TStringList;
  TLayPicture* FGlyph = new TLayPicture;
  TLayPlain* FPlain = new TLayPlain;
  // What the layout defines for the widget itself.
  int FExtra = 0;
  std::string FBlob;
  // Observations.
  TLayWidget* FParentW = nullptr;
  std::vector<TLayWidget*> FKids;
  TComponentState FStateAtSet = 0;
  TComponentState FStateAtLoaded = 0;

  int GetColor() const { return FColor; }
  void SetColor(int v) { FColor = v; }
  int GetLeft() const { return FLeft; }
  void SetLeft(int v) {
    FLeft = v;
    FStateAtSet = ComponentState();
  }
  int64_t GetBig() const { return FBig; }
  void SetBig(int64_t v) { FBig = v; }
  double GetRatio() const { return FRatio; }
  void SetRatio(double v) { FRatio = v; }
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool v) { FVisible = v; }
  char GetPass() const { return FPass; }
  void SetPass(char v) { FPass = v; }
  wchar_t GetBullet() const { return FBullet; }
  void SetBullet(wchar_t v) { FBullet = v; }
  TLayAlign GetAlign() const { return FAlign; }
  void SetAlign(TLayAlign v) { FAlign = v; }
  AnsiString GetCaption() const { return FCaption; }
  void SetCaption(const AnsiString& v) { FCaption = v; }
  WideString GetText() const { return FText; }
  void SetText(const WideString& v) { FText = v; }
  TLayWidget* GetBuddy() const { return FBuddy; }
  void SetBuddy(TLayWidget* v) { FBuddy = v; }
  TNotifyEvent GetOnClick() const { return FOnClick; }
  void SetOnClick(TNotifyEvent e) { FOnClick = e; }
  TKeyEvent GetOnKey() const { return FOnKey; }
  void SetOnKey(TKeyEvent e) { FOnKey = e; }
  TLayFont* GetFont() const { return FFont; }
  TCollection* GetColumns() const { return FColumns; }
  TStringList* GetLines() const { return FLines; }
  TStringList* GetItems() const { return FItems; }
  TLayPicture* GetGlyph() const { return FGlyph; }
  TLayPlain* GetPlain() const { return FPlain; }

  void SetParentComponent(TComponent* value) override {
    if (FParentW) {
      auto& k = FParentW->FKids;
      for (auto it = k.begin(); it != k.end(); ++it)
        if (*it == this) {
          k.erase(it);
          break;
        }
    }
    FParentW = value && value->Is<TLayWidget>() ? static_cast<TLayWidget*>(value) : nullptr;
    if (FParentW) FParentW->FKids.push_back(this);
  }
  void Loaded() override {
    FStateAtLoaded = ComponentState();
    TComponent::Loaded();
    LoadLog.push_back(Name().c_str());
  }
  void DefineProperties(TFiler* filer) override {
    TComponent::DefineProperties(filer);
    filer->DefineProperty("Extra", MakeEvent<&TLayWidget::ReadExtra>(this), TWriterProc(), FExtra != 0);
    filer->DefineBinaryProperty("Blob", MakeEvent<&TLayWidget::ReadBlob>(this), TStreamProc(), false);
    filer->DefineProperty("Ignored", TReaderProc(), TWriterProc(), false);
    filer->DefineProperty("Lazy", MakeEvent<&TLayWidget::ReadLazy>(this), TWriterProc(), false);
  }
  void ReadExtra(TReader* r) { FExtra = r->ReadInteger(); }
  void ReadBlob(TStream* s) {
    FBlob.resize(static_cast<size_t>(s->Size()));
    s->ReadBuffer(FBlob.data(), static_cast<int32_t>(FBlob.size()));
  }
  void ReadLazy(TReader*) {}  // leaves its value unread
};
CL_DEFINE_COMPONENT(TLayWidget, TComponent)

class TLayPanel : public TLayWidget {
  CL_CLASS(TLayPanel, TLayWidget)
public:
  using TLayWidget::TLayWidget;
};
CL_DEFINE_COMPONENT(TLayPanel, TLayWidget)

class TLayAbstract : public TLayWidget {
  CL_CLASS(TLayAbstract, TLayWidget)
public:
  using TLayWidget::TLayWidget;
};
CL_DEFINE_CLASS(TLayAbstract, TLayWidget)

class TLayForm : public TLayWidget {
  CL_CLASS(TLayForm, TLayWidget)
public:
  using TLayWidget::TLayWidget;
  TLayWidget* btnOk = nullptr;
  TLayPanel* pnlMain = nullptr;
  int Clicks = 0;
  int LastKey = 0;
  void BtnClick(TObject*) { ++Clicks; }
  void FormKey(TObject*, int& key) { LastKey = key; }
};
CL_DEFINE_COMPONENT(TLayForm, TLayWidget)

class TLayOtherForm : public TLayWidget {
  CL_CLASS(TLayOtherForm, TLayWidget)
public:
  using TLayWidget::TLayWidget;
};
CL_DEFINE_COMPONENT(TLayOtherForm, TLayWidget)

void LoadLayPicture(TPersistent* obj, const AnsiString& name) {
  static_cast<TLayPicture*>(obj)->FLoadedFrom = name;
}

void RegisterLayoutTestClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterClasses({&TLayWidget::Class, &TLayPanel::Class, &TLayForm::Class, &TLayAbstract::Class});
  const TMetaClass* W = &TLayWidget::Class;
  RegisterProperty(W, "Color", TPropType::Integer(LayColorIdents), &TLayWidget::SetColor, &TLayWidget::GetColor);
  RegisterProperty(W, "Left", pkInteger, &TLayWidget::SetLeft, &TLayWidget::GetLeft);
  RegisterProperty(W, "Big", pkInt64, &TLayWidget::SetBig, &TLayWidget::GetBig);
  RegisterProperty(W, "Ratio", pkFloat, &TLayWidget::SetRatio, &TLayWidget::GetRatio);
  RegisterProperty(W, "Visible", pkBool, &TLayWidget::SetVisible, &TLayWidget::GetVisible);
  RegisterProperty(W, "PasswordChar", pkChar, &TLayWidget::SetPass, &TLayWidget::GetPass);
  RegisterProperty(W, "Bullet", pkWideChar, &TLayWidget::SetBullet, &TLayWidget::GetBullet);
  RegisterProperty(W, "Align", TPropType::Enum(LayAlignNames), &TLayWidget::SetAlign, &TLayWidget::GetAlign);
  RegisterProperty(W, "Caption", pkString, &TLayWidget::SetCaption, &TLayWidget::GetCaption);
  RegisterProperty(W, "Text", pkWideString, &TLayWidget::SetText, &TLayWidget::GetText);
  RegisterProperty(W, "Buddy", pkComponent, &TLayWidget::SetBuddy, &TLayWidget::GetBuddy);
  RegisterProperty(W, "OnClick", pkEvent, &TLayWidget::SetOnClick, &TLayWidget::GetOnClick);
  RegisterProperty(W, "OnKey", pkEvent, &TLayWidget::SetOnKey, &TLayWidget::GetOnKey);
  RegisterProperty(W, "Font", pkObject, nullptr, &TLayWidget::GetFont);
  RegisterProperty(W, "Columns", pkCollection, nullptr, &TLayWidget::GetColumns);
  RegisterProperty(W, "Lines", pkObject, nullptr, &TLayWidget::GetLines);
  RegisterProperty(W, "Items", pkStrings, nullptr, &TLayWidget::GetItems);
  RegisterProperty(W, "Glyph", pkObject, nullptr, &TLayWidget::GetGlyph);
  RegisterProperty(W, "Plain", pkObject, nullptr, &TLayWidget::GetPlain);
  const TMetaClass* F = &TLayFont::Class;
  RegisterProperty(F, "Charset", TPropType::Integer(LayColorIdents), &TLayFont::SetCharset, &TLayFont::GetCharset);
  RegisterProperty(F, "Style", TPropType::Set(LayStyleNames), &TLayFont::SetStyle, &TLayFont::GetStyle);
  RegisterProperty(F, "Name", pkString, &TLayFont::SetName, &TLayFont::GetName);
  RegisterProperty(&TLayColumn::Class, "Caption", pkWideString, &TLayColumn::SetCaption, &TLayColumn::GetCaption);
  RegisterProperty(&TLayColumn::Class, "Width", pkInteger, &TLayColumn::SetWidth, &TLayColumn::GetWidth);
  RegisterResourceLoader(&TLayPicture::Class, &LoadLayPicture);
  RegisterFormFields<TLayForm>({{"btnOk", &TLayForm::btnOk}, {"pnlMain", &TLayForm::pnlMain}});
  RegisterFormMethods<TLayForm>({{"BtnClick", MethodEntry<&TLayForm::BtnClick>()},
                                 {"FormKey", MethodEntry<&TLayForm::FormKey>()}});
}

class LayoutTest : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterLayoutTestClasses();
    LoadLog.clear();
  }
};

std::string Compiled(const char* text) {
  TMemoryStream ms;
  ObjectTextToBinary(text, &ms);
  return std::string(static_cast<const char*>(ms.Memory()), static_cast<size_t>(ms.Size()));
}

template <class E, class F> std::string ErrorOf(F f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message().c_str();
  } catch (const Exception& e) {
    return std::string("other exception: ") + e.Message().c_str();
  }
  return "(no exception)";
}

std::string ParseError(const char* text) {
  return ErrorOf<EParserError>([&] { Compiled(text); });
}

const char* const Russian = "\xD0\x9D\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xB4";       // "Назад" in UTF-8
const wchar_t* const RussianW = L"\x041D\x0430\x0437\x0430\x0434";
const char* const Russian1251 = "\xCD\xE0\xE7\xE0\xE4";

// --- the compiler -----------------------------------------------------------------

TEST_F(LayoutTest, CompiledBytesFollowTheStreamFormat) {
  std::string b = Compiled(
      "\xEF\xBB\xBF"  // byte-order mark
      "object Form1: TLayForm // the root\n"
      "  Left = -2\n"
      "  Caption = 'it''s' + // joined\n"
      "    '!'\n"
      "  Text = #1046'x'\n"
      "  Font.Style = [lsBold, lsItalic]\n"
      "  Buddy = Form1.btnOk\n"
      "  object btnOk: TLayWidget\n"
      "    Blob = {0a FF\n 10}\n"
      "  end\n"
      "end\n");
  std::string expected = std::string("TPF0") + "\x08" "TLayForm" "\x05" "Form1" +
                         "\x04" "Left" "\x02\xFE" +
                         "\x07" "Caption" "\x06\x05" "it's!" +
                         std::string("\x04" "Text" "\x12\x02\x00\x00\x00\x16\x04x\x00", 14) +
                         std::string("\x0A" "Font.Style" "\x0B\x06" "lsBold" "\x08" "lsItalic" "\x00", 29) +
                         "\x05" "Buddy" "\x07\x0B" "Form1.btnOk" + std::string(1, '\0') +
                         "\x0A" "TLayWidget" "\x05" "btnOk" +
                         std::string("\x04" "Blob" "\x0A\x03\x00\x00\x00\x0A\xFF\x10", 13) + std::string(3, '\0');
  EXPECT_EQ(b, expected);
}

TEST_F(LayoutTest, LiteralsBecomeNarrowOnlyWhenAllBelow0x80) {
  // ASCII only, #n below 128 included: a narrow string; anything else: wide.
  EXPECT_EQ(Compiled("object A: TLayForm X = 'a'#13#10'b' end").substr(15, 9),
            std::string("\x01X\x06\x04" "a\r\nb", 8) + '\0');
  EXPECT_NE(Compiled("object A: TLayForm X = #200 end").find("\x12\x01\x00\x00\x00\xC8\x00", 0, 7),
            std::string::npos);
  std::string longText(300, 'q');
  std::string b = Compiled(("object A: TLayForm X = '" + longText + "' end").c_str());
  EXPECT_NE(b.find(std::string("\x0C\x2C\x01\x00\x00", 5) + longText), std::string::npos);
  // A character above U+FFFF is a surrogate pair.
  EXPECT_NE(Compiled("object A: TLayForm X = '\xF0\x9F\x98\x80' end").find("\x12\x02\x00\x00\x00\x3D\xD8\x00\xDE", 0, 9),
            std::string::npos);
}

TEST_F(LayoutTest, SyntaxErrorsNameTheirLine) {
  struct Case {
    const char* Text;
    const char* Message;
  } cases[] = {
      {"", "'object' expected on line 1"},
      {"object A: TLayForm\n  Caption = 'open\nend", "Unterminated string on line 2"},
      {"object A: TLayForm\n\n  Left 5\nend", "'=' expected on line 3"},
      {"object A: TLayForm\n  Left = \nend", "Value expected on line 3"},
      {"object A: TLayForm\n  X = '\xD0'\nend", "Invalid UTF-8 text on line 2"},
      {"object A: TLayForm\n  X = '\xC0\x80'\nend", "Invalid UTF-8 text on line 2"},
      {"object A: TLayForm\n  X = '\xED\xA0\x80'\nend", "Invalid UTF-8 text on line 2"},
      {"object A: TLayForm\n  X = #65536\nend", "Character code out of range on line 2"},
      {"object A: TLayForm\n  X = #\nend", "Character code expected on line 2"},
      {"object A: TLayForm\n  X = {0A1\n}\nend", "Invalid binary value on line 3"},
      {"object A: TLayForm\n  X = {0G}\nend", "Invalid binary value on line 2"},
      {"object A: TLayForm\n  X = 12abc\nend", "Invalid number on line 2"},
      {"object A: TLayForm\n  X = 99999999999999999999\nend", "Number out of range on line 2"},
      {"object A: TLayForm\n  X = [a b]\nend", "',' expected on line 2"},
      {"object A: TLayForm\n  X = <\n  Y = 1 >\nend", "'item' expected on line 3"},
      {"object A: TLayForm\n  X = ('a'\nend", "Value expected on line 3"},
      {"object A: TLayForm\n  X = 'a' +\n 5\nend", "String expected on line 3"},
      {"object A: TLayForm\n  X = \xD0\x96\nend", "Invalid character on line 2"},
      {"object A: TLayForm\n  object B: TLayWidget end\n  X = 1\nend", "'end' expected on line 3"},
      {"object A: TLayForm\nend\nend", "End of file expected on line 3"},
      {"object A: TLayForm\n  X = 1\n", "'end' expected on line 3"},
      {"object A: TLayForm\n  X = @\nend", "Resource name expected on line 2"},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseError(c.Text), c.Message) << c.Text;
}

// --- reading ------------------------------------------------------------------------

TEST_F(LayoutTest, EveryValueKindReachesItsSetter) {
  TLayForm form(nullptr);
  ReadComponentText(
      "object Main: TLayForm\n"
      "  Color = clBtnFace\n"
      "  Left = $1F\n"
      "  Big = $100000000\n"
      "  Ratio = -1.25E2\n"
      "  Visible = True\n"
      "  PasswordChar = '*'\n"
      "  Bullet = #8226\n"
      "  Align = LACLIENT\n"
      "  Caption = 'Fennolit'\n"
      "  Text = 'plain'\n"
      "  Font.Charset = 204\n"
      "  Font.Style = [lsBold, lsUnderline]\n"
      "  Font.Name = 'Tahoma'\n"
      "  Tag = -7\n"
      "  Extra = 12\n"
      "  Blob = {00 01\n"
      "          FE}\n"
      "  Ignored = (1 2 'x')\n"
      "  Lazy = <item Width = 1 end>\n"
      "  Glyph = @GLYPH_BACK\n"
      "  Lines.Strings = (\n"
      "    'first'\n"
      "    '" + std::string(Russian) + "')\n"
      "  Items = 'one'#13#10'two'\n"
      "end\n",
      &form);
  EXPECT_EQ(form.Name(), "Main");
  EXPECT_EQ(form.FColor, static_cast<int>(0x8000000F));
  EXPECT_EQ(form.FLeft, 31);
  EXPECT_EQ(form.FBig, int64_t(1) << 32);
  EXPECT_EQ(form.FRatio, -125.0);
  EXPECT_TRUE(form.FVisible);
  EXPECT_EQ(form.FPass, '*');
  EXPECT_EQ(form.FBullet, L'\x2022');
  EXPECT_EQ(form.FAlign, laClient);
  EXPECT_EQ(form.FCaption, "Fennolit");
  EXPECT_EQ(form.FText, L"plain");
  EXPECT_EQ(form.FFont->FCharset, 204);
  EXPECT_EQ(form.FFont->FStyle, 5u);
  EXPECT_EQ(form.FFont->FName, "Tahoma");
  EXPECT_EQ(form.Tag(), -7);
  EXPECT_EQ(form.FExtra, 12);
  EXPECT_EQ(form.FBlob, std::string("\x00\x01\xFE", 3));
  EXPECT_EQ(form.FGlyph->FLoadedFrom, "GLYPH_BACK");
  ASSERT_EQ(form.FLines->Count(), 2);
  EXPECT_EQ(form.FLines->Strings(0), "first");
  EXPECT_EQ(form.FLines->Strings(1), Russian1251);
  ASSERT_EQ(form.FItems->Count(), 2);
  EXPECT_EQ(form.FItems->Strings(1), "two");
  EXPECT_EQ(form.ComponentState() & (csLoading | csReading), 0u);
}

TEST_F(LayoutTest, RussianTextsReachNarrowAndWideProperties) {
  TLayForm form(nullptr);
  ReadComponentText(std::string("object Main: TLayForm\n  Caption = '") + Russian + "'\n  Text = '" + Russian +
                        "'\n"
                        "  object b: TLayWidget\n"
                        "    Text = #1053#1072#1079#1072#1076\n"
                        "    Caption = 'A' + #1046 + 'B'\n"
                        "  end\n"
                        "end\n",
                    &form);
  EXPECT_EQ(form.FCaption, Russian1251);
  EXPECT_EQ(form.FText, RussianW);
  auto* b = static_cast<TLayWidget*>(form.FindComponent("b"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->FText, RussianW);
  EXPECT_EQ(b->FCaption, "A\xC6" "B");
  // What the code page cannot hold becomes what the system makes of it.
  TLayForm other(nullptr);
  ReadComponentText("object Main: TLayForm Caption = '\xE6\x97\xA5' end", &other);
  char expected[8] = {};
  int n = WideCharToMultiByte(CP_ACP, 0, L"\x65E5", 1, expected, sizeof expected, nullptr, nullptr);
  EXPECT_EQ(other.FCaption.str(), std::string(expected, n));
}

TEST_F(LayoutTest, ChildrenGetOwnerParentFieldsAndLoadedInOrder) {
  TLayForm form(nullptr);
  ReadComponentText(
      "object Main: TLayForm\n"
      "  object pnlMain: TLayPanel\n"
      "    Left = 3\n"
      "    object btnOk: TLayWidget\n"
      "    end\n"
      "    object TLayWidget\n"  // no name
      "    end\n"
      "  end\n"
      "  object lblTwo: TLayWidget\n"
      "  end\n"
      "end\n",
      &form);
  ASSERT_EQ(form.ComponentCount(), 4);
  ASSERT_NE(form.pnlMain, nullptr);
  ASSERT_NE(form.btnOk, nullptr);
  EXPECT_EQ(form.pnlMain->Name(), "pnlMain");
  EXPECT_EQ(form.btnOk->Owner(), &form);
  EXPECT_EQ(form.btnOk->FParentW, form.pnlMain);
  EXPECT_EQ(form.pnlMain->FParentW, &form);
  ASSERT_EQ(form.pnlMain->FKids.size(), 2u);
  EXPECT_EQ(form.pnlMain->FKids[1]->Name(), "");
  EXPECT_EQ(form.pnlMain->FKids[1]->Owner(), &form);
  // Properties are set while reading; Loaded comes after, with the flags cleared.
  EXPECT_EQ(form.pnlMain->FStateAtSet & (csLoading | csReading), csLoading | csReading);
  EXPECT_EQ(form.pnlMain->FStateAtLoaded & (csLoading | csReading), 0u);
  EXPECT_EQ(LoadLog, (std::vector<std::string>{"pnlMain", "btnOk", "", "lblTwo", "Main"}));
}

TEST_F(LayoutTest, ReferencesAndHandlersAreBoundAfterTheTree) {
  TLayForm form(nullptr);
  ReadComponentText(
      "object Main: TLayForm\n"
      "  Buddy = btnOk\n"  // forward reference
      "  OnClick = BtnClick\n"
      "  OnKey = formkey\n"
      "  object btnOk: TLayWidget\n"
      "    Buddy = Main\n"
      "    OnClick = BtnClick\n"
      "  end\n"
      "  object other: TLayWidget\n"
      "    Buddy = Main.btnOk\n"
      "    OnClick = nil\n"
      "  end\n"
      "end\n",
      &form);
  EXPECT_EQ(form.FBuddy, form.btnOk);
  EXPECT_EQ(form.btnOk->FBuddy, &form);
  auto* other = static_cast<TLayWidget*>(form.FindComponent("other"));
  EXPECT_EQ(other->FBuddy, form.btnOk);
  EXPECT_FALSE(other->FOnClick);
  // The bound event is the one MakeEvent builds, so it compares equal.
  EXPECT_TRUE(form.btnOk->FOnClick == MakeEvent<&TLayForm::BtnClick>(&form));
  form.btnOk->FOnClick(form.btnOk);
  form.FOnClick(&form);
  EXPECT_EQ(form.Clicks, 2);
  int key = 13;
  form.FOnKey(&form, key);
  EXPECT_EQ(form.LastKey, 13);
}

TEST_F(LayoutTest, CollectionsReplaceTheirItems) {
  TLayForm form(nullptr);
  form.FColumns->Add();  // an item from before is dropped
  ReadComponentText(std::string("object Main: TLayForm\n"
                                "  Columns = <\n"
                                "    item\n"
                                "      Caption = '") +
                        Russian +
                        "'\n"
                        "      CaptionW = 'dropped'\n"
                        "      Width = 150\n"
                        "    end\n"
                        "    item [7]\n"
                        "    end>\n"
                        "end\n",
                    &form);
  ASSERT_EQ(form.FColumns->Count(), 2);
  auto* c0 = static_cast<TLayColumn*>(form.FColumns->Items(0));
  auto* c1 = static_cast<TLayColumn*>(form.FColumns->Items(1));
  EXPECT_EQ(c0->FCaption, RussianW);
  EXPECT_EQ(c0->FCaptionWSeen, L"dropped");
  EXPECT_EQ(c0->FWidth, 150);
  EXPECT_EQ(c1->FWidth, 50);
  // An empty collection value empties the collection.
  ReadComponentText("object Main: TLayForm Columns = <> end", &form);
  EXPECT_EQ(form.FColumns->Count(), 0);
}

TEST_F(LayoutTest, ReadingErrorsSayWhatWentWrong) {
  struct Case {
    const char* Text;
    const char* Message;
  } cases[] = {
      {"object Main: TLayForm Bogus = 1 end", "Error reading Main.Bogus: Property Bogus does not exist"},
      {"object Main: TLayForm object btnOk: TLayWidget Font.Bogus = 1 end end",
       "Error reading btnOk.Font.Bogus: Property Bogus does not exist"},
      {"object Main: TLayForm Caption.Length = 1 end", "Error reading Main.Caption.Length: Property Caption does not exist"},
      {"object Main: TLayForm Columns = <item Bogus = 1 end> end",
       "Error reading Main.Columns.Bogus: Property Bogus does not exist"},
      {"object Main: TLayForm Left = 'x' end", "Invalid property value"},
      {"object Main: TLayForm Left = $100000000 end", "Invalid property value"},
      {"object Main: TLayForm Align = laNowhere end", "Invalid property value"},
      {"object Main: TLayForm Color = clNoSuchColor end", "Invalid property value"},
      {"object Main: TLayForm Font.Style = [lsBold, lsBlink] end", "Invalid property value"},
      {"object Main: TLayForm PasswordChar = 'ab' end", "Invalid property value"},
      {"object Main: TLayForm Visible = 1 end", "Invalid property value"},
      {"object Main: TLayForm Buddy = nobody end", "Invalid property value"},
      {"object Main: TLayForm OnClick = NoSuchHandler end", "Invalid property value"},
      {"object Main: TLayForm OnClick = FormKey end", "Invalid property value"},  // signature differs
      {"object Main: TLayForm OnKey = BtnClick end", "Invalid property value"},
      {"object Main: TLayForm Glyph = GLYPH end", "Invalid property value"},
      {"object Main: TLayForm Plain = @NOLOADER end", "Invalid property value"},
      {"object Main: TLayForm Font = 1 end", "Invalid property value"},
      {"object Main: TLayForm Blob = 'text' end", "Invalid property value"},
  };
  for (const Case& c : cases) {
    TLayForm form(nullptr);
    EXPECT_EQ(ErrorOf<EReadError>([&] { ReadComponentText(c.Text, &form); }), c.Message) << c.Text;
    EXPECT_EQ(form.ComponentState() & (csLoading | csReading), 0u) << c.Text;
  }
}

TEST_F(LayoutTest, AFailedChildIsRemovedAndItsFieldCleared) {
  TLayForm form(nullptr);
  std::string msg = ErrorOf<EClassNotFound>([&] {
    ReadComponentText(
        "object Main: TLayForm\n"
        "  object pnlMain: TLayPanel end\n"
        "  object btnOk: TLayWidget\n"
        "    object inner: TNoSuchWidget end\n"
        "  end\n"
        "end\n",
        &form);
  });
  EXPECT_EQ(msg, "Class TNoSuchWidget not found");
  EXPECT_EQ(form.btnOk, nullptr);
  EXPECT_EQ(form.ComponentCount(), 1);
  EXPECT_EQ(form.FindComponent("btnOk"), nullptr);
  EXPECT_TRUE(LoadLog.empty()) << "nothing is Loaded after a failed read";

  TLayForm second(nullptr);
  EXPECT_EQ(ErrorOf<EReadError>([&] {
              ReadComponentText("object Main: TLayForm object x: TLayAbstract end end", &second);
            }),
            "Cannot create an instance of TLayAbstract");
  EXPECT_EQ(second.ComponentCount(), 0);

  // A field whose class does not fit the component is refused.
  TLayForm third(nullptr);
  EXPECT_EQ(ErrorOf<EInvalidCast>([&] {
              ReadComponentText("object Main: TLayForm object pnlMain: TLayWidget end end", &third);
            }),
            "Invalid class typecast");
  EXPECT_EQ(third.pnlMain, nullptr);
  EXPECT_EQ(third.ComponentCount(), 0);

  TLayForm fourth(nullptr);
  EXPECT_EQ(ErrorOf<EComponentError>([&] {
              ReadComponentText("object Main: TLayForm object a: TLayWidget end object A: TLayWidget end end",
                                &fourth);
            }),
            "A component named A already exists");
}

TEST_F(LayoutTest, TheRootMustBeOfTheLayoutsClass) {
  RegisterClass(&TLayOtherForm::Class);
  TLayOtherForm other(nullptr);
  EXPECT_EQ(ErrorOf<EReadError>([&] { ReadComponentText("object Main: TLayForm end", &other); }),
            "A layout of TLayForm cannot be read into a TLayOtherForm");
  // An ancestor's name is accepted.
  TLayForm form(nullptr);
  ReadComponentText("object Main: TLayWidget Left = 4 end", &form);
  EXPECT_EQ(form.FLeft, 4);
}

TEST_F(LayoutTest, ASecondRootOfTheSameNameGetsANumber) {
  TComponent owner(nullptr);
  auto* a = new TLayForm(&owner);
  auto* b = new TLayForm(&owner);
  auto* c = new TLayForm(&owner);
  ReadComponentText("object About: TLayForm end", a);
  ReadComponentText("object About: TLayForm end", b);
  ReadComponentText("object About: TLayForm end", c);
  EXPECT_EQ(a->Name(), "About");
  EXPECT_EQ(b->Name(), "About_1");
  EXPECT_EQ(c->Name(), "About_2");
}

TEST_F(LayoutTest, ResourcesAreFoundByName) {
  TLayForm form(nullptr);
  EXPECT_EQ(ErrorOf<EResNotFound>([&] { ReadComponentRes("TNOSUCHFORM", &form); }),
            "Resource TNOSUCHFORM not found");
  EXPECT_FALSE(InitInheritedComponent(&form, &TComponent::Class));

  // A module with a layout resource: a copy of this program with one added.
  char self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
  TempDir dir;
  std::string copy = dir.File("withlayout.exe");
  ASSERT_TRUE(CopyFileA(self, copy.c_str(), FALSE));
  std::string text = std::string("object Main: TLayForm\r\n  Text = '") + Russian + "'\r\nend\r\n";
  HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
  ASSERT_NE(update, nullptr);
  ASSERT_TRUE(UpdateResourceA(update, RT_RCDATA, "TLAYFORM", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                              text.data(), static_cast<DWORD>(text.size())));
  ASSERT_TRUE(EndUpdateResourceA(update, FALSE));
  HMODULE module = LoadLibraryExA(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  ReadComponentRes("tlayform", &form, module);
  FreeLibrary(module);
  EXPECT_EQ(form.Name(), "Main");
  EXPECT_EQ(form.FText, RussianW);
}

}  // namespace
