#pragma once

#include <QString>

class QAbstractItemView;

namespace quillcast::gui {

// What Copy puts on the clipboard from a table: its selected rows, top to
// bottom, one line each, the shown columns in the order the user sees them,
// separated by tabs.
class TableRowCopy
{
public:
    static QString selectedRowsAsText(const QAbstractItemView &view);
};

} // namespace quillcast::gui
