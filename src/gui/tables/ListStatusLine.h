#pragma once

#include <QLabel>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace quillcast {
class RecordList;
}

namespace quillcast::gui {

// The line under a records table: how many records the list holds, how many
// are checked and how many the search shows. It follows the list's row
// signals; a burst of them (a check command, typing in the search field)
// is counted once, when the loop comes round.
class ListStatusLine : public QLabel
{
    Q_OBJECT

public:
    explicit ListStatusLine(QWidget *parent = nullptr);

    // checkedCount counts what this list calls checked (the database every
    // record, the exception list the shown ones).
    void bind(RecordList *list, std::function<qsizetype()> checkedCount);
    // Counts now rather than when the loop comes round.
    void refreshNow();

private:
    void refreshLater();

    QPointer<RecordList> m_list;
    std::function<qsizetype()> m_checkedCount;
    QList<QMetaObject::Connection> m_connections;
    QTimer m_refresh;
};

} // namespace quillcast::gui
