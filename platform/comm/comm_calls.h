// The Windows comm calls, under their Windows names, as the program's own on
// every platform: a handle comes from the program's handle table, and stands
// for the device the port table gives its number (a serial device, or the
// simulated interface). So a simulated or mapped port never reaches the
// machine's own COM port, on Windows either. The contract is Windows': BOOL
// results, counts through out-parameters, GetLastError() for the reason.
#pragma once

#include "win32.h"

namespace platform::comm {

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
BOOL CloseHandle(HANDLE handle);
BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped);
BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPOVERLAPPED overlapped);

BOOL SetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts);
BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue);
BOOL GetCommState(HANDLE handle, LPDCB dcb);
BOOL SetCommState(HANDLE handle, LPDCB dcb);
BOOL SetCommBreak(HANDLE handle);
BOOL ClearCommBreak(HANDLE handle);
BOOL GetCommModemStatus(HANDLE handle, LPDWORD modemStatus);

}  // namespace platform::comm
