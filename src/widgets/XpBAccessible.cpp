#include "XpBAccessible.h"

#include "XpB.h"

XpBAccessible::XpBAccessible(XpB *button) : QAccessibleWidget(button, QAccessible::Button)
{
}

QString XpBAccessible::text(QAccessible::Text kind) const
{
    const auto *button = static_cast<const XpB *>(widget());
    if (kind == QAccessible::Name && button->accessibleName().isEmpty()) {
        const QString caption = SpokenCaption(button->Caption()).trimmed();
        return caption.isEmpty() ? button->toolTip() : caption;
    }
    if (kind == QAccessible::Accelerator && !button->AccessKey().isNull())
        return QStringLiteral("Alt+") + button->AccessKey().toUpper();
    return QAccessibleWidget::text(kind);
}

QStringList XpBAccessible::actionNames() const
{
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void XpBAccessible::doAction(const QString &action)
{
    auto *button = static_cast<XpB *>(widget());
    if (action == pressAction() && button->isEnabled())
        emit button->Click();
    else
        QAccessibleWidget::doAction(action);
}

QAccessibleInterface *XpBAccessible::Factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("XpB") && object && object->isWidgetType())
        return new XpBAccessible(static_cast<XpB *>(object));
    return nullptr;
}

QString SpokenCaption(const QString &caption)
{
    QString spoken;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == u'&' && i + 1 < caption.size())
            ++i;
        else if (caption.at(i) == u'&')
            continue;
        spoken += caption.at(i);
    }
    return spoken;
}
