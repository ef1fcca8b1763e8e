// The PCI DSP boards through the user-mode side: each family's class and
// identity, its reading of the pass-through range and who may send it, the
// interfaces a board publishes and the channel limits of its WDM interface.
#include "kernel/pciboard.h"
#include "kernel/tests/fixture.h"
#include "sim/pcidsp/dunvell.h"

#include <cstring>

namespace {
constexpr uint32_t ReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr uint32_t ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The host interface's status register as the ready check reads it: bit 5
// set while the firmware runs.
struct HostInterface : simbus::RegisterDevice {
  uint32_t hstr = 0;
  uint32_t Read(uint32_t offset, uint32_t) override { return offset == 0x14 ? hstr : 0; }
  void Write(uint32_t, uint32_t, uint32_t) override {}
};

NTSTATUS Ioctl(UmHandle h, uint32_t code, const void* in = nullptr, uint32_t inLen = 0, void* out = nullptr,
               uint32_t outLen = 0) {
  uint32_t got = 0;
  return UmIoControl(h, code, in, inLen, out, outLen, &got);
}

// The links of a board's enabled interfaces of one class.
std::vector<std::u16string> Enabled(const GUID& cls, DEVICE_OBJECT* pdo) {
  WCHAR* list = nullptr;
  std::vector<std::u16string> links;
  if (!NT_SUCCESS(IoGetDeviceInterfaces(&cls, pdo, 0, &list))) return links;
  for (WCHAR* p = list; *p; p += links.back().size() + 1) links.emplace_back(p);
  ExFreePool(list);
  return links;
}
}  // namespace

TEST(BoardPassThrough, EachFamilyReadsTheRangeItsOwnWay) {
  struct Case {
    const char* what;
    uint32_t boardId, code, dsps;
    NTSTATUS status;
    uint32_t command, dsp;
  };
  const Case cases[] = {
      {"Tavrion drops the read-format bits", BoardIdTvr, 0x83AE3224, 1, STATUS_SUCCESS, 0x800011, 0},
      {"second generation alike", BoardIdTv2, 0x83AE3F1C, 1, STATUS_SUCCESS, 0x800078, 0},
      {"Tavrion below 0x83AE3100", BoardIdTvr, 0x83AE30E0, 1, STATUS_INVALID_DEVICE_REQUEST, 0, 0},
      {"Mixer I/O by four", BoardIdMio, 0x83AE3224, 1, STATUS_SUCCESS, 0x800089, 0},
      {"Corbelle from the range's start", BoardIdCbl, 0x83AE3000, 1, STATUS_SUCCESS, 0x800000, 0},
      {"not word-aligned", BoardIdCbl, 0x83AE3002, 1, STATUS_INVALID_DEVICE_REQUEST, 0, 0},
      {"outside the range", BoardIdCbl, 0x83AE2800, 1, STATUS_INVALID_DEVICE_REQUEST, 0, 0},
      {"Dunvell operation 0 of DSP 1", BoardIdDnv, 0x83AE3000 + (64 + 0) * 4, 2, STATUS_SUCCESS, 0x800000, 1},
      {"Dunvell operation 23", BoardIdDnv, 0x83AE3000 + 23 * 4, 1, STATUS_SUCCESS, 23, 0},
      {"Dunvell operation 5", BoardIdDnv, 0x83AE3000 + 5 * 4, 1, STATUS_NOT_SUPPORTED, 0, 0},
      {"Dunvell operation 24", BoardIdDnv, 0x83AE3000 + 24 * 4, 1, STATUS_NOT_SUPPORTED, 0, 0},
      {"Dunvell DSP beyond its count", BoardIdDnv, 0x83AE3000 + (128 + 14) * 4, 2, STATUS_NOT_SUPPORTED, 0, 0},
      {"Dunvell without DSPs", BoardIdDnv, 0x83AE3000 + 14 * 4, 0, STATUS_NOT_SUPPORTED, 0, 0},
      {"host-interface units are no board", BoardIdTke, 0x83AE3200, 1, STATUS_INVALID_DEVICE_REQUEST, 0, 0},
  };
  for (const auto& c : cases) {
    QvBoardCommand got{1, 1};
    EXPECT_EQ(QvBoardPassThrough(c.boardId, c.code, c.dsps, &got), c.status) << c.what;
    if (c.status == STATUS_SUCCESS) {
      EXPECT_EQ(got.command, c.command) << c.what;
      EXPECT_EQ(got.dsp, c.dsp) << c.what;
    }
  }
}

