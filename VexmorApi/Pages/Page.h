// One scanned page as the engine keeps it. So far only the device's automatic
// colour result that the enhancement parameters read.
#pragma once

#include <cstdint>

class Page {
public:
    // What the device detected for the page; values outside 1..3 mean none.
    enum AutoColorResult : int32_t {
        AutoColorNone = 0,
        AutoColorBlackAndWhite = 1,
        AutoColorGray = 2,
        AutoColorColor = 3,
    };

    virtual ~Page() = default;
};
