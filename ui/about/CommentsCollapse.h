#pragma once

#include <QString>

// With no comments to show, the About dialog closes the gap their label
// leaves: everything below it moves up, and the dialog gets shorter.
namespace CommentsCollapse {

// Only exactly empty comments collapse; a single space is something to show.
bool applies(const QString &comments);

// The gap: the comments label's height and the 105 twips below it.
int distance(int commentsHeight);

// The vertical positions that move, all in twips.
struct Rows
{
    int line0Y1 = 0;
    int line0Y2 = 0;
    int line1Y1 = 0;
    int line1Y2 = 0;
    int disclaimerTop = 0;
    int okTop = 0;
    int sysInfoTop = 0;
    int dialogHeight = 0;
};

// `rows` with every position and the dialog's height moved up by
// distance(commentsHeight).
Rows collapsed(const Rows &rows, int commentsHeight);

} // namespace CommentsCollapse
