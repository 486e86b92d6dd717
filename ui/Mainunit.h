// The main window: its components, the state every command works on, the
// start-up and end of the window, and the handlers of its controls. The
// commands' algorithms live in the file-list core; the handlers here fetch
// what the user chooses, run them and show the result.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "CoreHost.h"
#include "FolderScan.h"
#include "ListNode.h"
#include "Setlocalization.h"
#include "UcActnList.h"
#include "UcComCtrls.h"
#include "UcMenus.h"
#include "Uterm.h"
#include "buttons.h"
#include "comctrls.h"
#include "dialogs.h"
#include "extctrls.h"
#include "forms.h"

class TFormAutoSize;
class TZipEngine;
class TParamsForm;
class TProgressForm;
class TOpenSaveForm;

class TInfoFileForm : public TForm, public ICoreHost, public IViewHost {
  CL_CLASS(TInfoFileForm, TForm)
  CL_DECLARE_MESSAGE_MAP(TInfoFileForm)
public:
  explicit TInfoFileForm(TComponent* owner);
  ~TInfoFileForm() override;

  // --- components of the layout
  TPanel* Panel = nullptr;
  TBevel* Bevel3 = nullptr;
  TBevel* Bevel2 = nullptr;
  TSpeedButton* spbtOpen = nullptr;
  TSpeedButton* spbtBack = nullptr;
  TSpeedButton* spbtForward = nullptr;
  TSpeedButton* spbtUp = nullptr;
  TSpeedButton* spbtSearch = nullptr;
  TSpeedButton* spbtNew = nullptr;
  TSpeedButton* spbtSave = nullptr;
  TSpeedButton* spbtList = nullptr;
  TSpeedButton* spbtDamaged = nullptr;
  TSpeedButton* spbtComment = nullptr;
  TPanel* Panel1 = nullptr;
  TImage* MIVOImage = nullptr;
  TImage* KorfenImage = nullptr;
  TUcTreeView* tvTreeOfFile = nullptr;
  TSplitter* Splitter1 = nullptr;
  TUcListView* lvInfo = nullptr;
  TStatusBar* StatusBar1 = nullptr;
  TImageList* imlIcons = nullptr;
  TSaveDialog* sdSave = nullptr;
  TOpenDialog* odOpen = nullptr;
  TOpenDialog* odFileWithError = nullptr;
  TImageList* AssociatedIcon = nullptr;
  TSaveDialog* sdSaveText = nullptr;
  TZipEngine* ZipEngine = nullptr;
  TSaveDialog* sdSaveCSV = nullptr;
  TPrintDialog* pdPrint = nullptr;
  TSaveDialog* sdSaveHTML = nullptr;
  TImageList* imlHTML = nullptr;
  TImageList* AssociatedIconForHTML = nullptr;
  TFormAutoSize* formAutoSize1 = nullptr;
  TUcPopupMenu* PopupMenu = nullptr;
  TUcMenuItem* pupDamaged = nullptr;
  TUcMenuItem* N1 = nullptr;
  TUcMenuItem* N2 = nullptr;
  TUcMenuItem* N8 = nullptr;
  TUcMenuItem* pupComment = nullptr;
  TUcMainMenu* mmMenu = nullptr;
  TUcMenuItem* mmFile = nullptr;
  TUcMenuItem* mmNew = nullptr;
  TUcMenuItem* mmOpen = nullptr;
  TUcMenuItem* mmSave = nullptr;
  TUcMenuItem* mmSaveAs = nullptr;
  TUcMenuItem* mmSaveText = nullptr;
  TUcMenuItem* mmSaveCSV = nullptr;
  TUcMenuItem* mmSaveHTML = nullptr;
  TUcMenuItem* N9 = nullptr;
  TUcMenuItem* mmSaveCheckedCVS = nullptr;
  TUcMenuItem* N7 = nullptr;
  TUcMenuItem* mmPrint = nullptr;
  TUcMenuItem* N3 = nullptr;
  TUcMenuItem* mmExit = nullptr;
  TUcMenuItem* mmEdit = nullptr;
  TMenuItem* mmList = nullptr;
  TMenuItem* mmDamaged = nullptr;
  TMenuItem* N4 = nullptr;
  TMenuItem* N5 = nullptr;
  TMenuItem* N6 = nullptr;
  TMenuItem* mmComment = nullptr;
  TUcMenuItem* mmView = nullptr;
  TUcMenuItem* mmViewAll = nullptr;
  TUcMenuItem* mmViewDamaged = nullptr;
  TUcMenuItem* mmNeeded = nullptr;
  TUcMenuItem* mmSearch = nullptr;
  TMenuItem* mmFind = nullptr;
  TUcMenuItem* mmHelp = nullptr;
  TMenuItem* mmAbout = nullptr;
  TMenuItem* mmUse = nullptr;
  TUcActionList* ActionList1 = nullptr;
  TUcAction* helpAction = nullptr;
  TUcAction* commentAction = nullptr;
  TUcAction* neededAction = nullptr;
  TUcAction* notneededAction = nullptr;
  TUcAction* clearAction = nullptr;
  TUcAction* openAction = nullptr;
  TUcAction* newAction = nullptr;
  TUcAction* saveAction = nullptr;
  TUcAction* saveAsAction = nullptr;
  TUcAction* exportTXTAction = nullptr;
  TUcAction* exportCSVAction = nullptr;
  TUcAction* SaveHTMLAction = nullptr;
  TUcAction* SaveCheckedCVSAction = nullptr;
  TUcAction* printAction = nullptr;
  TUcAction* exitAction = nullptr;
  TUcAction* mmListAction = nullptr;
  TUcAction* mmDamagedAction = nullptr;
  TUcAction* N4Action = nullptr;
  TUcAction* N5Action = nullptr;
  TUcAction* N6Action = nullptr;
  TUcAction* mmViewAllAction = nullptr;
  TUcAction* mmViewDamagedAction = nullptr;
  TUcAction* mmNeededAction = nullptr;
  TUcAction* FindAction = nullptr;
  TUcAction* mmAboutAction = nullptr;
  TUcAction* mmUseAction = nullptr;
  TUcAction* damagedAction = nullptr;

