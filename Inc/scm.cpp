#include "Inc/scm.h"

BOOL CScm::ScmOpen(LPCSTR machine) {
  ScmClose();
  m_manager = OpenSCManagerA(machine, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_ALL_ACCESS);
  return m_manager != nullptr;
}

BOOL CScm::ScmOpenService(LPCSTR name) {
  ScmCloseService();
  m_service = OpenServiceA(m_manager, name, SERVICE_ALL_ACCESS);
  return m_service != nullptr;
}

BOOL CScm::ScmCreateService(LPCSTR binaryPath, const ScmServiceDescriptor& d) {
  ScmCloseService();
  m_service = CreateServiceA(m_manager, d.name, d.displayName, SERVICE_ALL_ACCESS, d.type, d.startType,
                             SERVICE_ERROR_NORMAL, binaryPath, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (!m_service) return FALSE;
  if (d.description) {
    SERVICE_DESCRIPTIONA text{const_cast<LPSTR>(d.description)};
    ChangeServiceConfig2A(m_service, SERVICE_CONFIG_DESCRIPTION, &text);
  }
  return TRUE;
}

DWORD ScmStopStep(DWORD waited, DWORD limit) {
  if (limit == INFINITE) return 500;
  if (waited >= limit) return 0;
  return limit - waited < 500 ? limit - waited : 500;
}

BOOL CScm::ScmStopService(SERVICE_STATUS* status, DWORD waitMs) {
  if (!QueryServiceStatus(m_service, status)) return FALSE;
  DWORD waited = 0;
  while (status->dwCurrentState != SERVICE_STOPPED) {
    DWORD state = status->dwCurrentState;
    if (state == SERVICE_STOP_PENDING || state == SERVICE_START_PENDING) {
      DWORD step = ScmStopStep(waited, waitMs);
      if (!step) {
        SetLastError(ERROR_SERVICE_REQUEST_TIMEOUT);
        return FALSE;
      }
      Sleep(step);
      waited += step;
      if (!QueryServiceStatus(m_service, status)) return FALSE;
    } else if (!ControlService(m_service, SERVICE_CONTROL_STOP, status)) {
      return FALSE;
    }
  }
  return TRUE;
}

void CScm::ScmCloseService() {
  if (m_service) CloseServiceHandle(m_service);
  m_service = nullptr;
}

void CScm::ScmClose() {
  if (m_manager) CloseServiceHandle(m_manager);
  m_manager = nullptr;
}
