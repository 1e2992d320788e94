/* The asynchronous TCP library (libSvr_intf.so): ten calls and four callbacks with a C ABI.
 *
 * Links are named by handles: positive 32-bit integers, 0 for none. Texts are zero-terminated.
 * The library runs its event loop on a thread of its own; every callback is made on that
 * thread, one at a time. No callback is made after Asio_Uninit returns.
 *
 *   Asio_init(0)          prepares the event loop; opens no listener
 *   Asio_init(port > 0)   also listens on 127.0.0.1:port and reports each accepted link
 *                         through callback 1
 *   Asio_Client_conntosvr connects before it returns (result 1), or fails within a few
 *                         seconds (result 0); the link's callbacks carry the given context
 *
 * Every link has TCP_NODELAY set: the protocol writes small pieces and waits for the reply.
 * A link that closes, from either side or through Asio_Uninit, reports callback 2 once.
 */
#ifndef SVR_INTF_H
#define SVR_INTF_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SVR_INTF_API __attribute__((visibility("default")))

/* Callback 1: a peer opened a link. Store the link's context in *context; *value is the
 * caller's to set and unused by the library. */
typedef void (*Asio_AcceptCallback)(int32_t handle, const char* peerAddress, int32_t peerPort, void** context,
                                    int32_t* value);
/* Callback 2: the link whose context this is has closed. */
typedef void (*Asio_DisconnectCallback)(void* context);
/* Callback 3: bytes arrived; data is valid during the call only. reserved is always 0. */
typedef void (*Asio_ReceiveCallback)(const void* data, int32_t count, void* context, int32_t reserved);
/* Callback 4: the Asio_senddata call with this tag has ended (sent, or failed with the link). */
typedef void (*Asio_SendCompleteCallback)(void* context, void* tag);

enum { ASIO_CB_ACCEPT = 1, ASIO_CB_DISCONNECT = 2, ASIO_CB_RECEIVE = 3, ASIO_CB_SEND_COMPLETE = 4 };

/* Registers callback id (1 to 4); works before Asio_init. Answers 1, or 0 for an unknown id. */
SVR_INTF_API int32_t Asio_SetCallback(int32_t id, void* routine);
/* Starts the event loop (if not running) and, for a port above 0, the listener. 1 on success. */
SVR_INTF_API int32_t Asio_init(int32_t port);
/* Blocks the calling thread until Asio_Uninit. Answers at once when the loop is not running. */
SVR_INTF_API int32_t Asio_SvrRun(void);
/* Closes every link (each reports callback 2), stops the loop and waits for its thread.
 * A second call does nothing. Must not be called from a callback. */
SVR_INTF_API int32_t Asio_Uninit(void);

/* Stores a new client handle in *handle. Answers 1, or 0 when handle is null. */
SVR_INTF_API int32_t Asio_Client_init(int32_t* handle);
/* Connects the client handle to host:port (a dotted IPv4 address or a name). An open link of
 * the same handle is closed first. 1 when connected, 0 otherwise. */
SVR_INTF_API int32_t Asio_Client_conntosvr(int32_t handle, const char* host, int32_t port, void* context);
/* Sends length bytes on a client link; when it returns the bytes are taken. Non-zero on
 * success, 0 when the link is gone or the handle unknown. */
SVR_INTF_API int32_t Asio_Client_senddata(int32_t handle, const void* data, int32_t length);
/* Closes a client link and reports callback 2 before it returns. 1 when the handle was known;
 * 0 otherwise, after any callback in progress has ended, so the link's context may be freed. */
SVR_INTF_API int32_t Asio_Client_DisConn(int32_t handle);

/* Starts sending length bytes on any link and returns; data must stay valid until callback 4
 * reports the end with tag. 1 when started, 0 for an unknown handle (no callback follows). */
SVR_INTF_API int32_t Asio_senddata(void* tag, int32_t handle, const void* data, int32_t length);
/* Closes an accepted link; callback 2 follows. 1 when the handle was known, else 0. */
SVR_INTF_API int32_t Asio_closesocket(int32_t handle);

#ifdef __cplusplus
}
#endif

#endif
