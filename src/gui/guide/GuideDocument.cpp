#include "GuideDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QAbstractTextDocumentLayout>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QSet>
#include <QColor>
#include <QUrl>

#include <memory>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

// The paper's own margin; the printing adds two centimetres of its own
// inside it, and the page number sits in that band.
constexpr qreal paperMarginMm = 8.0;
// The width of the text column in the document's units (1/96 inch): A4 less
// both margins. Pictures wider than that are scaled down to it.
constexpr qreal columnWidth = (210.0 - 2 * paperMarginMm - 2 * 20.0) / 25.4 * 96.0;
// A screenshot drawn at its pixel size would take the whole column for a
// small dialog; at this fraction a window and a sheet keep their proportions.
constexpr qreal pictureScale = 0.62;
constexpr qint64 maxChapterSize = 4 * 1024 * 1024;

} // namespace

GuideDocument::GuideDocument()
{
    QFont font(u"DejaVu Sans"_s);
    font.setPointSizeF(10);
    m_document.setDefaultFont(font);
    m_document.setDocumentMargin(0);
    // Code and command lines wrap inside the column instead of running off
    // the page.
    QTextOption option = m_document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_document.setDefaultTextOption(option);
}

Status GuideDocument::addChapter(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::failure(u"Cannot read %1: %2"_s.arg(path, file.errorString()));
    if (file.size() > maxChapterSize)
        return Status::failure(u"%1 is too large for a chapter"_s.arg(path));
    const QString markdown = QString::fromUtf8(file.readAll());

    QTextDocument chapter;
    chapter.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    QTextCursor end(&m_document);
    end.movePosition(QTextCursor::End);
    const int from = end.position();
    if (m_chapterCount > 0)
        end.insertBlock();
    const int chapterStart = end.position();
    end.insertFragment(QTextDocumentFragment(&chapter));
    // The fragment's first block took the format of the block it went into:
    // the chapter's heading gets its own back, and every chapter starts on
    // a page of its own.
    QTextBlockFormat first = chapter.begin().blockFormat();
    first.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextCursor(m_document.findBlock(chapterStart)).setBlockFormat(first);
    ++m_chapterCount;
    resolvePictures(from, QFileInfo(path).absolutePath());
    polish(from);
    return success();
}

void GuideDocument::polish(int from)
{
    QSet<QTextTable *> tables;
    for (QTextBlock block = m_document.findBlock(from); block.isValid(); block = block.next()) {
        QTextCursor cursor(block);
        QTextBlockFormat format = block.blockFormat();
        if (QTextTable *table = cursor.currentTable()) {
            tables.insert(table);
            continue;
        }
        if (format.hasProperty(QTextFormat::BlockCodeFence) || format.hasProperty(QTextFormat::BlockCodeLanguage)) {
            // Commands on a grey band, wrapped rather than cut at the
            // column's edge.
            format.setNonBreakableLines(false);
            format.setBackground(QColor(0xf0, 0xf0, 0xf0));
            format.setLeftMargin(8);
            format.setRightMargin(8);
            cursor.setBlockFormat(format);
            continue;
        }
        if (format.headingLevel() == 0 && !cursor.currentList() && format.bottomMargin() < 6) {
            // Above too: a paragraph that follows a list keeps its distance.
            format.setTopMargin(6);
            format.setBottomMargin(6);
            cursor.setBlockFormat(format);
        } else if (format.headingLevel() > 1) {
            format.setTopMargin(14);
            format.setBottomMargin(4);
            cursor.setBlockFormat(format);
        }
    }
    for (QTextTable *table : std::as_const(tables)) {
        // Hairlines and room around the words; the first row names the
        // columns.
        QTextTableFormat format = table->format();
        format.setBorder(0.5);
        format.setBorderBrush(QColor(0xa0, 0xa0, 0xa0));
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderCollapse(true);
        format.setCellPadding(4);
        format.setCellSpacing(0);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        format.setBottomMargin(8);
        format.setHeaderRowCount(1);
        table->setFormat(format);
        for (int column = 0; column < table->columns(); ++column) {
            QTextTableCell cell = table->cellAt(0, column);
            QTextCharFormat header = cell.format();
            header.setBackground(QColor(0xe8, 0xe8, 0xe8));
            cell.setFormat(header);
        }
    }
}

void GuideDocument::resolvePictures(int from, const QString &folder)
{
    struct Picture
    {
        int position;
        int length;
        QTextImageFormat format;
    };
    QList<Picture> pictures;
    for (QTextBlock block = m_document.findBlock(from); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isImageFormat())
                pictures.append({fragment.position(), fragment.length(), fragment.charFormat().toImageFormat()});
        }
    }
    // From the end, so that removing one leaves the positions of the others.
    for (auto it = pictures.crbegin(); it != pictures.crend(); ++it) {
        const QString name = it->format.name();
        const QString file = QDir(folder).absoluteFilePath(QUrl(name).path());
        QTextCursor cursor(&m_document);
        cursor.setPosition(it->position);
        cursor.setPosition(it->position + it->length, QTextCursor::KeepAnchor);
        const QImage image(file);
        if (image.isNull()) {
            m_missingPictures.append(QDir::cleanPath(file));
            cursor.removeSelectedText();
            continue;
        }
        m_pictures.insert(QUrl(name), image);
        const qreal width = qMin(columnWidth, image.width() * pictureScale);
        QTextImageFormat format = it->format;
        format.setWidth(width);
        format.setHeight(width * image.height() / image.width());
        cursor.setCharFormat(format);
    }
}

