// Drawing of the arrange Part area and track column: the time ruler, grid,
// marker strip, Parts (boxes, names, gain envelopes, waveforms, crossfade
// regions, snap points) and locator lines. Everything draws into the device
// context it is given, a window's or a memory bitmap's alike.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "mixer/arrange/partedit.h"
#include "mixer/arrange/services.h"
#include "mixer/arrange/wavepoints.h"
#include "mixer/arrange/win32/arrwnd.h"
// The shell's time format, not the system's date-format call of that name.
#undef GetTimeFormat
#include "mixer/model/arr.h"
#include "mixer/model/marker.h"
#include "mixer/model/recready.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/timecode.h"
#include "mixer/model/trkcolors.h"
#include "mixer/model/util/fileio.h"
#include "mixer/model/util/strutil.h"
#include "mixer/model/wvfcache.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/units/midiplay.h"
#include "mixer/units/services.h"

HBRUSH ArrHeaderBrush();
HBRUSH ArrBackBrush();

namespace {

constexpr uint32_t kTimeFormatBars = 40518;
constexpr uint32_t kWavAxisLog = 40724;
constexpr COLORREF kSelectedFill = 0x808080;
constexpr COLORREF kDefaultPart = 0xC0C0C0;
constexpr COLORREF kGreyInk[3] = {0x808080, 0x9898C0, 0x98C098};  // Audio, Automation, Midi
constexpr COLORREF kInk[3] = {0x000000, 0x000080, 0x008000};
// Locator brushes: PATINVERT over the white background leaves blue (now),
// green (left) and red (right).
constexpr COLORREF kLocBrush[3] = {0x00FFFF, 0xFF00FF, 0xFFFF00};

int KindIndex(uint32_t kind) { return kind == kTakeAudio ? 0 : kind == kTakeAutom ? 1 : 2; }

struct Gdi {
  HGDIOBJ obj;
  explicit Gdi(HGDIOBJ o) : obj(o) {}
  ~Gdi() {
    if (obj) DeleteObject(obj);
  }
  operator HGDIOBJ() const { return obj; }
};

void VLine(HDC dc, int x, int y0, int y1) {
  MoveToEx(dc, x, y0, nullptr);
  LineTo(dc, x, y1);
}
void HLine(HDC dc, int x0, int x1, int y) {
  MoveToEx(dc, x0, y, nullptr);
  LineTo(dc, x1, y);
}

void FillSolid(HDC dc, int x0, int y0, int x1, int y1, COLORREF c) {
  const RECT r = {x0, y0, x1, y1};
  Gdi b(CreateSolidBrush(c));
  FillRect(dc, &r, static_cast<HBRUSH>(b.obj));
}

int LogAxis() { return RadioValue(kGrpWavAxis) == static_cast<int32_t>(kWavAxisLog) ? 1 : 0; }

// ---- Waveform points ----

// The overviews read during one paint of the Part area, by Take: each file
// is read whole, once, however many Parts play from its Take. A full paint
// starts with an empty cache; single-Part redraws read through it too.
struct CachedOverview {
  uint32_t take;
  std::vector<WvfEntry> entries;
};
std::vector<CachedOverview> overviewCache;
constexpr size_t kOverviewCacheTakes = 64;

const std::vector<WvfEntry>* Overview(TakeRec* take, uint32_t ref) {
  for (const CachedOverview& c : overviewCache)
    if (c.take == ref) return &c.entries;
  char path[kTakePathSize];
  StrCopyN(path, GetWvFormFilePath(), sizeof path);
  if (!WvfCacheExists(take, path, sizeof path)) return nullptr;
  const FioHandle file = FioOpen(path, kFioRead);
  if (file == kFioInvalid) return nullptr;
  uint64_t size = 0;
  uint32_t got = 0;
  WvfHeader h{};
  std::vector<uint8_t> bytes;
  bool ok = FioGetSize(file, &size) && size >= kWvfHeaderSize && size <= (uint64_t{1} << 30);
  if (ok) {
    bytes.resize(static_cast<size_t>(size));
    ok = FioReadAt(file, 0, bytes.data(), static_cast<uint32_t>(size), &got) && got == size &&
         WvfParseHeader(bytes.data(), bytes.size(), size, &h);
  }
  FioClose(file);
  if (!ok) return nullptr;
  if (overviewCache.size() >= kOverviewCacheTakes) overviewCache.erase(overviewCache.begin());
  CachedOverview c{ref, std::vector<WvfEntry>(h.entries)};
  for (uint32_t i = 0; i < h.entries; ++i) {
    const uint8_t* b = &bytes[kWvfHeaderSize + 4 * static_cast<size_t>(i)];
    c.entries[i] = {static_cast<int16_t>(b[0] | (b[1] << 8)), static_cast<int16_t>(b[2] | (b[3] << 8))};
  }
  overviewCache.push_back(std::move(c));
  return &overviewCache.back().entries;
}

// Display points of `columns` pixel columns over `length` samples of the
// Take from `start`, from its overview.
bool PointsFromOverview(TakeRec* take, uint32_t ref, int64_t start, int32_t columns, int64_t length,
                        std::vector<int16_t>* out) {
  if (take == nullptr || columns <= 0 || length <= 0 || start < 0) return false;
  const std::vector<WvfEntry>* e = Overview(take, ref);
  if (e == nullptr) return false;
  out->assign(2 * static_cast<size_t>(columns), 0);
  return WvfPointsFromEntries(e->data(), static_cast<uint32_t>(e->size()), start, columns, length, out->data()) != 0;
}

void DrawWavePoints(HDC dc, int x, int centre, int half, const std::vector<int16_t>& pts, int inverted,
                    COLORREF colour, int filled) {
  const int zoom = 1 << std::clamp(ArrView().WaveZoom, 0, 8);
  const int sign = inverted ? -1 : 1;
  Gdi pen(CreatePen(PS_SOLID, 1, colour));
  HGDIOBJ old = SelectObject(dc, pen);
  const size_t n = pts.size() / 2;
  auto y = [&](int16_t v) {
    // Rounded, so that full scale reaches the row's half-height.
    const int64_t n = int64_t{v} * half * zoom;
    const int64_t d = (n >= 0 ? n + 16384 : n - 16384) / 32768;
    return centre - sign * static_cast<int>(std::clamp<int64_t>(d, -half, half));
  };
  // One call per picture: a vertical segment per column (filled), or the
  // line through the maxima and the line through the minima (outline).
  std::vector<POINT> pts2;
  if (filled) {
    std::vector<DWORD> counts(n, 2);
    pts2.reserve(2 * n);
    int prevTop = 0, prevBottom = 0;
    for (size_t i = 0; i < n; ++i) {
      const int a = y(pts[2 * i]), b = y(pts[2 * i + 1]);
      int top = std::min(a, b), bottom = std::max(a, b);
      const int ownTop = top, ownBottom = bottom;
      if (i > 0) top = std::min(top, prevBottom), bottom = std::max(bottom, prevTop);
      pts2.push_back({x + static_cast<int>(i), top});
      pts2.push_back({x + static_cast<int>(i), bottom + 1});
      prevTop = ownTop;
      prevBottom = ownBottom;
    }
    if (n > 0) PolyPolyline(dc, pts2.data(), counts.data(), static_cast<DWORD>(n));
  } else {
    for (int j = 0; j < 2; ++j) {
      pts2.clear();
      for (size_t i = 0; i < n; ++i) pts2.push_back({x + static_cast<int>(i), y(pts[2 * i + j])});
      if (n == 1) pts2.push_back({x + 1, pts2[0].y});
      if (!pts2.empty()) Polyline(dc, pts2.data(), static_cast<int>(pts2.size()));
    }
  }
  SelectObject(dc, old);
}

// ---- Part sections ----

struct Colours {
  COLORREF fill, ink, frame;
  int greyed;
  int hatch;  // -1 solid, else the hatch style
};

Colours PartColours(const PartRec& p) {
  const int k = KindIndex(p.TakeKind);
  const int32_t max = k == 0 ? 192 : 128;
  const uint32_t* table = k == 0 ? TrkColors : k == 1 ? CautomTrkColors : MidevTrkColors;
  Colours c{kDefaultPart, kGreyInk[k], kGreyInk[k], 1, -1};
  int32_t ch = p.PlayChannel;
  if (k == 0 && ch > 192 && ch <= 384) ch -= 192;  // muted keeps its pattern
  if (ch < 0) {
    const int32_t m = -ch;
    const int32_t c0 = (m - 1) % 192 + 1;
    c = {table[std::min(c0, max) - 1], kInk[k], kInk[k], 0, HS_BDIAGONAL};
  } else if (p.PlayChannel >= 1 && p.PlayChannel <= max) {
    c = {table[ch - 1], kInk[k], kInk[k], 0, -1};
  } else if (k == 0 && p.PlayChannel > 192 && p.PlayChannel <= 384) {
    c = {kDefaultPart, kGreyInk[k], kGreyInk[k], 1, -1};
  }
  if (k == 0 && ch >= 129 && ch <= 192) c.hatch = HS_DIAGCROSS;
  if (p.Flags & kPartSelected) {
    c.ink = c.fill;
    c.fill = kSelectedFill;
    c.frame = 0;
  }
  return c;
}

HBRUSH MakeBrush(const Colours& c) {
  return c.hatch >= 0 ? CreateHatchBrush(c.hatch, c.fill) : CreateSolidBrush(c.fill);
}

// The envelope polygon of a gain ramp over [start, start + length) of a
// row: symmetric about the centre line, half-height by the fader law.
void DrawGainEnvelope(HDC dc, int64_t start, int64_t length, int centre, int half, uint32_t g0, uint32_t g1,
                      int curve, int extra) {
  const ArrViewRec& v = ArrView();
  const int32_t hz = std::max(v.Hzoom, 1);
  const int logAxis = LogAxis();
  auto h = [&](uint32_t g) {
    return GainToPixels(static_cast<int32_t>(std::min<uint32_t>(g, 65536)), 32768, half, logAxis);
  };
  auto xOf = [&](int64_t p) {
    return static_cast<int>(std::clamp<int64_t>((p + kArrTimeShift - v.Origin) / hz, -1, 10000));
  };
  if (g0 == g1) {
    const int hh = std::min(h(g0), half);
    const int x0 = xOf(start), x1 = xOf(start + length);
    Rectangle(dc, x0, centre - hh - extra, std::max(x1, x0 + 1), centre + hh + extra + 1);
    return;
  }
  std::vector<POINT> upper;
  upper.push_back({xOf(start), centre - std::min(h(g0), half) - extra});
  for (int i = 1; i <= 64; ++i) {
    int64_t p = start + length * i / 64;
    p = std::min<int64_t>(p, start + length - hz);
    const int x = xOf(p);
    if (x <= upper.back().x) continue;
    const int32_t g = FadeCurveValue(static_cast<int32_t>(p - start), curve, static_cast<int32_t>(g0),
                                     static_cast<int32_t>(g1), static_cast<int32_t>(std::min<int64_t>(length, INT32_MAX)));
    upper.push_back({x, centre - std::min(h(static_cast<uint32_t>(std::max(g, 0))), half) - extra});
    if (x >= v.PartAreaWidth) break;
  }
  std::vector<POINT> poly = upper;
  for (auto it = upper.rbegin(); it != upper.rend(); ++it) poly.push_back({it->x, 2 * centre - it->y + 1});
  Polygon(dc, poly.data(), static_cast<int>(poly.size()));
}

// One fade of a crossfade as an envelope over the section [secStart,
// secEnd): the from gain before the fade, the to gain after it, the fade's
// curve in between, sampled at 64 points over the fade. Drawn with the
// current pen and brush.
void DrawXfadeEnvelope(HDC dc, int64_t fadeStart, int64_t fadeLength, int curve, uint32_t from, uint32_t to,
                       int64_t secStart, int64_t secEnd, int centre, int half, int extra) {
  const ArrViewRec& v = ArrView();
  const int32_t hz = std::max(v.Hzoom, 1);
  const int logAxis = LogAxis();
  auto h = [&](int64_t g) {
    return std::min(GainToPixels(static_cast<int32_t>(std::clamp<int64_t>(g, 0, 65536)), 32768, half, logAxis),
                    half);
  };
  auto xOf = [&](int64_t p) {
    return static_cast<int>(std::clamp<int64_t>((p + kArrTimeShift - v.Origin) / hz, -1, 10000));
  };
  const int64_t fadeEnd = fadeStart + std::max<int64_t>(fadeLength, 0);
  auto gainAt = [&](int64_t p) -> int64_t {
    if (p <= fadeStart) return from;
    if (p >= fadeEnd) return to;
    return FadeCurveValue(static_cast<int32_t>(p - fadeStart), curve, static_cast<int32_t>(from),
                          static_cast<int32_t>(to), static_cast<int32_t>(std::min<int64_t>(fadeLength, INT32_MAX)));
  };
  if (secEnd <= fadeStart || secStart >= fadeEnd) {
    const int hh = h(secEnd <= fadeStart ? from : to);
    const int x0 = xOf(secStart), x1 = xOf(secEnd);
    Rectangle(dc, x0, centre - hh - extra, std::max(x1, x0 + 1), centre + hh + extra + 1);
    return;
  }
  std::vector<POINT> upper;
  auto add = [&](int64_t p) {
    const int x = xOf(p);
    if (!upper.empty() && x <= upper.back().x) return;
    upper.push_back({x, centre - h(gainAt(p)) - extra});
  };
  add(secStart);
  for (int i = 0; i <= 64; ++i) {
    const int64_t p = fadeStart + fadeLength * i / 64;
    if (p > secStart && p < secEnd) add(p);
    if (upper.back().x >= v.PartAreaWidth) break;
  }
  add(secEnd);
  std::vector<POINT> poly = upper;
  for (auto it = upper.rbegin(); it != upper.rend(); ++it) poly.push_back({it->x, 2 * centre - it->y + 1});
  Polygon(dc, poly.data(), static_cast<int>(poly.size()));
}

// The notes and other events of a Midi Part's log over the section
// [start, end) of the time line, inside the content band [top, bottom] and
// clipped to `clip`. Higher notes stand higher; a line in `ink` runs
// through the values of the events other than notes.
void DrawMidiNotes(HDC dc, const PartRec& p, int64_t start, int64_t end, int top, int bottom,
                   const RECT& clip, COLORREF ink) {
  MidiTakeLog* rec = MidiTakeLogOf(TakeFromRef(p.Take));
  const int h = bottom - top;
  if (rec == nullptr || h <= 0 || end <= start) return;
  const ArrViewRec& v = ArrView();
  const int32_t hz = std::max(v.Hzoom, 1);
  const int64_t viewEnd = int64_t{v.Origin} - kArrTimeShift + int64_t{v.PartAreaWidth + 2} * hz;
  const int64_t last = std::min(end, viewEnd);
  auto xOf = [&](int64_t pos) {
    return static_cast<int>(std::clamp<int64_t>((pos + kArrTimeShift - v.Origin) / hz, -2, 32000));
  };
  auto yOf = [&](int32_t value) { return bottom - MulDiv(std::clamp(value, 0, 127), h, 128); };
  const int32_t origin = static_cast<int32_t>(int64_t{p.Start} - p.Offset);
  const int32_t from = static_cast<int32_t>(std::max<int64_t>(start, int64_t{v.Origin} - kArrTimeShift - hz));
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
  Gdi pen(CreatePen(PS_SOLID, 1, ink));
  SelectObject(dc, pen);
  int32_t pos = from, value = 0, len = 0, note = 0;
  bool first = true;
  for (MidiEventHandle n = MidiPartFirstEventEx(rec, origin, &pos, &value); n != 0 && pos < last;
       n = MidiPartNextEventEx(rec, origin, n, &pos, &value)) {
    if (first)
      MoveToEx(dc, xOf(pos), yOf(value), nullptr);
    else
      LineTo(dc, xOf(pos), yOf(value));
    first = false;
  }
  Gdi brush(CreateSolidBrush(ink));
  const int nh = std::max(2, h / 128 + 1);
  pos = from;
  for (MidiEventHandle n = MidiPartFirstEvent(rec, origin, &pos, &len, &note); n != 0 && pos < last;
       n = MidiPartNextEvent(rec, origin, n, &pos, &len, &note)) {
    if (int64_t{pos} + len < start) continue;
    const int xa = xOf(std::max<int64_t>(pos, start)), xb = xOf(std::min<int64_t>(int64_t{pos} + len, end));
    const int yb = yOf(note);
    const RECT r = {xa, yb - nh + 1, std::max(xb, xa + 1), yb + 1};
    FillRect(dc, &r, static_cast<HBRUSH>(brush.obj));
  }
  RestoreDC(dc, saved);
}

struct Section {
  uint32_t slot;
  int64_t start, length;
};

void DrawSection(HDC dc, const ArrRec* arr, const Section& s, uint32_t track, int drawLocators) {
  const ArrViewRec& v = ArrView();
  const PartRec& p = *ArrPart(arr, s.slot);
  if (static_cast<int32_t>(track) < v.FirstTrack || static_cast<int32_t>(track) > v.FirstTrack + v.VisibleRows)
    return;
  const int32_t hz = std::max(v.Hzoom, 1);
  auto xOf = [&](int64_t pos) { return (pos + kArrTimeShift - v.Origin) / hz; };
  const int64_t xa = xOf(s.start), xb = xOf(s.start + s.length);
  if (xb < -1 || xa > v.PartAreaWidth + 1) return;
  int x0 = static_cast<int>(std::max<int64_t>(-1, xa));
  int x1 = static_cast<int>(std::min<int64_t>(v.PartAreaWidth + 1, xb));
  const bool whole = s.start == p.Start && s.length == p.Length;
  if (x1 < x0 || x1 == 0) return;
  if (x1 == x0) {
    if (!whole) return;
    x1 = x0 + 1;
  }
  const int rh = v.Vzoom;
  const int y0 = ArrRowTop(v, static_cast<int32_t>(track) - v.FirstTrack);
  const int y1 = y0 + rh;
  const Colours c = PartColours(p);
  const bool audio = p.TakeKind == kTakeAudio;
  const bool selected = (p.Flags & kPartSelected) != 0;
  const int64_t offsetIn = s.start - p.Start;
  const uint32_t g0 = whole ? p.GainStart : ArrPartGainAt(static_cast<int32_t>(offsetIn), p);
  const uint32_t g1 = whole ? p.GainEnd : ArrPartGainAt(static_cast<int32_t>(offsetIn + s.length), p);
  // The centre line: half a row below the row's top.
  const int centre = y0 + rh / 2;
  const int half = rh / 2 - 1;

  Gdi brush(MakeBrush(c));
  const bool envelope = audio && rh >= 14 && (selected || ShowPartVol) && p.PlayChannel >= 1 && p.PlayChannel <= 192;
  if (envelope) {
    FillSolid(dc, x0, y0 - 1, x1, y1 + 1, selected ? 0 : kDefaultPart);
    Gdi pen(CreatePen(PS_SOLID, 1, c.fill));
    HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, pen);
    DrawGainEnvelope(dc, s.start, s.length, centre, half, g0, g1, p.FadeCurve, 0);
    SelectObject(dc, ob);
    SelectObject(dc, op);
  } else {
    HGDIOBJ ob = SelectObject(dc, brush);
    SetBkColor(dc, c.hatch >= 0 ? kDefaultPart : c.fill);
    PatBlt(dc, x0, y0 - 1, x1 - x0, rh + 2, PATCOPY);
    SelectObject(dc, ob);
  }

