// The mixer graph COM object "Quorvale.MixGraph": an aggregated filter
// graph whose reference clock is the mixer devices' clock, the columns in a
// mixer window under a transparent overlay, its stream, file drops and the
// device tree of the mixer devices' units.
#pragma once
#include "Drv/QvMixDev/mixdev.h"
#include "Drv/Qvcom/qvcom.h"
#include "Inc/window.h"

#include <commctrl.h>
#include <objidl.h>
#include <ole2.h>
#include <strmif.h>

#include <vector>

extern const CLSID CLSID_QvMixGraph;
extern const IID IID_IQVMixBuilder;
extern const IID IID_IQVDeviceTree;

struct IQVMixBuilder : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unlock() = 0;
  virtual HRESULT STDMETHODCALLTYPE Lock() = 0;
  virtual HRESULT STDMETHODCALLTYPE Suspend() = 0;
  virtual HRESULT STDMETHODCALLTYPE Load(LPCWSTR file, LONG position) = 0;
  virtual HRESULT STDMETHODCALLTYPE Save() = 0;
  virtual HRESULT STDMETHODCALLTYPE Create(HWND parent, UINT id, const RECT* rect) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddColumn(LONG position, IUnknown** column) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveColumn(LONG index) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumColumns(IEnumUnknown** columns) = 0;
  virtual HRESULT STDMETHODCALLTYPE ColumnFromPoint(const POINT* point, IUnknown** column) = 0;
  virtual BOOL STDMETHODCALLTYPE GetOverlay() = 0;
  virtual BOOL STDMETHODCALLTYPE SetOverlay(BOOL overlay) = 0;
  virtual BOOL STDMETHODCALLTYPE GetWideColumns() = 0;
  virtual BOOL STDMETHODCALLTYPE SetWideColumns(BOOL wide) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetScroll(LONG* first, LONG* count) = 0;
  virtual LONG STDMETHODCALLTYPE SetScroll(LONG first) = 0;
  virtual HRESULT STDMETHODCALLTYPE HostQuery(void* argument) = 0;
};

struct IQVDeviceTree : public IUnknown {
  virtual BOOL STDMETHODCALLTYPE Attach(HWND tree) = 0;
  virtual HRESULT STDMETHODCALLTYPE Detach() = 0;
  virtual LRESULT STDMETHODCALLTYPE OnNotify(NMHDR* header) = 0;
};

class CMixMgr;

// A column of the mixer: its index, its window, its plug-ins (filters of
// the mixer's graph, top to bottom) and its own stream: the plug-in count,
// then per plug-in its CLSID, the length of its state and the state (what
// the plug-in's IPersistStream writes; none when it has no such interface).
class CMixColumn : public CCom, public CWindow {
 public:
  struct Plugin {
    CLSID clsid;
    IBaseFilter* filter;
  };
  explicit CMixColumn(CMixMgr* mixer);
  ~CMixColumn() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  HRESULT SaveTo(IStream* stream);
  HRESULT LoadFrom(IStream* stream);
  ULONGLONG SizeMax() const;
  // A plug-in of the class made and put in the graph at `position` (past
  // the end: last), its state loaded from `state` when given.
  HRESULT InsertPlugin(size_t position, REFCLSID clsid, IStream* state);
  // Every plug-in out of the graph and released.
  void RemovePlugins();

  static constexpr uint32_t kMaxPlugins = 256;          // in one column of a stream
  static constexpr uint32_t kMaxState = 16u << 20;      // bytes of one plug-in's state

  CMixMgr* m_mixer;
  std::vector<Plugin> m_plugins;
  LONG m_index = 0;
  CMixColumn* m_prev = nullptr;
  CMixColumn* m_next = nullptr;
};

// The overlay window above the columns.
class CMixOverlay : public CWindow {
 public:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_DESTROY) RevokeDragDrop(m_hwnd);
    return DefWindowProcA(m_hwnd, message, wParam, lParam);
  }
};

