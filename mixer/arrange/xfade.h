// Crossfades between two overlapping Audio Parts of one track: the gains a
// pair plays with, the crossfade settings and their stored defaults, the
// crossfade tool's click and the working logic of the crossfade dialog
// (curve buttons, link modes, length fields, fade handles, OK and Cancel).
// The dialog window itself drives an XfadeDlg; tests drive it directly.
#pragma once

#include <cstdint>
#include <vector>

#include "mixer/arrange/services.h"
#include "mixer/model/arr.h"

// Views and link modes by their control ids.
enum : int32_t {
  kXfViewNone = 724,
  kXfViewSeparate = 725,
  kXfViewSeparateFaded = 726,
  kXfViewOverlaid = 727,
  kXfLinkNone = 728,
  kXfLinkEqualGain = 729,
  kXfLinkEqualPower = 730,
};

// The nine crossfade settings, in their stored order.
struct XfadeSettings {
  int32_t Length = 44100;
  int32_t OutCurve = 0, OutStart = 0, OutEnd = 255;
  int32_t InCurve = 0, InStart = 0, InEnd = 255;
  int32_t View = kXfViewSeparateFaded;
  int32_t Link = kXfLinkNone;
};
// The stored defaults (also the length and shapes of the crossfade command).
extern XfadeSettings XfadeDefaults;
// View and link of the last dialog of this run.
extern int32_t XfadeLastView, XfadeLastLink;

// Reads the defaults from `XFDef` of section ArrangeWnd of the ini file;
// each missing number takes its default. The audition's preview channel
// comes with them.
void ReadXfadeDefaults(const char* iniFile);
void WriteXfadeDefaults(const char* iniFile);

// The fade-in curve that a link mode pairs with a fade-out curve (and the
// other way round: both pairings are symmetric). -1 when Equal power allows
// no such curve.
int32_t XfadeLinkedCurve(int32_t link, int32_t curve);
// 1 when the curve can be chosen under the link mode.
int XfadeCurveAllowed(int32_t link, int32_t curve);

// The gain (32768 = the Part's own gain) of Part `slot` at `position` from
// its crossfades alone: its fade-in with its start partner and its fade-out
// with its end partner. 32768 outside both.
int32_t XfadeGainAt(const ArrRec* arr, uint32_t slot, int32_t position);

// The crossfade dialog's working state over a pair (first Part >= 0) or over
// the defaults (first Part -1).
class XfadeDlg {
 public:
  // Opens on the pair whose first Part is `first` (-1: the defaults).
  explicit XfadeDlg(int32_t first);
  const XfadeSettings& Values() const { return v_; }
  int32_t First() const { return first_; }
  // A curve button: side 0 fade-out, 1 fade-in.
  void PressCurve(int side, int32_t curve);
  void SetLink(int32_t link);
  void SetView(int32_t view);
  // A length field that lost the focus with this many samples. Returns 0
  // when some pair could not take it (message 266 shown).
  int SetLength(int32_t samples, DcHandle dc);
  // A dragged handle: side 0 fade-out, 1 fade-in; end 0 start, 1 end; the
  // fraction is kept so that start < end. Ignored unless link is None.
  void DragHandle(int side, int end, int32_t fraction);
  // Writes the four fractions into every selected pair (mouse released).
  void ReleaseHandles();
  // OK: without a Part the working values become the defaults.
  void Ok();
  // 1 when the curve buttons of this curve are enabled.
  int CurveEnabled(int32_t curve) const { return XfadeCurveAllowed(v_.Link, curve); }

 private:
  void ApplyCurves(int side);
  int32_t first_;
  XfadeSettings v_;
};

// ---- The preview of the crossfade dialog ----
// The handles stand at x = width x fraction / 255 (rounded): the fade-out
// start and the fade-in end on the top edge, the fade-out end and the
// fade-in start on the bottom edge.
int32_t XfadeHandleX(int32_t width, int32_t fraction);
// The fraction a handle dragged to x takes: width x 255 / x (rounded),
// within 0..255; XfadeDlg::DragHandle keeps the handles ordered.
int32_t XfadeFractionAt(int32_t width, int32_t x);
// The handle a press at (x, y) picks in a preview of width x height: each
// handle answers within a box of 128 x 128 pixels about it, from 61 above
// the top edge for the top handles and from 67 above the bottom edge for
// the bottom ones; of two handles of a row the nearer in x wins, and of
// two rows the nearer edge. 0 when none; else *side (0 fade-out, 1 fade-in)
// and *end (0 start, 1 end).
int XfadeHandleAt(const XfadeSettings& v, int32_t width, int32_t height, int32_t x, int32_t y,
                  int* side, int* end);

// The preview's waveforms: `columns` {maximum, minimum} pairs of each Part
// across the overlap, first Part first.
struct XfadeWaves {
  std::vector<int16_t> First, Second;
};
// Loads them for the dialog's pair: from the overview files when the
// overlap spans at least 256 samples per column (or a native device is
// busy) and both Takes have one, else from the samples when the overlap
// lasts at most 20 seconds and the native devices are idle. 0 when neither
// can be had (the view then falls back to None); 1 with nothing loaded when
// the dialog has no Part or shows no waveforms.
int XfadeLoadWaves(const XfadeDlg& dlg, int32_t columns, XfadeWaves* out);
// Scales the loaded points by each Part's fade for a faded view: the first
// Part from 32768 down to 0 over its fade-out window, the second from 0 up
// to 32768 over its fade-in window.
void XfadeFadeWaves(const XfadeSettings& v, int32_t columns, XfadeWaves* waves);

// An audition of a crossfade: the saved Part pairs, restored by its stop.
struct XfadeAudition {
  struct Pair {
    uint32_t First, Second;
    PartRec FirstRec, SecondRec;
  };
  std::vector<Pair> Pairs;
};
// The first play channel of an audition's run of channels (1..192), kept
// beside the defaults as XFPrevChan.
extern int32_t XfadePreviewChannel;
// Starts the audition of button 719..723 over the pair (first, second) and
// the pairs of their channel-link groups: the Parts in the arrangement are
// altered for it and playback runs from the second Part's start to the
// first Part's end. Null when it cannot start (nothing changed).
XfadeAudition* XfadeAuditionStart(int button, uint32_t first, uint32_t second);
// Stops playback and puts the saved Parts back; frees the block.
void XfadeAuditionStop(XfadeAudition* audition);

// The crossfade tool's click on Part `part` of `track` at `position`; runs
// the dialog through the window seam. 1 when a change was kept.
int ArrCrossfadeTool(int32_t position, uint32_t track, DcHandle dc, int32_t part);
