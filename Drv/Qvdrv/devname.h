// The device names of the device API, portable: how the name a caller gives
// (after its redirection) becomes the path that is opened, and the framing of
// the requests that boot a board and move DSP memory.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qvname {

enum class PathKind {
  Local,        // path: the device path to open here
  Remote,       // server: the computer; path: the local name there (\\.\device)
  BadRemote,    // \\server with nothing after the server name
};

struct DevicePath {
  PathKind kind;
  char path[260];
  char server[256];
};

// "\\.\x" and "\\?\x" stay as they are; "\\server\device" is remote; any
// other name is put below "\\." with one backslash between.
DevicePath PathOfName(const char* name);

}  // namespace qvname

namespace qvframe {

// Image bytes 10 F3 29 mark a DSP program file: its body (after the three
// mark bytes, without the last two bytes) goes down with the load request;
// any other image goes whole with the boot request.
enum class ImageKind { BootImage, ProgramFile };
struct ImageFrame {
  ImageKind kind;
  uint32_t offset;  // first byte sent
  uint32_t length;  // bytes sent
};
ImageFrame FrameImage(const uint8_t* image, uint32_t length);
// A program file needs its mark and its two last bytes; shorter images that
// begin with the mark go whole. The board class refuses images under five
// bytes before framing them.
constexpr uint32_t MinimumImage = 5;

// The DSP memory transfer record: word 0 = count (bits 0-22), bit 23 for a
// write; word 1 = the DSP word address; then count words.
constexpr uint32_t DspMemoryCountMask = 0x7FFFFF;
constexpr uint32_t DspMemoryWrite = 1u << 23;
constexpr uint32_t DspMemoryHeader = 8;
struct MemoryRequest {
  uint32_t control;   // word 0 as it is sent
  uint32_t inBytes;   // input: header, with the data words for a write
  uint32_t outBytes;  // output: the data words for a read
};
MemoryRequest DumpRequest(uint32_t control);
MemoryRequest LoadRequest(uint32_t control);

}  // namespace qvframe