  // Crossfade region: the partner's fade-out and this Part's fade-in (or
  // the mirror) as lines over the box.
  const PartRec* in = p.XfadeInPartner != kArrNoLink ? ArrPart(arr, p.XfadeInPartner) : nullptr;
  const PartRec* out = p.XfadeOutPartner != kArrNoLink ? ArrPart(arr, p.XfadeOutPartner) : nullptr;
  const int64_t inEnd = in && in->Start != kPartFreeStart ? int64_t{in->Start} + in->Length : INT64_MIN;
  const int64_t outStart = out && out->Start != kPartFreeStart ? out->Start : INT64_MAX;
  Gdi ink(CreatePen(PS_SOLID, 1, c.frame));
  HGDIOBJ oldPen = SelectObject(dc, ink);
  // The crossfade this section lies in, if any: the partner and both fades
  // (this Part's and the partner's) as envelopes over the box.
  const bool xfIn = audio && s.start < inEnd, xfOut = audio && !xfIn && s.start + s.length > outStart;
  const PartRec* partner = xfIn ? in : xfOut ? out : nullptr;
  int64_t xfStart = 0, xfEnd = 0;  // the overlap's stretch of this section
  if (partner != nullptr) {
    const int64_t S = p.Start, E = int64_t{p.Start} + p.Length;
    const int64_t regionStart = xfIn ? S : outStart, X = xfIn ? inEnd - S : E - outStart;
    auto at = [&](const uint8_t* window, int k) { return regionStart + MulDiv(static_cast<int>(X), window[k], 255); };
    struct Fade {
      int64_t start, length;
      int curve;
      uint32_t from, to;
    };
    const uint8_t* mine = xfIn ? p.XfadeInWindow : p.XfadeOutWindow;
    const uint8_t* theirs = xfIn ? partner->XfadeOutWindow : partner->XfadeInWindow;
    const Fade own = xfIn ? Fade{at(mine, 0), at(mine, 1) - at(mine, 0), p.XfadeInCurve, 0,
                                 ArrPartGainAt(static_cast<int32_t>(X), p)}
                          : Fade{at(mine, 0), at(mine, 1) - at(mine, 0), static_cast<int>(p.XfadeOutCurve),
                                 ArrPartGainAt(static_cast<int32_t>(outStart - S), p), 0};
    const Fade other =
        xfIn ? Fade{at(theirs, 0), at(theirs, 1) - at(theirs, 0), static_cast<int>(partner->XfadeOutCurve),
                    ArrPartGainAt(static_cast<int32_t>(S - partner->Start), *partner), 0}
             : Fade{at(theirs, 0), at(theirs, 1) - at(theirs, 0), partner->XfadeInCurve, 0,
                    ArrPartGainAt(static_cast<int32_t>(X), *partner)};
    // Only the overlap is a crossfade; the rest of the section stays a
    // plain box.
    const int64_t secStart = std::max(s.start, regionStart), secEnd = std::min(s.start + s.length, regionStart + X);
    const int fx0 = static_cast<int>(std::clamp<int64_t>(xOf(secStart), x0, x1));
    const int fx1 = static_cast<int>(std::clamp<int64_t>(xOf(secEnd), x0, x1));
    if (!envelope) FillSolid(dc, fx0, y0 - 1, fx1, y1 + 1, selected ? 0 : kDefaultPart);
    xfStart = secStart;
    xfEnd = secEnd;
    Gdi fillPen(CreatePen(PS_SOLID, 1, c.fill));
    HGDIOBJ ob = SelectObject(dc, brush);
    SelectObject(dc, fillPen);
    DrawXfadeEnvelope(dc, own.start, own.length, own.curve, own.from, own.to, secStart, secEnd, centre, half, 0);
    // The partner's fade outlined over it, so that both curves show.
    SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
    SelectObject(dc, ink);
    DrawXfadeEnvelope(dc, other.start, other.length, other.curve, other.from, other.to, secStart, secEnd, centre,
                      half, 0);
    SelectObject(dc, ob);
  }

