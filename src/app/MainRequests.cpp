// What the command line asks the window for, from this start or a later one: a video for the player, a page address
// for the download panel.
#include "LaunchRequest.h"
#include "Main.h"
#include "XpB.h"

#include <QLineEdit>

void Main::OpenRequest(const LaunchRequest &request)
{
    if (request.What == LaunchRequest::Kind::None)
        return;
    // The download panel cannot be left while a video is on its way; the request is not lost in silence.
    if (!StopButton->isHidden()) {
        PlayerMessage(QStringLiteral("Идёт загрузка видео. Дождитесь её окончания или остановите её и повторите."));
        return;
    }
    if (request.What == LaunchRequest::Kind::Address) {
        ShowDownloadMode();
        URLtext->setText(request.Value);
        // Enter starts the download, as in the panel always.
        URLtext->setFocus(Qt::OtherFocusReason);
        return;
    }
    // As the open-file button plays it: the play button's video stays the saved one.
    PlayFile(request.Value, QStringLiteral("Файл не найден:\r\n\r\n") + request.Value);
}

void Main::OpenLaterRequest(const LaunchRequest &request)
{
    // Wayland lets a window take the focus only with the token the desktop gave the start the user made.
    if (!request.ActivationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", request.ActivationToken);
    BringToFront();
    OpenRequest(request);
}
