#pragma once

#include <QString>

#include <functional>

// What the player benchmarks share: their test videos, kept between runs, and a few measurements.
namespace BenchKit {

// A folder for the benchmark videos beside the benchmark program; made once, reused on later runs.
QString DataFolder();

// The 720p H.264 + AAC clip of the given length (made with ffmpeg on the first run); "" when ffmpeg failed.
QString Clip720p(int seconds);

// Runs the event loop until done() holds or the time is up; true when done() held.
bool WaitUntil(const std::function<bool()> &done, int timeoutMs);

// CPU time of the whole process (all of mpv's threads included), user plus system, in seconds.
double ProcessCpuSeconds();

// Resident memory of the process in MiB.
double ResidentMiB();

// The Qt platform the benchmark runs on ("offscreen", "xcb", ...) and the machine's load averages.
QString DisplayAndLoad();

}  // namespace BenchKit
