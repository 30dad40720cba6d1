// The line decoder object: sets up and chains its three stages per page.
#include "VexmorApi/ScanDecoder/VdScanDec.h"

#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

CVdScanDec::~CVdScanDec() { ScanDecPageEnd(nullptr, nullptr, nullptr); }

bool CVdScanDec::ScanDecPageStart(SCANDEC_OPEN* open)
{
    OperationTrace const trace(g_DecodeLog, 2, "ScanDecPageStart");
    trace.Enter();
    bool result = LineDecodeOpen(open);
    if (!result) {
        g_DecodeLog.WriteLog(1, "SCNDEC: LineDecodeOpen Error");
    } else {
        COLORCONV_OPEN color = {};
        color.nColorType = open->nColorType;
        color.dwInLinePixCnt = open->dwInLinePixCnt;
        color.nOutColorOrder = open->nOutColorOrder;
        color.nBrightness = open->nBrightness;
        color.nContrast = open->nContrast;
        color.pGammaTable = open->pGammaTable;
        color.pProfileName = open->pProfileName;
        colorInUse_ = true;
        if (!ColorConvertOpen(&color)) {
            colorInUse_ = false;
            g_DecodeLog.WriteLog(3, "SCNDEC: not use Color Convert");
        }
        CHRESO_OPEN reso = {};
        reso.nInResoX = open->nInResoX;
        reso.nInResoY = open->nInResoY;
        reso.nOutResoX = open->nOutResoX;
        reso.nOutResoY = open->nOutResoY;
        reso.nColorType = open->nColorType;
        reso.dwInLinePixCnt = open->dwInLinePixCnt;
        reso.nOutColorOrder = open->nOutColorOrder;
        reso.bAlignOutLine = open->bAlignOutLine;
        reso.dwOutLineByteCnt = open->dwOutLineByteCnt;
        reso.dwOutLeftPixCnt = open->dwOutLeftPixCnt;
        if (!ChangeResoInit(&reso)) {
            LineDecodeClose();
            if (colorInUse_) {
                ColorConvertClose();
            }
            g_DecodeLog.WriteLog(1, "SCNDEC: ChangeResoInit Error");
            result = false;
        } else {
            open->dwOutLineSize = reso.dwOutLineSize;
            open->dwOutLinePixCnt = reso.dwOutLinePixCnt;
            open->dwWriteBuffSize = reso.dwWriteBuffSize;
        }
    }
    open_ = *open;
    if (result) {
        if (!LineDecodeWriteStart()) {
            g_DecodeLog.WriteLog(1, "SCNDEC: LineDecodeWriteStart Error");
            result = false;
        } else {
            if (colorInUse_) {
                ColorConvertWriteStart();
            }
            if (!ChangeResoWriteStart()) {
                LineDecodeWriteEnd();
                if (colorInUse_) {
                    ColorConvertWriteEnd();
                }
                g_DecodeLog.WriteLog(1, "SCNDEC: ChangeResoWriteStart Error");
                result = false;
            }
        }
    }
    trace.Leave(" ret[BOOL] = %d", result ? 1 : 0);
    return result;
}

int CVdScanDec::ScanDecWrite(SCANDEC_WRITE* write, int* decodedLines, unsigned long* decodedBytes)
{
    // A short line returns without the exit line.
    OperationTrace const trace(g_DecodeLog, 3, "ScanDecWrite");
    trace.Enter();
    *decodedLines = 0;
    *decodedBytes = 0;
    unsigned long size = 0;
    unsigned char* data = LineDecodeWrite(write, &size);
    if (data != nullptr && size != 0 && GetLastLineReach() < size) {
        // The rest of the row would be another line's bytes.
        g_DecodeLog.WriteLog(1, "SCNDEC: line of %llu bytes for a row of %lu",
                             static_cast<unsigned long long>(GetLastLineReach()), size);
        return kScanDecShortLine;
    }
    if (data != nullptr && size != 0) {
        int kind = write->nInDataKind;
        bool complete = true;
        if (colorInUse_) {
            COLORCONV_WRITE color = {write->nInDataKind, data, size};
            data = ColorConvertWrite(&color, &size, &kind);
            complete = data != nullptr;
        }
        if (complete) {
            CHRESO_WRITE reso = {};
            reso.nInDataKind = kind;
            reso.pInData = data;
            reso.dwInDataSize = size;
            reso.pWriteBuff = write->pWriteBuff;
            reso.dwWriteBuffSize = write->dwWriteBuffSize;
            reso.bWriteReverse = write->bWriteReverse;
            *decodedBytes = ChangeResoWrite(&reso, decodedLines);
        }
    }
    trace.Leave(" ret = %d", 0);
    return kScanDecWriteOk;
}

int CVdScanDec::ScanDecPageEnd(SCANDEC_WRITE* write, int* decodedLines, unsigned long* decodedBytes)
{
    OperationTrace const trace(g_DecodeLog, 2, "ScanDecPageEnd");
    trace.Enter();
    if (write != nullptr && decodedLines != nullptr && decodedBytes != nullptr) {
        *decodedLines = 0;
        CHRESO_WRITE reso = {};
        reso.nInDataKind = write->nInDataKind;
        reso.pWriteBuff = write->pWriteBuff;
        reso.dwWriteBuffSize = write->dwWriteBuffSize;
        reso.bWriteReverse = write->bWriteReverse;
        *decodedBytes = ChangeResoWriteEnd(&reso, decodedLines);
    }
    if (colorInUse_) {
        ColorConvertWriteEnd();
    }
    LineDecodeWriteEnd();
    LineDecodeClose();
    if (colorInUse_) {
        ColorConvertClose();
    }
    ChangeResoClose();
    trace.Leave(" ret[INT] = %d", 0);
    return 0;
}

}  // namespace vscore
