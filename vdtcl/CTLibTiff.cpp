// The libtiff binder: loads the library by file name and writes pages
// through TIFFSetField and TIFFWriteScanline.
#include "vdtcl/CTLibTiff.h"

namespace vdtcl {

namespace {

// Tags and values written.
constexpr uint32_t kTagImageWidth = 256;
constexpr uint32_t kTagImageLength = 257;
constexpr uint32_t kTagBitsPerSample = 258;
constexpr uint32_t kTagCompression = 259;
constexpr uint32_t kTagPhotometric = 262;
constexpr uint32_t kTagFillOrder = 266;
constexpr uint32_t kTagOrientation = 274;
constexpr uint32_t kTagSamplesPerPixel = 277;
constexpr uint32_t kTagRowsPerStrip = 278;
constexpr uint32_t kTagXResolution = 282;
constexpr uint32_t kTagYResolution = 283;
constexpr uint32_t kTagPlanarConfig = 284;
constexpr uint32_t kTagResolutionUnit = 296;
constexpr int kPhotometricMinIsWhite = 0;
constexpr int kPhotometricMinIsBlack = 1;
constexpr int kPhotometricRgb = 2;
constexpr int kCompressionPackBits = 32773;
constexpr int kResolutionUnitInch = 2;

// Debian 12 and later ship only the last one.
const char* const kLibraryNames[] = {"libtiff.so.5", "libtiff.so.3", "libtiff.so.6", nullptr};

int CompressionTagValue(CTLibTiff::tiff_comp_t comp)
{
    switch (comp) {
    case CTLibTiff::kCompHuffman:
    case CTLibTiff::kCompGroup3:
    case CTLibTiff::kCompGroup4:
    case CTLibTiff::kCompLzw:
        return comp;
    case CTLibTiff::kCompJpeg:
        return 7;
    case CTLibTiff::kCompPackBits:
        return kCompressionPackBits;
    default:
        return 1;
    }
}

}  // namespace

std::atomic<const char* const*> CTLibTiff::s_namesOverride{nullptr};

CTLibTiff::~CTLibTiff() { ReleaseLibTiff(); }

bool CTLibTiff::LoadLibTiff()
{
    if (m_bound) {
        return true;
    }
    const char* const* names = s_namesOverride.load();
    if (names == nullptr) {
        names = kLibraryNames;
    }
    for (; *names != nullptr; ++names) {
        if (m_library.LoadDynamicLibrary(*names) == nullptr) {
            continue;
        }
        void* open = m_library.GetPtrExportSymbol("TIFFOpen");
        void* close = m_library.GetPtrExportSymbol("TIFFClose");
        void* setField = m_library.GetPtrExportSymbol("TIFFSetField");
        void* vSetField = m_library.GetPtrExportSymbol("TIFFVSetField");
        void* writeScanline = m_library.GetPtrExportSymbol("TIFFWriteScanline");
        void* writeStrip = m_library.GetPtrExportSymbol("TIFFWriteEncodedStrip");
        void* writeDirectory = m_library.GetPtrExportSymbol("TIFFWriteDirectory");
        if (open && close && setField && vSetField && writeScanline && writeStrip && writeDirectory) {
            m_open = reinterpret_cast<decltype(m_open)>(open);
            m_close = reinterpret_cast<decltype(m_close)>(close);
            m_setField = reinterpret_cast<decltype(m_setField)>(setField);
            m_vSetField = vSetField;
            m_writeScanline = reinterpret_cast<decltype(m_writeScanline)>(writeScanline);
            m_writeEncodedStrip = reinterpret_cast<decltype(m_writeEncodedStrip)>(writeStrip);
            m_writeDirectory = reinterpret_cast<decltype(m_writeDirectory)>(writeDirectory);
            m_bound = true;
            return true;
        }
        m_library.ReleaseDynamicLibrary();
    }
    return false;
}

void CTLibTiff::ReleaseLibTiff()
{
    CloseTiffFile();
    m_library.ReleaseDynamicLibrary();
    m_bound = false;
    m_open = nullptr;
    m_close = nullptr;
    m_setField = nullptr;
    m_vSetField = nullptr;
    m_writeScanline = nullptr;
    m_writeEncodedStrip = nullptr;
    m_writeDirectory = nullptr;
}

bool CTLibTiff::OpenTiffFile(const char* path)
{
    if (!m_bound || m_tiff != nullptr || path == nullptr || *path == '\0') {
        return false;
    }
    m_tiff = m_open(path, "w");
    return m_tiff != nullptr;
}

void CTLibTiff::CloseTiffFile()
{
    if (m_tiff == nullptr) {
        return;
    }
    m_close(m_tiff);
    m_tiff = nullptr;
}

bool CTLibTiff::SetTiffInfo(tiff_color_t color, tiff_comp_t comp, tiff_info_t& info)
{
    if (!m_bound || m_tiff == nullptr || info.width <= 0 || info.height <= 0) {
        return false;
    }
    // Small values travel as int, as variadic 16-bit arguments do; the
    // resolutions as double.
    const uint32_t width = static_cast<uint32_t>(info.width);
    const uint32_t height = static_cast<uint32_t>(info.height);
    bool ok = m_setField(m_tiff, kTagFillOrder, 1) == 1;
    ok = m_setField(m_tiff, kTagOrientation, 1) == 1 && ok;
    ok = m_setField(m_tiff, kTagImageWidth, width) == 1 && ok;
    ok = m_setField(m_tiff, kTagImageLength, height) == 1 && ok;
    ok = m_setField(m_tiff, kTagRowsPerStrip, height) == 1 && ok;
    switch (color) {
    case kColorBilevel:
        ok = m_setField(m_tiff, kTagBitsPerSample, 1) == 1 && ok;
        ok = m_setField(m_tiff, kTagSamplesPerPixel, 1) == 1 && ok;
        ok = m_setField(m_tiff, kTagPhotometric,
                        info.setBitIsBlack ? kPhotometricMinIsWhite : kPhotometricMinIsBlack) == 1 &&
             ok;
        break;
    case kColorGray8:
        ok = m_setField(m_tiff, kTagBitsPerSample, 8) == 1 && ok;
        ok = m_setField(m_tiff, kTagSamplesPerPixel, 1) == 1 && ok;
        ok = m_setField(m_tiff, kTagPhotometric, kPhotometricMinIsBlack) == 1 && ok;
        ok = m_setField(m_tiff, kTagPlanarConfig, 1) == 1 && ok;
        break;
    case kColorRgb24:
        ok = m_setField(m_tiff, kTagBitsPerSample, 8) == 1 && ok;
        ok = m_setField(m_tiff, kTagSamplesPerPixel, 3) == 1 && ok;
        ok = m_setField(m_tiff, kTagPhotometric, kPhotometricRgb) == 1 && ok;
        ok = m_setField(m_tiff, kTagPlanarConfig, 1) == 1 && ok;
        break;
    default:
        break;
    }
    ok = m_setField(m_tiff, kTagCompression, CompressionTagValue(comp)) == 1 && ok;
    ok = m_setField(m_tiff, kTagResolutionUnit, kResolutionUnitInch) == 1 && ok;
    ok = m_setField(m_tiff, kTagXResolution, static_cast<double>(info.dpiX)) == 1 && ok;
    ok = m_setField(m_tiff, kTagYResolution, static_cast<double>(info.dpiY)) == 1 && ok;
    return ok;
}

bool CTLibTiff::WriteTiffScanline(unsigned char* row, unsigned index)
{
    if (!m_bound || m_tiff == nullptr || row == nullptr) {
        return false;
    }
    return m_writeScanline(m_tiff, row, index, 0) > 0;
}

bool CTLibTiff::WriteTiffEncodedStrip(unsigned char* data, unsigned long length)
{
    if (!m_bound || m_tiff == nullptr || data == nullptr || length == 0 || length > INT64_MAX) {
        return false;
    }
    return m_writeEncodedStrip(m_tiff, 0, data, static_cast<int64_t>(length)) > 0;
}

bool CTLibTiff::WriteTiffDirectory()
{
    if (!m_bound || m_tiff == nullptr) {
        return false;
    }
    return m_writeDirectory(m_tiff) > 0;
}

}  // namespace vdtcl
