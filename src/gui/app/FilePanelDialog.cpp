#include "app/FilePanelDialog.h"

#include <QApplication>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

FilePanelDialog::FilePanelDialog(QWidget *parent) : QFileDialog(parent)
{
    // The accessories of the import and export panels go into the dialog's
    // own layout, which only Qt's dialog has; the same dialog everywhere also
    // keeps the panels alike on every desktop.
    setOption(QFileDialog::DontUseNativeDialog);
    setFilesOnly(false);
}

void FilePanelDialog::setAllowedExtensions(const QStringList &extensions)
{
    m_extensions.clear();
    for (const QString &extension : extensions) {
        QString plain = extension.trimmed();
        if (plain.startsWith(u'.'))
            plain.remove(0, 1);
        if (!plain.isEmpty() && !m_extensions.contains(plain, Qt::CaseInsensitive))
            m_extensions.append(plain);
    }
    updateNameFilters();
}

void FilePanelDialog::setFilesOnly(bool filesOnly)
{
    m_filesOnly = filesOnly;
    // Pipes, sockets and devices are not listed where only files will do.
    QDir::Filters listed = QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Drives;
    if (!filesOnly)
        listed |= QDir::System;
    setFilter(listed);
}

void FilePanelDialog::setAllowsOtherFileTypes(bool allows)
{
    m_allowsOtherFileTypes = allows;
    updateNameFilters();
}

void FilePanelDialog::setChoosesFolders(bool choosesFolders)
{
    m_choosesFolders = choosesFolders;
    setFileMode(choosesFolders ? QFileDialog::Directory : QFileDialog::ExistingFile);
    setOption(QFileDialog::ShowDirsOnly, choosesFolders);
}

void FilePanelDialog::updateNameFilters()
{
    if (m_extensions.isEmpty()) {
        setNameFilter(QString());
        return;
    }
    // The dialog's listing matches the patterns in any case already; names
    // typed in by hand are held to the same in accept().
    QStringList patterns;
    for (const QString &extension : m_extensions)
        patterns.append(u"*."_s + extension.toLower());
    QStringList filters{u"%1 (%2)"_s.arg(m_extensions.join(u", "_s).toUpper(), patterns.join(u' '))};
    if (acceptMode() == QFileDialog::AcceptSave && m_allowsOtherFileTypes)
        filters.append(u"All files (*)"_s);
    setNameFilters(filters);
}

bool FilePanelDialog::hasAllowedExtension(const QString &path, const QStringList &extensions)
{
    if (extensions.isEmpty())
        return true;
    const QString name = QFileInfo(path).fileName();
    for (const QString &extension : extensions) {
        if (name.endsWith(u'.' + extension, Qt::CaseInsensitive) && name.size() > extension.size() + 1)
            return true;
    }
    return false;
}

QString FilePanelDialog::savePathFor(const QString &path, const QStringList &extensions, bool allowsOtherFileTypes)
{
    if (extensions.isEmpty() || hasAllowedExtension(path, extensions))
        return path;
    if (allowsOtherFileTypes && !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + u'.' + extensions.first();
}

bool FilePanelDialog::acceptableToOpen(const QString &path) const
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return false;
    if (m_filesOnly && !info.isFile())
        return false;
    return hasAllowedExtension(path, m_extensions);
}

void FilePanelDialog::accept()
{
    const QStringList chosen = selectedFiles();
    if (acceptMode() == QFileDialog::AcceptSave) {
        if (chosen.size() == 1 && !QFileInfo(chosen.first()).isDir()) {
            const QString path = savePathFor(chosen.first(), m_extensions, m_allowsOtherFileTypes);
            if (path != chosen.first())
                selectFile(path);
        }
        QFileDialog::accept();
        return;
    }
    if (m_choosesFolders) {
        for (const QString &path : chosen) {
            if (!QFileInfo(path).isDir()) {
                QApplication::beep();
                return;
            }
        }
        QFileDialog::accept();
        return;
    }
    // A folder opens in the panel; the dialog itself decides that.
    if (chosen.size() == 1 && QFileInfo(chosen.first()).isDir()) {
        QFileDialog::accept();
        return;
    }
    // A name typed in by hand is held to the same rules as the listed files.
    for (const QString &path : chosen) {
        if (!acceptableToOpen(path)) {
            QApplication::beep();
            return;
        }
    }
    QFileDialog::accept();
}

} // namespace quillcast::gui
