// Decode settings of a page: checked access and texts.
#include "VexmorApi/Tasks/DecodeParameter.h"

#include "VexmorApi/Pages/ColorLayout.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/Formatter.h"

namespace {
constexpr char kOrigin[] = "VexmorApi/Tasks/DecodeParameter";
}  // namespace

bool DecodeParameter::Area::IsEqual(Area const& other) const
{
    return x == other.x && y == other.y && width == other.width && height == other.height;
}

std::string DecodeParameter::Area::GetDescription() const
{
    return "{ x: " + std::to_string(x) + ", y: " + std::to_string(y) + ", width: " + std::to_string(width) +
           ", height: " + std::to_string(height) + " }";
}

DecodeParameter::ColorType DecodeParameter::GetColorType() const
{
    if (!colorType_) {
        VEXMOR_THROW(kOrigin, "GetColorType", Exception::InvalidSequence, "ColorType has no value.");
    }
    return *colorType_;
}

uint32_t DecodeParameter::GetHeight() const
{
    if (!height_) {
        VEXMOR_THROW(kOrigin, "GetHeight", Exception::InvalidSequence, "Height has no value.");
    }
    return *height_;
}

bool DecodeParameter::IsEqual(DecodeParameter const& other) const
{
    bool const areas = (!selectedArea_ && !other.selectedArea_) ||
                       (selectedArea_ && other.selectedArea_ && selectedArea_->IsEqual(*other.selectedArea_));
    return resolution_ == other.resolution_ && colorType_ == other.colorType_ && height_ == other.height_ &&
           detectEndOfPage_ == other.detectEndOfPage_ && reversal_ == other.reversal_ && areas;
}

std::string DecodeParameter::GetDescription() const
{
    std::string const color = colorType_ ? color_layout::ColorTypeName(*colorType_, Exception::InvalidMemberVariable,
                                                                       kOrigin, "GetDescription")
                                         : "Any";
    return "resolution: " + std::to_string(resolution_) + "\n" + "colorType: " + color + "\n" +
           "height: " + (height_ ? std::to_string(*height_) : std::string("Any")) + "\n" +
           "detectEndOfPage: " + Formatter::ToString(detectEndOfPage_) + "\n" +
           "reversal: " + Formatter::ToString(reversal_) + "\n" +
           "selectedArea: " + (selectedArea_ ? selectedArea_->GetDescription() : std::string("Any")) + "\n";
}
