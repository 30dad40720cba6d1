// Device nodes, the device array, and opening and closing device handles.
#include "backend_source/Device.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "backend_source/BugChk.h"
#include "backend_source/DebugLog.h"
#include "backend_source/DevCap.h"
#include "backend_source/DriverPaths.h"
#include "backend_source/EnumDev.h"
#include "backend_source/IniFile.h"
#include "backend_source/Options.h"
#include "backend_source/SaneStatus.h"
#include "backend_source/ScanJob.h"
#include "backend_source/VsSdkWrapper.h"

namespace {

constexpr char kSource[] = "device";
constexpr int kIndent = 3;

// One SANE device, in discovery order.
struct TDeviceNode {
    TDeviceNode* next;
    int index;  // entry of the discovery table
    SANE_Device device;
};

struct DeviceBase {
    TDeviceNode* first;
    int count;
};

// Front end's thread only, like everything below.
DeviceBase devBase = {nullptr, 0};
const SANE_Device** g_deviceArray = nullptr;
My_Scanner* g_open = nullptr;  // open handles, newest first
int g_selected = -1;           // the table entry the engine serves, -1 none

void FreeNode(TDeviceNode* node)
{
    bugchk_free(const_cast<char*>(node->device.name), __LINE__, kSource);
    bugchk_free(const_cast<char*>(node->device.vendor), __LINE__, kSource);
    bugchk_free(const_cast<char*>(node->device.model), __LINE__, kSource);
    bugchk_free(const_cast<char*>(node->device.type), __LINE__, kSource);
    bugchk_free(node, __LINE__, kSource);
}

void FreeNodes()
{
    TDeviceNode* node = devBase.first;
    while (node != nullptr) {
        TDeviceNode* next = node->next;
        FreeNode(node);
        node = next;
    }
    devBase.first = nullptr;
    devBase.count = 0;
}

// The SANE name, vendor, model and type of entry by name_type.
void FormNames(const AvailableScanner& entry, int nameType, int* usbCounter, int* netCounter, char* name, size_t size,
               const char** model, const char** type)
{
    bool usb = entry.kind == kUsbScanner;
    UsbAddress address = usb_address_of(entry);
    if (nameType == 1) {
        if (usb) {
            std::snprintf(name, size, "bus%d:%d", address.bus, address.port);
        } else {
            std::snprintf(name, size, "net1:%d", *netCounter);
        }
        *model = entry.displayModel;
        *type = usb ? "USB scanner" : "NET scanner";
    } else if (nameType == 2) {
        if (usb) {
            std::snprintf(name, size, "usb%02d:%s", *usbCounter, entry.modelKey);
        } else {
            std::snprintf(name, size, "net%02d:%s", *netCounter, entry.modelKey);
        }
        *model = entry.displayModel;
        *type = usb ? "USB scanner" : "NET scanner";
    } else {
        if (usb) {
            std::snprintf(name, size, "bus%d;dev%d", address.bus, address.port);
        } else {
            std::snprintf(name, size, "net1;dev%d", *netCounter);
        }
        *model = entry.modelKey;
        *type = usb ? "USB scanner" : entry.displayModel;
    }
    ++*(usb ? usbCounter : netCounter);
}

bool MakeNodes(int nameType)
{
    int usbCounter = 0;
    int netCounter = 0;
    TDeviceNode** link = &devBase.first;
    for (int i = 0; i < get_available_scanner_num(); ++i) {
        const AvailableScanner& entry = *select_available_scanner(i);
        char name[kRegisteredNameSize + 16];
        const char* model = "";
        const char* type = "";
        FormNames(entry, nameType, &usbCounter, &netCounter, name, sizeof name, &model, &type);
        auto* node = static_cast<TDeviceNode*>(bugchk_calloc(1, sizeof(TDeviceNode), __LINE__, kSource));
        if (node == nullptr) {
            return false;
        }
        node->index = i;
        node->device.name = bugchk_strdup(name, __LINE__, kSource);
        node->device.vendor = bugchk_strdup(entry.manufacturer, __LINE__, kSource);
        node->device.model = bugchk_strdup(model, __LINE__, kSource);
        node->device.type = bugchk_strdup(type, __LINE__, kSource);
        *link = node;
        link = &node->next;
        ++devBase.count;
        if (node->device.name == nullptr || node->device.vendor == nullptr || node->device.model == nullptr ||
            node->device.type == nullptr) {
            return false;
        }
        if (set_registored_scanner_name(i, name) != 0) {
            error_detect(kSource, __LINE__);
        }
        writelog(kSource, __LINE__, kIndent, "device %d: %s [%s] [%s] [%s]\n", i, name, node->device.vendor,
                 node->device.model, node->device.type);
    }
    return true;
}

// The engine's selection record of a table entry.
vscore::_VS_SELECT_DEVICE_INFO SelectionOf(int index)
{
    vscore::_VS_SELECT_DEVICE_INFO selection;
    std::memset(&selection, 0, sizeof selection);
    const AvailableScanner* entry = select_available_scanner(index);
    if (entry == nullptr) {
        return selection;
    }
    if (entry->kind == kUsbScanner) {
        UsbAddress address = usb_address_of(*entry);
        selection.typeDeviceIf = vscore::USB;
        selection.typeDeviceId = vscore::UsbId;
        selection.usbId.idVendor = address.idVendor;
        selection.usbId.idProduct = address.idProduct;
    } else {
        selection.typeDeviceIf = vscore::NETWORK;
        selection.typeDeviceId = vscore::NodeNameOrIpAddress;
        std::snprintf(selection.nameDevice, sizeof selection.nameDevice, "%s", entry->registeredName);
        std::snprintf(selection.addrNetwork, sizeof selection.addrNetwork, "%.31s",
                      reinterpret_cast<const char*>(entry->address));
    }
    return selection;
}

SANE_Status SelectEntry(int index)
{
    vscore::_VS_SELECT_DEVICE_INFO selection = SelectionOf(index);
    if (selection.typeDeviceIf == vscore::NETWORK) {
        writelog(kSource, __LINE__, kIndent, "vssdkwrapper_SelectDevice [%s] %s\n", selection.nameDevice,
                 selection.addrNetwork);
    }
    VSRSLT result = vssdkwrapper_SelectDevice(&selection);
    if (result != 0) {
        writelog(kSource, __LINE__, kIndent, "vssdkwrapper_SelectDevice ERROR %x (%s)\n", result,
                 get_registored_scanner_name(index));
        error_detect(kSource, __LINE__);
        g_selected = -1;
        return sane_status_of(result);
    }
    g_selected = index;
    return SANE_STATUS_GOOD;
}

SANE_Status ReadCapabilities(My_Scanner* s)
{
    writelog(kSource, __LINE__, kIndent, "my_get_device_capabilities start \n");
    if (s->devcap == nullptr) {
        writelog(kSource, __LINE__, kIndent, "my_get_device_capabilities ERROR devcap==NULL\n");
        error_detect(kSource, __LINE__);
        return SANE_STATUS_NO_MEM;
    }
    vscore::_VS_SELECT_DEVICE_INFO selection;
    std::memset(&selection, 0, sizeof selection);
    VSRSLT result = vssdkwrapper_GetSelectedDevInfo(&selection);
    if (result != 0) {
        writelog(kSource, __LINE__, kIndent, "vssdkwrapper_GetSelectedDevInfo ERROR %x\n", result);
        error_detect(kSource, __LINE__);
        return sane_status_of(result);
    }
    vscore::tagVS_SCANNER_CAPABILITY_VER1 capability;
    static_assert(sizeof capability == 1096, "the version-1 capability record is 1096 bytes");
    std::memset(static_cast<void*>(&capability), 0xFE, sizeof capability);
    result = vssdkwrapper_QueryDeviceCapabilities(1, &capability);
    if (result != 0) {
        writelog(kSource, __LINE__, kIndent, "vssdkwrapper_QueryDeviceCapabilities ERROR %x\n", result);
        error_detect(kSource, __LINE__);
        return sane_status_of(result);
    }
    writelog(kSource, __LINE__, kIndent, "pDevCapV1->deskew           = %d\n", capability.deskew.cap);
    writelog(kSource, __LINE__, kIndent, "pDevCapV1->autoCrop         = %d\n", capability.autoCrop);
    writelog(kSource, __LINE__, kIndent, "pDevCapV1->multifeedDetect  = %d\n", capability.multifeedDetect);
    writelog(kSource, __LINE__, kIndent, "pDevCapV1->blankRemoval     = %d\n", capability.blankRemoval.cap);
    writelog(kSource, __LINE__, kIndent, "  blankLevel.levelmax = %d\n", capability.blankRemoval.blankLevel.levelMax);
    make_devcap(s->devcap, &capability);
    return SANE_STATUS_GOOD;
}

void FreeHandle(My_Scanner* s)
{
    free_options(s);
    bugchk_free(s->devcap, __LINE__, kSource);
    bugchk_free(s->name, __LINE__, kSource);
    s->~My_Scanner();
    bugchk_free(s, __LINE__, kSource);
}

SANE_Status Open(My_Scanner* s, int index)
{
    writelog(kSource, __LINE__, kIndent, "current scanner   %s \n", s->name);
    SANE_Status status = SelectEntry(index);
    if (status != SANE_STATUS_GOOD) {
        return status;
    }
    writelog(kSource, __LINE__, kIndent, "vssdkwrapper_CheckConnection();\n");
    if (!vssdkwrapper_CheckConnection()) {
        // The device does not answer where it was found.
        writelog(kSource, __LINE__, kIndent, "CheckConnection() [%d] ERROR\n", 0);
        error_detect(kSource, __LINE__);
        return SANE_STATUS_IO_ERROR;
    }
    status = ReadCapabilities(s);
    if (status != SANE_STATUS_GOOD) {
        return status;
    }
    if (init_options(s) != SANE_STATUS_GOOD) {
        error_detect(kSource, __LINE__);
        return SANE_STATUS_INVAL;
    }
    return SANE_STATUS_GOOD;
}

}  // namespace

