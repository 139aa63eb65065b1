/* KavroFW.sys, the filter-driver double: answers the product's requests in the driver's
 * formats, keeps what it got, and on test-only requests reports that and steers its next
 * answers (see kavrofw_protocol.h). Every request is answered synchronously. */
#include <ntddk.h>

#include "kavrofw_protocol.h"

#define RULE_BYTES 44
#define ENTRY_BYTES 28
#define PRODUCT_FUNCTION(code) (((code) >> 2) & 0xFFF)

static KMUTEX g_lock;
static PDEVICE_OBJECT g_device;
static UNICODE_STRING g_link;
static KavroFwState g_state;
static unsigned char g_rules[KAVROFW_MAX_RULES][RULE_BYTES];
static unsigned char g_traffic[KAVROFW_MAX_TRAFFIC][ENTRY_BYTES];
static unsigned int g_reportHeld;
static unsigned int g_claim;
static unsigned int g_refuse[16];
static int g_answerAddSet;
static int g_answerAddWith;
static ULONG g_answerAddBytes = 4;

/* A plain loop: the image links nothing but ntoskrnl. */
static void CopyBytes(void* to, const void* from, ULONG size) {
    volatile unsigned char* d = to;
    const unsigned char* s = from;
    while (size-- > 0) *d++ = *s++;
}

static void Lock(void) {
    KeWaitForSingleObject(&g_lock, Executive, KernelMode, FALSE, NULL);
}

static void Unlock(void) {
    KeReleaseMutex(&g_lock, FALSE);
}

static int Read32(const unsigned char* p) {
    return (int)((unsigned)p[0] | (unsigned)p[1] << 8 | (unsigned)p[2] << 16 | (unsigned)p[3] << 24);
}

static void Write32(unsigned char* p, unsigned int v) {
    CopyBytes(p, &v, 4);
}

static int FindRule(int id) {
    int i;
    for (i = 0; i < g_state.ruleCount; ++i)
        if (Read32(g_rules[i] + 4) == id) return i;
    return -1;
}

static NTSTATUS AddRules(unsigned char* buffer, ULONG inLength, ULONG outLength, ULONG_PTR* info) {
    ULONG n = inLength / RULE_BYTES, i;
    int answer;
    if (n == 0 || inLength % RULE_BYTES != 0) return STATUS_INVALID_PARAMETER;
    if (outLength < 4) return STATUS_BUFFER_TOO_SMALL;
    for (i = 0; i < n && g_state.ruleCount < KAVROFW_MAX_RULES; ++i)
        CopyBytes(g_rules[g_state.ruleCount++], buffer + i * RULE_BYTES, RULE_BYTES);
    if (g_state.batchCount < KAVROFW_MAX_BATCHES) g_state.batchSizes[g_state.batchCount] = (int)n;
    ++g_state.batchCount;
    answer = Read32(buffer + (n - 1) * RULE_BYTES + 4);
    if (g_answerAddSet) answer = g_answerAddWith;
    g_answerAddSet = 0;
    /* A steered answer succeeds with fewer bytes written than the 4 asked for. */
    if (g_answerAddBytes >= 4) Write32(buffer, (unsigned)answer);
    *info = g_answerAddBytes;
    g_answerAddBytes = 4;
    return STATUS_SUCCESS;
}

static NTSTATUS DeleteRule(unsigned char* buffer, ULONG inLength, ULONG_PTR* info) {
    int at;
    if (inLength < 4) return STATUS_INVALID_PARAMETER;
    g_state.lastDeletedId = Read32(buffer);
    at = FindRule(g_state.lastDeletedId);
    if (at >= 0) {
        for (; at + 1 < g_state.ruleCount; ++at) CopyBytes(g_rules[at], g_rules[at + 1], RULE_BYTES);
        --g_state.ruleCount;
    }
    Write32(buffer, 0);
    *info = 4;
    return STATUS_SUCCESS;
}

