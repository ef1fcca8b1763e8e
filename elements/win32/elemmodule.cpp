#include "elements/win32/elemwin.h"

#include <cstring>

#include "mixer/model/util/paths.h"
#include "mixer/model/util/win32/profile_win.h"

ElemModuleGlobals& ElemModule() {
  static ElemModuleGlobals globals;
  return globals;
}

namespace {

void FindSkin(ElemModuleGlobals& m) {
  char dir[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof dir, dir);
  HostIniPath(GetCommandLineA(), dir, m.HostIni, sizeof m.HostIni);

  char module[MAX_PATH] = "";
  const DWORD n = GetModuleFileNameA(m.Instance, module, sizeof module);
  if (n == 0 || n >= sizeof module) return;
  char folder[MAX_PATH];
  if (!PathGetDir(module, folder, sizeof folder)) return;
  ElemSkinPath(m.HostIni, folder, module, WindowsProfile(), ElemFilesWin(), m.SkinPath, sizeof m.SkinPath);
}

void MakeFonts(ElemModuleGlobals& m) {
  for (int i = 0; i < kElemFontCount; ++i) {
    const ElemFontDesc& f = kElemFonts[i];
    m.Fonts[i] = CreateFontA(f.Height, f.Width, 0, 0, f.Weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, kElemFontQuality, f.PitchAndFamily, f.Face);
  }
}

void DeleteFonts(ElemModuleGlobals& m) {
  for (HFONT& font : m.Fonts) {
    if (font) DeleteObject(font);
    font = nullptr;
  }
}

}  // namespace

BOOL ElemModuleAttach(HINSTANCE instance) {
  ElemModuleGlobals& m = ElemModule();
  m.Instance = instance;
  FindSkin(m);
  SkinFile skin{};
  ElemCopyString(skin.Path, sizeof skin.Path, m.SkinPath);
  skin.Store = &WindowsProfile();
  skin.Files = &ElemFilesWin();
  SkinLoad(&m.Skin, skin);
  m.CaptionHeight = GetSystemMetrics(SM_CYCAPTION);
  m.FrameWidth = GetSystemMetrics(SM_CXDLGFRAME);
  m.FrameHeight = GetSystemMetrics(SM_CYDLGFRAME);
  MakeFonts(m);
  m.Heap = HeapCreate(0, 0, 0);
  return m.Heap != nullptr;
}

void ElemModuleDetach() {
  ElemModuleGlobals& m = ElemModule();
  if (m.Heap) HeapDestroy(m.Heap);
  m.Heap = nullptr;
  m.Live.Head = nullptr;
  DeleteFonts(m);
}

void* ElemAlloc(size_t size) {
  HANDLE heap = ElemModule().Heap;
  return heap ? HeapAlloc(heap, HEAP_ZERO_MEMORY, size) : nullptr;
}

void ElemFree(void* block) {
  if (block && ElemModule().Heap) HeapFree(ElemModule().Heap, 0, block);
}
