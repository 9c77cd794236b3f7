#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

// Pictures from the program's own resources, found by numeric id and kind:
// 1 and 901 are icons, 902 the maker's logo bitmap, 903 the link cursor.
namespace ResourcePictures {

enum class Kind { Icon, Bitmap, Cursor };

// Exactly the member that matches `kind` is set.
struct Picture
{
    Kind kind = Kind::Icon;
    QIcon icon;
    QPixmap bitmap;
    QCursor cursor;
};

// Throws AppError 326 when there is no resource of that id and kind.
Picture load(int id, Kind kind);

inline QIcon icon(int id)
{
    return load(id, Kind::Icon).icon;
}
inline QPixmap bitmap(int id)
{
    return load(id, Kind::Bitmap).bitmap;
}
inline QCursor cursor(int id)
{
    return load(id, Kind::Cursor).cursor;
}

} // namespace ResourcePictures
