// The device handle of one sane_open: option descriptors and values, the
// device-capability copy, the scan area and the scan job's state.
#pragma once

#include <sane/sane.h>

#include <cstdint>

#include "VexmorApi/VexmorApiTypes.h"
#include "backend_source/DevCap.h"

// Option indices.
enum Vordane5Option {
    optCount,
    optGroupMode,
    optMode,
    optResolution,
    optScanSrc,
    optBrightness,
    optContrast,
    optMultiFeedDetect,
    optSizeDetect,
    optSkewAdjust,
    optBlankRemoval,
    optBlankRemovalLvl,
    optGroupGeometry,
    optTLX,
    optTLY,
    optBRX,
    optBRY,
    NUM_OPTIONS
};

// One option value: a word for numbers and booleans, an owned text (freed
// with bugchk_free) for "mode" and "source".
union Option_Value {
    SANE_Word w;
    SANE_String s;
};

// One page of the scan job's page queue; the queue code adds its page lock.
struct PageLink {
    int pagenum;
    vscore::tagVS_SCAN_IMAGEDATA ScannedBmpData;
    PageLink* next;
    int done;          // pixels delivered so far
    int num_of_pixel;  // width x height
    int status;        // 0, or the result of the page's read
    int blank;         // the word that starts with the record's blank-page flag
    int width, height, bits;
};

struct My_Scanner {
    SANE_Option_Descriptor opt[NUM_OPTIONS];
    Option_Value val[NUM_OPTIONS];
    char* name;      // owned
    DEVCAP* devcap;  // owned
    int cancel;
    int scanning;
    int read_count;
    // Scan area in whole millimetres, then in pixels.
    int64_t left, top, right, bottom;
    int64_t x0, y0, x1, y1, width, height;
    vscore::VS_SCANNER_PARAMETERS* scan_param;  // owned, one per job
    int last_page_read, current_page, last_page;
    int first_width, first_height, first_bits;
    int end_of_job;
    PageLink* head;
    PageLink* current;
    // Option menus of this handle (owned; the mode and source lists point
    // into devcap) and the geometry ranges.
    SANE_String_Const* mode_list;
    SANE_String_Const* source_list;
    SANE_Word* resolution_list;
    SANE_Range x_range;
    SANE_Range y_range;
};
