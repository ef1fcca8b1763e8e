// Drawing of the arrange Part area and track column: the time ruler, grid,
// marker strip, Parts (boxes, names, gain envelopes, waveforms, crossfade
// regions, snap points) and locator lines. Everything draws into the device
// context it is given, a window's or a memory bitmap's alike.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "mixer/arrange/arrdrawseams.h"
#include "mixer/arrange/arrruler.h"
#include "mixer/arrange/partedit.h"
#include "mixer/arrange/services.h"
#include "mixer/arrange/wavepoints.h"
#include "mixer/arrange/win32/arrpaint.h"
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
#include "mixer/model/win32/draw.h"
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

int KindIndex(uint32_t kind) { return kind == kTakeAudio ? 0 : kind == kTakeAutom ? 1 : 2; }

struct Gdi {
  HGDIOBJ obj;
  explicit Gdi(HGDIOBJ o) : obj(o) {}
  ~Gdi() {
    if (obj) DeleteObject(obj);
  }
  operator HGDIOBJ() const { return obj; }
};

// The background mode and the text and background colours set for one
// drawing step and given back when it ends: drawing leaves the DC's own as
// it found them. CLR_INVALID leaves a colour alone.
class DcColours {
 public:
  DcColours(HDC dc, int mode, COLORREF text, COLORREF back = CLR_INVALID)
      : dc_(dc),
        mode_(SetBkMode(dc, mode)),
        text_(text != CLR_INVALID ? SetTextColor(dc, text) : CLR_INVALID),
        back_(back != CLR_INVALID ? SetBkColor(dc, back) : CLR_INVALID) {}
  ~DcColours() {
    if (back_ != CLR_INVALID) SetBkColor(dc_, back_);
    if (text_ != CLR_INVALID) SetTextColor(dc_, text_);
    SetBkMode(dc_, mode_);
  }
  DcColours(const DcColours&) = delete;
  DcColours& operator=(const DcColours&) = delete;

 private:
  HDC dc_;
  int mode_;
  COLORREF text_, back_;
};

void VLine(HDC dc, int x, int y0, int y1) {
  MoveToEx(dc, x, y0, nullptr);
  LineTo(dc, x, y1);
}
void HLine(HDC dc, int x0, int x1, int y) {
  MoveToEx(dc, x0, y, nullptr);
  LineTo(dc, x1, y);
}

// The bitmap whose row order was last found, while a paint runs.
HGDIOBJ directBitmap = nullptr;
void* directBits = nullptr;
bool directTopDown = true;
// The DC whose direct pixels were last looked at in the running paint.
HDC directDc = nullptr;

// Pens and brushes of one paint (or one Part's redraw), by kind and
// colour: each is made once and deleted when the outermost paint ends, so
// that 2000 Parts in a few dozen colours cost a few dozen objects. Every
// drawing routine selects its previous objects back before it returns.
struct CachedObj {
  int kind;  // 0 pen, 1 solid brush, 2.. hatched brush (style + 2)
  int style;
  COLORREF colour;
  HGDIOBJ obj;
};
std::vector<CachedObj> gdiCache;
int paintDepth = 0;
// Whether the running paint may read Take samples (SamplesReadable); -1
// not asked yet.
int samplesReadable = -1;

HGDIOBJ Cached(int kind, int style, COLORREF colour) {
  for (const CachedObj& o : gdiCache)
    if (o.kind == kind && o.style == style && o.colour == colour) return o.obj;
  HGDIOBJ obj = kind == 0   ? static_cast<HGDIOBJ>(CreatePen(style, 1, colour))
                : kind == 1 ? static_cast<HGDIOBJ>(CreateSolidBrush(colour))
                            : static_cast<HGDIOBJ>(CreateHatchBrush(style, colour));
  gdiCache.push_back({kind, style, colour, obj});
  return obj;
}
HGDIOBJ PenOf(COLORREF c, int style = PS_SOLID) { return Cached(0, style, c); }
HBRUSH BrushOf(COLORREF c) { return static_cast<HBRUSH>(Cached(1, 0, c)); }
HBRUSH HatchOf(int style, COLORREF c) { return static_cast<HBRUSH>(Cached(2, style, c)); }

void ForgetGlyphs();

// Open while a paint runs; the outermost one frees the cached objects.
struct PaintScope {
  PaintScope() { ++paintDepth; }
  ~PaintScope() {
    if (--paintDepth > 0) return;
    for (const CachedObj& o : gdiCache) DeleteObject(o.obj);
    gdiCache.clear();
    directBitmap = nullptr;
    directBits = nullptr;
    directDc = nullptr;
    samplesReadable = -1;
    ForgetGlyphs();
  }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
};

void FillSolid(HDC dc, int x0, int y0, int x1, int y1, COLORREF c);

// The pixels of a 32-bit DIB section selected into a DC that drawing may
// write directly: no clipping region of the application's, no origin
// offsets, text mapping, plain copy mode. Anything else (a window's DC, a
// device-dependent bitmap, a clipped redraw) is drawn through GDI calls;
// both give the same picture.
struct Pixels {
  uint8_t* bits = nullptr;
  int w = 0, h = 0;
  int64_t stride = 0;  // bytes from one row to the next, negative bottom-up
  uint8_t* row0 = nullptr;
  uint32_t* Row(int y) const { return reinterpret_cast<uint32_t*>(row0 + stride * y); }
};

// Clipped drawing of this file's own (a Part redrawn in a crossfade
// region only) runs; direct writes would pass the clip.
int clipDepth = 0;
bool directOk = false;
Pixels directPx;

bool DirectPixelsOf(HDC dc, Pixels* out);

bool DirectPixels(HDC dc, Pixels* out) {
  if (clipDepth > 0) return false;
  if (paintDepth == 0 || dc != directDc) {
    directOk = DirectPixelsOf(dc, &directPx);
    directDc = paintDepth > 0 ? dc : nullptr;
  }
  *out = directPx;
  return directOk;
}

bool DirectPixelsOf(HDC dc, Pixels* out) {
  HGDIOBJ bm = GetCurrentObject(dc, OBJ_BITMAP);
  DIBSECTION ds{};
  if (bm == nullptr || GetObjectA(bm, sizeof ds, &ds) != static_cast<int>(sizeof ds)) return false;
  if (ds.dsBm.bmBits == nullptr || ds.dsBm.bmBitsPixel != 32 || ds.dsBmih.biCompression != BI_RGB) return false;
  if (GetMapMode(dc) != MM_TEXT || GetROP2(dc) != R2_COPYPEN) return false;
  POINT vp{}, wo{};
  GetViewportOrgEx(dc, &vp);
  GetWindowOrgEx(dc, &wo);
  if (vp.x != 0 || vp.y != 0 || wo.x != 0 || wo.y != 0) return false;
  HRGN clip = CreateRectRgn(0, 0, 0, 0);
  const int clipped = GetClipRgn(dc, clip);
  DeleteObject(clip);
  if (clipped != 0) return false;
  out->bits = static_cast<uint8_t*>(ds.dsBm.bmBits);
  out->w = ds.dsBm.bmWidth;
  out->h = ds.dsBm.bmHeight;
  if (out->w <= 0 || out->h <= 0) return false;
  const int64_t pitch = ds.dsBm.bmWidthBytes;
  // Which memory row is the top line: the header's sign does not always
  // tell (some systems report a top-down section with a positive height),
  // so the first row's first pixel is changed for a moment and read back.
  // Once per bitmap and paint.
  if (directBitmap != bm || directBits != out->bits) {
    GdiFlush();
    uint32_t* first = reinterpret_cast<uint32_t*>(out->bits);
    const uint32_t saved = *first;
    const COLORREF before = GetPixel(dc, 0, 0);
    *first = saved ^ 0x00FFFFFFu;
    directTopDown = GetPixel(dc, 0, 0) != before;
    *first = saved;
    directBitmap = bm;
    directBits = out->bits;
  }
  out->stride = directTopDown ? pitch : -pitch;
  out->row0 = directTopDown ? out->bits : out->bits + pitch * (out->h - 1);
  return true;
}

