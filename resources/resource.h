// Zorvane's resource numbers: one name for each dialog, control, picture, string, menu,
// accelerator table and command. The resource script, the program and the art generator all
// take them from here, so it stays plain #defines that both the resource compiler and C++ read.
#ifndef ZORVANE_RESOURCE_H
#define ZORVANE_RESOURCE_H

// Strings
#define IDS_APP_TITLE 1
#define IDS_WINDOW_CLASS 2
#define IDS_OK 103    // menu bar's left button
#define IDS_HELP 104  // menu bar's right button

// Icon group (images 1..8 come from zorvane.ico)
#define IDI_APP 101

// Menu; the shell's menu-bar definition (raw data) carries the same number, as the shell wants
#define IDR_MENUBAR 102

// Accelerator table
#define IDR_ACCELERATORS 2

// Commands
#define IDM_EXIT 40000
#define IDM_HELP 40001
#define IDM_LIBRARY 40002

// Dialogs
#define IDD_LIBRARY 105
#define IDD_LIBRARY_LANDSCAPE 107
#define IDD_ABOUT 106
#define IDD_UNUSED_BUTTON 131
#define IDD_NOWPLAYING 142
#define IDD_NOWPLAYING_LANDSCAPE 143
#define IDD_OPTIONS 146
#define IDD_UNUSED_LIST 163

// Controls. Numbers are unique within one dialog only, so each dialog has its own group.

// Any dialog: pictures and labels that nobody addresses
#define IDC_STATIC (-1)

// Main window (created in code, not from a template)
#define IDC_PLAYLIST 4000

// IDD_LIBRARY and IDD_LIBRARY_LANDSCAPE (one dialog, two layouts)
#define IDC_LIBRARY_PATHS 1006
#define IDC_LIBRARY_BACK 1009
#define IDC_LIBRARY_NAMES 1010
#define IDC_LIBRARY_SORT 1011
#define IDC_LIBRARY_LIST 1036

// IDD_ABOUT
#define IDC_ABOUT_ICON 201
#define IDC_ABOUT_LINE1 202
#define IDC_ABOUT_LINE2 203

// IDD_UNUSED_BUTTON
#define IDC_UNUSED_BUTTON 1009

// IDD_NOWPLAYING and IDD_NOWPLAYING_LANDSCAPE (one dialog, two layouts)
#define IDC_BACKGROUND 1011
#define IDC_PLAYPAUSE 1012
#define IDC_PREVIOUS 1013
#define IDC_NEXT 1014
#define IDC_ALBUMART 1016
#define IDC_NOWPLAYING_TEXT 1026

// IDD_OPTIONS
#define IDC_TOPLAYLIST 1017
#define IDC_VOLUP 1028
#define IDC_VOLDOWN 1029
#define IDC_EXIT 1030
#define IDC_DISPLAYOFF 1032
#define IDC_BACKTOPANEL 1037

// IDD_UNUSED_LIST
#define IDC_UNUSED_LISTVIEW 1006

// Skin bitmaps. The art generator writes each to a file named after it (IDB_NEXT_BUTTON ->
// next_button.bmp) and the build reads this list to know which files to expect.
#define IDB_BACKGROUND 129  // full screen, 8-bit grey
#define IDB_PAUSE_BUTTON 130
#define IDB_COMPACT_DISC 137
#define IDB_SYMBOLS_LIGHT 140  // home, grid, note on white
#define IDB_SYMBOLS_DARK 141   // the same on black
#define IDB_PREVIOUS_BUTTON 144
#define IDB_NEXT_BUTTON 145
#define IDB_CLOSE_BUTTON 147
#define IDB_VOLUP 152
#define IDB_VOLDOWN 153
#define IDB_EXIT 156
#define IDB_BLANK_PANEL 157
#define IDB_DISPLAYOFF 158
#define IDB_TOPLAYLIST 159
#define IDB_DARK_SQUARE_1 160
#define IDB_BACK_ARROW 161
#define IDB_DARK_SQUARE_2 162
#define IDB_PLAYPAUSE 165
#define IDB_BOTTOMSTRIP 166
#define IDB_PREVIOUS_OUTLINE 167
#define IDB_PLAYPAUSE_OUTLINE 168
#define IDB_NEXT_OUTLINE 169
#define IDB_BACKTOPANEL 170
#define IDB_PREVIOUS_SPARE 171  // same picture as IDB_PREVIOUS
#define IDB_NEXT 172
#define IDB_PREVIOUS_SHADED 173
#define IDB_PREVIOUS 174
#define IDB_SEPARATOR 175
#define IDB_PLAYPAUSE_HIGHLIGHT 176
#define IDB_NEXT_HIGHLIGHT 177
#define IDB_PREVIOUS_HIGHLIGHT 178

#endif
