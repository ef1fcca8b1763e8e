// Scripted devices on the simulated machine for the library's tests: a board
// whose DSPs do not run (the attach answers bus reset until it is booted,
// the identity carries its board id, boot and load requests are recorded),
// and a stream device that hands out a scripted number of blocks. Both are
// devices of a small driver loaded on the machine beside the real one.
// Plain types only: this header is included beside the platform's headers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace scripted {

struct Request {
  uint32_t code;
  std::vector<uint8_t> input;
};

// Loads the scripted driver on the running simulated machine.
void Load();
void Unload();

// A board at \\.\<name> with the given id. failBootAt: the n-th boot or load
// request (from 0) fails with a device error; -1 for none.
void AddBoard(const char* name, uint32_t boardId, int failBootAt = -1);
std::vector<Request> BoardRequests(const char* name);
// What the board answers to a request code it does not handle itself
// (attach, identity, boot and load): success with `reply` (cut to the
// caller's output length) or a device error. Codes without an answer are
// invalid requests.
void SetAnswer(const char* name, uint32_t code, bool succeed, std::vector<uint8_t> reply = {});

// A stream device at \\.\<name> that completes `blocks` waits and then keeps
// the next one pending until the stream is stopped.
void AddStream(const char* name, uint32_t blocks);
std::vector<Request> StreamRequests(const char* name);
uint32_t StreamWaitsServed(const char* name);
// Lets the stream hand out `blocks` more, serving a wait left pending.
void AddBlocks(const char* name, uint32_t blocks);
// Makes every later wait fail with a device error.
void FailStreamWaits(const char* name);

}  // namespace scripted
