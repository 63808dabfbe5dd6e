#pragma once
// The radio module (BLE serial bridge to the phone application) on the phone-link
// port: power-up with its self-test, the periodic status line, and the phone-link
// byte pairs forwarded to the console.

// Powers the module up and releases its reset, reads both pins back and asks the
// module for an answer ("AT\r"), which must be "OK" within a second. Returns 0
// when both pins read high and the module answered; otherwise it never returns:
// status LED on and "BT is NOT ready for use!!!! c=<n>" without pause (the tick keeps running, the
// main loop never starts).
int sys_bluetooth_init(void);
// Every tick: the status line "Q=0;1;<fired>,<battery %>,<count>,\n" when due
// (every 5 s from 5.13 s; every 60 s once the phone application is connected).
void send_status_to_ble(void);
// Forwards the queued phone-link pairs to the console while the phone-link
// transmitter is idle, and recognises the phone application's "~~" marker (main
// loop). Returns the number of pairs forwarded.
int sys_bluetooth_forward(void);
