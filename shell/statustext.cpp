#include "shell/statustext.h"

#include "surface/surface.h"

namespace qln {

QString statusText(const Surface &surface)
{
    const int pos = surface.selStart();
    const int line = surface.lineFromChar(pos);
    const int first = surface.lineIndex(line);
    return QStringLiteral("Line: %1  Col: %2  Sel: %3")
        .arg(line + 1)
        .arg(pos - first + 1)
        .arg(surface.selLength());
}

} // namespace qln
