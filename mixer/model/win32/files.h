// The file system through Win32: existence tests, directory trees, absolute
// paths, unique names and the directory walk.
#pragma once

#include <windows.h>

#include <cstdint>

// 1 when the path exists and is not a directory.
int FileExists(const char* path);

// 1 when the path is an existing directory; a trailing '\' is ignored.
int DirExists(const char* path);

// Creates every missing directory of a path that ends in '\' (a file name
// after the last '\' is left alone); 1 when all of them exist afterwards.
int CreateDirTree(const char* path);

// Resolves the directory part of `path` (in its buffer of `size` bytes)
// against `base` (the current directory when null), keeping the file name.
// The directory must exist. The current directory is restored. 1 on
// success; 0, with the path unchanged, otherwise.
int PathMakeAbsolute(char* path, int size, const char* base);

// While a file of that path exists, replaces the name's number by the next
// one (keeping a channel suffix before the extension when asked).
int MakeUniquePath(char* path, int size, int keepSuffix);

// Called for every file of a walk with its full path; 0 stops the walk.
using WalkDirFn = int (*)(const char* path, void* user);

// Walks "*.*" of `dir` depth-first: sub-directories whose name does not begin
// with '.' recursively, every file handed to `fn` with its name lower-cased
// but for the first character. One waiting window message is dispatched
// after every entry. A path longer than 259 characters shows message 182
// and stops the walk with 0. Returns 1, or 0 when `fn` stopped it.
int WalkDirTree(const char* dir, WalkDirFn fn, void* user);
