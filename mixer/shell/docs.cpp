#include "mixer/shell/docs.h"

#include <cstdio>
#include <cstring>

#include "mixer/model/docnames.h"
#include "mixer/model/host.h"
#include "mixer/model/util/strtab.h"

namespace {

DocHost* gHost = nullptr;
DocState gDocs{};
// Set when an explicit save of the arrangement failed; cleared by a save
// that wrote it or by a new or loaded arrangement.
bool gArrSaveFailed = false;

constexpr int kNameSize = kDocNameSize;

bool IsUntitled(const char* name) {
  const char* slash = std::strrchr(name, '\\');
  return std::strcmp(slash ? slash + 1 : name, kUntitled) == 0;
}

// The untitled name in the current folder.
void UntitledArrName(char* out, int size) {
  gHost->CurrentDir(out, size);
  DocReplaceFilePart(out, size, kUntitled);
}

void ArrName(char* out) {
  if (ArrNameGet(out, kNameSize) == 0) UntitledArrName(out, kNameSize);
}

void MixName(char* out) {
  if (MixNameGet(out, kNameSize) == 0) std::snprintf(out, kNameSize, "%s", kUntitled);
}

// Writes the whole arrangement to `path` and, on success, makes it the
// arrangement's name with no changes left.
int ArrWriteNamed(const char* path) {
  if (!gHost->ArrWrite(path, 0)) {
    gArrSaveFailed = true;
    return 0;
  }
  ArrNameSet(path, 1);
  gDocs.arrChanges = 0;
  gDocs.arrAutoMark = 0;
  gArrSaveFailed = false;
  gHost->ArrSetCaption();
  return 1;
}

// Runs the save dialog on the arrangement name and writes it there.
int ArrSaveUnderNewName() {
  char name[kNameSize];
  ArrName(name);
  if (!gHost->SaveDialog(name, kNameSize, !IsUntitled(name), 0)) return 0;
  return ArrWriteNamed(name);
}

// The mix just read from or written to `path` takes it as its name, with no
// changes left.
int MixTakeName(const char* path) {
  MixNameSet(path, 1);
  gDocs.mixChanges = 0;
  gDocs.mixAutoMark = 0;
  if (gHost->DetectElemChanges()) gHost->MixSnapshot();
  gHost->MainCaption();
  return 1;
}

// Writes the mix to `path` and, on success, makes it the mix's name with no
// changes left.
int MixWriteNamed(const char* path) {
  if (!gHost->MixWrite(path)) return 0;
  return MixTakeName(path);
}

int MixSaveUnderNewName() {
  char name[kNameSize];
  MixName(name);
  if (!gHost->SaveDialog(name, kNameSize, !IsUntitled(name), 1)) return 0;
  return MixWriteNamed(name);
}

}  // namespace

void DocSetHost(DocHost* host) { gHost = host; }
DocState& Docs() { return gDocs; }

void DocReplaceFilePart(char* name, int size, const char* file) {
  char* slash = std::strrchr(name, '\\');
  const size_t dir = slash ? static_cast<size_t>(slash - name + 1) : 0;
  if (dir + std::strlen(file) + 1 > static_cast<size_t>(size)) return;
  std::strcpy(name + dir, file);
}

int DocAutoSavePath(const char* name, const char* ext, char* out, int size) {
  const char* slash = std::strrchr(name, '\\');
  const int dir = slash ? static_cast<int>(slash - name + 1) : 0;
  const int n = std::snprintf(out, static_cast<size_t>(size), "%.*s%s.%s", dir, name,
                              StrText(IDS_AUTOSAVE_NAME), ext);
  return n > 0 && n < size;
}

int ArrSavePrompt() {
  if (!gArrSaveFailed || gDocs.arrChanges == 0) return kIdNo;
  const int answer = gHost->Ask(IDS_SAVE_ARR_CHANGES, kMbAskYesNoCancel);
  if (answer != kIdYes) return answer;
  return ArrSaveCmd() ? kIdYes : kIdCancel;
}

int ArrNewCmd(int refreshTakes) {
  if (ArrSavePrompt() == kIdCancel) return 0;
  uint32_t error = 0;
  if (!gHost->ArrNew(&error)) {
    gHost->Ask(error, kMbWarnOk);
    return 0;
  }
  char name[kNameSize];
  UntitledArrName(name, kNameSize);
  ArrNameClear();
  ArrNameSet(name, 0);
  gDocs.arrChanges = 0;
  gDocs.arrAutoMark = 0;
  gArrSaveFailed = false;
  gHost->ArrAfterNew(refreshTakes);
  return 1;
}

