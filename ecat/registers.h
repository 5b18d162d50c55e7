// ESC registers a diagnosis reads, and the EEPROM interface it drives.
#pragma once

#include <cstdint>

#include "kestrum/language/error_registers.h"

namespace kestrum::ecat {

inline constexpr uint16_t kRegType = 0x0000;  // 1 byte; the type block is 10 bytes
inline constexpr uint16_t kTypeBlockBytes = 10;
inline constexpr uint16_t kRegRevision = 0x0001;
inline constexpr uint16_t kRegBuild = 0x0002;  // 2 bytes
inline constexpr uint16_t kRegFmmus = 0x0004;
inline constexpr uint16_t kRegSyncManagers = 0x0005;
inline constexpr uint16_t kRegRamKib = 0x0006;
inline constexpr uint16_t kRegPortDescriptor = 0x0007;
inline constexpr uint16_t kRegStationAddress = 0x0010;  // 2 bytes; never written here
inline constexpr uint16_t kRegAlias = 0x0012;           // 2 bytes: the configured station alias
inline constexpr uint16_t kRegDlStatus = 0x0110;        // 2 bytes
inline constexpr uint16_t kRegAlControl = 0x0120;       // written only to take nodes to PREOP
inline constexpr uint16_t kRegAlStatus = 0x0130;        // 2 bytes
inline constexpr uint16_t kRegAlStatusCode = 0x0134;    // 2 bytes
// 0300H-0313H: per port invalid frame and RX error, forwarded errors, processing unit,
// PDI errors and code, lost links, as kestrum/language/error_registers.h describes them.
inline constexpr uint16_t kRegErrorCounters = kestrum::language::kErrorRegisterBase;
inline constexpr uint16_t kErrorCounterBytes = kestrum::language::kErrorRegisterCount;

// SyncManager n at 0800H + 8n: start (2), length (2), control, status, activate, PDI
// control. 0 and 1 are the standard mailbox: master to node, node to master.
inline constexpr uint16_t kRegSyncManager0 = 0x0800;
inline constexpr uint16_t kSyncManagerBytes = 8;
inline constexpr uint16_t kSmStart = 0, kSmLength = 2, kSmControl = 4, kSmStatus = 5,
                          kSmActivate = 6, kSmPdiControl = 7;
inline constexpr uint16_t kRegSm1Status = 0x080D;
inline constexpr uint16_t kRegSm1Activate = 0x080E;
inline constexpr uint16_t kRegSm1PdiControl = 0x080F;
inline constexpr uint8_t kSmModeAndDirection = 0x0F;  // of control
inline constexpr uint8_t kSmMailboxMasterWrites = 0x06;
inline constexpr uint8_t kSmMailboxMasterReads = 0x02;
// Control as masters set the standard mailbox, with the interrupt to the node for SM0.
inline constexpr uint8_t kSm0MailboxControl = 0x26;
inline constexpr uint8_t kSm1MailboxControl = 0x22;
inline constexpr uint8_t kSmMailboxFull = 0x08;  // status
inline constexpr uint8_t kSmEnable = 0x01;       // activate
inline constexpr uint8_t kSmRepeat = 0x02;       // activate: request; PDI control: acknowledge
inline constexpr uint8_t kSmDeactivated = 0x01;  // PDI control: by the node

inline constexpr uint16_t kRegEepromConfig = 0x0500;     // bit 0: offered to the PDI
inline constexpr uint16_t kRegEepromPdiAccess = 0x0501;  // bit 0: the PDI is reading it
inline constexpr uint16_t kRegEepromControl = 0x0502;    // 2 bytes, control and status
inline constexpr uint16_t kRegEepromAddress = 0x0504;    // 4 bytes, a word address
inline constexpr uint16_t kRegEepromData = 0x0508;       // 4 or 8 bytes
// SyncManager buffers and process memory start here: reading a buffer completes it for the
// node's application, so the gateway reads below it only.
inline constexpr uint16_t kFirstMemoryAddress = 0x1000;
// What the gateway may write: the EEPROM interface's control and address, nothing else.
inline constexpr uint16_t kFirstWritable = kRegEepromControl;
inline constexpr uint16_t kLastWritable = 0x0507;

inline constexpr uint16_t kEepromInterfaceBytes = 16;  // 0500H-050FH
// 0502H, control and status.
inline constexpr uint16_t kEepromWriteEnable = 0x0001;
inline constexpr uint16_t kEepromEmulated = 0x0020;  // the node's processor plays the EEPROM
inline constexpr uint16_t kEepromReads8Bytes = 0x0040;
inline constexpr uint16_t kEepromCommandMask = 0x0700;
inline constexpr uint16_t kEepromCommandRead = 0x0100;
inline constexpr uint16_t kEepromCommandWrite = 0x0200;
inline constexpr uint16_t kEepromChecksumError = 0x0800;
inline constexpr uint16_t kEepromNotLoaded = 0x1000;
inline constexpr uint16_t kEepromMissingAck = 0x2000;
inline constexpr uint16_t kEepromWriteEnableError = 0x4000;
inline constexpr uint16_t kEepromBusy = 0x8000;

// AL status states (low four bits).
inline constexpr uint16_t kAlStateInit = 1;
inline constexpr uint16_t kAlStatePreop = 2;
inline constexpr uint16_t kAlStateBoot = 3;
inline constexpr uint16_t kAlStateSafeop = 4;
inline constexpr uint16_t kAlStateOp = 8;
inline constexpr uint16_t kAlStateMask = 0x0F;
// AL status bits; in AL control bit 4 acknowledges an error.
inline constexpr uint16_t kAlErrorBit = 0x0010;
inline constexpr uint16_t kAlIdLoadedBit = 0x0020;  // 0134H holds the device ID asked for
inline constexpr uint16_t kAlAcknowledge = 0x0010;
// AL status codes the emulated nodes give.
inline constexpr uint16_t kAlCodeInvalidStateChange = 0x0011;
inline constexpr uint16_t kAlCodeInvalidMailbox = 0x0016;

}  // namespace kestrum::ecat