  // Frame.
  const bool linkPrev = (p.Flags & kPartLinkPrev) != 0, linkNext = (p.Flags & kPartLinkNext) != 0;
  const bool leftEdge = s.start == p.Start, rightEdge = s.start + s.length == int64_t{p.Start} + p.Length;
  if (!linkPrev) {
    Gdi top(CreatePen(PS_SOLID, 1, 0));
    HGDIOBJ o = SelectObject(dc, top);
    HLine(dc, x0, x1, y0 - 1);
    SelectObject(dc, ink);
    HLine(dc, x0, x1, y0);
    (void)o;
  }
  const int ey0 = linkPrev ? y0 - 1 : y0 + 1, ey1 = linkNext ? y1 + 1 : y1 - 1;
  if (leftEdge) VLine(dc, x0, ey0, ey1);
  if (rightEdge) VLine(dc, x1 - 1, ey0, ey1);
  if (!linkNext) {
    HLine(dc, x0, x1, y1 - 1);
    HLine(dc, x0 + 1, x1, y1);
    if (leftEdge) SetPixel(dc, x0, y1, 0x404040);
  }

  // Contents.
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(rh < 10 ? ANSI_VAR_FONT : DEFAULT_GUI_FONT));
  const int nameWanted = leftEdge || s.start == inEnd;
  char name[72];
  std::snprintf(name, sizeof name, "%s%s", p.Name, (p.Flags & kPartTimelocked) ? " *" : "");
  if (audio && rh > 13) {
    TakeRec* take = TakeFromRef(p.Take);
    std::vector<int16_t> pts;
    const int cols = x1 - x0 - 2;
    const int64_t first = std::max<int64_t>(s.start, ArrPosOfX(v, x0 + 1));
    const int64_t last = std::min<int64_t>(s.start + s.length, int64_t{ArrPosOfX(v, x1 - 1)});
    // In a crossfade the partner's waveform goes first, in grey (or, for a
    // selected Part, in its channel colour lightened).
    TakeRec* ptake = partner != nullptr ? TakeFromRef(partner->Take) : nullptr;
    if (p.PlayChannel >= 0 && ptake != nullptr && cols > 0 && last > first &&
        TakeGetAttr(ptake, kTakeAttrWaveExists)) {
      COLORREF grey = c.greyed ? kDefaultPart : kSelectedFill;
      if (selected && p.PlayChannel >= 1 && p.PlayChannel <= 192) {
        const COLORREF ch = TrkColors[p.PlayChannel - 1];
        auto up = [](int v) { return std::min(v + 96, 255); };
        grey = RGB(up(GetRValue(ch)), up(GetGValue(ch)), up(GetBValue(ch)));
      }
      const int64_t pfirst = std::max(first, xfStart), plast = std::min(last, xfEnd);
      const int px0 = static_cast<int>(std::clamp<int64_t>(xOf(pfirst), x0 + 1, x1 - 1));
      const int pcols = static_cast<int>(std::clamp<int64_t>(xOf(plast), x0 + 1, x1 - 1)) - px0;
      const int64_t takeAt = int64_t{partner->Offset} + (pfirst - partner->Start);
      if (pcols > 0 && plast > pfirst && PointsFromOverview(ptake, partner->Take, takeAt, pcols, plast - pfirst, &pts))
        DrawWavePoints(dc, px0, centre, half, pts, (partner->Flags & kPartPhaseInvert) != 0, grey, FillWvForm);
      pts.clear();
    }
    if (p.PlayChannel >= 0 && take != nullptr && cols > 0 && TakeGetAttr(take, kTakeAttrWaveExists)) {
      const int64_t takeAt = int64_t{p.Offset} + (first - p.Start);
      if (last > first && PointsFromOverview(take, p.Take, takeAt, cols, last - first, &pts))
        DrawWavePoints(dc, x0 + 1, centre, half, pts, (p.Flags & kPartPhaseInvert) != 0, c.ink, FillWvForm);
    }
    if (nameWanted && x1 - x0 >= 4) {
      RECT r = {x0 + 2, y0 + 1, x1 - 1, y1 - 1};
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, selected ? 0 : c.greyed ? kDefaultPart : 0xFFFFFF);
      SetTextColor(dc, c.ink);
      DrawTextA(dc, name, -1, &r, DT_SINGLELINE | DT_TOP | DT_LEFT | DT_NOPREFIX);
    }
  } else if (!audio && rh > 13) {
    const bool band = ShowNameInWave && x1 - x0 > 2;
    if (band) {
      // The band runs over the whole section; the text only where the
      // Part's name belongs.
      RECT r = {x0 + (leftEdge ? 1 : 0), y0 + 1, x1 - (rightEdge ? 1 : 0), y0 + 14};
      FillSolid(dc, r.left, r.top, r.right, r.bottom, selected ? 0 : c.greyed ? kDefaultPart : 0xFFFFFF);
      if (nameWanted) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, c.ink);
        r.left = x0 + 2;
        DrawTextA(dc, name, -1, &r, DT_SINGLELINE | DT_TOP | DT_LEFT | DT_NOPREFIX);
      }
    }
    if (!band || rh > 20) {
      const int top = band ? y0 + 16 : y0 + 3, bottom = y1 - 4;
      const RECT clip = {x0, y0 - 2, x1, y1 + 3};
      if (p.TakeKind == kTakeMidi) DrawMidiNotes(dc, p, s.start, s.start + s.length, top, bottom, clip, c.ink);
    }
  } else if (nameWanted && x1 - x0 >= 4) {
    RECT r = {x0 + 2, y0, x1 - 1, y1};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, c.ink);
    DrawTextA(dc, name, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
  // Snap point.
  if (p.SnapPoint != 0) {
    const int64_t sx = xOf(int64_t{p.Start} + p.SnapPoint);
    if (sx > x0 && sx < x1) {
      Gdi dot(CreatePen(PS_DOT, 1, c.frame));
      SelectObject(dc, dot);
      VLine(dc, static_cast<int>(sx), linkNext ? y1 - 2 : y1, y0);
      SelectObject(dc, ink);
    }
  }
  SelectObject(dc, oldPen);
  if (ArrView().Grid && !linkPrev) {
    Gdi gp(CreatePen(PS_SOLID, 1, ArrView().Color[1]));
    HGDIOBJ o = SelectObject(dc, gp);
    HLine(dc, x0, x1, y0 - 1);
    SelectObject(dc, o);
  }
  if (drawLocators) {
    const int32_t locs[3] = {Locs().NowLoc, Locs().LeftLoc, Locs().RightLoc};
    for (int k = 0; k < 3; ++k) {
      const int64_t lx = xOf(locs[k]);
      if (lx < x0 || lx >= x1) continue;
      Gdi b(CreateSolidBrush(kLocBrush[k]));
      HGDIOBJ o = SelectObject(dc, b);
      PatBlt(dc, static_cast<int>(lx), y0 - 1, 1, rh + 2, PATINVERT);
      SelectObject(dc, o);
    }
  }
}

