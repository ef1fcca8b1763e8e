// The off-line processing dialogs on the system's dialog code, driven with
// real messages: normalize and DC removal through their parameter and run
// dialogs over real Take files and the native engine's jobs, Cancel in the
// middle of a run, and the noise gate's settings dialog.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "mixer/arrange/consolidate.h"
#include "mixer/arrange/mixdown.h"
#include "mixer/arrange/noisegate.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/procengine.h"
#include "mixer/arrange/reduceevents.h"
#include "mixer/arrange/tests/edit_fixture.h"
#include "mixer/arrange/win32/mixdowndlg.h"
#include "mixer/arrange/win32/procdlgs.h"
#include "mixer/model/engineopts.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/undo.h"
#include "mixer/model/win32/progressbar.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/natlink.h"
#include "mixer/units/playlist.h"
#include "native/qvNatRec/takedisk.h"
#include "tests/win32/shot.h"

namespace fs = std::filesystem;

namespace {

std::string ItemText(HWND dlg, int id) {
  char text[256] = "";
  GetDlgItemTextA(dlg, id, text, sizeof text);
  return text;
}

std::string Caption(HWND wnd) {
  char text[256] = "";
  GetWindowTextA(wnd, text, sizeof text);
  return text;
}

// HRL_SHOT names a folder for pictures of the dialogs as they show.
void Capture(HWND wnd, const std::string& name) {
  const std::string path = hrl_test::ShotPath(name);
  if (!path.empty()) hrl_test::SaveWindowShot(wnd, path);
}

// Calls the handler with every dialog of this thread that shows, from a
// timer that runs inside the dialogs' own message loops.
class DialogDriver {
 public:
  explicit DialogDriver(std::function<void(HWND)> handler) : handler_(std::move(handler)) {
    active_ = this;
    timer_ = SetTimer(nullptr, 0, 10, OnTimer);
  }
  ~DialogDriver() {
    KillTimer(nullptr, timer_);
    active_ = nullptr;
  }

 private:
  static BOOL CALLBACK Find(HWND wnd, LPARAM found) {
    char cls[16];
    if (IsWindowVisible(wnd) && GetClassNameA(wnd, cls, sizeof cls) && lstrcmpA(cls, "#32770") == 0) {
      *reinterpret_cast<HWND*>(found) = wnd;
      return FALSE;
    }
    return TRUE;
  }
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (active_ == nullptr) return;
    HWND dlg = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), Find, reinterpret_cast<LPARAM>(&dlg));
    if (dlg != nullptr) active_->handler_(dlg);
  }
  std::function<void(HWND)> handler_;
  UINT_PTR timer_;
  static DialogDriver* active_;
};
DialogDriver* DialogDriver::active_ = nullptr;

void Press(HWND dlg, int id) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