// A COLORREF as a 32-bit DIB pixel.
uint32_t PixelOf(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

// Fills [x0, x1) x [y0, y1) with a colour.
void FillSolid(HDC dc, int x0, int y0, int x1, int y1, COLORREF c) {
  const PaintScope scope;
  Pixels px;
  if (DirectPixels(dc, &px)) {
    GdiFlush();
    const uint32_t v = PixelOf(c);
    x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, px.w), y1 = std::min(y1, px.h);
    for (int y = y0; y < y1 && x0 < x1; ++y) std::fill(px.Row(y) + x0, px.Row(y) + x1, v);
    return;
  }
  const RECT r = {x0, y0, x1, y1};
  FillRect(dc, &r, BrushOf(c));
}

// ---- Names written straight into the pixels ----
//
// A name is one line of text, opaque on its background, clipped to its
// box: what ExtTextOut draws. The text call is by far the dearest part of a
// Part's drawing, so on a DIB section each character is drawn by
// ExtTextOut once per paint (alone, on the name's background, in its ink),
// kept, and the names are put together from those pictures. Put together
// they give the same pixels as the text call as long as no two characters'
// pictures share a column; a name where they would is left to the text
// call.

struct Glyph {
  int advance;               // pixels the pen moves
  int left, top, w, h;       // the drawn pixels' box, from the pen's position
  std::vector<uint32_t> px;  // w x h, the background's pixel where nothing is drawn
};
// The characters of one font in one ink on one background, by character:
// an index into `glyphs`, kUnseen before the character was drawn, kCut
// when its picture could not be kept.
constexpr int kUnseen = -1, kCut = -2;
struct GlyphSet {
  HGDIOBJ font;
  COLORREF ink, back;
  int height;  // the font's line height
  int index[256];
};
// Deques: a name holds its set and its glyphs by address while more are
// added.
std::deque<GlyphSet> glyphSets;
std::deque<Glyph> glyphs;

// A scratch section that each character is drawn into alone.
constexpr int kGlyphCell = 64, kGlyphPen = 16;
struct GlyphScratch {
  HDC dc = nullptr;
  HBITMAP bm = nullptr;
  HGDIOBJ old = nullptr;
  uint32_t* bits = nullptr;
  bool Open() {
    if (dc) return bits != nullptr;
    dc = CreateCompatibleDC(nullptr);
    void* b = nullptr;
    bm = dc ? CreateDib32(dc, kGlyphCell, kGlyphCell, &b) : nullptr;
    if (bm) old = SelectObject(dc, bm);
    bits = static_cast<uint32_t*>(b);
    return bits != nullptr;
  }
  void Close() {
    if (bm) SelectObject(dc, old), DeleteObject(bm);
    if (dc) DeleteDC(dc);
    *this = GlyphScratch{};
  }
} glyphScratch;

void ForgetGlyphs() {
  glyphSets.clear();
  glyphs.clear();
  glyphScratch.Close();
}

GlyphSet* GlyphSetOf(HGDIOBJ font, COLORREF ink, COLORREF back) {
  for (GlyphSet& set : glyphSets)
    if (set.font == font && set.ink == ink && set.back == back) return set.height >= 0 ? &set : nullptr;
  GlyphSet set{font, ink, back, -1, {}};
  std::fill(std::begin(set.index), std::end(set.index), kUnseen);
  if (glyphScratch.Open()) {
    HGDIOBJ old = SelectObject(glyphScratch.dc, font);
    TEXTMETRICA tm{};
    if (GetTextMetricsA(glyphScratch.dc, &tm)) set.height = static_cast<int>(tm.tmHeight);
    SelectObject(glyphScratch.dc, old);
  }
  glyphSets.push_back(set);
  return set.height >= 0 ? &glyphSets.back() : nullptr;
}

// The character drawn alone by the text call; null when its picture
// cannot be kept.
const Glyph* GlyphOf(GlyphSet& set, uint8_t ch) {
  if (set.index[ch] >= 0) return &glyphs[static_cast<size_t>(set.index[ch])];
  if (set.index[ch] == kCut) return nullptr;
  set.index[ch] = kCut;
  HDC dc = glyphScratch.dc;
  const uint32_t bk = PixelOf(set.back);
  GdiFlush();
  std::fill(glyphScratch.bits, glyphScratch.bits + kGlyphCell * kGlyphCell, bk);
  HGDIOBJ old = SelectObject(dc, set.font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, set.ink);
  const char text[1] = {static_cast<char>(ch)};
  SIZE size{};
  const bool ok =
      GetTextExtentPoint32A(dc, text, 1, &size) && ExtTextOutA(dc, kGlyphPen, kGlyphPen, 0, nullptr, text, 1, nullptr);
  SelectObject(dc, old);
  GdiFlush();
  // A character reaching the cell's edge may have been cut: not kept.
  if (!ok || size.cx < 0 || size.cx > kGlyphCell - 2 * kGlyphPen) return nullptr;
  int x0 = kGlyphCell, y0 = kGlyphCell, x1 = -1, y1 = -1;
  for (int y = 0; y < kGlyphCell; ++y)
    for (int x = 0; x < kGlyphCell; ++x)
      if (glyphScratch.bits[y * kGlyphCell + x] != bk)
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
  if (x1 >= 0 && (x0 == 0 || y0 == 0 || x1 == kGlyphCell - 1 || y1 == kGlyphCell - 1)) return nullptr;
  Glyph g{size.cx, 0, 0, 0, 0, {}};
  if (x1 >= 0) {
    g.left = x0 - kGlyphPen, g.top = y0 - kGlyphPen, g.w = x1 - x0 + 1, g.h = y1 - y0 + 1;
    g.px.resize(static_cast<size_t>(g.w) * g.h);
    for (int y = 0; y < g.h; ++y)
      std::copy_n(glyphScratch.bits + (y0 + y) * kGlyphCell + x0, g.w, g.px.begin() + y * g.w);
  }
  set.index[ch] = static_cast<int>(glyphs.size());
  glyphs.push_back(std::move(g));
  return &glyphs.back();
}

// The name at (x, y) in `font`, opaque on `back` in `ink`, clipped to
// `clip`; false when it must be left to the text call.
bool NameIntoPixels(const Pixels& px, HGDIOBJ font, int x, int y, const RECT& clip, const char* name, COLORREF ink,
                    COLORREF back) {
  GlyphSet* set = GlyphSetOf(font, ink, back);
  const size_t n = std::strlen(name);
  if (set == nullptr || n > 255) return false;
  const Glyph* line[256];
  int pen = x, drawnTo = INT32_MIN;
  for (size_t i = 0; i < n; ++i) {
    const Glyph* g = GlyphOf(*set, static_cast<uint8_t>(name[i]));
    if (g == nullptr) return false;
    if (g->w > 0) {
      if (pen + g->left < drawnTo) return false;  // would meet the character before
      drawnTo = pen + g->left + g->w;
    }
    line[i] = g;
    pen += g->advance;
  }
  const int cl = std::max<int>(clip.left, 0), ct = std::max<int>(clip.top, 0);
  const int cr = std::min<int>(clip.right, px.w), cb = std::min<int>(clip.bottom, px.h);
  GdiFlush();
  // The background behind the whole line, then each character's pixels.
  const uint32_t bk = PixelOf(back);
  for (int yy = std::max(y, ct); yy < std::min(y + set->height, cb); ++yy) {
    const int from = std::max(x, cl), to = std::min(pen, cr);
    if (from < to) std::fill(px.Row(yy) + from, px.Row(yy) + to, bk);
  }
  pen = x;
  for (size_t i = 0; i < n; ++i) {
    const Glyph& g = *line[i];
    const int gx = pen + g.left, gy = y + g.top;
    pen += g.advance;
    for (int r = std::max(0, ct - gy); r < g.h && gy + r < cb; ++r) {
      const uint32_t* src = &g.px[static_cast<size_t>(r) * g.w];
      uint32_t* row = px.Row(gy + r);
      for (int c = std::max(0, cl - gx); c < g.w && gx + c < cr; ++c)
        if (src[c] != bk) row[gx + c] = src[c];
    }
  }
  return true;
}

