#include "ResourcePictures.h"

#include "AppError.h"

#include <QFile>
#include <QImage>
#include <QPoint>
#include <QtEndian>

#include <array>

// The pictures live in the static library tapwire_resources; naming its
// registration function here makes every program that loads a picture link it.
// Q_INIT_RESOURCE cannot be used inside a namespace.
static bool registerPictures()
{
    Q_INIT_RESOURCE(resources);
    return true;
}

namespace ResourcePictures {

namespace {

struct Entry
{
    int id = 0;
    Kind kind = Kind::Icon;
    const char *path = nullptr;
};

// Every picture the program has: the ids are those of its Windows resources.
constexpr std::array<Entry, 4> pictures{{
    {1, Kind::Icon, ":/pictures/tapwire.ico"},
    {901, Kind::Icon, ":/pictures/help.ico"},
    {902, Kind::Bitmap, ":/pictures/logo.bmp"},
    {903, Kind::Cursor, ":/pictures/hand.cur"},
}};

AppError notFound(int id)
{
    return AppError(326, QStringLiteral("Resource with identifier '%1' not found").arg(id));
}

QByteArray readResource(const QString &path, int id)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw notFound(id);
    return file.readAll();
}

// Qt's cursor-file reader gives only the picture, so the hot spot comes from
// the file itself: a 6-byte directory header (reserved 0, type 2 = cursor,
// image count) then 16-byte entries whose bytes 4-7 hold the hot spot's x and
// y, little-endian, where an icon would hold its planes and bit count.
QPoint cursorHotSpot(const QByteArray &file, int id)
{
    constexpr int headerSize = 6;
    constexpr int entrySize = 16;
    if (file.size() < headerSize + entrySize)
        throw notFound(id);
    const char *bytes = file.constData();
    const auto field = [bytes](int offset) { return qFromLittleEndian<quint16>(bytes + offset); };
    if (field(0) != 0 || field(2) != 2 || field(4) < 1)
        throw notFound(id);
    return QPoint(field(headerSize + 4), field(headerSize + 6));
}

Picture decode(const Entry &entry)
{
    const QString path = QString::fromLatin1(entry.path);
    Picture picture;
    picture.kind = entry.kind;
    switch (entry.kind) {
    case Kind::Icon:
        // QIcon reads every image of an .ico file, so one icon holds all sizes.
        picture.icon = QIcon(path);
        if (picture.icon.availableSizes().isEmpty())
            throw notFound(entry.id);
        break;
    case Kind::Bitmap:
        picture.bitmap = QPixmap(path);
        if (picture.bitmap.isNull())
            throw notFound(entry.id);
        break;
    case Kind::Cursor: {
        const QByteArray file = readResource(path, entry.id);
        const QPoint hotSpot = cursorHotSpot(file, entry.id);
        const QImage image = QImage::fromData(file, "CUR");
        if (image.isNull())
            throw notFound(entry.id);
        picture.cursor = QCursor(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y());
        break;
    }
    }
    return picture;
}

} // namespace

Picture load(int id, Kind kind)
{
    static const bool registered = registerPictures();
    Q_UNUSED(registered);
    for (const Entry &entry : pictures) {
        if (entry.id == id && entry.kind == kind)
            return decode(entry);
    }
    throw notFound(id);
}

} // namespace ResourcePictures
