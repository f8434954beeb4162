#pragma once

#include "DC.h"
#include "DCRecorder.h"
#include "DCTestSupport.h"
#include "VideoDownload.h"

#include <QTest>

#include <memory>

namespace DCTest {

// What the tests of a video's download set up alike: the transfer control fetching into the video's download,
// which owns the partial file, and a recorder of the control's events. Drops are taken up again at once.
struct VideoRig {
    std::unique_ptr<VideoDownload> download;
    BodyFile *file = nullptr;
    std::unique_ptr<DC> dc;
    std::unique_ptr<DCRecorder> recorder;
    // How long Download waits for the transfer to end.
    int patience = kWait;

    // Opens the partial file at path and sets the control up; false with the reason.
    bool Open(const QString &path, QString *error)
    {
        download = std::make_unique<VideoDownload>();
        file = &download->File();
        if (!file->Open(path, error))
            return false;
        dc = std::make_unique<DC>();
        dc->setVideo(download.get());
        dc->setResumePolicy({5, std::chrono::milliseconds(20)});
        dc->setTimeLimits({std::chrono::milliseconds(10000), std::chrono::milliseconds(400)});
        recorder = std::make_unique<DCRecorder>(*dc);
        return true;
    }

    // Lets everything go, the partial file deleted.
    void Close()
    {
        recorder.reset();
        dc.reset();
        if (file)
            file->Remove();
        file = nullptr;
        download.reset();
    }

    // Downloads the address into the file; true once the transfer has ended.
    bool Download(const QString &url)
    {
        dc->setURLmode(true);
        dc->setURL(url);
        return QTest::qWaitFor([this] { return recorder->Ended(); }, patience);
    }
};

}  // namespace DCTest
