// Built-in defaults of the main ini file, used when one of its keys is missing.
#include "mixer/model/ini.h"
#include "mixer/model/util/strtab.h"

namespace {

// Filler entries of the tool pages: five empty tool slots.
#define HRL_PAGE_FILL5 " 99 99 99 99 99"

// 48 tool ids each: the tools, 99 fillers, and a closing 0.
constexpr const char* kPage1 =
    "0 1 2 3 4 5 6 7 8 26 22 23 9 10 11 12 13 14 27 16 17 28 18 21 98 25 30 35 98 19 20 43"
    HRL_PAGE_FILL5 HRL_PAGE_FILL5 HRL_PAGE_FILL5 " 0";
constexpr const char* kPage2 =
    "29 24 31 98 32 34 33 98 36 15"
    HRL_PAGE_FILL5 HRL_PAGE_FILL5 HRL_PAGE_FILL5 HRL_PAGE_FILL5 HRL_PAGE_FILL5 HRL_PAGE_FILL5
    HRL_PAGE_FILL5 " 99 99" " 0";

#undef HRL_PAGE_FILL5

}  // namespace

const IniDefault IniDefaults[] = {
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_WINDOW, "1    0    0  800  573"},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_IFFV, "IFFV1.3"},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_ARR_FILE_PATH, ".\\Arr\\"},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_WAV_FILE_PATH, ".\\Wav\\"},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_NGT_FILE_PATH, ".\\NoiseGate\\"},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_WV_FORM_FILE_PATH, ".\\Wvf\\"},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_VIDEO_FILE_PATH, ".\\Avi\\"},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SVOFILE_PATH, ".\\Avi\\"},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_MIX_FILE_PATH, ".\\Mix\\Norvik\\"},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_LOG_FILE_PATH, ".\\Log\\"},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_MIX_ELEM_LIB_PATH, "..\\..\\MixElem\\V103\\"},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_MIX_ELEM_LIB_PATH2, "..\\..\\MixElem\\V102\\"},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_EXVORA_LIB_PATH, "..\\..\\Exvora\\V102\\"},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PCFILE_PATH, ""},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_MIDI_FILE_PATH, ""},
    {IDS_INI_SEC_TOOL_WND, IDS_INI_KEY_PAGE1, kPage1},
    {IDS_INI_SEC_TOOL_WND, IDS_INI_KEY_PAGE2, kPage2},
    {IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_WINDOW, "1    5   95  592  444"},
    {IDS_INI_SEC_DIR_WND, IDS_INI_KEY_WINDOW, "0    5  453  790   86"},
    {IDS_INI_SEC_SFILE_MANAGER_WND, IDS_INI_KEY_WINDOW, "1  597   95  198  444"},
    {IDS_INI_SEC_MRK_DIR_WND, IDS_INI_KEY_WINDOW, "0  450   95  147  444"},
    {IDS_INI_SEC_AUD_BUF_WND, IDS_INI_KEY_WINDOW, "0  597  444    0    0"},
    {IDS_INI_SEC_BIG_CLOC_WND, IDS_INI_KEY_WINDOW, "0   19  404  382  103"},
    {IDS_INI_SEC_VIDEO_WND, IDS_INI_KEY_WINDOW, "0  162  132  330  269"},
    {IDS_INI_SEC_9_PIN_WND, IDS_INI_KEY_WINDOW, "0  162  132    0    0"},
    {IDS_INI_SEC_MIX_WND, IDS_INI_KEY_WINDOW, "0   59  158  472  316"},
};

const int kIniDefaultCount = static_cast<int>(sizeof IniDefaults / sizeof IniDefaults[0]);
