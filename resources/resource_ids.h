// Numeric resource identifiers shared by reprisa.rc (windres) and the C++ sources.
// Plain #defines only: the resource compiler's preprocessor reads this file too.
#ifndef REPRISA_RESOURCES_RESOURCE_IDS_H_
#define REPRISA_RESOURCES_RESOURCE_IDS_H_

// The application icon (16, 24, 32, 48 and 256 pixels). Explorer and the task bar take
// the icon with the lowest identifier, so it stays 1.
#define IDI_APP 1

// The maker's logo for the About dialog: a progressive JPEG, 306 x 322, stored as RCDATA.
#define IDR_LOGO 100

// Bitmap button glyphs: 32-bit BGRA with straight alpha (see reprisa.rc).
// 18 x 18 stock glyphs of the button kinds, each with its greyed twin for the disabled state.
#define IDB_GLYPH_OK 200
#define IDB_GLYPH_OK_DISABLED 201
#define IDB_GLYPH_CANCEL 202
#define IDB_GLYPH_CANCEL_DISABLED 203
#define IDB_GLYPH_RETRY 204
#define IDB_GLYPH_RETRY_DISABLED 205
// 16 x 16 globe for the button that opens the maker's web site.
#define IDB_GLYPH_GLOBE 206
#define IDB_GLYPH_GLOBE_DISABLED 207

#endif  // REPRISA_RESOURCES_RESOURCE_IDS_H_