// Horizontal and vertical one-pixel lines in a colour, each from its first
// point up to (not including) its second, as LineTo draws them.
struct Seg {
  int xa, ya, xb, yb;
};
void DrawSegs(HDC dc, COLORREF c, const Seg* segs, int n) {
  const PaintScope scope;
  Pixels px;
  if (DirectPixels(dc, &px)) {
    GdiFlush();
    const uint32_t v = PixelOf(c);
    for (int i = 0; i < n; ++i) {
      const Seg& g = segs[i];
      if (g.ya == g.yb) {
        if (g.ya < 0 || g.ya >= px.h) continue;
        const int a = g.xa <= g.xb ? g.xa : g.xb + 1, b = g.xa <= g.xb ? g.xb : g.xa + 1;
        const int from = std::max(a, 0), to = std::min(b, px.w);
        if (from < to) std::fill(px.Row(g.ya) + from, px.Row(g.ya) + to, v);
      } else if (g.xa == g.xb) {
        if (g.xa < 0 || g.xa >= px.w) continue;
        const int a = g.ya <= g.yb ? g.ya : g.yb + 1, b = g.ya <= g.yb ? g.yb : g.ya + 1;
        for (int y = std::max(a, 0); y < std::min(b, px.h); ++y) px.Row(y)[g.xa] = v;
      }
    }
    return;
  }
  std::vector<POINT> pts;
  std::vector<DWORD> counts;
  for (int i = 0; i < n; ++i) {
    pts.push_back({segs[i].xa, segs[i].ya});
    pts.push_back({segs[i].xb, segs[i].yb});
    counts.push_back(2);
  }
  if (n <= 0) return;
  HGDIOBJ old = SelectObject(dc, PenOf(c));
  PolyPolyline(dc, pts.data(), counts.data(), static_cast<DWORD>(n));
  SelectObject(dc, old);
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

// Display points from the peaks of the Take's samples, which the native
// devices read; false when they cannot now.
bool PointsFromSamples(TakeRec* take, int64_t start, int32_t columns, int64_t length, std::vector<int16_t>* out) {
  const ArrDrawSeams& seams = ArrDrawSeamsNow();
  if (seams.samplePeaks == nullptr || take == nullptr || columns <= 0 || length <= 0 || start < 0) return false;
  const WavePeakFetch f = WavePeaksFor(start, columns, length);
  if (f.count <= 0 || f.count > (int64_t{1} << 22) || f.from > UINT32_MAX || f.step > UINT32_MAX) return false;
  std::vector<int16_t> raw(2 * static_cast<size_t>(f.count));
  if (!seams.samplePeaks(take, static_cast<uint32_t>(f.count), static_cast<uint32_t>(f.step),
                         static_cast<uint32_t>(f.from), raw.data()))
    return false;
  std::vector<WvfEntry> e(static_cast<size_t>(f.count));
  for (size_t i = 0; i < e.size(); ++i) e[i] = {raw[2 * i], raw[2 * i + 1]};
  out->assign(2 * static_cast<size_t>(columns), 0);
  return WavePointsFromSteps(e.data(), static_cast<uint32_t>(e.size()), f.step, f.startInFetch, columns, length,
                             out->data()) != 0;
}

// Whether the Takes' samples may be read now: a native device holds its
// play buffers prepared while the units run on their own clock, or every
// device becomes idle within 5 s. Asked once per paint: a device that stays
// busy would otherwise hold each Part's drawing for the whole wait.
constexpr uint32_t kSampleWaitMs = 5000;
constexpr int32_t kSyncInInternal = 40501;

bool SamplesReadable() {
  if (paintDepth > 0 && samplesReadable >= 0) return samplesReadable != 0;
  const ArrDrawSeams& seams = ArrDrawSeamsNow();
  const bool prepared = seams.devicesPrepared != nullptr && seams.devicesPrepared() &&
                        RadioValue(kGrpSyncIn) == kSyncInInternal;
  const bool readable =
      prepared || seams.waitDevicesIdle == nullptr || seams.waitDevicesIdle(kSampleWaitMs) != 0;
  if (paintDepth > 0) samplesReadable = readable ? 1 : 0;
  return readable;
}

// Display points of a stretch of a Take. At close zoom, while the
// transport is neither playing nor recording, they come from the Take's
// samples, or there are none when the devices are busy; when no device
// reads samples at all (none is open), from the overview. Otherwise from
// the Take's overview, when it has one; the view then owes a repaint from
// the samples for when the transport stops.
bool TakePoints(TakeRec* take, uint32_t ref, int64_t start, int32_t columns, int64_t length,
                std::vector<int16_t>* out) {
  if (take == nullptr) return false;
  ArrViewRec& v = ArrView();
  const int state = TransportState();
  const bool moving = state == kTransportPlaying || state == kTransportRecording;
  const bool overview = TakeGetAttr(take, kTakeAttrWaveExists) != 0;
  if (v.CloseZoom && !moving) {
    if (!SamplesReadable()) return false;
    if (PointsFromSamples(take, start, columns, length, out)) {
      v.SamplesDrawn = 1;
      return true;
    }
    return overview && PointsFromOverview(take, ref, start, columns, length, out);
  }
  v.WavesDeferred = 1;
  return overview && PointsFromOverview(take, ref, start, columns, length, out);
}

// The filled picture's span of each column, top to bottom inclusive: from
// its maximum to its minimum, stretched to meet the previous column's own
// span so that the shape has no gaps. Calls fn(column, top, bottom).
template <typename Y, typename Fn> void ForEachFilledColumn(const std::vector<int16_t>& pts, Y y, Fn fn) {
  const size_t n = pts.size() / 2;
  int prevTop = 0, prevBottom = 0;
  for (size_t i = 0; i < n; ++i) {
    const int a = y(pts[2 * i]), b = y(pts[2 * i + 1]);
    const int ownTop = std::min(a, b), ownBottom = std::max(a, b);
    int top = ownTop, bottom = ownBottom;
    if (i > 0) top = std::min(top, prevBottom), bottom = std::max(bottom, prevTop);
    prevTop = ownTop;
    prevBottom = ownBottom;
    fn(static_cast<int>(i), top, bottom);
  }
}

void DrawWavePoints(HDC dc, int x, int centre, int half, const std::vector<int16_t>& pts, int inverted,
                    COLORREF colour, int filled) {
  const int zoom = 1 << std::clamp(ArrView().WaveZoom, 0, 8);
  const int sign = inverted ? -1 : 1;
  const PaintScope scope;
  const size_t n = pts.size() / 2;
  auto y = [&](int16_t v) {
    // Rounded, so that full scale reaches the row's half-height.
    const int64_t n = int64_t{v} * half * zoom;
    const int64_t d = (n >= 0 ? n + 16384 : n - 16384) / 32768;
    return centre - sign * static_cast<int>(std::clamp<int64_t>(d, -half, half));
  };
  Pixels px;
  if (filled && DirectPixels(dc, &px)) {
    // The columns straight into the bitmap's pixels: what the segments
    // below would draw, without a GDI call per column.
    GdiFlush();
    const uint32_t value = PixelOf(colour);
    ForEachFilledColumn(pts, y, [&](int i, int top, int bottom) {
      const int cx = x + i;
      if (cx < 0 || cx >= px.w) return;
      for (int yy = std::max(top, 0); yy <= std::min(bottom, px.h - 1); ++yy) px.Row(yy)[cx] = value;
    });
    return;
  }
  // One call per picture: a vertical segment per column (filled), or the
  // line through the maxima and the line through the minima (outline).
  std::vector<POINT> line;
  HGDIOBJ old = SelectObject(dc, PenOf(colour));
  if (filled) {
    line.reserve(2 * n);
    ForEachFilledColumn(pts, y, [&](int i, int top, int bottom) {
      line.push_back({x + i, top});
      line.push_back({x + i, bottom + 1});
    });
    std::vector<DWORD> counts(n, 2);
    if (n > 0) PolyPolyline(dc, line.data(), counts.data(), static_cast<DWORD>(n));
  } else {
    for (int j = 0; j < 2; ++j) {
      line.clear();
      for (size_t i = 0; i < n; ++i) line.push_back({x + static_cast<int>(i), y(pts[2 * i + j])});
      if (n == 1) line.push_back({x + 1, line[0].y});
      if (!line.empty()) Polyline(dc, line.data(), static_cast<int>(line.size()));
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
    // A loop-recorded Part shows its channel's colour only while its pass
    // lies on the stack the recorder is laying now. Passes are counted on
    // and not wrapped, so both sides are taken modulo the stacks.
    const int64_t m = -int64_t{ch};
    const int32_t c0 = static_cast<int32_t>((m - 1) % 192 + 1);
    const int64_t pass = (m - 1) / 192, stacks = std::max<int32_t>(TransportPassLimit(), 1);
    const bool current = pass % stacks == std::max<int32_t>(TransportPassCount(), 0) % stacks;
    c = {current ? table[std::min(c0, max) - 1] : kDefaultPart, kInk[k], kInk[k], 0, HS_BDIAGONAL};
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

HBRUSH BrushOf(const Colours& c) { return c.hatch >= 0 ? HatchOf(c.hatch, c.fill) : BrushOf(c.fill); }

// The envelope of a gain that does not change over [start, start +
// length) of a row: a rectangle about the centre line, half-height by the
// fader law.
RECT FlatEnvelope(int64_t start, int64_t length, int centre, int half, uint32_t g, int extra) {
  const ArrViewRec& v = ArrView();
  const int32_t hz = std::max(v.Hzoom, 1);
  auto xOf = [&](int64_t p) {
    return static_cast<int>(std::clamp<int64_t>((p + kArrTimeShift - v.Origin) / hz, -1, 10000));
  };
  const int hh = std::min(GainToPixels(static_cast<int32_t>(std::min<uint32_t>(g, 65536)), 32768, half, LogAxis()), half);
  const int x0 = xOf(start), x1 = xOf(start + length);
  return {x0, centre - hh - extra, std::max(x1, x0 + 1), centre + hh + extra + 1};
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
    const RECT r = FlatEnvelope(start, length, centre, half, g0, extra);
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
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
  for (auto it = upper.rbegin(); it != upper.rend(); ++it) poly.push_back({it->x, 2 * centre - it->y});
  Polygon(dc, poly.data(), static_cast<int>(poly.size()));
}

// The outline alone of the gain envelope above, in `colour`, over the
// columns [left, right) only: what the envelope's pen drew, drawn again.
void OutlineGainEnvelope(HDC dc, int64_t start, int64_t length, int centre, int half, uint32_t g0, uint32_t g1,
                         int curve, COLORREF colour, int left, int right) {
  if (right <= left) return;
  if (g0 == g1) {
    // The flat envelope's rectangle: its four sides as the pen draws them.
    const RECT r = FlatEnvelope(start, length, centre, half, g0, 0);
    const int l = std::max<int>(r.left, left), rr = std::min<int>(r.right, right);
    if (l >= rr) return;
    Seg segs[4] = {{l, r.top, rr, r.top}, {l, r.bottom - 1, rr, r.bottom - 1}};
    int n = 2;
    if (r.left >= left) segs[n++] = {r.left, r.top, r.left, r.bottom};
    if (r.right - 1 < right) segs[n++] = {r.right - 1, r.top, r.right - 1, r.bottom};
    DrawSegs(dc, colour, segs, n);
    return;
  }
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, left, 0, right, 32000);
  SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
  SelectObject(dc, PenOf(colour));
  DrawGainEnvelope(dc, start, length, centre, half, g0, g1, curve, 0);
  RestoreDC(dc, saved);
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
  for (auto it = upper.rbegin(); it != upper.rend(); ++it) poly.push_back({it->x, 2 * centre - it->y});
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

// The curve of the knob an Automation Part shows (its displayed knob) over
// the section [start, end) of the time line, in the content band [top,
// bottom] and clipped to `clip`: a stepped line through the events'
// values, started by the event before the section, each event marked by a
// small cross. The events come from the mixer's automation log.
void DrawAutomCurve(HDC dc, const PartRec& p, int64_t start, int64_t end, int top, int bottom, const RECT& clip,
                    COLORREF ink) {
  const ArrDrawSeams& seams = ArrDrawSeamsNow();
  const int h = bottom - top;
  if (seams.automEvents == nullptr || h <= 0 || end <= start) return;
  const ArrViewRec& v = ArrView();
  const int32_t hz = std::max(v.Hzoom, 1);
  const int64_t viewStart = int64_t{v.Origin} - kArrTimeShift - hz;
  const int64_t viewEnd = int64_t{v.Origin} - kArrTimeShift + int64_t{v.PartAreaWidth + 2} * hz;
  const int64_t from = std::max(start, viewStart), to = std::min(end, viewEnd);
  if (to <= from) return;
  // Take location 0 lies at the Part's start less its offset.
  const int64_t origin = int64_t{p.Start} - p.Offset;
  const int64_t tFrom = std::clamp<int64_t>(from - origin, 0, INT32_MAX);
  const int64_t tTo = std::clamp<int64_t>(to - origin, 0, INT32_MAX);
  if (tTo <= tFrom) return;
  // The events in chunks; each further chunk starts after the last event
  // and leaves out the event before it, which the previous chunk holds.
  constexpr int kChunk = 4096;
  std::vector<ArrAutomPoint> ev;
  std::vector<ArrAutomPoint> chunk(kChunk);
  for (int64_t at = tFrom; at < tTo;) {
    const int got = seams.automEvents(p.Take, p.AutoMapValue, static_cast<int32_t>(at), static_cast<int32_t>(tTo), h,
                                      chunk.data(), kChunk);
    if (got <= 0) break;
    int k = 0;
    if (at != tFrom && chunk[0].Location < at) k = 1;
    int64_t last = at - 1;
    for (; k < std::min(got, kChunk); ++k) {
      ev.push_back(chunk[k]);
      last = std::max<int64_t>(last, chunk[k].Location);
    }
    if (got < kChunk || last < at) break;
    at = last + 1;
  }
  const int n = static_cast<int>(ev.size());
  if (n <= 0) return;
  auto xOf = [&](int64_t pos) {
    return static_cast<int>(std::clamp<int64_t>((pos + kArrTimeShift - v.Origin) / hz, -2, 32000));
  };
  auto yOf = [&](int32_t value) { return bottom - std::clamp(value, 0, h); };
  std::vector<POINT> line;
  line.reserve(2 * static_cast<size_t>(n) + 2);
  int i = 0;
  if (ev[0].Location < tFrom) {
    line.push_back({xOf(from), yOf(ev[0].Value)});
    i = 1;
  }
  for (int k = i; k < n; ++k) {
    const int x = xOf(origin + ev[k].Location);
    if (!line.empty()) line.push_back({x, line.back().y});
    line.push_back({x, yOf(ev[k].Value)});
  }
  line.push_back({xOf(to), line.back().y});
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
  Gdi pen(CreatePen(PS_SOLID, 1, ink));
  SelectObject(dc, pen);
  Polyline(dc, line.data(), static_cast<int>(line.size()));
  Gdi brush(CreateSolidBrush(ink));
  SelectObject(dc, brush);
  for (int k = i; k < n; ++k) {
    const int x = xOf(origin + ev[k].Location), y = yOf(ev[k].Value);
    PatBlt(dc, x - 1, y - 2, 3, 5, PATCOPY);
    PatBlt(dc, x - 2, y - 1, 5, 3, PATCOPY);
  }
  RestoreDC(dc, saved);
}

struct Section {
  uint32_t slot;
  int64_t start, length;
};

// A crossfade stretch of a section: the partner whose overlap it lies in,
// on which side of the Part (the crossfade-in or the crossfade-out), its
// stretch [start, end) of the time line and its columns [x0, x1).
struct XfadeStretch {
  const PartRec* partner;
  bool in;
  int64_t start, end;
  int x0, x1;
};

// Both fades of a crossfade over its stretch: the Part's own fade filled
// with `brush` and outlined with `fillPen`, the partner's fade outlined
// over it with `framePen`, so that both curves show. The overlap is [S,
// inEnd) for the crossfade-in and [outStart, E) for the crossfade-out; the
// fades' windows are 255ths of it.
void DrawXfadeFades(HDC dc, const PartRec& p, const XfadeStretch& x, int64_t inEnd, int64_t outStart, int centre,
                    int half, HGDIOBJ brush, HGDIOBJ fillPen, HGDIOBJ framePen) {
  const PartRec& q = *x.partner;
  const int64_t S = p.Start, E = int64_t{p.Start} + p.Length;
  const int64_t regionStart = x.in ? S : outStart, X = x.in ? inEnd - S : E - outStart;
  auto at = [&](const uint8_t* window, int k) { return regionStart + MulDiv(static_cast<int>(X), window[k], 255); };
  struct Fade {
    int64_t start, length;
    int curve;
    uint32_t from, to;
  };
  const uint8_t* mine = x.in ? p.XfadeInWindow : p.XfadeOutWindow;
  const uint8_t* theirs = x.in ? q.XfadeOutWindow : q.XfadeInWindow;
  // The Part fades in from nothing to its gain at the overlap's end, or
  // out from its gain at the overlap's start; the partner the other way.
  const Fade own = x.in ? Fade{at(mine, 0), at(mine, 1) - at(mine, 0), p.XfadeInCurve, 0,
                               ArrPartGainAt(static_cast<int32_t>(X), p)}
                        : Fade{at(mine, 0), at(mine, 1) - at(mine, 0), static_cast<int>(p.XfadeOutCurve),
                               ArrPartGainAt(static_cast<int32_t>(outStart - S), p), 0};
  const Fade other = x.in ? Fade{at(theirs, 0), at(theirs, 1) - at(theirs, 0), static_cast<int>(q.XfadeOutCurve),
                                 ArrPartGainAt(static_cast<int32_t>(S - q.Start), q), 0}
                          : Fade{at(theirs, 0), at(theirs, 1) - at(theirs, 0), q.XfadeInCurve, 0,
                                 ArrPartGainAt(static_cast<int32_t>(X), q)};
  HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, fillPen);
  DrawXfadeEnvelope(dc, own.start, own.length, own.curve, own.from, own.to, x.start, x.end, centre, half, 0);
  SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
  SelectObject(dc, framePen);
  DrawXfadeEnvelope(dc, other.start, other.length, other.curve, other.from, other.to, x.start, x.end, centre, half,
                    0);
  SelectObject(dc, ob);
  SelectObject(dc, op);
}

// The crossfade partner `link` of `p` when it lies on a lower layer.
const PartRec* LowerPartner(const ArrRec* arr, const PartRec& p, uint16_t link) {
  const PartRec* q = link != kArrNoLink ? ArrPart(arr, link) : nullptr;
  return q != nullptr && q->Start != kPartFreeStart && q->Layer < p.Layer ? q : nullptr;
}

void DrawSection(HDC dc, const ArrRec* arr, const Section& s, uint32_t track, int drawLocators) {
  const ArrViewRec& v = ArrView();
  const PartRec& p = *ArrPart(arr, s.slot);
  if (static_cast<int32_t>(track) < v.FirstTrack || static_cast<int32_t>(track) > v.FirstTrack + v.VisibleRows)
    return;
  // Only Audio, Automation and Midi Parts have a picture.
  if (p.TakeKind != kTakeAudio && p.TakeKind != kTakeAutom && p.TakeKind != kTakeMidi) return;
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

  const PaintScope scope;
  HGDIOBJ brush = BrushOf(c);
  // A hatched brush fills the gaps between its lines with the default
  // colour, whatever the DC held before.
  std::optional<DcColours> hatchGaps;
  if (c.hatch >= 0) hatchGaps.emplace(dc, OPAQUE, CLR_INVALID, kDefaultPart);
  const bool envelope = audio && rh >= 14 && (selected || ShowPartVol) && p.PlayChannel >= 1 && p.PlayChannel <= 192;
  if (envelope) {
    FillSolid(dc, x0, y0 - 1, x1, y1 + 1, selected ? 0 : kDefaultPart);
    if (g0 == g1 && c.hatch < 0) {
      // Pen and brush of one colour: the rectangle is a fill.
      const RECT r = FlatEnvelope(s.start, s.length, centre, half, g0, 0);
      FillSolid(dc, r.left, r.top, r.right, r.bottom, c.fill);
    } else {
      HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, PenOf(c.fill));
      DrawGainEnvelope(dc, s.start, s.length, centre, half, g0, g1, p.FadeCurve, 0);
      SelectObject(dc, ob);
      SelectObject(dc, op);
    }
  } else if (c.hatch < 0) {
    FillSolid(dc, x0, y0 - 1, x1, y1 + 1, c.fill);
  } else {
    HGDIOBJ ob = SelectObject(dc, brush);
    PatBlt(dc, x0, y0 - 1, x1 - x0, rh + 2, PATCOPY);
    SelectObject(dc, ob);
  }

  // Crossfade regions: in each overlap with a partner this section meets,
  // the partner's fade and this Part's (its fade-in over the crossfade-in,
  // its fade-out over the crossfade-out) as envelopes over the box. Where
  // the two overlaps meet, the crossfade-in keeps their common stretch.
  // Only a partner on a lower layer gives this Part a region: a higher or
  // equal one draws the region itself, or neither Part does.
  const PartRec* in = LowerPartner(arr, p, p.XfadeInPartner);
  const PartRec* out = LowerPartner(arr, p, p.XfadeOutPartner);
  const int64_t inEnd = in ? int64_t{in->Start} + in->Length : INT64_MIN;
  const int64_t outStart = out ? out->Start : INT64_MAX;
  const int64_t sEnd = s.start + s.length;
  XfadeStretch xf[2];
  int nXf = 0;
  if (audio && s.start < inEnd) xf[nXf++] = {in, true, s.start, std::min(sEnd, inEnd), 0, 0};
  if (audio && outStart != INT64_MAX) {
    const int64_t from = std::max({s.start, outStart, inEnd});
    if (from < sEnd) xf[nXf++] = {out, false, from, sEnd, 0, 0};
  }
  for (int k = 0; k < nXf; ++k) {
    XfadeStretch& x = xf[k];
    x.x0 = static_cast<int>(std::clamp<int64_t>(xOf(x.start), x0, x1));
    x.x1 = static_cast<int>(std::clamp<int64_t>(xOf(x.end), x0, x1));
    // The fades take the gain envelope's place there; low rows show no
    // envelope, the region keeps the plain box.
    if (rh <= 13) continue;
    FillSolid(dc, x.x0, y0 - 1, x.x1, y1 + 1, selected ? 0 : kDefaultPart);
    DrawXfadeFades(dc, p, x, inEnd, outStart, centre, half, brush, PenOf(c.fill), PenOf(c.frame));
  }
  hatchGaps.reset();
  // The plain stretch between the crossfade regions, in columns.
  const bool xfFirst = nXf > 0 && xf[0].in, xfLast = nXf > 0 && !xf[nXf - 1].in;
  const int plainX0 = xfFirst ? xf[0].x1 : x0, plainX1 = xfLast ? xf[nXf - 1].x0 : x1;

  // Frame.
  const bool linkPrev = (p.Flags & kPartLinkPrev) != 0, linkNext = (p.Flags & kPartLinkNext) != 0;
  // The edge mark: the name stands there, at the end of the crossfade-in
  // partner on whichever layer it lies, else at the Part's start. A section
  // starting there in the start's own column still shows the left edge.
  const PartRec* inAny = p.XfadeInPartner != kArrNoLink ? ArrPart(arr, p.XfadeInPartner) : nullptr;
  const int64_t edgeMark = inAny != nullptr && inAny->Start != kPartFreeStart
                               ? std::max<int64_t>(p.Start, int64_t{inAny->Start} + inAny->Length)
                               : int64_t{p.Start};
  const bool leftEdge = s.start == p.Start || (s.start == edgeMark && xOf(edgeMark) == xOf(p.Start));
  const bool rightEdge = s.start + s.length == int64_t{p.Start} + p.Length;
  const int ey0 = linkPrev ? y0 - 1 : y0 + 1, ey1 = linkNext ? y1 + 1 : y1 - 1;
  Seg edges[2];
  int nEdges = 0;
  if (leftEdge) edges[nEdges++] = {x0, ey0, x0, ey1};
  if (rightEdge) edges[nEdges++] = {x1 - 1, ey0, x1 - 1, ey1};
  {
    // The frame: the top edge's black line, then the frame colour's lines,
    // one call each.
    Seg segs[6];
    int n = 0;
    if (!linkPrev) {
      const Seg top = {x0, y0 - 1, x1, y0 - 1};
      if (c.frame == 0)
        segs[n++] = top;
      else
        DrawSegs(dc, 0, &top, 1);
      segs[n++] = {x0, y0, x1, y0};
    }
    for (int i = 0; i < nEdges; ++i) segs[n++] = edges[i];
    if (!linkNext) {
      segs[n++] = {x0, y1 - 1, x1, y1 - 1};
      segs[n++] = {x0 + 1, y1, x1, y1};
    }
    DrawSegs(dc, c.frame, segs, n);
    // The corner pixel marks a start that no other Part of the track lies
    // under: the first Part the start overlaps begins later, or none.
    const PartRec* under = p.OverlapLink != kArrNoLink ? ArrPart(arr, p.OverlapLink) : nullptr;
    const bool coveredAtStart = under != nullptr && under->Start != kPartFreeStart && under->Start < p.Start;
    if (!linkNext && leftEdge && !coveredAtStart) {
      const Seg corner = {x0, y1, x0 + 1, y1};
      DrawSegs(dc, 0x404040, &corner, 1);
    }
  }

  // Contents. The font goes into the DC only around the text calls
  // themselves: selecting one is among the dearest calls of a Part.
  HGDIOBJ font = GetStockObject(rh < 10 ? ANSI_VAR_FONT : DEFAULT_GUI_FONT);
  // The name stands at the Part's start, or right after its crossfade-in
  // region, inside the plain stretch.
  const int64_t plainStart = xfFirst ? xf[0].end : s.start, plainEnd = xfLast ? xf[nXf - 1].start : sEnd;
  const bool nameWanted = plainStart < plainEnd && plainStart == edgeMark;
  const bool nameFits = nameWanted && plainX1 - plainX0 >= 4;
  char name[72];
  std::snprintf(name, sizeof name, "%s%s", p.Name, (p.Flags & kPartTimelocked) ? " *" : "");
  // The name transparent over the box, in the text colour.
  auto drawText = [&](RECT r, UINT format) {
    const DcColours colours(dc, TRANSPARENT, c.ink);
    HGDIOBJ oldFont = SelectObject(dc, font);
    DrawTextA(dc, name, -1, &r, format | DT_SINGLELINE | DT_LEFT | DT_NOPREFIX);
    SelectObject(dc, oldFont);
  };
  if (audio && rh > 13) {
    TakeRec* take = TakeFromRef(p.Take);
    std::vector<int16_t> pts;
    // Each crossfade partner's points over its stretch, and their first
    // column.
    std::vector<int16_t> partnerPts[2];
    int partnerX[2] = {0, 0};
    const int cols = x1 - x0 - 2;
    const int64_t first = std::max<int64_t>(s.start, ArrPosOfX(v, x0 + 1));
    const int64_t last = std::min<int64_t>(s.start + s.length, int64_t{ArrPosOfX(v, x1 - 1)});
    // In a crossfade the partner's waveform goes first, in grey (or, for a
    // selected Part, in its channel colour lightened).
    COLORREF grey = c.greyed ? kDefaultPart : kSelectedFill;
    if (selected && p.PlayChannel >= 1 && p.PlayChannel <= 192) {
      const COLORREF ch = TrkColors[p.PlayChannel - 1];
      auto up = [](int v) { return std::min(v + 96, 255); };
      grey = RGB(up(GetRValue(ch)), up(GetGValue(ch)), up(GetBValue(ch)));
    }
    for (int k = 0; k < nXf; ++k) {
      const PartRec& q = *xf[k].partner;
      TakeRec* ptake = TakeFromRef(q.Take);
      if (p.PlayChannel < 0 || ptake == nullptr || cols <= 0) continue;
      const int64_t pfirst = std::max(first, xf[k].start), plast = std::min(last, xf[k].end);
      const int px0 = static_cast<int>(std::clamp<int64_t>(xOf(pfirst), x0 + 1, x1 - 1));
      const int pcols = static_cast<int>(std::clamp<int64_t>(xOf(plast), x0 + 1, x1 - 1)) - px0;
      const int64_t takeAt = int64_t{q.Offset} + (pfirst - q.Start);
      if (pcols > 0 && plast > pfirst && TakePoints(ptake, q.Take, takeAt, pcols, plast - pfirst, &partnerPts[k])) {
        DrawWavePoints(dc, px0, centre, half, partnerPts[k], (q.Flags & kPartPhaseInvert) != 0, grey, FillWvForm);
        partnerX[k] = px0;
      } else {
        partnerPts[k].clear();
      }
    }
    if (p.PlayChannel >= 0 && take != nullptr && cols > 0) {
      const int64_t takeAt = int64_t{p.Offset} + (first - p.Start);
      if (last > first && TakePoints(take, p.Take, takeAt, cols, last - first, &pts))
        DrawWavePoints(dc, x0 + 1, centre, half, pts, (p.Flags & kPartPhaseInvert) != 0, c.ink, FillWvForm);
    }
    if (FillWvForm) {
      // A filled waveform covers what lies under it: the partners'
      // waveforms are outlined again on top, and the gain envelope's
      // outline over the plain stretch (the crossfades stand in for it
      // elsewhere) and the box's side edges, which that outline's own sides
      // cover, are drawn again.
      for (int k = 0; k < nXf; ++k)
        if (!partnerPts[k].empty())
          DrawWavePoints(dc, partnerX[k], centre, half, partnerPts[k],
                         (xf[k].partner->Flags & kPartPhaseInvert) != 0, grey, 0);
      if (envelope) {
        OutlineGainEnvelope(dc, s.start, s.length, centre, half, g0, g1, p.FadeCurve, c.fill, plainX0, plainX1);
        DrawSegs(dc, c.frame, edges, nEdges);
      }
    }
    if (nameFits && ShowNameInWave) {
      RECT r = {plainX0 + 2, y0 + 1, plainX1 - 1, y1 - 1};
      const COLORREF back = selected ? 0 : c.greyed ? kDefaultPart : 0xFFFFFF;
      // One line at the top left, clipped to the box: the text call itself,
      // without the formatting pass (names hold no prefixes or breaks).
      Pixels px;
      if (!DirectPixels(dc, &px) || !NameIntoPixels(px, font, r.left, r.top, r, name, c.ink, back)) {
        const DcColours colours(dc, OPAQUE, c.ink, back);
        HGDIOBJ oldFont = SelectObject(dc, font);
        ExtTextOutA(dc, r.left, r.top, ETO_CLIPPED, &r, name, static_cast<UINT>(std::strlen(name)), nullptr);
        SelectObject(dc, oldFont);
      }
    }
  } else if (!audio && rh > 13) {
    const bool band = ShowNameInWave && x1 - x0 > 2;
    if (band) {
      // The band runs over the whole section; the text only where the
      // Part's name belongs.
      RECT r = {x0 + (leftEdge ? 1 : 0), y0 + 1, x1 - (rightEdge ? 1 : 0), y0 + 14};
      FillSolid(dc, r.left, r.top, r.right, r.bottom, selected ? 0 : c.greyed ? kDefaultPart : 0xFFFFFF);
      if (nameWanted) {
        r.left = x0 + 2;
        drawText(r, DT_TOP);
      }
    }
    if (!band || rh > 20) {
      const int top = band ? y0 + 16 : y0 + 3, bottom = y1 - 4;
      const RECT clip = {x0, y0 - 2, x1, y1 + 3};
      if (p.TakeKind == kTakeMidi)
        DrawMidiNotes(dc, p, s.start, s.start + s.length, top, bottom, clip, c.ink);
      else
        DrawAutomCurve(dc, p, s.start, s.start + s.length, top, bottom, clip, c.ink);
    }
  } else if (nameFits) {
    drawText({plainX0 + 2, y0, plainX1 - 1, y1}, DT_VCENTER);
  }
  // Snap point.
  if (p.SnapPoint != 0) {
    const int64_t sx = xOf(int64_t{p.Start} + p.SnapPoint);
    if (sx > x0 && sx < x1) {
      // The box shows between the dots.
      const DcColours colours(dc, TRANSPARENT, CLR_INVALID);
      HGDIOBJ op = SelectObject(dc, PenOf(c.frame, PS_DOT));
      VLine(dc, static_cast<int>(sx), linkNext ? y1 - 2 : y1, y0);
      SelectObject(dc, op);
    }
  }
  if (ArrView().Grid && !linkPrev) {
    const Seg sep = {x0, y0 - 1, x1, y0 - 1};
    DrawSegs(dc, ArrView().Color[1], &sep, 1);
  }
  if (drawLocators) {
    const int32_t locs[3] = {Locs().NowLoc, Locs().LeftLoc, Locs().RightLoc};
    for (int k = 0; k < 3; ++k) {
      const int64_t lx = xOf(locs[k]);
      HBRUSH pattern = ArrLocatorBrush(k);
      if (lx < x0 || lx >= x1 || pattern == nullptr) continue;
      HGDIOBJ o = SelectObject(dc, pattern);
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
  int label;
  const char* text;
};

// The span of the view in samples: from its left column (at least 0) to
// its right column.
void ViewSpan(int64_t* from, int64_t* to) {
  const ArrViewRec& v = ArrView();
  const int32_t hz = std::max(v.Hzoom, 1);
  *from = std::max<int64_t>(0, int64_t{v.Origin} - kArrTimeShift);
  *to = int64_t{v.Origin} - kArrTimeShift + int64_t{v.PartAreaWidth} * hz;
}

// The ticks of grid pair `pair` over the view, as pixel columns of the
// view; `store` keeps the label texts.
std::vector<Tick> ViewTicks(const ArrGridRec& g, int bars, int pair, std::vector<ArrRulerTick>* store) {
  int64_t from, to;
  ViewSpan(&from, &to);
  const ArrRulerCtx c = ArrRulerCtxNow();
  store->clear();
  if (bars)
    ArrBbtTicks(c, g, pair, from, to, store);
  else
    ArrTcTicks(c, g, pair, from, to, store);
  std::vector<Tick> ticks;
  ticks.reserve(store->size());
  const ArrViewRec& v = ArrView();
  for (const ArrRulerTick& t : *store)
    ticks.push_back({ArrXOfPos(v, static_cast<int32_t>(std::min<int64_t>(t.Pos, INT32_MAX))), t.Label, t.Text});
  return ticks;
}

// The ruler band: face, the punch range hatched while recording, the
// bottom shadow, then the ticks with the labels that fit.
void DrawRulerBand(HDC dc, const ArrGridRec& g, int bars, int showPunch) {
  const ArrViewRec& v = ArrView();
  const int w = v.PartAreaWidth;
  FillSolid(dc, 0, 0, w, kArrRulerHeight, GetSysColor(COLOR_3DFACE));
  if (showPunch) {
    const int64_t in = TransportPunchInLoc(), out = TransportPunchOutLoc();
    const int x0 = static_cast<int>(std::clamp<int64_t>(ArrXOfPos(v, static_cast<int32_t>(in)), -1, w + 1));
    const int x1 = static_cast<int>(std::clamp<int64_t>(ArrXOfPos(v, static_cast<int32_t>(out)), -1, w + 1));
    if (x1 > x0) {
      Gdi hatch(CreateHatchBrush(HS_BDIAGONAL, GetSysColor(COLOR_3DDKSHADOW)));
      const RECT r = {x0, 0, x1, kArrRulerHeight};
      const DcColours colours(dc, OPAQUE, CLR_INVALID, GetSysColor(COLOR_3DFACE));
      FillRect(dc, &r, static_cast<HBRUSH>(hatch.obj));
    }
  }
  Gdi shadow(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW)));
  Gdi light(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DHILIGHT)));
  HGDIOBJ old = SelectObject(dc, shadow);
  HLine(dc, 0, w, kArrRulerHeight - 1);
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
  const DcColours colours(dc, TRANSPARENT, GetSysColor(COLOR_BTNTEXT));
  int labelEnd = INT32_MIN;
  std::vector<ArrRulerTick> store;
  // Two polylines' worth of segments: the shadow lines and the highlight
  // lines of every tick, each colour in one call.
  std::vector<POINT> dark, bright;
  std::vector<DWORD> counts;
  for (const Tick& t : ViewTicks(g, bars, 1, &store)) {
    bool labelled = false;
    if (t.label && t.x > labelEnd) {
      const int n = static_cast<int>(std::strlen(t.text));
      SIZE sz{};
      GetTextExtentPoint32A(dc, t.text, n, &sz);
      TextOutA(dc, t.x + 2, 0, t.text, n);
      labelEnd = t.x + sz.cx + 2;
      labelled = true;
    }
    const int top = labelled ? 0 : (kArrRulerHeight + 1) / 2;
    dark.push_back({t.x, top});
    dark.push_back({t.x, kArrRulerHeight - 1});
    bright.push_back({t.x + 1, top});
    bright.push_back({t.x + 1, kArrRulerHeight - 1});
    counts.push_back(2);
  }
  if (!counts.empty()) {
    SelectObject(dc, shadow);
    PolyPolyline(dc, dark.data(), counts.data(), static_cast<DWORD>(counts.size()));
    SelectObject(dc, light);
    PolyPolyline(dc, bright.data(), counts.data(), static_cast<DWORD>(counts.size()));
  }
  SelectObject(dc, oldFont);
  SelectObject(dc, old);
}

