// Control ids of the time module's dialogs.
#pragma once

#define IDC_TM_PARTNAME 253
#define IDC_TM_RATIO 254
#define IDC_TM_SRC_TC 255
#define IDC_TM_SRC_BBT 256
#define IDC_TM_NEW_TC 257
#define IDC_TM_NEW_BBT 258
#define IDC_TM_SRC_TEMPO 259
#define IDC_TM_NEW_TEMPO 260
#define IDC_TM_SRC_RATE 261
#define IDC_TM_NEW_RATE 262
#define IDC_TM_SEMITONES 265
#define IDC_TM_OLD_TAKES 102
#define IDC_TM_NEW_TAKES 103
#define IDC_TM_PROGRESS 104