std::string ModelPath(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

std::vector<int16_t> Sine(size_t n, double amplitude, double offset = 0) {
  std::vector<int16_t> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = static_cast<int16_t>(std::lround(offset + amplitude * std::sin(static_cast<double>(i) * 0.05)));
  return v;
}

int Peak(const std::vector<int16_t>& v) {
  int peak = 0;
  for (int16_t s : v) peak = std::max(peak, std::abs(static_cast<int>(s)));
  return peak;
}

class ProcDialogs : public EditFixture {
 protected:
  HWND main_ = nullptr;
  fs::path root_;

  void SetUp() override {
    EditFixture::SetUp();
    static int serial = 0;
    root_ = fs::temp_directory_path() / ("procdlgs_" + std::to_string(GetCurrentProcessId()) + "_" +
                                         std::to_string(serial++));
    fs::remove_all(root_);
    fs::create_directories(root_ / "src");
    fs::create_directories(root_ / "proc");
    ProcOpts() = ProcOptions();
    ProcOpts().folder = ModelPath(root_ / "proc") + "\\";
    ProcOpts().delUnRefATk = 40884;
    int32_t error = 0;
    NatLinkBind(NatDevStaticApi());
    ASSERT_EQ(NatLinkOpenAll(kPlayChannels, &kTakeDiskCallbacks, &error), 1) << error;
    main_ = CreateWindowExA(0, "STATIC", "Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 80, 700, 500, nullptr,
                            nullptr, nullptr, nullptr);
    WndTable[kMainWnd] = main_;
    ProcInstallDialogs();
  }
  void TearDown() override {
    ProcSetRunSeams({});
    DestroyWindow(main_);
    WndTable[kMainWnd] = nullptr;
    NatLinkCloseAll();
    EditFixture::TearDown();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  uint32_t PartOver(const std::vector<int16_t>& v, uint32_t track = 0) {
    uint32_t error = 0;
    TakeRec* t = TakeCreateAudio((ModelPath(root_ / "src") + "\\").c_str(), 2, static_cast<uint32_t>(v.size()), 0,
                                 48000, 0, 1, "Vox", "", nullptr, nullptr, &error);
    EXPECT_NE(t, nullptr) << error;
    EXPECT_EQ(TakeDataIo(t, 1, 0, static_cast<uint32_t>(v.size() * 2), const_cast<int16_t*>(v.data()), &error), 1);
    return Add(track, NewPart(0, static_cast<int32_t>(v.size()), TakeRef(t), kTakeAudio, kPartSelected));
  }
  std::vector<int16_t> Samples(uint32_t slot) {
    TakeRec* t = TakeFromRef(P(slot).Take);
    std::vector<int16_t> v(TakeGetAttr(t, kTakeAttrLength));
    uint32_t error = 0;
    EXPECT_EQ(TakeDataIo(t, 0, 0, static_cast<uint32_t>(v.size() * 2), v.data(), &error), 1);
    return v;
  }
};

bool IsRunDialog(HWND dlg) { return GetDlgItem(dlg, kPdlProgress) != nullptr; }

TEST_F(ProcDialogs, NormalizeAsksForTheTargetAndRunsBothPassesUnderProgress) {
  const std::vector<int16_t> in = Sine(48000, 8000);
  const uint32_t slot = PartOver(in);
  std::vector<std::string> statuses, titles;
  std::string peakText, targetText;
  int editsDuringRun = -1;
  NormSetTargetLevel(-150);
  DialogDriver driver([&](HWND dlg) {
    if (IsRunDialog(dlg)) {
      const std::string status = ItemText(dlg, kPdlStatus);
      if (statuses.empty() || statuses.back() != status) {
        statuses.push_back(status);
        titles.push_back(Caption(dlg));
        EXPECT_EQ(RunOpDlg, dlg);
        editsDuringRun = ArrOfflineRunActive();
        Capture(dlg, status[0] == 'S' ? "norm-scan" : "norm-process");
      }
      ProcRunTimerTick();  // the main timer's tick
      return;
    }
    peakText = ItemText(dlg, kPdlPeak);
    targetText = ItemText(dlg, kPdlTarget);
    titles.push_back(Caption(dlg));
    Capture(dlg, "norm-param");
    SetDlgItemTextA(dlg, kPdlTarget, "-6");
    Press(dlg, IDOK);
  });
  ASSERT_EQ(ArrProcessAudioParts(kTestDc, 107, ProcNormalize), 1);
  EXPECT_EQ(statuses, (std::vector<std::string>{"Scanning selected Part(s)", "Processing selected Part(s)"}));
  EXPECT_EQ(titles, (std::vector<std::string>(3, "Normalize Processor")));
  EXPECT_EQ(peakText, "-12.24 dB.");
  EXPECT_EQ(targetText, "-1.50");
  EXPECT_EQ(editsDuringRun, 1);
  EXPECT_EQ(NormTargetLevel(), -600);
  EXPECT_EQ(RunOpDlg, nullptr);
  EXPECT_NEAR(20 * std::log10(Peak(Samples(slot)) / 32766.0), -6.0, 0.01);
  EXPECT_EQ(UndoGetLevel(), 1u);
}

// Cancel in each of the three dialogs, at once and after the engine pass has
// started: the arrangement, the undo store and the processing folder stay as
// they were, and the source Take is untouched.
TEST_F(ProcDialogs, CancelInAnyDialogLeavesEverythingAsItWas) {
  struct Case {
    const char* where;
    int cancelAtRun;  // the run dialog (1st or 2nd) that is cancelled; 0: the parameter dialog
    int waitFirst;    // driver periods (the engine runs, the main timer does not tick) before Cancel
  } cases[] = {{"scan, at once", 1, 0}, {"scan, running", 1, 5}, {"parameter dialog", 0, 0},
               {"process, at once", 2, 0}, {"process, running", 2, 5}};
  for (const Case& c : cases) {
    Reset();
    ProcOpts().folder = ModelPath(root_ / "proc") + "\\";
    ProcOpts().delUnRefATk = 40884;
    ProcInstallDialogs();
    KeepSel = 1;  // a refused run sets the selection to KeepSel
    const std::vector<int16_t> in = Sine(480000, 9000);
    const uint32_t slot = PartOver(in);
    const uint32_t take = P(slot).Take;
    const std::vector<uint8_t> before = Image();
    int runs = 0, ticks = 0;
    HWND seen = nullptr;
    DialogDriver driver([&](HWND dlg) {
      if (!IsRunDialog(dlg)) {
        if (c.cancelAtRun == 0) {
          Press(dlg, IDCANCEL);
        } else {
          Press(dlg, IDOK);
        }
        return;
      }
      if (dlg != seen) {
        seen = dlg;
        ++runs;
        ticks = 0;
      }
      if (runs == c.cancelAtRun) {
        if (ticks++ >= c.waitFirst) Press(dlg, IDCANCEL);
        return;
      }
      ProcRunTimerTick();
    });
    EXPECT_EQ(ArrProcessAudioParts(kTestDc, 107, ProcNormalize), 0) << c.where;
    EXPECT_EQ(Image(), before) << c.where;
    EXPECT_EQ(UndoGetLevel(), 0u) << c.where;
    EXPECT_TRUE(fs::is_empty(root_ / "proc")) << c.where;
    EXPECT_EQ(P(slot).Take, take);
    EXPECT_EQ(Samples(slot), in) << c.where;
    EXPECT_EQ(RunOpDlg, nullptr);
    EXPECT_EQ(ArrOfflineRunActive(), 0);
  }
}

TEST_F(ProcDialogs, DcRemovalRunsUnderItsOwnDialog) {
  const std::vector<int16_t> in = Sine(48000, 6000, 3000.0);
  const uint32_t slot = PartOver(in);
  std::string title, status;
  DialogDriver driver([&](HWND dlg) {
    ASSERT_TRUE(IsRunDialog(dlg));
    if (title.empty()) {
      title = Caption(dlg);
      status = ItemText(dlg, kPdlStatus);
      Capture(dlg, "remdc-process");
    }
    ProcRunTimerTick();
  });
  ASSERT_EQ(ArrProcessAudioParts(kTestDc, 108, ProcRemoveDc), 1);
  EXPECT_EQ(title, "DC Removal Processor");
  EXPECT_EQ(status, "Processing selected Part(s)");
  const std::vector<int16_t> out = Samples(slot);
  double sum = 0;
  for (size_t i = out.size() / 2; i < out.size(); ++i) sum += out[i];
  EXPECT_LT(std::fabs(sum / static_cast<double>(out.size() / 2)), 30.0);
}

// The settings dialog: texts of the defaults, the sliders' steps and limits,
// the floor level enabled in floor mode only, OK writing the settings back
// and Cancel leaving them.
TEST_F(ProcDialogs, NoiseGateSettingsDialog) {
  NoiseGateSettings& cur = NoiseGateCurrent();
  NoiseGateDefaults(&cur);
  std::vector<std::string> texts;
  std::string caption, holdAtBottom, onAfterPage;
  BOOL floorBefore = TRUE, floorAfter = FALSE;
  DialogDriver driver([&](HWND dlg) {
    caption = Caption(dlg);
    for (int w = 0; w < 10; ++w) texts.push_back(ItemText(dlg, kNgTextFirst + w));
    floorBefore = IsWindowEnabled(GetDlgItem(dlg, kNgBarFirst + 2));
    SendMessageA(dlg, WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), reinterpret_cast<LPARAM>(GetDlgItem(dlg, kNgBarFirst + 7)));
    holdAtBottom = ItemText(dlg, kNgTextFirst + 7);
    SendMessageA(dlg, WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), reinterpret_cast<LPARAM>(GetDlgItem(dlg, kNgBarFirst + 8)));
    SendMessageA(dlg, WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), reinterpret_cast<LPARAM>(GetDlgItem(dlg, kNgBarFirst)));
    onAfterPage = ItemText(dlg, kNgTextFirst);
    SendMessageA(GetDlgItem(dlg, kNgModeFirst + 2), BM_CLICK, 0, 0);
    floorAfter = IsWindowEnabled(GetDlgItem(dlg, kNgBarFirst + 2));
    Capture(dlg, "noisegate-param");
    Press(dlg, IDOK);
  });
  // Nothing is selected: the gate itself does nothing after OK.
  EXPECT_EQ(ArrNoiseGateTool(kTestDc), 0);
  EXPECT_EQ(caption, "NoiseGate Function Settings - (untitled)");
  EXPECT_EQ(texts, (std::vector<std::string>{"-18.0", "-30.1", "-6.0", "0.000", "0.000", "0.000", "0.020",
                                             "0.020", "0.000", "0.000"}));
  EXPECT_FALSE(floorBefore);
  EXPECT_TRUE(floorAfter);
  EXPECT_EQ(holdAtBottom, "0.010");
  EXPECT_EQ(cur.Hold, 10);
  EXPECT_EQ(cur.FadeIn, 10000);
  EXPECT_LT(cur.OnLevel, 4096);
  EXPECT_NE(onAfterPage, "-18.0");
  EXPECT_EQ(cur.Mode, kGateFloor);

  // Cancel keeps what OK stored.
  const NoiseGateSettings kept = cur;
  DialogDriver cancel([&](HWND dlg) {
    SendMessageA(GetDlgItem(dlg, kNgModeFirst), BM_CLICK, 0, 0);
    Press(dlg, IDCANCEL);
  });
  EXPECT_EQ(ArrNoiseGateTool(kTestDc), 0);
  EXPECT_EQ(std::memcmp(&cur, &kept, sizeof kept), 0);
}