class BoardTest : public KernelTest {
 protected:
  void SetUp() override {
    KernelTest::SetUp();
    ASSERT_EQ(Load(), STATUS_SUCCESS);
  }
  void TearDown() override {
    for (UmHandle h : handles) UmClose(h);
    for (DEVICE_OBJECT* pdo : pdos) RemoveNode(pdo);
    KernelTest::TearDown();
  }
  // A board in a slot, its host interface showing `hstr`.
  DEVICE_OBJECT* Board(const simbus::PciIdentity& id, uint32_t slot, uint32_t hstr = 0x20) {
    simbus::DeviceNode node = simbus::PciNode(id, slot);
    host[slot].hstr = hstr;
    // The Dunvell answers through its controller.
    simbus::RegisterDevice* device = id.vendor == 0x1556 ? static_cast<simbus::RegisterDevice*>(&dunvell)
                                                         : static_cast<simbus::RegisterDevice*>(&host[slot]);
    simbus::Place(simbus::ResKind::Memory, node.resources[0].start, node.resources[0].length, device);
    km::Arrival a = Arrive(node);
    EXPECT_EQ(a.startStatus, STATUS_SUCCESS);
    pdos.push_back(a.pdo);
    return a.pdo;
  }
  UmHandle Open(const char* name) {
    UmHandle h = 0;
    EXPECT_EQ(UmOpen(name, ReadWrite, ShareAll, &h), STATUS_SUCCESS) << name;
    handles.push_back(h);
    return h;
  }
  static CPciBoardDevice* Pci(const char16_t* name) {
    return static_cast<CPciBoardDevice*>(KernelTest::Board(name));
  }

  HostInterface host[8];
  simpcidsp::Dunvell dunvell{0};
  std::vector<DEVICE_OBJECT*> pdos;
  std::vector<UmHandle> handles;
};

TEST_F(BoardTest, EveryFamilyHasItsClassAndIdentity) {
  struct Family {
    simbus::PciIdentity id;
    const char* name;
    uint32_t boardId;
  };
  const Family families[] = {{{0x1057, 0x1801, 0x89AB, 0x2345}, "\\\\.\\Qvtvr0", BoardIdTvr},
                             {{0x1057, 0x1801, 0x89AB, 0x1920}, "\\\\.\\Qvtvr1", BoardIdTv2},
                             {{0x1057, 0x1801, 0x89AB, 0x6935}, "\\\\.\\Qvcbl0", BoardIdCbl},
                             {{0x1057, 0x1801, 0x89AB, 0x9A3E}, "\\\\.\\Qvmio0", BoardIdMio},
                             {{0x1556, 0x1101, 0x0000, 0x0000}, "\\\\.\\Qvdnv0", BoardIdDnv}};
  uint32_t slot = 1;
  for (const auto& f : families) {
    SCOPED_TRACE(f.name);
    Board(f.id, slot++);
    UmHandle h = Open(f.name), second = Open(f.name);
    uint32_t words[3] = {};
    ASSERT_EQ(Ioctl(h, IOCTL_QV_GET_ID, nullptr, 0, words, sizeof words), STATUS_SUCCESS);
    EXPECT_EQ(words[0], QvInterfaceVersion);
    EXPECT_EQ(words[1], 0u) << "no DSP program loaded";
    EXPECT_EQ(words[2], f.boardId);
    EXPECT_EQ(Ioctl(h, IOCTL_QV_ATTACH), STATUS_SUCCESS);
    EXPECT_EQ(Ioctl(second, IOCTL_QV_ATTACH), STATUS_DEVICE_BUSY);
    EXPECT_EQ(Ioctl(h, IOCTL_QV_DETACH), STATUS_SUCCESS);
    // The wave device hands the board's identity out by ring index.
    uint8_t index = static_cast<uint8_t>(slot - 2);
    uint32_t ring[3] = {};
    UmHandle w = Open("\\\\.\\Qvwave");
    ASSERT_EQ(Ioctl(w, IOCTL_QV_GET_ID, &index, 1, ring, sizeof ring), STATUS_SUCCESS);
    EXPECT_EQ(ring[2], f.boardId);
  }
}

