// The mark of the image-processing library's exported C entry points: the
// only symbols of the library with default visibility.
#pragma once

#define VDIP_EXPORT __attribute__((visibility("default")))
