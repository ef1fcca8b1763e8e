// The registry of the simulated kernel: a tree of keys with typed values,
// names compared without case, reached through kernel handles.
#include "kernel/km/km_private.h"

#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {
struct Value {
  std::u16string name;
  uint32_t type;
  std::vector<uint8_t> data;
};
struct Key {
  std::u16string name;
  std::map<std::u16string, std::unique_ptr<Key>> subkeys;  // by lower-case name
  std::map<std::u16string, Value> values;                 // by lower-case name
};
std::recursive_mutex g_reg;
std::unique_ptr<Key> g_root = std::make_unique<Key>();

std::vector<std::u16string> Components(const std::u16string& path) {
  std::vector<std::u16string> parts;
  size_t i = 0;
  while (i < path.size()) {
    size_t j = path.find(u'\\', i);
    if (j == std::u16string::npos) j = path.size();
    if (j > i) parts.push_back(path.substr(i, j - i));
    i = j + 1;
  }
  return parts;
}

// The key a path names below a start key; creates the missing ones when asked.
Key* Walk(Key* from, const std::u16string& path, bool create, bool* created) {
  Key* k = from;
  for (const auto& part : Components(path)) {
    auto& slot = k->subkeys[km::Lower(part)];
    if (!slot) {
      if (!create) {
        k->subkeys.erase(km::Lower(part));
        return nullptr;
      }
      slot = std::make_unique<Key>();
      slot->name = part;
      if (created) *created = true;
    }
    k = slot.get();
  }
  return k;
}

// The key an open names: relative to its root handle, else an absolute
// "\Registry\..." path. Only the last component may be created.
NTSTATUS Locate(const OBJECT_ATTRIBUTES* a, bool create, Key** out, bool* created) {
  Key* base = g_root.get();
  std::u16string path = km::Str(a->ObjectName);
  if (a->RootDirectory) {
    base = static_cast<Key*>(km::HandleObject(a->RootDirectory, km::HandleKind::Key));
    if (!base) return STATUS_INVALID_HANDLE;
  } else if (km::Lower(path).rfind(u"\\registry", 0) != 0) {
    return STATUS_OBJECT_NAME_INVALID;
  }
  auto parts = Components(path);
  if (parts.empty()) {
    *out = base;
    return STATUS_SUCCESS;
  }
  std::u16string parent;
  for (size_t i = 0; i + 1 < parts.size(); ++i) parent += u"\\" + parts[i];
  Key* p = Walk(base, parent, false, nullptr);
  if (!p) return STATUS_OBJECT_NAME_NOT_FOUND;
  Key* k = Walk(p, parts.back(), create, created);
  if (!k) return STATUS_OBJECT_NAME_NOT_FOUND;
  *out = k;
  return STATUS_SUCCESS;
}

Key* KeyOf(HANDLE h) { return static_cast<Key*>(km::HandleObject(h, km::HandleKind::Key)); }
}  // namespace

void InitializeObjectAttributes(OBJECT_ATTRIBUTES* a, const UNICODE_STRING* name, uint32_t attributes, HANDLE root,
                                void*) {
  a->RootDirectory = root;
  a->ObjectName = name;
  a->Attributes = attributes;
}

NTSTATUS ZwOpenKey(HANDLE* key, ACCESS_MASK, const OBJECT_ATTRIBUTES* attributes) {
  std::lock_guard<std::recursive_mutex> lk(g_reg);
  Key* k;
  NTSTATUS status = Locate(attributes, false, &k, nullptr);
  if (!NT_SUCCESS(status)) return status;
  *key = km::NewHandle(km::HandleKind::Key, k);
  return STATUS_SUCCESS;
}

NTSTATUS ZwCreateKey(HANDLE* key, ACCESS_MASK, const OBJECT_ATTRIBUTES* attributes, uint32_t, const UNICODE_STRING*,
                     uint32_t, uint32_t* disposition) {
  std::lock_guard<std::recursive_mutex> lk(g_reg);
  Key* k;
  bool created = false;
  NTSTATUS status = Locate(attributes, true, &k, &created);
  if (!NT_SUCCESS(status)) return status;
  if (disposition) *disposition = created ? 1 : 2;  // new key, existing key
  *key = km::NewHandle(km::HandleKind::Key, k);
  return STATUS_SUCCESS;
}

NTSTATUS ZwQueryValueKey(HANDLE key, const UNICODE_STRING* name, KEY_VALUE_INFORMATION_CLASS cls, void* info,
                         uint32_t length, uint32_t* resultLength) {
  std::lock_guard<std::recursive_mutex> lk(g_reg);
  Key* k = KeyOf(key);
  if (!k) return STATUS_INVALID_HANDLE;
  if (cls != KeyValuePartialInformation) return STATUS_INVALID_PARAMETER;
  auto it = k->values.find(km::Lower(km::Str(name)));
  if (it == k->values.end()) return STATUS_OBJECT_NAME_NOT_FOUND;
  const Value& v = it->second;
  uint32_t needed = static_cast<uint32_t>(KeyValuePartialHeader + v.data.size());
  if (resultLength) *resultLength = needed;
  if (length < KeyValuePartialHeader) return STATUS_BUFFER_TOO_SMALL;
  auto* p = static_cast<KEY_VALUE_PARTIAL_INFORMATION*>(info);
  p->TitleIndex = 0;
  p->Type = v.type;
  p->DataLength = static_cast<uint32_t>(v.data.size());
  if (length < needed) return STATUS_BUFFER_OVERFLOW;
  if (!v.data.empty()) std::memcpy(static_cast<uint8_t*>(info) + KeyValuePartialHeader, v.data.data(), v.data.size());
  return STATUS_SUCCESS;
}

