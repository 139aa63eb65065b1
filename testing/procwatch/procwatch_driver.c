/* A stand-in for the suite's process-creation driver: it reports the records a test asks
   it to report, through the same device, event and control codes as the real one. */
#include <ntifs.h>

#include "procwatch_codes.h"

#define RECORD_SIZE 12
#define QUEUE_CAPACITY 8192
#define HELD_CAPACITY 16

static UNICODE_STRING g_deviceName = RTL_CONSTANT_STRING(L"\\Device\\ProcWatchDriver");
static UNICODE_STRING g_linkName = RTL_CONSTANT_STRING(L"\\DosDevices\\ProcWatchDriver");
static UNICODE_STRING g_eventName =
    RTL_CONSTANT_STRING(L"\\BaseNamedObjects\\ProcWatchDriverProcessEvent");

/* Guards everything below. Held only for a few instructions, or a completion; a kernel
   mutex would cost two trips through the Wine server on every request, which the
   benchmark would count against the component. */
static volatile LONG g_lock;
static HANDLE g_event; /* auto-reset; none when the service key says NoEvent */
static struct procwatch_counters g_counters;
static UCHAR g_latest[RECORD_SIZE];
static UCHAR g_queue[QUEUE_CAPACITY][RECORD_SIZE];
static ULONG g_head;
static ULONG g_queueMode;
static struct procwatch_failure g_failure;
static ULONG g_holdReads;
static ULONG g_holdStart;          /* the next start of reporting is kept pending */
static PIRP g_held[HELD_CAPACITY]; /* requests kept pending */

static void TakeLock(void) {
    while (InterlockedCompareExchange(&g_lock, 1, 0) != 0) YieldProcessor();
}

static void ReleaseLock(void) {
    InterlockedExchange(&g_lock, 0);
}

static void Signal(void) {
    if (g_event) ZwSetEvent(g_event, NULL);
}

/* The DWORD value `name` of the service key, or `absent`. */
static ULONG ServiceValue(PUNICODE_STRING serviceKey, const WCHAR* name, ULONG absent) {
    OBJECT_ATTRIBUTES attributes;
    UNICODE_STRING valueName;
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(ULONG)];
    PKEY_VALUE_PARTIAL_INFORMATION value = (PKEY_VALUE_PARTIAL_INFORMATION)buffer;
    HANDLE key;
    ULONG length;
    ULONG result = absent;
    RtlInitUnicodeString(&valueName, name);
    InitializeObjectAttributes(&attributes, serviceKey, OBJ_CASE_INSENSITIVE, NULL, NULL);
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes))) return absent;
    if (NT_SUCCESS(ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, value,
                                   sizeof buffer, &length)) &&
        value->Type == REG_DWORD && value->DataLength == sizeof(ULONG))
        result = *(ULONG*)value->Data;
    ZwClose(key);
    return result;
}

/* One read's answer: the next queued record, else the latest one (or the failure the test
   asked for). */
static NTSTATUS AnswerRead(void* buffer, ULONG out, ULONG_PTR* written) {
    *written = 0;
    if (out < RECORD_SIZE) return STATUS_BUFFER_TOO_SMALL;
    if (g_failure.count > 0) {
        --g_failure.count;
        if (g_failure.short_bytes == 0 || g_failure.short_bytes >= RECORD_SIZE)
            return STATUS_UNSUCCESSFUL;
        RtlZeroMemory(buffer, RECORD_SIZE);
        *written = g_failure.short_bytes;
        return STATUS_SUCCESS;
    }
    if (g_counters.queued > 0) {
        RtlCopyMemory(g_latest, g_queue[g_head], RECORD_SIZE);
        g_head = (g_head + 1) % QUEUE_CAPACITY;
        /* Every record is kept: while any wait, the event stays raised. */
        if (--g_counters.queued > 0) Signal();
    }
    RtlCopyMemory(buffer, g_latest, RECORD_SIZE);
    *written = RECORD_SIZE;
    return STATUS_SUCCESS;
}

