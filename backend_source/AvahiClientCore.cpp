// The Avahi browse: a simple poll loop on the caller's thread with a client,
// one service browser and a resolver per announced service, and the list of
// services it fills.
#include "backend_source/AvahiClientCore.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>
#include <strings.h>

#include <chrono>
#include <cstring>
#include <new>
#include <vector>

#include "backend_source/BugChk.h"
#include "backend_source/DebugLog.h"

namespace {

constexpr char kSource[] = "avahi";
constexpr int kGrowth = 16;
constexpr char kMaker[] = "mfg=Vordane";
constexpr char kModelKey[] = "mdl=";
constexpr size_t kTxtModelSize = 256;  // a TXT string holds at most 255 bytes

struct Browse {
    AvahiSimplePoll* poll = nullptr;
    AvahiClient* client = nullptr;
    AvahiDeviceList* list = nullptr;
    AvahiLogStyle style = kBackendAvahiLog;
    int pending = 0;  // resolvers started and not yet answered
    bool allForNow = false;
    bool failed = false;
};

void QuitWhenDone(Browse* browse)
{
    if (browse->failed || (browse->allForNow && browse->pending == 0)) {
        avahi_simple_poll_quit(browse->poll);
    }
}

void ResolverCallback(AvahiServiceResolver* resolver, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event,
                      const char* name, const char* type, const char* domain, const char*, const AvahiAddress* address,
                      uint16_t, AvahiStringList* txt, AvahiLookupResultFlags, void* userdata)
{
    auto* browse = static_cast<Browse*>(userdata);
    if (event == AVAHI_RESOLVER_FOUND) {
        char text[AVAHI_ADDRESS_STR_MAX] = "";
        if (address != nullptr && address->proto == AVAHI_PROTO_INET) {
            avahi_address_snprint(text, sizeof text, address);
            std::vector<TxtString> strings;
            for (AvahiStringList* s = txt; s != nullptr; s = avahi_string_list_get_next(s)) {
                strings.push_back(TxtString{avahi_string_list_get_text(s), avahi_string_list_get_size(s)});
            }
            char model[kTxtModelSize];
            if (walk_txt_strings(strings.data(), strings.size(), model, sizeof model)) {
                // A refused record is skipped; the services listed so far stay.
                register_avahi_device_list(model, text, name != nullptr ? name : "", browse->list, browse->style);
            }
        } else {
            writelog(kSource, __LINE__, browse->style.indent, "service '%s' has no IPv4 address\n", name);
        }
    } else {
        writelog(kSource, __LINE__, browse->style.indent,
                 "callbackfunc__service_resolver -> AVAHI_RESOLVER_FAILURE:'%s' : type='%s' : domainname='%s': %s\n",
                 name, type, domain, avahi_strerror(avahi_client_errno(browse->client)));
    }
    avahi_service_resolver_free(resolver);
    --browse->pending;
    QuitWhenDone(browse);
}

void BrowserCallback(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol, AvahiBrowserEvent event,
                     const char* name, const char* type, const char* domain, AvahiLookupResultFlags, void* userdata)
{
    auto* browse = static_cast<Browse*>(userdata);
    switch (event) {
    case AVAHI_BROWSER_FAILURE:
        writelog(kSource, __LINE__, browse->style.indent, "callbackfunc__service_browser -> AVAHI_BROWSER_FAILURE:%s\n",
                 avahi_strerror(avahi_client_errno(browse->client)));
        browse->failed = true;
        break;
    case AVAHI_BROWSER_NEW:
        // Addresses are IPv4 only: the resolver asks for A records.
        if (avahi_service_resolver_new(browse->client, interface, protocol, name, type, domain, AVAHI_PROTO_INET,
                                       static_cast<AvahiLookupFlags>(0), ResolverCallback, browse) == nullptr) {
            writelog(kSource, __LINE__, browse->style.indent,
                     "callbackfunc__service_browser-> AVAHI_BROWSER_NEW: '%s': %s\n", name,
                     avahi_strerror(avahi_client_errno(browse->client)));
        } else {
            ++browse->pending;
        }
        break;
    case AVAHI_BROWSER_REMOVE:
        writelog(kSource, __LINE__, browse->style.indent,
                 "callbackfunc__service_browser -> AVAHI_BROWSER_REMOVE:service='%s' : type='%s': domainname='%s'\n",
                 name, type, domain);
        break;
    case AVAHI_BROWSER_ALL_FOR_NOW:
        browse->allForNow = true;
        break;
    case AVAHI_BROWSER_CACHE_EXHAUSTED:
        break;
    }
    QuitWhenDone(browse);
}

void ClientCallback(AvahiClient* client, AvahiClientState state, void* userdata)
{
    auto* browse = static_cast<Browse*>(userdata);
    writelog(kSource, __LINE__, browse->style.indent, "callbackfunc__client_new\n");
    if (state == AVAHI_CLIENT_FAILURE) {
        writelog(kSource, __LINE__, browse->style.indent, "callbackfunc__client_new->AVAHI_CLIENT_FAILURE: %s\n",
                 avahi_strerror(avahi_client_errno(client)));
        browse->failed = true;
        if (browse->poll != nullptr) {
            avahi_simple_poll_quit(browse->poll);
        }
    }
}

bool Fits(const char* text, size_t limit) { return text != nullptr && strnlen(text, limit) < limit; }

}  // namespace

