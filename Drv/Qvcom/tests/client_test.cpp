// A COM client of the library as a program would be: the library registered
// with regsvr32, a device object made by its ProgID, a simulated recorder
// unit opened and attached through IQVDevice, and the registration removed;
// the element modules registered as plug-ins and everything taken back.
#include "Drv/Qvcom/qvdevice.h"
#include "sim/machine/simmachine.h"

#include <gtest/gtest.h>
#include <strmif.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const IID kIQVDevice = {0x5AC6EF02, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};

const wchar_t* const kProgIds[] = {
    L"Quorvale.Asio",           L"Quorvale.Wave",           L"Quorvale.Device",          L"Quorvale.MixerDevice",
    L"Quorvale.MixGraph",       L"Quorvale.Plugins",        L"Quorvale.DeviceTvr.Prop",  L"Quorvale.DeviceTv2.Prop",
    L"Quorvale.DeviceCbl.Prop", L"Quorvale.DeviceDnv.Prop", L"Quorvale.DeviceDnv.Stat",  L"Quorvale.Asio.Prop",
    L"Quorvale.Lumora.Prop",    L"Quorvale.LumoraPreset.Prop"};

DWORD Run(std::string command) {
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

std::string Folder();
DWORD Regsvr32(const char* arguments) {
  return Run(std::string("regsvr32.exe /s ") + arguments + " \"" + Folder() + "\\Qvdrv.dll\"");
}
DWORD Rundll(const char* entry) { return Run("rundll32.exe \"" + Folder() + "\\Qvdrv.dll\"," + entry); }

std::string Folder() {
  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, sizeof module);
  *strrchr(module, '\\') = 0;
  return module;
}

// A value of HKEY_LOCAL_MACHINE (or "<none>").
std::string Machine(const char* key, const char* name) {
  char data[MAX_PATH] = {};
  DWORD size = sizeof data - 1;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
    return "<none>";
  return data;
}
bool MachineKey(const std::string& key) {
  HKEY k;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}
int WaveSlotsNamingTheDriver() {
  int n = 0;
  for (int i = 1; i <= 9; ++i) {
    std::string name = "Wave" + std::to_string(i);
    if (!lstrcmpiA(Machine("Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", name.c_str()).c_str(),
                   "QvMMedia.dll"))
      ++n;
  }
  return n;
}

