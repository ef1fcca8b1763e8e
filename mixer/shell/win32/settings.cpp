#include "mixer/shell/win32/settings.h"

#include "mixer/model/options.h"
#include "mixer/model/util/strtab.h"
#include "mixer/shell/mainopts.h"

RadioGroup RadioGroups[kGroupCount] = {
    {40355, 40356, 40356, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_REC_RESOL},
    {40501, 40505, 40501, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SYNC_IN},
    {41580, 41590, 41583, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SRATE_SELECTOR},
    {41601, 41606, 41602, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_FRATE_SELECTOR},
    {40518, 40519, 40519, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_TIMEBAR},
    {40723, 40724, 40724, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_WAV_AXIS},
    {40520, 40538, 40535, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SNAP},
    {40729, 40731, 40729, IDS_INI_SEC_MRK_DIR_WND, IDS_INI_KEY_SORT},
    {40736, 40740, 40736, IDS_INI_SEC_VIDEO_WND, IDS_INI_KEY_VIDEO_DISP_SIZE},
    {40874, 40875, 40874, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SCRUB_MODE},
    {40880, 40882, 40882, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PROC_REF_ATK},
    {40883, 40885, 40885, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PROC_DEL_UN_REF_ATK},
    {40886, 40888, 40887, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PROC_REF_CTK},
    {40889, 40891, 40889, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PROC_DEL_UN_REF_CTK},
    {43300, 43302, 43301, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PROC_REF_MTK},
    {43303, 43305, 43303, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PROC_DEL_UN_REF_MTK},
    {40892, 40893, 40892, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_EDIT_OVERLAP_MODE},
    {40896, 40897, 40896, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_EDIT_MULTI_OUT_MODE},
    {40900, 40904, 40900, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_S9_PIN_MODE},
};

GroupIndex RadioGroupOf(uint32_t id) {
  for (int i = 0; i < kGroupCount; ++i)
    if (id >= RadioGroups[i].first && id <= RadioGroups[i].last) return static_cast<GroupIndex>(i);
  return kGroupCount;
}

int32_t RadioValue(GroupIndex group) { return RadioGroups[group].value; }

UnitGroup UnitGroups[kUnitGroupCount] = {
    {40360, 6, 6, IDS_INI_KEY_SYNC_CON_OUT_UNIT1, {40360, 40366, 40372, 40378}},
    {40384, 6, 6, IDS_INI_KEY_IO96_KUNIT0, {40384, 40390, 40396, 40402}},
    {45000, 2, 2, IDS_INI_KEY_IO_MADI96_KUNIT0, {45000, 45002, 45004, 45006}},
    {45020, 2, 2, IDS_INI_KEY_IO_MADI_MODE_UNIT0, {45020, 45022, 45024, 45026}},
    {40408, 14, 14, IDS_INI_KEY_MCLK_UNIT1, {40408, 40423, 40437, 40451}},
};

uint32_t UnitFirstId(const UnitGroup& g, int unit) {
  return g.first + g.stride * static_cast<uint32_t>(unit);
}

int UnitGroupOf(uint32_t id, int* group) {
  for (int i = 0; i < kUnitGroupCount; ++i) {
    const UnitGroup& g = UnitGroups[i];
    if (id < g.first || id >= g.first + g.stride * 4) continue;
    const int unit = static_cast<int>((id - g.first) / g.stride);
    if (id - UnitFirstId(g, unit) >= g.count) continue;
    *group = i;
    return unit;
  }
  return -1;
}

int32_t IoAESInpSRC[4] = {};

int32_t FastRedraw = 1, FillWvForm = 1, ShowNameInWave = 1, ShowPartVol = 1,
        FollowCloc = 1, NvrFollowClocIfSolo = 1, AutoGenWvFrmFiles = 1, GlobalShiftMarkers = 1,
        AutoCnvWAV = 1, AutoCnvMID = 1, CorbAutoRoute = 1, DoAudTrkDelayComp = 1,
        DoEntArrDelayComp = 1, AutoSRConvert, ReplacePrtName, AppendLocalTimeStr,
        HierarchMixElemSel, ScrubWind;
int32_t MutedSoloAudOut = 1, MutedSoloMidiOut = 1, ProChStat, UseNumSpExt, StreamSmpBufSize = 128;
int32_t AlignOutElemsWFader, AlignOutElemsWNoInp, RecBtnEnable;
int32_t TempoBars = 1;
int32_t RecReadyTyped[2] = {};