// Calls fn(section) for every visible section of the track that meets the
// view.
template <typename Fn> void ForEachSection(const ArrRec* arr, uint32_t track, Fn fn) {
  ArrSection s{-1, 0, 0};
  const ArrViewRec& v = ArrView();
  const int64_t first = int64_t{v.Origin} - kArrTimeShift, last = first + v.Span;
  while (ArrNxtVisibleSection(arr, track, &s)) {
    if (s.Part < 0) break;
    if (int64_t{s.Start} + s.Length < first) continue;
    if (s.Start > last) break;
    fn(Section{static_cast<uint32_t>(s.Part), s.Start, s.Length});
  }
}

// ---- Ruler, grid, markers ----

struct Tick {
  int x;
  int64_t pos;
  int label;
  char text[32];
};

// Tick positions of the ruler in the view, with their labels.
std::vector<Tick> RulerTicks(int gridPair, int64_t* stepOut = nullptr) {
  const ArrViewRec& v = ArrView();
  const ProjectSettings& st = Settings();
  const uint32_t rate = std::max<uint32_t>(st.SampleRate, 1);
  const int32_t hz = std::max(v.Hzoom, 1);
  const int64_t left = std::max<int64_t>(0, int64_t{v.Origin} - kArrTimeShift);
  const int64_t right = int64_t{v.Origin} - kArrTimeShift + int64_t{v.PartAreaWidth} * hz;
  std::vector<Tick> ticks;
  if (GetTimeFormat() == kTimeFormatBars) {
    const int32_t beats = std::max<int32_t>(st.MeterNum, 1), unit = std::max<int32_t>(st.MeterDen, 1);
    const uint32_t tempo = std::max<uint32_t>(st.Tempo, 1);
    const int64_t barTicks = ArrGridTicks(0, 1, beats, unit);
    const ArrGridRec g = ArrBbtGridFor(ArrPosOfTicks(2 * barTicks, tempo, rate) / hz);
    const int64_t step = ArrGridTicks(g.Unit[gridPair], g.Step[gridPair], beats, unit);
    const int64_t labelStep = ArrGridTicks(g.Unit[0], g.Step[0], beats, unit);
    if (stepOut) *stepOut = step;
    int64_t t = (ArrTicksOfPos(ArrBbtGridCeilPlain(left, step, tempo, rate), tempo, rate) + step / 2) / step * step;
    for (int guard = 0; guard < 20000; ++guard, t += step) {
      const int64_t p = ArrPosOfTicks(t, tempo, rate);
      if (p > right) break;
      if (p < left) continue;
      Tick k{};
      k.x = ArrXOfPos(v, static_cast<int32_t>(std::min<int64_t>(p, INT32_MAX)));
      k.pos = p;
      k.label = t % labelStep == 0;
      const int64_t bar = t / barTicks + 1, beatTicks = barTicks / beats;
      const int64_t beat = (t % barTicks) / beatTicks + 1, tick = t % beatTicks;
      if (tick != 0)
        std::snprintf(k.text, sizeof k.text, "%ld.%d.%d", static_cast<long>(bar), static_cast<int>(beat),
                      static_cast<int>(tick));
      else if (beat > 1)
        std::snprintf(k.text, sizeof k.text, "%ld.%d", static_cast<long>(bar), static_cast<int>(beat));
      else
        std::snprintf(k.text, sizeof k.text, "%ld", static_cast<long>(bar));
      ticks.push_back(k);
    }
  } else {
    const ArrGridRec g = ArrTcGridFor(rate, hz, st.CurFrameRate);
    const FrameRateInfo& fr = FrameRateOf(st.CurFrameRate);
    // Samples of one unit: frames at Numerator / Scale per second.
    auto unitSamples = [&](int u) -> double {
      return u == 0 ? double(rate) * fr.Scale / fr.Numerator : u == 1 ? double(rate) : 60.0 * rate;
    };
    const double step = unitSamples(g.Unit[gridPair]) * g.Step[gridPair];
    const double labelStep = unitSamples(g.Unit[0]) * g.Step[0];
    if (stepOut) *stepOut = static_cast<int64_t>(step);
    const double off = st.TcOffset;
    int64_t n = static_cast<int64_t>((left + off) / step);
    for (int guard = 0; guard < 20000; ++guard, ++n) {
      const int64_t p = static_cast<int64_t>(n * step - off + 0.5);
      if (p > right) break;
      if (p < left) continue;
      Tick k{};
      k.x = ArrXOfPos(v, static_cast<int32_t>(std::min<int64_t>(p, INT32_MAX)));
      k.pos = p;
      const double q = (p + off) / labelStep;
      k.label = std::abs(q - static_cast<double>(static_cast<int64_t>(q + 0.5))) * labelStep < 1.0;
      TcRec tc{};
      LocToTimeCode(&tc, static_cast<int32_t>(std::min<int64_t>(p, INT32_MAX)), st.TcOffset);
      std::snprintf(k.text, sizeof k.text, "%02d:%02d:%02d:%02d", tc.Hours, tc.Minutes, tc.Seconds, tc.Frames);
      ticks.push_back(k);
    }
  }
  return ticks;
}

