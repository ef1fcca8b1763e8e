// The multimedia driver entries of Qvdrv.dll, called directly as the
// multimedia layer calls an installed driver (the test does not install
// the library as a user driver): results, capabilities and the MIDI ports'
// buffers and callbacks.
#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

typedef DWORD(WINAPI* MessageEntry)(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);
typedef LRESULT(WINAPI* DriverEntry)(DWORD_PTR, HDRVR, UINT, LPARAM, LPARAM);

template <class F>
F Entry(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("Qvdrv.dll"), name)));
}

struct Callback {
  UINT message;
  DWORD_PTR instance, param1, param2;
  DWORD flags;  // of the header in param1, when there is one
};
std::vector<Callback> g_callbacks;

void CALLBACK Record(HDRVR, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2) {
  DWORD flags = 0;
  if (message == MIM_LONGDATA || message == MOM_DONE) flags = reinterpret_cast<MIDIHDR*>(param1)->dwFlags;
  g_callbacks.push_back({message, instance, param1, param2, flags});
}

}  // namespace

TEST(MmDriver, ResultsOfEveryEntry) {
  auto driverProc = Entry<DriverEntry>("DriverProc");
  auto mod = Entry<MessageEntry>("modMessage");
  auto mid = Entry<MessageEntry>("midMessage");
  auto wod = Entry<MessageEntry>("wodMessage");
  auto wid = Entry<MessageEntry>("widMessage");
  ASSERT_TRUE(driverProc && mod && mid && wod && wid);
  const struct {
    MessageEntry entry;
    UINT message;
    DWORD result;
  } table[] = {
      {wod, WODM_GETNUMDEVS, 0}, {wid, WIDM_GETNUMDEVS, 0}, {wod, WODM_OPEN, MMSYSERR_NOTSUPPORTED},
      {wid, WIDM_OPEN, MMSYSERR_NOTSUPPORTED}, {mod, MODM_GETNUMDEVS, 1}, {mid, MIDM_GETNUMDEVS, 1},
      {mod, MODM_CLOSE, MMSYSERR_BADDEVICEID}, {mid, MIDM_CLOSE, MMSYSERR_BADDEVICEID},
      {mod, MODM_DATA, MMSYSERR_NOTSUPPORTED}, {mid, MIDM_START, MMSYSERR_NOTSUPPORTED},
      {mod, MODM_OPEN, MMSYSERR_INVALPARAM},  // no description
  };
  for (const auto& t : table) EXPECT_EQ(t.entry(0, t.message, 0, 0, 0), t.result) << t.message;
  for (UINT m : {DRV_LOAD, DRV_ENABLE, DRV_OPEN, DRV_CLOSE, DRV_FREE, DRV_CONFIGURE, DRV_DISABLE})
    EXPECT_EQ(driverProc(0, nullptr, m, 0, 0), 1) << m;
  EXPECT_EQ(driverProc(0, nullptr, DRV_QUERYCONFIGURE, 0, 0), 0);
}

TEST(MmDriver, CapabilitiesCopyAtMostTheGivenSize) {
  auto mod = Entry<MessageEntry>("modMessage");
  auto mid = Entry<MessageEntry>("midMessage");
  BYTE raw[sizeof(MIDIOUTCAPSW) + 8];
  std::memset(raw, 0xAA, sizeof raw);
  ASSERT_EQ(mod(0, MODM_GETDEVCAPS, 0, reinterpret_cast<DWORD_PTR>(raw), 40), MMSYSERR_NOERROR);
  EXPECT_EQ(raw[40], 0xAA) << "40 bytes copied";
  EXPECT_EQ(raw[39], 0);
  MIDIOUTCAPSW out;
  ASSERT_EQ(mod(0, MODM_GETDEVCAPS, 0, reinterpret_cast<DWORD_PTR>(raw), sizeof raw), MMSYSERR_NOERROR);
  EXPECT_EQ(raw[sizeof out], 0xAA) << "never beyond the structure";
  std::memcpy(&out, raw, sizeof out);
  EXPECT_EQ(out.wMid, 248);
  EXPECT_EQ(out.wPid, 1);
  EXPECT_EQ(out.vDriverVersion, 0x0100u);
  EXPECT_STREQ(out.szPname, L"Out 1 Quorvale");
  EXPECT_EQ(out.wTechnology, MOD_MIDIPORT);
  MIDIINCAPSW in{};
  ASSERT_EQ(mid(0, MIDM_GETDEVCAPS, 0, reinterpret_cast<DWORD_PTR>(&in), sizeof in), MMSYSERR_NOERROR);
  EXPECT_EQ(in.wPid, 2);
  EXPECT_STREQ(in.szPname, L"Inp 1 Quorvale");
  EXPECT_EQ(mid(0, MIDM_GETDEVCAPS, 0, 0, 0), MMSYSERR_NOERROR) << "size 0 copies nothing";
}

