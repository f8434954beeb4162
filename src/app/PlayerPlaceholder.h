#pragma once

#include <QString>
#include <QWidget>

// Holds the player's place in the window until the video component is built in: it takes the movie
// addresses the window gives and shows a quiet dark area.
class PlayerPlaceholder : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Movie READ Movie WRITE setMovie)

public:
    PlayerPlaceholder(const QString &name, QWidget *parent);
    QString Movie() const { return movie; }
    void setMovie(const QString &address);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString movie;
};

// "file://localhost" + program folder + "/flv_video.swf": the player with no video.
QString BareMovieAddress(const QString &programFolder);
// The bare address + "?file=" + the video's path + "&autoStart=true".
QString MovieAddress(const QString &programFolder, const QString &videoPath);
