// The board table, AddDevice and the creation of board devices with their
// names and counters.
#include "kernel/qvdev.h"
#include "kernel/pciboard.h"
#include "kernel/unitdev.h"

#include <cstring>

const BoardRow BoardTable[BoardTableRows] = {
    {BoardIdTke, u"Norvik/Trake1", u"Qvtke"},
    {BoardIdTkeEpp, u"Norvik/Trake1 Epp", u"Qvepp"},
    {BoardIdTvr, u"Tavrion", u"PCI\\VEN_1057&DEV_1801&SUBSYS_234589AB"},
    {BoardIdTv2, u"Tavrion", u"PCI\\VEN_1057&DEV_1801&SUBSYS_192089AB"},
    {BoardIdCbl, u"Corbelle", u"PCI\\VEN_1057&DEV_1801&SUBSYS_693589AB"},
    {BoardIdDnv, u"Dunvell", u"PCI\\VEN_1556&DEV_1101"},
    {BoardIdMio, u"Mixer I/O", u"PCI\\VEN_1057&DEV_1801&SUBSYS_9A3E89AB"},
    {BoardIdTkePci, u"Norvik/Trake1 Pci", u"PCI\\VEN_1057&DEV_1801&SUBSYS_00018917"},
    {BoardIdTkeEppPci, u"Norvik/Trake1 Epp", u"PCI\\VEN_1415&DEV_8403&SUBSYS_00001415"},
    {BoardIdTkeEppPci, u"Norvik/Trake1 Epp", u"PCI\\VEN_1409&DEV_7268&SUBSYS_01031409"},
};

namespace {
// Device-name stems by board id, each with a counter that only grows while
// the driver is loaded.
struct Stem {
  const WCHAR* stem;
  uint32_t ids[4];
};
const Stem Stems[] = {
    {u"Qvdev", {BoardIdTke, BoardIdTkePci, BoardIdTkeEpp, BoardIdTkeEppPci}},
    {u"Qvtvr", {BoardIdTvr, BoardIdTv2}},
    {u"Qvcbl", {BoardIdCbl}},
    {u"Qvdnv", {BoardIdDnv}},
    {u"Qvmio", {BoardIdMio}},
};
constexpr int StemCount = sizeof Stems / sizeof Stems[0];
uint32_t g_stemCounters[StemCount];

int StemOf(uint32_t boardId) {
  for (int i = 0; i < StemCount; ++i)
    for (uint32_t id : Stems[i].ids)
      if (id && id == boardId) return i;
  return -1;
}

constexpr uint32_t HardwareIdBytes = 512;
constexpr uint32_t QvDeviceObjectType = 0x83AE;

// Builds "\Device\<name>" and "\??\<name>" into the start record.
NTSTATUS BuildNames(QvStartRecord* r, const UNICODE_STRING* name) {
  uint16_t chars = static_cast<uint16_t>(name->Length / 2 + 9);
  r->deviceName = KsStringAlloc(chars);
  r->linkName = KsStringAlloc(chars);
  if (!r->deviceName || !r->linkName) return STATUS_INSUFFICIENT_RESOURCES;
  KsStringAppendText(r->deviceName, u"\\Device\\");
  KsStringAppend(r->deviceName, name);
  KsStringAppendText(r->linkName, u"\\??\\");
  return KsStringAppend(r->linkName, name);
}

// "Tavrion" for number 0, "Tavrion 2" for number 1 and so on.
void WriteDeviceValues(DEVICE_OBJECT* pdo, const CBoardDevice* board) {
  HANDLE key;
  if (!NT_SUCCESS(KsOpenDeviceKey(pdo, &key))) return;
  UNICODE_STRING name = board->Name();
  WCHAR text[40] = {};
  UNICODE_STRING s{0, sizeof text - 2, text};
  KsStringAppend(&s, &name);
  KsRegWriteString(key, u"DeviceName", text);
  std::memset(text, 0, sizeof text);
  s.Length = 0;
  KsStringAppendText(&s, board->Row()->productName);
  if (board->Number() >= 1) {
    KsStringAppendChar(&s, u' ');
    KsStringAppendNumber(&s, board->Number() + 1, 10);
  }
  KsRegWriteString(key, u"FriendlyName", text);
  KsRegClose(key);
}
}  // namespace