class CMixMgr : public CCom,
                public CWindow,
                public IQVMixBuilder,
                public IPersistStream,
                public IDropTarget,
                public IQVDeviceTree,
                public IDistributorNotify,
                public CMixGraphHost {
 public:
  CMixMgr(IUnknown* outer, HRESULT* result);
  ~CMixMgr() override;
  CCOM_DELEGATING_UNKNOWN

  // IQVMixBuilder
  HRESULT STDMETHODCALLTYPE Clear() override;
  HRESULT STDMETHODCALLTYPE Unlock() override;
  HRESULT STDMETHODCALLTYPE Lock() override;
  HRESULT STDMETHODCALLTYPE Suspend() override;
  HRESULT STDMETHODCALLTYPE Load(LPCWSTR file, LONG position) override;
  HRESULT STDMETHODCALLTYPE Save() override;
  HRESULT STDMETHODCALLTYPE Create(HWND parent, UINT id, const RECT* rect) override;
  HRESULT STDMETHODCALLTYPE AddColumn(LONG position, IUnknown** column) override;
  HRESULT STDMETHODCALLTYPE RemoveColumn(LONG index) override;
  HRESULT STDMETHODCALLTYPE EnumColumns(IEnumUnknown** columns) override;
  HRESULT STDMETHODCALLTYPE ColumnFromPoint(const POINT* point, IUnknown** column) override;
  BOOL STDMETHODCALLTYPE GetOverlay() override { return m_overlayFlag; }
  BOOL STDMETHODCALLTYPE SetOverlay(BOOL overlay) override;
  BOOL STDMETHODCALLTYPE GetWideColumns() override { return m_columnWidth > 56; }
  BOOL STDMETHODCALLTYPE SetWideColumns(BOOL wide) override;
  HRESULT STDMETHODCALLTYPE GetScroll(LONG* first, LONG* count) override;
  LONG STDMETHODCALLTYPE SetScroll(LONG first) override;
  HRESULT STDMETHODCALLTYPE HostQuery(void* argument) override;

  // IPersistStream
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
  HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

  // IDropTarget
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

  // IQVDeviceTree
  BOOL STDMETHODCALLTYPE Attach(HWND tree) override;
  HRESULT STDMETHODCALLTYPE Detach() override;
  LRESULT STDMETHODCALLTYPE OnNotify(NMHDR* header) override;

  // IDistributorNotify
  HRESULT STDMETHODCALLTYPE Stop() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Pause() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE NotifyGraphChange() override { return S_OK; }

  // CMixGraphHost
  HWND GraphWindow() override { return m_hwnd; }
  void LockGraph() override { CCom::Lock(); }
  void UnlockGraph() override { CCom::Unlock(); }
  HRESULT StopGraph() override;
  void SetGraphClock(IReferenceClock* clock) override;
  void GraphClockChanged() override;
  HWND TreeWindow() override { return m_tree; }

  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  bool IsOwner() const;
  bool IsLocked() const { return m_lockDepth > 0 && m_lockThread == GetCurrentThreadId(); }
  HRESULT StartGraph();
  HRESULT StopForEdit();
  // Column list, under the lock.
  void InsertColumn(CMixColumn* column);
  void UnlinkColumn(CMixColumn* column);
  void PlaceColumn(CMixColumn* column, LONG index);
  void PositionColumn(CMixColumn* column);
  void UpdateScrollRange();
  HRESULT NewColumn(LONG index, IStream* from, CMixColumn** out);
  CMixColumn* ColumnHead() const { return m_head; }
  LONG VisibleColumns() const;
  bool ProbeDrop(IDataObject* data, WCHAR* file);
  HRESULT LoadAt(IStream* stream, LONG position);
  bool AskMixFile(bool save, WCHAR* file);
  HRESULT SaveToFile(LPCWSTR file);
  LRESULT UnitMenu(CMixDevUnit* unit, POINT at);

  static const ComInterfaceEntry Interfaces[];
  static HRESULT QueryGraph(CCom* object, REFIID iid, void** out);

  enum : DWORD { kRunning = 1, kDirty = 2, kSuspended = 4 };

  IGraphBuilder* m_graph = nullptr;
  CMixDevList* m_devices = nullptr;
  void* m_refHead = nullptr;  // objects listed for change notices
  CMixColumn* m_head = nullptr;
  CMixColumn* m_tail = nullptr;
  LONG m_changes = 0;
  LONG m_firstVisible = 0;
  LONG m_visibleCount = 1;
  LONG m_columnWidth = 56;
  LONG m_height = 239;
  LONG m_extent = 0;
  LONG m_vscroll = 0;
  LONG m_voffset = 0;
  DWORD m_state = 0;
  WORD m_overlayFlag = 0;
  CMixOverlay m_overlay;
  HWND m_tree = nullptr;
  UINT_PTR m_timerId = 0;
  LONG m_lockDepth = 0;
  DWORD m_lockThread = 0;
  BOOL m_dropAccepted = FALSE;
};

// A file that starts with a mixer graph stream header this library reads.
bool IsMixGraphFile(LPCWSTR file);

IUnknown* CreateMixGraph(const CLSID* clsid, IUnknown* outer, HRESULT* result);
void MixGraphStartHook(const QvClassDesc* descriptor);
void MixGraphEndHook(const QvClassDesc* descriptor);
// The module-wide RegisterDS value that the mixer device units consult.
extern DWORD g_registerDS;