static void Complete(PIRP irp, NTSTATUS status, ULONG_PTR written) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = written;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

/* Drops `irp` from the held requests; false when it was not held. Under the lock. */
static BOOLEAN Unhold(PIRP irp) {
    ULONG i;
    for (i = 0; i < HELD_CAPACITY; ++i) {
        if (g_held[i] != irp) continue;
        g_held[i] = NULL;
        --g_counters.held;
        return TRUE;
    }
    return FALSE;
}

static void WINAPI CancelHeld(PDEVICE_OBJECT device, PIRP irp) {
    BOOLEAN held;
    (void)device;
    IoReleaseCancelSpinLock(irp->CancelIrql);
    TakeLock();
    held = Unhold(irp);
    if (held) ++g_counters.cancelled;
    ReleaseLock();
    if (held) Complete(irp, STATUS_CANCELLED, 0);
}

/* Answers every held request whose cancellation has not begun (cancelled, or as if it had
   not been held), under the lock. */
static void ReleaseHeld(BOOLEAN cancel) {
    ULONG i;
    for (i = 0; i < HELD_CAPACITY; ++i) {
        PIRP irp = g_held[i];
        PIO_STACK_LOCATION stack;
        ULONG_PTR written = 0;
        NTSTATUS status = STATUS_CANCELLED;
        if (irp == NULL || IoSetCancelRoutine(irp, NULL) == NULL) continue;
        Unhold(irp);
        stack = IoGetCurrentIrpStackLocation(irp);
        if (!cancel && stack->Parameters.DeviceIoControl.IoControlCode != PROCWATCH_READ_LATEST)
            status = STATUS_SUCCESS;
        else if (!cancel)
            status = AnswerRead(irp->AssociatedIrp.SystemBuffer,
                                stack->Parameters.DeviceIoControl.OutputBufferLength, &written);
        Complete(irp, status, written);
    }
}

/* Answers one control code; returns the status and sets *written. */
static NTSTATUS Control(ULONG code, void* buffer, ULONG in, ULONG out, ULONG_PTR* written) {
    *written = 0;
    switch (code) {
        case PROCWATCH_START_REPORTING:
            ++g_counters.starts;
            g_counters.reporting = 1;
            if (g_holdStart) {
                g_holdStart = 0;
                return STATUS_PENDING; /* the caller parks it */
            }
            return STATUS_SUCCESS;
        case PROCWATCH_STOP_REPORTING:
            ++g_counters.stops;
            g_counters.reporting = 0;
            return STATUS_SUCCESS;
        case PROCWATCH_READ_LATEST:
            ++g_counters.reads;
            if (g_holdReads) return STATUS_PENDING; /* the caller parks it */
            return AnswerRead(buffer, out, written);
        case PROCWATCH_REPORT:
            if (in < RECORD_SIZE) return STATUS_INVALID_PARAMETER;
            if (g_queueMode) {
                if (g_counters.queued == QUEUE_CAPACITY) return STATUS_INSUFFICIENT_RESOURCES;
                RtlCopyMemory(g_queue[(g_head + g_counters.queued) % QUEUE_CAPACITY], buffer,
                              RECORD_SIZE);
                ++g_counters.queued;
            } else {
                RtlCopyMemory(g_latest, buffer, RECORD_SIZE);
            }
            Signal();
            return STATUS_SUCCESS;
        case PROCWATCH_COUNTERS:
            if (out < sizeof g_counters) return STATUS_BUFFER_TOO_SMALL;
            RtlCopyMemory(buffer, &g_counters, sizeof g_counters);
            *written = sizeof g_counters;
            return STATUS_SUCCESS;
        case PROCWATCH_QUEUE_MODE:
            if (in < sizeof(ULONG)) return STATUS_INVALID_PARAMETER;
            g_queueMode = *(ULONG*)buffer != 0;
            return STATUS_SUCCESS;
        case PROCWATCH_FAIL_READS:
            if (in < sizeof g_failure) return STATUS_INVALID_PARAMETER;
            RtlCopyMemory(&g_failure, buffer, sizeof g_failure);
            return STATUS_SUCCESS;
        case PROCWATCH_HOLD_READS:
            if (in < sizeof(ULONG)) return STATUS_INVALID_PARAMETER;
            g_holdReads = *(ULONG*)buffer != 0;
            if (!g_holdReads) ReleaseHeld(FALSE);
            return STATUS_SUCCESS;
        default:
            return STATUS_INVALID_DEVICE_REQUEST;
    }
}

