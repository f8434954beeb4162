#pragma once

#include "ConnectionSettings.h"

#include <QtGlobal>

#include <chrono>
#include <optional>
#include <vector>

// The decisions of a video fetched over several connections at once, as plain functions of what has been measured:
// how many connections, and which bytes each fetches. The download (VideoDownload) measures and acts on them.
namespace ConnectionPlan {

// A body shorter than this is fetched over one connection: more would gain too little to be worth asking.
inline constexpr qint64 kLeastLength = qint64(8) << 20;
// The fewest bytes one connection is given to fetch: a range split in two leaves at least this much to each half.
inline constexpr qint64 kLeastRange = qint64(1) << 20;

// The total throughput of the connections measured over one window, and the share of it the file's writer spent
// waiting for bytes.
struct Measure {
    int count = 0;
    double bytesPerSecond = 0;
    double idleShare = 1;
};

// Where the file's writer waits for bytes less than this share of a window, the file holds the download back (the
// disk, or the writing itself), not the connections: more of them cannot make it faster.
inline constexpr double kLeastIdleShare = 0.25;

// The count to work with after now has been measured, before being the measure of the count before it: the count
// doubles while the connections added last each raised the total by at least half of what a connection brings on
// average, and stays where they did not; never above most. Where each added one brought nearly as much as the
// average (the connections are held back one by one, not the line), it grows four times over, to reach the count
// that fills the line while most of the file is still to come. Where the file holds the download back it stays.
int NextCount(const Measure &before, const Measure &now, int most);

// A connection turned away (refused, reset before its first byte, or answered 403, 429 or 503): the count it was made
// for halves.
int CountAfterRefusal(int count);

// Whether the end of a further connection turns it away: the server refuses more connections from us, for now. status:
// the answer's status code (0 for none); received: the bytes that came, the header included.
bool IsRefusal(int status, qint64 received);
// A connection that only took the place of one that ended, turned away all the same (the server had not yet seen the
// other go), is asked again after this pause, the count kept.
inline constexpr std::chrono::milliseconds kReplacementPause{100};

// How long the connections are measured before the next decision: at least kShortestWindowMs, until each has brought
// kWindowBytes on average (a slow line needs a second or two for a fair measure, a fast one a moment), and never
// longer than kLongestWindowMs.
inline constexpr qint64 kShortestWindowMs = 80;
inline constexpr qint64 kLongestWindowMs = 2000;
inline constexpr qint64 kWindowBytes = qint64(1) << 20;
bool WindowDone(qint64 elapsedMs, qint64 bytes, int count);

// The measure of the first connection alone, from the bytes it has brought since its window began, sampled as it
// goes. A connection's first moments are slower than what it settles to (the server's start and the file's): it is
// measured over the second half of its window, past them, else a second connection would seem to bring more than it
// does, and the count would grow where one connection already fills the line.
class SoloWindow {
public:
    // The measure once the window is done; nothing before. idleMs: how long the file's writer has waited for bytes
    // since the window began.
    std::optional<Measure> Sample(qint64 elapsedMs, qint64 bytes, qint64 idleMs);

private:
    // Where the measure begins; -1 until the window's half is reached.
    qint64 halfMs = -1;
    qint64 halfBytes = 0;
    qint64 halfIdleMs = 0;
};

// Whether further connections may still pay for themselves, after the measure of one: the file does not hold it
// back, and what is left would take it at least kWorthMs at the speed measured. Less is over before they have been
// asked and measured.
inline constexpr qint64 kWorthMs = 500;
bool WorthMore(qint64 leftBytes, const Measure &one);

// The measure of a window of elapsedMs over count connections, in which bytes came and the file's writer waited
// idleMs for them.
Measure MeasureOf(int count, qint64 elapsedMs, qint64 bytes, qint64 idleMs);

// Bytes of the file still to come over one connection: from the next byte it brings to its end (exclusive).
struct Span {
    qint64 next = 0;
    qint64 end = 0;
    qint64 Left() const { return end - next; }
};

// A connection that is free takes half of the largest span still to come, so that the connections finish together:
// the index of that span, and the byte its second half starts at; nothing when no span is worth splitting.
struct Split {
    std::size_t index = 0;
    qint64 at = 0;
};
std::optional<Split> SplitLargest(const std::vector<Span> &spans);

}  // namespace ConnectionPlan
