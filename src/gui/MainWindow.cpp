#include "MainWindow.h"

#include <QLabel>

namespace quillcast::gui {

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(tr("Untitled - Quillcast"));
    auto *placeholder = new QLabel(tr("Quillcast"), this);
    placeholder->setAlignment(Qt::AlignCenter);
    setCentralWidget(placeholder);
    resize(900, 600);
}

} // namespace quillcast::gui
