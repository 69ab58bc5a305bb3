// The link's serial port is the platform's serial device: the link's files name it here.
#pragma once
#include "platform/serial_device.h"
