// TIFF files of decoded pages for the image dumps: the 180-byte big-endian
// header of an uncompressed single-strip image, whole files in memory, and
// a set of little-endian directory samples. Stateless: any thread may call
// every operation at the same time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BitmapImage;
class ImageInfo;

class TIFFCreator {
public:
    // One unsigned number in host byte order, put into a file in the byte
    // order the file needs.
    struct Bytes2 {
        uint16_t value;
        void PutBigEndian(unsigned char* to) const;
        void AppendLittleEndian(std::vector<unsigned char>& to) const;
    };
    struct Bytes4 {
        uint32_t value;
        void PutBigEndian(unsigned char* to) const;
        void AppendLittleEndian(std::vector<unsigned char>& to) const;
    };

    // Bytes a caller of GetTIFFHeader provides; the length of every header.
    static constexpr size_t kHeaderBufferSize = 256;
    static constexpr uint16_t kHeaderSize = 180;

    TIFFCreator() = delete;

    // The header of the page (empty for a colour type other than 0 to 3);
    // the packed pixel rows follow it directly.
    static std::vector<unsigned char> CreateHeader(ImageInfo const& info);
    // Clears kHeaderBufferSize bytes of buffer and writes the header there;
    // size becomes its length (0 for another colour type or a null buffer).
    static void GetTIFFHeader(ImageInfo const& info, unsigned char* buffer, uint16_t& size);
    // The header and then the pixels, padded rows (a stride that is a
    // multiple of 4 and covers the packed row) without their padding, other
    // blocks whole; height 0 gives the header only, a colour type without a
    // header nothing. pixels must hold byteSize bytes.
    static std::vector<unsigned char> CreateTIFF(ImageInfo const& info, uint64_t byteSize, unsigned char const* pixels);
    // The same for a bitmap's pixels (loaded from its file when stored
    // there). Errors of the bitmap pass through.
    static std::vector<unsigned char> CreateTIFF(BitmapImage& image);

    // Little-endian samples of a fixed 600 x 800 RGB directory.
    static std::vector<unsigned char> GetHeader();
    static std::vector<unsigned char> GetTagCount();
    static std::vector<unsigned char> GetNextIFDPosition();
    static std::vector<unsigned char> GetImageWidthTag();
    static std::vector<unsigned char> GetImageHeightTag();
    static std::vector<unsigned char> GetBitsPerSampleTag();
    static std::vector<unsigned char> GetPhotometricInterpretationTag();
    static std::vector<unsigned char> GetStripOffsetsTag();
    static std::vector<unsigned char> GetRowsPerStripTag();
    static std::vector<unsigned char> GetStripByteCountsTag();
    static std::vector<unsigned char> GetXResolusionTag();
    static std::vector<unsigned char> GetYResolusionTag();
    // The count, the nine sample entries and the next-directory offset; the
    // argument is not used.
    static std::vector<unsigned char> GetIFD(ImageInfo const& info);
    // Appends source to destination.
    static void AddData(std::vector<unsigned char>& destination, std::vector<unsigned char> const& source);
};
