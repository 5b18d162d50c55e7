/* Client library for networked motion controllers: one link per handle, text
 * commands in, printed text out. All functions return 0 on success. */
#ifndef KESTRUM_H
#define KESTRUM_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(KESTRUM_BUILDING)
#define KST_API __declspec(dllexport)
#else
#define KST_API __declspec(dllimport)
#endif
#else
#define KST_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque, never 0 for an open link. */
typedef struct KST_Link* KST_HANDLE;

/* Connection types for KST_FastOpen. */
#define KST_TYPE_ETHERNET 2

/* Our own status codes. The controller's own error codes are 1 to 9999 and are
 * passed through unchanged; callers reserve 30000 to 30003 for themselves. */
#define KST_ERR_INVALID_ARGUMENT 20001 /* null pointer, zero capacity, unsupported type */
#define KST_ERR_BAD_ADDRESS 20002      /* address is not dotted IPv4 text */
#define KST_ERR_CONNECT_REFUSED 20003  /* the controller refused or could not be reached */
#define KST_ERR_CONNECT_TIMEOUT 20004  /* no connection within the time-out */
#define KST_ERR_BAD_HANDLE 20005       /* null, closed or unknown handle */
#define KST_ERR_BAD_COMMAND 20006      /* command longer than 2047 bytes or holding CR or LF */
#define KST_ERR_TIMEOUT 20007          /* this call's reply did not come in time */
#define KST_ERR_REPLY_OVERDUE 20008    /* an earlier reply is still outstanding on this link */
#define KST_ERR_LINK_CLOSED 20009      /* the controller closed or reset the connection */
#define KST_ERR_MALFORMED_REPLY 20010  /* the controller sent a frame we cannot accept */
#define KST_ERR_SYSTEM 20011           /* the operating system refused a socket operation */

KST_API int32_t KST_FastOpen(int32_t type, const char* address, uint32_t timeoutMs,
                             KST_HANDLE* handle);
KST_API int32_t KST_Close(KST_HANDLE handle);
KST_API int32_t KST_SetTimeOut(KST_HANDLE handle, uint32_t timeoutMs);
KST_API int32_t KST_Execute(KST_HANDLE handle, const char* command, uint32_t timeoutMs,
                            char* reply, uint32_t replyCapacity);
KST_API int32_t KST_DirectCommand(KST_HANDLE handle, const char* command, char* reply,
                                  uint32_t replyCapacity);
KST_API int32_t KST_SearchEth(char* addresses, uint32_t capacity, uint32_t searchMs);

#ifdef __cplusplus
}
#endif

#endif /* KESTRUM_H */
