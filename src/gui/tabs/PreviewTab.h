#pragma once

#include <QList>
#include <QWidget>

#include <optional>

namespace quillcast::gui {

struct WindowContext;

// The preview page: the send list with its search and the merged message of the selected record.
class PreviewTab : public QWidget
{
    Q_OBJECT

public:
    PreviewTab(WindowContext &context, QWidget *parent = nullptr);

    void focusSearch();

private:
    WindowContext &m_context;
};

} // namespace quillcast::gui
