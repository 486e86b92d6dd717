#include "ShellIcons.h"

#include <shellapi.h>

#include <memory>

#include "ExportFile.h"
#include "Uexporttohtml.h"
#include "forms.h"
#include "registry.h"
#include "sysutils.h"

namespace {

AnsiString SystemFolder() {
  char buffer[257] = {};
  UINT n = GetSystemDirectoryA(buffer, 256);
  if (n == 0 || n > 256) return AnsiString();
  return AnsiString(buffer, static_cast<int>(n));
}

AnsiString Shell32Path() { return SystemFolder() + "\\shell32.dll"; }

// An icon handle owned until it is handed over.
struct TIconHolder {
  HICON Handle = nullptr;
  TIconHolder() = default;
  explicit TIconHolder(HICON h) : Handle(h) {}
  ~TIconHolder() { Reset(nullptr); }
  TIconHolder(const TIconHolder&) = delete;
  TIconHolder& operator=(const TIconHolder&) = delete;
  void Reset(HICON h) {
    if (Handle) DestroyIcon(Handle);
    Handle = h;
  }
};

// Writes a picture's bytes; a picture not written whole is not left behind,
// where it would be taken for a written one. False with the system's error.
bool WritePicture(const AnsiString& path, TMemoryStream& bytes, DWORD& error) {
  TExportFile file;
  if (!file.Create(AnsiToWide(path))) {
    error = GetLastError();
    return false;
  }
  if (file.Append(static_cast<const char*>(bytes.Memory()), static_cast<size_t>(bytes.Size())) && file.Close())
    return true;
  error = file.LastError();
  file.Discard();
  return false;
}

}  // namespace

bool InitShellFileIcons() {
  try {
    HMODULE shell = LoadLibraryA("shell32.dll");
    if (!shell) return false;
    using TFileIconInit = BOOL(WINAPI*)(BOOL);
    auto init = reinterpret_cast<TFileIconInit>(reinterpret_cast<void*>(GetProcAddress(shell, MAKEINTRESOURCEA(660))));
    bool ok = init && init(TRUE);
    FreeLibrary(shell);
    return ok;
  } catch (...) {
    return false;
  }
}

