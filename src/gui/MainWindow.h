#pragma once

#include <QMainWindow>

namespace quillcast::gui {

// The window of one mailing.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
};

} // namespace quillcast::gui
