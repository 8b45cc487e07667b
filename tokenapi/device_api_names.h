// The exported functions of the device library that the deliverables call, with
// their argument shapes. One list feeds the function table, the name
// resolution and the software token's own declarations.
//
// X(name, parameter list)
// Every function returns a 32-bit result, 0 for success. Where the tray tool
// passes a device handle and the control an application handle, the parameter
// is a plain TK_HANDLE.
#pragma once

#define TK_DEVICE_FUNCTIONS(X)                                                                    \
  X(TK_ListReaders, (char* names, ULONG* size, ULONG* count))                                    \
  X(TK_ConnectDev, (const char* reader, TK_HANDLE* device))                                      \
  X(TK_DisConnectDev, (TK_HANDLE device))                                                        \
  X(TK_GetDevState, (const char* reader, ULONG* state))                                          \
  X(TK_EnumApplication, (TK_HANDLE device, char* names, ULONG* size, ULONG* count))              \
  X(TK_OpenApplication, (TK_HANDLE device, const char* application, TK_HANDLE* app))             \
  X(TK_CloseApplication, (TK_HANDLE app))                                                        \
  X(TK_EnumContainer, (TK_HANDLE handle, char* names, ULONG* size, ULONG* count))                \
  X(TK_GetContainerParam, (TK_HANDLE device, const char* container, ULONG* flags))               \
  X(TK_GetCertType, (TK_HANDLE device, const char* container, ULONG key_spec, ULONG* type))      \
  X(TK_ReadCert, (TK_HANDLE handle, const char* container, ULONG key_spec, BYTE* cert,           \
                  ULONG* length))                                                                \
  X(TK_ReadLabel, (TK_HANDLE device, char* label, ULONG* length))                                \
  X(TK_WriteLabel, (TK_HANDLE device, const char* label))                                        \
  X(TK_GetDevType, (TK_HANDLE device, ULONG* type))                                              \
  X(TK_GetSerial, (TK_HANDLE device, char* serial))                                              \
  X(TK_GetTotalSize, (TK_HANDLE device, ULONG* bytes))                                           \
  X(TK_GetFreeSize, (TK_HANDLE device, ULONG* bytes))                                            \
  X(TK_GetHWApp, (TK_HANDLE device, ULONG* kind))                                                \
  X(TK_GetPinChangeTag, (TK_HANDLE device, ULONG* tag))                                          \
  X(TK_GetUserPinRetryNum, (TK_HANDLE device, ULONG* count))                                     \
  X(TK_PIN_GetPinRetryNum, (TK_HANDLE app, ULONG pin_kind, ULONG* count))                        \
  X(TK_VerifyUserPin, (TK_HANDLE handle, const char* pin, ULONG* retries_left))                  \
  X(TK_VerifyUserPinSec, (TK_HANDLE device, const tk::PinTransferRecord* pin,                    \
                          BYTE* retries_left))                                                   \
  X(TK_ChangeUserPinSec, (TK_HANDLE device, const tk::PinTransferRecord* old_pin,                \
                          const tk::PinTransferRecord* new_pin, BYTE* retries_left))             \
  X(TK_PIN_ChangeUserPINbyAdmin, (TK_HANDLE app, const char* admin_pin, const char* new_user_pin, \
                                  ULONG* admin_retries_left))                                    \
  X(TK_FormatHWSec, (TK_HANDLE app, const char* label, ULONG user_retry_limit,                   \
                     const char* admin_pin, ULONG admin_retry_limit, const char* application,    \
                     ULONG reserved1, ULONG reserved2))                                          \
  X(TK_SetDevChgFunc, (const char* reader_filter, TK_DevChgCallback on_arrival,                  \
                       TK_DevChgCallback on_removal, const void* context, ULONG reserved))
