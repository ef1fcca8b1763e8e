// The play channel of a Part being recorded. A recorded Part plays through
// its record track while the recording runs; its play channel is negative
// and carries both the record track (1..192) and the loop-record pass that
// laid it:
//
//   channel = -(recordTrack + 192 x pass)      recordTrack 1..192, pass >= 0
//
// The members of a multi-channel record track lie 48 record tracks apart:
// member k of the group whose first record track is r records onto
// ((r - 1 + 48 k) mod 192) + 1, in the same pass, so a member never spills
// into the next pass's numbers. Decoding works on the magnitude, so it does
// not depend on how negative numbers divide.
#pragma once

#include <cstdint>

inline constexpr int32_t kRecTrackCount = 192;
inline constexpr int32_t kRecMemberStep = 48;
// The highest pass whose channels still fit a 32-bit play channel.
inline constexpr int32_t kRecMaxPass = (INT32_MAX - kRecTrackCount) / kRecTrackCount;

// The record track of member `member` (0-based) of a group starting at
// `firstTrack`; 0 for arguments out of range.
int32_t RecMemberTrack(int32_t firstTrack, int32_t member);
// The negative play channel of a recording; 0 for arguments out of range.
int32_t RecPlayChannel(int32_t recordTrack, int32_t pass);
// Record track (1..192) and pass of a negative play channel; 0 and -1 for a
// channel that is not negative.
int32_t RecChannelTrack(int32_t channel);
int32_t RecChannelPass(int32_t channel);
