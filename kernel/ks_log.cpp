// The event-log writer of the kernel services layer.
#include "kernel/services.h"

#include <algorithm>
#include <cstring>

namespace {
DRIVER_OBJECT* g_logDriver;
const WCHAR NullText[] = u"(null)";
}  // namespace

void KsSetLogDriver(DRIVER_OBJECT* driver) { g_logDriver = driver; }

void KsLogEvent(void* object, uint32_t messageId, NTSTATUS finalStatus, const WCHAR* text, uint32_t dumpLength,
                const void* dump) {
  if (!object) object = g_logDriver;
  if (!object) return;
  if (!text) text = NullText;
  if (!dump) dumpLength = 0;
  // The packet holds at most ERROR_LOG_MAXIMUM_SIZE bytes: the text is cut
  // first to what fits alone, then the dump to what is left beside it.
  constexpr size_t Room = ERROR_LOG_MAXIMUM_SIZE - ErrorLogPacketHeader;
  size_t chars = std::char_traits<char16_t>::length(text);
  chars = std::min(chars, Room / 2 - 1);
  size_t textBytes = (chars + 1) * 2;
  size_t dumpBytes = std::min<size_t>(dumpLength, (Room - textBytes) & ~size_t(3));
  size_t size = ErrorLogPacketHeader + dumpBytes + textBytes;
  auto* p = static_cast<IO_ERROR_LOG_PACKET*>(IoAllocateErrorLogEntry(object, static_cast<uint8_t>(size)));
  if (!p) return;  // an entry that cannot be allocated is dropped
  auto* bytes = reinterpret_cast<uint8_t*>(p);
  p->ErrorCode = messageId;
  p->FinalStatus = finalStatus;
  p->EventCategory = KsEventCategory;
  p->DumpDataSize = static_cast<uint16_t>(dumpBytes);
  if (dumpBytes) std::memcpy(bytes + ErrorLogPacketHeader, dump, dumpBytes);
  p->NumberOfStrings = 1;
  p->StringOffset = static_cast<uint16_t>(ErrorLogPacketHeader + dumpBytes);
  std::memcpy(bytes + p->StringOffset, text, chars * 2);
  std::memset(bytes + p->StringOffset + chars * 2, 0, 2);
  IoWriteErrorLogEntry(p);
}

void KsLogException(const WCHAR* routine, const void* record, uint32_t recordLength) {
  KsLogEvent(nullptr, 0xC0060004, STATUS_SUCCESS, routine, recordLength, record);
}
