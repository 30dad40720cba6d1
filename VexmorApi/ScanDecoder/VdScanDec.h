// The line decoder object: every line passes line decoding, then tone and
// colour conversion (8- and 24-bit pages), then resolution change, and the
// finished rows land in the caller's write buffer.
#pragma once

#include "VexmorApi/ChangeResolution/VdChangeReso.h"
#include "VexmorApi/ScanDecoder/IScanDec.h"
#include "VexmorApi/ScanDecoder/VdColorConvert.h"
#include "VexmorApi/ScanDecoder/VdLineDecode.h"

namespace vscore {

// One page, one thread: made, opened, started, written line by line, ended,
// destroyed (the destructor ends a page still open).
class CVdScanDec : public IScanDec, public CVdChangeReso, public CVdColorConvert, public CVdLineDecode {
public:
    CVdScanDec() = default;
    ~CVdScanDec() override;

    bool ScanDecOpen() override { return true; }
    bool ScanDecPageStart(SCANDEC_OPEN* open) override;
    int ScanDecWrite(SCANDEC_WRITE* write, int* decodedLines, unsigned long* decodedBytes) override;
    int ScanDecPageEnd(SCANDEC_WRITE* write, int* decodedLines, unsigned long* decodedBytes) override;

private:
    bool colorInUse_ = false;
    SCANDEC_OPEN open_ = {};
};

}  // namespace vscore
