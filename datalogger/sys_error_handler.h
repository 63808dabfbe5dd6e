#pragma once
// The failure path of the board set-up code this image shares with the device image
// (the buzzer). The device image halts there; in this image a failing HAL set-up is
// not checked and start-up goes on, so the call returns.
void sys_error_handler(const char *module, int step);
