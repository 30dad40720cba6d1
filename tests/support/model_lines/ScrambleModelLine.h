// A scrambler for model-file lines, built from the descrambling's character
// step alone (each variant's inverse found by search), so tests can write
// scrambled model files. The test links a copy of the descrambling.
#pragma once

#include <string>

#include "backend_source/ModelLineDecode.h"

// The scrambled form of plain under keys k1, k2: each character c that some
// x in 32..123 steps to becomes that x (the step is injective); characters
// outside 32..123 that no x steps to pass as they are. False when plain holds
// a character neither way can carry.
inline bool Scramble(const std::string& plain, char k1, char k2, std::string* scrambled)
{
    int variant = (static_cast<signed char>(k1) + static_cast<signed char>(k2)) & 7;
    *scrambled = std::string("?#") + k1 + k2;
    for (unsigned char c : plain) {
        int found = -1;
        for (int x = 32; x <= 123 && found < 0; ++x) {
            if (scramble_step(variant, static_cast<signed char>(k1), static_cast<signed char>(k2), x) == c) {
                found = x;
            }
        }
        if (found < 0 && c >= 32 && c <= 123) {
            return false;
        }
        *scrambled += static_cast<char>(found >= 0 ? found : c);
    }
    return true;
}