/* Keeps a request pending until it is released or cancelled; under the lock. False when
   no slot is free. */
static BOOLEAN Hold(PIRP irp) {
    ULONG i;
    for (i = 0; i < HELD_CAPACITY && g_held[i] != NULL; ++i) {
    }
    if (i == HELD_CAPACITY) return FALSE;
    IoMarkIrpPending(irp);
    g_held[i] = irp;
    ++g_counters.held;
    IoSetCancelRoutine(irp, CancelHeld);
    /* Cancelled before the routine was set: nobody else will complete it. */
    if (irp->Cancel && IoSetCancelRoutine(irp, NULL) != NULL) {
        Unhold(irp);
        ++g_counters.cancelled;
        Complete(irp, STATUS_CANCELLED, 0);
    }
    return TRUE;
}

static NTSTATUS WINAPI DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG_PTR written = 0;
    NTSTATUS status;
    (void)device;
    TakeLock();
    status =
        Control(stack->Parameters.DeviceIoControl.IoControlCode, irp->AssociatedIrp.SystemBuffer,
                stack->Parameters.DeviceIoControl.InputBufferLength,
                stack->Parameters.DeviceIoControl.OutputBufferLength, &written);
    if (status == STATUS_PENDING && Hold(irp)) {
        ReleaseLock();
        return STATUS_PENDING;
    }
    if (status == STATUS_PENDING) status = STATUS_INSUFFICIENT_RESOURCES;
    ReleaseLock();
    Complete(irp, status, written);
    return status;
}

static NTSTATUS WINAPI DispatchOpenClose(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

static void WINAPI Unload(PDRIVER_OBJECT driver) {
    TakeLock();
    ReleaseHeld(TRUE);
    ReleaseLock();
    IoDeleteSymbolicLink(&g_linkName);
    if (driver->DeviceObject) IoDeleteDevice(driver->DeviceObject);
    if (g_event) ZwClose(g_event);
    g_event = NULL;
}

NTSTATUS WINAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING serviceKey) {
    PDEVICE_OBJECT device;
    NTSTATUS status;
    /* Wine may keep the image mapped between two loads of the service: start afresh. */
    RtlZeroMemory(&g_counters, sizeof g_counters);
    RtlZeroMemory(g_latest, sizeof g_latest);
    RtlZeroMemory(&g_failure, sizeof g_failure);
    g_head = 0;
    g_queueMode = 0;
    g_holdReads = 0;
    RtlZeroMemory(g_held, sizeof g_held);
    g_event = NULL;
    g_lock = 0;
    g_holdStart = ServiceValue(serviceKey, L"HoldStart", 0);
    status = IoCreateDevice(driver, 0, &g_deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) return status;
    status = IoCreateSymbolicLink(&g_linkName, &g_deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    if (ServiceValue(serviceKey, L"NoEvent", 0) != 1) {
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &g_eventName, OBJ_OPENIF, NULL, NULL);
        if (!NT_SUCCESS(ZwCreateEvent(&g_event, EVENT_ALL_ACCESS, &attributes, SynchronizationEvent,
                                      FALSE)))
            g_event = NULL;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}
