// Edit-grid snapping of positions by the project's SnapMode.
#pragma once

#include <cstdint>

#include "mixer/model/arr.h"
#include "mixer/model/marker.h"

enum SnapModeId : uint32_t {
  kSnapBar = 0,
  kSnapQuarter = 1,        // 1..4: 1/4, 1/8, 1/16, 1/32 notes
  kSnapQuarterTriplet = 5, // 5..8: triplets of the same
  kSnapTcSecond = 9,
  kSnapTcHalfSecond = 10,
  kSnapFrame = 11,         // 11..14: frames, quarter, tenth, hundredth frames
  kSnapPartEdges = 15,
  kSnapMarkers = 16,
  kSnapLocators = 17,
  kSnapAllTargets = 18,
};

enum SnapDirection : int32_t {
  kSnapNearest = 0,  // on equal distance the later point
  kSnapLater = 1,    // the later point unless the position is on the earlier
  kSnapEarlier = 2,
};

// What target snapping leaves out.
enum SnapExclusion : int32_t {
  kSnapExcludeNone = 0,
  kSnapOnlyUnselParts = 1,
  kSnapExcludeNow = 2,
  kSnapExcludeLeft = 3,
  kSnapExcludeRight = 4,
  kSnapNoTargets = 5,  // target modes do not snap at all
};

// Snaps a position (a negative one counts as 0) to the grid of SnapMode in
// the given direction. With a length, the end is snapped too and the start
// moves by the end's snap when that target lies closer (or only the end has
// one). Unless noDistanceLimit is set, a snap further than 12 pixels of the
// arrange view is not made. The position comes back unchanged when snapping
// is off, the mode is not one of 0..18 or target snapping is excluded; a
// position with no grid point, or too far from it, comes back as itself
// (at least 0). arr and markers may be null.
int32_t SnapLoc(int32_t position, int32_t length, int32_t direction, const ArrRec* arr,
                const MrkList* markers, int32_t exclusion, int32_t noDistanceLimit);

// A drag target that is not there.
constexpr int32_t kSnapNoTarget = -1;

// Moves a dragged span [start, start + length) so that its start or its end
// lands on the nearest of up to three targets (the first found on ties,
// targets in order, start before end); the result stays within
// [0, 0x7FFFFFFF - length]. With no targets, max(start, 0).
int32_t SnapDragToTargets(int32_t start, int32_t length, int32_t target1, int32_t target2,
                          int32_t target3);