static NTSTATUS UpdateRule(const unsigned char* buffer, ULONG inLength) {
    int at;
    if (inLength < RULE_BYTES) return STATUS_INVALID_PARAMETER;
    CopyBytes(g_state.lastUpdate, buffer, RULE_BYTES);
    at = FindRule(Read32(buffer + 4));
    if (at >= 0) CopyBytes(g_rules[at], buffer, RULE_BYTES);
    return STATUS_SUCCESS;
}

/* Writes as many queued entries as the caller's buffer takes; the header may claim more
 * (steered) than was written. */
static NTSTATUS AnswerTraffic(unsigned char* buffer, ULONG outLength, ULONG_PTR* info) {
    ULONG room, n, i;
    int held = g_state.trafficQueued;
    if (outLength < 8) return STATUS_BUFFER_TOO_SMALL;
    room = (outLength - 8) / ENTRY_BYTES;
    n = (ULONG)g_state.trafficQueued < room ? (ULONG)g_state.trafficQueued : room;
    for (i = 0; i < n; ++i) CopyBytes(buffer + 8 + i * ENTRY_BYTES, g_traffic[i], ENTRY_BYTES);
    for (i = n; i < (ULONG)g_state.trafficQueued; ++i) CopyBytes(g_traffic[i - n], g_traffic[i], ENTRY_BYTES);
    g_state.trafficQueued -= (int)n;
    Write32(buffer, n > 0 && g_claim != KAVROFW_REAL ? g_claim : n);
    if (n > 0) g_claim = KAVROFW_REAL;
    Write32(buffer + 4, g_reportHeld != KAVROFW_REAL ? g_reportHeld : (unsigned)held);
    *info = 8 + n * ENTRY_BYTES;
    return STATUS_SUCCESS;
}

static NTSTATUS Product(ULONG code, unsigned char* buffer, ULONG inLength, ULONG outLength,
                        ULONG_PTR* info) {
    ULONG index = PRODUCT_FUNCTION(code) & 0xF;
    ++g_state.calls[index];
    if (g_refuse[index] > 0) {
        --g_refuse[index];
        return STATUS_UNSUCCESSFUL;
    }
    switch (code) {
    case 0x830020C4: return AddRules(buffer, inLength, outLength, info);
    case 0x830020C8: return DeleteRule(buffer, inLength, info);
    case 0x830020CC: g_state.enabled = 1; return STATUS_SUCCESS;
    case 0x830020D0: g_state.enabled = 0; return STATUS_SUCCESS;
    case 0x830020D4:
        if (inLength < 64) return STATUS_INVALID_PARAMETER;
        CopyBytes(g_state.addresses, buffer, 64);
        ++g_state.addressBlocks;
        return STATUS_SUCCESS;
    case 0x830020D8: return AnswerTraffic(buffer, outLength, info);
    case 0x830020E0: return UpdateRule(buffer, inLength);
    case 0x830020EC:
        if (inLength < 4) return STATUS_INVALID_PARAMETER;
        g_state.policy = Read32(buffer);
        return STATUS_SUCCESS;
    default: return STATUS_INVALID_DEVICE_REQUEST;
    }
}