void DrawRuler(HDC dc, int w) {
  FillSolid(dc, 0, 0, w, kArrRulerHeight, GetSysColor(COLOR_3DFACE));
  Gdi shadow(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW)));
  Gdi light(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DHILIGHT)));
  HGDIOBJ old = SelectObject(dc, shadow);
  HLine(dc, 0, w, kArrRulerHeight - 1);
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  int labelEnd = INT32_MIN;
  for (const Tick& t : RulerTicks(1)) {
    bool labelled = false;
    if (t.label && t.x > labelEnd) {
      SIZE sz{};
      GetTextExtentPoint32A(dc, t.text, static_cast<int>(std::strlen(t.text)), &sz);
      TextOutA(dc, t.x + 2, 0, t.text, static_cast<int>(std::strlen(t.text)));
      labelEnd = t.x + sz.cx + 2;
      labelled = true;
    }
    const int top = labelled ? 0 : (kArrRulerHeight + 1) / 2;
    SelectObject(dc, shadow);
    VLine(dc, t.x, top, kArrRulerHeight - 1);
    SelectObject(dc, light);
    VLine(dc, t.x + 1, top, kArrRulerHeight - 1);
  }
  SelectObject(dc, oldFont);
  SelectObject(dc, old);
}

void DrawGrid(HDC dc, int w, int h) {
  const ArrViewRec& v = ArrView();
  Gdi pen(CreatePen(PS_SOLID, 1, v.Color[1]));
  HGDIOBJ old = SelectObject(dc, pen);
  for (const Tick& t : RulerTicks(2)) VLine(dc, t.x, v.TopHeight, h);
  for (int i = 0; i <= v.VisibleRows; ++i) HLine(dc, 0, w, v.TopHeight + i * (v.Vzoom + kArrRowGap));
  SelectObject(dc, old);
}

