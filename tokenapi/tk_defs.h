// Values shared by the device library and everyone who calls it: result codes,
// the reader naming, key-spec and flag values, and the masked PIN record.
// Portable: no Windows header, so the host tree can test the logic built on it.
#pragma once
#include <cstdint>

namespace tk {

using Result = std::uint32_t;

// Results the callers act on.
constexpr Result kOk = 0;
constexpr Result kWrongPin = 0x8800003D;
constexpr Result kPinLocked = 0x8800003E;
constexpr Result kFirstUseChangeCancelled = 0x88000061;
constexpr Result kUserCancelled = 0xE002001A;
constexpr Result kCancelledOrTimedOut = 0xE0020013;

// Further failures of the software token; callers only see "non-zero".
constexpr Result kInvalidParameter = 0xE0020001;
constexpr Result kInvalidHandle = 0xE0020002;
constexpr Result kBufferTooSmall = 0xE0020003;
constexpr Result kNoDevice = 0xE0020004;     // reader unknown or empty, key pulled out
constexpr Result kNotFound = 0xE0020005;     // application, container or certificate
constexpr Result kStorageError = 0xE0020006; // state folder unreadable or unwritable
// A name the library does not export: the binding fails the call itself.
constexpr Result kNotExported = 0xE0020010;

// Device states of TK_GetDevState.
constexpr std::uint32_t kStateAbsent = 16;
constexpr std::uint32_t kStatePresent = 32;

// Key specs of TK_ReadCert / TK_GetCertType.
constexpr std::uint32_t kKeySpecExchange = 1;
constexpr std::uint32_t kKeySpecSignature = 2;

// Container parameter flags of TK_GetContainerParam.
constexpr std::uint32_t kContainerHasSignatureCert = 0x00020000;
constexpr std::uint32_t kContainerHasExchangeCert = 0x00000002;

// Certificate type of TK_GetCertType.
constexpr std::uint32_t kCertTypeRsa = 1;
constexpr std::uint32_t kCertTypeSm2 = 2;

// PIN kinds of TK_PIN_GetPinRetryNum.
constexpr std::uint32_t kPinKindAdmin = 1;
constexpr std::uint32_t kPinKindUser = 2;

// Readers of the maker's keys are "Quillon Tarnex UDISK 0", "... 1", ...
constexpr const char kReaderFamily[] = "Quillon Tarnex UDISK";
constexpr const char kFirstReaderName[] = "Quillon Tarnex UDISK 0";

// TK_GetSerial gets no buffer size; every caller passes at least 32 bytes.
constexpr std::uint32_t kSerialBufferSize = 32;

// PIN transfer record: the PIN as count + characters XOR-ed with a 32-byte
// mask, so that it never crosses the interface in plain form.
constexpr std::uint32_t kPinRecordDataSize = 512;
constexpr std::uint32_t kPinMaskSize = 32;
struct PinTransferRecord {
  std::uint32_t count;
  std::uint8_t data[kPinRecordDataSize];
  std::uint8_t mask[64];  // the first kPinMaskSize bytes are the mask
};
static_assert(sizeof(PinTransferRecord) == 580, "the record is a fixed 580-byte layout");

}  // namespace tk
