#pragma once

#include <QtGlobal>

// Tells a server's reset of the connection from its orderly close. Qt reports a reset like a close, and by
// the time it does it has closed its descriptor; a second descriptor of the same socket, taken once the
// connection stands, keeps the socket open so its state can still be asked.
class CloseWatch {
public:
    CloseWatch() = default;
    CloseWatch(const CloseWatch &) = delete;
    CloseWatch &operator=(const CloseWatch &) = delete;
    ~CloseWatch();

    // Watches the connected socket with this descriptor; a watch already held is let go first.
    void Watch(qintptr descriptor);
    // Lets the socket go: once Qt's descriptor is closed too, the connection ends.
    void Release();
    // The server reset the connection (or it broke off) rather than closing it in order.
    bool WasReset() const;

private:
    int descriptor = -1;
};
