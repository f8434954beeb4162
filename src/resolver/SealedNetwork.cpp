#include "SealedNetwork.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

// What the maker's child reports when a step fails: the step and the system's error number.
struct Failure {
    int step = 0;
    int error = 0;
};

enum Step { kDone, kFork, kUnshare, kUserMap, kGroupMap, kLoopback, kListen, kNamespaceFiles, kNoAnswer };
constexpr std::array kStepNames{
    "", "fork", "unshare", "uid_map", "gid_map", "lo up", "listen", "/proc/self/ns/*", "no answer from the child"};

// The child of a process of many threads may not allocate: numbers are written by hand.
bool WriteMapping(const char *path, unsigned id)
{
    char text[32];
    char digits[12];
    int count = 0;
    do
        digits[count++] = char('0' + id % 10);
    while ((id /= 10) != 0);
    int length = 0;
    for (int copy = 0; copy < 2; ++copy) {
        for (int i = count - 1; i >= 0; --i)
            text[length++] = digits[i];
        text[length++] = ' ';
    }
    text[length++] = '1';
    text[length++] = '\n';
    const int file = ::open(path, O_WRONLY | O_CLOEXEC);
    const bool written = file >= 0 && ::write(file, text, size_t(length)) == length;
    if (file >= 0)
        ::close(file);
    return written;
}

bool WriteGroupMapping(unsigned group)
{
    // Without privileges the groups may be mapped only once setgroups is refused for good.
    const int file = ::open("/proc/self/setgroups", O_WRONLY | O_CLOEXEC);
    const bool denied = file < 0 || ::write(file, "deny", 4) == 4;  // older systems have no such file
    if (file >= 0)
        ::close(file);
    return denied && WriteMapping("/proc/self/gid_map", group);
}

bool BringLoopbackUp()
{
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    ifreq request{};
    std::memcpy(request.ifr_name, "lo", 3);
    bool up = ::ioctl(probe, SIOCGIFFLAGS, &request) == 0;
    if (up) {
        request.ifr_flags |= IFF_UP;
        up = ::ioctl(probe, SIOCSIFFLAGS, &request) == 0;
    }
    ::close(probe);
    return up;
}

int ListenOnLoopback()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket >= 0 && ::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::listen(socket, SOMAXCONN) == 0)
        return socket;
    return -1;
}

// The child that makes the namespaces: it sends their descriptors and the listening socket, or its failure.
[[noreturn]] void MakeInChild(int channel, unsigned user, unsigned group)
{
    Failure failure;
    std::array<int, 3> descriptors{-1, -1, -1};
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        failure = {kUnshare, errno};
    else if (!WriteMapping("/proc/self/uid_map", user))
        failure = {kUserMap, errno};
    else if (!WriteGroupMapping(group))
        failure = {kGroupMap, errno};
    else if (!BringLoopbackUp())
        failure = {kLoopback, errno};
    else if ((descriptors[0] = ListenOnLoopback()) < 0)
        failure = {kListen, errno};
    else if ((descriptors[1] = ::open("/proc/self/ns/user", O_RDONLY | O_CLOEXEC)) < 0
             || (descriptors[2] = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC)) < 0)
        failure = {kNamespaceFiles, errno};
    iovec data{&failure, sizeof failure};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof descriptors)];
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    if (failure.step == kDone) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr *header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof descriptors);
        std::memcpy(CMSG_DATA(header), descriptors.data(), sizeof descriptors);
    }
    ::sendmsg(channel, &message, MSG_NOSIGNAL);
    ::_exit(0);
}

// What the child sent: the three descriptors, or its failure.
Failure Receive(int channel, std::array<int, 3> &descriptors)
{
    Failure failure{kNoAnswer, 0};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof descriptors)];
    iovec data{&failure, sizeof failure};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t received;
    do
        received = ::recvmsg(channel, &message, MSG_CMSG_CLOEXEC);
    while (received < 0 && errno == EINTR);
    if (received != ssize_t(sizeof failure) || failure.step < kDone || failure.step > kNoAnswer)
        return {kNoAnswer, 0};
    if (failure.step != kDone)
        return failure;
    const cmsghdr *header = CMSG_FIRSTHDR(&message);
    if (!header || header->cmsg_type != SCM_RIGHTS || header->cmsg_len != CMSG_LEN(sizeof descriptors))
        return {kNoAnswer, 0};
    std::memcpy(descriptors.data(), CMSG_DATA(header), sizeof descriptors);
    return failure;
}

}  // namespace

std::unique_ptr<SealedNetwork> SealedNetwork::Make(QString *problem)
{
    int channel[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel) != 0) {
        *problem = QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    // A process of many threads may not enter a new user namespace: a child of one thread makes them.
    const pid_t child = ::fork();
    if (child == 0)
        MakeInChild(channel[1], ::getuid(), ::getgid());
    ::close(channel[1]);
    std::array<int, 3> descriptors{-1, -1, -1};
    Failure failure{kFork, errno};
    if (child > 0) {
        failure = Receive(channel[0], descriptors);
        ::waitpid(child, nullptr, 0);
    }
    ::close(channel[0]);
    if (failure.step != kDone) {
        *problem = QLatin1String(kStepNames[size_t(failure.step)]);
        if (failure.error != 0)
            *problem += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(failure.error));
        return nullptr;
    }
    std::unique_ptr<SealedNetwork> network(new SealedNetwork);
    network->listener = descriptors[0];
    network->userNamespace = descriptors[1];
    network->networkNamespace = descriptors[2];
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(network->listener, reinterpret_cast<sockaddr *>(&address), &length);
    network->listenerPort = ntohs(address.sin_port);
    return network;
}

SealedNetwork::~SealedNetwork()
{
    for (const int descriptor : {userNamespace, networkNamespace, listener})
        if (descriptor >= 0)
            ::close(descriptor);
}

qintptr SealedNetwork::TakeListener()
{
    return std::exchange(listener, -1);
}

bool SealedNetwork::Enter() const
{
    // The user namespace first: only in it may a process without privileges join the network it owns.
    return ::setns(userNamespace, CLONE_NEWUSER) == 0 && ::setns(networkNamespace, CLONE_NEWNET) == 0;
}
