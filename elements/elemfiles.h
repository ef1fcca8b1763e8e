// The file-system questions the element utilities ask, behind one small
// interface: the module's Windows layer answers them through the system
// (win32/elemfiles_win.cpp); tests answer from a list of paths.
#pragma once

constexpr int kElemPathSize = 260;

class ElemFiles {
 public:
  virtual ~ElemFiles() = default;
  // 1 when a file (not a folder) of that path exists.
  virtual int FileExists(const char* path) = 0;
  // 1 when a folder of that path exists; a trailing '\' is allowed.
  virtual int FolderExists(const char* path) = 0;
  // Makes path (a buffer of `size` bytes) absolute against folder, '..'
  // and '.' resolved; 1, or 0 with path unchanged when that fails or the
  // result does not fit.
  virtual int MakeAbsolute(char* path, int size, const char* folder) = 0;
};

// Copies src into dst of `size` bytes only when it fits with its NUL; 1
// when copied, 0 (dst untouched) otherwise.
int ElemCopyString(char* dst, int size, const char* src);

// path joined to folder with one '\' between, '.' and '..' resolved
// textually; an absolute path (leading '\' or a drive) is resolved alone.
// The lexical part of MakeAbsolute, shared by both layers. 1, or 0 with
// path unchanged when the result would not fit.
int ElemJoinPath(char* path, int size, const char* folder);
