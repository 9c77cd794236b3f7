#include "CommentsCollapse.h"

namespace CommentsCollapse {

bool applies(const QString &comments)
{
    return comments.isEmpty();
}

int distance(int commentsHeight)
{
    return commentsHeight + 105;
}

Rows collapsed(const Rows &rows, int commentsHeight)
{
    const int d = distance(commentsHeight);
    Rows moved = rows;
    moved.line0Y1 -= d;
    moved.line0Y2 -= d;
    moved.line1Y1 -= d;
    moved.line1Y2 -= d;
    moved.disclaimerTop -= d;
    moved.okTop -= d;
    moved.sysInfoTop -= d;
    moved.dialogHeight -= d;
    return moved;
}

} // namespace CommentsCollapse
