// The serial device of the controller link: opened exclusively, raw 9600 8N1, reads that never
// wait, writes bounded by 100 ms + 100 ms per byte. It opens, reads, writes and closes the device
// and says what went wrong; what the link does about it is the session's (link_session.h).
#pragma once
#include <cstddef>

// The open port, or none (-1, which is also the system's invalid handle on Windows).
#ifdef _WIN32
using PortHandle = void*;
#else
using PortHandle = int; // a file descriptor
#endif
extern PortHandle portHandle;

// Opens and configures the device at portName. False when it could not be opened or configured,
// with lastDeviceError telling why; a device opened before a later step failed stays open until
// closeDevice, so that the failure is reported while the device is still held. It is held
// exclusively until closeDevice, or the end of the program, which gives it back without stopping
// the link.
bool openDevice(const char* portName);

// Closes the device, giving back the exclusive mode it took; safe when none is open.
void closeDevice();

bool isPortClosed();

// The system's code for the last failure of this thread (errno, or GetLastError on Windows).
int lastDeviceError();

// What one read or write did: the bytes it moved, and the system's code for the failure that
// ended it (0 when nothing failed). A write can fail after part of its bytes went out.
struct PortTransfer {
    int count = 0;
    int error = 0;
};

// Sends length bytes, waiting for the line no longer than 100 ms + 100 ms per byte in all; a
// write that runs out of time comes back short without an error.
PortTransfer writeDevice(const char* bytes, int length);

// Waits at most timeoutMs for something to read from the open device: true as soon as a read
// would find bytes or a failure to report, false when the time ran out or no device is open.
bool waitDeviceInput(int timeoutMs);

// One read of at most maxCount bytes that never waits; a count of 0 when nothing has arrived. End
// of file (the device went away) is an error.
PortTransfer readDevice(char* buffer, int maxCount);

// The text the user sees for error code: "The selected COM port could not be opened" for a
// missing device, else the system's text ("Unknown error N" when it has none).
void portErrorText(int code, char* text, std::size_t size);

// portErrorText for a failed openDevice of portName; where the system keeps serial devices for a
// group of users and the user may not open it, one more sentence names the device and that group.
void openFailureText(int code, const char* portName, char* text, std::size_t size);
