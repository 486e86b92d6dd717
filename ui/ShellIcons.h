// Icons from the system: the three folder icons of the folder tree, the icon
// registered for a file type, the shell's icon of an existing path, and the
// JPEG pictures of file types that the HTML-site export writes.
#pragma once

#include "imglist.h"

// Initialises the shell's icon cache (shell32's export 660); true only when
// the library, the export and the call all succeeded.
bool InitShellFileIcons();

// The pictures of shell32.dll the program shows, by resource identifier:
// the position of an icon in the library differs between systems (Wine's
// shell32 orders them otherwise than Windows'), its identifier does not.
enum TShell32Icon : int {
  siDocument = 1,
  siApplication = 3,
  siClosedFolder = 4,
  siOpenFolder = 5,
  siDrive = 8,
};

// Fills the folder tree's image list with shell32's small drive, closed
// folder and open folder icons (images 0 root, 1 closed folder, 2 open
// folder). A failed initialisation of the shell's icons is reported when
// icons are missing because of it.
void LoadShellIcons(TCustomImageList* imageList);

// The small icon of shell32.dll in the system folder with that resource
// identifier; null when there is none. The caller destroys it.
HICON Shell32SmallIcon(TShell32Icon icon);

// The icon registered for an extension (with its dot) under HKEY_LOCAL_MACHINE
// "Software\CLASSES": the extension's class, its "DefaultIcon" value
// "file,index". Null when a key or the value is missing, the value is empty or
// "%1", or the file holds no such icon. The caller destroys it.
HICON FileTypeIcon(const AnsiString& extension);

// The shell's small icon of an existing file or folder; null when the path
// does not exist or the shell has none. The caller destroys it.
HICON ShellSmallIcon(const AnsiString& path);

// Whether a file or folder exists at the path.
bool PathExists(const AnsiString& path);

// The picture that stands for the type of fileName in the HTML export's
// folder targetFolder: "<type>.jpg" (the extension without its dot, case
// kept; "open" for folders and names without extension; "def" for unknown
// types of files not on this computer), written there once per type as a
// 16x16 JPEG and added to htmlIcons. Empty when no icon could be made. A
// picture that cannot be written, under its name nor under the name with
// "1" appended, raises EHtmlPictureNotWritten with the latter's path.
AnsiString SaveIconsAsJpeg(TCustomImageList* htmlIcons, const AnsiString& fileName,
                           const AnsiString& targetFolder);