void InitializeCriticalSection(pthread_mutex_t* mutex)
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

void EnterCriticalSection(pthread_mutex_t* mutex) { pthread_mutex_lock(mutex); }

void LeaveCriticalSection(pthread_mutex_t* mutex) { pthread_mutex_unlock(mutex); }

AvahiDeviceList* new_avahi_device_list()
{
    auto* list = static_cast<AvahiDeviceList*>(bugchk_calloc(1, sizeof(AvahiDeviceList), __LINE__, kSource));
    if (list == nullptr) {
        return nullptr;
    }
    list->entries = static_cast<AvahiDevice*>(bugchk_calloc(kGrowth, sizeof(AvahiDevice), __LINE__, kSource));
    if (list->entries == nullptr) {
        bugchk_free(list, __LINE__, kSource);
        return nullptr;
    }
    list->max = kGrowth;
    list->num = 0;
    list->size = static_cast<int>(kGrowth * sizeof(AvahiDevice));
    InitializeCriticalSection(&list->mutex);
    return list;
}

void free_avahi_device_list(AvahiDeviceList* list)
{
    if (list == nullptr) {
        return;
    }
    pthread_mutex_destroy(&list->mutex);
    bugchk_free(list->entries, __LINE__, kSource);
    bugchk_free(list, __LINE__, kSource);
}

bool check_sane_avahi_device_in_list(const char* address, AvahiDeviceList* list)
{
    if (list == nullptr || address == nullptr) {
        return false;
    }
    EnterCriticalSection(&list->mutex);
    bool found = false;
    for (int i = 0; i < list->num && !found; ++i) {
        found = std::strcmp(list->entries[i].address, address) == 0;
    }
    LeaveCriticalSection(&list->mutex);
    return found;
}

AvahiDeviceList* register_avahi_device_list(const char* model, const char* address, const char* name,
                                            AvahiDeviceList* list, const AvahiLogStyle& style)
{
    if (list == nullptr) {
        writelog(kSource, __LINE__, style.indent, "register_avahi_device_list: ERROR Invalid list 1 \n");
        return nullptr;
    }
    if (!Fits(model, sizeof(AvahiDevice::model))) {
        writelog(kSource, __LINE__, style.indent, "register_avahi_device_list: ERROR Invalid model %s\n",
                 model != nullptr ? model : "");
        return nullptr;
    }
    if (!Fits(address, sizeof(AvahiDevice::address) - 1)) {
        writelog(kSource, __LINE__, style.indent, "register_avahi_device_list: ERROR Invalid IP %s\n",
                 address != nullptr ? address : "");
        return nullptr;
    }
    if (!Fits(name, sizeof(AvahiDevice::name))) {
        writelog(kSource, __LINE__, style.indent, "register_avahi_device_list: ERROR Invalid name %.127s\n",
                 name != nullptr ? name : "");
        return nullptr;
    }
    EnterCriticalSection(&list->mutex);
    AvahiDeviceList* result = list;
    if (list->num > list->max || list->num < 0) {
        writelog(kSource, __LINE__, style.indent, "register_avahi_device_list: ERROR Invalid list 2 num = %d max= %d\n",
                 list->num, list->max);
        result = nullptr;
    } else if (check_sane_avahi_device_in_list(address, list)) {
        if (style.sameDevice) {
            writelog(kSource, __LINE__, style.indent, "     ##### same device %s\n", address);
        }
    } else {
        if (list->num == list->max) {
            int max = list->max + kGrowth;
            auto* grown = static_cast<AvahiDevice*>(
                bugchk_calloc(static_cast<size_t>(max), sizeof(AvahiDevice), __LINE__, kSource));
            if (grown == nullptr) {
                writelog(kSource, __LINE__, style.indent, "register_avahi_device_list: ERROR cannot allocate memory\n");
                LeaveCriticalSection(&list->mutex);
                return nullptr;
            }
            std::memcpy(grown, list->entries, static_cast<size_t>(list->num) * sizeof(AvahiDevice));
            bugchk_free(list->entries, __LINE__, kSource);
            list->entries = grown;
            list->max = max;
            list->size = static_cast<int>(static_cast<size_t>(max) * sizeof(AvahiDevice));
        }
        AvahiDevice& entry = list->entries[list->num++];
        std::memset(&entry, 0, sizeof entry);
        std::memcpy(entry.model, model, std::strlen(model));
        std::memcpy(entry.address, address, std::strlen(address));
        std::memcpy(entry.name, name, std::strlen(name));
    }
    LeaveCriticalSection(&list->mutex);
    return result;
}

