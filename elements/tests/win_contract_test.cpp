// An element module loaded by name as a host loads it, bound by its exact
// exported names, and walked through the contract with real windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "elements/harness/win32/elemload.h"

namespace {

std::string Joined(const std::vector<std::string>& faults) {
  std::string all;
  for (const std::string& f : faults) all += f + "\n";
  return all;
}

}  // namespace

TEST(ElemWinContract, TheTestModuleLoadsByNameAndKeepsIt) {
  ElemModuleCalls calls;
  HMODULE module = ElemModuleLoad("QvmxTest.dll", &calls);
  ASSERT_NE(module, nullptr);
  // Only the decorated names are exported.
  EXPECT_EQ(GetProcAddress(module, "QVInitElemModule"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "QVInitElemModule@12"), nullptr);

  HWND column = CreateWindowExA(0, "STATIC", "column", WS_POPUP, 0, 0, 120, 400, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(column, nullptr);
  ElemContractOptions options;
  options.MakeParent = [&] { return column; };
  options.DestroyWindow = [](WndHandle w) { DestroyWindow(w); };
  SimDsp dsp;
  const ElemContractReport r = RunElemContract(calls, dsp, options);
  EXPECT_TRUE(r.Faults.empty()) << Joined(r.Faults);
  EXPECT_EQ(r.WindowsMade, 2u);
  EXPECT_EQ(GetWindow(column, GW_CHILD), nullptr);  // every little window destroyed before its element
  EXPECT_GT(r.DspCalls, 0u);
  DestroyWindow(column);
  FreeLibrary(module);
}

TEST(ElemWinContract, AModuleLackingAnEntryPointIsRefused) {
  ElemModuleCalls calls;
  EXPECT_EQ(ElemModuleLoad("NoSuchElementModule.dll", &calls), nullptr);
  EXPECT_EQ(ElemModuleLoad("kernel32.dll", &calls), nullptr);
  EXPECT_EQ(ElemCallsComplete(calls), 0);
}
