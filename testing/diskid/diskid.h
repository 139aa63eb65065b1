/* The disk devices of the diskid stand-in, shared by the driver and the tests that drive
   it. Models are given as the raw bytes of the identify model field (two characters per
   word, high byte first), up to the zero that ends them. */
#ifndef KV_DISKID_H
#define KV_DISKID_H

#define DISKID_SERVICE_NAME "KvDiskId"

/* The port the identifier asks when the physical drive does not answer: drive 0 only. */
#define DISKID_SCSI0_MODEL "vKcSisiDksX"
/* A port answering for drives 0 and 1. */
#define DISKID_PAIR_DEVICE "\\\\.\\KvDiskIdPair"
#define DISKID_PAIR_MODEL0 "rDvi-e0"
#define DISKID_PAIR_MODEL1 "rDvi-e1"
/* Drives answering the SMART requests: an ATA disk (device map 0x01) and a packet device
   (0x11), which must be asked with the packet identify command. */
#define DISKID_ATA_DEVICE "\\\\.\\KvDiskIdAta"
#define DISKID_ATA_MODEL "tADasi1k"
#define DISKID_ATAPI_DEVICE "\\\\.\\KvDiskIdAtapi"
#define DISKID_ATAPI_MODEL "aPkcteeDv"

#endif
