/* A driver module that exports only a few of the contract's functions and
 * logs each call, for the binding's tests of absent functions. */
#include <orvexsystem/orvexboardex.h>

#include <stdio.h>
#include <string.h>

static char g_log[4096];

static void logCall(const char *text)
{
    size_t used = strlen(g_log);
    if (used + strlen(text) + 2 < sizeof g_log) {
        strcat(g_log, text);
        strcat(g_log, ";");
    }
}

__attribute__((visibility("default"))) const char *minimalLog(void) { return g_log; }
__attribute__((visibility("default"))) void minimalClearLog(void) { g_log[0] = 0; }

int32_t orvexAttach(void)
{
    logCall("attach");
    return 7;
}

int32_t orvexDetach(void)
{
    logCall("detach");
    return 0;
}

int32_t orvexClearCallback(int32_t handle, OrvexPacketCallback callback, void *context)
{
    char text[64];
    (void)callback;
    (void)context;
    snprintf(text, sizeof text, "clearCallback(%d)", (int)handle);
    logCall(text);
    return 0;
}

int32_t orvexWritePacket(int32_t handle, const uint8_t *data, int32_t length)
{
    (void)handle;
    (void)data;
    (void)length;
    return 0;
}

int32_t orvexSetPointingDeviceDestination(int32_t handle, int32_t pen, int32_t flag, int32_t mode)
{
    char text[96];
    snprintf(text, sizeof text, "setPointingDeviceDestination(%d,%d,%d,%d)", (int)handle, (int)pen,
             (int)flag, (int)mode);
    logCall(text);
    return 0;
}

int32_t orvexSetTouchDestination(int32_t handle, int32_t mode)
{
    char text[64];
    snprintf(text, sizeof text, "setTouchDestination(%d,%d)", (int)handle, (int)mode);
    logCall(text);
    return 0;
}

int32_t orvexGetTouchSystemRedirectionEnabled(int32_t handle)
{
    (void)handle;
    return 2;
}

int32_t orvexGetTouchEnabled(int32_t handle)
{
    (void)handle;
    return 0x101; /* low byte 1 */
}
