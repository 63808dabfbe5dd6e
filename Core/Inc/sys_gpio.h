#pragma once
// Pins: the start-up set-up, the low-power set-up before standby, and the LED
// patterns of the running device.

// Outputs low, then the inputs and outputs of the board; returns 0.
int sys_gpio_init(void);
// External flash into deep power-down, then the pins for the lowest standby
// current; returns 0.
int sys_gpio_standby(void);
// Every tick, until the first firing: trigger outputs driven low, and the LEDs'
// pattern (each repeats every second or faster):
//   normal                heartbeat LED on 60 ms of every second
//   low battery           status LED on 60 ms of every second (kept once shown)
//   standby pending       both LEDs together, 60 ms of every second
//   motion sensor failing heartbeat LED on 60 ms of every 250 ms instead of its
//                         normal flash (with standby pending, that pattern wins)
void led_blink(void);
