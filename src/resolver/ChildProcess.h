#pragma once

#include <QProcess>
#include <QProcessEnvironment>

class SealedNetwork;

// What every yt-dlp and ffmpeg process of the service shares: it leads a process group of its own, so that
// killing the group also kills what it started, and it dies with the service even when the service is
// killed outright.
namespace ChildProcess {

// What a child may be given besides.
struct Confinement {
    int outputDescriptor = -1;  // becomes its standard output
    const SealedNetwork *network = nullptr;  // the only network it can reach
    qint64 memoryLimit = 0;  // bytes of data it may hold (heap, stacks), or 0 for no limit
};

// A child that could not be confined ends with this code before it runs anything.
constexpr int kNotConfinedExit = 125;

// To call before start().
void PrepareChild(QProcess &process, const Confinement &confinement = {});

// The service's environment without what would send the child's fetches elsewhere or change its Python.
QProcessEnvironment CleanEnvironment();

// Kills the process and its group at once.
void KillGroup(QProcess &process);

}  // namespace ChildProcess
