#pragma once

#include <QDialog>
#include <QMessageBox>
#include <QString>

#include <functional>

class INI;
class LineShape;
class QCheckBox;
class QLabel;
class QLineEdit;
class XpB;

// The settings dialog "Настройки": the proxy, its login and the update check. Each opening is a fresh
// dialog filled from the program's settings values; OK copies the fields back into them and saves them to
// the settings file, Cancel and the close box leave everything as it was.
//
// The main window opens it modally:
//     Options dialog(ini, this);
//     dialog.exec();
class Options : public QDialog {
    Q_OBJECT

public:
    // Shows a message box owned by owner with one OK button and waits until the user closes it.
    using ShowMessage =
        std::function<void(QWidget *owner, const QString &text, const QString &title, QMessageBox::Icon icon)>;

    // The dialog saves through ini, which must outlive it.
    explicit Options(INI &ini, QWidget *parent = nullptr);

    // Replaces the plain QMessageBox the dialog tells its notices with.
    void SetShowMessage(ShowMessage show);

    // A check box shows the numeric value of a stored flag: the number the text begins with, rounded. Only
    // 1 shows checked; 0, and anything a check box cannot show ("2", "-1", "abc", ""), shows unchecked.
    static bool ShowsChecked(const QString &flag);

    // The enabled and disabled colours of the captions and frame lines.
    static QColor EnabledColor();
    static QColor DisabledColor();

private:
    void Form_Load();
    void Check1_Click();
    void Check2_Click();
    void XpB1_Click();
    void XpB2_Click();

    void ColourGroup(const QList<QLabel *> &labels, const QList<LineShape *> &lines, bool enabled);

    INI &ini;
    ShowMessage showMessage;

    QCheckBox *Check1;
    QCheckBox *Check2;
    QCheckBox *Check3;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    QLabel *Label7;
    QLineEdit *Text1;
    QLineEdit *Text2;
    QLineEdit *Text3;
    QLineEdit *Text4;
    XpB *XpB1;
    XpB *XpB2;
    LineShape *Line1;
    LineShape *Line2;
    LineShape *Line3;
    LineShape *Line4;
    LineShape *Line5;
    LineShape *Line6;
    LineShape *Line7;
    LineShape *Line8;
};
