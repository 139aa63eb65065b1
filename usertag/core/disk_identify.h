#pragma once
// The identify requests sent to the first fixed disk and the model text read from the
// answers: the SMART pair of requests on the physical drive, and the SCSI miniport request
// on the port as the fallback. Only bytes here; the device calls live in the Win32 shell.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint32_t kSmartGetVersionCode = 0x74080;
constexpr uint32_t kSmartRcvDriveDataCode = 0x7C088;
constexpr uint32_t kScsiMiniportCode = 0x4D008;
constexpr uint32_t kScsiMiniportIdentifyCode = 0x1B0501;

constexpr size_t kSmartVersionSize = 24;  // GETVERSIONINPARAMS
constexpr size_t kSmartRequestSize = 35;  // SENDCMDINPARAMS as sent
constexpr size_t kSmartAnswerSize = 531;  // SENDCMDOUTPARAMS with 512 identify bytes
constexpr size_t kScsiRequestSize = 63;   // SRB_IO_CONTROL + SENDCMDINPARAMS
constexpr size_t kScsiBufferSize = 560;   // the request and its answer share this buffer
constexpr size_t kModelFieldSize = 40;    // identify words 27 to 46

constexpr uint8_t kIdentifyDevice = 0xEC;
constexpr uint8_t kIdentifyPacketDevice = 0xA1;

// The IDE device map of a SMART_GET_VERSION answer (its fourth byte).
uint8_t SmartDeviceMap(const uint8_t (&version)[kSmartVersionSize]);

// 0xA1 when the device map marks `drive` as a packet (ATAPI) device, else 0xEC.
uint8_t IdentifyCommandFor(uint8_t deviceMap, int drive);

// The SMART_RCV_DRIVE_DATA input for `drive` with `command`.
std::array<uint8_t, kSmartRequestSize> SmartIdentifyRequest(uint8_t command, int drive);

// The model text of a SMART_RCV_DRIVE_DATA answer.
std::string SmartAnswerModel(const uint8_t (&answer)[kSmartAnswerSize]);

// Fills the shared miniport buffer with the identify request for `drive`.
void ScsiIdentifyRequest(int drive, uint8_t (&buffer)[kScsiBufferSize]);

// The model text of a miniport answer; false when the answer carries no model (its first
// byte is zero).
bool ScsiAnswerModel(const uint8_t (&buffer)[kScsiBufferSize], std::string* model);

// The 40 raw bytes of the identify model field as text: the bytes up to the first zero,
// each pair swapped (ATA stores two characters per word, high byte first); an odd last
// byte stays where it is.
std::string ModelText(const uint8_t* field);
