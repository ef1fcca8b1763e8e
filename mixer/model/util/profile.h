// The store behind the ini readers and writers: files of sections of
// "key=value" lines. The program installs the Windows profile functions
// (win32/profile_win.h); until then, and in tests, an in-memory store
// answers, so code that reads settings runs without any file.
#pragma once

#include <map>
#include <string>

class Profile {
 public:
  virtual ~Profile() = default;
  // Copies the value of `key` in `section` of `file` into buf (at most
  // size - 1 characters and a NUL; nothing when size < 1) and returns the
  // number of characters copied; a missing file, section or key gives "".
  virtual int GetString(const char* file, const char* section, const char* key, char* buf,
                        int size) = 0;
  // Sets the value, creating the section or the file as needed. Failures are
  // not reported.
  virtual void WriteString(const char* file, const char* section, const char* key,
                           const char* value) = 0;
};

// In-memory files. Names of files, sections and keys compare without regard
// to case, as in the Windows profile functions.
class MemProfile : public Profile {
 public:
  int GetString(const char* file, const char* section, const char* key, char* buf,
                int size) override;
  void WriteString(const char* file, const char* section, const char* key,
                   const char* value) override;
  // Forgets every file.
  void Clear() { entries_.clear(); }

 private:
  // "file\nsection\nkey" folded to lower case.
  static std::string Id(const char* file, const char* section, const char* key);
  std::map<std::string, std::string> entries_;
};

// The store in use.
Profile& CurProfile();
// Installs `profile` (not owned; it must outlive its use); nullptr goes back
// to the built-in in-memory store.
void SetProfile(Profile* profile);
// The built-in in-memory store.
MemProfile& BuiltInProfile();
