// The board unit objects of the mixer device: one class per board family
// over the mixer device unit base, with their group names, property pages,
// status polls and (Dnv, Tv2) settings with their sinks.
#pragma once
#include "Drv/QvMixDev/lumora.h"
#include "Drv/QvMixDev/mixdev.h"
#include "Drv/Qvcom/qvcom.h"
#include "Drv/Qvcom/units.h"

#include <ocidl.h>

// What a settings sink is told: the whole settings record.
struct IQVSettingsSink : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SettingsChanged(const uint32_t* record) = 0;
};

class CDevFamilyUnit : public CMixDevUnit, public ISpecifyPropertyPages {
 public:
  CDevFamilyUnit(qvunit::Family family, IUnknown* outer, CQvDevice* device, HRESULT* result);
  CCOM_DELEGATING_UNKNOWN
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;
  // The pages this unit offers now.
  virtual ULONG PageList(const GUID** out) = 0;
  // The group {count, first, kind} in a style; false for kinds the base names.
  bool GroupName(uint8_t count, uint8_t first, uint8_t kind, int style, wchar_t* out, size_t size);
  // Reads the status words; 1 when the board is not locked, 0 when it is,
  // or the failure.
  static const ComInterfaceEntry Interfaces[];
  qvunit::Family m_family;
};

class CDevDnvUnit : public CDevFamilyUnit {
 public:
  CDevDnvUnit(IUnknown* outer, CQvDevice* device, HRESULT* result)
      : CDevFamilyUnit(qvunit::Family::Dnv, outer, device, result) {}
  ULONG PageList(const GUID** out) override;
  HRESULT Poll() override;
  // Activation: the device acquired, the firmware step, a refresh.
  HRESULT StartUnit() override;
  HRESULT Refresh() override;
  HRESULT GetSettings(uint32_t* record);
  HRESULT SetSettings(const uint32_t* words);
  HRESULT AdviseSettings(IQVSettingsSink* sink, DWORD_PTR* cookie);
  HRESULT UnadviseSettings(DWORD_PTR cookie);
  qvunit::Settings<2, 1> m_settings;
  qvunit::SinkSlots<IQVSettingsSink> m_sinks;
  uint32_t m_words[2] = {};
};

class CDevTv2Unit : public CDevFamilyUnit {
 public:
  CDevTv2Unit(IUnknown* outer, CQvDevice* device, HRESULT* result)
      : CDevFamilyUnit(qvunit::Family::Tv2, outer, device, result) {}
  ULONG PageList(const GUID** out) override;
  HRESULT Poll() override;
  HRESULT GetSettings(uint32_t* record);
  HRESULT SetSettings(const uint32_t* words);
  HRESULT AdviseSettings(IQVSettingsSink* sink, DWORD_PTR* cookie);
  HRESULT UnadviseSettings(DWORD_PTR cookie);
  // Track groups (4, 5) are the board's stream groups (6, 7).
  HRESULT CheckTv2Selection(const qvmix::Selection* request, qvmix::Selection* selection);
  qvunit::Settings<4, 2> m_settings;
  qvunit::SinkSlots<IQVSettingsSink> m_sinks;
  uint32_t m_words[4] = {};
};

class CDevCblUnit : public CDevFamilyUnit {
 public:
  CDevCblUnit(IUnknown* outer, CQvDevice* device, HRESULT* result);
  ULONG PageList(const GUID** out) override;
  HRESULT Poll() override;
  // Activation: the device acquired, the firmware step of card and
  // converter, the converter's settings word, its route table, a refresh,
  // the card's initial routing. Deactivation detaches the device (the
  // base's stop).
  HRESULT StartUnit() override;
  HRESULT Refresh() override;
  // The converter's child item under the unit's tree item.
  void AddToTree(HTREEITEM after) override;
  void RemoveFromTree() override;
  void UpdateConverterItem();
  bool ConverterPresent() const { return m_converter && m_converter->Present(); }
  CLumoraUnit* m_converter = nullptr;  // also the unit's inner object
  HTREEITEM m_converterItem = nullptr;
  uint32_t m_rateNow = 0;
};

class CDevTvrUnit : public CDevFamilyUnit {
 public:
  CDevTvrUnit(IUnknown* outer, CQvDevice* device, HRESULT* result)
      : CDevFamilyUnit(qvunit::Family::Tvr, outer, device, result) {}
  ULONG PageList(const GUID** out) override;
};

// The Tavrion's property page ("Quorvale.DeviceTvr.Prop", dialog 140).
class CTvrPage : public CPropPage {
 public:
  explicit CTvrPage(IUnknown* outer);
  ~CTvrPage() override;
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  HRESULT STDMETHODCALLTYPE Apply() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  IQVDevice* m_device = nullptr;
  HWND m_topLevel = nullptr;
  LCID m_locale = 0;
};
IUnknown* CreateTvrPage(const CLSID* clsid, IUnknown* outer, HRESULT* result);
