// The seam through which the per-page scheduler makes the two tasks of every
// page. The engine uses the real decode and enhancement tasks (NormalTaskFactory,
// the default of ImageProcessor_Normal); tests hand the scheduler a factory of
// their own (tests/support/fake_tasks has one that records each call and runs
// scripted tasks).
#pragma once

#include <memory>

#include "VexmorApi/Pages/Page.h"
#include "VexmorApi/Tasks/DecodeParameter.h"
#include "VexmorApi/Tasks/Task.h"
#include "VexmorApi/Temp/ImageProcParam.h"

// Both operations are called on the page's own processing thread, by several
// pages at the same time, so an implementation must be safe to call
// concurrently. Each returns a new task that has not been started (never
// empty); the scheduler adds it to its queue, which starts it, waits for it
// and reads its result: 1 means the task was cancelled, any other value done;
// an exception that ends the task fails the page. The scheduler keeps the
// task, and what it refers to, until the scheduler is destroyed or drops its
// pages, and cancels it through Task::Cancel.
class ImageProcessTaskFactory {
public:
    virtual ~ImageProcessTaskFactory() = default;

    // The task that decodes the page's device data into its bitmap.
    virtual std::shared_ptr<Task> CreateDecodeTask(std::shared_ptr<Page> const& page,
                                                   DecodeParameter const& decodeParameter) = 0;
    // The task that enhances the page's bitmap and brings it to resolution dpi.
    virtual std::shared_ptr<Task> CreateImageEnhanceTask(std::shared_ptr<Page> const& page,
                                                         vscore::_IMAGEPROC_PARAM const& imageProcParam,
                                                         unsigned short resolution) = 0;
};
