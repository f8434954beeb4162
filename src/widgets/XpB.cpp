#include "XpB.h"

#include "PartsAccessible.h"
#include "XpBInput.h"
#include "XpBLayout.h"
#include "XpBPainter.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcutEvent>

namespace {

constexpr int kMinimumSide = 10;

}  // namespace

XpB::XpB(const QString &name, QWidget *parent) : QWidget(parent)
{
    InstallAccessibleParts();
    setObjectName(name);
    face.Caption = name;
    setFocusPolicy(Qt::StrongFocus);
    // The pointer is followed without a button held, for the hover look and MouseIn.
    setMouseTracking(true);
    // Every redraw paints every pixel, so Qt need not clear the surface first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setBackgroundRole(QPalette::Button);
    setMinimumSize(kMinimumSide, kMinimumSide);
    SetAccessKey();
}

XpB::~XpB() = default;

void XpB::setCaption(const QString &caption)
{
    face.Caption = caption;
    SetAccessKey();
    Refresh();
    QAccessibleEvent renamed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
}

void XpB::setButtonStyle(XpBLook::Style style)
{
    face.ButtonStyle = style;
    Refresh();
}

void XpB::setPicture(const XpPicture &picture)
{
    face.Picture = picture;
    if (!picture.isNone()) {
        face.PictureWidth = picture.naturalSize().width();
        face.PictureHeight = picture.naturalSize().height();
    }
    Refresh();
}

void XpB::setPicturePosition(qint32 position)
{
    face.PicturePosition = position;
    Refresh();
}

void XpB::setShowFocusRect(bool show)
{
    face.ShowFocusRect = show;
    Refresh();
}

void XpB::setEnabledCtrl(bool enabled)
{
    enabledCtrl = enabled;
    setEnabled(enabled);
    face.HasFocus = false;
    face.IsDown = false;
    face.IsOver = false;
    pointerIn = false;
    Refresh();
}

void XpB::setMaskColor(XpColor color)
{
    face.MaskColor = color;
    Refresh();
}

void XpB::setUseMaskColor(bool use)
{
    face.UseMaskColor = use;
    Refresh();
}

void XpB::Refresh()
{
    update();
}

QSize XpB::sizeHint() const
{
    return QSize(75, 25);
}

void XpB::UpdateSize()
{
    if (width() < kMinimumSide || height() < kMinimumSide) {
        resize(std::max(width(), kMinimumSide), std::max(height(), kMinimumSide));
        return;
    }
    face.W = width();
    face.H = height();
    Refresh();
}

void XpB::SetAccessKey()
{
    accessKey = AccessKeyOf(face.Caption);
    if (shortcutId != 0) {
        releaseShortcut(shortcutId);
        shortcutId = 0;
    }
    if (!accessKey.isNull()) {
        const auto key = Qt::Key(accessKey.toUpper().unicode());
        shortcutId = grabShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, key)));
    }
}

bool XpB::event(QEvent *event)
{
    if (event->type() == QEvent::Shortcut && static_cast<QShortcutEvent *>(event)->shortcutId() == shortcutId) {
        if (isEnabled())
            emit Click();
        return true;
    }
    return QWidget::event(event);
}

void XpB::paintEvent(QPaintEvent *)
{
    face.W = width();
    face.H = height();
    face.Enabled = isEnabled();
    face.Palette = palette();
    face.Font = font();
    face.Background = palette().color(backgroundRole());
    QPainter painter(this);
    DrawXpB(painter, face);
}

void XpB::resizeEvent(QResizeEvent *)
{
    UpdateSize();
}

void XpB::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        UpdateSize();
    QWidget::changeEvent(event);
}

void XpB::PointerEntered(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    face.IsDown = buttons == Qt::LeftButton;
    face.IsOver = true;
    pointerIn = true;
    emit MouseIn(ShiftState(modifiers));
    Refresh();
}

void XpB::PointerLeft(Qt::KeyboardModifiers modifiers)
{
    face.IsOver = false;
    face.IsDown = false;
    pointerIn = false;
    emit MouseOut(ShiftState(modifiers));
    Refresh();
}

