/* A test double for the disk devices the machine identifier asks for their model: SCSI
   ports answering the miniport identify, and drives answering the SMART requests. It
   answers only requests of exactly the sizes the identifier sends and whose every checked
   byte is as a real driver expects them. */
#include <ntddk.h>
#include <string.h>

#include "diskid.h"

#define SMART_GET_VERSION_CODE 0x74080
#define SMART_RCV_DRIVE_DATA_CODE 0x7C088
#define SCSI_MINIPORT_CODE 0x4D008
#define SCSI_MINIPORT_IDENTIFY 0x1B0501

#define IDENTIFY_SIZE 512
#define OUT_HEADER 16 /* SENDCMDOUTPARAMS up to the identify data */
#define MODEL_OFFSET 54
#define SRB_HEADER 28

enum { KIND_SMART, KIND_SCSI };

typedef struct {
    const WCHAR* device;
    const WCHAR* link;
    int kind;
    UCHAR deviceMap;    /* SMART: the IDE device map it reports */
    const char* model0; /* drive 0 */
    const char* model1; /* SCSI drive 1, or NULL when there is none */
} DISK_DOUBLE;

static const DISK_DOUBLE kDoubles[] = {
    {L"\\Device\\KvDiskIdScsi0", L"\\DosDevices\\Scsi0:", KIND_SCSI, 0, DISKID_SCSI0_MODEL, NULL},
    {L"\\Device\\KvDiskIdPair", L"\\DosDevices\\KvDiskIdPair", KIND_SCSI, 0, DISKID_PAIR_MODEL0,
     DISKID_PAIR_MODEL1},
    {L"\\Device\\KvDiskIdAta", L"\\DosDevices\\KvDiskIdAta", KIND_SMART, 0x01, DISKID_ATA_MODEL,
     NULL},
    {L"\\Device\\KvDiskIdAtapi", L"\\DosDevices\\KvDiskIdAtapi", KIND_SMART, 0x11,
     DISKID_ATAPI_MODEL, NULL},
};
#define DOUBLE_COUNT (sizeof(kDoubles) / sizeof(kDoubles[0]))

static ULONG Get32(const UCHAR* at) {
    return at[0] | (ULONG)at[1] << 8 | (ULONG)at[2] << 16 | (ULONG)at[3] << 24;
}

static void Put32(UCHAR* at, ULONG value) {
    at[0] = (UCHAR)value;
    at[1] = (UCHAR)(value >> 8);
    at[2] = (UCHAR)(value >> 16);
    at[3] = (UCHAR)(value >> 24);
}

/* The identify registers a drive expects: one sector, sector number 1, master drive. */
static BOOLEAN IdentifyRegistersOk(const UCHAR* params, UCHAR command) {
    const UCHAR* registers = params + 4;
    return registers[1] == 1 && registers[2] == 1 && registers[5] == 0xA0 &&
           registers[6] == command && params[12] == 0;
}

/* SENDCMDOUTPARAMS with the identify data carrying `model` at `out`. */
static void PutIdentifyAnswer(UCHAR* out, const char* model) {
    Put32(out, IDENTIFY_SIZE);
    RtlCopyMemory(out + OUT_HEADER + MODEL_OFFSET, model, strlen(model));
}

static NTSTATUS Smart(const DISK_DOUBLE* disk, ULONG code, UCHAR* buffer, ULONG in, ULONG out,
                      ULONG_PTR* information) {
    if (code == SMART_GET_VERSION_CODE) {
        if (out < 24) return STATUS_BUFFER_TOO_SMALL;
        RtlZeroMemory(buffer, 24);
        buffer[0] = 1; /* version */
        buffer[1] = 1; /* revision */
        buffer[3] = disk->deviceMap;
        Put32(buffer + 4, 7); /* capabilities: ATA, ATAPI, SMART */
        *information = 24;
        return STATUS_SUCCESS;
    }
    if (code != SMART_RCV_DRIVE_DATA_CODE) return STATUS_INVALID_DEVICE_REQUEST;
    /* SENDCMDINPARAMS as the identifier sends it: 35 bytes, its one-byte buffer included. */
    if (in != 35 || out < OUT_HEADER + IDENTIFY_SIZE) return STATUS_BUFFER_TOO_SMALL;
    const UCHAR command = (disk->deviceMap & 0x10) ? 0xA1 : 0xEC;
    if (Get32(buffer) != IDENTIFY_SIZE || !IdentifyRegistersOk(buffer, command)) {
        return STATUS_INVALID_PARAMETER;
    }
    RtlZeroMemory(buffer, out);
    PutIdentifyAnswer(buffer, disk->model0);
    *information = OUT_HEADER + IDENTIFY_SIZE;
    return STATUS_SUCCESS;
}

