// The real page tasks for the scheduler.
#include "VexmorApi/ImageProcessor/NormalTaskFactory.h"

#include "VexmorApi/Tasks/DecodeTask.h"
#include "VexmorApi/Tasks/ImageEnhanceTask.h"

std::shared_ptr<Task> NormalTaskFactory::CreateDecodeTask(std::shared_ptr<Page> const& page,
                                                          DecodeParameter const& decodeParameter)
{
    return std::make_shared<vscore::DecodeTask>(page, decodeParameter);
}

std::shared_ptr<Task> NormalTaskFactory::CreateImageEnhanceTask(std::shared_ptr<Page> const& page,
                                                                vscore::_IMAGEPROC_PARAM const& imageProcParam,
                                                                unsigned short resolution)
{
    return std::make_shared<vscore::ImageEnhanceTask>(page, imageProcParam, resolution);
}
