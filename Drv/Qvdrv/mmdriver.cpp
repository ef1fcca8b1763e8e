// The multimedia driver entries: DriverProc, one MIDI input port and one MIDI
// output port that keep the protocol without reaching any hardware, and wave
// entries that report no devices.
#include "Drv/Qvdrv/qvdrv_private.h"
#include "Inc/base.h"

#include <mmsystem.h>
#include <mmddk.h>

#include <cstring>
#include <cwchar>

extern "C" BOOL WINAPI DriverCallback(DWORD_PTR callback, DWORD flags, HDRVR device, DWORD message, DWORD_PTR user,
                                      DWORD_PTR param1, DWORD_PTR param2);

namespace {

// One open MIDI port.
struct MidiPort {
  DWORD_PTR device;    // handle from the open description, passed back in callbacks
  DWORD_PTR callback;  // function, window, event or thread, per the flags
  DWORD_PTR instance;  // the client's instance word
  DWORD flags;         // open flags; the high 16 bits select the callback type
  MIDIHDR* tail;       // last header of the circular queue (its link is the head), 0 when empty
  DWORD start;         // timeGetTime at open and at MIDM_START
};
static_assert(sizeof(void*) != 4 || sizeof(MidiPort) == 24);

constexpr WORD QuorvaleMid = 248;
constexpr DWORD MinHeaderSize = 64;

void Notify(const MidiPort* port, DWORD message, DWORD_PTR param1, DWORD_PTR param2) {
  if (port->callback)
    DriverCallback(port->callback, HIWORD(port->flags), reinterpret_cast<HDRVR>(port->device), message,
                   port->instance, param1, param2);
}

DWORD CopyCaps(const void* caps, DWORD capsSize, DWORD_PTR out, DWORD_PTR size) {
  if (size == 0) return MMSYSERR_NOERROR;
  if (!out) return MMSYSERR_INVALPARAM;
  std::memcpy(reinterpret_cast<void*>(out), caps, size < capsSize ? size : capsSize);
  return MMSYSERR_NOERROR;
}

DWORD InputCaps(UINT id, DWORD_PTR out, DWORD_PTR size) {
  MIDIINCAPSW caps{};
  caps.wMid = QuorvaleMid;
  caps.wPid = 2;
  caps.vDriverVersion = 0x0100;
  _snwprintf(caps.szPname, MAXPNAMELEN - 1, L"Inp %u Quorvale", id + 1);
  return CopyCaps(&caps, sizeof caps, out, size);
}

DWORD OutputCaps(UINT id, DWORD_PTR out, DWORD_PTR size) {
  MIDIOUTCAPSW caps{};
  caps.wMid = QuorvaleMid;
  caps.wPid = 1;
  caps.vDriverVersion = 0x0100;
  _snwprintf(caps.szPname, MAXPNAMELEN - 1, L"Out %u Quorvale", id + 1);
  caps.wTechnology = MOD_MIDIPORT;
  return CopyCaps(&caps, sizeof caps, out, size);
}

DWORD Open(DWORD_PTR user, DWORD_PTR desc, DWORD_PTR flags, DWORD openMessage) {
  auto* description = reinterpret_cast<const MIDIOPENDESC*>(desc);
  auto* where = reinterpret_cast<MidiPort**>(user);
  if (!description || !where) return MMSYSERR_INVALPARAM;
  auto* port = static_cast<MidiPort*>(MemAlloc(sizeof(MidiPort)));
  if (!port) return MMSYSERR_NOMEM;
  port->device = reinterpret_cast<DWORD_PTR>(description->hMidi);
  port->callback = description->dwCallback;
  port->instance = description->dwInstance;
  port->flags = static_cast<DWORD>(flags);
  Notify(port, openMessage, 0, 0);
  port->start = timeGetTime();
  *where = port;
  return MMSYSERR_NOERROR;
}

MIDIHDR* ValidHeader(DWORD_PTR header, DWORD_PTR size) {
  auto* h = reinterpret_cast<MIDIHDR*>(header);
  return h && size >= MinHeaderSize ? h : nullptr;
}

DWORD Prepare(DWORD_PTR header, DWORD_PTR size, bool prepare) {
  MIDIHDR* h = ValidHeader(header, size);
  if (!h) return MMSYSERR_INVALPARAM;
  if (prepare) h->dwFlags |= MHDR_PREPARED;
  else h->dwFlags &= ~MHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

// Hands every queued header back, from the head on, marked done.
DWORD ReturnQueue(MidiPort* port, DWORD doneMessage) {
  while (MIDIHDR* tail = port->tail) {
    MIDIHDR* head = tail->lpNext;
    if (head == tail) port->tail = nullptr;
    else tail->lpNext = head->lpNext;
    head->lpNext = nullptr;
    head->dwFlags = (head->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
    Notify(port, doneMessage, reinterpret_cast<DWORD_PTR>(head), timeGetTime() - port->start);
  }
  return MMSYSERR_NOERROR;
}

DWORD AddBuffer(MidiPort* port, DWORD_PTR header, DWORD_PTR size) {
  MIDIHDR* h = ValidHeader(header, size);
  if (!h) return MMSYSERR_INVALPARAM;
  if (!(h->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
  h->dwBytesRecorded = 0;
  h->dwFlags = (h->dwFlags & ~MHDR_DONE) | MHDR_INQUEUE;
  h->dwReserved[0] = reinterpret_cast<DWORD_PTR>(port);
  if (port->tail) {
    h->lpNext = port->tail->lpNext;
    port->tail->lpNext = h;
  } else {
    h->lpNext = h;
  }
  port->tail = h;
  return MMSYSERR_NOERROR;
}

// Long data sent to the output port is dropped, but the header is handed
// back done so that a client waiting for MHDR_DONE goes on.
DWORD LongData(MidiPort* port, DWORD_PTR header, DWORD_PTR size) {
  MIDIHDR* h = ValidHeader(header, size);
  if (!h) return MMSYSERR_INVALPARAM;
  if (!(h->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
  h->dwFlags = (h->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
  Notify(port, MOM_DONE, header, 0);
  return MMSYSERR_NOERROR;
}

DWORD Close(MidiPort* port, DWORD doneMessage) {
  // Buffers still queued go back to the client before the port goes.
  ReturnQueue(port, doneMessage);
  MemFree(port);
  return MMSYSERR_NOERROR;
}

}  // namespace

extern "C" {

LRESULT WINAPI DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1, LPARAM param2) {
  switch (message) {
    case DRV_LOAD:
    case DRV_ENABLE:
    case DRV_OPEN:
    case DRV_CLOSE:
    case DRV_FREE:
    case DRV_CONFIGURE:
    case DRV_DISABLE: return 1;
    case DRV_QUERYCONFIGURE: return 0;
    default: return DefDriverProc(driverId, driver, message, param1, param2);
  }
}

DWORD WINAPI modMessage(UINT id, UINT message, DWORD_PTR user, DWORD_PTR param1, DWORD_PTR param2) {
  switch (message) {
    case MODM_GETNUMDEVS: return 1;
    case MODM_GETDEVCAPS: return OutputCaps(id, param1, param2);
    case MODM_OPEN: return Open(user, param1, param2, MOM_OPEN);
    default: break;
  }
  auto* port = reinterpret_cast<MidiPort*>(user);
  if (!port) return message == MODM_CLOSE ? MMSYSERR_BADDEVICEID : MMSYSERR_NOTSUPPORTED;
  switch (message) {
    case MODM_CLOSE: return Close(port, MOM_DONE);
    case MODM_PREPARE: return Prepare(param1, param2, true);
    case MODM_UNPREPARE: return Prepare(param1, param2, false);
    case MODM_DATA: return MMSYSERR_NOERROR;
    case MODM_LONGDATA: return LongData(port, param1, param2);
    case MODM_RESET: return ReturnQueue(port, MOM_DONE);
    default: return MMSYSERR_NOTSUPPORTED;
  }
}

DWORD WINAPI midMessage(UINT id, UINT message, DWORD_PTR user, DWORD_PTR param1, DWORD_PTR param2) {
  switch (message) {
    case MIDM_GETNUMDEVS: return 1;
    case MIDM_GETDEVCAPS: return InputCaps(id, param1, param2);
    case MIDM_OPEN: return Open(user, param1, param2, MIM_OPEN);
    default: break;
  }
  auto* port = reinterpret_cast<MidiPort*>(user);
  if (!port) return message == MIDM_CLOSE ? MMSYSERR_BADDEVICEID : MMSYSERR_NOTSUPPORTED;
  switch (message) {
    case MIDM_CLOSE: return Close(port, MIM_LONGDATA);
    case MIDM_PREPARE: return Prepare(param1, param2, true);
    case MIDM_UNPREPARE: return Prepare(param1, param2, false);
    case MIDM_ADDBUFFER: return AddBuffer(port, param1, param2);
    case MIDM_START: port->start = timeGetTime(); return MMSYSERR_NOERROR;
    case MIDM_STOP: return MMSYSERR_NOERROR;
    case MIDM_RESET: return ReturnQueue(port, MIM_LONGDATA);
    default: return MMSYSERR_NOTSUPPORTED;
  }
}

DWORD WINAPI wodMessage(UINT, UINT message, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  return message == WODM_GETNUMDEVS ? 0 : MMSYSERR_NOTSUPPORTED;
}

DWORD WINAPI widMessage(UINT, UINT message, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  return message == WIDM_GETNUMDEVS ? 0 : MMSYSERR_NOTSUPPORTED;
}

}  // extern "C"