QStringList GuideDocument::chapterTitles() const
{
    QStringList titles;
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 1)
            titles.append(block.text());
    }
    return titles;
}

QList<int> GuideDocument::chapterPages(const QTextDocument &printed, QPagedPaintDevice &device)
{
    // Laid out as QTextDocument::print() lays out a document without a page
    // size of its own: the device's page, less two centimetres all round
    // inside it (at 96 dpi, which the tool asks for).
    const std::unique_ptr<QTextDocument> copy(printed.clone());
    copy->documentLayout()->setPaintDevice(&device);
    const int margin = int((2 / 2.54) * 96);
    QTextFrameFormat frame = copy->rootFrame()->frameFormat();
    frame.setLeftMargin(margin);
    frame.setRightMargin(margin);
    frame.setTopMargin(margin);
    frame.setBottomMargin(margin);
    copy->rootFrame()->setFrameFormat(frame);
    copy->setPageSize(QSizeF(device.width(), device.height()));
    const qreal pageHeight = copy->pageSize().height();
    QList<int> pages;
    for (QTextBlock block = copy->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 1)
            pages.append(int(copy->documentLayout()->blockBoundingRect(block).top() / pageHeight) + 1);
    }
    return pages;
}

Status GuideDocument::writePdf(const QString &path, const QString &title, const QString &subtitle)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(u"Cannot write %1: %2"_s.arg(path, file.errorString()));
    QPdfWriter writer(&file);
    writer.setTitle(title);
    writer.setCreator(u"Quillcast"_s);
    // The document's own unit, so that margins and paddings, which the
    // printing does not scale, keep their size; text stays vector and
    // pictures keep every pixel at any resolution.
    writer.setResolution(96);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(paperMarginMm, paperMarginMm, paperMarginMm, paperMarginMm),
                                     QPageLayout::Millimeter));

    // The title page and the contents go before the chapters in a document
    // of their own, so that the guide can be printed again with another
    // title.
    QTextDocument printed;
    printed.setDefaultFont(m_document.defaultFont());
    printed.setDefaultTextOption(m_document.defaultTextOption());
    printed.setDocumentMargin(0);
    printed.setMetaInformation(QTextDocument::DocumentTitle, title);
    QTextCursor cursor(&printed);
    // The title page: the guide's name a third of the way down, its release
    // below. A block's margins at the top of a page are dropped: a frame
    // holds the space.
    QTextFrameFormat titleFrame;
    titleFrame.setTopMargin(260);
    cursor.insertFrame(titleFrame);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    QTextCharFormat big;
    big.setFontPointSize(26);
    big.setFontWeight(QFont::Bold);
    cursor.setBlockFormat(centred);
    cursor.insertText(title, big);
    QTextBlockFormat below;
    below.setAlignment(Qt::AlignHCenter);
    below.setTopMargin(18);
    QTextCharFormat small;
    small.setFontPointSize(13);
    cursor.insertBlock(below);
    cursor.insertText(subtitle, small);
    cursor = printed.rootFrame()->lastCursorPosition();

    // The contents: one row per chapter, its page filled in once the
    // chapters are laid out.
    QTextBlockFormat breakBefore;
    breakBefore.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextCharFormat heading;
    heading.setFontPointSize(18);
    heading.setFontWeight(QFont::Bold);
    QTextBlockFormat headingBlock = breakBefore;
    headingBlock.setBottomMargin(12);
    cursor.insertBlock(headingBlock, heading);
    cursor.insertText(u"Contents"_s);
    const QStringList titles = chapterTitles();
    QTextCharFormat entry;
    entry.setFontPointSize(11);
    QTextTable *contents = nullptr;
    if (!titles.isEmpty()) {
        QTextTableFormat table;
        table.setBorderStyle(QTextFrameFormat::BorderStyle_None);
        table.setCellPadding(3);
        table.setCellSpacing(0);
        table.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        table.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 6),
                                         QTextLength(QTextLength::PercentageLength, 84),
                                         QTextLength(QTextLength::PercentageLength, 10)});
        contents = cursor.insertTable(int(titles.size()), 3, table);
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        for (int row = 0; row < titles.size(); ++row) {
            QTextCursor number = contents->cellAt(row, 0).firstCursorPosition();
            number.setBlockFormat(right);
            number.insertText(QString::number(row + 1), entry);
            contents->cellAt(row, 1).firstCursorPosition().insertText(titles.at(row), entry);
            contents->cellAt(row, 2).firstCursorPosition().setBlockFormat(right);
        }
        cursor = printed.rootFrame()->lastCursorPosition();
    }
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    const int chaptersStart = cursor.position();
    cursor.insertFragment(QTextDocumentFragment(&m_document));
    QTextCursor(printed.findBlock(chaptersStart)).setBlockFormat(m_document.begin().blockFormat());
    for (auto it = m_pictures.cbegin(); it != m_pictures.cend(); ++it)
        printed.addResource(QTextDocument::ImageResource, it.key(), it.value());

    if (contents) {
        const QList<int> pages = chapterPages(printed, writer);
        for (int row = 0; row < titles.size() && row < pages.size(); ++row)
            contents->cellAt(row, 2).firstCursorPosition().insertText(QString::number(pages.at(row)), entry);
    }
    printed.print(&writer);
    if (!file.commit())
        return Status::failure(u"Cannot write %1: %2"_s.arg(path, file.errorString()));
    return success();
}

} // namespace quillcast::gui
