// A COM client of the library as a program would be: the library registered
// with regsvr32, a device object made by its ProgID, a simulated recorder
// unit opened and attached through IQVDevice, a mixer device opened by its
// interface class, and the registration removed; the element modules
// registered as plug-ins and everything taken back; an ASIO host finding the
// driver under the ASIO key, its control panel and its property page.
#include "Drv/Qvcom/asio.h"
#include "Drv/Qvcom/qvdevice.h"
#include "sim/machine/simmachine.h"
#include "tests/win32/shot.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <strmif.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const IID kIQvAsioSettings = {0x5AC6EFA1, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const IID kIQVDevice = {0x5AC6EF02, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};

const wchar_t* const kProgIds[] = {
    L"Quorvale.Asio",           L"Quorvale.Wave",           L"Quorvale.Device",          L"Quorvale.MixerDevice",
    L"Quorvale.MixGraph",       L"Quorvale.Plugins",        L"Quorvale.DeviceTvr.Prop",  L"Quorvale.DeviceTv2.Prop",
    L"Quorvale.DeviceCbl.Prop", L"Quorvale.DeviceDnv.Prop", L"Quorvale.DeviceDnv.Stat",  L"Quorvale.Asio.Prop",
    L"Quorvale.Lumora.Prop",    L"Quorvale.LumoraPreset.Prop"};

DWORD Run(std::string command) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 0xFFFFFFFF;
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

// ---- an ASIO host ----

std::vector<int32_t> g_messages;
int32_t HostMessage(int32_t selector, int32_t, void*, double*) {
  g_messages.push_back(selector);
  return 0;
}
void HostSwitch(int32_t, ASIOBool) {}
ASIOCallbacks g_host = {HostSwitch, nullptr, HostMessage, nullptr};

std::string Text(HWND dialog, int id) {
  char text[64] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

std::vector<std::string> ComboItems(HWND combo) {
  std::vector<std::string> items;
  for (LRESULT i = 0, n = SendMessageA(combo, CB_GETCOUNT, 0, 0); i < n; ++i) {
    char text[64] = "";
    SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

BOOL CALLBACK FindDialog(HWND wnd, LPARAM found) {
  char cls[16] = "";
  GetClassNameA(wnd, cls, sizeof cls);
  if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(wnd)) return TRUE;
  *reinterpret_cast<HWND*>(found) = wnd;
  return FALSE;
}

struct PanelSeen {
  std::string title, size;
  std::vector<std::string> devices, types;
  std::string device, type;
  BOOL devicesEnabled = FALSE;
} g_panel;

VOID CALLBACK ReadPanel(HWND, UINT, UINT_PTR id, DWORD) {
  static int ticks = 0;
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog || ++ticks < 4) return;
  KillTimer(nullptr, id);
  char title[64] = "";
  GetWindowTextA(dialog, title, sizeof title);
  g_panel.title = title;
  g_panel.devices = ComboItems(GetDlgItem(dialog, 1020));
  g_panel.types = ComboItems(GetDlgItem(dialog, 1021));
  g_panel.device = Text(dialog, 1020);
  g_panel.type = Text(dialog, 1021);
  g_panel.size = Text(dialog, 1022);
  g_panel.devicesEnabled = IsWindowEnabled(GetDlgItem(dialog, 1020));
  std::string shot = hrl_test::ShotPath("asio_panel");
  if (!shot.empty()) hrl_test::SaveWindowShot(dialog, shot, hrl_test::ShotFrom::kWindow);
  // A new buffer size and the 16-bit type, then OK.
  SetDlgItemTextA(dialog, 1022, "100");
  SendDlgItemMessageA(dialog, 1021, CB_SETCURSEL, 0, 0);
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

void AsioPage(IUnknown* driver) {
  CLSID pageClass;
  ASSERT_EQ(CLSIDFromProgID(L"Quorvale.Asio.Prop", &pageClass), S_OK);
  ISpecifyPropertyPages* specify = nullptr;
  ASSERT_EQ(driver->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify)), S_OK);
  CAUUID pages = {};
  ASSERT_EQ(specify->GetPages(&pages), S_OK);
  ASSERT_EQ(pages.cElems, 1u);
  EXPECT_TRUE(IsEqualCLSID(pages.pElems[0], pageClass));
  CoTaskMemFree(pages.pElems);
  specify->Release();

  IPropertyPage* page = nullptr;
  ASSERT_EQ(CoCreateInstance(pageClass, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                             reinterpret_cast<void**>(&page)),
            S_OK);
  HWND frame = CreateWindowExA(0, "STATIC", "ASIO page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 360, 300,
                               nullptr, nullptr, nullptr, nullptr);
  RECT rect = {0, 0, 340, 260};
  EXPECT_EQ(page->Activate(frame, &rect, TRUE), E_UNEXPECTED) << "no object yet";
  IUnknown* two[2] = {driver, driver};
  EXPECT_EQ(page->SetObjects(2, two), E_INVALIDARG);
  ASSERT_EQ(page->SetObjects(1, &driver), S_OK);
  ASSERT_EQ(page->Activate(frame, &rect, TRUE), S_OK);
  page->Show(SW_SHOW);
  HWND dialog = GetWindow(frame, GW_CHILD);
  ASSERT_NE(dialog, nullptr);
  HWND tree = GetDlgItem(dialog, 1023);
  std::vector<std::string> items;
  for (HTREEITEM board = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)); board;
       board = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                        reinterpret_cast<LPARAM>(board)))) {
    for (HTREEITEM item = board; item;
         item = item == board ? reinterpret_cast<HTREEITEM>(
                                    SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(board)))
                              : reinterpret_cast<HTREEITEM>(
                                    SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
      char text[32] = "";
      TVITEMA tv = {};
      tv.mask = TVIF_TEXT;
      tv.hItem = item;
      tv.pszText = text;
      tv.cchTextMax = sizeof text;
      SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
      if (items.size() < 3 || item == board) items.push_back(text);
    }
  }
  EXPECT_EQ(items, (std::vector<std::string>{"Tavrion 1", "STR 1-2", "STR 3-4", "Tavrion 2"}));
  EXPECT_EQ(ComboItems(GetDlgItem(dialog, 1020)), (std::vector<std::string>{"Tavrion 1", "Tavrion 2"}));
  EXPECT_EQ(Text(dialog, 1021), "16 bit");
  EXPECT_EQ(Text(dialog, 1022), "128");
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  SetDlgItemTextA(dialog, 1022, "256");
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  EXPECT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  MSG msg;
  for (int i = 0; i < 20; ++i) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  }
  std::string shot = hrl_test::ShotPath("asio_page");
  if (!shot.empty()) hrl_test::SaveWindowShot(frame, shot, hrl_test::ShotFrom::kWindow);
  page->Deactivate();
  page->SetObjects(0, nullptr);
  EXPECT_EQ(page->Release(), 0u);
  DestroyWindow(frame);
}

