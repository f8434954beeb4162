#include "CloseWatch.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

CloseWatch::~CloseWatch()
{
    Release();
}

void CloseWatch::Watch(qintptr socketDescriptor)
{
    Release();
    if (socketDescriptor >= 0)
        descriptor = ::dup(static_cast<int>(socketDescriptor));
}

void CloseWatch::Release()
{
    if (descriptor < 0)
        return;
    ::close(descriptor);
    descriptor = -1;
}

bool CloseWatch::WasReset() const
{
    if (descriptor < 0)
        return false;
    tcp_info info{};
    socklen_t size = sizeof info;
    if (::getsockopt(descriptor, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return false;
    // The server's close leaves our side waiting to close (CLOSE_WAIT) while this descriptor holds it
    // open; only a reset or a broken connection ends in CLOSE without us.
    return info.tcpi_state == TCP_CLOSE;
}
