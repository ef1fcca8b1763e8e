// The library as a COM server: class descriptors and the class table, the
// class factory, class registration with its context, the event-log
// source, and the property-page base.
#pragma once
#include "Inc/base.h"
#include "Inc/ccom.h"
#include "Inc/regkey.h"

#include <ocidl.h>

struct QvClassDesc;
struct QvRegContext;

typedef IUnknown* (*QvCreateFunction)(const CLSID* clsid, IUnknown* outer, HRESULT* result);
typedef HRESULT (*QvRegisterFunction)(QvRegContext* context);
typedef void (*QvHookFunction)(const QvClassDesc* descriptor);
typedef BOOL (*QvMatchFunction)(const CLSID* clsid);

struct QvClassDesc {
  LPCWSTR description;
  LPCSTR progId;  // may be null
  const CLSID* clsid;
  QvCreateFunction create;
  QvRegisterFunction registerClass;
  QvRegisterFunction unregisterClass;
  QvHookFunction start;
  QvHookFunction end;
  QvMatchFunction match;  // optional: decides instead of the CLSID comparison
};

// Null-terminated, in registration order.
extern const QvClassDesc* const QvClassTable[];

// Where and how classes are registered.
struct QvRegContext {
  // computer: null or empty for this computer ("\\" dropped, 15 characters
  // kept); modulePath: null or empty for this library's file.
  QvRegContext(LPCSTR computer, LPCSTR modulePath, CReporter* reporter);
  // Connects to another computer's registry; reports a failure. TRUE when
  // the root is usable.
  BOOL Connect();
  CRegKey m_root;
  CReporter* m_reporter;
  const QvClassDesc* m_current = nullptr;
  char m_clsidText[40] = {};
  char m_modulePath[MAX_PATH] = {};
  char* m_fileName = nullptr;
  char m_computer[18] = {};
  bool m_remote = false;
};

HRESULT RegisterClass(QvRegContext* context, int threadingModel);  // 1 Apartment, 2 Free, 3 Both
HRESULT RegisterClassBoth(QvRegContext* context);
HRESULT UnregisterClass(QvRegContext* context);
HRESULT RegisterAllClasses(QvRegContext* context);
HRESULT UnregisterAllClasses(QvRegContext* context);

BOOL AddEventLogSource(HKEY root, LPCSTR source, LPCSTR messageFile);
BOOL RemoveEventLogSource(HKEY root, LPCSTR source);

// Runs every descriptor's start (end) hook in table order.
void QvComStart();
void QvComEnd();

// The plug-in class's matcher: the high 16 bits of the first word and the
// last 12 bytes equal those of the plug-in class.
BOOL MatchPluginClsid(const CLSID* clsid);

// The property-page base: IPropertyPage over a dialog template.
class CPropPage : public CCom, public IPropertyPage {
 public:
  CPropPage(IUnknown* outer, UINT dialogId, HMODULE module, const ComInterfaceEntry* interfaces = Interfaces);
  ~CPropPage() override;
  CCOM_DELEGATING_UNKNOWN
  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Show(UINT command) override;
  HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
  HRESULT STDMETHODCALLTYPE IsPageDirty() override;
  HRESULT STDMETHODCALLTYPE Apply() override;
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR dir) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;
  void SetDirty(BOOL dirty);
  // The page dialog's messages; FALSE for the default handling.
  virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  static const ComInterfaceEntry Interfaces[];

  HWND m_hwnd = nullptr;
  BOOL m_dirty = FALSE;
  IPropertyPageSite* m_site = nullptr;
  UINT m_dialogId;
  HMODULE m_module;
};