void QvResetCounters() {
  for (auto& c : g_stemCounters) c = 0;
  g_QvBusCounter = 0;
}

const BoardRow* BoardRowOf(uint32_t boardId) {
  for (const auto& row : BoardTable)
    if (row.boardId == boardId) return &row;
  return nullptr;
}

bool IsPciDspBoard(uint32_t boardId) {
  return boardId == BoardIdTvr || boardId == BoardIdTv2 || boardId == BoardIdCbl || boardId == BoardIdDnv ||
         boardId == BoardIdMio;
}

const BoardRow* MatchHardwareId(const UNICODE_STRING* firstId) {
  for (const auto& row : BoardTable) {
    UNICODE_STRING prefix = KsStringOf(row.hardwareId);
    if (KsStringPrefix(&prefix, firstId, true)) return &row;
  }
  return nullptr;
}

CBoardDevice* CreateBoardDevice(QvStartRecord* r, uint32_t boardId) {
  const BoardRow* row = BoardRowOf(boardId);
  if (!row) return nullptr;
  uint32_t number = 0;
  if (!r->deviceName) {
    int stem = StemOf(boardId);
    if (stem < 0) return nullptr;
    number = g_stemCounters[stem]++;
    WCHAR text[24] = {};
    UNICODE_STRING name{0, sizeof text - 2, text};
    KsStringAppendText(&name, Stems[stem].stem);
    KsStringAppendNumber(&name, number, 10);
    if (!NT_SUCCESS(BuildNames(r, &name))) return nullptr;
  }
  DEVICE_OBJECT* device;
  bool units = CUnitDevice::HasUnits(boardId);
  uint32_t size = units ? sizeof(CUnitDevice) : PciBoardSize(boardId);
  if (!size) return nullptr;
  if (!NT_SUCCESS(IoCreateDevice(r->driver, size, r->deviceName, QvDeviceObjectType, 0, false,
                                 &device))) {
    KsLogEvent(nullptr, QvEventNoDevice, STATUS_SUCCESS, r->deviceName->Buffer, 0, nullptr);
    return nullptr;
  }
  if (!NT_SUCCESS(IoCreateSymbolicLink(r->linkName, r->deviceName))) {
    KsLogEvent(device, QvEventNoLink, STATUS_SUCCESS, r->linkName->Buffer, 0, nullptr);
    IoDeleteDevice(device);
    return nullptr;
  }
  DEVICE_OBJECT* lower = r->pdo ? IoAttachDeviceToDeviceStack(device, r->pdo) : nullptr;
  // Each family has its class: the recorder units one, each PCI DSP board its own.
  CBoardDevice* board = units ? new (device->DeviceExtension) CUnitDevice(device, r->pdo, lower, row, number)
                              : NewPciBoard(device->DeviceExtension, device, r->pdo, lower, row, number);
  if (!NT_SUCCESS(board->SetLinkName(r->linkName))) {
    IoDeleteSymbolicLink(r->linkName);
    if (lower) IoDetachDevice(lower);
    board->Destroy();
    return nullptr;
  }
  device->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;
  device->Flags &= ~DO_DEVICE_INITIALIZING;
  return board;
}

NTSTATUS AddDevice(DRIVER_OBJECT* driver, DEVICE_OBJECT* pdo) {
  WCHAR ids[HardwareIdBytes / 2];
  uint32_t length = 0;
  if (!NT_SUCCESS(g_KsRoutines.IoGetDeviceProperty(pdo, DevicePropertyHardwareID, sizeof ids, ids, &length)))
    return STATUS_UNSUCCESSFUL;
  // The first id: the text up to its terminating zero, within what was read.
  uint32_t chars = 0, limit = (length < sizeof ids ? length : sizeof ids) / 2;
  while (chars < limit && ids[chars]) ++chars;
  UNICODE_STRING first{static_cast<uint16_t>(chars * 2), static_cast<uint16_t>(chars * 2), ids};
  const BoardRow* row = MatchHardwareId(&first);
  if (!row) return STATUS_UNSUCCESSFUL;

  QvStartRecord r{driver, pdo, nullptr, nullptr, nullptr, nullptr};
  CBoardDevice* board = CreateBoardDevice(&r, row->boardId);
  QvFreeStartRecord(&r);
  if (!board) return STATUS_UNSUCCESSFUL;
  WriteDeviceValues(pdo, board);
  return STATUS_SUCCESS;
}
