// The task factory of the engine's scans: the real decode and enhancement
// tasks.
#pragma once

#include "VexmorApi/ImageProcessor/ImageProcessTaskFactory.h"

// Stateless; any thread may call it.
class NormalTaskFactory : public ImageProcessTaskFactory {
public:
    // A vscore::DecodeTask.
    std::shared_ptr<Task> CreateDecodeTask(std::shared_ptr<Page> const& page,
                                           DecodeParameter const& decodeParameter) override;
    // A vscore::ImageEnhanceTask.
    std::shared_ptr<Task> CreateImageEnhanceTask(std::shared_ptr<Page> const& page,
                                                 vscore::_IMAGEPROC_PARAM const& imageProcParam,
                                                 unsigned short resolution) override;
};
