#include <windows.h>

#include "logs/qvMxAut/qvmxaut.h"
#include "mixer/mix/mixaut.h"
#include "mixer/mix/win32/winlib.h"

namespace {

int32_t __stdcall KnobValue(uint32_t hostKnobId, int32_t value, uint32_t) {
  MxaKnobValueCallback(hostKnobId, value);
  return 1;
}

class DllAut : public MixAutLib {
 public:
  int32_t SetRecordMode(uint32_t m) override { return Call<int32_t(__stdcall*)(uint32_t)>("_QVMXA_SetRecordMode@4", m); }
  int32_t StartPlayRec() override { return Call<int32_t(__stdcall*)()>("_QVMXA_StartPlayRec@0"); }
  int32_t StopPlayRec(uint32_t f, uint32_t l) override {
    return Call<int32_t(__stdcall*)(uint32_t, uint32_t)>("_QVMXA_StopPlayRec@8", f, l);
  }
  int32_t SetLocator(uint32_t l, uint32_t c) override {
    return Call<int32_t(__stdcall*)(uint32_t, uint32_t)>("_QVMXA_SetLocator@8", l, c);
  }
  int32_t CreateKnob(uint32_t id, const AutKnobDesc* d, AutKnobHandle* out) override {
    return Call<int32_t(__stdcall*)(uint32_t, const AutKnobDesc*, AutKnobHandle*)>("_QVMXA_CreateKnob@12", id, d, out);
  }
  int32_t DeleteKnob(AutKnobHandle k) override { return Call<int32_t(__stdcall*)(uint32_t)>("_QVMXA_DeleteKnob@4", k); }
  int32_t SetKnobAutomEnableMode(AutKnobHandle k, uint32_t m) override {
    return Call<int32_t(__stdcall*)(uint32_t, uint32_t)>("_QVMXA_SetKnobAutomEnableMode@8", k, m);
  }
  int32_t SetKnobValue(AutKnobHandle k, int32_t v, uint32_t l, uint32_t c) override {
    return Call<int32_t(__stdcall*)(uint32_t, int32_t, uint32_t, uint32_t)>("_QVMXA_SetKnobValue@16", k, v, l, c);
  }
  int32_t SetKnobTrkAndIndx(AutKnobHandle k, uint32_t t, uint32_t i) override {
    return Call<int32_t(__stdcall*)(uint32_t, uint32_t, uint32_t)>("_QVMXA_SetKnobTrkAndIndx@12", k, t, i);
  }
  int32_t CreateViewList(uint32_t t, uint32_t k, AutViewListHandle* out) override {
    return Call<int32_t(__stdcall*)(uint32_t, uint32_t, AutViewListHandle*)>("_QVMXA_CreateViewList@12", t, k, out);
  }
  int32_t AddView(AutViewListHandle l, const AutView* v) override {
    return Call<int32_t(__stdcall*)(uint32_t, const AutView*)>("_QVMXA_AddView@8", l, v);
  }
  int32_t DeleteAllViewLists(uint32_t k) override {
    return Call<int32_t(__stdcall*)(uint32_t)>("_QVMXA_DeleteAllViewLists@4", k);
  }
  int32_t CreatePlayLogKnobMap(int32_t n, AutMapHandle* out) override {
    return Call<int32_t(__stdcall*)(int32_t, AutMapHandle*)>("_QVMXA_CreatePlayLogKnobMap@8", n, out);
  }
  int32_t SetPlayLogKnobMapValue(AutMapHandle m, int32_t i, AutKnobHandle k) override {
    return Call<int32_t(__stdcall*)(uint32_t, int32_t, uint32_t)>("_QVMXA_SetPlayLogKnobMapValue@12", m, i, k);
  }
  int32_t DeleteAllPlayLogKnobMaps() override {
    return Call<int32_t(__stdcall*)()>("_QVMXA_DeleteAllPlayLogKnobMaps@0");
  }
  int32_t CreateLog(AutLogHandle* out) override {
    return Call<int32_t(__stdcall*)(AutLogHandle*)>("_QVMXA_CreateLog@4", out);
  }
  int32_t GetLogKnobEventCnt(AutLogHandle l, int32_t* n) override {
    return Call<int32_t(__stdcall*)(uint32_t, int32_t*)>("_QVMXA_GetLogKnobEventCnt@8", l, n);
  }
  int32_t GetAllLogKnobEvents(AutLogHandle l, int32_t* n, AutLogKnobEvent* out) override {
    return Call<int32_t(__stdcall*)(uint32_t, int32_t*, AutLogKnobEvent*)>("_QVMXA_GetAllLogKnobEvents@12", l, n, out);
  }
  int32_t CopyLog(AutLogHandle* out, AutLogHandle s, uint32_t a, uint32_t b) override {
    return Call<int32_t(__stdcall*)(AutLogHandle*, uint32_t, uint32_t, uint32_t)>("_QVMXA_CopyLog@16", out, s, a, b);
  }
  int32_t ReduceLogKnobEvents(AutLogHandle l, int32_t k, uint32_t a, uint32_t b, uint32_t t) override {
    return Call<int32_t(__stdcall*)(uint32_t, int32_t, uint32_t, uint32_t, uint32_t)>("_QVMXA_ReduceLogKnobEvents@20",
                                                                                     l, k, a, b, t);
  }
  int32_t AddLogKnobEvent(AutLogHandle l, const AutLogKnobEvent* e) override {
    return Call<int32_t(__stdcall*)(uint32_t, const AutLogKnobEvent*)>("_QVMXA_AddLogKnobEvent@8", l, e);
  }
  int32_t DeleteLogKnobEvent(AutLogHandle l, int32_t k, uint32_t loc) override {
    return Call<int32_t(__stdcall*)(uint32_t, int32_t, uint32_t)>("_QVMXA_DeleteLogKnobEvent@12", l, k, loc);
  }
  int32_t DeleteLog(AutLogHandle l) override { return Call<int32_t(__stdcall*)(uint32_t)>("_QVMXA_DeleteLog@4", l); }
  int32_t DeleteRecordLogKnobMap(AutMapHandle m) override {
    return Call<int32_t(__stdcall*)(uint32_t)>("_QVMXA_DeleteRecordLogKnobMap@4", m);
  }
  int32_t GetRecordLogKnobMapValue(AutMapHandle m, int32_t i, int32_t* k, int32_t* w) override {
    return Call<int32_t(__stdcall*)(uint32_t, int32_t, int32_t*, int32_t*)>("_QVMXA_GetRecordLogKnobMapValue@16", m, i,
                                                                           k, w);
  }
  int32_t GetPrvLogKnobEventFromLoc(AutLogHandle l, int32_t k, uint32_t loc, AutLogKnobEvent* out) override {
    return Call<int32_t(__stdcall*)(uint32_t, int32_t, uint32_t, AutLogKnobEvent*)>(
        "_QVMXA_GetPrvLogKnobEventFromLoc@16", l, k, loc, out);
  }
  int32_t GetNxtLogKnobEventFromLoc(AutLogHandle l, int32_t k, uint32_t loc, AutLogKnobEvent* out) override {
    return Call<int32_t(__stdcall*)(uint32_t, int32_t, uint32_t, AutLogKnobEvent*)>(
        "_QVMXA_GetNxtLogKnobEventFromLoc@16", l, k, loc, out);
  }

 private:
  HMODULE Library() {
    if (!tried_) {
      tried_ = true;
      dll_ = LoadLibraryA("qvMxAut.dll");
      if (dll_) {
        auto init = reinterpret_cast<int32_t(__stdcall*)(const AutInitRecord*)>(
            reinterpret_cast<void*>(GetProcAddress(dll_, "_QVMXA_Init@4")));
        AutInitRecord rec{};
        rec.knobValue = &KnobValue;
        if (init) init(&rec);
      }
    }
    return dll_;
  }
  template <typename Fn, typename... Args> int32_t Call(const char* name, Args... args) {
    HMODULE dll = Library();
    if (!dll) return 0;
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    return fn ? fn(args...) : 0;
  }
  bool tried_ = false;
  HMODULE dll_ = nullptr;
};

}  // namespace

MixAutLib& DllAutLib() {
  static DllAut lib;
  return lib;
}