HICON Shell32SmallIcon(TShell32Icon icon) {
  // Loaded as a resource of the library: the extraction's negative index
  // cannot name identifier 1 (-1 asks for the number of icons).
  HMODULE shell = LoadLibraryExA(Shell32Path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!shell) return nullptr;
  HICON small = static_cast<HICON>(LoadImageA(shell, MAKEINTRESOURCEA(icon), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  FreeLibrary(shell);
  return small;
}

void LoadShellIcons(TCustomImageList* imageList) {
  const bool initialised = InitShellFileIcons();
  imageList->Clear();
  int loaded = 0;
  for (TShell32Icon id : {siDrive, siClosedFolder, siOpenFolder}) {
    TIcon icon;
    icon.SetHandle(Shell32SmallIcon(id));
    if (imageList->AddIcon(&icon) >= 0) ++loaded;
  }
  // Wine's icon-cache initialisation is a stub that always answers FALSE
  // while every icon loads: the failure is reported only when it shows.
  if (!initialised && loaded < 3)
    Application->MessageBox(WideToAnsi(L"Ошибка инициализации shell32.dll"), WideToAnsi(L"Ошибка"),
                            MB_ICONHAND | MB_SETFOREGROUND | MB_TOPMOST);
}

HICON FileTypeIcon(const AnsiString& extension) {
  try {
    // Read access is enough, and all-access on HKEY_LOCAL_MACHINE is refused
    // to users without administrator rights.
    TRegistry registry(KEY_READ);
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    // Paths from the root without a leading backslash: the system refuses
    // a key path that starts with one.
    if (!registry.OpenKey("Software\\CLASSES\\" + extension, false)) return nullptr;
    const AnsiString className = registry.ReadString("");
    registry.CloseKey();
    // Without its own DefaultIcon key the class has no icon (reading on
    // would take the extension key's value, the class name, as icon file).
    if (className.IsEmpty() || !registry.OpenKey("Software\\CLASSES\\" + className + "\\DefaultIcon", false))
      return nullptr;
    AnsiString value = registry.ReadString("");
    registry.CloseKey();
    if (value.IsEmpty() || value == "%1") return nullptr;
    AnsiString file = value;
    int index = 0;
    for (int i = value.Length(); i >= 1; --i) {
      if (value[i] == ',') {
        file = value.SubString(1, i - 1);
        double number = 0;
        // An index that is not a number counts as the first icon.
        if (TryStrToFloat(value.SubString(i + 1, value.Length() - i).Trim(), number)) index = static_cast<int>(number);
        break;
      }
    }
    // Expandable values name the file through environment variables
    // ("%SystemRoot%\...").
    if (file.Pos("%") != 0) {
      char expanded[MAX_PATH * 2] = {};
      DWORD n = ExpandEnvironmentStringsA(file.c_str(), expanded, sizeof expanded);
      if (n > 0 && n <= sizeof expanded) file = expanded;
    }
    HICON icon = ExtractIconA(HInstance, file.c_str(), static_cast<UINT>(index));
    // 1 says "this file is no program, library or icon file".
    if (reinterpret_cast<UINT_PTR>(icon) <= 1) return nullptr;
    return icon;
  } catch (...) {
    return nullptr;
  }
}

bool PathExists(const AnsiString& path) {
  return !path.IsEmpty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HICON ShellSmallIcon(const AnsiString& path) {
  if (!PathExists(path)) return nullptr;
  SHFILEINFOA info = {};
  if (!SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON | SHGFI_SYSICONINDEX))
    return nullptr;
  return info.hIcon;
}

AnsiString SaveIconsAsJpeg(TCustomImageList* htmlIcons, const AnsiString& fileName, const AnsiString& targetFolder) {
  AnsiString type = ExtractFileExt(fileName);
  AnsiString name = fileName;
  for (int i = name.Length(); i >= 1; --i)
    if (name[i] == '\\' || name[i] == ':') {
      name = name.SubString(i + 1, name.Length() - i);
      break;
    }
  TIconHolder icon;
  if (type.IsEmpty()) {
    // Folders and names without extension: the closed folder.
    type = "oopen";
    icon.Reset(Shell32SmallIcon(siClosedFolder));
    if (!icon.Handle) return AnsiString();
  }
  type.Delete(1, 1);

  auto picturePath = [&] { return targetFolder + "\\" + type + ".jpg"; };
  if (!FileExists(picturePath())) {
    if (HICON shellIcon = ShellSmallIcon(fileName)) {
      icon.Reset(shellIcon);
    } else if (type != "open") {
      icon.Reset(FileTypeIcon(AnsiLowerCase(ExtractFileExt(fileName))));
      if (!icon.Handle) {
        if (type == "exe") {
          icon.Reset(Shell32SmallIcon(siApplication));
        } else {
          icon.Reset(Shell32SmallIcon(siDocument));
          type = "def";
        }
      }
    }
  }

  if (icon.Handle) {
    TIcon added;
    added.SetHandle(icon.Handle);
    icon.Handle = nullptr;
    const int index = htmlIcons->AddIcon(&added);
    if (index >= 0) {
      TBitmap bitmap;
      bitmap.SetSize(16, 16);
      htmlIcons->Draw(bitmap.Canvas(), 0, 0, index);
      const AnsiString lowerName = AnsiLowerCase(name);
      // Program and icon files carry icons of their own, so their picture is
      // written anew every time; the name returned is always the one written.
      const bool ownIcon = lowerName.Pos("exe") != 0 || lowerName.Pos("ico") != 0;
      if (ownIcon || !FileExists(picturePath())) {
        TJPEGImage jpeg;
        jpeg.Assign(&bitmap);
        TMemoryStream bytes;
        jpeg.SaveToStream(&bytes);
        DWORD error = 0;
        if (!WritePicture(picturePath(), bytes, error)) {
          type += "1";
          if (!WritePicture(picturePath(), bytes, error)) throw EHtmlPictureNotWritten(picturePath(), error);
        }
      }
    }
  }
  return type + ".jpg";
}
