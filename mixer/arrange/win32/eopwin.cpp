#include "mixer/arrange/win32/eopwin.h"

#include <cstring>
#include <string>

#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/appwnd.h"

namespace {

constexpr UINT kMainMenuFirst = 41320;
constexpr UINT kMainMenuLast = 41335;
constexpr int kFirstPopupGreyItem = 12;

class WinPlatform : public EopPlatform {
 public:
  std::vector<std::string> ListModules(const std::string& folder) override {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((folder + "*.DLL").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    return names;
  }
  void* Load(const std::string& path) override {
    // A module's own start-up may change the current directory.
    const std::string dir = CurrentDir();
    HMODULE lib = LoadLibraryA(path.c_str());
    SetCurrentDir(dir);
    return lib;
  }
  void* Bind(void* library, const char* name) override {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
  }
  void Free(void* library) override { FreeLibrary(static_cast<HMODULE>(library)); }
  void EnableWindows(int enable) override { EnableAppWindows(enable); }
  std::string CurrentDir() override {
    char dir[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof dir, dir);
    return dir;
  }
  void SetCurrentDir(const std::string& dir) override {
    if (!dir.empty()) SetCurrentDirectoryA(dir.c_str());
  }
  int ToolMenu(int button, uintptr_t window, int x, int y) override {
    return EopToolMenu(button, reinterpret_cast<HWND>(window), x, y);
  }
};

HMENU KindZeroPopup(UINT first) {
  HMENU popup = CreatePopupMenu();
  EOPPLUGININFO info;
  for (int s = 0; s < EopPlugInCount(); ++s)
    if (EopGetPlugInInfo(s, &info) && info.Kind == kEopKindPopup) {
      info.Name[sizeof info.Name - 1] = 0;
      AppendMenuA(popup, MF_STRING, first + static_cast<UINT>(s), info.Name);
    }
  return popup;
}

}  // namespace

EopPlatform& EopWinPlatform() {
  static WinPlatform platform;
  return platform;
}

void EopFillMainMenu(HWND mainWnd) {
  HMENU menu = GetMenu(mainWnd);
  if (menu == nullptr) return;
  const std::vector<std::string> names = EopMainMenuNames();
  for (size_t k = 0; k < names.size(); ++k) {
    const UINT id = kMainMenuFirst + static_cast<UINT>(k);
    ModifyMenuA(menu, id, MF_BYCOMMAND | MF_STRING, id, names[k].c_str());
  }
  if (names.empty()) EnableMenuItem(GetSubMenu(menu, 0), kFirstPopupGreyItem, MF_BYPOSITION | MF_GRAYED);
  for (UINT id = kMainMenuFirst + static_cast<UINT>(names.size()); id <= kMainMenuLast; ++id)
    DeleteMenu(menu, id, MF_BYCOMMAND);
  DrawMenuBar(mainWnd);
}

int EopToolMenu(int button, HWND wnd, int x, int y) {
  // Command ids are slot + 1, so that slot 0 differs from "nothing chosen".
  HMENU popup = KindZeroPopup(1);
  POINT pt{x, y - (GetSystemMetrics(SM_CYMENU) - 3) / 2};
  ClientToScreen(wnd, &pt);
  const UINT flags = TPM_CENTERALIGN | TPM_RETURNCMD | TPM_NONOTIFY | (button == 1 ? TPM_LEFTBUTTON : TPM_RIGHTBUTTON);
  const int chosen = static_cast<int>(TrackPopupMenu(popup, flags, pt.x, pt.y, 0, wnd, nullptr));
  DestroyMenu(popup);
  return chosen > 0 ? chosen - 1 : -1;
}

void EopAddSubMenu(HMENU menu, UINT first) {
  AppendMenuA(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(KindZeroPopup(first)), StrText(386));
}

int EopRunToolAt(HWND wnd, int x, int y, uint32_t id, int tool) {
  const int pick = tool == -1 ? EopToolMenu(static_cast<int>(id), wnd, x, y) : -1;
  return EopRunToolSlot(reinterpret_cast<uintptr_t>(wnd), tool, id, pick);
}

void EopAttachPartMenu(HMENU popup) {
  // The "Process" pop-up is the popup's last sub-menu.
  for (int i = GetMenuItemCount(popup) - 1; i >= 0; --i)
    if (HMENU process = GetSubMenu(popup, i)) {
      EopAddSubMenu(process, kPartMenuModuleFirst);
      return;
    }
}

int32_t EopPartMenuCommand(UINT cmd) {
  if (cmd >= kPartMenuOpFirst) return static_cast<int32_t>(cmd);
  if (cmd >= kPartMenuModuleFirst && static_cast<int>(cmd - kPartMenuModuleFirst) < EopPlugInCount())
    return static_cast<int32_t>(cmd - kPartMenuModuleFirst);
  return -1;
}

int32_t EopTrackPartMenu(HWND child, HMENU popup, int x, int y) {
  POINT pt{x, y};
  ClientToScreen(child, &pt);
  const UINT cmd = static_cast<UINT>(
      TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, pt.x, pt.y, 0, child, nullptr));
  return EopPartMenuCommand(cmd);
}

int32_t EopPartContextMenu(HWND child, uint32_t menuId, int x, int y) {
  HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId));
  if (menu == nullptr) return -1;
  HMENU popup = GetSubMenu(menu, 0);
  int32_t cmd = -1;
  if (popup != nullptr) {
    if (menuId == kPartMenuAudio) EopAttachPartMenu(popup);
    cmd = EopTrackPartMenu(child, popup, x, y);
  }
  DestroyMenu(menu);
  return cmd;
}
