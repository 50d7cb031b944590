// The operations of OrvaneZuv: walking the system's HID devices, reading the current one's
// identity, connecting to it and sending output reports. Each reports its outcome in
// Lasterror: 0 for success, -1 when it could not run, otherwise a code of its own.
#pragma once

#include <cstdint>

#include "plugin_abi.h"

namespace orvane {

// Lasterror codes of Connect, one per step that can fail.
enum ConnectError : int32_t {
  kConnectNoPlugIn = 1,
  kConnectNoInterface = 2,
  kConnectOpenFailed = 3,
  kConnectNoAsyncPort = 4,
  kConnectNoEventSource = 5,
  kConnectQueuesFailed = 7,
};

void Construct(REALobject self);
// Closes the connection and lets go of the current device, the walk and, because nothing
// can use it afterwards, the device interface.
void Close(REALobject self);

bool FindFirstDevice(REALobject self);
bool FindNextDevice(REALobject self);

REALstring Product(REALobject self);
REALstring SerialNumber(REALobject self);
REALstring Manufacturer(REALobject self);
int32_t ProductID(REALobject self);
int32_t VendorID(REALobject self);
int32_t VersionNumber(REALobject self);

void Connect(REALobject self);
void Disconnect(REALobject self);
void InstallCallback(REALobject self);

void SendMessageMemory(REALobject self, REALmemoryBlock data, int32_t offset, int32_t length);
void SendMessage(REALobject self, REALstring data);
void SendMessageMemoryWithReportID(REALobject self, int32_t reportID, REALmemoryBlock data,
                                   int32_t offset, int32_t length);
void SendMessageWithReportID(REALobject self, int32_t reportID, REALstring data);

}  // namespace orvane
