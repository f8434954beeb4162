#include "PartsAccessible.h"

#include "XpB.h"
#include "XpBAccessible.h"

namespace {

QAccessible::Role RoleOf(PartsAccessible::Kind kind)
{
    switch (kind) {
    case PartsAccessible::Kind::Picture:
        return QAccessible::Graphic;
    case PartsAccessible::Kind::Panel:
        return QAccessible::Pane;
    case PartsAccessible::Kind::Decoration:
        break;
    }
    return QAccessible::Graphic;
}

QAccessibleInterface *PartsFactory(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
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
