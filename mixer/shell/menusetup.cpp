#include "mixer/shell/menusetup.h"

#include "mixer/model/util/strtab.h"

namespace {

constexpr MenuPath kMasterClock = {0, -1}, kClockOut = {1, -1}, kIoMode = {2, -1};
constexpr MenuPath kIo96k = {2, 0}, kIoMadi96k = {2, 1}, kIoMadi = {2, 2}, kIoAes = {2, 3};

class Edits {
 public:
  explicit Edits(std::vector<MenuEdit>& out) : out_(out) {}
  void Delete(uint32_t id) { out_.push_back({kMenuDeleteId, id, 0, {}, 0}); }
  void Rename(uint32_t id, uint32_t text) { out_.push_back({kMenuRenameId, id, text, {}, 0}); }
  void DeletePos(MenuPath path, int32_t pos) { out_.push_back({kMenuDeletePos, 0, 0, path, pos}); }
  void GreyPos(MenuPath path, int32_t pos) { out_.push_back({kMenuGreyPos, 0, 0, path, pos}); }
  void Grey(uint32_t id) { out_.push_back({kMenuGreyId, id, 0, {}, 0}); }

 private:
  std::vector<MenuEdit>& out_;
};

bool In(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }
bool OneOf(int32_t v, std::initializer_list<int32_t> set) {
  for (int32_t s : set)
    if (v == s) return true;
  return false;
}

// Item k (1-based) of unit u's groups.
uint32_t C(int u, int k) { return 40360 + 6 * static_cast<uint32_t>(u) + static_cast<uint32_t>(k - 1); }
uint32_t I(int u, int k) { return 40384 + 6 * static_cast<uint32_t>(u) + static_cast<uint32_t>(k - 1); }
uint32_t M(int u, int k) { return 40408 + 14 * static_cast<uint32_t>(u) + static_cast<uint32_t>(k - 1); }

// The tail every master-clock table but type 100's ends with.
void DeleteSuperAndPhase(Edits& e, int u) {
  for (int k : {9, 10, 12, 13, 14}) e.Delete(M(u, k));
}

void MasterClockByType(Edits& e, int u, int32_t type) {
  if (type == 5) {
    e.Delete(M(u, 2));
    e.Delete(M(u, 7));
    e.Rename(M(u, 8), IDS_MENU_FRAME_CLOCK_2);
  } else if (type == 8 || type == 9 || OneOf(type, {10, 11, 17})) {
    if (type == 8 || type == 9) e.Delete(M(u, 2));
    else e.Rename(M(u, 2), IDS_MENU_MADI);
    e.Rename(M(u, 3), IDS_MENU_AES_12);
    for (int k = 5; k <= 8; ++k) e.Rename(M(u, k), IDS_MENU_AES_34 + static_cast<uint32_t>(k - 5));
  } else if (OneOf(type, {12, 15, 13, 14, 16})) {
    if (type == 12 || type == 15) e.Delete(M(u, 2));
    else e.Rename(M(u, 2), IDS_MENU_MADI);
    e.Rename(M(u, 3), IDS_MENU_ADAT_A);
    e.Rename(M(u, 5), IDS_MENU_ADAT_B);
    e.Rename(M(u, 6), IDS_MENU_ADAT_C);
    e.Delete(M(u, 7));
    e.Rename(M(u, 8), IDS_MENU_FRAME_CLOCK_2);
  } else if (type == 100) {
    e.Rename(M(u, 2), IDS_MENU_MADI_A);
    e.Rename(M(u, 3), IDS_MENU_MADI_B);
    for (int k : {5, 6, 7, 8, 9, 10, 12, 13, 14}) e.Delete(M(u, k));
    return;
  } else {
    e.Rename(M(u, 2), IDS_MENU_MADI);
    e.Delete(M(u, 7));
    e.Rename(M(u, 8), IDS_MENU_FRAME_CLOCK_2);
  }
  DeleteSuperAndPhase(e, u);
}

void CardOnlyUnit(Edits& e, int u, const MenuUnit& unit) {
  if (unit.ioType != 100) {
    e.Delete(C(u, 3));
    e.Rename(C(u, 4), IDS_MENU_FRAME_CLOCK);
    e.Rename(C(u, 5), IDS_MENU_FRAME_CLOCK_90);
    e.Delete(C(u, 6));
  } else {
    for (int k = 1; k <= 6; ++k) e.Delete(C(u, k));
  }
  if (In(unit.ioType, 8, 11) || unit.ioType == 17) {
    e.Rename(I(u, 1), IDS_MENU_2CH_AES);
    e.Rename(I(u, 2), IDS_MENU_1CH_AES);
  }
  for (int k = 3; k <= 6; ++k) e.Delete(I(u, k));
  MasterClockByType(e, u, unit.ioType);
}

void HostUnit(Edits& e, int u, const MenuUnit& unit) {
  if (unit.hwKind == 3)
    for (uint32_t id : {I(u, 4), I(u, 6), M(u, 5), M(u, 6), M(u, 8), M(u, 9)}) e.Delete(id);
  if (unit.hwKind == 2)
    for (uint32_t id : {M(u, 2), I(u, 3), I(u, 5)}) e.Delete(id);
  if (unit.mixDsps) {
    e.Delete(I(u, 1));
    e.Delete(I(u, 2));
    return;
  }
  if (unit.hwKind != 2) e.Delete(I(u, 3));
  if (unit.hwKind != 3) e.Delete(I(u, 4));
  if (unit.hwKind != 2) e.Delete(I(u, 5));
  if (unit.hwKind != 3) e.Delete(I(u, 6));
}

void RemoveAbsentUnits(Edits& e, int count) {
  for (int u = 3; u >= count; --u) {
    e.Delete(41611 + static_cast<uint32_t>(u));
    e.DeletePos(kClockOut, u);
    for (MenuPath io : {kIo96k, kIoMadi96k, kIoMadi, kIoAes}) e.DeletePos(io, u);
    e.DeletePos(kMasterClock, u);
  }
}

void GreyUnsupportedIo(Edits& e, const MenuUnit* units, int count) {
  bool any96k = false, anyMadi = false, anyAes = false;
  for (int u = 0; u < count; ++u) {
    const MenuUnit& unit = units[u];
    const int32_t t = unit.ioType;
    if (unit.cardOnly) e.Grey(41611 + static_cast<uint32_t>(u));
    if (In(t, 12, 16) || t == 100) e.GreyPos(kIo96k, u);
    if (t == 100) e.GreyPos(kClockOut, u);
    if (OneOf(t, {5, 8, 9, 12, 15})) {
      e.GreyPos(kIoMadi96k, u);
      e.GreyPos(kIoMadi, u);
    }
    if (OneOf(t, {5, 6, 7, 100}) || In(t, 12, 16)) e.GreyPos(kIoAes, u);
    if (!unit.cardOnly)
      for (MenuPath io : {kIoMadi96k, kIoMadi, kIoAes}) e.GreyPos(io, u);
    any96k |= In(t, 5, 11) || t == 17 || unit.rate96k;
    anyMadi |= unit.cardOnly && OneOf(t, {6, 7, 10, 11, 13, 14, 16, 17, 100});
    anyAes |= unit.cardOnly && (In(t, 8, 11) || t == 17);
  }
  if (!any96k) e.GreyPos(kIoMode, kIo96k.io);
  if (!anyMadi) {
    e.GreyPos(kIoMode, kIoMadi96k.io);
    e.GreyPos(kIoMode, kIoMadi.io);
  }
  if (!anyAes) e.GreyPos(kIoMode, kIoAes.io);
}

}  // namespace

std::vector<MenuEdit> MainMenuSetupEdits(const MenuUnit* units, int count) {
  if (count < 0) count = 0;
  if (count > 4) count = 4;
  std::vector<MenuEdit> out;
  Edits e(out);
  for (int u = 0; u < count; ++u) {
    if (units[u].cardOnly) CardOnlyUnit(e, u, units[u]);
    else HostUnit(e, u, units[u]);
  }
  RemoveAbsentUnits(e, count);
  GreyUnsupportedIo(e, units, count);
  // Muted/solo audio outputs and audio-track colours above 128.
  for (uint32_t id = 46128; id <= 46191; ++id) e.Delete(id);
  for (uint32_t id = 47128; id <= 47191; ++id) e.Delete(id);
  return out;
}
