// Resource and control ids of Setup's skin, shared by the .rc script and the code.
// Plain #defines: the resource compiler reads this file too.
#pragma once

// Dialog templates.
#define IDD_ABOUTBOX            100
#define IDD_SETUP_DIALOG        102
#define IDD_EXPLAIN             159
#define IDD_ISCLOSE             161
#define IDD_MESERROR            165

// Strings, icon, system menu command.
#define IDS_ABOUTBOX            101
#define IDR_MAINFRAME           128
#define IDM_ABOUTBOX            0x0010

// Wizard pictures (24-bit bitmaps with the text drawn in).
#define IDB_MODEL_CAPTION       134
#define IDB_BACK                137
#define IDB_NEXT                138
#define IDB_CANCEL              139
#define IDB_NO_USB_NOTICE       140
#define IDB_SUMMARY_NOTE        141
#define IDB_SUMMARY_LABELS      142
#define IDB_FINISH              143
#define IDB_INSTALLING          146
#define IDB_USB_FOUND_NOTICE    176

// Secondary dialogs' pictures.
#define IDB_CLOSE_CROSS         150
#define IDB_NO                  162
#define IDB_YES                 163
#define IDB_QUIT_QUESTION       164
#define IDB_INSTALL_FAILED      166
#define IDB_CONFIRM             173

// Hover faces.
#define IDB_CONFIRM_HOVER       167
#define IDB_BACK_HOVER          168
#define IDB_NEXT_HOVER          169
#define IDB_CANCEL_HOVER        170
#define IDB_FINISH_HOVER        172
#define IDB_NO_HOVER            174
#define IDB_YES_HOVER           175

// PNG pictures with alpha (resource type "PNG").
#define IDR_PNG_SLOGAN          181
#define IDR_PNG_LOGO            182

// Controls of the wizard (dialog 102).
#define IDC_MESSAGE_PIC         1000
#define IDC_CAPTION_PIC         1004
#define IDC_BACK                1007
#define IDC_NEXT                1008
#define IDC_CANCEL_BTN          1009
#define IDC_PORT_LIST           1010
#define IDC_PROGRESS            1013
#define IDC_FINISH              1027
#define IDC_SLOGAN_PIC          1029
#define IDC_LOGO_PIC            1030
#define IDC_MODEL_LIST          1031

// Controls of the secondary dialogs.
#define IDC_EXPLAIN_CLOSE       1020
#define IDC_NO_BTN              1022
#define IDC_YES_BTN             1023
#define IDC_QUESTION_PIC        1024
#define IDC_ERROR_OK            1025
#define IDC_ERROR_PIC           1026
