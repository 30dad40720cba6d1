// The page-image dump of the engine's logs: a TIFF header followed by the
// packed pixel rows, written through the image dump seam.
#include <algorithm>
#include <exception>

#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/File.h"
#include "VexmorApi/Utilities/ImageDump.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

ImageDumpRows PlanImageDumpRows(uint64_t pixelSize, bool hasPixels, uint32_t height, uint64_t bytesPerRow,
                                uint64_t requiredByteSize)
{
    ImageDumpRows plan;
    if (!hasPixels || pixelSize == 0 || height == 0) {
        return plan;
    }
    uint64_t const stride = pixelSize / height;
    // stride * height <= pixelSize holds by the division, so every row read
    // stays inside the block once the stride covers the packed row.
    if (stride % 4 == 0 && pixelSize != requiredByteSize && bytesPerRow <= stride) {
        plan.kind = ImageDumpRows::Rows;
        plan.stride = stride;
        plan.rowBytes = bytesPerRow;
        plan.rowCount = height;
    } else {
        plan.kind = ImageDumpRows::Whole;
    }
    return plan;
}

int COutputLog::WriteImage(IImageDumpSource const& image, char const* key, int pageNo)
{
    // A failed dump ends without the exit line.
    vscore::OperationTrace const trace(*this, 1, "WriteImage");
    std::string const keyText = key ? key : "";
    if (IsWritable(1)) {
        trace.Enter(" pKeyName: %s, pageNo: %d, image = {\n%s}", keyText.c_str(), pageNo,
                    image.GetDescription().c_str());
    }
    bool const wanted =
        dumpsEnabled_ && !logFolder_.empty() &&
        ((keyText == "DumpPostScanDec" && dumpPostScanDec_ > 0) || (keyText == "DumpFinalData" && dumpFinalData_ > 0));
    if (wanted) {
        std::vector<unsigned char> header;
        try {
            header = image.CreateTiffHeader();
            File file(MakeDumpPath(keyText, pageNo));
            // A dump of the same page number replaces the older one.
            file.Remove();
            // Pixels without a header would make no TIFF: nothing is written.
            if (!header.empty()) {
                file.WriteBinary(header.size(), header.data());
            }
            if (!file.Exists()) {
                WriteLog(1, "failed to write tiff header: %d bytes.", static_cast<int>(header.size()));
                return 0;
            }
            unsigned char const* pixels = image.GetPixelsPointer();
            ImageDumpRows const plan = PlanImageDumpRows(image.GetPixelSize(), pixels != nullptr, image.GetHeight(),
                                                         image.GetBytesPerRow(), image.GetRequiredByteSize());
            if (plan.kind == ImageDumpRows::Whole) {
                file.WriteBinary(image.GetPixelSize(), pixels);
            } else if (plan.kind == ImageDumpRows::Rows) {
                // One append per row would reopen the file each time: gather
                // the packed rows in chunks instead.
                std::vector<unsigned char> chunk;
                chunk.reserve(std::min<uint64_t>(plan.rowBytes * plan.rowCount, 1u << 20));
                for (uint32_t row = 0; row < plan.rowCount; ++row) {
                    unsigned char const* start = pixels + row * plan.stride;
                    chunk.insert(chunk.end(), start, start + plan.rowBytes);
                    if (chunk.size() >= (1u << 20) || row + 1 == plan.rowCount) {
                        file.WriteBinary(chunk.size(), chunk.data());
                        chunk.clear();
                    }
                }
            }
        } catch (Exception const& e) {
            // A debugging aid never ends a scan.
            WriteLog(1, "failed to write image dump of page %d: %s", pageNo, e.GetMessage().c_str());
            return 0;
        } catch (std::exception const& e) {
            WriteLog(1, "failed to write image dump of page %d: %s", pageNo, e.what());
            return 0;
        }
    }
    trace.Leave();
    return 0;
}
