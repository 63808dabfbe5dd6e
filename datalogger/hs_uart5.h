#pragma once
// The image's two serial ports: USART1 to the phone-link radio module and USART3, the
// console. The chip has no UART5: `UART5_Printf` and this module keep the names of the
// board's older console code, and drive USART3.
//
// Console text: "Start!" banner, the logs, read-back dumps, marker frames. Phone link:
// the "Q=" status and firing lines.
#include <cstdint>

#include "main.h"

// The 18-byte console frame of the start-up and trigger markers, little-endian.
typedef struct {
    char start;
    char seqNum;
    int16_t n1, n2, n3, n4, n5, n6;
    char reserved;
    char end;
    char end2;
    char end3;
} PACKETDATA;
static_assert(sizeof(PACKETDATA) == 18, "the marker frame is 18 bytes on the wire");

constexpr uint32_t PRINT_BUFFER_SIZE = 128;

// printf-style output, blocking (time-out 1000 ms). A message longer than 127
// characters is cut to 127; the formatted length is returned. A transmit refused or
// timed out is lost.
int UART5_Printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
int RF_Printf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// The marker frames on the console: "rst-w2.8" at start-up, and the trigger frame
// with the type's digit and two code characters.
void UART5_SendStartFrame(void);
void UART5_SendTriggerFrame(uint8_t type);
// The trigger frame's 18 bytes for `type` (what UART5_SendTriggerFrame sends).
PACKETDATA UART5_TriggerFrame(uint8_t type);

// "Q=0;1;..." status (firing = false) or "Q=2;1;..." firing line to the phone, with
// the firing latch, the battery percentage and BT_seqNum (then incremented).
void RF_SendStatus(bool firing);

// Start-up check of the radio module: it answers its own "AT\r" with "OK" whether or
// not a phone is connected (its power and reset pins would read back high whatever
// is connected). True when "OK" came within a second.
bool RF_ModuleAnswers(void);

// Once running: the phone link received two bytes at a time (the phone application's
// "~~" and the module's replies reach the console through the main loop), the console
// eight bytes at a time for the radio module's "AT+SHOW" and "AT+TEST". The read-back
// mode stops the console's reception before it takes the port for its requests.
void UART_StartReceptions(void);
void UART_StopConsoleReception(void);

// Main loop: forwards queued phone-link byte pairs to the console and notices the
// phone application's "~~" marker.
void UART_ForwardPhoneBytes(void);
