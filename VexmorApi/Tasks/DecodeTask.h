// The decode task of a page: a JPEG stream into lines, then the lines into a
// bitmap at the decoding resolution, cut to the selected area.
#pragma once

#include <cstdint>
#include <memory>

#include "VexmorApi/Pages/DeviceImageInfo.h"
#include "VexmorApi/Pages/Page.h"
#include "VexmorApi/Tasks/DecodeParameter.h"
#include "VexmorApi/Tasks/Task.h"

namespace vscore {

// Runs once on its own thread (see Task). Decoders are made on the task's
// stack for each call. Failures of the decoders end the task and reach the
// caller of GetResult nested in "Task is failed."; the page then keeps the
// image it held before the failing step.
class DecodeTask : public Task {
public:
    // Keeps the page and a copy of the parameter (which shares its selected
    // area with the caller's).
    DecodeTask(std::shared_ptr<Page> page, DecodeParameter const& decodeParameter);
    ~DecodeTask() override;

    // Waits until finished, then returns the page.
    std::shared_ptr<Page> GetPage();

    // The parameter asks for TrueGray.
    static bool ShouldConvertTo8bit(DecodeParameter const& parameter);
    // Fits the parameter's area, in place (every copy of the parameter sees
    // it), into the width of the received data at the decoding resolution:
    // an area sticking out on the right moves left, a wider one shrinks to
    // the data's width. Empty without an area. Throws InvalidArgument for a
    // resolution of 0 or a data width beyond 32 bits at that resolution.
    static std::shared_ptr<DecodeParameter::Area> GetSelectedAreaForScanDecoder(DecodeParameter const& parameter,
                                                                                DeviceImageInfo const& info);
    // The most rows the decoded page may have: the line count (or the smaller
    // expected height) brought to the decoding resolution, cut to the area's
    // height. Throws InvalidArgument for a device resolution of 0 or a height
    // beyond 32 bits.
    static uint32_t GetOutputMaxHeightForScanDecode(DecodeParameter const& parameter, uint32_t lineCount,
                                                    uint16_t resolutionY,
                                                    std::shared_ptr<DecodeParameter::Area> const& area);
    // The rows the decoded page is expected to have: the area's height, else
    // the expected height when it is to be appended, at the decoding
    // resolution, else 0. Throws as GetOutputMaxHeightForScanDecode.
    static uint32_t GetRequiredHeightForScanDecode(DecodeParameter const& parameter, uint16_t resolutionY,
                                                   std::shared_ptr<DecodeParameter::Area> const& area);

protected:
    // Writes "DecodeLog". 0 done (also for a blank page or one without device
    // data), 1 cancelled before a step; the scan decoder stops between lines
    // once cancelled (Cancelled, see Task).
    int Main() override;

private:
    std::shared_ptr<Page> const page_;
    DecodeParameter const decodeParameter_;
};

}  // namespace vscore
