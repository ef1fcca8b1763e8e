#include "Inc/resource.h"

void* CResource::Lock(LPCSTR type, LPCSTR name) {
  m_resource = FindResourceExA(m_module, type, name, m_language);
  if (!m_resource) return nullptr;
  HGLOBAL data = LoadResource(m_module, m_resource);
  return data ? LockResource(data) : nullptr;
}
