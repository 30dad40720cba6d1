// The line decoder's code tables as stateless helpers, and the allocation
// of its working buffers through the handle functions.
#pragma once

#include <climits>
#include <cstdint>

#include "VexmorApi/Bytes/GlobalMemory.h"
#include "VexmorApi/ScanDecoder/IScanDec.h"

namespace vscore {

class CScanDecType {
public:
    // Bits per pixel of a data kind: 1 for kind 1, 24 for kinds 2 to 6, 8 for
    // kind 7, 0 otherwise.
    static int GetBppFromDataType(int32_t kind)
    {
        if (kind == kScanDecKindRow) {
            return 1;
        }
        if (kind >= kScanDecKindRed && kind <= kScanDecKindRowBGR) {
            return 24;
        }
        return kind == kScanDecKindRowGray ? 8 : 0;
    }
    static bool IsNonCompress(int32_t code) { return code == kScanDecCompNone; }
    static bool IsPackBitsCompress(int32_t code) { return code == kScanDecCompPackBits; }
    static bool IsJpegCompress(int32_t code) { return code == kScanDecCompJpeg; }
    // Kinds 2, 3 and 4 carry one plane of a 24-bit row.
    static bool IsPlaneKind(int32_t kind) { return kind >= kScanDecKindRed && kind <= kScanDecKindBlue; }

    // A working-buffer handle of size bytes (GlobalAllocFunc); null when the
    // size does not fit the handle functions or the heap has no such block.
    static void** AllocBuffer(uint64_t size)
    {
        return size > static_cast<uint64_t>(LONG_MAX) ? nullptr : GlobalAllocFunc(static_cast<long>(size));
    }
    // Frees the handle (GlobalFree) and clears it; a null handle is ignored.
    static void FreeBuffer(void**& handle)
    {
        if (handle != nullptr) {
            GlobalFree(handle);
            handle = nullptr;
        }
    }
};

}  // namespace vscore