  // --- state
  uint8_t openAtShow = 0;
  TTreeView* scratchTree = nullptr;
  ListNode* rootNode = nullptr;
  TList* shownList = nullptr;
  TList* searchResults = nullptr;
  TUcTreeNode* currentTreeNode = nullptr;
  Localization* localization = nullptr;
  uint8_t storeAttributes = 1;
  uint8_t storeCreated = 1;
  uint8_t storeModified = 1;
  uint8_t storeSize = 1;
  uint8_t storeFolderSizes = 1;
  AnsiString scanPath;
  AnsiString searchMask;
  AnsiString commentText;
  AnsiString commentEntryName;
  AnsiString importListName;
  AnsiString listFileName;
  AnsiString searchBasePath;
  AnsiString rootPath;
  AnsiString scrambledRootPath;
  int32_t lastListWidth = 0;
  // The hit row last chosen (Enter or Forward on it); -1: none since the search.
  int32_t lastSearchRow = 0;
  int32_t searchDepth = 0;
  uint8_t isSearchView = 0;
  uint8_t cancelRequested = 0;
  uint8_t isModified = 0;
  uint8_t hasParentRow = 0;
  uint8_t isRootPathNew = 0;
  uint8_t searchListShown = 1;
  char commentTargetKind = 0;
  EntryRecord scratchRecord{};
  TStringList* damagedNames = nullptr;
  TStringList* searchResultPaths = nullptr;
  TStringList* printLines = nullptr;
  TObject* actionSource = nullptr;
  // Folders to go back to / forward to, most recent last. Every rebuild of
  // the folder tree empties both (ResetViewState), so no entry outlives its node.
  std::vector<TUcTreeNode*> backHistory;
  std::vector<TUcTreeNode*> forwardHistory;
  int32_t progressMode = 0;
  AnsiString progressText;
  uint8_t listLoaded = 0;
  uint8_t openDroppedFile = 0;
  int32_t progressTotal = 0;
  int32_t progressDone = 0;
  // Set while a long job runs: the progress window's close box cancels only
  // then, and files dropped meanwhile are ignored.
  bool jobRunning = false;
  // Set from FormDestroy on: the controls are going, their texts are left alone.
  bool destroying = false;

  // --- start-up and end
  void FormCreate(TObject* sender);
  void FormShow(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);
  void FormDestroy(TObject* sender);
  void FormCloseQuery(TObject* sender, bool& canClose);
  void FormCanResize(TObject* sender, int& newWidth, int& newHeight, bool& resize);
  void FormResize(TObject* sender);
  void spbtExitClick(TObject* sender);
  void AppShowHint(AnsiString& hintStr, bool& canShow, THintInfo& hintInfo);
  void AppException(TObject* sender, Exception* e);
  void WMDropFiles(TMessage& message);
  void PanelMouseMove(TObject* sender, TShiftState shift, int x, int y);
  void MIVOImageMouseMove(TObject* sender, TShiftState shift, int x, int y);
  void spbtLinkMivoClick(TObject* sender);

  // --- about and help
  void spbtAboutClick(TObject* sender);
  void mmUseClick(TObject* sender);

  // --- the entry table
  void lvInfoCustomDrawItem(TCustomListView* sender, TListItem* item, TCustomDrawState state, bool& defaultDraw);
  void lvInfoCustomDrawSubItem(TCustomListView* sender, TListItem* item, int subItem, TCustomDrawState state,
                               bool& defaultDraw);
  void lvInfoMouseMove(TObject* sender, TShiftState shift, int x, int y);

