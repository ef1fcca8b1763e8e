// Installation: the Drivers32 slot the MME wave driver takes, the services
// through a fake service manager (an existing service counts as made, a
// missing one as removed), with their keys under a test root, and the
// plug-in registration of element modules under a test root.
#include "Drv/Qvcom/install.h"
#include "elements/elemif.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kTestRoot[] = "Software\\HRLTest\\Install";

class TestKey {
 public:
  TestKey() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    RegCreateKeyExA(HKEY_CURRENT_USER, kTestRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  }
  ~TestKey() {
    RegCloseKey(key);
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
  }
  void Set(const char* name, const char* value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
  }
  std::string Get(const char* name) {
    char data[MAX_PATH] = {};
    DWORD size = sizeof data - 1;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
      return "<none>";
    return data;
  }
  HKEY key = nullptr;
};

TEST(Drivers32, TheWaveDriverTakesTheFirstFreeSlotOnce) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, const char*>> before;
    HRESULT result;
    const char* slot;  // the slot that names the driver afterwards
  } cases[] = {
      {"empty key", {}, S_OK, "Wave1"},
      {"two taken, an empty one after",
       {{"Wave1", "wdmaud.drv"}, {"Wave2", "other.drv"}, {"Wave3", ""}},
       S_OK,
       "Wave3"},
      {"a gap before", {{"Wave1", "wdmaud.drv"}, {"Wave3", "other.drv"}}, S_OK, "Wave2"},
      {"already named (any case)", {{"Wave1", "a.drv"}, {"Wave5", "qvmmedia.DLL"}}, S_OK, "Wave5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestKey key;
    for (auto& [name, value] : c.before) key.Set(name, value);
    EXPECT_EQ(AddWaveDriver(key.key, kWaveDriverLibrary), c.result);
    EXPECT_EQ(lstrcmpiA(key.Get(c.slot).c_str(), kWaveDriverLibrary), 0) << key.Get(c.slot);
    for (int i = 1; i <= 9; ++i) {  // named exactly once
      std::string name = "Wave" + std::to_string(i);
      if (name != c.slot) {
        EXPECT_NE(lstrcmpiA(key.Get(name.c_str()).c_str(), kWaveDriverLibrary), 0) << name;
      }
    }
  }
}

TEST(Drivers32, NoFreeSlotFailsAndRemovalEmptiesEveryNamingSlot) {
  TestKey key;
  for (int i = 1; i <= 9; ++i) key.Set(("Wave" + std::to_string(i)).c_str(), "other.drv");
  EXPECT_EQ(AddWaveDriver(key.key, kWaveDriverLibrary), HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS));

  key.Set("Wave", kWaveDriverLibrary);
  key.Set("Wave4", kWaveDriverLibrary);
  EXPECT_EQ(RemoveWaveDriver(key.key, kWaveDriverLibrary), S_OK);
  EXPECT_EQ(key.Get("Wave"), "");
  EXPECT_EQ(key.Get("Wave4"), "");
  EXPECT_EQ(key.Get("Wave3"), "other.drv");
}

// ---- services ----

struct FakeManager {
  DWORD openError = 0;    // OpenSCManager fails with it
  DWORD createError = 0;  // CreateService fails with it
  DWORD openServiceError = 0;
  bool stopFails = false;
  std::vector<std::string> created, started, deleted;
  std::vector<std::string> dependencies;
  std::vector<std::string> opened;
};
FakeManager g_scm;
std::string g_current;  // the service a handle stands for (one at a time)

