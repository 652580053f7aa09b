// Numeric resource identifiers shared by reprisa.rc (windres) and the program's sources.
// Plain #defines only: the resource compiler's preprocessor reads this file too.
#ifndef REPRISA_WIN_APP_RESOURCE_IDS_H_
#define REPRISA_WIN_APP_RESOURCE_IDS_H_

// The application icon (16, 24, 32, 48 and 256 pixels). Explorer and the task bar take
// the icon with the lowest identifier, so it stays 1.
#define IDI_APP 1

// The maker's logo for the About dialog: a progressive JPEG, 306 x 322, stored as RCDATA.
#define IDR_LOGO 100

// 16 x 16 globe for the button that opens the maker's web site (the kit's glyphs use 200-205).
#define IDB_GLYPH_GLOBE 206
#define IDB_GLYPH_GLOBE_DISABLED 207

#endif  // REPRISA_WIN_APP_RESOURCE_IDS_H_