bool walk_txt_strings(const TxtString* strings, size_t count, char* model, size_t modelSize)
{
    bool maker = false;
    bool haveModel = false;
    bool badModel = false;
    const size_t makerLength = sizeof kMaker - 1;
    const size_t keyLength = sizeof kModelKey - 1;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* text = strings[i].text;
        size_t size = strings[i].size;
        if (text == nullptr) {
            continue;
        }
        if (size == makerLength && strncasecmp(reinterpret_cast<const char*>(text), kMaker, makerLength) == 0) {
            maker = true;
        } else if (!haveModel && !badModel && size >= keyLength && std::memcmp(text, kModelKey, keyLength) == 0) {
            size_t length = size - keyLength;
            if (length >= modelSize || std::memchr(text + keyLength, '\0', length) != nullptr) {
                badModel = true;
            } else {
                std::memcpy(model, text + keyLength, length);
                model[length] = '\0';
                haveModel = true;
            }
        }
    }
    return maker && haveModel;
}

AvahiDeviceList* get_avahi_device_list(const char* type, int boundMs, const AvahiLogStyle& style)
{
    Browse browse;
    browse.style = style;
    browse.list = new_avahi_device_list();
    if (browse.list == nullptr) {
        return nullptr;
    }
    browse.poll = avahi_simple_poll_new();
    if (browse.poll == nullptr) {
        writelog(kSource, __LINE__, style.indent, "avahi_simple_poll_new :Failed .\n");
        free_avahi_device_list(browse.list);
        return nullptr;
    }
    int error = 0;
    browse.client = avahi_client_new(avahi_simple_poll_get(browse.poll), static_cast<AvahiClientFlags>(0),
                                     ClientCallback, &browse, &error);
    if (browse.client == nullptr) {
        writelog(kSource, __LINE__, style.indent, "call avahi_client_new Failed:%s\n", avahi_strerror(error));
        avahi_simple_poll_free(browse.poll);
        free_avahi_device_list(browse.list);
        return nullptr;
    }
    AvahiServiceBrowser* browser =
        avahi_service_browser_new(browse.client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, type, nullptr,
                                  static_cast<AvahiLookupFlags>(0), BrowserCallback, &browse);
    if (browser == nullptr) {
        writelog(kSource, __LINE__, style.indent, "call avahi_service_browser_new Failed: %s\n",
                 avahi_strerror(avahi_client_errno(browse.client)));
        avahi_client_free(browse.client);
        avahi_simple_poll_free(browse.poll);
        free_avahi_device_list(browse.list);
        return nullptr;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            writelog(kSource, __LINE__, style.indent, "browse bound of %d ms reached, %d resolvers pending\n", boundMs,
                     browse.pending);
            break;
        }
        if (avahi_simple_poll_iterate(browse.poll, static_cast<int>(left.count())) != 0) {
            break;  // quit by a callback, or the poll failed
        }
    }
    // Freeing the client frees the resolvers still pending.
    avahi_service_browser_free(browser);
    avahi_client_free(browse.client);
    avahi_simple_poll_free(browse.poll);
    return browse.list;
}