int g_windowCompiles = 0;
// Each compile's list covers 1500 samples more, the first ending so that
// the render holds at 1500: the engine pauses there, the bar stands still,
// and the stall compiles the channel again.
int64_t GrowingWindow(int32_t) { return int64_t{AudBufSize()} + 32 + 1500 * int64_t{++g_windowCompiles}; }

// Consolidation renders channel after channel under CONS_PROCESS, also when
// the lists' windows end inside a channel and the render goes on from each
// hold position after a stall; Cancel while a channel renders leaves
// everything as it was.
TEST_F(ProcDialogs, ConsolidationRendersEachChannelUnderItsDialog) {
  KeepSel = 1;
  ProcOpts().rec24Bit = 0;
  for (int run = 0; run < 3; ++run) {
    const bool cancel = run == 1, windowed = run == 2;
    SCOPED_TRACE(run);
    Reset();
    g_windowCompiles = 0;
    ProcEngineSetWindowEndSource(windowed ? GrowingWindow : nullptr);
    ProcOpts().folder = ModelPath(root_ / "proc") + "\\";
    ProcOpts().delUnRefATk = 40884;
    ProcOpts().rec24Bit = 0;
    ProcInstallDialogs();
    KeepSel = 1;
    const std::vector<int16_t> a = Sine(4000, 5000), b = Sine(3000, 7000);
    const uint32_t pa = PartOver(a, 0);
    const uint32_t pb = PartOver(b, 1);
    P(pb).PlayChannel = 2;
    const std::vector<uint8_t> before = Image();
    std::vector<std::string> statuses;
    std::string title;
    int waited = 0;
    DialogDriver driver([&](HWND dlg) {
      const std::string status = ItemText(dlg, kPdlStatus);
      if (statuses.empty() || statuses.back() != status) {
        statuses.push_back(status);
        title = Caption(dlg);
        if (!cancel && statuses.size() == 1) Capture(dlg, "cons-process");
      }
      if (cancel) {
        if (waited++ == 3) Press(dlg, IDCANCEL);
        return;
      }
      ProcRunTimerTick();
    });
    const int done = ArrConsolidate(kTestDc);
    ProcEngineSetWindowEndSource(nullptr);
    EXPECT_EQ(title, "Consolidation Processor");
    // Channel 1 (4000 samples) holds at 1500 and 3000; the window of
    // channel 2's compile already reaches past its end.
    if (windowed) {
      EXPECT_EQ(g_windowCompiles, 4);
    }
    if (cancel) {
      EXPECT_EQ(done, 0);
      EXPECT_EQ(Image(), before);
      EXPECT_EQ(UndoGetLevel(), 0u);
      EXPECT_TRUE(fs::is_empty(root_ / "proc"));
      EXPECT_EQ(RunOpDlg, nullptr);
      continue;
    }
    ASSERT_EQ(done, 1);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Processing selected Part(s) of Audio Track 1",
                                                  "Processing selected Part(s) of Audio Track 2"}));
    const std::vector<int16_t> outA = Samples(pa), outB = Samples(pb);
    ASSERT_EQ(outA.size(), a.size());
    ASSERT_EQ(outB.size(), b.size());
    for (size_t i = 0; i + 64 < a.size(); i += 71) EXPECT_EQ(outA[i], a[i]) << i;
    for (size_t i = 0; i + 64 < b.size(); i += 71) EXPECT_EQ(outB[i], b[i]) << i;
  }
}

