// MIDI input modules: up to five module files, bound by their entry points'
// decorated names and connected with the host table.
#include "logs/qvMidRec/engine_private.h"

namespace {

template <class Fn>
bool Bind(const MipLoader& loader, uintptr_t module, const char* name, Fn* out) {
  *out = reinterpret_cast<Fn>(loader.bind(loader.context, module, name));
  return *out != nullptr;
}

}  // namespace

uint32_t MidiLoadModules(const MipLoader& loader, const char* const* paths, uint32_t count) {
  MidiEngineState& engine = Engine();
  engine.loader = loader;
  for (uint32_t f = 0; f < count && engine.moduleCount < kMipMaxModules; ++f) {
    const uintptr_t module = loader.load(loader.context, paths[f]);
    if (module == 0) continue;
    MipModRecord& rec = engine.modules[engine.moduleCount];
    rec = MipModRecord{};
    if (!Bind(loader, module, "_QVMIP_ConnectModule@20", &rec.connect) ||
        !Bind(loader, module, "_QVMIP_DisconnectModule@0", &rec.disconnect) ||
        !Bind(loader, module, "_QVMIP_EnableMidiMsgInput@8", &rec.enable)) {
      loader.unload(loader.context, module);
      rec = MipModRecord{};
      continue;
    }
    rec.module = module;
    // What connect returns is not looked at: the version it reports decides.
    rec.connect(engine.moduleCount + 1, MidiHostFuncs(), &rec.info, kMipHostTracks, 0);
    if (rec.info.version != kMipInterfaceVersion) {
      rec.disconnect();
      loader.unload(loader.context, module);
      rec = MipModRecord{};
      continue;
    }
    ++engine.moduleCount;
  }
  return engine.moduleCount;
}

uint32_t MidiModuleCount() { return Engine().moduleCount; }

int32_t MidiQuit() {
  MidiEngineState& engine = Engine();
  for (uint32_t i = 0; i < engine.moduleCount; ++i) {
    engine.loader.unload(engine.loader.context, engine.modules[i].module);
    engine.modules[i] = MipModRecord{};
  }
  engine.moduleCount = 0;
  return 1;
}
