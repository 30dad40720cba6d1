// The device handle of one sane_open: option descriptors and values, the
// device-capability copy, the scan area and the scan job's state.
#pragma once

#include <sane/sane.h>

#include <atomic>
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

// One page of the scan job's page queue (PageQueue.h). The reader fills a
// node once; from then on only the front end's thread touches it.
struct PageLink {
    int pagenum;  // the queue's own numbering, from 1
    vscore::tagVS_SCAN_IMAGEDATA ScannedBmpData;
    PageLink* next;
    uint64_t done;          // pixels of whole lines delivered so far
    uint64_t num_of_pixel;  // width x height
    uint32_t status;        // 0, or the result of the page's read
    int blank;              // the record's blank-page flag
    uint32_t width, height, bits;
    int enginePage;     // the engine's number of the page, for FreeImageData
    uint64_t lineDone;  // bytes of the line being delivered
    bool filled;        // the reader has filled the node (guarded by the queue mutex)
};

class PageQueue;
struct ScanJob;

struct My_Scanner {
    SANE_Option_Descriptor opt[NUM_OPTIONS];
    Option_Value val[NUM_OPTIONS];
    char* name;      // owned
    DEVCAP* devcap;  // owned
    // Set by sane_cancel, which front ends call from signal handlers too;
    // read by the reader thread.
    std::atomic<int> cancel;
    // 1 after a sane_start that gave a page, until the next start or the
    // job's end; a pending cancel overrides it. Front end's thread.
    int scanning;
    int read_count;
    // Scan area in whole millimetres, then in pixels.
    int64_t left, top, right, bottom;
    int64_t x0, y0, x1, y1, width, height;
    int device;            // index of the device in the discovery table
    ScanJob* job;          // owned; the queue, the reader thread and the job's record; null while idle
    PageLink* current;     // the page being delivered (a node of the job's queue)
    My_Scanner* nextOpen;  // the list of open handles (Device.h)
    // Option menus of this handle (owned; the mode and source lists point
    // into devcap) and the geometry ranges.
    SANE_String_Const* mode_list;
    SANE_String_Const* source_list;
    SANE_Word* resolution_list;
    SANE_Range x_range;
    SANE_Range y_range;
};
