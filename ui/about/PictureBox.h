#pragma once

#include <QFrame>
#include <QPixmap>

// A picture in a sunken two-pixel border that can take the keyboard focus.
// The picture is drawn unscaled from the inner area's top-left corner and
// clipped to it. With autoSize on, the box takes the picture's size plus its
// border, keeping its top-left corner.
class PictureBox : public QFrame
{
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);

    void setAutoSize(bool on);
    bool autoSize() const { return m_autoSize; }

    void setPicture(const QPixmap &picture);
    QPixmap picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void fitToPicture();

    QPixmap m_picture;
    bool m_autoSize = false;
};
