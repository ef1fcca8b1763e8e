// The converter unit of a Corbelle card and the firmware steps that run
// when a board unit is activated.
#pragma once
#include "Drv/QvMixDev/mixdev.h"
#include "Drv/Qvcom/units.h"

// The converter behind a Corbelle card: what the card's status words say of
// it, and the settings word that the card sends it. Held by the card unit
// as its aggregated inner object.
class CLumoraUnit : public CCom {
 public:
  // A converter for the card unit (not counted: the card holds the
  // converter). Null with *result set when there is no memory.
  static CLumoraUnit* Create(CMixDevUnit* card, HRESULT* result);
  explicit CLumoraUnit(CMixDevUnit* card);

  // Takes the card's 16 status bytes; true when they differ from the copy.
  bool SetConfig(const uint32_t words[4]);
  // Re-applies the converter's setup: its settings word goes to the card
  // again when the card reports another one.
  HRESULT Refresh();
  // Sends a settings word with SET_PARAM; kept once the card has it.
  HRESULT SendSettings(uint32_t word);
  bool Present() const { return m_state.present; }

  CMixDevUnit* m_card;
  uint32_t m_words[4] = {};
  qvunit::ConverterState m_state = {};
  uint32_t m_settings = 0;
  bool m_haveSettings = false;
};

// The converter's route table stored as the REG_BINARY value
// "LumoraRouteTable" of the card's unit key, sent with SET_ROUTES. No
// serial or no value: nothing to apply (S_OK).
HRESULT LoadRouteTable(CLumoraUnit* converter, DWORD flags);

// The firmware steps of activation. The firmware this library carries is
// what the boards are booted with at attach, so a step confirms that the
// board is the family the step is for (and, for the Corbelle, reads its
// converter's type, version and settings) and flashes nothing.
HRESULT UpdateTv2Firmware(CMixDevUnit* unit, DWORD flags);
HRESULT UpdateCblFirmware(CLumoraUnit* converter, CQvDevice* device, DWORD flags);