// The plug-in filter classes of the element modules in the folder named
// by "Mixer Element Path V1.03": each type's class with its module path,
// the input and output lists, the library keys; regsvr32 /u takes them
// back with everything else registration added.
TEST(Client, RegistrationListsTheElementModulesAsPluginsAndTakesEverythingBack) {
  const std::string elements = Folder() + "\\MixElem";
  HKEY quorvale;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvale", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &quorvale, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(quorvale, "Mixer Element Path V1.03", 0, REG_SZ, reinterpret_cast<const BYTE*>(elements.c_str()),
                 static_cast<DWORD>(elements.size() + 1));

  ASSERT_EQ(Regsvr32(""), 0u);
  EXPECT_EQ(WaveSlotsNamingTheDriver(), 1);
  const char kBuilder[] = "Software\\Classes\\Interface\\{652F84C4-90F3-49B1-8D6C-9E080BAB0A35}";
  EXPECT_EQ(Machine(kBuilder, nullptr), "IQVMixBuilder");

  // Every plug-in class names its module and type; the input and output
  // lists and the library keys are there.
  HKEY classes;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID", 0, KEY_READ, &classes), ERROR_SUCCESS);
  std::vector<std::string> plugins;
  char name[64];
  for (DWORD i = 0; RegEnumKeyA(classes, i, name, sizeof name) == ERROR_SUCCESS; ++i)
    if (!strncmp(name, "{DF87", 5) && strcmp(name, "{DF870000-8085-42C0-B4BF-A1D67B7C0732}") && strstr(name, "-8085-42C0-B4BF-A1D67B7C0732}"))
      plugins.push_back(name);
  RegCloseKey(classes);
  EXPECT_GE(plugins.size(), 30u);  // the three modules offer some forty types
  int qvmxel1 = 0, hrlcd = 0;
  for (const std::string& p : plugins) {
    std::string key = "Software\\Classes\\CLSID\\" + p + "\\Element";
    std::string path = Machine(key.c_str(), "Path");
    EXPECT_NE(Machine(key.c_str(), nullptr), "<none>") << p;
    qvmxel1 += path == elements + "\\Qvmxel1.dll";
    hrlcd += path == elements + "\\HRLCD.dll";
  }
  EXPECT_GT(qvmxel1, 0);
  EXPECT_GT(hrlcd, 0);
  HKEY list;
  DWORD inputs = 0, outputs = 0, libraries = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\Quorvale.Plugins\\Inputs", 0, KEY_READ, &list) == 0) {
    RegQueryInfoKeyA(list, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &inputs, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(list);
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\Quorvale.Plugins\\Outputs", 0, KEY_READ, &list) == 0) {
    RegQueryInfoKeyA(list, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &outputs, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(list);
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\Quorvale.Plugins\\Libraries", 0, KEY_READ, &list) ==
      0) {
    RegQueryInfoKeyA(list, nullptr, nullptr, nullptr, &libraries, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(list);
  }
  EXPECT_GT(inputs, 0u);
  EXPECT_GT(outputs, 0u);
  EXPECT_EQ(libraries, 3u);

  ASSERT_EQ(Regsvr32("/u"), 0u);
  EXPECT_EQ(WaveSlotsNamingTheDriver(), 0);
  EXPECT_FALSE(MachineKey(kBuilder));
  EXPECT_FALSE(MachineKey("Software\\Classes\\Quorvale.Plugins"));
  for (const std::string& p : plugins) EXPECT_FALSE(MachineKey("Software\\Classes\\CLSID\\" + p)) << p;

  RegDeleteValueA(quorvale, "Mixer Element Path V1.03");
  RegCloseKey(quorvale);
}

// The installer's rundll entries: on this platform (not NT 4) the install
// registers the classes without services, the removal takes them back,
// and the class removal drops the uninstall entry (no devices here).
TEST(Client, RundllInstallRemoveAndClassRemove) {
  CLSID clsid;
  ASSERT_EQ(Rundll("qvDevInstall"), 0u);
  EXPECT_EQ(CLSIDFromProgID(L"Quorvale.Device", &clsid), S_OK);
  ASSERT_EQ(Rundll("qvDevRemove"), 0u);
  EXPECT_NE(CLSIDFromProgID(L"Quorvale.Device", &clsid), S_OK);

  const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvale Driver";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstall, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(Rundll("ClassRemove"), 0u);
  EXPECT_FALSE(MachineKey(kUninstall));
}

TEST(Client, RegisteredClassesOpenASimulatedUnit) {
  SetEnvironmentVariableA("QVDRV_SIMULATION", "1");
  simmachine::Reset();
  simmachine::AddIoUnit(simunit::Generation::Second, 0x300);
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

  // The mixer graph: its builder interface and, through the graph it
  // aggregates, the filter graph's own.
  CLSID mixGraph;
  ASSERT_EQ(CLSIDFromProgID(L"Quorvale.MixGraph", &mixGraph), S_OK);
  const IID kIQVMixBuilder = {0x652F84C4, 0x90F3, 0x49B1, {0x8D, 0x6C, 0x9E, 0x08, 0x0B, 0xAB, 0x0A, 0x35}};
  IUnknown* mixer = nullptr;
  ASSERT_EQ(CoCreateInstance(mixGraph, nullptr, CLSCTX_INPROC_SERVER, kIQVMixBuilder,
                             reinterpret_cast<void**>(&mixer)),
            S_OK);
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
  simmachine::Shutdown();
}

}  // namespace