const CheckOption kCheckOptions[] = {
    {IDS_INI_KEY_FAST_REDRAW, 1, 41802, &FastRedraw},
    {IDS_INI_KEY_FILL_WV_FORM, 1, 41803, &FillWvForm},
    {IDS_INI_KEY_SHOW_NAME_IN_WAVE, 1, 41804, &ShowNameInWave},
    {IDS_INI_KEY_SHOW_PART_VOL, 1, 41805, &ShowPartVol},
    {IDS_INI_KEY_DEGLITCH, 1, 41807, &Deglitch},
    {IDS_INI_KEY_FOLLOW_CLOC, 1, 41809, &FollowCloc},
    {IDS_INI_KEY_NVR_FOLLOW_CLOC_IF_SOLO, 1, 41810, &NvrFollowClocIfSolo},
    {IDS_INI_KEY_AUTO_GEN_WV_FRM_FILES, 1, 41811, &AutoGenWvFrmFiles},
    {IDS_INI_KEY_KEEP_WV_FRM_FILES, 1, 41812, &KeepWvFrmFiles},
    {IDS_INI_KEY_GLOBAL_SHIFT_MARKERS, 1, 41815, &GlobalShiftMarkers},
    {IDS_INI_KEY_AUTO_CNV_WAV, 1, 41816, &AutoCnvWAV},
    {IDS_INI_KEY_AUTO_CNV_MID, 1, 41817, &AutoCnvMID},
    {IDS_INI_KEY_CORB_AUTO_ROUTE, 1, 41823, &CorbAutoRoute},
    {IDS_INI_KEY_DO_AUD_TRK_DELAY_COMP, 1, 41824, &DoAudTrkDelayComp},
    {IDS_INI_KEY_DO_ENT_ARR_DELAY_COMP, 1, 41825, &DoEntArrDelayComp},
    {IDS_INI_KEY_DET_MIX_ELEM_CHANGES, 1, 41831, &DetMixElemChanges},
    {IDS_INI_KEY_AUTO_SCROLL_ARR_WND, 0, 41801, &AutoScrollArrWnd},
    {IDS_INI_KEY_KEEP_SEL, 0, 41808, &KeepSel},
    {IDS_INI_KEY_PLAY_TILL_NXT_MRK, 0, 41813, &PlayTillNxtMrk},
    {IDS_INI_KEY_AUTO_SRCONVERT, 0, 41818, &AutoSRConvert},
    {IDS_INI_KEY_REPLACE_PRT_NAME, 0, 41819, &ReplacePrtName},
    {IDS_INI_KEY_IGNORE_EXT_SRATE, 0, 41820, &IgnoreExtSRate},
    {IDS_INI_KEY_APPEND_LOCAL_TIME_STR, 0, 41821, &AppendLocalTimeStr},
    {IDS_INI_KEY_HIERARCH_MIX_ELEM_SEL, 0, 41829, &HierarchMixElemSel},
    {IDS_INI_KEY_ALL_KEY_INP_TO_MIX_ELEM, 0, 41830, &AllKeyInpToMixElem},
    {IDS_INI_KEY_ADOPT_VTRK_OUTPUT, 0, 41832, &AdoptVtrkOutput},
    {IDS_INI_KEY_WIND_FAST, 0, 41835, &WindFast},
    {IDS_INI_KEY_SCRUB_WIND, 0, 41836, &ScrubWind},
};
const int kCheckOptionCount = static_cast<int>(sizeof kCheckOptions / sizeof kCheckOptions[0]);

const CheckOption* CheckOptionOf(uint32_t checkId) {
  for (const CheckOption& o : kCheckOptions)
    if (o.checkId == checkId) return &o;
  return nullptr;
}

char Folders[kFolderCount][260];
const uint32_t kFolderKeys[kFolderCount] = {
    IDS_INI_KEY_ARR_FILE_PATH,      IDS_INI_KEY_PCFILE_PATH,     IDS_INI_KEY_WAV_FILE_PATH,
    IDS_INI_KEY_NGT_FILE_PATH,      IDS_INI_KEY_WV_FORM_FILE_PATH, IDS_INI_KEY_VIDEO_FILE_PATH,
    IDS_INI_KEY_SVOFILE_PATH,       IDS_INI_KEY_MIX_FILE_PATH,   IDS_INI_KEY_MIDI_FILE_PATH,
    IDS_INI_KEY_LOG_FILE_PATH,
};
const bool kFolderIsFile[kFolderCount] = {true,  false, false, true,  false,
                                          false, false, true,  false, false};