void DrawRulerTick(HDC dc, int x, int bottom) {
  VLine(dc, x, bottom - 8, bottom);
  HLine(dc, x, x + 4, bottom - 8);
  HLine(dc, x, x + 3, bottom - 7);
  HLine(dc, x, x + 2, bottom - 6);
}

void DrawMarkerStrip(HDC dc, int w) {
  const ArrViewRec& v = ArrView();
  FillSolid(dc, 0, kArrRulerHeight, w, v.TopHeight, GetSysColor(COLOR_3DFACE));
  Gdi shadow(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW)));
  HGDIOBJ old = SelectObject(dc, shadow);
  HLine(dc, 0, w, v.TopHeight - 1);
  struct M {
    uint32_t n;
    int32_t pos;
    const char* name;
  };
  std::vector<M> list;
  MrkForEach(CurMrkList, [&](uint32_t n, const MrkRec& m) { list.push_back({n, m.Position, m.Name}); });
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
  for (size_t i = 0; i < list.size(); ++i) {
    const int64_t x = (int64_t{list[i].pos} + kArrTimeShift - v.Origin) / std::max(v.Hzoom, 1);
    const int64_t nextX = i + 1 < list.size()
                              ? (int64_t{list[i + 1].pos} + kArrTimeShift - v.Origin) / std::max(v.Hzoom, 1)
                              : x + 32767;
    if (x < 0 && (x < -1024 || nextX < 0)) continue;
    if (x > w) continue;
    const int xi = static_cast<int>(x);
    DrawRulerTick(dc, xi, v.TopHeight - 1);
    char num[8];
    std::snprintf(num, sizeof num, "%u", list[i].n);
    SIZE sz{};
    GetTextExtentPoint32A(dc, num, static_cast<int>(std::strlen(num)), &sz);
    FillSolid(dc, xi + 2, kArrRulerHeight + 1, xi + 4 + sz.cx, kArrRulerHeight + 1 + sz.cy, 0);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0x00FFFF);
    TextOutA(dc, xi + 3, kArrRulerHeight + 1, num, static_cast<int>(std::strlen(num)));
    SetTextColor(dc, 0);
    RECT r = {xi + 6 + sz.cx, kArrRulerHeight + 1,
              static_cast<int>(std::min<int64_t>({nextX, x + 32767, int64_t{w}})), v.TopHeight - 1};
    DrawTextA(dc, list[i].name, -1, &r, DT_SINGLELINE | DT_LEFT | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
  SelectObject(dc, old);
}

