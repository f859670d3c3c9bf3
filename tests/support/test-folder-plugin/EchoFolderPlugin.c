/* A folder plug-in for the tests: it sends every folder message it receives
 * straight back on the channel it came on, and writes each call it takes or
 * makes to the file named by KIV_TEST_FOLDER_LOG, one line each:
 *   entry <window> <send function> <receive slot>
 *   recv <sender> <channel> <hex of the data>
 *   send <result> */
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int32_t (*SendProc)(const uint16_t* channel, const uint16_t* data);
typedef int32_t (*RecvProc)(void* sender, const uint16_t* channel, const uint16_t* data);

static SendProc clientSend;

/* The byte length stands in the four bytes before the first unit. */
static uint32_t ByteLength(const uint16_t* text) {
    uint32_t length = 0;
    memcpy(&length, (const uint8_t*)text - 4, 4);
    return length;
}

static void Log(const char* format, ...) {
    const char* path = getenv("KIV_TEST_FOLDER_LOG");
    if (path == NULL || *path == '\0') return;
    FILE* file = fopen(path, "a");
    if (file == NULL) return;
    va_list arguments;
    va_start(arguments, format);
    vfprintf(file, format, arguments);
    va_end(arguments);
    fclose(file);
}

static int32_t Receive(void* sender, const uint16_t* channel, const uint16_t* data) {
    char name[64] = {0};
    const uint32_t units = ByteLength(channel) / 2;
    for (uint32_t i = 0; i < units && i + 1 < sizeof name; ++i) name[i] = (char)channel[i];
    const uint32_t size = ByteLength(data);
    char* hex = calloc((size_t)size * 2 + 1, 1);
    if (hex == NULL) return 0;
    for (uint32_t i = 0; i < size; ++i) sprintf(hex + 2 * i, "%02X", ((const uint8_t*)data)[i]);
    Log("recv %p %s %s\n", sender, name, hex);
    free(hex);
    Log("send %d\n", clientSend ? clientSend(channel, data) : -1);
    return 0;
}

__attribute__((visibility("default"))) int32_t PubDir_Ordinal1(uintptr_t window, SendProc send, RecvProc* receive) {
    Log("entry %lu %p %p\n", (unsigned long)window, (void*)send, (void*)receive);
    clientSend = send;
    *receive = Receive;
    return 0;
}