// Grid lines over the rows and the row separators, in the grid colour.
void DrawGridLines(HDC dc, const ArrGridRec& g, int bars) {
  const ArrViewRec& v = ArrView();
  const int w = v.PartAreaWidth, h = v.PartAreaHeight;
  Gdi pen(CreatePen(PS_SOLID, 1, v.Color[1]));
  HGDIOBJ old = SelectObject(dc, pen);
  std::vector<ArrRulerTick> store;
  std::vector<POINT> pts;
  std::vector<DWORD> counts;
  for (const Tick& t : ViewTicks(g, bars, 2, &store)) {
    pts.push_back({t.x, v.TopHeight});
    pts.push_back({t.x, h});
    counts.push_back(2);
  }
  for (int i = 0; i <= v.VisibleRows; ++i) {
    const int y = v.TopHeight + i * (v.Vzoom + kArrRowGap);
    pts.push_back({0, y});
    pts.push_back({w, y});
    counts.push_back(2);
  }
  if (!counts.empty()) PolyPolyline(dc, pts.data(), counts.data(), static_cast<DWORD>(counts.size()));
  SelectObject(dc, old);
}

// Grid ticks inside a band of another window laid out like the Part area.
void DrawBandTicks(HDC dc, const ArrGridRec& g, int bars, const RECT& band) {
  Gdi shadow(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW)));
  HGDIOBJ old = SelectObject(dc, shadow);
  const int half = band.top + (band.bottom - band.top + 1) / 2;
  std::vector<ArrRulerTick> store;
  std::vector<POINT> pts;
  std::vector<DWORD> counts;
  for (const Tick& t : ViewTicks(g, bars, 1, &store)) {
    const int x = band.left + t.x;
    if (x < band.left || x >= band.right) continue;
    pts.push_back({x, t.label ? band.top : half});
    pts.push_back({x, band.bottom});
    counts.push_back(2);
  }
  if (!counts.empty()) PolyPolyline(dc, pts.data(), counts.data(), static_cast<DWORD>(counts.size()));
  SelectObject(dc, old);
}

}  // namespace

