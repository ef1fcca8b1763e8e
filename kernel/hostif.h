// The host interface of the PCI DSP boards: its registers (offsets from the
// mapped base of the board's first memory range), their bits and the host
// commands the driver writes.
#pragma once
#include <cstdint>

constexpr uint32_t HostControl = 0x10;   // HCTR
constexpr uint32_t HostStatus = 0x14;    // HSTR
constexpr uint32_t HostCommand = 0x18;   // HCVR
constexpr uint32_t HostData = 0x1C;      // data; +0x20..+0x28 take a burst's further words

constexpr uint32_t HstrBusy = 1u << 15;       // the read is repeated while set
constexpr uint32_t HstrInterrupt = 1u << 6;   // the DSP requests an interrupt
constexpr uint32_t HstrRunning = 1u << 5;     // firmware running
constexpr uint32_t HstrAnswering = 1u << 4;   // firmware answering
constexpr uint32_t HstrFlush = 1u << 3;       // the firmware wants a flush
constexpr uint32_t HstrReceive = 1u << 2;     // receive data available
constexpr uint32_t HstrRoom = 1u << 1;        // transmit FIFO has room
constexpr uint32_t HstrEmpty = 1u << 0;       // transmit FIFO empty
// A status register that never settles counts as a board not running.
constexpr int HstrTries = 1000;

constexpr uint32_t HctrBoot = 0x4900;      // before a boot and at stop
constexpr uint32_t HctrStreaming = 0x4920; // after the firmware accepted its start
constexpr uint32_t HcvrStart = 0x8000;
constexpr uint32_t HcvrAck = 0x806F;
constexpr uint32_t HcvrReset = 0x806D;
constexpr uint32_t HcvrFlush = 0x806B;
constexpr uint32_t HcvrStop = 0x8069;
constexpr uint32_t HcvrMailbox = 107;      // the shared mailbox holds a command

constexpr uint32_t HostLatencyTimer = 13;  // PCI configuration byte written 0x40 at start
constexpr uint32_t MailboxWords = 14;      // the mailbox's largest word count
