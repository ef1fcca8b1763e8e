// The board unit objects and their construction by board id.
#include "Drv/Qvcom/mixunits.h"

#include "Drv/QvMixMgr/mixmgr.h"
#include "Drv/Qvdrv/qvdrv_private.h"
#include "kernel/protocol.h"

#include <new>

namespace {
const GUID kDnvPage = {0xD4561101, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const GUID kDnvStat = {0xD4561102, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const GUID kTv2Page = {0xD4AB1920, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const GUID kCblPage = {0xD4AB6935, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const GUID kPresetPage = {0xD4E5F300, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const GUID kTvrPage = {0xD4AB2345, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};

// Reads `bytes` of status words with GET_PARAM.
HRESULT ReadWords(CQvDevice* device, uint32_t* words, DWORD bytes) {
  DWORD got = 0;
  HRESULT hr = device->IoControl(IOCTL_QV_GET_PARAM, nullptr, 0, words, bytes, &got, nullptr);
  return SUCCEEDED(hr) && got != bytes ? E_FAIL : hr;
}

// A rate the board detected: the unit's current format written back with
// it (the rate alone while no format is known).
void ApplyDetectedRate(CMixDevUnit* unit, uint32_t rate) {
  if (!rate) return;
  uint32_t mode[3] = {};
  bool known = unit->GetFormat(mode) == S_OK;
  mode[0] = rate;
  unit->SetFormat(mode, !known);
}
// A unit's settings record read under the device's lock.
template <class S>
HRESULT ReadSettings(CQvDevice* device, S& settings, uint32_t* record) {
  if (!record) return E_POINTER;
  device->Lock();
  settings.Get(record);
  device->Unlock();
  return S_OK;
}

// New settings words sent to the board with SET_PARAM under the device's
// lock; the sinks hear the record when it was sent (and, unless
// `tellFailedSend`, only when the send succeeded).
template <class S>
HRESULT WriteSettings(CQvDevice* device, S& settings, qvunit::SinkSlots<IQVSettingsSink>& sinks,
                      const uint32_t* words, bool tellFailedSend) {
  if (!words) return E_POINTER;
  device->Lock();
  bool sent = false;
  HRESULT hr = settings.Set(words, [device](const uint32_t* w, uint32_t bytes) {
    return device->IoControl(IOCTL_QV_SET_PARAM, const_cast<uint32_t*>(w), bytes, nullptr, 0, nullptr, nullptr);
  }, &sent);
  if (sent && (tellFailedSend || SUCCEEDED(hr)))
    sinks.ForEach([&settings](IQVSettingsSink* sink) { sink->SettingsChanged(settings.m_record); });
  device->Unlock();
  return hr;
}

// A settings sink into one of the two slots, under the device's lock.
HRESULT AdviseSlot(CQvDevice* device, qvunit::SinkSlots<IQVSettingsSink>& sinks, IQVSettingsSink* sink,
                   DWORD_PTR* cookie) {
  device->Lock();
  uintptr_t c = 0;
  HRESULT hr = sinks.Advise(sink, &c);
  if (cookie) *cookie = c;
  device->Unlock();
  return hr;
}

// The status poll of the Dnv and Tv2 units: the words read and kept under
// the device's lock; a new rate applied once it is left (the unit's format
// is kept under the graph's lock, which is always taken before the
// device's); then the sinks hear the words. 1 while the board is not
// locked (bit 31 of the first word clear), else 0, or the failure.
template <size_t N>
HRESULT PollStatus(CMixDevUnit* unit, uint32_t (&words)[N], qvunit::SinkSlots<IQVSettingsSink>& sinks,
                   uint32_t (*detect)(const uint32_t*, const uint32_t*)) {
  uint32_t now[N] = {};
  CQvDevice* device = unit->m_device;
  device->Lock();
  HRESULT hr = ReadWords(device, now, sizeof now);
  bool changed = SUCCEEDED(hr) && memcmp(now, words, sizeof now) != 0;
  uint32_t rate = changed ? detect(words, now) : 0;
  if (changed) memcpy(words, now, sizeof now);
  device->Unlock();
  if (FAILED(hr)) return hr;
  if (changed) {
    ApplyDetectedRate(unit, rate);
    device->Lock();
    sinks.ForEach([&now](IQVSettingsSink* sink) { sink->SettingsChanged(now); });
    device->Unlock();
  }
  return (now[0] & 0x80000000u) ? 0 : 1;
}

// A slot's cookie frees its slot; any other cookie is the base's.
HRESULT UnadviseSlot(CMixDevUnit* unit, qvunit::SinkSlots<IQVSettingsSink>& sinks, DWORD_PTR cookie) {
  unit->m_device->Lock();
  HRESULT hr = sinks.Unadvise(cookie);
  unit->m_device->Unlock();
  return hr == qvunit::ResultPassOn ? unit->Unadvise(cookie) : hr;
}

}  // namespace

const ComInterfaceEntry CDevFamilyUnit::Interfaces[] = {
    {&IID_ISpecifyPropertyPages, ComOffset<CDevFamilyUnit, ISpecifyPropertyPages>()},
    {nullptr, ComNext(CMixDevUnit::Interfaces)},
};

// The channel table holds the channels the board reports.
CDevFamilyUnit::CDevFamilyUnit(qvunit::Family family, IUnknown* outer, CQvDevice* device, HRESULT* result)
    : CMixDevUnit(outer, device, nullptr, nullptr, result, Interfaces), m_family(family) {
  qvmix::ChannelTableFromInfo(m_channelInfo, m_channels);
}

HRESULT STDMETHODCALLTYPE CDevFamilyUnit::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  const GUID* list[2] = {};
  ULONG n = PageList(list);
  pages->cElems = 0;
  pages->pElems = nullptr;
  if (!n) return S_OK;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(n * sizeof(GUID)));
  if (!pages->pElems) return E_OUTOFMEMORY;
  for (ULONG i = 0; i < n; ++i) pages->pElems[i] = *list[i];
  pages->cElems = n;
  return S_OK;
}

bool CDevFamilyUnit::GroupName(uint8_t count, uint8_t first, uint8_t kind, int style, wchar_t* out, size_t size) {
  return qvunit::FormatSourceName(m_family, count, first, kind, style, m_unitIndex, out, size);
}

// ---- Dnv ----

ULONG CDevDnvUnit::PageList(const GUID** out) {
  out[0] = &kDnvPage;
  out[1] = &kDnvStat;
  return 2;
}

HRESULT CDevDnvUnit::GetSettings(uint32_t* record) {
  return ReadSettings(m_device, m_settings, record);
}

HRESULT CDevDnvUnit::SetSettings(const uint32_t* words) {
  return WriteSettings(m_device, m_settings, m_sinks, words, false);
}

HRESULT CDevDnvUnit::AdviseSettings(IQVSettingsSink* sink, DWORD_PTR* cookie) {
  return AdviseSlot(m_device, m_sinks, sink, cookie);
}

HRESULT CDevDnvUnit::UnadviseSettings(DWORD_PTR cookie) { return UnadviseSlot(this, m_sinks, cookie); }

// Acquired, and given up again when a later step fails.
HRESULT CDevDnvUnit::StartUnit() {
  HRESULT hr = Acquire(m_clockSource);
  if (FAILED(hr)) return hr;
  hr = UpdateTv2Firmware(this, 0);
  if (SUCCEEDED(hr)) hr = Refresh();
  if (FAILED(hr)) DetachDevice();
  return hr;
}

HRESULT CDevDnvUnit::Refresh() {
  HRESULT hr = Poll();
  return FAILED(hr) ? hr : S_OK;
}

HRESULT CDevDnvUnit::Poll() { return PollStatus(this, m_words, m_sinks, qvunit::DnvDetectRate); }

// ---- Tv2 ----

ULONG CDevTv2Unit::PageList(const GUID** out) {
  out[0] = &kTv2Page;
  return 1;
}

HRESULT CDevTv2Unit::GetSettings(uint32_t* record) {
  return ReadSettings(m_device, m_settings, record);
}

HRESULT CDevTv2Unit::SetSettings(const uint32_t* words) {
  return WriteSettings(m_device, m_settings, m_sinks, words, true);
}

HRESULT CDevTv2Unit::AdviseSettings(IQVSettingsSink* sink, DWORD_PTR* cookie) {
  return AdviseSlot(m_device, m_sinks, sink, cookie);
}

HRESULT CDevTv2Unit::UnadviseSettings(DWORD_PTR cookie) { return UnadviseSlot(this, m_sinks, cookie); }

HRESULT CDevTv2Unit::Poll() { return PollStatus(this, m_words, m_sinks, qvunit::Tv2DetectRate); }

HRESULT CDevTv2Unit::CheckTv2Selection(const qvmix::Selection* request, qvmix::Selection* selection) {
  if (!request) return CheckSelection(request, selection);
  qvmix::Selection r = *request;
  if (r.index == 4 || r.index == 5) r.index = static_cast<uint8_t>(r.index + 2);
  return CheckSelection(&r, selection);
}

// ---- Corbelle ----

CDevCblUnit::CDevCblUnit(IUnknown* outer, CQvDevice* device, HRESULT* result)
    : CDevFamilyUnit(qvunit::Family::Cbl, outer, device, result) {
  HRESULT hr = S_OK;
  m_converter = CLumoraUnit::Create(this, &hr);
  if (!m_converter) {
    if (SUCCEEDED(*result)) *result = hr;
    return;
  }
  m_inner = m_converter->Unknown();  // released with the unit
}

ULONG CDevCblUnit::PageList(const GUID** out) {
  if (!ConverterPresent()) return 0;
  ULONG n = 0;
  if (m_online) out[n++] = &kCblPage;  // only while the unit holds its device
  out[n++] = &kPresetPage;
  return n;
}

HRESULT CDevCblUnit::StartUnit() {
  if (!m_converter) return E_OUTOFMEMORY;
  HRESULT hr = CMixDevUnit::StartUnit();
  if (FAILED(hr)) return hr;
  hr = UpdateCblFirmware(m_converter, m_device, 0);
  if (SUCCEEDED(hr)) hr = m_converter->SendSettings(qvunit::ActivationSettings(m_converter->m_settings));
  if (SUCCEEDED(hr)) hr = LoadRouteTable(m_converter, 0);
  if (SUCCEEDED(hr)) hr = Refresh();
  if (SUCCEEDED(hr)) {
    uint8_t routes[qvunit::CblRouteEntries * 4];
    qvunit::BuildCblRoutes(routes);
    hr = m_device->IoControl(IOCTL_QV_SET_ROUTES, routes, sizeof routes, nullptr, 0, nullptr, nullptr);
  }
  if (FAILED(hr)) DetachDevice();
  return hr;
}

HRESULT CDevCblUnit::Refresh() {
  HRESULT hr = Poll();
  return FAILED(hr) ? hr : S_OK;
}

// The status words are read outside the device's lock; the converter takes
// them under it, and a new rate is applied once it is left.
HRESULT CDevCblUnit::Poll() {
  uint32_t now[4] = {};
  HRESULT hr = ReadWords(m_device, now, sizeof now);
  if (FAILED(hr)) return hr;
  uint32_t rate = 0;
  bool changed = false;
  m_device->Lock();
  if (m_converter && memcmp(now, m_converter->m_words, 12) != 0) {
    rate = qvunit::CblDetectRate(m_converter->m_words, now, m_rateNow);
    changed = m_converter->SetConfig(now);
    if (IsActive()) hr = m_converter->Refresh();
  }
  m_device->Unlock();
  if (rate) {
    m_rateNow = rate;
    ApplyDetectedRate(this, rate);
  }
  if (changed) UpdateConverterItem();
  if (FAILED(hr)) return hr;
  return (now[0] & 0x80000000u) ? 0 : 1;
}

void CDevCblUnit::AddToTree(HTREEITEM after) {
  CMixDevUnit::AddToTree(after);
  if (m_item) UpdateConverterItem();
}

void CDevCblUnit::RemoveFromTree() {
  CMixDevUnit::RemoveFromTree();  // the converter's item goes with the unit's
  m_converterItem = nullptr;
}

// Inserted once while a converter answers, renamed when it changes,
// removed when it goes away.
void CDevCblUnit::UpdateConverterItem() {
  HWND tree = m_host ? m_host->TreeWindow() : nullptr;
  if (!tree || !m_item) return;
  if (ConverterPresent()) {
    wchar_t text[48];
    qvunit::FormatConverterItem(m_converter->m_state, text, 48);
    if (!m_converterItem) {
      TVINSERTSTRUCTW in = {};
      in.hParent = m_item;
      in.hInsertAfter = TVI_LAST;
      in.item.mask = TVIF_TEXT;
      in.item.pszText = text;
      m_converterItem =
          reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&in)));
    } else {
      TVITEMW item = {};
      item.mask = TVIF_TEXT;
      item.hItem = m_converterItem;
      item.pszText = text;
      SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
  } else if (m_converterItem) {
    SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(m_converterItem));
    m_converterItem = nullptr;
  } else {
    return;
  }
  UpdateTreeCheck();
}

