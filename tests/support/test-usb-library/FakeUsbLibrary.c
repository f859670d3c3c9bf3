/*
 * A stand-in for the USB redirection library, for the loader's tests. It
 * exports the three functions the client calls and appends one line per call to
 * the file named by KIV_FAKE_USB_LOG (when set). The device list it reports is
 * the text of KIV_FAKE_USB_DEVICES (lines separated by "\n"), or none when unset.
 */
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void Record(const char* format, ...) __attribute__((format(printf, 1, 2)));

static void Record(const char* format, ...) {
    const char* path = getenv("KIV_FAKE_USB_LOG");
    if (!path || !*path) return;
    FILE* log = fopen(path, "a");
    if (!log) return;
    va_list args;
    va_start(args, format);
    vfprintf(log, format, args);
    va_end(args);
    fputc('\n', log);
    fclose(log);
}

__attribute__((visibility("default"))) void GetUsbList(char* buffer, uint32_t* size) {
    const char* devices = getenv("KIV_FAKE_USB_DEVICES");
    const uint32_t needed = devices && *devices ? (uint32_t)strlen(devices) + 1 : 0;
    if (!size) {
        Record("GetUsbList size=null");
        return;
    }
    if (!buffer) {
        Record("GetUsbList buffer=null size=%u", (unsigned)*size);
        *size = needed;
        return;
    }
    Record("GetUsbList buffer size=%u", (unsigned)*size);
    if (needed == 0 || *size < needed) {
        *size = needed;
        return;
    }
    memcpy(buffer, devices, needed);
    *size = needed;
}

__attribute__((visibility("default"))) void RedirectUsb(int64_t key, int32_t value) {
    Record("RedirectUsb key=%lld value=%d", (long long)key, (int)value);
}

__attribute__((visibility("default"))) void SendClientInitParam(const char* text) {
    Record("SendClientInitParam %s", text ? text : "(null)");
}
