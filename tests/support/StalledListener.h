#pragma once

#include <QtGlobal>

// A loopback port that never completes a connection: it listens with a queue of one, filled by a connection
// of its own and never accepted, so the system drops every later connection attempt and the client's connect
// hangs as it does towards a host that does not answer.
class StalledListener {
public:
    StalledListener();
    StalledListener(const StalledListener &) = delete;
    StalledListener &operator=(const StalledListener &) = delete;
    ~StalledListener();

    // False when the port could not be set up.
    bool Ready() const { return ready; }
    quint16 Port() const { return port; }

private:
    int listener = -1;
    int filler = -1;
    quint16 port = 0;
    bool ready = false;
};