ArrGridRec ArrBbtGrid() {
  const ArrViewRec& v = ArrView();
  // The pixel width of two bars: the start of bar 3.
  const int64_t twoBars = BbtGridCeil(ArrRulerCtxNow(), 0, 2, 1);
  return ArrBbtGridFor(twoBars / std::max(v.Hzoom, 1));
}

ArrGridRec ArrTcGrid() {
  const ProjectSettings& st = Settings();
  return ArrTcGridFor(std::max<uint32_t>(st.SampleRate, 1), std::max(ArrView().Hzoom, 1), st.CurFrameRate);
}

void ArrDrawBbtRuler(HDC dc, const ArrGridRec& g, int showPunch) { DrawRulerBand(dc, g, 1, showPunch); }
void ArrDrawTcRuler(HDC dc, const ArrGridRec& g, int showPunch) { DrawRulerBand(dc, g, 0, showPunch); }
void ArrDrawBbtGrid(HDC dc, const ArrGridRec& g) { DrawGridLines(dc, g, 1); }
void ArrDrawTcGrid(HDC dc, const ArrGridRec& g) { DrawGridLines(dc, g, 0); }
void ArrDrawBbtTicks(HDC dc, const ArrGridRec& g, const RECT& band) { DrawBandTicks(dc, g, 1, band); }
void ArrDrawTcTicks(HDC dc, const ArrGridRec& g, const RECT& band) { DrawBandTicks(dc, g, 0, band); }

