// Handle-style allocation for the older line-decoding and resolution-change
// code, which allocates, locks, unlocks and frees in that order.
#pragma once

// A handle (a cell holding the block pointer) to a new block of size bytes;
// null when either allocation fails or size is negative. Free with GlobalFree.
void** GlobalAllocFunc(long size);
// The block the handle holds; null for a null handle.
unsigned char* GlobalLock(void** handle);
// Does nothing; returns 1.
int GlobalUnlock(void** handle);
// Releases the block and the handle; a null handle is ignored. Returns 0.
int GlobalFree(void** handle);
// Writes "system" and its terminating zero when buffer holds size >= 7 bytes
// and returns 6; writes nothing and returns 0 otherwise.
int GetSystemDirectory(char* buffer, int size);
