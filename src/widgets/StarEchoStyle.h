#pragma once

#include <QProxyStyle>

// The style of the password box: Qt's own look, but the typed characters are shown as "*" whatever the
// platform's usual mask character is.
class StarEchoStyle : public QProxyStyle {
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
};
