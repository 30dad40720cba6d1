// The SANE entry points of the backend "vordane5", each exported under its
// plain name and with the prefix sane_vordane5_. Front ends call them from
// one thread; sane_cancel may also come from a signal handler.
#include <sane/sane.h>

#include "backend_source/BugChk.h"
#include "backend_source/DebugLog.h"
#include "backend_source/Device.h"
#include "backend_source/DriverPaths.h"
#include "backend_source/Options.h"
#include "backend_source/ScanJob.h"
#include "backend_source/sanei/DebugMessage.h"

#define VORDANE5_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr char kSource[] = "vordane5";
constexpr SANE_Int kVersionCode = SANE_VERSION_CODE(1, 0, 1);

bool g_initialised = false;  // front end's thread

My_Scanner* HandleOf(SANE_Handle handle) { return device_is_open(handle) ? static_cast<My_Scanner*>(handle) : nullptr; }

}  // namespace

VORDANE5_EXPORT void sane_vordane5_exit(void);

VORDANE5_EXPORT SANE_Status sane_vordane5_init(SANE_Int* version_code, SANE_Auth_Callback)
{
    if (g_initialised) {
        sane_vordane5_exit();
    }
    if (version_code != nullptr) {
        *version_code = kVersionCode;
    }
    DBG_INIT();
    DBG(2, " version: %lx\n", static_cast<unsigned long>(kVersionCode));
    loging_start_at(driver_ini_path(), driver_log_path());
    bugchk_start_at(driver_ini_path());
    writelog(kSource, __LINE__, 0, "<<< sane_init start >>> ");
    SANE_Status status = initializeTDevice();
    if (status != SANE_STATUS_GOOD) {
        error_detect(kSource, __LINE__);
        return SANE_STATUS_INVAL;
    }
    g_initialised = true;
    writelog(kSource, __LINE__, 0, "<<< sane_init end >>> ");
    return SANE_STATUS_GOOD;
}

VORDANE5_EXPORT void sane_vordane5_exit(void)
{
    writelog(kSource, __LINE__, 0, "<<< sane_exit start >>> ");
    device_close_all();
    freeTDevice();
    bugchk_end();
    g_initialised = false;
    writelog(kSource, __LINE__, 0, "<<< sane_exit end >>> ");
}

VORDANE5_EXPORT SANE_Status sane_vordane5_get_devices(const SANE_Device*** device_list, SANE_Bool)
{
    return device_get_devices(device_list);
}

VORDANE5_EXPORT SANE_Status sane_vordane5_open(SANE_String_Const name, SANE_Handle* handle)
{
    return device_open(name, handle);
}

VORDANE5_EXPORT void sane_vordane5_close(SANE_Handle handle)
{
    if (My_Scanner* s = HandleOf(handle)) {
        device_close(s);
    }
}

VORDANE5_EXPORT const SANE_Option_Descriptor* sane_vordane5_get_option_descriptor(SANE_Handle handle, SANE_Int n)
{
    My_Scanner* s = HandleOf(handle);
    if (s == nullptr || n < 0 || n >= NUM_OPTIONS) {
        return nullptr;
    }
    return &s->opt[n];
}

VORDANE5_EXPORT SANE_Status sane_vordane5_control_option(SANE_Handle handle, SANE_Int n, SANE_Action action,
                                                         void* value, SANE_Int* info)
{
    if (info != nullptr) {
        *info = 0;
    }
    My_Scanner* s = HandleOf(handle);
    if (s == nullptr || n < 0 || n >= NUM_OPTIONS) {
        return SANE_STATUS_INVAL;
    }
    switch (action) {
    case SANE_ACTION_GET_VALUE:
        return get_option(s, n, value);
    case SANE_ACTION_SET_VALUE:
        return set_option(s, n, value, info);
    case SANE_ACTION_SET_AUTO:
        return SANE_STATUS_UNSUPPORTED;
    default:
        return SANE_STATUS_GOOD;
    }
}

VORDANE5_EXPORT SANE_Status sane_vordane5_get_parameters(SANE_Handle handle, SANE_Parameters* params)
{
    My_Scanner* s = HandleOf(handle);
    if (s == nullptr || params == nullptr) {
        return SANE_STATUS_INVAL;
    }
    return my_sane_get_parameters(s, params);
}

