// Runs the streaming resolution change over a whole plain image, one input
// row per call and the end flush, and gathers the rows that come out.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ReferenceImages.h"
#include "VexmorApi/ChangeResolution/VdChangeReso.h"
#include "VexmorApi/ScanDecoder/IScanDec.h"

struct ResoRun {
    bool ok = false;               // set-up succeeded
    PlainImage out;                // P pixels wide, one row per output row
    uint64_t rowBytes = 0;         // S
    std::vector<int> rowsPerCall;  // the flush's two parts count as one call
};

// 24-bit images are fed as red-green-blue rows (kind 5) and written in
// output order 1; other depths as whole rows.
inline ResoRun ChangeResolution(PlainImage const& in, int32_t colorWord, int32_t inX, int32_t inY, int32_t outX,
                                int32_t outY)
{
    ResoRun run;
    vscore::CHRESO_OPEN open = {};
    open.nInResoX = inX;
    open.nInResoY = inY;
    open.nOutResoX = outX;
    open.nOutResoY = outY;
    open.nColorType = colorWord;
    open.dwInLinePixCnt = in.width;
    open.nOutColorOrder = kScanDecOrderRGB;
    open.bAlignOutLine = true;
    vscore::CVdChangeReso converter;
    if (!converter.ChangeResoInit(&open) || !converter.ChangeResoWriteStart()) {
        return run;
    }
    run.ok = true;
    run.rowBytes = open.dwOutLineSize;
    run.out = PlainImage{static_cast<uint32_t>(open.dwOutLinePixCnt), 0, in.bits, {}};
    uint64_t const outRow = run.out.RowBytes();
    std::vector<unsigned char> buffer(open.dwWriteBuffSize);
    auto collect = [&](int rows) {
        run.rowsPerCall.push_back(rows);
        for (int k = 0; k < rows; ++k) {
            unsigned char const* row = buffer.data() + k * open.dwOutLineSize;
            run.out.pixels.insert(run.out.pixels.end(), row, row + outRow);
            ++run.out.height;
        }
    };
    vscore::CHRESO_WRITE write = {};
    write.nInDataKind = in.bits == 24 ? kScanDecKindRowRGB : kScanDecKindRow;
    write.pWriteBuff = buffer.data();
    write.dwWriteBuffSize = buffer.size();
    for (uint32_t y = 0; y < in.height; ++y) {
        write.pInData = in.Row(y);
        write.dwInDataSize = in.RowBytes();
        int rows = 0;
        uint64_t const bytes = converter.ChangeResoWrite(&write, &rows);
        EXPECT_EQ(bytes, rows * open.dwOutLineSize);
        collect(rows);
    }
    write.pInData = nullptr;
    write.dwInDataSize = 0;
    int rows = 0;
    uint64_t const bytes = converter.ChangeResoWriteEnd(&write, &rows);
    EXPECT_EQ(bytes, rows * open.dwOutLineSize);
    collect(rows);
    converter.ChangeResoClose();
    return run;
}
