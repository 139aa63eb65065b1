/* A stand-in for the suite's process-creation driver: it reports the records a test asks
   it to report, through the same device, event and control codes as the real one. */
#include <ntifs.h>

#include "procwatch_codes.h"

#define RECORD_SIZE 12
#define QUEUE_CAPACITY 8192

static UNICODE_STRING g_deviceName = RTL_CONSTANT_STRING(L"\\Device\\ProcWatchDriver");
static UNICODE_STRING g_linkName = RTL_CONSTANT_STRING(L"\\DosDevices\\ProcWatchDriver");
static UNICODE_STRING g_eventName =
    RTL_CONSTANT_STRING(L"\\BaseNamedObjects\\ProcWatchDriverProcessEvent");

static KMUTEX g_lock;
static HANDLE g_event; /* auto-reset; none when the service key says NoEvent */
static struct procwatch_counters g_counters;
static UCHAR g_latest[RECORD_SIZE];
static UCHAR g_queue[QUEUE_CAPACITY][RECORD_SIZE];
static ULONG g_head;
static ULONG g_queueMode;
static struct procwatch_failure g_failure;

static void Signal(void) {
    if (g_event) ZwSetEvent(g_event, NULL);
}

static BOOLEAN NoEventWanted(PUNICODE_STRING serviceKey) {
    OBJECT_ATTRIBUTES attributes;
    UNICODE_STRING name = RTL_CONSTANT_STRING(L"NoEvent");
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(ULONG)];
    PKEY_VALUE_PARTIAL_INFORMATION value = (PKEY_VALUE_PARTIAL_INFORMATION)buffer;
    HANDLE key;
    ULONG length;
    BOOLEAN wanted = FALSE;
    InitializeObjectAttributes(&attributes, serviceKey, OBJ_CASE_INSENSITIVE, NULL, NULL);
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes))) return FALSE;
    if (NT_SUCCESS(ZwQueryValueKey(key, &name, KeyValuePartialInformation, value, sizeof buffer,
                                   &length)) &&
        value->Type == REG_DWORD && value->DataLength == sizeof(ULONG))
        wanted = *(ULONG*)value->Data == 1;
    ZwClose(key);
    return wanted;
}

/* Answers one control code; returns the status and sets *written. */
static NTSTATUS Control(ULONG code, void* buffer, ULONG in, ULONG out, ULONG_PTR* written) {
    *written = 0;
    switch (code) {
        case PROCWATCH_START_REPORTING:
            ++g_counters.starts;
            g_counters.reporting = 1;
            return STATUS_SUCCESS;
        case PROCWATCH_STOP_REPORTING:
            ++g_counters.stops;
            g_counters.reporting = 0;
            return STATUS_SUCCESS;
        case PROCWATCH_READ_LATEST:
            ++g_counters.reads;
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
        default:
            return STATUS_INVALID_DEVICE_REQUEST;
    }
}

static NTSTATUS WINAPI DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG_PTR written = 0;
    NTSTATUS status;
    (void)device;
    KeWaitForSingleObject(&g_lock, Executive, KernelMode, FALSE, NULL);
    status =
        Control(stack->Parameters.DeviceIoControl.IoControlCode, irp->AssociatedIrp.SystemBuffer,
                stack->Parameters.DeviceIoControl.InputBufferLength,
                stack->Parameters.DeviceIoControl.OutputBufferLength, &written);
    KeReleaseMutex(&g_lock, FALSE);
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = written;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
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
    g_event = NULL;
    KeInitializeMutex(&g_lock, 0);
    status = IoCreateDevice(driver, 0, &g_deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) return status;
    status = IoCreateSymbolicLink(&g_linkName, &g_deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    if (!NoEventWanted(serviceKey)) {
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
