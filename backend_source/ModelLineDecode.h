// Descrambling of model-file lines: a line that opens with "?#" and two key
// characters is stored scrambled; every other line is plain.
#pragma once

// Longest line decode accepts.
constexpr int kModelLineMax = 496;

// Descrambles line in place: 0, or -1 for a line longer than 496 characters,
// which stays as it is. Any thread.
int decode(char* line);
// Writes the descrambled form of source into destination, which must hold
// strlen(source) + 1 bytes; a line that is not scrambled (no "?#" opening, or
// fewer than the four header characters) is copied as it is.
void decode_sub(const char* source, char* destination);

// Character steps of the scrambling. Values above 123 pass every swap
// unchanged; scramble_swap2 and scramble_swap3 also pass values below 32.
int scramble_swap1(int c);  // flips bit 0
int scramble_swap2(int c);  // low two bits 1 <-> 2
int scramble_swap3(int c);  // low two bits 0 <-> 3
int scramble_swap4(int c);  // flips bit 1
int scramble_swap5(int c);  // low two bits 0 <-> 2
int scramble_swap6(int c);  // low two bits 1 <-> 3
int scramble_rev(int c);    // 156 - c
// c + offset brought into 32..124 by at most three steps of 92 each way.
int scramble_add(int c, int offset);
// The whole step of one character of a line of this variant and keys.
int scramble_step(int variant, int k1, int k2, int c);
