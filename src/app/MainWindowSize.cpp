// The window's size in its modes. The menu and the download panel are drawn for one size and keep it; the
// player may have any size at least as large, which the window takes on entering player mode and gives back
// on leaving it. The player's size is remembered in the settings file.
#include "FlvPlayer.h"
#include "Main.h"
#include "PictureBox.h"
#include "XpB.h"

#include <QCloseEvent>
#include <QLabel>
#include <QScreen>

namespace {

// The designed client area; the player's area at this size is 320 x 240.
constexpr QSize kDesignedSize(326, 269);
// Around the player: 4 pixels left and above, 2 to the right, and the strip of buttons below.
constexpr int kLeftTop = 4;
constexpr int kRight = 2;
constexpr int kBelow = 25;

}  // namespace

void Main::FitWindowToPlayer()
{
    if (playerSized)
        return;
    playerSized = true;
    const PlayerWindow remembered = flow.Player();
    setMinimumSize(kDesignedSize);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    QSize size = remembered.Size.isEmpty() ? kDesignedSize : remembered.Size.expandedTo(kDesignedSize);
    // A size kept on a larger screen is made to fit this one.
    if (screen())
        size = size.boundedTo(screen()->availableGeometry().size()).expandedTo(kDesignedSize);
    resize(size);
    if (remembered.Maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    playerWindowGiven = PlayerWindow{size, remembered.Maximized};
}

void Main::RestoreDesignedWindow()
{
    if (!playerSized)
        return;
    RememberPlayerWindow();
    playerSized = false;
    setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    setFixedSize(kDesignedSize);
}

void Main::RememberPlayerWindow()
{
    const bool maximized = isMaximized();
    // Maximised, the size to keep is the one the window returns to.
    const QSize size = maximized && normalGeometry().isValid() ? normalGeometry().size() : this->size();
    const PlayerWindow now{size, maximized};
    // Only what the user changed is kept: passing through the player writes nothing (no settings file is made
    // for it), and a size cut down to fit this screen stays the size to take on a larger one.
    if (now == playerWindowGiven)
        return;
    playerWindowGiven = now;
    flow.RememberPlayerWindow(now);
}

void Main::PlacePlayerArea()
{
    // Resizes may come while the window is still being built; the caption is the last of its controls.
    if (!Label2)
        return;
    const QRect player(kLeftTop, kLeftTop, width() - kLeftTop - kRight, height() - kLeftTop - kBelow);
    BG->setGeometry(rect());
    // In full screen the player is a window of its own and goes back to its place when it leaves.
    if (!swf->isWindow())
        swf->setGeometry(player);
    BlankPlayer->setGeometry(player);
    S->setGeometry(player.adjusted(-1, -1, 1, 1));
    const int buttonsTop = player.bottom() + 5;
    PlayerBackButton->move(4, buttonsTop);
    PlayerOpenFileButton->move(28, buttonsTop);
    PlayerClear->move(52, buttonsTop);
    Label2->move(width() - kRight - Label2->width(), buttonsTop + 4);
}

void Main::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PlacePlayerArea();
}

void Main::closeEvent(QCloseEvent *event)
{
    if (!MayClose()) {
        event->ignore();
        return;
    }
    if (playerSized)
        RememberPlayerWindow();
    QWidget::closeEvent(event);
}
