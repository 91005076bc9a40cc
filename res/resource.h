// Resource identifiers. The numbers of the dialogs, commands and controls are fixed: other
// parts of the program and the settings refer to them.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_SONARIX_DIALOG 102
#define IDD_PREVIEW 141
#define IDD_SETTINGS 142
#define IDD_RECORDBAR 143
#define IDD_SOUNDFORMAT 146
#define IDD_SOURCE 150
#define IDD_STOP_TIME 151

// Icon, bitmap
#define IDR_MAINFRAME 128
#define IDB_TOOLBAR 144     // the toolbar's images at 100 %
#define IDB_TOOLBAR_150 147 // ...drawn for 150 %
#define IDB_TOOLBAR_200 148 // ...and for 200 %

// Strings
#define IDS_ABOUTBOX 101           // the system menu's About entry
#define IDS_TIP_RECORD_START 102   // toolbar tooltips: start...
#define IDS_TIP_RECORD_STOP 32773  // ...stop (one above its command)
#define IDS_TIP_RECORD_PAUSE 32774 // ...pause (one above its command)
#define IDS_TIP_FILE_NAME 32775    // ...file name
#define IDS_TIP_MARKER 32776       // ...marker
#define IDS_NO_FILE_NAME 200
#define IDS_NO_FOLDER 201
#define IDS_COUNTER_WRAPPED 202
#define IDS_FOLDER_TOO_LONG 203
#define IDS_BAD_FILE_NAME 204
#define IDS_STOPPED_WRITE_FAILED 205
#define IDS_STOPPED_FILE_FULL 206
#define IDS_STOPPED_DEVICE_SILENT 207
#define IDS_DDX_UNSIGNED 208
#define IDS_DDX_RANGE 209
#define IDS_STATE_RECORDING 210
#define IDS_STATE_PAUSED 211
#define IDS_SAVE_FILTER 212
#define IDS_SYSTEM_ERROR 213
#define IDS_FILE_EXISTS_ASK 214
#define IDS_ALL_NUMBERS_TAKEN 215
#define IDS_NO_INPUT_DEVICE 216
#define IDS_DEVICE_BUSY 217
#define IDS_DEVICE_BAD_FORMAT 218
#define IDS_DEVICE_FAILED 219
#define IDS_RESUME_FAILED 220
#define IDS_FOLDER_FAILED 221
#define IDS_FILE_FAILED 222
#define IDS_NO_MEMORY 223
#define IDS_SETTINGS_NOT_SAVED 224
#define IDS_RECORDING_COMPLETED 225
#define IDS_RECORDING_NOT_COMPLETED 226
#define IDS_STOPPED_DEVICE_FAILED 227
#define IDS_TAB_MAIN 229
#define IDS_TAB_SETTINGS 230
#define IDS_BROWSE_FOLDER_TITLE 231
#define IDS_STOPPED_NEXT_FILE_FAILED 232
#define IDS_FILE_NOT_COMPLETED 233
#define IDS_RECORDING_WAITS_FOR_DRIVE 234
#define IDS_SHUTDOWN_REASON 235
#define IDS_COUNTER_WRAPPED_TO 236
#define IDS_STOPPED_NEXT_FOLDER_FAILED 237
#define IDS_STOPPED_NO_NEXT_NAME 238
#define IDS_ALL_NUMBERS_USED 239
#define IDS_DURATION_HMS 240
#define IDS_DURATION_MS 241
#define IDS_DURATION_S 242
#define IDS_BAD_PREFIX 243
#define IDS_BAD_SEQUENTIAL_FOLDER 244
#define IDS_STOPPED_FLUSH_FAILED 245
#define IDS_SPACE_LOW 247
#define IDS_PAUSE_FAILED 248
#define IDS_DURATION_S_TENTHS 249
#define IDS_STATE_WAITING 250
#define IDS_GAPS 251
#define IDS_GAP 252
#define IDS_GAP_NOT_FILLED 253
// What screen readers read and hear
#define IDS_ACC_PRESS 254     // a button's default action
#define IDS_ACC_FILE_NAME 255 // field 1012
#define IDS_ACC_WAVEFORM 256
#define IDS_ACC_METER_LEFT 257
#define IDS_ACC_METER_RIGHT 258
#define IDS_ACC_METER_MONO 259
#define IDS_ACC_RECORDING_SOURCE 260 // button 1000
#define IDS_ACC_SOUND_FORMAT 261     // button 1019
#define IDS_ACC_BROWSE 262           // button 1014
#define IDS_ACC_SWITCH 263           // a tab's default action
#define IDS_SAID_STOPPED 266         // a recording stopped
#define IDS_SAID_MARKER 267          // a marker placed: its number
#define IDS_ACC_MARKER_COUNT 268     // the marker button's description: the markers placed
#define IDS_MARKERS_FULL 269
#define IDS_AWAKE_REASON 270 // why the computer stays awake (powercfg /requests)
#define IDS_DEVICE_NOT_ANSWERING 271
#define IDS_STATE_QUIET 272 // the state part while no sound arrives
#define IDS_SAID_QUIET 273  // ...and what a screen reader hears
#define IDS_MARKER_KEY_TAKEN 274
#define IDS_INPUT_SHOWN 275 // above the waveform while recording: the input's name
#define IDS_SAID_INPUT 276  // ...and said when the recording follows a new input
// What is recorded: the choices of the source dialog, as the lists and the settings page name them
#define IDS_SOURCE_DEFAULT_INPUT 277
#define IDS_SOURCE_COMMUNICATIONS_INPUT 278
#define IDS_SOURCE_DEFAULT_OUTPUT 279
#define IDS_SOURCE_COMMUNICATIONS_OUTPUT 280
#define IDS_SOURCE_PLAYBACK 281 // what the computer plays through an output: its name
#define IDS_SOURCE_AWAY 282     // a chosen device not plugged in: its name
#define IDS_SOURCE_SHOWN 283    // the settings page's line
#define IDS_SOURCE_DAMAGED 284
#define IDS_SOURCE_ABSENT_ASK 285
#define IDS_NO_OUTPUT_DEVICE 286
#define IDS_NO_LOOPBACK 287
#define IDS_SOURCE_SETTINGS_FAILED 288
// The audio engine's own failures (AUDCLNT_E_...), which the system has no text for
#define IDS_AUDIO_DEVICE_INVALIDATED 289
#define IDS_AUDIO_DEVICE_IN_USE 290
#define IDS_AUDIO_SERVICE_NOT_RUNNING 291
#define IDS_AUDIO_WRONG_ENDPOINT_TYPE 292
#define IDS_AUDIO_UNSUPPORTED_FORMAT 293
// Both sides of a call: the microphone's and what the computer plays
#define IDS_SOURCE_BOTH 294            // the microphone's name, the output's
#define IDS_STATE_MIC_QUIET 295        // the state part while the microphone gives no sound
#define IDS_SAID_MIC_QUIET 296         // ...and what a screen reader hears
#define IDS_STATE_PLAYBACK_WAITING 297 // the state part while the output is away
#define IDS_STATE_MIC_WAITING 298      // ...and while the microphone is
#define IDS_INPUT_BOTH 299             // above the waveform: the microphone's name
// Leaving it recording: the notices, the stop time, the disk, the switches
#define IDS_ACC_NOTICES 300     // the notice line's name for screen readers
#define IDS_INFO_STOP_AFTER 301 // the stop time while recording: its duration, the time left
#define IDS_INFO_STOP_AT 302    // ...its time of day, the time left
#define IDS_INFO_DISK 303       // the time the drive still holds
#define IDS_STOP_AFTER_BAD 304
#define IDS_STOP_AT_BAD 305
#define IDS_STOP_AT_PAST 306
#define IDS_ACC_STOP_AFTER 307
#define IDS_ACC_STOP_AT 308
#define IDS_SAID_TIMED_STOP 309 // the recording stopped at its stop time
#define IDS_USAGE 310           // the box of /?
#define IDS_LOG_COMMAND 311     // a command from outside and its exit code
#define IDS_LOG_BAD_SWITCH 312
#define IDS_LOG_NO_COPY 313
#define IDS_LOG_START_FAILED 314 // a start asked for by a switch did not happen: why
#define IDS_COMMAND_DIALOG_OPEN 315
#define IDS_INFO_STOP_NEXT_AFTER 316 // the stop time set for the next recording
#define IDS_INFO_STOP_NEXT_AT 317
#define IDS_OPEN_FOLDER_FAILED 318
#define IDS_DURATION_HM 319 // a time to the minute
#define IDS_DURATION_M 320
#define IDS_AWAKE_DISPLAY 321 // why the display stays on while recording on battery

