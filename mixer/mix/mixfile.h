// Mix files (.MIX): one mixer document with its view settings, columns and
// every element's state and knob settings. Written as "MFFV2.1"; read as
// "MFFV1.B" and "MFFV2.0" to "MFFV2.2". The same image serves the mixdown,
// which keeps the user's mixer in memory while it works.
#pragma once

#include <cstdint>
#include <vector>

#include "mixer/mix/mixdoc.h"

constexpr uint32_t kMixHeaderSize = 60;
constexpr uint32_t kMixColumnSize = 88;
constexpr uint32_t kMixElemSize = 44;
constexpr uint32_t kMixKnobRecSize = 32;
constexpr uint32_t kMixOldHeaderSize = 32;
constexpr uint32_t kMixOldColumnSize = 72;
constexpr uint32_t kMixOldElemSize = 20;
// Image blocks are allocated in whole multiples of this.
constexpr uint32_t kMixImageGrain = 512;

enum MixVersion : int { kMixV1B, kMixV20, kMixV21, kMixV22, kMixVUnknown };
// The version of an 8-byte magic.
MixVersion MixVersionOf(const char magic[8]);

// The image of the document: the block (zero-filled, a multiple of 512
// bytes) and in *length the bytes written; false after message 192.
bool MixBuildImage(MixDoc* doc, std::vector<uint8_t>* image, uint32_t* length);
// 1 when the image is of a known version and its records, walked with the
// lengths they state, end exactly at its end.
int MixCheckImage(const uint8_t* image, uint32_t length, char magicOut[8]);
// A document from an image (which the open may rewrite); null after a
// message.
MixDoc* MixOpenImage(uint8_t* image, uint32_t length, int withWindow);
MixDoc* MixOpenFromMemory(std::vector<uint8_t>* image, uint32_t length, int withWindow);
int MixWriteFile(MixDoc* doc, const char* path);
MixDoc* MixReadFile(const char* path, int withWindow);
