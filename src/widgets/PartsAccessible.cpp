#include "PartsAccessible.h"

#include "ClickLabel.h"
#include "XpB.h"
#include "XpBAccessible.h"

namespace {

QAccessible::Role RoleOf(PartsAccessible::Kind kind)
{
    switch (kind) {
    case PartsAccessible::Kind::Picture:
        return QAccessible::Graphic;
    case PartsAccessible::Kind::Decoration:
        break;
    }
    return QAccessible::Graphic;
}

// A label the keyboard can reach is a link that a screen reader can follow; other labels are plain text.
class ClickLabelAccessible : public QAccessibleWidget {
public:
    explicit ClickLabelAccessible(ClickLabel *label) : QAccessibleWidget(label) { }

    QAccessible::Role role() const override
    {
        return widget()->focusPolicy() == Qt::NoFocus ? QAccessible::StaticText : QAccessible::Link;
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const ClickLabel *>(widget())->text();
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override
    {
        if (role() != QAccessible::Link)
            return QAccessibleWidget::actionNames();
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (role() == QAccessible::Link && action == pressAction())
            emit static_cast<ClickLabel *>(widget())->Click();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface *PartsFactory(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("ClickLabel"))
        return new ClickLabelAccessible(static_cast<ClickLabel *>(widget));
    if (className == QLatin1String("LogoPicture"))
        return new PartsAccessible(widget, PartsAccessible::Kind::Picture);
    if (className == QLatin1String("GradientBG") || className == QLatin1String("LineShape")
        || className == QLatin1String("DotShape"))
        return new PartsAccessible(widget, PartsAccessible::Kind::Decoration);
    return nullptr;
}

}  // namespace

PartsAccessible::PartsAccessible(QWidget *part, Kind kind) : QAccessibleWidget(part, RoleOf(kind)), kind(kind)
{
}

QAccessible::State PartsAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    if (kind == Kind::Decoration)
        state.invisible = true;
    return state;
}

void InstallAccessibleParts()
{
    static const bool installed = [] {
        QAccessible::installFactory(&XpBAccessible::Factory);
        QAccessible::installFactory(&PartsFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