static NTSTATUS Scsi(const DISK_DOUBLE* disk, ULONG code, UCHAR* buffer, ULONG in, ULONG out,
                     ULONG_PTR* information) {
    if (code != SCSI_MINIPORT_CODE) return STATUS_INVALID_DEVICE_REQUEST;
    if (in != SRB_HEADER + 35 || out < SRB_HEADER + OUT_HEADER + IDENTIFY_SIZE) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    if (Get32(buffer) != SRB_HEADER || RtlCompareMemory(buffer + 4, "SCSIDISK", 8) != 8 ||
        Get32(buffer + 12) != 10000 || Get32(buffer + 16) != SCSI_MINIPORT_IDENTIFY ||
        Get32(buffer + 24) != 532 || buffer[SRB_HEADER + 4 + 6] != 0xEC) {
        return STATUS_INVALID_PARAMETER;
    }
    const UCHAR drive = buffer[SRB_HEADER + 12];
    const char* model = drive == 0 ? disk->model0 : drive == 1 ? disk->model1 : NULL;
    if (model == NULL) return STATUS_NO_SUCH_DEVICE;
    RtlZeroMemory(buffer + SRB_HEADER, out - SRB_HEADER);
    PutIdentifyAnswer(buffer + SRB_HEADER, model);
    *information = out;
    return STATUS_SUCCESS;
}

static NTSTATUS Complete(IRP* irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? information : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS WINAPI DispatchCreateClose(DEVICE_OBJECT* device, IRP* irp) {
    (void)device;
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS WINAPI DispatchControl(DEVICE_OBJECT* device, IRP* irp) {
    const IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    const DISK_DOUBLE* disk = *(const DISK_DOUBLE**)device->DeviceExtension;
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    UCHAR* buffer = irp->AssociatedIrp.SystemBuffer;
    ULONG_PTR information = 0;
    NTSTATUS status = STATUS_INVALID_PARAMETER;
    if (buffer != NULL) {
        status = disk->kind == KIND_SMART ? Smart(disk, code, buffer, in, out, &information)
                                          : Scsi(disk, code, buffer, in, out, &information);
    }
    return Complete(irp, status, information);
}

static void WINAPI Unload(DRIVER_OBJECT* driver) {
    UNICODE_STRING link;
    size_t i;
    for (i = 0; i < DOUBLE_COUNT; ++i) {
        RtlInitUnicodeString(&link, kDoubles[i].link);
        IoDeleteSymbolicLink(&link);
    }
    while (driver->DeviceObject != NULL) IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS WINAPI DriverEntry(DRIVER_OBJECT* driver, UNICODE_STRING* registryPath) {
    size_t i;
    (void)registryPath;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = Unload;
    for (i = 0; i < DOUBLE_COUNT; ++i) {
        UNICODE_STRING name, link;
        DEVICE_OBJECT* device = NULL;
        NTSTATUS status;
        RtlInitUnicodeString(&name, kDoubles[i].device);
        RtlInitUnicodeString(&link, kDoubles[i].link);
        status = IoCreateDevice(driver, sizeof(const DISK_DOUBLE*), &name, FILE_DEVICE_UNKNOWN, 0,
                                FALSE, &device);
        if (NT_SUCCESS(status)) {
            *(const DISK_DOUBLE**)device->DeviceExtension = &kDoubles[i];
            device->Flags |= DO_BUFFERED_IO;
            status = IoCreateSymbolicLink(&link, &name);
        }
        if (!NT_SUCCESS(status)) {
            Unload(driver);
            return status;
        }
    }
    return STATUS_SUCCESS;
}
