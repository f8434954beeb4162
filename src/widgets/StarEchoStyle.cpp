#include "StarEchoStyle.h"

int StarEchoStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                             QStyleHintReturn *returnData) const
{
    if (hint == SH_LineEdit_PasswordCharacter)
        return QLatin1Char('*').unicode();
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
