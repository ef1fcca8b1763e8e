// A resource holder for typed lookups in one module and language.
#pragma once
#include <windows.h>

class CResource {
 public:
  explicit CResource(HINSTANCE module, LANGID language = 0) : m_language(language), m_module(module) {}
  // The resource's data, locked; NULL with the last error when it is missing.
  void* Lock(LPCSTR type, LPCSTR name);

  HRSRC m_resource = nullptr;
  LANGID m_language;
  HINSTANCE m_module;
};