static NTSTATUS Steer(ULONG code, unsigned char* buffer, ULONG inLength, ULONG outLength,
                      ULONG_PTR* info) {
    ULONG i, n;
    switch (code) {
    case KAVROFW_READ_STATE:
        if (outLength < sizeof g_state) return STATUS_BUFFER_TOO_SMALL;
        CopyBytes(buffer, &g_state, sizeof g_state);
        *info = sizeof g_state;
        return STATUS_SUCCESS;
    case KAVROFW_READ_RULES:
        n = outLength / RULE_BYTES < (ULONG)g_state.ruleCount ? outLength / RULE_BYTES
                                                               : (ULONG)g_state.ruleCount;
        for (i = 0; i < n; ++i) CopyBytes(buffer + i * RULE_BYTES, g_rules[i], RULE_BYTES);
        *info = n * RULE_BYTES;
        return STATUS_SUCCESS;
    case KAVROFW_QUEUE_TRAFFIC:
        for (i = 0; i + ENTRY_BYTES <= inLength && g_state.trafficQueued < KAVROFW_MAX_TRAFFIC;
             i += ENTRY_BYTES)
            CopyBytes(g_traffic[g_state.trafficQueued++], buffer + i, ENTRY_BYTES);
        return STATUS_SUCCESS;
    }
    if (inLength < 4) return STATUS_INVALID_PARAMETER;
    switch (code) {
    case KAVROFW_REPORT_HELD: g_reportHeld = (unsigned)Read32(buffer); return STATUS_SUCCESS;
    case KAVROFW_CLAIM_COUNT: g_claim = (unsigned)Read32(buffer); return STATUS_SUCCESS;
    case KAVROFW_ANSWER_ADD_SHORT:
        g_answerAddBytes = (ULONG)Read32(buffer) < 4 ? (ULONG)Read32(buffer) : 4;
        return STATUS_SUCCESS;
    case KAVROFW_ANSWER_ADD_WITH:
        g_answerAddSet = 1;
        g_answerAddWith = Read32(buffer);
        return STATUS_SUCCESS;
    case KAVROFW_REFUSE:
        if (inLength < 8) return STATUS_INVALID_PARAMETER;
        g_refuse[PRODUCT_FUNCTION((ULONG)Read32(buffer)) & 0xF] = (unsigned)Read32(buffer + 4);
        return STATUS_SUCCESS;
    }
    return STATUS_INVALID_DEVICE_REQUEST;
}

static NTSTATUS Finish(PIRP irp, NTSTATUS status, ULONG_PTR info) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? info : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS WINAPI DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    Lock();
    ++g_state.handlesOpen;
    Unlock();
    return Finish(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS WINAPI DispatchClose(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    Lock();
    --g_state.handlesOpen;
    Unlock();
    return Finish(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS WINAPI DispatchCleanup(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return Finish(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS WINAPI DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    unsigned char* buffer = irp->AssociatedIrp.SystemBuffer;
    ULONG_PTR info = 0;
    NTSTATUS status;
    (void)device;
    Lock();
    if ((code >> 16) != 0x8300)
        status = STATUS_INVALID_DEVICE_REQUEST;
    else if (PRODUCT_FUNCTION(code) >= 0x830 && PRODUCT_FUNCTION(code) <= 0x83F)
        status = Product(code, buffer, inLength, outLength, &info);
    else
        status = Steer(code, buffer, inLength, outLength, &info);
    Unlock();
    return Finish(irp, status, info);
}

static void WINAPI Unload(PDRIVER_OBJECT driver) {
    (void)driver;
    IoDeleteSymbolicLink(&g_link);
    IoDeleteDevice(g_device);
}

NTSTATUS WINAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    UNICODE_STRING name;
    NTSTATUS status;
    ULONG i;
    (void)registryPath;
    /* A restarted service may find the image still mapped: start from a clean state. */
    for (i = 0; i < sizeof g_state; ++i) ((volatile unsigned char*)&g_state)[i] = 0;
    for (i = 0; i < 16; ++i) g_refuse[i] = 0;
    g_state.enabled = -1;
    g_reportHeld = KAVROFW_REAL;
    g_claim = KAVROFW_REAL;
    g_answerAddSet = 0;
    g_answerAddBytes = 4;
    KeInitializeMutex(&g_lock, 0);

    RtlInitUnicodeString(&name, L"\\Device\\KavroFirewall");
    RtlInitUnicodeString(&g_link, L"\\DosDevices\\KavroFirewall");
    status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &g_device);
    if (!NT_SUCCESS(status)) return status;
    status = IoCreateSymbolicLink(&g_link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(g_device);
        return status;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}