void ArrDrawMarkerStrip(HDC dc, const MrkList* markers, int drawLocators) {
  const ArrViewRec& v = ArrView();
  const int w = v.PartAreaWidth;
  FillSolid(dc, 0, kArrRulerHeight, w, v.TopHeight, GetSysColor(COLOR_3DFACE));
  Gdi shadow(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW)));
  Gdi light(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DHILIGHT)));
  HGDIOBJ old = SelectObject(dc, light);
  HLine(dc, 0, w, kArrRulerHeight);
  SelectObject(dc, shadow);
  HLine(dc, 0, w, v.TopHeight - 1);
  struct M {
    uint32_t n;
    int32_t pos;
    const char* name;
  };
  std::vector<M> list;
  MrkForEach(markers, [&](uint32_t n, const MrkRec& m) { list.push_back({n, m.Position, m.Name}); });
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
  const DcColours colours(dc, TRANSPARENT, 0);
  for (size_t i = 0; i < list.size(); ++i) {
    const int64_t x = (int64_t{list[i].pos} + kArrTimeShift - v.Origin) / std::max(v.Hzoom, 1);
    const int64_t nextX = i + 1 < list.size()
                              ? (int64_t{list[i + 1].pos} + kArrTimeShift - v.Origin) / std::max(v.Hzoom, 1)
                              : x + 32767;
    if (x < 0 && (x <= -1024 || nextX < 0)) continue;
    if (x > w) continue;
    const int xi = static_cast<int>(x);
    ArrDrawRulerTick(dc, xi, v.TopHeight - 1);
    char num[8];
    std::snprintf(num, sizeof num, "%u", list[i].n);
    SIZE sz{};
    GetTextExtentPoint32A(dc, num, static_cast<int>(std::strlen(num)), &sz);
    FillSolid(dc, xi + 2, kArrRulerHeight + 1, xi + 4 + sz.cx, kArrRulerHeight + 1 + sz.cy, 0);
    SetTextColor(dc, 0x00FFFF);
    TextOutA(dc, xi + 3, kArrRulerHeight + 1, num, static_cast<int>(std::strlen(num)));
    SetTextColor(dc, 0);
    RECT r = {xi + 6 + sz.cx, kArrRulerHeight + 1,
              static_cast<int>(std::min<int64_t>({nextX, x + 32767, int64_t{w}})), v.TopHeight - 1};
    // The number in the small font, the name in the normal one.
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextA(dc, list[i].name, -1, &r, DT_SINGLELINE | DT_LEFT | DT_NOPREFIX);
    SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
  }
  SelectObject(dc, oldFont);
  SelectObject(dc, old);
  if (drawLocators) {
    const int32_t locs[3] = {Locs().NowLoc, Locs().LeftLoc, Locs().RightLoc};
    for (int k = 0; k < 3; ++k) {
      HBRUSH pattern = ArrLocatorBrush(k);
      if (pattern == nullptr || !ArrPosVisible(v, locs[k])) continue;
      HGDIOBJ o = SelectObject(dc, pattern);
      PatBlt(dc, ArrXOfPos(v, locs[k]), kArrRulerHeight, 1, v.TopHeight - kArrRulerHeight, PATINVERT);
      SelectObject(dc, o);
    }
  }
}

