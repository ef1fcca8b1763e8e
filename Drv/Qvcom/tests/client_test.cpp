// A COM client of the library as a program would be: the library registered
// with regsvr32, a device object made by its ProgID, a simulated recorder
// unit opened and attached through IQVDevice, a mixer device opened by its
// interface class, and the registration removed.
#include "Drv/Qvcom/qvdevice.h"
#include "sim/machine/simmachine.h"

#include <gtest/gtest.h>
#include <strmif.h>

#include <string>

namespace {

const IID kIQVDevice = {0x5AC6EF02, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};

const wchar_t* const kProgIds[] = {
    L"Quorvale.Asio",           L"Quorvale.Wave",           L"Quorvale.Device",          L"Quorvale.MixerDevice",
    L"Quorvale.MixGraph",       L"Quorvale.Plugins",        L"Quorvale.DeviceTvr.Prop",  L"Quorvale.DeviceTv2.Prop",
    L"Quorvale.DeviceCbl.Prop", L"Quorvale.DeviceDnv.Prop", L"Quorvale.DeviceDnv.Stat",  L"Quorvale.Asio.Prop",
    L"Quorvale.Lumora.Prop",    L"Quorvale.LumoraPreset.Prop"};

DWORD Regsvr32(const char* arguments) {
  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, sizeof module);
  *strrchr(module, '\\') = 0;
  std::string command = std::string("regsvr32.exe /s ") + arguments + " \"" + module + "\\Qvdrv.dll\"";
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 0xFFFFFFFF;
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

TEST(Client, RegisteredClassesOpenASimulatedUnit) {
  SetEnvironmentVariableA("QVDRV_SIMULATION", "1");
  simmachine::Reset();
  simmachine::AddIoUnit(simunit::Generation::Second, 0x300);
  ASSERT_TRUE(simmachine::AddPciBoard(0xAB2345));  // a Tavrion board
  ASSERT_EQ(Regsvr32(""), 0u);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  for (const wchar_t* progId : kProgIds) {
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK) << progId;
  }

  CLSID device;
  ASSERT_EQ(CLSIDFromProgID(L"Quorvale.Device", &device), S_OK);
  IQVDevice* d = nullptr;
  ASSERT_EQ(CoCreateInstance(device, nullptr, CLSCTX_INPROC_SERVER, kIQVDevice, reinterpret_cast<void**>(&d)), S_OK);
  EXPECT_EQ(d->IsClosed(), S_FALSE);
  ASSERT_EQ(d->Open(L"Qvdev0", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, 0), S_OK);
  uint32_t id[3] = {};
  EXPECT_EQ(d->Attach(id), S_OK);
  EXPECT_EQ(d->Detach(), S_OK);
  EXPECT_EQ(d->Check(L"Qvdev0"), S_OK);
  IPersistPropertyBag* bag = nullptr;
  ASSERT_EQ(d->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&bag)), S_OK);
  CLSID asked = {};
  EXPECT_EQ(bag->GetClassID(&asked), S_OK);
  EXPECT_TRUE(IsEqualCLSID(asked, device));
  bag->Release();
  EXPECT_EQ(d->Release(), 0u);

  // A mixer device opens the first board of its interface class and
  // answers for its board unit object.
  CLSID mixerDevice;
  ASSERT_EQ(CLSIDFromProgID(L"Quorvale.MixerDevice", &mixerDevice), S_OK);
  ASSERT_EQ(CoCreateInstance(mixerDevice, nullptr, CLSCTX_INPROC_SERVER, kIQVDevice, reinterpret_cast<void**>(&d)),
            S_OK);
  ASSERT_EQ(d->OpenInterface(&mixerDevice, nullptr), S_OK);
  VARIANT name;
  VariantInit(&name);
  EXPECT_EQ(d->GetProperty(SPDRP_FRIENDLYNAME, &name), S_OK);
  if (name.vt == VT_BSTR) EXPECT_STREQ(name.bstrVal, L"Tavrion");
  VariantClear(&name);
  ISpecifyPropertyPages* pages = nullptr;
  EXPECT_EQ(d->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pages)), S_OK);
  if (pages) pages->Release();
  EXPECT_EQ(d->Release(), 0u);

  // The mixer graph: its builder interface and, through the graph it
  // aggregates, the filter graph's own.
  CLSID mixGraph;
  ASSERT_EQ(CLSIDFromProgID(L"Quorvale.MixGraph", &mixGraph), S_OK);
  const IID kIQVMixBuilder = {0x652F84C4, 0x90F3, 0x49B1, {0x8D, 0x6C, 0x9E, 0x08, 0x0B, 0xAB, 0x0A, 0x35}};
  IUnknown* mixer = nullptr;
  ASSERT_EQ(CoCreateInstance(mixGraph, nullptr, CLSCTX_INPROC_SERVER, kIQVMixBuilder,
                             reinterpret_cast<void**>(&mixer)),
            S_OK);
  // Its builder interface is registered by name with the graph class as
  // its distributor.
  char text[64] = {};
  DWORD size = sizeof text;
  const char* kInterfaceKey = "Interface\\{652F84C4-90F3-49B1-8D6C-9E080BAB0A35}";
  EXPECT_EQ(RegGetValueA(HKEY_CLASSES_ROOT, kInterfaceKey, nullptr, RRF_RT_REG_SZ, nullptr, text, &size), 0);
  EXPECT_STREQ(text, "IQVMixBuilder");
  size = sizeof text;
  EXPECT_EQ(RegGetValueA(HKEY_CLASSES_ROOT, kInterfaceKey, "Distributor", RRF_RT_REG_SZ, nullptr, text, &size), 0);
  EXPECT_STREQ(text, "{3323C797-C820-40FB-A18B-F7321BF41453}");
  IUnknown* graph = nullptr;
  EXPECT_EQ(mixer->QueryInterface(IID_IGraphBuilder, reinterpret_cast<void**>(&graph)), S_OK);
  if (graph) graph->Release();
  EXPECT_EQ(mixer->Release(), 0u);

  // The enumerator's registration removes its keys: it is not registered.
  CLSID enumerator;
  EXPECT_NE(CLSIDFromProgID(L"Quorvale.DeviceEnum", &enumerator), S_OK);
  CoUninitialize();

  ASSERT_EQ(Regsvr32("/u"), 0u);
  CLSID gone;
  EXPECT_NE(CLSIDFromProgID(L"Quorvale.Device", &gone), S_OK);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, kInterfaceKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  simmachine::Shutdown();
}

}  // namespace