SANE_Status initializeTDevice()
{
    writelog(kSource, __LINE__, kIndent, "InitializeTDevice");
    FreeNodes();
    int nameType = get_inifile_int_at(driver_ini_path(), "name_type", 0);
    initialize_available_scanners();
    if (!MakeNodes(nameType)) {
        error_detect(kSource, __LINE__);
        FreeNodes();
        clear_available_scanners();
        return SANE_STATUS_NO_MEM;
    }
    writelog(kSource, __LINE__, kIndent, "vssdkwrapper_Initialize();\n");
    VSRSLT result = vssdkwrapper_Initialize(nullptr, false);
    if (result != 0) {
        writelog(kSource, __LINE__, kIndent, "vssdkwrapper_Initialize() ERROR %x\n", result);
        error_detect(kSource, __LINE__);
        vssdkwrapper_UnInitialize();
        FreeNodes();
        clear_available_scanners();
        return SANE_STATUS_INVAL;
    }
    g_selected = -1;
    return SANE_STATUS_GOOD;
}

void freeTDevice()
{
    FreeNodes();
    bugchk_free(g_deviceArray, __LINE__, kSource);
    g_deviceArray = nullptr;
    vssdkwrapper_UnInitialize();
    clear_available_scanners();
    g_selected = -1;
}