int ArrOpenCmd(const char* path) {
  // The old name stays until the file has been read.
  uint32_t warning = 0;
  if (!gHost->ArrRead(path, 0, &warning)) {
    gHost->ArrReadFailed();
    return 0;
  }
  ArrNameSet(path, 1);
  gDocs.arrChanges = 0;
  gDocs.arrAutoMark = 0;
  gArrSaveFailed = false;
  gHost->ArrAfterRead(0);
  return 1;
}

int ArrMergeCmd(const char* path) {
  uint32_t warning = 0;
  if (!gHost->ArrRead(path, 1, &warning)) return 0;
  gHost->ArrAfterRead(1);
  ++gDocs.arrChanges;
  if (warning != 0) gHost->Ask(warning, kMbWarnOk);
  return 1;
}

int ArrSaveCmd() {
  char name[kNameSize];
  // A never-named arrangement is not written as "(untitled)": ask a name.
  if (!ArrIsNamed() || ArrNameGet(name, kNameSize) == 0 || IsUntitled(name))
    return ArrSaveUnderNewName();
  return ArrWriteNamed(name);
}

int ArrSaveAsCmd() {
  if (gHost->ArrSelectedParts() > 0 && gHost->Ask(IDS_SAVE_SELECTED_ONLY, kMbAskYesNo) == kIdYes) {
    if (gDocs.selName[0] == '\0') {
      ArrName(gDocs.selName);
      DocReplaceFilePart(gDocs.selName, sizeof gDocs.selName, kUntitled);
    }
    if (!gHost->SaveDialog(gDocs.selName, sizeof gDocs.selName, !IsUntitled(gDocs.selName), 0))
      return 0;
    if (!gHost->ArrWrite(gDocs.selName, 1)) return 0;
    if (!gHost->KeepSelection()) gHost->ArrClearSelection();
    return 1;
  }
  return ArrSaveUnderNewName();
}

void ArrAutoSave() {
  if (gDocs.arrChanges == 0 || gDocs.arrChanges == gDocs.arrAutoMark) return;
  char name[kNameSize], path[kNameSize];
  ArrName(name);
  if (!DocAutoSavePath(name, StrText(IDS_ARR_EXT), path, sizeof path)) return;
  // The mark moves only when the copy was written, so a failed save is
  // tried again at the next period.
  if (gHost->ArrWrite(path, 0)) gDocs.arrAutoMark = gDocs.arrChanges;
}

int MixSavePrompt() {
  if (gHost->DetectElemChanges() && gDocs.mixChanges == 0 && gHost->MixElemsChanged())
    gDocs.mixChanges = 1;
  if (gDocs.mixChanges == 0) return kIdNo;
  const int answer = gHost->Ask(IDS_SAVE_MIX_CHANGES, kMbAskYesNoCancel);
  if (answer != kIdYes) return answer;
  char name[kNameSize];
  const bool named = MixIsNamed() && MixNameGet(name, kNameSize) != 0 && !IsUntitled(name);
  // A save that was cancelled or could not be written keeps the changes:
  // the caller stops.
  const int saved = named ? MixWriteNamed(name) : MixSaveUnderNewName();
  return saved ? kIdYes : kIdCancel;
}

int MixNewCmd() {
  if (MixSavePrompt() == kIdCancel) return 0;
  MixNameClear();
  MixNameSet(kUntitled, 0);
  gHost->MixNew();
  gDocs.mixChanges = 0;
  gDocs.mixAutoMark = 0;
  return 1;
}

int MixOpenCmd(const char* path) {
  // A file that cannot be read leaves the current mix and its name.
  if (!gHost->MixRead(path)) return 0;
  return MixTakeName(path);
}

int MixSaveCmd() {
  char name[kNameSize];
  if (!MixIsNamed() || MixNameGet(name, kNameSize) == 0 || IsUntitled(name))
    return MixSaveUnderNewName();
  return MixWriteNamed(name);
}

int MixSaveAsCmd() { return MixSaveUnderNewName(); }

void MixAutoSave() {
  const bool detect = gHost->DetectElemChanges() != 0;
  bool compared = false, elemsChanged = false;
  if (detect && gDocs.mixChanges == 0) {
    compared = true;
    elemsChanged = gHost->MixElemsChanged() != 0;
    if (elemsChanged) gDocs.mixChanges = 1;
  }
  if (gDocs.mixChanges == 0) return;
  if (gDocs.mixChanges == gDocs.mixAutoMark) {
    if (!detect) return;
    if (!compared) elemsChanged = gHost->MixElemsChanged() != 0;
    if (!elemsChanged) return;
  }
  if (detect) gHost->MixSnapshot();
  char name[kNameSize], path[kNameSize];
  MixName(name);
  if (!DocAutoSavePath(name, StrText(IDS_MIX_EXT), path, sizeof path)) return;
  if (gHost->MixWrite(path)) gDocs.mixAutoMark = gDocs.mixChanges;
}