  // --- navigation
  void tvTreeOfFileMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void tvTreeOfFileClick(TObject* sender);
  void tvTreeOfFileCollapsed(TObject* sender, TTreeNode* node);
  void tvTreeOfFileExpanded(TObject* sender, TTreeNode* node);
  // The tree's selection changed (keys, mouse or the program).
  void tvTreeOfFileChange(TObject* sender, TTreeNode* node);
  void lvInfoDblClick(TObject* sender);
  void lvInfoKeyDown(TObject* sender, WORD& key, TShiftState shift);
  void lvInfoChange(TObject* sender, TListItem* item, TItemChange change);
  void spbtUpClick(TObject* sender);
  void spbtBackClick(TObject* sender);
  void spbtForwardClick(TObject* sender);

  // --- the list commands
  void spbtNewClick(TObject* sender);
  void spbtParamsClick(TObject* sender);
  void spbtOpenClick(TObject* sender);
  void spbtSaveClick(TObject* sender);
  void mmSaveAsClick(TObject* sender);
  void mmViewAllClick(TObject* sender);
  // Save and Save As with their outcome: true when the list was saved. The
  // save questions of New, Open and closing go on only then (or after No).
  bool SaveCommand(TObject* sender);
  bool SaveAsCommand(TObject* sender);

  // --- export and print (ExportCommands.cpp)
  void mmSaveTextClick(TObject* sender);
  void mmSaveCSVClick(TObject* sender);
  void mmSaveCheckedCSVClick(TObject* sender);
  void mmSaveHTMLClick(TObject* sender);
  void mmPrintClick(TObject* sender);

  // --- progress helpers of the long jobs
  void ShowProgress(const AnsiString& caption);
  void StepProgress();
  void CloseProgress();

  // What a scan records: the parameters window's choices.
  TStoreOptions StoreOptions() const;

  // --- view state
  // Forgets everything that points into the folder tree or the entry tree:
  // histories and their hints, the current node, the shown list and entries,
  // the search lists and view, the saved tree and its selection.
  void ResetViewState();
  // The entry behind a table row; null for the ".." row or a row past the end.
  ListNode* RowEntry(int row);
  // The folder of a tree node in the table and selected in the tree; the
  // folder view's state (see the list at its definition).
  void ShowFolder(TUcTreeNode* node);
  // The same folder shown on the road from the search results: the hits are
  // kept to go back to, depth levels below the hit entered.
  void ShowFolderOfHits(TUcTreeNode* node, int depth);
  // The result list shown again (filled anew when a folder stands in its
  // place), the row of the hit last chosen selected.
  void ReturnToSearchResults();
  // Forward on a row of the result list: a folder hit is entered, the hits
  // kept.
  void ForwardIntoHit(int row);
  // A move of the user to a folder (tree click or key): the history pushed,
  // the folder shown, the forward history emptied. Leaves search results.
  void MoveToFolder(TUcTreeNode* node);
  // Above 0 while the program rebuilds the folder tree: its selection
  // changes are not moves of the user.
  int treeRebuilds = 0;
  // Selects and focuses row 1 when row 0 is "..", else row 0.
  void SelectFirstRow();
  // Selects the row of an entry of the folder shown; false when no row
  // stands for it (twins share a caption: the entry tells them apart).
  bool SelectRowOfEntry(const ListNode* entry);
  void PushHistory();
  TUcTreeNode* RootTreeNode();