// Commands of the record bar's toolbar
#define ID_RECORD_START 32771
#define ID_RECORD_STOP 32772
#define ID_RECORD_PAUSE 32773
#define ID_FILE_NAME 32775
#define ID_MARKER 32776

// System menu
#define IDM_ABOUTBOX 0x0010

// Controls
#define IDC_RECORDING_SOURCE 1000
#define IDC_METER0 1007
#define IDC_METER1 1009
#define IDC_WAVEFORM 1010
#define IDC_TAB 1011
#define IDC_FILE_NAME 1012
#define IDC_SEQ_FOLDER 1013
#define IDC_SEQ_BROWSE 1014
#define IDC_SEQ_PREFIX 1015
#define IDC_SEQ_COUNT 1016
#define IDC_SEQ_COUNT_SPIN 1017
#define IDC_SEQ_ENABLE 1018
#define IDC_SOUND_FORMAT 1019
#define IDC_MONO 1020
#define IDC_STEREO 1021
#define IDC_RATE 1022
#define IDC_SAMPLE_TYPE 1023
#define IDC_SEQ_SUBFOLDERS 1024
#define IDC_PREVIEW_GROUP 1025
#define IDC_SOURCE_SHOWN 1026 // the settings page: what is recorded
// The source dialog
#define IDC_SOURCE_INPUT 1030
#define IDC_SOURCE_PLAYBACK 1031
#define IDC_SOURCE_INPUTS 1032
#define IDC_SOURCE_OUTPUTS 1033
#define IDC_SOURCE_SYSTEM 1034
#define IDC_SOURCE_BOTH 1035
#define IDC_SOURCE_BOTH_NOTE 1036 // headphones, shown while both are chosen
// The main window below the tabs
#define IDC_STOP_TIME 1040
#define IDC_RECORD_INFO 1041 // the stop time and the time left on the drive
#define IDC_NOTICES 1042
#define IDC_OPEN_FOLDER 1043
// The stop-time dialog
#define IDC_STOP_NONE 1050
#define IDC_STOP_AFTER 1051
#define IDC_STOP_AT 1052
#define IDC_STOP_AFTER_TEXT 1053
#define IDC_STOP_AT_TEXT 1054
#define IDC_STOP_ERROR 1055
#define IDC_TOOLBAR 100
#define IDC_STATUSBAR 1
