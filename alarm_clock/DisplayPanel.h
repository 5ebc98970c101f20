#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <utility>
#include <vector>

class QLabel;

namespace kestrum {

// picDisplay: the dark glass of the clock, which also shows every segment
// of its digits unlit, as a real display does. The glass and the unlit
// segments are drawn once into a cached picture: the clock repaints parts
// of the display every half second, and only the lit text then needs
// drawing anew. The corners outside the glass take the window's colour
// (the palette's Window role).
class DisplayPanel : public QWidget {
public:
    explicit DisplayPanel(QWidget *parent = nullptr);

    // `label` shows `ghost` in unlit segments behind its text.
    void addGhost(QLabel *label, const QString &ghost);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::vector<std::pair<QLabel *, QString>> ghosts_;
    QPixmap face_;
};

}  // namespace kestrum