TEST_F(BoardTest, PassThroughNeedsTheOwnerAndARunningBoard) {
  Board({0x1057, 0x1801, 0x89AB, 0x2345}, 1, 0);  // Tavrion, firmware not running
  Board({0x1057, 0x1801, 0x89AB, 0x9A3E}, 2);     // Mixer I/O
  Board({0x1556, 0x1101, 0, 0}, 3);               // Dunvell, no DSPs
  struct Case {
    const char* name;
    NTSTATUS attach, nobody, other, owner;
  };
  // The owner's request gets as far as the mailbox, whose FIFO this host
  // interface never empties, so it times out; the Tavrion stops at its
  // ready check; the Dunvell's commands are not served here.
  const Case cases[] = {
      {"\\\\.\\Qvtvr0", STATUS_BUS_RESET, STATUS_INVALID_DEVICE_STATE, STATUS_DEVICE_BUSY, STATUS_BUS_RESET},
      {"\\\\.\\Qvmio0", STATUS_SUCCESS, STATUS_SHARING_VIOLATION, STATUS_SHARING_VIOLATION, STATUS_IO_TIMEOUT},
      {"\\\\.\\Qvdnv0", STATUS_SUCCESS, STATUS_SHARING_VIOLATION, STATUS_SHARING_VIOLATION, STATUS_NOT_SUPPORTED},
  };
  const uint32_t code = 0x83AE3224;
  std::vector<UmHandle> owners;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UmHandle owner = Open(c.name), other = Open(c.name);
    owners.push_back(owner);
    uint32_t word = 1;
    EXPECT_EQ(Ioctl(other, code, &word, 4), c.nobody);
    EXPECT_EQ(Ioctl(owner, IOCTL_QV_ATTACH), c.attach) << "the ready check's answer; the owner is set";
    EXPECT_EQ(Ioctl(other, code, &word, 4), c.other);
    EXPECT_EQ(Ioctl(owner, code, &word, 4, &word, 4), c.owner);
  }
  host[1].hstr = 0x20;
  EXPECT_EQ(Ioctl(owners[0], code), STATUS_IO_TIMEOUT) << "running now";
  const uint32_t image = 0x12345678;
  EXPECT_EQ(Ioctl(owners[2], IOCTL_QV_LOAD, &image, 4), STATUS_NOT_SUPPORTED) << "no loader on the Dunvell";
}

