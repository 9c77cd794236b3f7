#pragma once

#include <QLabel>

// A label that reports a click: the left button pressed and released over it.
// Assistive technology sees it as a link that it can press, so the click is
// within reach without a mouse while the label still takes no focus.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ClickLabel(QWidget *parent = nullptr);

    // Reports a click, as the mouse or the accessible press action does.
    void click();

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};
