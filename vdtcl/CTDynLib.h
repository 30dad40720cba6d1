// Run-time binding of the stack's libraries: one library handle
// (CTUseDynLib), a library together with the one object its CreateInstance
// made (CTDynLib<T>), and the handle of the calling module (CDynLib_base).
#pragma once

namespace vdtcl {

// One library loaded with dlopen. Owns the handle; the destructor unloads it.
// Used by one thread at a time.
class CTUseDynLib {
public:
    CTUseDynLib() = default;
    CTUseDynLib(const CTUseDynLib&) = delete;
    CTUseDynLib& operator=(const CTUseDynLib&) = delete;
    virtual ~CTUseDynLib();

    // Loads the library and keeps its handle. While a library is loaded its
    // handle is returned whatever the name. Null for a null or empty name or
    // when loading fails. A bare name (no "/") is first left to the dynamic
    // loader's search, then tried in the folder of the running program; a
    // name with "/" is tried once.
    void* LoadDynamicLibrary(const char* name);
    // The same routine under the name the engine's callers use.
    void* LoadDynLib(const char* name) { return LoadDynamicLibrary(name); }

    // Address of an exported symbol of the loaded library; null when none is
    // loaded, the name is null or empty, or the symbol is missing.
    void* GetPtrExportSymbol(const char* name) const;

    // Closes the loaded library. False when none is loaded or dlclose fails;
    // a library that failed to close stays recorded as loaded.
    bool ReleaseDynamicLibrary();

    bool IsLoaded() const { return m_handle != nullptr; }

private:
    void* m_handle = nullptr;  // from dlopen; null when no library is loaded
};

// A library plus the one interface object its exported CreateInstance
// returned. T must have a virtual destructor: the object is deleted through
// it, always before the library is unloaded, so its destructor still runs
// from mapped code.
template <typename T>
class CTDynLib {
public:
    CTDynLib() = default;
    CTDynLib(const CTDynLib&) = delete;
    CTDynLib& operator=(const CTDynLib&) = delete;
    virtual ~CTDynLib() { ReleaseInterface(); }

    // The interface object of the library: loads the library, calls its
    // CreateInstance once and keeps the object; later calls return the same
    // object whatever the name. Null when the library cannot be loaded, has no
    // CreateInstance or that returns null; the library is then unloaded again.
    // The object stays owned by this holder.
    T* GetInterface(const char* name)
    {
        if (m_library.LoadDynamicLibrary(name) == nullptr) {
            return nullptr;
        }
        if (m_interface != nullptr) {
            return m_interface;
        }
        typedef T* (*CreateInstanceFn)();
        void* symbol = m_library.GetPtrExportSymbol("CreateInstance");
        if (symbol != nullptr) {
            m_interface = reinterpret_cast<CreateInstanceFn>(symbol)();
        }
        if (m_interface == nullptr) {
            m_library.ReleaseDynamicLibrary();
        }
        return m_interface;
    }

    // Deletes the interface object (when there is one), then unloads the
    // library; the result is that of the unload.
    bool ReleaseInterface()
    {
        if (m_interface != nullptr) {
            delete m_interface;
            m_interface = nullptr;
        }
        return m_library.ReleaseDynamicLibrary();
    }

private:
    T* m_interface = nullptr;  // owned; null when none
    CTUseDynLib m_library;
};

}  // namespace vdtcl

// The handle of the module that contains the calling code, passed to
// vdtcl::CTModulePath::GenerateModuleFileName. Always null on this platform.
class CDynLib_base {
public:
    CDynLib_base() = default;
    virtual ~CDynLib_base() = default;

    const void* GetMyModuleHandle() const { return m_module; }

private:
    const void* m_module = nullptr;
};
