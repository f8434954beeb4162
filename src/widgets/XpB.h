#pragma once

#include "XpBFace.h"

#include <QChar>
#include <QVariantMap>
#include <QWidget>

// The program's push button. It draws itself in one of its styles (always framed, framed only while hovered
// or pressed, the gradient look), follows the pointer itself for its hover look and
// reports input through its own events. Windows describe their buttons as property bags (ReadProperties).
class XpB : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(XpBLook::Style ButtonStyle READ ButtonStyle WRITE setButtonStyle)
    Q_PROPERTY(XpPicture Picture READ Picture WRITE setPicture)
    Q_PROPERTY(qint32 PicturePosition READ PicturePosition WRITE setPicturePosition)
    Q_PROPERTY(bool ShowFocusRect READ ShowFocusRect WRITE setShowFocusRect)
    Q_PROPERTY(bool EnabledCtrl READ EnabledCtrl WRITE setEnabledCtrl)
    Q_PROPERTY(quint32 XPColor_Pressed READ XPColor_Pressed WRITE setXPColor_Pressed)
    Q_PROPERTY(quint32 XPColor_Hover READ XPColor_Hover WRITE setXPColor_Hover)
    Q_PROPERTY(bool XPDefaultColors READ XPDefaultColors WRITE setXPDefaultColors)
    Q_PROPERTY(quint32 MaskColor READ MaskColor WRITE setMaskColor)
    Q_PROPERTY(bool UseMaskColor READ UseMaskColor WRITE setUseMaskColor)
    Q_PROPERTY(QWidget *mhwnd READ mhwnd CONSTANT)

public:
    // name is the instance's name (its objectName) and the caption until one is set.
    explicit XpB(const QString &name = QString(), QWidget *parent = nullptr);
    ~XpB() override;

    QString Caption() const { return face.Caption; }
    void setCaption(const QString &caption);
    XpBLook::Style ButtonStyle() const { return face.ButtonStyle; }
    void setButtonStyle(XpBLook::Style style);
    XpPicture Picture() const { return face.Picture; }
    // A picture sets the picture size to its own; no picture leaves the size as it was.
    void setPicture(const XpPicture &picture);
    qint32 PicturePosition() const { return face.PicturePosition; }
    void setPicturePosition(qint32 position);
    bool ShowFocusRect() const { return face.ShowFocusRect; }
    void setShowFocusRect(bool show);
    bool EnabledCtrl() const { return enabledCtrl; }
    void setEnabledCtrl(bool enabled);
    // The ring colours and XPDefaultColors are seen at the next redraw; setting them draws nothing.
    XpColor XPColor_Pressed() const { return face.XPColor_Pressed; }
    void setXPColor_Pressed(XpColor color) { face.XPColor_Pressed = color; }
    XpColor XPColor_Hover() const { return face.XPColor_Hover; }
    void setXPColor_Hover(XpColor color) { face.XPColor_Hover = color; }
    bool XPDefaultColors() const { return face.XPDefaultColors; }
    void setXPDefaultColors(bool useDefaults) { face.XPDefaultColors = useDefaults; }
    XpColor MaskColor() const { return face.MaskColor; }
    void setMaskColor(XpColor color);
    bool UseMaskColor() const { return face.UseMaskColor; }
    void setUseMaskColor(bool use);
    // The button's own window; for the pointer tests of window code.
    QWidget *mhwnd() { return this; }

    // The property bag: keys missing from it take their defaults, and values equal to their defaults are
    // left out when writing.
    void ReadProperties(const QVariantMap &bag);
    QVariantMap WriteProperties() const;

    // The access key the caption marks, in lower case; null when it marks none.
    QChar AccessKey() const { return accessKey; }

    // Schedules a redraw; it happens before the next input is handled.
    void Refresh();

    // What the next redraw will draw from, including the state flags and the last layout.
    const XpBFace &Face() const { return face; }

    QSize sizeHint() const override;

signals:
    void Click();
    // Key codes and shift states: see XpBInput.h. The events come after the button has handled the input.
    void KeyDown(qint16 KeyCode, qint16 Shift);
    void KeyUp(qint16 KeyCode, qint16 Shift);
    void MouseDown(qint16 Button, qint16 Shift, float X, float Y);
    void MouseMove(qint16 Button, qint16 Shift, float X, float Y);
    void MouseUp(qint16 Button, qint16 Shift, float X, float Y);
    void MouseIn(qint16 Shift);
    void MouseOut(qint16 Shift);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void UpdateSize();
    void SetAccessKey();
    void PointerEntered(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void PointerLeft(Qt::KeyboardModifiers modifiers);
    bool PointerMayBeIn() const;
    // The release of a mouse button (or of Space, as button 1); clicks when clickHere is true.
    void Release(qint16 button, qint16 shift, QPointF at, bool clickHere);

    XpBFace face;
    bool enabledCtrl = true;
    // Focus and releases clear IsOver while the pointer stays over the button; this remembers that
    // MouseIn was raised, so that leaving still raises MouseOut and drops a press.
    bool pointerIn = false;
    QChar accessKey;
    int shortcutId = 0;
};