TEST(MmDriver, InputBuffersComeBackInOrderOnResetAndClose) {
  auto mid = Entry<MessageEntry>("midMessage");
  MIDIOPENDESC desc{};
  desc.hMidi = reinterpret_cast<HMIDI>(0x1234);
  desc.dwCallback = reinterpret_cast<DWORD_PTR>(Record);
  desc.dwInstance = 77;
  DWORD_PTR port = 0;
  g_callbacks.clear();
  ASSERT_EQ(mid(0, MIDM_OPEN, reinterpret_cast<DWORD_PTR>(&port), reinterpret_cast<DWORD_PTR>(&desc),
                CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  ASSERT_NE(port, 0u);
  ASSERT_EQ(g_callbacks.size(), 1u);
  EXPECT_EQ(g_callbacks[0].message, UINT(MIM_OPEN));
  EXPECT_EQ(g_callbacks[0].instance, 77u);

  MIDIHDR h[4]{};
  auto add = [&](MIDIHDR* hdr, DWORD_PTR size) {
    return mid(0, MIDM_ADDBUFFER, port, reinterpret_cast<DWORD_PTR>(hdr), size);
  };
  EXPECT_EQ(add(&h[0], sizeof h[0]), DWORD(MIDIERR_UNPREPARED));
  EXPECT_EQ(add(nullptr, sizeof h[0]), DWORD(MMSYSERR_INVALPARAM));
  EXPECT_EQ(add(&h[0], 63), DWORD(MMSYSERR_INVALPARAM));
  for (MIDIHDR& x : h) {
    ASSERT_EQ(mid(0, MIDM_PREPARE, port, reinterpret_cast<DWORD_PTR>(&x), sizeof x), MMSYSERR_NOERROR);
    EXPECT_EQ(x.dwFlags, DWORD(MHDR_PREPARED));
  }
  for (int i = 0; i < 3; ++i) {
    h[i].dwBytesRecorded = 9;
    h[i].dwFlags |= MHDR_DONE;
    ASSERT_EQ(add(&h[i], sizeof h[i]), MMSYSERR_NOERROR);
    EXPECT_EQ(h[i].dwFlags, DWORD(MHDR_PREPARED | MHDR_INQUEUE));
    EXPECT_EQ(h[i].dwBytesRecorded, 0u);
  }
  g_callbacks.clear();
  ASSERT_EQ(mid(0, MIDM_RESET, port, 0, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(g_callbacks.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(g_callbacks[i].message, UINT(MIM_LONGDATA));
    EXPECT_EQ(g_callbacks[i].param1, reinterpret_cast<DWORD_PTR>(&h[i])) << "in the order added";
    EXPECT_EQ(g_callbacks[i].flags, DWORD(MHDR_PREPARED | MHDR_DONE));
  }
  // Close with a buffer queued hands it back first.
  ASSERT_EQ(add(&h[3], sizeof h[3]), MMSYSERR_NOERROR);
  g_callbacks.clear();
  ASSERT_EQ(mid(0, MIDM_CLOSE, port, 0, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(g_callbacks.size(), 1u);
  EXPECT_EQ(g_callbacks[0].param1, reinterpret_cast<DWORD_PTR>(&h[3]));
  EXPECT_EQ(h[3].dwFlags & (MHDR_DONE | MHDR_INQUEUE), DWORD(MHDR_DONE));
}

TEST(MmDriver, OutputLongDataIsHandedBackDone) {
  auto mod = Entry<MessageEntry>("modMessage");
  MIDIOPENDESC desc{};
  desc.dwCallback = reinterpret_cast<DWORD_PTR>(Record);
  DWORD_PTR port = 0;
  g_callbacks.clear();
  ASSERT_EQ(mod(0, MODM_OPEN, reinterpret_cast<DWORD_PTR>(&port), reinterpret_cast<DWORD_PTR>(&desc),
                CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  EXPECT_EQ(g_callbacks.at(0).message, UINT(MOM_OPEN));
  MIDIHDR h{};
  EXPECT_EQ(mod(0, MODM_LONGDATA, port, reinterpret_cast<DWORD_PTR>(&h), sizeof h), DWORD(MIDIERR_UNPREPARED));
  ASSERT_EQ(mod(0, MODM_PREPARE, port, reinterpret_cast<DWORD_PTR>(&h), sizeof h), MMSYSERR_NOERROR);
  g_callbacks.clear();
  ASSERT_EQ(mod(0, MODM_LONGDATA, port, reinterpret_cast<DWORD_PTR>(&h), sizeof h), MMSYSERR_NOERROR);
  EXPECT_TRUE(h.dwFlags & MHDR_DONE);
  ASSERT_EQ(g_callbacks.size(), 1u);
  EXPECT_EQ(g_callbacks[0].message, UINT(MOM_DONE));
  EXPECT_EQ(mod(0, MODM_DATA, port, 0x90, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(mod(0, MODM_UNPREPARE, port, reinterpret_cast<DWORD_PTR>(&h), sizeof h), MMSYSERR_NOERROR);
  EXPECT_FALSE(h.dwFlags & MHDR_PREPARED);
  g_callbacks.clear();
  EXPECT_EQ(mod(0, MODM_CLOSE, port, 0, 0), MMSYSERR_NOERROR);
  EXPECT_TRUE(g_callbacks.empty()) << "no MOM_CLOSE";
}