namespace {

// The last drawn column of each locator; INT32_MIN none.
int lastLocX[3] = {INT32_MIN, INT32_MIN, INT32_MIN};

// The locator's flag in the ruler's lower half and its line from the
// ruler's foot down, both inverted: the same call again takes them away.
void InvertLocator(HDC dc, int k, int x) {
  const ArrViewRec& v = ArrView();
  HBRUSH pattern = ArrLocatorBrush(k);
  HBITMAP flag = ArrLocatorFlag(k);
  if (pattern == nullptr || flag == nullptr) return;
  const POINT org = ArrLocatorBrushOrigin();
  POINT oldOrg;
  SetBrushOrgEx(dc, org.x, org.y, &oldOrg);
  HGDIOBJ o = SelectObject(dc, pattern);
  if (HDC mem = CreateCompatibleDC(dc)) {
    HGDIOBJ ob = SelectObject(mem, flag);
    BitBlt(dc, x - 7, 8, 15, 8, mem, 0, 0, SRCINVERT);
    SelectObject(mem, ob);
    DeleteDC(mem);
  }
  PatBlt(dc, x, kArrRulerHeight, 1, std::max(v.PartAreaHeight - kArrRulerHeight, 0), PATINVERT);
  SelectObject(dc, o);
  SetBrushOrgEx(dc, oldOrg.x, oldOrg.y, nullptr);
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

void ArrDrawRulerTick(HDC dc, int x, int bottom) {
  VLine(dc, x, bottom - 8, bottom);
  HLine(dc, x, x + 4, bottom - 8);
  HLine(dc, x, x + 3, bottom - 7);
  HLine(dc, x, x + 2, bottom - 6);
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
  const PaintScope scope;
  ArrViewRec& v = ArrView();
  if (v.PartAreaWidth != w || v.PartAreaHeight != h) ArrResizeCalc(v, w, h);
  overviewCache.clear();
  // The whole picture is new: only what this paint draws from overviews
  // owes a repaint.
  v.WavesDeferred = 0;
  FillSolid(dc, 0, v.TopHeight, w, h, v.Color[0]);
  const int showPunch = TransportState() == kTransportRecording;
  if (GetTimeFormat() == kTimeFormatBars) {
    const ArrGridRec g = ArrBbtGrid();
    ArrDrawBbtRuler(dc, g, showPunch);
    if (v.Grid) ArrDrawBbtGrid(dc, g);
  } else {
    const ArrGridRec g = ArrTcGrid();
    ArrDrawTcRuler(dc, g, showPunch);
    if (v.Grid) ArrDrawTcGrid(dc, g);
  }
  // The locators' lines cross the strip with the rest of the area below.
  if (v.MrkBar) ArrDrawMarkerStrip(dc, CurMrkList, 0);
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
  const PaintScope scope;
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
    const PartRec* q = LowerPartner(arr, *p, mode == 2 ? p->XfadeInPartner : p->XfadeOutPartner);
    if (q == nullptr) return;
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
    ++clipDepth;
    DrawSection(hdc, arr, s, track, drawLocators);
    --clipDepth;
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
  {
    const DcColours colours(dc, TRANSPARENT, sel ? colour : (k == 0 ? 0 : k == 1 ? RGB(128, 0, 0) : RGB(0, 128, 0)));
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(v.Vzoom < 10 ? ANSI_VAR_FONT : DEFAULT_GUI_FONT));
    DrawTextA(dc, label, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, oldFont);
  }
  RECT b = {29, y0, 40, std::min(y1, y0 + 11)};
  const int state = RecTrkGetState(static_cast<int32_t>(t.RecKind), static_cast<int32_t>(t.RecTrack));
  DrawEdge(dc, &b, state == 2 ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  if (state >= 1) {
    const int d = v.Vzoom < 13 ? 5 : 7, cx = 34 + (state == 2), cy = (b.top + b.bottom) / 2 + (state == 2);
    // Armed: red while the mixer records, else black.
    const ArrDrawSeams& seams = ArrDrawSeamsNow();
    const int recording = seams.mixRecState != nullptr && seams.mixRecState() == 2;
    const COLORREF dot = state == 2 ? (recording ? RGB(255, 0, 0) : 0) : GetSysColor(COLOR_BTNSHADOW);
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

void ArrPaintBuffered(HDC dc, int w, int h, void (*paint)(HDC, int, int)) {
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bm = CreateCompatibleBitmap(dc, std::max(w, 1), std::max(h, 1));
  HGDIOBJ old = SelectObject(mem, bm);
  paint(mem, w, h);
  BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(bm);
  DeleteDC(mem);
}