TEST_F(BoardTest, InterfacesFollowTheBoardAndItsKeys) {
  DEVICE_OBJECT* pdo = Board({0x1057, 0x1801, 0x89AB, 0x2345}, 1);
  CPciBoardDevice* board = Pci(u"\\Device\\Qvtvr0");
  EXPECT_EQ(Enabled(CLSID_QvMixerDevice, pdo).size(), 1u) << "the mixer-device interface from the start";
  EXPECT_TRUE(Enabled(GUID_QvWdmInterface, pdo).empty());
  EXPECT_TRUE(Enabled(GUID_QvGsifInterface, pdo).empty());

  board->SetChannels(16, 16);
  ASSERT_EQ(board->SetInterfaces(true), STATUS_SUCCESS);
  EXPECT_TRUE(board->GsifOn());
  EXPECT_EQ(km::RegReadDword(DeviceKey(pdo), u"EnableGsif"), 1u) << "created with its default";
  ASSERT_EQ(Enabled(GUID_QvWdmInterface, pdo).size(), 1u);
  EXPECT_EQ(Enabled(GUID_QvGsifInterface, pdo).size(), 1u);
  // Each interface's key names it after the board.
  struct Named {
    const GUID* cls;
    const char16_t* name;
  };
  for (const Named& n : {Named{&CLSID_QvMixerDevice, u"Tavrion"}, Named{&GUID_QvWdmInterface, u"Tavrion WDM"},
                         Named{&GUID_QvGsifInterface, u"Tavrion GSIF"}}) {
    std::u16string link = Enabled(*n.cls, pdo).at(0);
    UNICODE_STRING u{static_cast<uint16_t>(link.size() * 2), static_cast<uint16_t>(link.size() * 2), link.data()};
    HANDLE key;
    ASSERT_EQ(KsOpenInterfaceKey(&u, &key), STATUS_SUCCESS);
    char16_t text[32] = {};
    uint32_t type = 0, got = 0;
    EXPECT_EQ(KsRegReadValue(key, u"FriendlyName", text, sizeof text - 2, &type, &got), STATUS_SUCCESS);
    KsRegClose(key);
    EXPECT_EQ(std::u16string(text), n.name);
  }

  // "EnableGsif" 0, or a channel count of 0 in the GSIF interface's key,
  // switches only the GSIF interface off.
  km::RegWriteDword(DeviceKey(pdo), u"EnableGsif", 0);
  board->SetInterfaces(true);
  EXPECT_FALSE(board->GsifOn());
  EXPECT_TRUE(Enabled(GUID_QvGsifInterface, pdo).empty());
  EXPECT_EQ(Enabled(GUID_QvWdmInterface, pdo).size(), 1u);
  km::RegWriteDword(DeviceKey(pdo), u"EnableGsif", 1);
  board->SetInterfaces(true);
  EXPECT_TRUE(board->GsifOn());

  // A process opens the board by the mixer interface's path, as the
  // installer lists it.
  km::InterfaceInfo info;
  ASSERT_TRUE(km::DeviceInterfaceAt(CLSID_QvMixerDevice, 0, &info));
  EXPECT_TRUE(info.enabled);
  EXPECT_EQ(info.pdo, pdo);
  EXPECT_EQ(info.link, Enabled(CLSID_QvMixerDevice, pdo).at(0));
  std::u16string path = u"\\\\?\\" + info.link.substr(4);
  UmHandle h = 0;
  ASSERT_EQ(UmOpen(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &h), STATUS_SUCCESS);
  EXPECT_EQ(Ioctl(h, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  UmClose(h);

  // Stopping the board takes every interface away; its path no longer opens.
  EXPECT_EQ(km::PnpRequest(pdo, IRP_MN_QUERY_REMOVE_DEVICE), STATUS_SUCCESS);
  EXPECT_EQ(km::PnpRequest(pdo, IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
  for (const GUID* cls : {&CLSID_QvMixerDevice, &GUID_QvWdmInterface, &GUID_QvGsifInterface})
    EXPECT_TRUE(Enabled(*cls, pdo).empty());
  EXPECT_EQ(UmOpen(path.c_str(), GENERIC_READ, FILE_SHARE_READ, &h), STATUS_OBJECT_NAME_NOT_FOUND);
  ASSERT_TRUE(km::DeviceInterfaceAt(CLSID_QvMixerDevice, 0, &info));
  EXPECT_FALSE(info.enabled);
  km::PnpDeleteNode(pdo);
  EXPECT_FALSE(km::DeviceInterfaceAt(CLSID_QvMixerDevice, 0, &info)) << "gone with its device";
  pdos.clear();
}

TEST_F(BoardTest, WdmInterfaceKeyLimitsTheChannelsOffered) {
  DEVICE_OBJECT* first = Board({0x1057, 0x1801, 0x89AB, 0x2345}, 1);
  Board({0x1057, 0x1801, 0x89AB, 0x6935}, 2);
  CPciBoardDevice* tavrion = Pci(u"\\Device\\Qvtvr0");
  tavrion->SetChannels(16, 8);
  Pci(u"\\Device\\Qvcbl0")->SetChannels(4, 4);
  ASSERT_EQ(tavrion->SetInterfaces(true), STATUS_SUCCESS);
  std::vector<std::u16string> wdm = Enabled(GUID_QvWdmInterface, first);
  ASSERT_EQ(wdm.size(), 1u);
  UNICODE_STRING link{static_cast<uint16_t>(wdm[0].size() * 2), static_cast<uint16_t>(wdm[0].size() * 2),
                      wdm[0].data()};
  auto setLimits = [&](uint32_t index, uint32_t count) {
    HANDLE key;
    ASSERT_EQ(KsOpenInterfaceKey(&link, &key), STATUS_SUCCESS);
    KsRegWriteDword(key, u"MediaIndex", index);
    KsRegWriteDword(key, u"MediaCount", count);
    KsRegClose(key);
  };
  UmHandle w = Open("\\\\.\\Qvwave");
  auto query = [&](const uint8_t* n) {
    qvChannelInfo info{};
    EXPECT_EQ(Ioctl(w, IOCTL_QV_WAVE_MAP, n, n ? 1 : 0, &info, sizeof info), STATUS_SUCCESS);
    return info;
  };
  struct Case {
    uint32_t index, count;
    uint8_t firstInput, firstOutput, inputs, outputs, sumInputs, sumOutputs;
  };
  const Case cases[] = {
      {0, 0xFFFFFFFF, 0, 0, 16, 8, 20, 12},
      {4, 2, 4, 4, 2, 2, 6, 6},
      {6, 0xFFFFFFFF, 6, 6, 10, 2, 14, 6},    // the count cut to what is left after the index
      {12, 1, 12, 8, 1, 0, 5, 4},             // the index cut to the outputs there are
  };
  const uint8_t zero = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    setLimits(c.index, c.count);
    qvChannelInfo one = query(&zero);
    EXPECT_EQ(one.firstInput, c.firstInput);
    EXPECT_EQ(one.firstOutput, c.firstOutput);
    EXPECT_EQ(one.inputs, c.inputs);
    EXPECT_EQ(one.outputs, c.outputs);
    qvChannelInfo all = query(nullptr);
    EXPECT_EQ(all.inputs, c.sumInputs);
    EXPECT_EQ(all.outputs, c.sumOutputs);
  }
  // The values count only while the WDM interface is on.
  km::RegWriteDword(DeviceKey(first), u"EnableWdm", 0);
  tavrion->SetInterfaces(true);
  EXPECT_EQ(query(&zero).inputs, 16);
}