// The gate's scan runs under NOISGAT_SCAN on the engine and the Part is cut
// to where the signal is.
// The thinning dialog: the factor typed, "All Events" chosen, OK keeps
// both; Cancel keeps nothing of what was changed.
TEST_F(ProcDialogs, ReduceEventsDialogKeepsTheChoiceOnOk) {
  ProcInstallDialogs();
  ReduceEventsResult& r = ReduceEventsCurrent();
  r = {0, 1, 200};
  std::string caption, shown;
  for (bool ok : {true, false}) {
    DialogDriver driver([&](HWND dlg) {
      caption = Caption(dlg);
      shown = ItemText(dlg, kReduceThinFactor);
      SetDlgItemTextA(dlg, kReduceThinFactor, ok ? "350" : "7");
      SendMessageA(GetDlgItem(dlg, ok ? kReduceAllEvents : kReduceSelectedCurve), BM_CLICK, 0, 0);
      if (ok) Capture(dlg, "reduce-events");
      Press(dlg, ok ? IDOK : IDCANCEL);
    });
    EXPECT_EQ(ProcParamDlgs().reduceEvents(), ok ? IDOK : IDCANCEL);
    EXPECT_EQ(caption, "Automation Events Thinning");
    EXPECT_EQ(shown, ok ? "200" : "350");
    EXPECT_EQ(r.SelectedCurve, 0);
    EXPECT_EQ(r.ThinFactor, 350);
  }
}