// ---- Tavrion ----

ULONG CDevTvrUnit::PageList(const GUID** out) {
  if (!g_registerDS) return 0;
  out[0] = &kTvrPage;
  return 1;
}

// ---- construction by board id ----

HRESULT CreateMixDevUnit(CQvDevice* device) {
  uint32_t id[3] = {};  // the identity words; word 2: the board id
  DWORD length = sizeof id;
  HRESULT hr = device->GetStatus(id, &length);
  if (FAILED(hr)) return hr;
  if (length < sizeof id) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  CDevFamilyUnit* unit = nullptr;
  IUnknown* outer = device->Unknown();
  switch (id[2]) {
    case BoardIdDnv: unit = new (std::nothrow) CDevDnvUnit(outer, device, &hr); break;
    case BoardIdTv2: unit = new (std::nothrow) CDevTv2Unit(outer, device, &hr); break;
    case BoardIdCbl: unit = new (std::nothrow) CDevCblUnit(outer, device, &hr); break;
    case BoardIdTvr: unit = new (std::nothrow) CDevTvrUnit(outer, device, &hr); break;
    default: return HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);  // 0x80070103: no unit class for this board
  }
  if (!unit) return E_OUTOFMEMORY;
  if (FAILED(hr)) {
    unit->Unknown()->Release();
    return hr;
  }
  // The device's inner object, released with it; one made before goes.
  IUnknown* earlier = device->m_inner;
  device->m_inner = unit->Unknown();
  if (earlier) earlier->Release();
  return S_OK;
}

