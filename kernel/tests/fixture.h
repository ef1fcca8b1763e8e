// A fresh simulated machine per test, the driver loaded on it, and the
// driver's pool checked for leaks when the test ends.
#pragma once
#include "kernel/km/kmsim.h"
#include "kernel/km/um.h"
#include "kernel/qvdev.h"

#include <gtest/gtest.h>

inline const std::u16string ServiceKey = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\Qvdev";
inline const std::u16string ParametersKey = ServiceKey + u"\\Parameters";

inline simbus::PciIdentity TavrionId() { return {0x1057, 0x1801, 0x89AB, 0x2345}; }
inline simbus::PciIdentity CorbelleId() { return {0x1057, 0x1801, 0x89AB, 0x6935}; }

class KernelTest : public ::testing::Test {
 protected:
  void SetUp() override { km::Reset(); }
  void TearDown() override {
    if (driver) km::UnloadDriver(driver);
    EXPECT_EQ(km::PoolInUse(KsPoolTag).blocks, 0) << "driver pool left allocated";
    EXPECT_EQ(km::PoolInUse(KsInitPoolTag).blocks, 0) << "start-up pool left allocated";
  }
  NTSTATUS Load() { return km::LoadDriver(DriverEntry, ServiceKey, &driver); }
  // Arrival of a board node with the given first hardware id.
  km::Arrival Arrive(const simbus::DeviceNode& node) { return km::PnpArrive(driver, node); }
  km::Arrival ArriveBoard(const simbus::PciIdentity& id, uint32_t slot = 1) {
    return Arrive(simbus::PciNode(id, slot));
  }
  // Query-remove, remove and the node's deletion.
  void RemoveNode(DEVICE_OBJECT* pdo) {
    EXPECT_EQ(km::PnpRequest(pdo, IRP_MN_QUERY_REMOVE_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(km::PnpRequest(pdo, IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
    km::PnpDeleteNode(pdo);
  }
  static CBoardDevice* Board(const char16_t* name) {
    DEVICE_OBJECT* d = km::FindDevice(name);
    return d ? static_cast<CBoardDevice*>(CKeDevice::From(d)) : nullptr;
  }
  static std::u16string DeviceKey(DEVICE_OBJECT* pdo) { return pdo->Node->registryPath + u"\\Device Parameters"; }

  DRIVER_OBJECT* driver = nullptr;
};