// The last drawn column of each locator; INT32_MIN none.
int lastLocX[3] = {INT32_MIN, INT32_MIN, INT32_MIN};

void InvertLocator(HDC dc, int k, int x) {
  const ArrViewRec& v = ArrView();
  Gdi b(CreateSolidBrush(kLocBrush[k]));
  HGDIOBJ o = SelectObject(dc, b);
  // The flag: a wedge in the ruler's lower half, then the line over the rows.
  for (int row = 0; row < 8; ++row) PatBlt(dc, x - 7 + row, 8 + row / 2, 15 - 2 * row > 0 ? 15 - 2 * row : 1, 1, PATINVERT);
  PatBlt(dc, x, kArrRulerHeight, 1, std::max(v.PartAreaHeight - kArrRulerHeight, 0), PATINVERT);
  SelectObject(dc, o);
}

}  // namespace

int ArrDrawLocFlag(HDC dc, int k, int32_t position, int keep) {
  if (k < 0 || k > 2 || dc == nullptr) return 0;
  const ArrViewRec& v = ArrView();
  const bool visible = ArrPosVisible(v, position) != 0;
  const int x = visible ? ArrXOfPos(v, position) : INT32_MIN;
  if (keep && lastLocX[k] == x) return visible ? 1 : 0;
  if (keep && lastLocX[k] != INT32_MIN) InvertLocator(dc, k, lastLocX[k]);
  lastLocX[k] = INT32_MIN;
  if (!visible) return 0;
  InvertLocator(dc, k, x);
  lastLocX[k] = x;
  return 1;
}

void DrawXorRect(HDC dc, const RECT& r) {
  const ArrViewRec& v = ArrView();
  const int l = std::clamp<int>(r.left, -10000, 10000), rr = std::clamp<int>(r.right, -10000, 10000);
  const int t = std::clamp<int>(std::max<int>(r.top, v.TopHeight - 1), -10000, 10000);
  const int b = std::clamp<int>(r.bottom, -10000, 10000);
  const int old = SetROP2(dc, R2_XORPEN);
  HGDIOBJ op = SelectObject(dc, GetStockObject(WHITE_PEN));
  if (t != v.TopHeight) HLine(dc, l, rr, t);
  HLine(dc, l, rr + 1, b);
  VLine(dc, l, t + 1, b);
  VLine(dc, rr, t + 1, b);
  SelectObject(dc, op);
  SetROP2(dc, old);
}

void ArrPaintPartArea(HDC dc, int w, int h) {
  ArrViewRec& v = ArrView();
  if (v.PartAreaWidth != w || v.PartAreaHeight != h) ArrResizeCalc(v, w, h);
  overviewCache.clear();
  FillSolid(dc, 0, v.TopHeight, w, h, v.Color[0]);
  DrawRuler(dc, w);
  if (v.Grid) DrawGrid(dc, w, h);
  if (v.MrkBar) DrawMarkerStrip(dc, w);
  const ArrRec* arr = CurArr;
  for (int32_t r = 0; r < v.VisibleRows; ++r) {
    const int32_t t = v.FirstTrack + r;
    if (t < 0 || t >= static_cast<int32_t>(kArrTracks)) break;
    ForEachSection(arr, static_cast<uint32_t>(t),
                   [&](const Section& s) { DrawSection(dc, arr, s, static_cast<uint32_t>(t), 0); });
  }
  for (int& x : lastLocX) x = INT32_MIN;
  ArrDrawLocFlag(dc, 0, Locs().NowLoc, 0);
  ArrDrawLocFlag(dc, 1, Locs().LeftLoc, 0);
  ArrDrawLocFlag(dc, 2, Locs().RightLoc, 0);
}