SANE_Status device_get_devices(const SANE_Device*** list)
{
    bugchk_free(g_deviceArray, __LINE__, kSource);
    g_deviceArray = static_cast<const SANE_Device**>(
        bugchk_calloc(static_cast<size_t>(devBase.count) + 1, sizeof(SANE_Device*), __LINE__, kSource));
    if (g_deviceArray == nullptr) {
        error_detect(kSource, __LINE__);
        if (list != nullptr) {
            *list = nullptr;
        }
        return SANE_STATUS_NO_MEM;
    }
    int i = 0;
    for (TDeviceNode* node = devBase.first; node != nullptr && i < devBase.count; node = node->next) {
        g_deviceArray[i++] = &node->device;
    }
    if (list != nullptr) {
        *list = g_deviceArray;
    }
    return SANE_STATUS_GOOD;
}

SANE_Status device_open(SANE_String_Const name, SANE_Handle* handle)
{
    writelog(kSource, __LINE__, kIndent, "<<< sane_open start\n");
    if (handle == nullptr) {
        return SANE_STATUS_INVAL;
    }
    *handle = nullptr;
    if (scan_job_owner() != nullptr) {
        writelog(kSource, __LINE__, kIndent, "a scan job is running\n");
        return SANE_STATUS_DEVICE_BUSY;
    }
    int index = -1;
    if (name != nullptr && name[0] != '\0') {
        for (int i = 0; i < get_available_scanner_num() && index < 0; ++i) {
            const char* registered = get_registored_scanner_name(i);
            writelog(kSource, __LINE__, kIndent, "compare  %s %s\n", registered, name);
            if (registered[0] != '\0' && std::strcmp(registered, name) == 0) {
                index = i;
            }
        }
    }
    if (index < 0) {
        error_detect(kSource, __LINE__);
        return SANE_STATUS_INVAL;
    }
    void* memory = bugchk_calloc(1, sizeof(My_Scanner), __LINE__, kSource);
    if (memory == nullptr) {
        return SANE_STATUS_NO_MEM;
    }
    My_Scanner* s = new (memory) My_Scanner();
    s->device = index;
    s->devcap = static_cast<DEVCAP*>(bugchk_calloc(1, sizeof(DEVCAP), __LINE__, kSource));
    s->name = bugchk_strdup(name, __LINE__, kSource);
    SANE_Status status = s->devcap == nullptr || s->name == nullptr ? SANE_STATUS_NO_MEM : Open(s, index);
    writelog(kSource, __LINE__, kIndent, "<<< sane_open end : status = %d", status);
    if (status != SANE_STATUS_GOOD) {
        FreeHandle(s);
        return status;
    }
    s->nextOpen = g_open;
    g_open = s;
    *handle = s;
    return SANE_STATUS_GOOD;
}

void device_close(My_Scanner* s)
{
    scan_end_job(s);
    for (My_Scanner** link = &g_open; *link != nullptr; link = &(*link)->nextOpen) {
        if (*link == s) {
            *link = s->nextOpen;
            break;
        }
    }
    FreeHandle(s);
}

void device_close_all()
{
    while (g_open != nullptr) {
        device_close(g_open);
    }
}

bool device_is_open(SANE_Handle handle)
{
    for (const My_Scanner* s = g_open; s != nullptr; s = s->nextOpen) {
        if (s == handle) {
            return true;
        }
    }
    return false;
}

SANE_Status device_select_for_scan(My_Scanner* s)
{
    if (g_selected == s->device) {
        return SANE_STATUS_GOOD;
    }
    writelog(kSource, __LINE__, kIndent, "the engine serves another device: selecting %s again\n", s->name);
    return SelectEntry(s->device);
}
