// The image-data interface through which the image-processing library
// reaches every image: described by a tagSIPIMAGEINFO, held whole in memory
// (top row first, rows padded to 4 bytes) or read and written row by row.
#pragma once

#include "imagelib/SipTypes.h"
#include "imagelib/VdSipFileRW.h"

class IVdSipImgData : public CVdSipFileRwCRT {
public:
    // Describes the image from an existing file (or from the information
    // given); reading mode.
    virtual int InitializeWithFile(const char* path, tagSIPIMAGEINFO* information) = 0;
    // Prepares a new file of the given description; writing mode.
    virtual int InitializeToFile(const char* path, tagSIPIMAGEINFO* information) = 0;
    // Writes the image in memory to the file of writing mode.
    virtual int SaveImgData() = 0;
    // Whether GetImageDataPtr serves the whole image; else rows come from
    // OpenFile and ReadDataFromFile, one stride at a time, in file order.
    virtual bool IsAvailablePageAccess() = 0;
    virtual int GetImageInfo(tagSIPIMAGEINFO* information) = 0;
    // The image in memory, owned by the object; null when it cannot be had.
    virtual unsigned char* GetImageDataPtr() = 0;
    // Opens the file for row-by-row access (positioned at the first row).
    virtual int OpenFile() = 0;
};
