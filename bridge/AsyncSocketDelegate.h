#pragma once
// Callbacks of an AsyncSocket. They run on the socket's SocketThread, one at a time; an
// accepted socket inherits the delegate of the listening socket. Every method has an empty
// default, so a delegate overrides only what it needs.

#include <QByteArray>
#include <QString>
#include <memory>

namespace keskor {

class AsyncSocket;

class AsyncSocketDelegate {
public:
    virtual ~AsyncSocketDelegate() = default;

    /// A listening socket accepted a connection; `newSocket` reads nothing until asked.
    virtual void socketDidAcceptNewSocket(AsyncSocket& sock,
                                          const std::shared_ptr<AsyncSocket>& newSocket) {
        (void)sock;
        (void)newSocket;
    }
    /// A read request completed with `data`, tagged as requested.
    virtual void socketDidReadData(AsyncSocket& sock, const QByteArray& data, long tag) {
        (void)sock;
        (void)data;
        (void)tag;
    }
    /// All bytes of the write tagged `tag` were handed to the operating system.
    virtual void socketDidWriteDataWithTag(AsyncSocket& sock, long tag) {
        (void)sock;
        (void)tag;
    }
    /// The connection closed, by either side or by an error (empty when we closed it on
    /// request). Called once; pending reads and writes are dropped.
    virtual void socketDidDisconnect(AsyncSocket& sock, const QString& error) {
        (void)sock;
        (void)error;
    }
};

} // namespace keskor
