#pragma once

#include <QAccessibleWidget>

// How a screen reader sees the parts of a window that draw themselves. A picture is a graphic read by its
// accessible name; a decoration (a background, a frame line, a dot) is not read at all.
class PartsAccessible : public QAccessibleWidget {
public:
    enum class Kind { Picture, Decoration };

    PartsAccessible(QWidget *part, Kind kind);

    QAccessible::State state() const override;

private:
    Kind kind;
};

// Makes the program's own controls readable (push buttons, pictures, decorations); safe to call often.
void InstallAccessibleParts();
