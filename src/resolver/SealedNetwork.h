#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

// A network of its own (a network namespace, in a user namespace so that no privilege is needed) for the
// ffmpeg processes of a service that refuses internal addresses. Nothing in it leads anywhere: its loopback
// holds one listening socket, which the service accepts on from outside (FetchProxy). Whatever protocol a
// playlist names, ffmpeg can reach nothing but that proxy, which judges every address.
class SealedNetwork {
public:
    // Nothing where the system allows no user namespaces; *problem then says why.
    static std::unique_ptr<SealedNetwork> Make(QString *problem);

    SealedNetwork(const SealedNetwork &) = delete;
    SealedNetwork &operator=(const SealedNetwork &) = delete;
    ~SealedNetwork();

    // The socket listening on 127.0.0.1 inside, handed to whoever accepts on it (taken once), and its port.
    qintptr TakeListener();
    quint16 ListenerPort() const { return listenerPort; }

    // Moves the calling process into the network. For a child between fork and exec: system calls only.
    bool Enter() const;

private:
    SealedNetwork() = default;

    int userNamespace = -1;
    int networkNamespace = -1;
    int listener = -1;
    quint16 listenerPort = 0;
};
