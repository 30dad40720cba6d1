// Lazily created process-wide services that the engine tears down all at once:
// Singleton<T> makes the instance on first use and registers its destruction
// with SingletonFinalizer, whose Finalize destroys them newest first.
#pragma once

#include <functional>
#include <mutex>

class SingletonFinalizer {
public:
    static constexpr unsigned MAX_FINALIZER_SIZE = 256;

    // Registers f to run at the next Finalize. Answers false, and drops f,
    // when the table already holds MAX_FINALIZER_SIZE entries (a programming
    // error, asserted in debug builds). Any thread may call it.
    static bool AddFinalizer(std::function<void()> f);

    // Runs the registered functions, last registered first, and empties the
    // table. The table is taken out before the first one runs, so a function
    // registered meanwhile stays for the next Finalize. Call it when no other
    // thread still uses the singletons.
    static void Finalize();
};

// Base of a process-wide service T (a non-public base; T befriends it so that
// it may construct and delete T). Reach the instance through GetInstance().
template <typename T>
class Singleton {
public:
    // The instance, created on first use; concurrent first uses create one.
    // The pointer stays valid until Finalize or Destroy. When T's constructor
    // throws, the exception passes through and the next call tries again.
    static T* GetInstance()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!created_) {
            Create();
            created_ = true;
        }
        return instance_;
    }

    // Deletes the instance; the next GetInstance makes a new one.
    static void Destroy()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        created_ = false;
        delete instance_;
        instance_ = nullptr;
    }

protected:
    Singleton() = default;
    virtual ~Singleton() = default;
    Singleton(Singleton const&) = delete;
    Singleton& operator=(Singleton const&) = delete;

private:
    // Runs under mutex_.
    static void Create()
    {
        T* made = new T();
        instance_ = made;
        SingletonFinalizer::AddFinalizer(&Singleton<T>::Destroy);
    }

    inline static std::mutex mutex_;
    inline static bool created_ = false;   // guarded by mutex_
    inline static T* instance_ = nullptr;  // guarded by mutex_
};
