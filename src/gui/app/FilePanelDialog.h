#pragma once

#include <QFileDialog>
#include <QStringList>

namespace quillcast::gui {

// The desktop file panel's dialog: a QFileDialog that holds the user to what
// the request allows. Extensions match in any case ("CSV" is a csv file); an
// open panel takes only files of an allowed extension (and, when it is for
// files only, only regular files; when it chooses folders, only folders); a
// save panel adds the first allowed
// extension to a name that has none it may keep.
class FilePanelDialog final : public QFileDialog
{
    Q_OBJECT

public:
    explicit FilePanelDialog(QWidget *parent = nullptr);

    // Empty: any file.
    void setAllowedExtensions(const QStringList &extensions);
    QStringList allowedExtensions() const { return m_extensions; }
    void setFilesOnly(bool filesOnly);
    void setAllowsOtherFileTypes(bool allows);
    // Folders are chosen instead of files.
    void setChoosesFolders(bool choosesFolders);

    // Whether the path ends in one of the extensions, in any case (any path
    // when there are none).
    static bool hasAllowedExtension(const QString &path, const QStringList &extensions);
    // The name a save panel answers for path: as it is when its extension is
    // allowed, or when it has one of its own and other types are allowed;
    // else with the first allowed extension added.
    static QString savePathFor(const QString &path, const QStringList &extensions, bool allowsOtherFileTypes);

public Q_SLOTS:
    void accept() override;

private:
    void updateNameFilters();
    bool acceptableToOpen(const QString &path) const;

    QStringList m_extensions;
    bool m_filesOnly = false;
    bool m_allowsOtherFileTypes = true;
    bool m_choosesFolders = false;
};

} // namespace quillcast::gui