NTSTATUS ZwSetValueKey(HANDLE key, const UNICODE_STRING* name, uint32_t, uint32_t type, const void* data,
                       uint32_t size) {
  std::lock_guard<std::recursive_mutex> lk(g_reg);
  Key* k = KeyOf(key);
  if (!k) return STATUS_INVALID_HANDLE;
  std::u16string n = km::Str(name);
  const auto* b = static_cast<const uint8_t*>(data);
  k->values[km::Lower(n)] = Value{n, type, std::vector<uint8_t>(b, b + (b ? size : 0))};
  return STATUS_SUCCESS;
}

NTSTATUS ZwEnumerateKey(HANDLE key, uint32_t index, KEY_INFORMATION_CLASS cls, void* info, uint32_t length,
                        uint32_t* resultLength) {
  std::lock_guard<std::recursive_mutex> lk(g_reg);
  Key* k = KeyOf(key);
  if (!k) return STATUS_INVALID_HANDLE;
  if (cls != KeyBasicInformation) return STATUS_INVALID_PARAMETER;
  if (index >= k->subkeys.size()) return STATUS_NO_MORE_ENTRIES;
  auto it = k->subkeys.begin();
  std::advance(it, index);
  const std::u16string& n = it->second->name;
  uint32_t needed = static_cast<uint32_t>(KeyBasicInformationHeader + n.size() * 2);
  if (resultLength) *resultLength = needed;
  if (length < KeyBasicInformationHeader) return STATUS_BUFFER_TOO_SMALL;
  auto* b = static_cast<KEY_BASIC_INFORMATION*>(info);
  b->LastWriteTime = 0;
  b->TitleIndex = 0;
  b->NameLength = static_cast<uint32_t>(n.size() * 2);
  if (length < needed) return STATUS_BUFFER_OVERFLOW;
  std::memcpy(static_cast<uint8_t*>(info) + KeyBasicInformationHeader, n.data(), n.size() * 2);
  return STATUS_SUCCESS;
}

NTSTATUS ZwClose(HANDLE handle) {
  km::HandleKind kind;
  void* object;
  if (!km::CloseHandleEntry(handle, &kind, &object)) return STATUS_INVALID_HANDLE;
  if (kind == km::HandleKind::Thread) ObDereferenceObject(object);
  return STATUS_SUCCESS;
}

namespace km {

void ResetRegistry() {
  std::lock_guard<std::recursive_mutex> lk(g_reg);
  g_root = std::make_unique<Key>();
}

void RegCreateKey(const std::u16string& path) {
  std::lock_guard<std::recursive_mutex> lk(g_reg);
  Walk(g_root.get(), path, true, nullptr);
}

bool RegKeyExists(const std::u16string& path) {
  std::lock_guard<std::recursive_mutex> lk(g_reg);
  return Walk(g_root.get(), path, false, nullptr) != nullptr;
}

void RegWrite(const std::u16string& path, const std::u16string& name, uint32_t type, const void* data,
              uint32_t size) {
  std::lock_guard<std::recursive_mutex> lk(g_reg);
  Key* k = Walk(g_root.get(), path, true, nullptr);
  const auto* b = static_cast<const uint8_t*>(data);
  k->values[Lower(name)] = Value{name, type, std::vector<uint8_t>(b, b + size)};
}

void RegWriteDword(const std::u16string& path, const std::u16string& name, uint32_t value) {
  RegWrite(path, name, REG_DWORD, &value, 4);
}

static const Value* Find(const std::u16string& path, const std::u16string& name) {
  Key* k = Walk(g_root.get(), path, false, nullptr);
  if (!k) return nullptr;
  auto it = k->values.find(Lower(name));
  return it == k->values.end() ? nullptr : &it->second;
}

std::optional<uint32_t> RegReadDword(const std::u16string& path, const std::u16string& name) {
  std::lock_guard<std::recursive_mutex> lk(g_reg);
  const Value* v = Find(path, name);
  if (!v || v->type != REG_DWORD || v->data.size() != 4) return std::nullopt;
  uint32_t x;
  std::memcpy(&x, v->data.data(), 4);
  return x;
}

std::optional<std::u16string> RegReadString(const std::u16string& path, const std::u16string& name) {
  std::lock_guard<std::recursive_mutex> lk(g_reg);
  const Value* v = Find(path, name);
  if (!v || v->type != REG_SZ) return std::nullopt;
  std::u16string s(v->data.size() / 2, u'\0');
  std::memcpy(s.data(), v->data.data(), s.size() * 2);
  while (!s.empty() && s.back() == u'\0') s.pop_back();
  return s;
}

}  // namespace km
