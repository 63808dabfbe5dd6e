#pragma once
// The board set-up the storage needs, as the device's board configuration does it:
// the LED pins, the QUADSPI pins and peripheral (prescaler 255: 187.5 kHz), and the
// RTC on the LSE with backup-domain access. Shared by the storage test firmware and
// the in-process module tests.

void storage_board_pins(void);
void storage_board_qspi(void);
void storage_board_rtc_clock(void);
