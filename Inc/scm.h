// The service-manager holder: the manager and one service handle.
#pragma once
#include <windows.h>

struct ScmServiceDescriptor {
  LPCSTR name;
  LPCSTR displayName;
  DWORD type;
  DWORD startType;
  LPCSTR description;  // null: none
};

class CScm {
 public:
  ~CScm() {
    ScmCloseService();
    ScmClose();
  }
  BOOL ScmOpen(LPCSTR machine);  // the active database, full access
  BOOL ScmOpenService(LPCSTR name);
  BOOL ScmCreateService(LPCSTR binaryPath, const ScmServiceDescriptor& descriptor);
  // TRUE once stopped; a stopping or starting service is waited for in steps
  // of 500 ms up to waitMs in all (INFINITE: no limit).
  BOOL ScmStopService(SERVICE_STATUS* status, DWORD waitMs);
  void ScmCloseService();
  void ScmClose();
  SC_HANDLE m_manager = nullptr;
  SC_HANDLE m_service = nullptr;
};

// The next wait of a stop: 500 ms, the rest of the limit when less, 0 when
// the limit is used up.
DWORD ScmStopStep(DWORD waited, DWORD limit);
