// The table of singleton finalizers and its teardown.
#include "VexmorApi/Utilities/Singleton.h"

#include <array>
#include <cassert>
#include <utility>

namespace {

struct FinalizerTable {
    std::mutex mutex;
    std::array<std::function<void()>, SingletonFinalizer::MAX_FINALIZER_SIZE> entries;  // guarded by mutex
    unsigned numFinalizerSize = 0;                                                      // guarded by mutex
};

// Made on first use, so singletons created during static initialisation of
// other files find it ready.
FinalizerTable& Table()
{
    static FinalizerTable table;
    return table;
}

}  // namespace

bool SingletonFinalizer::AddFinalizer(std::function<void()> f)
{
    FinalizerTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    unsigned const numFinalizerSize = table.numFinalizerSize;
    assert(MAX_FINALIZER_SIZE > numFinalizerSize);
    if (numFinalizerSize >= MAX_FINALIZER_SIZE) {
        return false;
    }
    table.entries[numFinalizerSize] = std::move(f);
    table.numFinalizerSize = numFinalizerSize + 1;
    return true;
}

void SingletonFinalizer::Finalize()
{
    std::array<std::function<void()>, MAX_FINALIZER_SIZE> taken;
    unsigned count = 0;
    {
        FinalizerTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        count = table.numFinalizerSize;
        for (unsigned i = 0; i < count; ++i) {
            taken[i] = std::move(table.entries[i]);
            table.entries[i] = nullptr;
        }
        table.numFinalizerSize = 0;
    }
    // Outside the lock: a finalizer may use or create other singletons.
    for (unsigned i = count; i-- > 0;) {
        if (taken[i]) {
            taken[i]();
        }
    }
}
