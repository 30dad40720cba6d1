// How a page is to be decoded: output resolution and colour type, the
// expected height, end-of-page and turning flags, and the selected area.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// A value that copies cheaply; used by one thread at a time. Copies share
// the selected area: a change through one copy's area is seen by all.
class DecodeParameter {
public:
    enum ColorType : int32_t { BlackAndWhite = 0, Gray = 1, TrueGray = 2, Color = 3 };

    // A rectangle in pixels of the decoded image.
    struct Area {
        uint32_t x = 0;
        uint32_t y = 0;
        uint32_t width = 0;
        uint32_t height = 0;
        // All four fields equal.
        bool IsEqual(Area const& other) const;
        // "{ x: 1, y: 2, width: 3, height: 4 }"
        std::string GetDescription() const;
    };

    // Resolution 0, no colour type, no height, both flags false, no area.
    DecodeParameter() = default;
    virtual ~DecodeParameter() = default;
    DecodeParameter(DecodeParameter const&) = default;
    DecodeParameter& operator=(DecodeParameter const&) = default;

    // Dots per inch that the page is decoded to.
    uint16_t GetResolution() const { return resolution_; }
    void SetResolution(uint16_t resolution) { resolution_ = resolution; }
    bool HasColorType() const { return colorType_.has_value(); }
    // Throws InvalidSequence "ColorType has no value." without one.
    ColorType GetColorType() const;
    void SetColorType(ColorType colorType) { colorType_ = colorType; }
    // The expected page height in device lines.
    bool HasHeight() const { return height_.has_value(); }
    // Throws InvalidSequence "Height has no value." without one.
    uint32_t GetHeight() const;
    void SetHeight(uint32_t height) { height_ = height; }
    // The device finds the end of the page itself.
    bool GetDetectEndOfPage() const { return detectEndOfPage_; }
    void SetDetectEndOfPage(bool detect) { detectEndOfPage_ = detect; }
    // The page is turned by half a turn while decoding.
    bool GetReversal() const { return reversal_; }
    void SetReversal(bool reversal) { reversal_ = reversal; }
    // The area shared by all copies; empty when none is set.
    std::shared_ptr<Area> GetSelectedArea() const { return selectedArea_; }
    // Stores a new area of this object's own (copies made before keep theirs).
    void SetSelectedArea(Area const& area) { selectedArea_ = std::make_shared<Area>(area); }

    // A height is given and the device does not find the end of the page.
    bool WillAppendHeight() const { return height_.has_value() && !detectEndOfPage_; }
    // Equal values, and both without an area or both with equal areas.
    bool IsEqual(DecodeParameter const& other) const;
    // "resolution: ", "colorType: ", "height: ", "detectEndOfPage: ",
    // "reversal: ", "selectedArea: " lines ("Any" for an absent value).
    // Throws InvalidMemberVariable "Invalid enum value: " for a colour type
    // outside 0-3.
    std::string GetDescription() const;

private:
    uint16_t resolution_ = 0;
    std::optional<ColorType> colorType_;
    std::optional<uint32_t> height_;
    bool detectEndOfPage_ = false;
    bool reversal_ = false;
    std::shared_ptr<Area> selectedArea_;
};
