#pragma once

#include <QAccessibleWidget>

class XpB;

// What a screen reader learns of an XpB: a push button named by its caption (without the access key's
// ampersand) or, for a picture-only button, by its tooltip; its press action clicks it.
class XpBAccessible : public QAccessibleWidget {
public:
    explicit XpBAccessible(XpB *button);

    QString text(QAccessible::Text kind) const override;
    QStringList actionNames() const override;
    void doAction(const QString &action) override;

    // The interface for an XpB, for QAccessible's list of factories; nullptr for any other object.
    static QAccessibleInterface *Factory(const QString &className, QObject *object);
};

// The caption as it is read out: "&&" is one ampersand, a single "&" marks the access key and is not said.
QString SpokenCaption(const QString &caption);
