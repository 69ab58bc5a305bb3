// The serial port on the Win32 communications calls: the device opened as a file, not shared,
// reads that return at once with what has arrived, writes bounded by the write time-outs.
#include "platform/serial_device.h"

#include <cstdio>
#include <cstring>
#include <windows.h>

PortHandle portHandle = INVALID_HANDLE_VALUE;

bool openDevice(const char* portName) {
    portHandle = CreateFileA(portName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (portHandle == INVALID_HANDLE_VALUE) {
        return false;
    }
    // 9600 8N1; flow control, handshaking and the special characters stay as the driver has them.
    DCB line;
    std::memset(&line, 0, sizeof line);
    line.DCBlength = sizeof line;
    if (GetCommState(portHandle, &line) == 0) {
        return false;
    }
    line.BaudRate = CBR_9600;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    if (SetCommState(portHandle, &line) == 0) {
        return false;
    }
    // Reads: at once, with what is there. Writes: 100 ms + 100 ms per byte at the most.
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 100, 100};
    return SetCommTimeouts(portHandle, &timeouts) != 0;
}

void closeDevice() {
    if (portHandle != INVALID_HANDLE_VALUE) {
        CloseHandle(portHandle);
        portHandle = INVALID_HANDLE_VALUE;
    }
}

bool isPortClosed() {
    return portHandle == INVALID_HANDLE_VALUE;
}

int lastDeviceError() {
    return static_cast<int>(GetLastError());
}

PortTransfer writeDevice(const char* bytes, int length) {
    DWORD written = 0;
    PortTransfer sent;
    if (WriteFile(portHandle, bytes, static_cast<DWORD>(length), &written, nullptr) == 0) {
        sent.error = lastDeviceError();
    }
    sent.count = static_cast<int>(written);
    return sent;
}

bool waitDeviceInput(int timeoutMs) {
    if (portHandle == INVALID_HANDLE_VALUE) {
        return false;
    }
    // A port opened for plain reads and writes cannot be waited on, so the driver's queue is
    // looked at before and after the time; a failure counts, for the read to report it.
    DWORD errors = 0;
    COMSTAT status{};
    if (ClearCommError(portHandle, &errors, &status) == 0 || status.cbInQue > 0) {
        return true;
    }
    Sleep(static_cast<DWORD>(timeoutMs));
    return ClearCommError(portHandle, &errors, &status) == 0 || status.cbInQue > 0;
}

PortTransfer readDevice(char* buffer, int maxCount) {
    PortTransfer received;
    if (maxCount <= 0) {
        return received;
    }
    DWORD count = 0;
    if (ReadFile(portHandle, buffer, static_cast<DWORD>(maxCount), &count, nullptr) == 0) {
        received.error = lastDeviceError();
    }
    received.count = static_cast<int>(count);
    return received;
}

void portErrorText(int code, char* text, std::size_t size) {
    if (code == ERROR_FILE_NOT_FOUND) {
        std::snprintf(text, size, "%s", "The selected COM port could not be opened");
        return;
    }
    char message[1024];
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), message,
                       sizeof message, nullptr);
    // The system's texts end in a line end, which the box does not want.
    while (length > 0 && (message[length - 1] == '\n' || message[length - 1] == '\r')) {
        --length;
    }
    if (length == 0) {
        std::snprintf(text, size, "Unknown error %d", code);
        return;
    }
    std::snprintf(text, size, "%.*s", static_cast<int>(length), message);
}

void openFailureText(int code, const char*, char* text, std::size_t size) {
    // Any user may open a COM port here: no group to join.
    portErrorText(code, text, size);
}