// ---- the Tavrion page ----

CTvrPage::CTvrPage(IUnknown* outer) : CPropPage(outer, 140, QvdrvModule()) {}

CTvrPage::~CTvrPage() {
  if (m_device) m_device->Release();
}

HRESULT STDMETHODCALLTYPE CTvrPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count != 1 || !objects || !objects[0]) return E_INVALIDARG;
  IQVDevice* device = nullptr;
  HRESULT hr = objects[0]->QueryInterface(IID_IQVDevice, reinterpret_cast<void**>(&device));
  if (FAILED(hr)) return hr;
  if (m_device) m_device->Release();
  m_device = device;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTvrPage::Activate(HWND parent, LPCRECT rect, BOOL modal) {
  if (!parent || !rect) return E_INVALIDARG;
  if (!m_site || !m_device) return E_UNEXPECTED;
  m_site->GetLocaleID(&m_locale);
  m_topLevel = GetAncestor(parent, GA_ROOT);
  return CPropPage::Activate(parent, rect, modal);
}

HRESULT STDMETHODCALLTYPE CTvrPage::Apply() {
  if (!m_hwnd || !IsWindow(m_hwnd)) return E_UNEXPECTED;
  if (!m_dirty) return S_OK;
  return CPropPage::Apply();
}

// The dialog's commands and its start are taken as handled.
INT_PTR CTvrPage::OnMessage(UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG || message == WM_COMMAND;
}

IUnknown* CreateTvrPage(const CLSID*, IUnknown* outer, HRESULT* result) {
  auto* page = new (std::nothrow) CTvrPage(outer);
  if (!page) *result = E_OUTOFMEMORY;
  return page ? page->Unknown() : nullptr;
}