void AsioHost() {
  // Hosts find the driver under the ASIO key and ask for it by its class id.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Asio\\Quorvale ASIO", 0, KEY_READ, &key), ERROR_SUCCESS);
  char text[64] = "";
  DWORD size = sizeof text;
  ASSERT_EQ(RegQueryValueExA(key, "CLSID", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, "{5AC6EFA0-4264-11D2-AC7F-00A024CFC258}");
  size = sizeof text;
  RegQueryValueExA(key, "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  EXPECT_STREQ(text, "2.0");
  size = sizeof text;
  RegQueryValueExA(key, "Description", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  EXPECT_STREQ(text, "HRL Quorvale ASIO");
  RegCloseKey(key);
  CLSID clsid;
  ASSERT_EQ(CLSIDFromString(L"{5AC6EFA0-4264-11D2-AC7F-00A024CFC258}", &clsid), S_OK);
  IASIO* asio = nullptr;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, clsid, reinterpret_cast<void**>(&asio)), S_OK);

  simmachine::AddPciBoard(BoardIdTvr);
  simmachine::AddPciBoard(BoardIdTvr);
  IQvAsioSettings* settings = nullptr;
  ASSERT_EQ(asio->QueryInterface(kIQvAsioSettings, reinterpret_cast<void**>(&settings)), S_OK);
  settings->SetDevice(0xFFFFFFFF);
  settings->SetBufferSize(1000);
  settings->SetSampleType(18);
  ASSERT_EQ(asio->init(nullptr), ASIOTrue);
  ASIOBufferInfo out = {ASIOFalse, 0, {}};
  ASSERT_EQ(asio->createBuffers(&out, 1, 256, &g_host), ASE_OK);

  // The control panel: its lists, then a new size and type taken with OK,
  // and the host asked to reset the driver.
  g_messages.clear();
  UINT_PTR timer = SetTimer(nullptr, 0, 50, ReadPanel);
  EXPECT_EQ(asio->controlPanel(), ASE_OK);
  KillTimer(nullptr, timer);
  EXPECT_EQ(g_panel.title, "HRL Quorvale ASIO Panel");
  EXPECT_EQ(g_panel.devices, (std::vector<std::string>{"Tavrion", "Tavrion 2", "All Devices"}));
  EXPECT_EQ(g_panel.device, "All Devices");
  EXPECT_TRUE(g_panel.devicesEnabled);
  EXPECT_EQ(g_panel.types, (std::vector<std::string>{"16 bit", "24 bit"}));
  EXPECT_EQ(g_panel.type, "24 bit");
  EXPECT_EQ(g_panel.size, "1024");
  EXPECT_EQ(g_messages, (std::vector<int32_t>{kAsioResetRequest}));
  DWORD value = 0;
  settings->GetBufferSize(&value);
  EXPECT_EQ(value, 128u);
  settings->GetSampleType(&value);
  EXPECT_EQ(value, 16u);

  AsioPage(asio);
  asio->disposeBuffers();
  settings->Release();
  EXPECT_EQ(asio->Release(), 0u);
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
  if (name.vt == VT_BSTR) {
    EXPECT_STREQ(name.bstrVal, L"Tavrion");
  }
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

// An ASIO host on a machine of two Tavrion boards.
TEST(Client, AsioHostFindsTheDriverItsPanelAndItsPage) {
  SetEnvironmentVariableA("QVDRV_SIMULATION", "1");
  simmachine::Reset();
  ASSERT_EQ(Regsvr32(""), 0u);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  AsioHost();
  CoUninitialize();
  ASSERT_EQ(Regsvr32("/u"), 0u);
  simmachine::Shutdown();
}

}  // namespace
