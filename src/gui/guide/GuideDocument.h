#pragma once

#include "util/Result.h"

#include <QHash>
#include <QList>
#include <QPagedPaintDevice>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTextDocument>
#include <QUrl>

namespace quillcast::gui {

// The user guide as one printable document: its chapters (Markdown files,
// read in the order given) with the pictures they show, laid out for A4
// paper with a title page and a page number on every page.
class GuideDocument
{
public:
    GuideDocument();

    // Appends one chapter; its pictures are found relative to its own
    // folder. A picture that is not there yet (a screenshot still to be
    // taken) is left out and named in missingPictures(): the guide stays
    // readable without it.
    Status addChapter(const QString &path);
    // Prints the guide into a PDF file, written whole or not at all.
    Status writePdf(const QString &path, const QString &title, const QString &subtitle);

    QStringList missingPictures() const { return m_missingPictures; }
    int chapterCount() const { return m_chapterCount; }

private:
    // Gives every picture of the text from `from` on its image, sized to
    // fit the text column; removes the ones that cannot be read.
    void resolvePictures(int from, const QString &folder);

    QStringList chapterTitles() const;
    // The page each chapter (each first-level heading) of `printed` starts
    // on when it is printed on `device`.
    static QList<int> chapterPages(const QTextDocument &printed, QPagedPaintDevice &device);
    // Spacing, table rules and code bands for the text from `from` on: the
    // Markdown reader's plain formats are made for the screen.
    void polish(int from);

    QTextDocument m_document;
    QHash<QUrl, QImage> m_pictures;
    QStringList m_missingPictures;
    int m_chapterCount = 0;
};

} // namespace quillcast::gui