TEST_F(ProcDialogs, NoiseGateScansUnderItsDialog) {
  KeepSel = 1;
  std::vector<int16_t> in(48000, 0);
  for (size_t i = 12000; i < 24000; ++i) in[i] = static_cast<int16_t>(i % 2 ? 20000 : -20000);
  PartOver(in);
  NoiseGateSettings& s = NoiseGateCurrent();
  NoiseGateDefaults(&s);
  s.PreTrigger = 0;
  std::string title, status;
  DialogDriver driver([&](HWND dlg) {
    if (title.empty()) {
      title = Caption(dlg);
      status = ItemText(dlg, kPdlStatus);
      Capture(dlg, "noisegate-scan");
    }
    ProcRunTimerTick();
  });
  ASSERT_EQ(ArrNoiseGate(kTestDc), 1);
  EXPECT_EQ(title, "NoiseGate Function");
  EXPECT_EQ(status, "Scanning selected Part(s) of Audio Track 1");
  const auto spans = Spans(0);
  ASSERT_EQ(spans.size(), 1u);
  EXPECT_EQ(spans[0].first, 12000);
}

// Mixdown through its run dialog over a fake mixer whose location moves on
// with every look: the output's channel count picks the dialog, the work
// loop moves the bar and ends at the range end; Cancel in the middle leaves
// the arrangement and the folder as they were.
namespace mixfake {
int32_t at = 0, step = 0;
std::vector<std::string> log;
int32_t Location() { return at += step; }
}  // namespace mixfake

