// Resource identifiers of the widget kit's own pictures (resources/kit_glyphs.rc).
// Plain #defines only: the resource compiler's preprocessor reads this file too.
#ifndef REPRISA_WIN_KIT_KIT_RESOURCE_IDS_H_
#define REPRISA_WIN_KIT_KIT_RESOURCE_IDS_H_

// Bitmap button glyphs: 32-bit BGRA with straight alpha, 18 x 18, each with its greyed twin for
// the disabled state. A program that uses the kit links resources/kit_glyphs.rc in.
#define IDB_GLYPH_OK 200
#define IDB_GLYPH_OK_DISABLED 201
#define IDB_GLYPH_CANCEL 202
#define IDB_GLYPH_CANCEL_DISABLED 203
#define IDB_GLYPH_RETRY 204
#define IDB_GLYPH_RETRY_DISABLED 205

#endif  // REPRISA_WIN_KIT_KIT_RESOURCE_IDS_H_
