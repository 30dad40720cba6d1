// Handle-style allocation over malloc.
#include "VexmorApi/Bytes/GlobalMemory.h"

#include <cstdlib>
#include <cstring>

void** GlobalAllocFunc(long size)
{
    if (size < 0) {
        return nullptr;
    }
    void** handle = static_cast<void**>(std::malloc(sizeof(void*)));
    if (handle == nullptr) {
        return nullptr;
    }
    void* block = std::malloc(size == 0 ? 1 : static_cast<size_t>(size));
    if (block == nullptr) {
        std::free(handle);
        return nullptr;
    }
    *handle = block;
    return handle;
}

unsigned char* GlobalLock(void** handle) { return handle ? static_cast<unsigned char*>(*handle) : nullptr; }

int GlobalUnlock(void** /*handle*/) { return 1; }

int GlobalFree(void** handle)
{
    if (handle != nullptr) {
        std::free(*handle);
        std::free(handle);
    }
    return 0;
}

int GetSystemDirectory(char* buffer, int size)
{
    static char const kName[] = "system";
    if (buffer == nullptr || size < static_cast<int>(sizeof kName)) {
        return 0;
    }
    std::memcpy(buffer, kName, sizeof kName);
    return static_cast<int>(sizeof kName) - 1;
}
