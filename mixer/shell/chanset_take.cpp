// The channel-set finder over the Takes of a Take's folder.
#include <cstring>
#include <string>
#include <vector>

#include "mixer/model/take.h"
#include "mixer/model/taketime.h"
#include "mixer/shell/chanset.h"

namespace {

std::string BaseName(const char* path) {
  const char* slash = std::strrchr(path, '\\');
  std::string name = slash ? slash + 1 : path;
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

ChanSetTake Describe(TakeRec* t, const std::string& name) {
  return ChanSetTake{t,
                     name.c_str(),
                     t->kind,
                     TakeLenAtKind(t, t->kind, 0),
                     t->sampleRate,
                     t->word1,
                     {TakeInRing(t), (t->flags & kTakeWasInRing) != 0}};
}

}  // namespace

int TakeFindChannelSet(TakeRec* out[17], TakeRec* take, int mode, int32_t* stemLength) {
  const std::string ownName = BaseName(take->path);
  std::string dir = take->path;
  const size_t slash = dir.rfind('\\');
  dir.resize(slash == std::string::npos ? 0 : slash + 1);
  std::vector<TakeRec*> takes;
  for (TakeRec* t = TakeFindFirst(dir.c_str()); t; t = TakeFindNext(t)) takes.push_back(t);
  std::vector<std::string> names;
  names.reserve(takes.size());
  for (TakeRec* t : takes) names.push_back(BaseName(t->path));
  std::vector<ChanSetTake> candidates;
  candidates.reserve(takes.size());
  for (size_t i = 0; i < takes.size(); ++i) candidates.push_back(Describe(takes[i], names[i]));
  const void* found[17] = {};
  const int n = ChanSetFind(Describe(take, ownName), candidates.data(),
                            static_cast<int>(candidates.size()), mode, found, stemLength);
  for (int i = 0; i < n; ++i) out[i] = static_cast<TakeRec*>(const_cast<void*>(found[i]));
  return n;
}
