#include "QtInteraction.h"

#include "OpenFile.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QStyle>
#include <QTranslator>
#include <QUrl>

QString QtInteraction::ShowFileDialog(QWidget *owner, qint16 mode, const QString &filter, const QString &folder,
                                      const QString &title, quint32 flags, const QString &fileName)
{
    return OpenFile::ShowFileDialog(owner, mode, filter, folder, title, flags, fileName);
}

QString QtInteraction::ChooseFolder(QWidget *owner, const QString &folder, const QString &title)
{
    return OpenFile::ShowFolderDialog(owner, folder, title);
}

// The seam's buttons and icons carry Qt's own values.
static_assert(int(MessageButton::Ok) == QMessageBox::Ok && int(MessageButton::Yes) == QMessageBox::Yes
              && int(MessageButton::No) == QMessageBox::No && int(MessageButton::Cancel) == QMessageBox::Cancel
              && int(MessageButton::NoButton) == QMessageBox::NoButton);
static_assert(int(MessageIcon::NoIcon) == QMessageBox::NoIcon
              && int(MessageIcon::Information) == QMessageBox::Information
              && int(MessageIcon::Warning) == QMessageBox::Warning
              && int(MessageIcon::Critical) == QMessageBox::Critical
              && int(MessageIcon::Question) == QMessageBox::Question);

namespace {

// The picture of a message: the desktop theme's, whose pictures are large enough for a screen at 200 %, else the
// style's own. Adwaita stands in where the theme has none (a desktop without a theme names "hicolor").
QIcon MessagePicture(const QMessageBox &box, MessageIcon icon)
{
    static const bool themeFallback = [] {
        if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor")) {
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
            // Themes already looked into keep what they found until the search starts afresh.
            QIcon::setThemeSearchPaths(QIcon::themeSearchPaths());
        }
        return true;
    }();
    Q_UNUSED(themeFallback);
    const std::pair<const char *, QStyle::StandardPixmap> pictures[] = {
        {"", QStyle::SP_CustomBase},
        {"dialog-information", QStyle::SP_MessageBoxInformation},
        {"dialog-warning", QStyle::SP_MessageBoxWarning},
        {"dialog-error", QStyle::SP_MessageBoxCritical},
        {"dialog-question", QStyle::SP_MessageBoxQuestion},
    };
    const auto &[name, standard] = pictures[int(icon)];
    const QIcon themed = QIcon::fromTheme(QLatin1String(name));
    return themed.isNull() ? box.style()->standardIcon(standard, nullptr, &box) : themed;
}

// Qt draws the message's picture for a screen at 100 %, blurred and blocky at 200 %: it is drawn again here for
// the pixels of the screen the box opens on, the box still saying which kind of message it is.
void SharpenPicture(QMessageBox &box, MessageIcon icon, const QWidget *owner)
{
    auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgboxex_icon_label"));
    if (icon == MessageIcon::NoIcon || !label)
        return;
    const int side = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    const qreal ratio = owner ? owner->devicePixelRatioF() : qApp->devicePixelRatio();
    label->setPixmap(MessagePicture(box, icon).pixmap(QSize(side, side), ratio));
}

}  // namespace

MessageButton QtInteraction::ShowMessage(QWidget *owner, const QString &text, const QString &title,
                                         MessageButtons buttons, MessageIcon icon)
{
    QMessageBox box(static_cast<QMessageBox::Icon>(icon), title, text,
                    QMessageBox::StandardButtons::fromInt(buttons.toInt()), owner);
    if (const MessageButton enter = EnterButton(buttons, icon); enter != MessageButton::NoButton)
        box.setDefaultButton(static_cast<QMessageBox::StandardButton>(enter));
    SharpenPicture(box, icon, owner);
    return static_cast<MessageButton>(box.exec());
}

void QtInteraction::OpenAddress(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address));
}

bool UseRussianQtTexts()
{
    // Lives as long as the program: the application keeps only a pointer to it.
    static QTranslator qtTexts;
    if (!qtTexts.isEmpty())
        return true;
    if (!qtTexts.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&qtTexts);
}