SC_HANDLE Handle(const char* name) {
  g_current = name;
  return reinterpret_cast<SC_HANDLE>(0x200);
}
SC_HANDLE WINAPI FakeOpenManager(LPCSTR, LPCSTR, DWORD) {
  if (g_scm.openError) {
    SetLastError(g_scm.openError);
    return nullptr;
  }
  return reinterpret_cast<SC_HANDLE>(0x100);
}
SC_HANDLE WINAPI FakeCreate(SC_HANDLE, LPCSTR name, LPCSTR, DWORD, DWORD, DWORD, DWORD, LPCSTR, LPCSTR, LPDWORD,
                            LPCSTR dependencies, LPCSTR, LPCSTR) {
  if (g_scm.createError) {
    SetLastError(g_scm.createError);
    return nullptr;
  }
  g_scm.created.push_back(name);
  g_scm.dependencies.push_back(dependencies ? dependencies : "");
  return Handle(name);
}
SC_HANDLE WINAPI FakeOpen(SC_HANDLE, LPCSTR name, DWORD) {
  g_scm.opened.push_back(name);
  if (g_scm.openServiceError) {
    SetLastError(g_scm.openServiceError);
    return nullptr;
  }
  return Handle(name);
}
BOOL WINAPI FakeStart(SC_HANDLE, DWORD, LPCSTR*) {
  g_scm.started.push_back(g_current);
  return TRUE;
}
BOOL WINAPI FakeControl(SC_HANDLE, DWORD, LPSERVICE_STATUS) {
  if (!g_scm.stopFails) return TRUE;
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
BOOL WINAPI FakeDelete(SC_HANDLE) {
  g_scm.deleted.push_back(g_current);
  return TRUE;
}
BOOL WINAPI FakeClose(SC_HANDLE) { return TRUE; }

class CountingReporter : public CReporter {
 public:
  int WINAPI Report(DWORD id, DWORD, const void*, DWORD, LPCSTR*) override {
    ids.push_back(id);
    return 0;
  }
  std::vector<DWORD> ids;
};

class Services : public ::testing::Test {
 protected:
  void SetUp() override {
    g_scm = FakeManager{};
    saved = ServiceSeams();
    ServiceSeams() = {FakeOpenManager, FakeCreate, FakeOpen, FakeStart, FakeControl, FakeDelete, FakeClose};
    context.m_root.Close();
    context.m_root.Attach(root.key);
    // The services' keys, as the service manager would have made them.
    for (const char* name : {"Quorvale", "Quorvale Server"}) {
      HKEY k;
      std::string path = std::string("System\\CurrentControlSet\\Services\\") + name;
      RegCreateKeyExA(root.key, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
      RegCloseKey(k);
    }
  }
  void TearDown() override {
    context.m_root.m_key = nullptr;  // the test key closes it
    ServiceSeams() = saved;
  }
  std::string Value(const char* path, const char* name) {
    char data[256] = {};
    DWORD size = sizeof data - 1;
    if (RegGetValueA(root.key, path, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return "<none>";
    return data;
  }
  TestKey root;
  CountingReporter reporter;
  QvRegContext context{nullptr, "C:\\Windows\\System32\\Qvdrv.dll", &reporter};
  ServiceCalls saved{};
};

TEST_F(Services, InstallCreatesDescribesAndStartsBoth) {
  EXPECT_EQ(InstallServices(&context), S_OK);
  EXPECT_EQ(g_scm.created, (std::vector<std::string>{"Quorvale", "Quorvale Server"}));
  EXPECT_EQ(g_scm.dependencies[1], "RpcSS");
  EXPECT_EQ(g_scm.started, (std::vector<std::string>{"Quorvale", "Quorvale Server"}));
  EXPECT_EQ(Value("System\\CurrentControlSet\\Services\\Quorvale Server", "Description"),
            "Handles remote RPC requests");
  EXPECT_EQ(Value("System\\CurrentControlSet\\Services\\Quorvale", "Description"), "<none>");
  HKEY k;
  EXPECT_EQ(RegOpenKeyExA(root.key, "System\\CurrentControlSet\\Services\\Quorvale\\Parameters", 0, KEY_READ, &k),
            ERROR_SUCCESS);
  RegCloseKey(k);
  // The event source of the library.
  EXPECT_NE(Value("System\\CurrentControlSet\\Services\\EventLog\\System\\Quorvale", "EventMessageFile"), "<none>");
}

TEST_F(Services, ExistingServicesCountAsInstalledAndADemandStartIsNotStarted) {
  g_scm.createError = ERROR_SERVICE_EXISTS;
  DWORD demand = SERVICE_DEMAND_START;
  RegSetKeyValueA(root.key, "System\\CurrentControlSet\\Services\\Quorvale", "Start", REG_DWORD, &demand, 4);
  EXPECT_EQ(InstallServices(&context), S_OK);
  EXPECT_EQ(g_scm.opened, (std::vector<std::string>{"Quorvale", "Quorvale Server"}));
  EXPECT_EQ(g_scm.started, std::vector<std::string>{"Quorvale Server"});
  EXPECT_TRUE(reporter.ids.empty());
}

TEST_F(Services, FailuresAreReportedWithTheirEvents) {
  g_scm.openError = ERROR_ACCESS_DENIED;
  EXPECT_EQ(InstallServices(&context), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  EXPECT_EQ(reporter.ids, std::vector<DWORD>{0xC00503EE});

  g_scm = FakeManager{};
  reporter.ids.clear();
  g_scm.createError = ERROR_INVALID_NAME;
  EXPECT_EQ(InstallServices(&context), HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
  EXPECT_EQ(reporter.ids, (std::vector<DWORD>{0xC00503EF, 0xC00503EF}));
}

TEST_F(Services, RemovalStopsAndDeletesAndANotInstalledServiceIsRemoved) {
  g_scm.stopFails = true;
  EXPECT_EQ(RemoveServices(&context), S_OK);
  EXPECT_EQ(g_scm.deleted, (std::vector<std::string>{"Quorvale", "Quorvale Server"}));
  EXPECT_EQ(reporter.ids, (std::vector<DWORD>{0x800503F2, 0x800503F2}));  // warnings: the services stay stopped-or-not

  g_scm = FakeManager{};
  reporter.ids.clear();
  g_scm.openServiceError = ERROR_SERVICE_DOES_NOT_EXIST;
  EXPECT_EQ(RemoveServices(&context), S_OK);
  EXPECT_TRUE(g_scm.deleted.empty());
  EXPECT_TRUE(reporter.ids.empty());
}

// ---- plug-in registration ----

// Under a test root: the element folders' modules become plug-in classes
// of their types; one module found under two file names shares its library
// key, the names joined; a library that is no element module is reported
// and skipped; unregistration takes every plug-in class back and leaves
// other classes alone.
TEST(Plugins, RegistersTheModulesOfBothFoldersAndTakesThemBack) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  TestKey root;
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string folder(self);
  folder.resize(folder.rfind('\\'));
  HKEY quorvale;
  RegCreateKeyExA(root.key, "Software\\Quorvale", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &quorvale, nullptr);
  const std::string a = folder + "\\ElemA", b = folder + "\\ElemB\\";
  RegSetValueExA(quorvale, "Mixer Element Path V1.02", 0, REG_SZ, reinterpret_cast<const BYTE*>(a.c_str()),
                 static_cast<DWORD>(a.size() + 1));
  RegSetValueExA(quorvale, "Mixer Element Path V1.03", 0, REG_SZ, reinterpret_cast<const BYTE*>(b.c_str()),
                 static_cast<DWORD>(b.size() + 1));
  RegCloseKey(quorvale);
  // A class of someone else that looks nothing like a plug-in.
  RegSetKeyValueA(root.key, "Software\\Classes\\CLSID\\{12345678-8085-42C0-B4BF-A1D67B7C0732}", nullptr, REG_SZ,
                  "other", 6);

  CountingReporter reporter;
  QvRegContext context(nullptr, "C:\\Windows\\System32\\Qvdrv.dll", &reporter);
  context.m_root.Close();
  context.m_root.Attach(root.key);
  context.m_current = QvClassTable[5];
  GuidToString(*QvClassTable[5]->clsid, context.m_clsidText);
  ASSERT_STREQ(QvClassTable[5]->progId, "Quorvale.Plugins");

  ASSERT_EQ(RegisterPluginClass(&context), S_OK);
  EXPECT_EQ(reporter.ids, std::vector<DWORD>{0xC00A0001});  // QvSim.dll

  HKEY libraries;
  ASSERT_EQ(RegOpenKeyExA(root.key, "Software\\Classes\\Quorvale.Plugins\\Libraries", 0, KEY_READ, &libraries),
            ERROR_SUCCESS);
  char name[64];
  ASSERT_EQ(RegEnumKeyA(libraries, 0, name, sizeof name), ERROR_SUCCESS);
  EXPECT_EQ(strlen(name), 16u);
  EXPECT_NE(RegEnumKeyA(libraries, 1, name, sizeof name), ERROR_SUCCESS);  // one module, one key
  char names[256] = {};
  DWORD size = sizeof names - 1;
  RegGetValueA(libraries, name, nullptr, RRF_RT_REG_SZ, nullptr, names, &size);
  EXPECT_STREQ(names, "Qvmxel1.dll, QvmxelX.dll");
  RegCloseKey(libraries);

  // Every type's class names the module that offers it (the later
  // folder's copy) and its type.
  HKEY classes;
  ASSERT_EQ(RegOpenKeyExA(root.key, "Software\\Classes\\CLSID", 0, KEY_READ, &classes), ERROR_SUCCESS);
  int plugins = 0;
  for (DWORD i = 0; RegEnumKeyA(classes, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    if (strncmp(name, "{DF87", 5) || !strcmp(name, context.m_clsidText)) continue;
    ++plugins;
    char path[MAX_PATH] = {}, type[80] = {};
    DWORD n = sizeof path - 1;
    EXPECT_EQ(RegGetValueA(classes, (std::string(name) + "\\Element").c_str(), "Path", RRF_RT_REG_SZ, nullptr, path,
                           &n),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(path), b + "QvmxelX.dll");
    n = sizeof type - 1;
    RegGetValueA(classes, (std::string(name) + "\\Element").c_str(), nullptr, RRF_RT_REG_SZ, nullptr, type, &n);
    EXPECT_NE(type[0], 0) << name;
  }
  RegCloseKey(classes);
  EXPECT_GE(plugins, 20);

  ASSERT_EQ(UnregisterPluginClass(&context), S_OK);
  ASSERT_EQ(RegOpenKeyExA(root.key, "Software\\Classes\\CLSID", 0, KEY_READ, &classes), ERROR_SUCCESS);
  std::vector<std::string> left;
  for (DWORD i = 0; RegEnumKeyA(classes, i, name, sizeof name) == ERROR_SUCCESS; ++i) left.push_back(name);
  RegCloseKey(classes);
  EXPECT_EQ(left, std::vector<std::string>{"{12345678-8085-42C0-B4BF-A1D67B7C0732}"});
  HKEY gone;
  EXPECT_NE(RegOpenKeyExA(root.key, "Software\\Classes\\Quorvale.Plugins", 0, KEY_READ, &gone), ERROR_SUCCESS);
  context.m_root.m_key = nullptr;  // the test key closes it
  CoUninitialize();
}

}  // namespace
