// The Corbelle's converter unit, its route table and the firmware steps.
#include "Drv/QvMixDev/lumora.h"

#include "Drv/Qvdrv/qvdrv_private.h"
#include "kernel/protocol.h"

#include <vector>

namespace {
const ComInterfaceEntry kLumoraInterfaces[] = {{nullptr, 0}};

// The longest route table taken from the registry: a byte per converter
// destination, as 4-byte entries, with room for its opening and closing.
constexpr DWORD kMaxRouteTable = 4 * 1024;

HRESULT ReadBoardId(CQvDevice* device, uint32_t* boardId) {
  uint32_t id[3] = {};
  DWORD got = 0;
  HRESULT hr = device->IoControl(IOCTL_QV_GET_ID, nullptr, 0, id, sizeof id, &got, nullptr);
  if (SUCCEEDED(hr) && got < sizeof id) hr = E_FAIL;
  *boardId = id[2];
  return hr;
}
}  // namespace

CLumoraUnit* CLumoraUnit::Create(CMixDevUnit* card, HRESULT* result) {
  auto* unit = new (std::nothrow) CLumoraUnit(card);
  if (!unit) *result = E_OUTOFMEMORY;
  return unit;
}

CLumoraUnit::CLumoraUnit(CMixDevUnit* card) : CCom(card->m_outer, 0, kLumoraInterfaces, true), m_card(card) {}

bool CLumoraUnit::SetConfig(const uint32_t words[4]) {
  if (memcmp(words, m_words, sizeof m_words) == 0) return false;
  memcpy(m_words, words, sizeof m_words);
  m_state = qvunit::ReadConverterState(words);
  // The first words heard give the settings the converter runs with.
  if (!m_haveSettings && m_state.present) {
    m_settings = m_state.settings;
    m_haveSettings = true;
  }
  return true;
}

HRESULT CLumoraUnit::SendSettings(uint32_t word) {
  HRESULT hr = m_card->m_device->IoControl(IOCTL_QV_SET_PARAM, &word, 4, nullptr, 0, nullptr, nullptr);
  if (SUCCEEDED(hr)) {
    m_settings = word;
    m_haveSettings = true;
  }
  return hr;
}

HRESULT CLumoraUnit::Refresh() {
  if (!m_haveSettings || !m_state.present || m_state.settings == m_settings) return S_OK;
  return SendSettings(m_settings);
}

HRESULT LoadRouteTable(CLumoraUnit* converter, DWORD) {
  if (!converter) return E_POINTER;
  CMixDevUnit* card = converter->m_card;
  HKEY key = nullptr;
  LONG e = OpenUnitKey(card->m_serialLow, card->m_serialHigh, nullptr, &key);
  if (e == ERROR_INVALID_PARAMETER) return S_OK;  // a unit without a serial has no key
  if (e != ERROR_SUCCESS) return HRESULT_FROM_WIN32(e);
  DWORD type = 0, size = 0;
  e = RegQueryValueExA(key, "LumoraRouteTable", nullptr, &type, nullptr, &size);
  HRESULT hr = S_OK;
  if (e == ERROR_SUCCESS) {
    if (type != REG_BINARY || size == 0 || size % 4 || size > kMaxRouteTable) {
      hr = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    } else {
      std::vector<BYTE> table(size);
      e = RegQueryValueExA(key, "LumoraRouteTable", nullptr, &type, table.data(), &size);
      hr = e != ERROR_SUCCESS ? HRESULT_FROM_WIN32(e)
                              : card->m_device->IoControl(IOCTL_QV_SET_ROUTES, table.data(), size, nullptr, 0, nullptr,
                                                          nullptr);
    }
  } else if (e != ERROR_FILE_NOT_FOUND) {
    hr = HRESULT_FROM_WIN32(e);
  }
  RegCloseKey(key);
  return hr;
}

// Between loader and program the card's firmware step: the loader answers
// with the card's identity; the flash holds what this library carries, so
// nothing is written.
BOOL BootCblImages(CQvDevice* device, HMODULE images) {
  if (!device) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HMODULE from = images ? images : QvdrvModule();
  if (!device->BootResource(105, from)) return FALSE;
  uint32_t board = 0;
  HRESULT hr = ReadBoardId(device, &board);
  if (FAILED(hr) || board != BoardIdCbl) {
    SetLastError(FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_BAD_UNIT);
    return FALSE;
  }
  return device->BootResource(109, from);
}

HRESULT UpdateTv2Firmware(CMixDevUnit* unit, DWORD) {
  if (!unit || !unit->m_device) return E_POINTER;
  uint32_t board = 0;
  HRESULT hr = ReadBoardId(unit->m_device, &board);
  if (FAILED(hr)) return hr;
  return board == BoardIdDnv || board == BoardIdTv2 ? S_OK : HRESULT_FROM_WIN32(ERROR_BAD_UNIT);
}

HRESULT UpdateCblFirmware(CLumoraUnit* converter, CQvDevice* device, DWORD) {
  if (!converter || !device) return E_POINTER;
  uint32_t board = 0;
  HRESULT hr = ReadBoardId(device, &board);
  if (FAILED(hr)) return hr;
  if (board != BoardIdCbl) return HRESULT_FROM_WIN32(ERROR_BAD_UNIT);
  uint32_t words[4] = {};
  DWORD got = 0;
  hr = device->IoControl(IOCTL_QV_GET_PARAM, nullptr, 0, words, sizeof words, &got, nullptr);
  if (SUCCEEDED(hr) && got != sizeof words) hr = E_FAIL;
  if (SUCCEEDED(hr)) {
    device->Lock();
    converter->SetConfig(words);
    device->Unlock();
  }
  return hr;
}
