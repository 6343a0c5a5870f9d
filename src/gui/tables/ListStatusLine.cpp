#include "tables/ListStatusLine.h"

#include "document/RecordList.h"

#include <QLocale>

namespace quillcast::gui {

ListStatusLine::ListStatusLine(QWidget *parent) : QLabel(parent)
{
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(0);
    connect(&m_refresh, &QTimer::timeout, this, &ListStatusLine::refreshNow);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void ListStatusLine::bind(RecordList *list, std::function<qsizetype()> checkedCount)
{
    for (const QMetaObject::Connection &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_list = list;
    m_checkedCount = std::move(checkedCount);
    if (list) {
        m_connections << connect(list, &RecordList::rowsInserted, this, &ListStatusLine::refreshLater)
                      << connect(list, &RecordList::rowsRemoved, this, &ListStatusLine::refreshLater)
                      << connect(list, &RecordList::rearranged, this, &ListStatusLine::refreshLater)
                      << connect(list, &RecordList::rowChanged, this,
                                 [this](RecordList::Part part, qsizetype, const QString &key) {
                                     if (part == RecordList::Part::Items && m_list && key == m_list->keys().checked)
                                         refreshLater();
                                 });
    }
    refreshNow();
}

void ListStatusLine::refreshLater()
{
    m_refresh.start();
}

void ListStatusLine::refreshNow()
{
    m_refresh.stop();
    if (!m_list) {
        clear();
        return;
    }
    const QLocale locale;
    const qsizetype records = m_list->items().size();
    const qsizetype checked = m_checkedCount ? m_checkedCount() : 0;
    const qsizetype shown = m_list->shown().size();
    const QString count = locale.toString(qint64(records));
    setText((records == 1 ? tr("%1 record, %2 checked, %3 shown") : tr("%1 records, %2 checked, %3 shown"))
                .arg(count, locale.toString(qint64(checked)), locale.toString(qint64(shown))));
}

} // namespace quillcast::gui