void ArrDrawPart(DcHandle dc, const ArrRec* arr, uint32_t slot, uint32_t track, int drawLocators, int mode) {
  if (dc == nullptr || arr == nullptr || track >= kArrTracks) return;
  const PartRec* p = ArrPart(arr, slot);
  if (p == nullptr || p->Start == kPartFreeStart) return;
  HDC hdc = reinterpret_cast<HDC>(dc);
  // A crossfade region belongs to the higher Part of the pair: in mode 1
  // such a partner redraws its region first, showing this Part's selection.
  if (mode == 1) {
    const uint16_t partners[2] = {p->XfadeInPartner, p->XfadeOutPartner};
    for (int k = 0; k < 2; ++k) {
      if (partners[k] == kArrNoLink) continue;
      auto* q = const_cast<PartRec*>(ArrPart(arr, partners[k]));
      if (q == nullptr || q->Start == kPartFreeStart || q->Layer <= p->Layer) continue;
      const uint32_t keep = q->Flags;
      q->Flags = (q->Flags & ~kPartSelected) | (p->Flags & kPartSelected);
      ArrDrawPart(dc, arr, partners[k], track, drawLocators, k == 0 ? 3 : 2);
      q->Flags = keep;
    }
  }
  // Modes 2 and 3 draw only the crossfade-in or crossfade-out region.
  int64_t from = INT64_MIN, to = INT64_MAX;
  if (mode == 2 || mode == 3) {
    const uint16_t link = mode == 2 ? p->XfadeInPartner : p->XfadeOutPartner;
    const PartRec* q = link != kArrNoLink ? ArrPart(arr, link) : nullptr;
    if (q == nullptr || q->Start == kPartFreeStart) return;
    from = mode == 2 ? int64_t{p->Start} : int64_t{q->Start};
    to = mode == 2 ? int64_t{q->Start} + q->Length : int64_t{p->Start} + p->Length;
    if (to <= from) return;
  }
  const ArrViewRec& v = ArrView();
  const int32_t hz = std::max(v.Hzoom, 1);
  ForEachSection(arr, track, [&](const Section& s) {
    if (s.slot != slot || s.start + s.length <= from || s.start >= to) return;
    if (from == INT64_MIN) {
      DrawSection(hdc, arr, s, track, drawLocators);
      return;
    }
    const int saved = SaveDC(hdc);
    auto xOf = [&](int64_t pos) {
      return static_cast<int>(std::clamp<int64_t>((pos + kArrTimeShift - v.Origin) / hz, -2, 32000));
    };
    IntersectClipRect(hdc, xOf(from), 0, xOf(to), 32000);
    DrawSection(hdc, arr, s, track, drawLocators);
    RestoreDC(hdc, saved);
  });
}

void ArrErasePart(DcHandle dc, const ArrRec* arr, uint32_t slot, uint32_t track, int) {
  const PartRec* p = ArrPart(arr, slot);
  if (dc == nullptr || p == nullptr || p->Start == kPartFreeStart) return;
  const ArrViewRec& v = ArrView();
  const int32_t row = static_cast<int32_t>(track) - v.FirstTrack;
  if (row < 0 || row > v.VisibleRows) return;
  const int x0 = std::max(-1, ArrXOfPos(v, p->Start));
  const int x1 = std::min(v.PartAreaWidth + 1, ArrXOfPos(v, static_cast<int32_t>(std::min<int64_t>(
                                                          int64_t{p->Start} + p->Length, INT32_MAX))) + 1);
  const int y0 = ArrRowTop(v, row);
  FillSolid(reinterpret_cast<HDC>(dc), x0, y0 - 1, x1, y0 + v.Vzoom + 1, v.Color[0]);
}

// ---- Track column ----

void ArrDrawTrkHeader(HDC dc, int32_t track, int32_t row) {
  const ArrViewRec& v = ArrView();
  if (CurArr == nullptr || track < 0 || track >= static_cast<int32_t>(kArrTracks)) return;
  const TrkRec& t = CurArr->Trk[track];
  const int y0 = ArrRowTop(v, row), y1 = y0 + v.Vzoom;
  if (t.RecTrack == 0) return;
  const int k = KindIndex(t.RecKind);
  const uint32_t* table = k == 0 ? TrkColors : k == 1 ? CautomTrkColors : MidevTrkColors;
  const uint32_t max = k == 0 ? 192 : 128;
  const COLORREF colour = t.RecTrack <= max ? table[t.RecTrack - 1] : kDefaultPart;
  const bool sel = (t.Flags & kTrkSelected) != 0;
  FillSolid(dc, 0, y0 - 1, 28, y1 + 1, sel ? kSelectedFill : colour);
  char label[16];
  std::snprintf(label, sizeof label, "%c%u", k == 0 ? 'A' : k == 1 ? 'C' : 'M', t.RecTrack);
  RECT r = {0, y0 - 1, 28, y1 + 1};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, sel ? colour : (k == 0 ? 0 : k == 1 ? RGB(128, 0, 0) : RGB(0, 128, 0)));
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(v.Vzoom < 10 ? ANSI_VAR_FONT : DEFAULT_GUI_FONT));
  DrawTextA(dc, label, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, oldFont);
  RECT b = {29, y0, 40, std::min(y1, y0 + 11)};
  const int state = RecTrkGetState(static_cast<int32_t>(t.RecKind), static_cast<int32_t>(t.RecTrack));
  DrawEdge(dc, &b, state == 2 ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  if (state >= 1) {
    const int d = v.Vzoom < 13 ? 5 : 7, cx = 34 + (state == 2), cy = (b.top + b.bottom) / 2 + (state == 2);
    const COLORREF dot = state == 2 ? (TransportState() == kTransportRecording ? RGB(255, 0, 0) : 0) : GetSysColor(COLOR_BTNSHADOW);
    Gdi br(CreateSolidBrush(dot));
    Gdi pn(CreatePen(PS_SOLID, 1, dot));
    HGDIOBJ ob = SelectObject(dc, br), op = SelectObject(dc, pn);
    Ellipse(dc, cx - d / 2, cy - d / 2, cx - d / 2 + d, cy - d / 2 + d);
    SelectObject(dc, ob);
    SelectObject(dc, op);
  }
}

void ArrPaintColumn(HDC dc, int w, int h) {
  const ArrViewRec& v = ArrView();
  const RECT all = {0, 0, w, h};
  HBRUSH header = ArrHeaderBrush();
  Gdi own(header ? nullptr : CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
  FillRect(dc, &all, header ? header : static_cast<HBRUSH>(own.obj));
  RECT top = {0, 0, w, v.TopHeight};
  DrawEdge(dc, &top, EDGE_RAISED, BF_RECT);
  Gdi sep(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
  HGDIOBJ o = SelectObject(dc, sep);
  for (int32_t r = 0; r < v.VisibleRows; ++r) {
    HLine(dc, 0, w, ArrRowTop(v, r) - 1);
    ArrDrawTrkHeader(dc, v.FirstTrack + r, r);
  }
  ArrDrawTrkLinks(dc);
  SelectObject(dc, o);
}

// The same envelope for the volume drag's XOR feedback (arrchild.h).
void ArrDrawGainEnvelope(HDC dc, int64_t start, int64_t length, int centre, int half, uint32_t g0, uint32_t g1,
                         int curve, int extra) {
  DrawGainEnvelope(dc, start, length, centre, half, g0, g1, curve, extra);
}