TEST_F(ProcDialogs, MixdownRunsUnderItsDialogUntilTheRangeEnd) {
  MixdownSeams seams;
  seams.pickOutput = [](int32_t* n) {
    *n = 2;
    return int32_t{7};
  };
  seams.stereoPartner = [](int32_t) { return int32_t{0}; };
  seams.pathDelay = [](int32_t) { return int32_t{64}; };
  seams.run = MixdownRunWin;
  MixdownMixerHooks hooks;
  hooks.start = [](int32_t output, const int32_t*, int32_t n, int32_t preRoll, int32_t end) {
    mixfake::at = preRoll;
    mixfake::log.push_back("start " + std::to_string(output) + " " + std::to_string(n) + " " +
                           std::to_string(preRoll) + ".." + std::to_string(end));
    return 1;
  };
  hooks.routingText = [](int32_t output, char* out, int size) { std::snprintf(out, size, "Bus %d L/R", output); };
  hooks.location = mixfake::Location;
  hooks.work = [](int32_t) {};
  hooks.setFadeResolution = [](int32_t ms) { mixfake::log.push_back("resolution " + std::to_string(ms)); };
  hooks.finish = [](int ok) {
    mixfake::log.push_back("finish " + std::to_string(ok));
    return 1;
  };
  MixdownSetMixerHooks(hooks);
  MixdownSetFadeResolTime(40);
  for (bool cancel : {false, true}) {
    Reset();
    ProcOpts().folder = ModelPath(root_ / "proc") + "\\";
    ProcOpts().rec24Bit = 0;
    MixdownSetSeams(seams);
    Locs().LeftLoc = 10000;
    Locs().RightLoc = 58000;
    mixfake::log.clear();
    mixfake::step = cancel ? 0 : 4000;
    const std::vector<uint8_t> before = Image();
    std::string title, routing;
    int looks = 0;
    DialogDriver driver([&](HWND dlg) {
      if (title.empty()) {
        title = Caption(dlg);
        routing = ItemText(dlg, kPdlRouting);
        if (!cancel) Capture(dlg, "mixdown-stereo");
      }
      if (cancel && ++looks == 3) Press(dlg, IDCANCEL);
    });
    const int done = ArrMixdown(20000, kTestDc, 4);
    EXPECT_EQ(title, "Stereo Mixdown Processor");
    EXPECT_EQ(routing, "Bus 7 L/R");
    EXPECT_EQ(RunOpDlg, nullptr);
    if (cancel) {
      EXPECT_EQ(done, 0);
      EXPECT_EQ(Image(), before);
      EXPECT_EQ(UndoGetLevel(), 0u);
      EXPECT_TRUE(fs::is_empty(root_ / "proc"));
      EXPECT_EQ(mixfake::log.back(), "finish 0");
      continue;
    }
    ASSERT_EQ(done, 1);
    ASSERT_GE(mixfake::log.size(), 4u);
    EXPECT_EQ(mixfake::log[1], "resolution 5");
    EXPECT_EQ(mixfake::log[2], "resolution 40");
    EXPECT_EQ(mixfake::log[3], "finish 1");
    EXPECT_GE(mixfake::at, 58000 + 64);
    EXPECT_EQ(Spans(4), (std::vector<std::pair<int32_t, int32_t>>{{10000, 48000}}));
    EXPECT_EQ(Spans(5), (std::vector<std::pair<int32_t, int32_t>>{{10000, 48000}}));
  }
  MixdownSetSeams(MixdownSeams());
  MixdownSetMixerHooks(MixdownMixerHooks());
}

// The .NGT path starts from the folder of the ini key, made absolute.
TEST_F(ProcDialogs, NoiseGatePathFollowsTheIniFolder) {
  NgtSetPathFolder("C:\\Gates");
  EXPECT_STREQ(NgtCurrentPath(), "C:\\Gates\\(untitled)");
  char folder[MAX_PATH];
  NgtPathFolder(folder, sizeof folder);
  EXPECT_STREQ(folder, "C:\\Gates\\");
  NgtSetPathFolder(".\\NoiseGate\\");
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(sizeof cwd, cwd);
  EXPECT_EQ(std::string(NgtCurrentPath()), std::string(cwd) + "\\NoiseGate\\(untitled)");
}

}  // namespace