  // --- ICoreHost
  WideString LocalText(int group, int index) override;
  void ShowMessage(const AnsiString& text) override;
  int MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags) override;

  // --- IViewHost
  void UpdateViewMenuChecks(uint8_t mode) override;
  bool HasSelectedFolder() override;
  // Out of the search view (the hits or a folder on the road from them) to
  // the folder view of the folder shown last.
  void LeaveSearchView() override;
  bool FullTreeSaved() override;
  void RestoreFullTree() override;
  void ClearHistories() override;

  // --- marks, comments, damaged-file lists, search and view filters
  void spbtSearchClick(TObject* sender);
  void spbtListClick(TObject* sender);
  void spbtDamagedClick(TObject* sender);
  void N1Click(TObject* sender);
  void N2Click(TObject* sender);
  void N6Click(TObject* sender);
  void spbtCommentClick(TObject* sender);
  void lvInfoContextPopup(TObject* sender, TPoint mousePos, bool& handled);
  void lvInfoMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void mmViewDamagedClick(TObject* sender);
  void mmNeededClick(TObject* sender);
  // The folder tree and the table rebuilt for the current view mode; both
  // histories are emptied (they would name deleted tree nodes).
  void RebuildFilteredView();
  // A double-click (or Enter) on a row of the search results: a folder is
  // shown in the tree and the table, the results are left.
  void EnterSearchResult(int row);
  // One row per hit, captioned with its path below the base path.
  void ShowSearchResults(TList* results, TStringList* paths, const AnsiString& basePath);
  // The rows selected, in row order.
  std::vector<int> SelectedRows();
  // Shows the comment window for the entry of a row and stores its answer.
  void EditRowComment(int row);
  // Every folder-tree node learns its entry (node Data).
  void AttachFolderEntries();
  // The folder tree made anew from the entries: the folders keep accepts
  // (all without it), each node knowing its entry.
  void FillFolderTree(const std::function<bool(const ListNode*)>& keep);
  // The tree node whose Data is entry; null when the tree does not show it.
  TUcTreeNode* TreeNodeOfEntry(const ListNode* entry);
  // Set while the folder tree shows a filtered view: the full tree is built
  // again from the entries when the filter is lifted.
  bool filteredTreeShown = false;
  // The folder selected when the filtered view was built, and the text of
  // the root node (the list file's name), which no entry holds.
  ListNode* savedTreeEntry = nullptr;
  WideString rootNodeText;

  // Caches of the row icons of one table fill (system image index or
  // extension to the index in AssociatedIcon).
  std::vector<std::pair<int, int>> systemIconRows;
  std::vector<std::pair<AnsiString, int>> typeIconRows;
  int folderIconRow = -1;
  int genericIconRow = -1;
};

// While it lives, the selection changes of the folder tree are the
// program's (a rebuild of the tree), not moves of the user.
class TTreeRebuild {
public:
  explicit TTreeRebuild(TInfoFileForm* form) : FForm(form) { ++FForm->treeRebuilds; }
  ~TTreeRebuild() { --FForm->treeRebuilds; }
  TTreeRebuild(const TTreeRebuild&) = delete;
  TTreeRebuild& operator=(const TTreeRebuild&) = delete;

private:
  TInfoFileForm* FForm;
};

// The main window and the dialogs, created at start-up in this order.
extern TInfoFileForm* InfoFileForm;
extern TParamsForm* ParamsForm;
extern TProgressForm* ProgressForm;
extern TOpenSaveForm* OpenSaveForm;
// The one view-mode object and the holder of the entries behind the table's
// rows (only its Children list is used); made by the main window.
extern class ViewFilter* ViewFilter;
extern ListNode* ShownEntries;

// The shell's folder chooser (desktop as root, no flags). True with the chosen
// file-system folder in path; false when cancelled or when the item is no folder
// of the file system.
bool ChooseFolder(HWND owner, const WideString& title, WideString& path);
// The folder chooser of New (ChooseFolder; tests put their own in its place).
using TFolderChooser = bool (*)(HWND owner, const WideString& title, WideString& path);
extern TFolderChooser ChooseScanFolder;

// PixelsPerInch of the screen, then ScaleBy(100, 100).
void AdjustFormScale(TForm* form);

// The partner's page, opened by its logo and from the help text.
extern const char* const PartnerAddress;
// Opens a web address in the system's browser (the shell's "open"); false
// when the shell could not. The address is cut to 2047 bytes.
bool OpenWebAddress(HWND owner, const AnsiString& address, int showCommand);

// --- the entry table and folder paths

// The folder path of a tree node: the root entry's Name, then the texts of
// the nodes below the root, joined by "*".
AnsiString GetTreeNodePath(TInfoFileForm* form, TTreeNode* node);
// The node below start whose path relative to start is path ("a*b"); null
// when a segment matches no child (exact, case-sensitive).
TUcTreeNode* FindTreeNodeByPath(TInfoFileForm* form, TTreeNode* start, const AnsiString& path);
// Fills the table with the entries of a folder (a ".." row first for any
// folder below the root) and returns its Children list; displayPath is where
// the folder lies on disk, for the rows' icons. No folder: the table is
// emptied and the result is null.
TList* FillListView(TInfoFileForm* form, ListNode* folder, const AnsiString& displayPath);
// The display path of a folder path: "*" becomes "\", a trailing "\" is
// added, and the first "\" of a text holding "\\" is removed once.
AnsiString DisplayPathOf(const AnsiString& folderPath);
// The display path of a folder entry, from the names of it and the folders
// above it.
AnsiString FolderDisplayPath(const ListNode* folder);
// Folders before files, by exchanges (files do not keep their order).
void OrderFolderEntries(TList* list);
// Empties the row icons of the table before it is filled anew.
void ResetRowIcons(TInfoFileForm* form);

// --- navigation helpers
void ClearForwardHistory(TInfoFileForm* form);
void UpdateForwardHint(TInfoFileForm* form);

// --- texts
void ApplyMainLocalisation(TInfoFileForm* form);

void UnitInit_Mainunit();
void UnitFini_Mainunit();
