#pragma once

#include <QProcess>
#include <QProcessEnvironment>

// What every yt-dlp and ffmpeg process of the service shares: it leads a process group of its own, so that
// killing the group also kills what it started, and it dies with the service even when the service is
// killed outright.
namespace ChildProcess {

// To call before start(); outputDescriptor, when given, becomes the child's standard output.
void PrepareChild(QProcess &process, int outputDescriptor = -1);

// The service's environment without what would send the child's fetches elsewhere or change its Python.
QProcessEnvironment CleanEnvironment();

// Kills the process and its group at once.
void KillGroup(QProcess &process);

}  // namespace ChildProcess
