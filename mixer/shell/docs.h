// The two documents of the program, the current arrangement and the current
// mix: their change counts and automatic-save marks, and the commands that
// replace, load, merge and save them. Names and named flags are kept by the
// model (docnames.h). Everything the commands do outside this state goes
// through a DocHost, so that the rules can be checked without windows.
#pragma once

#include <cstdint>

class DocHost {
 public:
  virtual ~DocHost() = default;
  // A question or message by string id (MessageBox flags); the button.
  virtual int Ask(uint32_t id, uint32_t flags) = 0;
  // The save dialog on `path` (buffer of `size`); `keepName` pre-fills the
  // name field. `mix` picks the mix filter. Nonzero when a file was chosen.
  virtual int SaveDialog(char* path, int size, int keepName, int mix) = 0;
  // The current folder, ending in '\'.
  virtual void CurrentDir(char* out, int size) = 0;

  // Arrangement. New: allocate an empty arrangement and marker list and make
  // them current (the previous ones freed); 0 with the error id when either
  // allocation fails, the previous ones still current.
  virtual int ArrNew(uint32_t* error) = 0;
  // After New: drop the undo steps, refresh the Takes in use (refreshTakes),
  // redraw, rebuild the play lists, now locator to 0.
  virtual void ArrAfterNew(int refreshTakes) = 0;
  // Reads the file into the current arrangement (merge 0) or merges it into
  // the current one (merge 1); 1 read, 0 failed (its message shown). A
  // warning id (172, 238) of a read that succeeded comes back in *warning.
  virtual int ArrRead(const char* path, int merge, uint32_t* warning) = 0;
  // After a successful open or merge: rebuilds, caption, overviews.
  virtual void ArrAfterRead(int merge) = 0;
  // After a failed read: the now locator and the cursor.
  virtual void ArrReadFailed() = 0;
  // Writes the whole arrangement or only its selected Parts; 1 or 0 (its
  // message shown).
  virtual int ArrWrite(const char* path, int selectedOnly) = 0;
  virtual int ArrSelectedParts() = 0;
  virtual void ArrClearSelection() = 0;
  virtual void ArrSetCaption() = 0;
  virtual int KeepSelection() = 0;

  // Mix.
  virtual int MixWrite(const char* path) = 0;
  // Reads the file as the current mix; 0 keeps the current one.
  virtual int MixRead(const char* path) = 0;
  virtual void MixNew() = 0;
  // DetMixElemChanges, the element states against the snapshot, a new
  // snapshot.
  virtual int DetectElemChanges() = 0;
  virtual int MixElemsChanged() = 0;
  virtual void MixSnapshot() = 0;
  virtual void MainCaption() = 0;
};

// The host the commands use; the program sets its own at start-up.
void DocSetHost(DocHost* host);

// The file part every unnamed document carries.
constexpr char kUntitled[] = "(untitled)";

// Document state that is not the names.
struct DocState {
  uint32_t arrChanges;
  uint32_t arrAutoMark;
  uint32_t mixChanges;
  uint32_t mixAutoMark;
  char selName[260];  // the last name used by save-selected-Parts-only
};
DocState& Docs();

// Arrangement commands; each returns 1 when it did what it was asked.
int ArrNewCmd(int refreshTakes);
int ArrOpenCmd(const char* path);
// Merges the file into the current arrangement; its name stays.
int ArrMergeCmd(const char* path);
int ArrSaveCmd();
int ArrSaveAsCmd();
void ArrAutoSave();
// The arrangement's save prompt at New, Open and closing: 6, 7 or 2. It asks
// only while the arrangement holds changes that its last save could not
// write.
int ArrSavePrompt();

// Mix commands.
int MixSavePrompt();
int MixNewCmd();
int MixOpenCmd(const char* path);
int MixSaveCmd();
int MixSaveAsCmd();
void MixAutoSave();

// The name text with its file part replaced by `file`.
void DocReplaceFilePart(char* name, int size, const char* file);
// The automatic-save path: the folder of `name` with "AUTOSAVE." + ext.
int DocAutoSavePath(const char* name, const char* ext, char* out, int size);
