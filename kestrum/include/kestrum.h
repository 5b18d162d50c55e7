/* Client library for networked motion controllers: one link per handle, text
 * commands in, printed text out. All functions return 0 on success. */
#ifndef KESTRUM_H
#define KESTRUM_H

#include <stdint.h>

/* On Windows define KESTRUM_STATIC when linking the static library instead of kestrum.dll. */
#if defined(_WIN32)
#if defined(KESTRUM_BUILDING)
#define KST_API __declspec(dllexport)
#elif defined(KESTRUM_STATIC)
#define KST_API
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

/* Opens a link to the controller at address (dotted IPv4, no names) within
 * timeoutMs (0: 1000 ms). *handle is written only on success. */
KST_API int32_t KST_FastOpen(int32_t type, const char* address, uint32_t timeoutMs,
                             KST_HANDLE* handle);
KST_API int32_t KST_Close(KST_HANDLE handle);
/* The time-out of KST_DirectCommand, and of KST_Execute when given 0;
 * 1000 ms until set, 0 restores that. */
KST_API int32_t KST_SetTimeOut(KST_HANDLE handle, uint32_t timeoutMs);
/* Runs one command line and copies what it printed into reply, cut to
 * replyCapacity - 1 bytes (and at a NUL byte), zero-terminated. reply holds a
 * zero-terminated text whatever the result. timeoutMs 0 uses the handle's
 * time-out. A non-zero status from 1 to 9999 is the controller's error code,
 * with what it printed in reply. After KST_ERR_TIMEOUT every call on the link
 * returns KST_ERR_REPLY_OVERDUE at once until the late reply has come in. */
KST_API int32_t KST_Execute(KST_HANDLE handle, const char* command, uint32_t timeoutMs,
                            char* reply, uint32_t replyCapacity);
/* As KST_Execute, bypassing the controller's command buffer, with the handle's
 * time-out. */
KST_API int32_t KST_DirectCommand(KST_HANDLE handle, const char* command, char* reply,
                                  uint32_t replyCapacity);
/* Broadcasts a search on every IPv4 network and lists, for searchMs, the
 * addresses of controllers that answer, blank-separated and zero-terminated.
 * An address that does not fit whole is left out. 0 also when none answered. */
KST_API int32_t KST_SearchEth(char* addresses, uint32_t capacity, uint32_t searchMs);

#ifdef __cplusplus
}
#endif

#endif /* KESTRUM_H */