void XpB::mouseMoveEvent(QMouseEvent *event)
{
    // While a button is held Qt keeps sending moves here even outside, which is how leaving is noticed
    // then; without a button held the leave event does it.
    const bool inside = rect().contains(event->position().toPoint());
    const QPointer<XpB> self(this);
    if (!face.IsOver && inside)
        PointerEntered(event->buttons(), event->modifiers());
    else if (!inside && PointerMayBeIn())
        PointerLeft(event->modifiers());
    if (self)
        emit MouseMove(MouseButtonCode(event->buttons()), ShiftState(event->modifiers()), float(event->position().x()),
                       float(event->position().y()));
}

bool XpB::PointerMayBeIn() const
{
    return face.IsOver || face.IsDown || pointerIn;
}

void XpB::leaveEvent(QEvent *)
{
    if (isEnabled() && PointerMayBeIn())
        PointerLeft(QGuiApplication::keyboardModifiers());
}

void XpB::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        face.IsDown = true;
        Refresh();
    }
    emit MouseDown(MouseButtonCode(event->button()), ShiftState(event->modifiers()), float(event->position().x()),
                   float(event->position().y()));
}

void XpB::mouseReleaseEvent(QMouseEvent *event)
{
    Release(MouseButtonCode(event->button()), ShiftState(event->modifiers()), event->position(),
            rect().contains(event->position().toPoint()));
}

void XpB::Release(qint16 button, qint16 shift, QPointF at, bool clickHere)
{
    face.IsDown = false;
    face.IsOver = false;
    const QPointer<XpB> self(this);
    if (button == 0 || button == 1) {
        Refresh();
        if (clickHere)
            emit Click();
    }
    // A Click handler may have closed the window and deleted the button.
    if (self)
        emit MouseUp(button, shift, float(at.x()), float(at.y()));
}

namespace {

// Space presses a focused button, and so does Enter, as users of other programs expect.
bool PressesTheButton(qint16 keyCode)
{
    return keyCode == 32 || keyCode == 13;
}

}  // namespace

void XpB::keyPressEvent(QKeyEvent *event)
{
    const qint16 keyCode = VirtualKeyCode(event->key());
    const qint16 shift = ShiftState(event->modifiers());
    if (PressesTheButton(keyCode) && !face.IsDown) {
        face.IsDown = true;
        face.IsOver = true;
        Refresh();
    }
    const QPointer<XpB> self(this);
    emit KeyDown(keyCode, shift);
    if (!self)
        return;
    // The access key alone works while the button has the focus.
    const bool pressedAccessKey = !accessKey.isNull() && !event->isAutoRepeat()
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        && event->text().size() == 1 && event->text().at(0).toLower() == accessKey;
    if (pressedAccessKey)
        emit Click();
    // Other keys go on to the window, which may have a use for Escape.
    if (!PressesTheButton(keyCode) && !pressedAccessKey)
        event->ignore();
}

void XpB::keyReleaseEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return;
    const qint16 keyCode = VirtualKeyCode(event->key());
    const qint16 shift = ShiftState(event->modifiers());
    const QPointer<XpB> self(this);
    if (PressesTheButton(keyCode)) {
        // A Space or Enter release clicks a button that the key pressed, wherever the pointer happens to be.
        const bool wasDown = face.IsDown;
        face.IsDown = false;
        face.IsOver = false;
        Refresh();
        Release(1, shift, QPointF(0, 0), wasDown);
    }
    if (self)
        emit KeyUp(keyCode, shift);
}

void XpB::focusInEvent(QFocusEvent *event)
{
    face.IsOver = false;
    face.HasFocus = true;
    Refresh();
    QWidget::focusInEvent(event);
}

void XpB::focusOutEvent(QFocusEvent *event)
{
    face.HasFocus = false;
    face.IsDown = false;
    face.IsOver = false;
    Refresh();
    QWidget::focusOutEvent(event);
}
