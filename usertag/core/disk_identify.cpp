#include "disk_identify.h"

#include <cstring>
#include <utility>

namespace {

// Where the fields lie in the requests and answers.
constexpr size_t kCmdBufferSize = 0;  // SENDCMDINPARAMS.cBufferSize
constexpr size_t kCmdRegisters = 4;   // IDEREGS: features, count, number, cyl low/high,
                                      // drive/head, command, reserved
constexpr size_t kCmdDriveNumber = 12;
constexpr size_t kOutParamsHeader = 16;  // SENDCMDOUTPARAMS up to the identify data
constexpr size_t kIdentifyModel = 54;    // byte offset of word 27
constexpr size_t kSrbHeaderSize = 28;    // SRB_IO_CONTROL
constexpr uint32_t kIdentifyDataSize = 512;
constexpr uint32_t kSrbTimeout = 10000;
constexpr uint32_t kSrbLength = 532;

void Put32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

// The identify registers: one sector, sector number 1, master or slave by drive number.
void PutIdentifyCommand(uint8_t* params, uint8_t command, int drive) {
    uint8_t* registers = params + kCmdRegisters;
    registers[1] = 1;                          // sector count
    registers[2] = 1;                          // sector number
    registers[5] = (drive & 1) ? 0xB0 : 0xA0;  // drive/head
    registers[6] = command;
    params[kCmdDriveNumber] = static_cast<uint8_t>(drive);
}

}  // namespace

uint8_t SmartDeviceMap(const uint8_t (&version)[kSmartVersionSize]) {
    return version[3];
}

uint8_t IdentifyCommandFor(uint8_t deviceMap, int drive) {
    return ((deviceMap >> drive) & 0x10) ? kIdentifyPacketDevice : kIdentifyDevice;
}

std::array<uint8_t, kSmartRequestSize> SmartIdentifyRequest(uint8_t command, int drive) {
    std::array<uint8_t, kSmartRequestSize> request{};
    Put32(request.data() + kCmdBufferSize, kIdentifyDataSize);
    PutIdentifyCommand(request.data(), command, drive);
    return request;
}

std::string SmartAnswerModel(const uint8_t (&answer)[kSmartAnswerSize]) {
    return ModelText(answer + kOutParamsHeader + kIdentifyModel);
}

void ScsiIdentifyRequest(int drive, uint8_t (&buffer)[kScsiBufferSize]) {
    std::memset(buffer, 0, sizeof(buffer));
    Put32(buffer + 0, kSrbHeaderSize);
    std::memcpy(buffer + 4, "SCSIDISK", 8);
    Put32(buffer + 12, kSrbTimeout);
    Put32(buffer + 16, kScsiMiniportIdentifyCode);
    Put32(buffer + 20, 0);  // return code
    Put32(buffer + 24, kSrbLength);
    // The command block follows the header: only the command and the drive number are
    // set, the miniport fills in the registers itself.
    buffer[kSrbHeaderSize + kCmdRegisters + 6] = kIdentifyDevice;
    buffer[kSrbHeaderSize + kCmdDriveNumber] = static_cast<uint8_t>(drive);
}

bool ScsiAnswerModel(const uint8_t (&buffer)[kScsiBufferSize], std::string* model) {
    const uint8_t* field = buffer + kSrbHeaderSize + kOutParamsHeader + kIdentifyModel;
    if (field[0] == 0) return false;
    *model = ModelText(field);
    return true;
}

std::string ModelText(const uint8_t* field) {
    size_t length = 0;
    while (length < kModelFieldSize && field[length] != 0) ++length;
    std::string text(reinterpret_cast<const char*>(field), length);
    for (size_t i = 0; i + 1 < length; i += 2) std::swap(text[i], text[i + 1]);
    return text;
}
