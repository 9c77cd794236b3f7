#include "PictureBox.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace {

// Assistive technology would take a plain frame for a border; this is a picture.
QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    if (className == QLatin1String("PictureBox") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Graphic);
    return nullptr;
}

} // namespace

PictureBox::PictureBox(QWidget *parent) : QFrame(parent)
{
    static const bool accessible = (QAccessible::installFactory(accessibleFor), true);
    Q_UNUSED(accessible);
    // WinPanel is the classic sunken border, two pixels wide.
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
}

void PictureBox::setAutoSize(bool on)
{
    m_autoSize = on;
    fitToPicture();
}

void PictureBox::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    fitToPicture();
    update();
}

void PictureBox::fitToPicture()
{
    // Without a picture there is nothing to fit, so the box keeps its size.
    if (!m_autoSize || m_picture.isNull())
        return;
    const QSize inner = m_picture.deviceIndependentSize().toSize();
    resize(inner.width() + 2 * frameWidth(), inner.height() + 2 * frameWidth());
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    painter.drawPixmap(contentsRect().topLeft(), m_picture);
}
