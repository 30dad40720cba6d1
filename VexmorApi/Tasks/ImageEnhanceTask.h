// The enhancement task of a page: enhancement and blank detection of the
// decoded bitmap, then its resolution change to the output resolution.
#pragma once

#include <cstdint>
#include <memory>

#include "VexmorApi/Pages/Page.h"
#include "VexmorApi/Tasks/Task.h"
#include "VexmorApi/Temp/ImageProcParam.h"

namespace vscore {

// Runs once on its own thread (see Task). The enhancement object is made on
// the task's stack for the call. Failures of the enhancement and of the
// resolution change end the task and reach the caller of GetResult nested in
// "Task is failed."; the page then keeps the image it held before the
// failing step.
class ImageEnhanceTask : public Task {
public:
    // Keeps the page, a copy of the parameters and the output resolution.
    ImageEnhanceTask(std::shared_ptr<Page> page, _IMAGEPROC_PARAM const& imageProcParam, uint16_t resolution);
    ~ImageEnhanceTask() override;

    // Waits until finished, then returns the page.
    std::shared_ptr<Page> GetPage();

protected:
    // Writes "ImageEnhanceLog". 0 done (a page found blank is marked so and
    // keeps no image), 1 cancelled before a step; the resolution change
    // stops between rows once cancelled (Cancelled, see Task).
    int Main() override;

private:
    std::shared_ptr<Page> const page_;
    _IMAGEPROC_PARAM const imageProcParam_;
    uint16_t const resolution_;
};

}  // namespace vscore