VORDANE5_EXPORT SANE_Status sane_vordane5_start(SANE_Handle handle)
{
    writelog(kSource, __LINE__, 0, "<<< sane_start start >>> ");
    My_Scanner* s = HandleOf(handle);
    if (s == nullptr) {
        return SANE_STATUS_INVAL;
    }
    update_parameters(s);
    SANE_Status status = scan_start(s);
    // Only a start that gave a page scans; after a failure the frame is the
    // options' estimate again.
    s->scanning = status == SANE_STATUS_GOOD;
    s->read_count = 0;
    writelog(kSource, __LINE__, 0, "<<< sane_start End %d >>> ", status);
    return status;
}

VORDANE5_EXPORT SANE_Status sane_vordane5_read(SANE_Handle handle, SANE_Byte* data, SANE_Int max_length,
                                               SANE_Int* length)
{
    My_Scanner* s = HandleOf(handle);
    if (s == nullptr) {
        if (length != nullptr) {
            *length = 0;
        }
        return SANE_STATUS_INVAL;
    }
    SANE_Status status = scan_read(s, data, max_length, length);
    if (status == SANE_STATUS_GOOD) {
        ++s->read_count;
    } else {
        if (s->read_count != 0) {
            writelog(kSource, __LINE__, 0, "sane_read(1)  x %d \n", s->read_count);
        }
        s->read_count = 0;
        writelog(kSource, __LINE__, 0, "<<< sane_read  >>>  return %x", status);
    }
    return status;
}

// Only sets the handle's cancel flag (safe in a signal handler); the reader
// and the handle's next call act on it.
VORDANE5_EXPORT void sane_vordane5_cancel(SANE_Handle handle)
{
    if (handle != nullptr) {
        scan_cancel(static_cast<My_Scanner*>(handle));
    }
}

VORDANE5_EXPORT SANE_Status sane_vordane5_set_io_mode(SANE_Handle handle, SANE_Bool non_blocking)
{
    if (HandleOf(handle) == nullptr) {
        return SANE_STATUS_INVAL;
    }
    return non_blocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

VORDANE5_EXPORT SANE_Status sane_vordane5_get_select_fd(SANE_Handle, SANE_Int*) { return SANE_STATUS_UNSUPPORTED; }

// The plain names forward to the prefixed ones.
VORDANE5_EXPORT SANE_Status sane_init(SANE_Int* version_code, SANE_Auth_Callback authorize)
{
    return sane_vordane5_init(version_code, authorize);
}
VORDANE5_EXPORT void sane_exit(void) { sane_vordane5_exit(); }
VORDANE5_EXPORT SANE_Status sane_get_devices(const SANE_Device*** device_list, SANE_Bool local_only)
{
    return sane_vordane5_get_devices(device_list, local_only);
}
VORDANE5_EXPORT SANE_Status sane_open(SANE_String_Const name, SANE_Handle* handle)
{
    return sane_vordane5_open(name, handle);
}
VORDANE5_EXPORT void sane_close(SANE_Handle handle) { sane_vordane5_close(handle); }
VORDANE5_EXPORT const SANE_Option_Descriptor* sane_get_option_descriptor(SANE_Handle handle, SANE_Int n)
{
    return sane_vordane5_get_option_descriptor(handle, n);
}
VORDANE5_EXPORT SANE_Status sane_control_option(SANE_Handle handle, SANE_Int n, SANE_Action action, void* value,
                                                SANE_Int* info)
{
    return sane_vordane5_control_option(handle, n, action, value, info);
}
VORDANE5_EXPORT SANE_Status sane_get_parameters(SANE_Handle handle, SANE_Parameters* params)
{
    return sane_vordane5_get_parameters(handle, params);
}
VORDANE5_EXPORT SANE_Status sane_start(SANE_Handle handle) { return sane_vordane5_start(handle); }
VORDANE5_EXPORT SANE_Status sane_read(SANE_Handle handle, SANE_Byte* data, SANE_Int max_length, SANE_Int* length)
{
    return sane_vordane5_read(handle, data, max_length, length);
}
VORDANE5_EXPORT void sane_cancel(SANE_Handle handle) { sane_vordane5_cancel(handle); }
VORDANE5_EXPORT SANE_Status sane_set_io_mode(SANE_Handle handle, SANE_Bool non_blocking)
{
    return sane_vordane5_set_io_mode(handle, non_blocking);
}
VORDANE5_EXPORT SANE_Status sane_get_select_fd(SANE_Handle handle, SANE_Int* fd)
{
    return sane_vordane5_get_select_fd(handle, fd);
}
