#include "StalledListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

sockaddr_in Loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Connects without blocking for long: the filler must reach the queue, later attempts must not.
bool ConnectWithin(int socket, quint16 port, int milliseconds)
{
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
    const sockaddr_in address = Loopback(port);
    if (::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
        return true;
    if (errno != EINPROGRESS)
        return false;
    pollfd waiting{socket, POLLOUT, 0};
    if (::poll(&waiting, 1, milliseconds) != 1)
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

}  // namespace

StalledListener::StalledListener()
{
    listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(listener, 0) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size) != 0)
        return;
    port = ntohs(address.sin_port);
    filler = ::socket(AF_INET, SOCK_STREAM, 0);
    if (filler < 0 || !ConnectWithin(filler, port, 5000))
        return;
    // The queue is full only if a second attempt now hangs.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    ready = probe >= 0 && !ConnectWithin(probe, port, 200);
    if (probe >= 0)
        ::close(probe);
}

StalledListener::~StalledListener()
{
    if (filler >= 0)
        ::close(filler);
    if (listener >= 0)
        ::close(listener);
}
