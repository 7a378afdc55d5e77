#pragma once
// Any baud rate on a Linux serial device. The kernel's termios2 interface (BOTHER) takes a speed
// in bits per second; <asm/termbits.h> clashes with <termios.h>, so this lives in a file of its own.

namespace kmr {

// Sets input and output speed of the open device fd to baud and reads the speed back.
// Returns 0 on success with *actual holding the speed the driver took, or an errno value.
int SetLineSpeed(int fd, unsigned baud, unsigned* actual);

} // namespace kmr

namespace kmr {
// Reads the output speed of the open device fd into *baud. Returns 0 or an errno value.
int GetLineSpeed(int fd, unsigned* baud);
} // namespace kmr
