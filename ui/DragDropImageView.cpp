#include "DragDropImageView.h"

#include "viewer/CurrentPicture.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDrag>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyle>
#include <QSaveFile>
#include <QScreen>
#include <QTemporaryDir>

namespace tessaly {

namespace {

// The frame drawn while an acceptable drag hovers.
constexpr int kFrameWidth = 5;
const QColor kFrameColor(128, 128, 128);

// The format a dragged-out file is written in.
QByteArray writerFormatFor(const QString& fileName) {
    const QByteArray suffix = QFileInfo(fileName).suffix().toLower().toLatin1();
    if (suffix == "jpg" || suffix == "jpeg" || suffix.isEmpty())
        return "jpeg";
    return QImageWriter::supportedImageFormats().contains(suffix) ? suffix : QByteArray("jpeg");
}

} // namespace

DragDropImageView::DragDropImageView(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

DragDropImageView::~DragDropImageView() = default;

void DragDropImageView::setImage(const QImage& image, QSize displaySize) {
    m_image = image;
    m_displaySize = displaySize.isValid() ? displaySize : image.size();
    updateGeometry();
    update();
}

void DragDropImageView::setAllowDrop(bool allow) {
    m_allowDrop = allow;
    if (!allow)
        setHighlight(false);
}

void DragDropImageView::setHighlight(bool highlight) {
    if (m_highlight == highlight)
        return;
    m_highlight = highlight;
    update();
}

QSize DragDropImageView::sizeHint() const {
    if (m_displaySize.isEmpty())
        return {480, 360};
    return m_displaySize.boundedTo({1024, 768}).expandedTo(minimumSizeHint());
}

QRect DragDropImageView::imageRect() const {
    if (m_image.isNull() || m_displaySize.isEmpty())
        return {};
    QSize size = m_displaySize;
    if (size.width() > width() || size.height() > height())
        size.scale(this->size(), Qt::KeepAspectRatio);
    return QStyle::alignedRect(layoutDirection(), m_alignment, size, rect());
}

void DragDropImageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (const QRect target = imageRect(); !target.isEmpty())
        painter.drawImage(target, m_image);
    if (m_highlight) {
        QPen pen(kFrameColor, kFrameWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const qreal inset = kFrameWidth / 2.0;
        painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
    }
}

QStringList
DragDropImageView::namesOfPromisedFilesDroppedAtDestination(const QString& folder) const {
    QString name = viewer::safeFileName(m_imageFileName);
    if (name.isEmpty())
        name = QStringLiteral("picture.jpg");
    QSaveFile file(QDir(folder).filePath(name));
    if (m_image.isNull() || !file.open(QIODevice::WriteOnly))
        return {};
    QImageWriter writer(&file, writerFormatFor(name));
    if (!writer.write(m_image) || !file.commit())
        return {};
    return {name};
}

QMimeData* DragDropImageView::dragMimeData() {
    auto* data = new QMimeData;
    data->setImageData(m_image);
    if (!m_dragFolder)
        m_dragFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/tessaly-drag-XXXXXX");
    const QString folder = m_dragFolder->filePath(QString::number(++m_drags));
    // A failed write still drags the image data.
    if (m_dragFolder->isValid() && QDir().mkpath(folder)) {
        const QStringList names = namesOfPromisedFilesDroppedAtDestination(folder);
        if (!names.isEmpty())
            data->setUrls({QUrl::fromLocalFile(QDir(folder).filePath(names.first()))});
    }
    return data;
}

QPixmap DragDropImageView::dragPixmap() const {
    QPixmap pixmap(size());
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(0.5);
    painter.drawImage(imageRect(), m_image);
    return pixmap;
}

QSize DragDropImageView::zoomedWindowSize() const {
    const QWidget* top = window();
    QSize wanted = top->size() - size() + m_displaySize.expandedTo(minimumSizeHint());
    if (const QScreen* screen = top->screen()) {
        const QSize frame = top->frameGeometry().size() - top->size();
        wanted = wanted.boundedTo(screen->availableGeometry().size() - frame);
    }
    return wanted;
}

void DragDropImageView::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    m_pressPosition = event->position().toPoint();
    QWidget::mousePressEvent(event);
}

void DragDropImageView::mouseMoveEvent(QMouseEvent* event) {
    // A drag starts once the mouse moves with the button down, not on a click.
    if (!m_pressed || !m_allowDrag || m_image.isNull() || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - m_pressPosition).manhattanLength() <
            QApplication::startDragDistance())
        return;
    m_pressed = false;
    auto* drag = new QDrag(this);
    drag->setMimeData(dragMimeData());
    drag->setPixmap(dragPixmap());
    drag->setHotSpot(m_pressPosition);
    drag->exec(Qt::CopyAction);
}

void DragDropImageView::mouseDoubleClickEvent(QMouseEvent* event) {
    m_pressed = false;
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

bool DragDropImageView::canMakeImage(const QMimeData* data) {
    if (!data)
        return false;
    if (data->hasImage())
        return true;
    const QList<QUrl> urls = data->urls();
    return !urls.isEmpty() && urls.first().isLocalFile() &&
           QImageReader(urls.first().toLocalFile()).canRead();
}

QImage DragDropImageView::imageFrom(const QMimeData* data) {
    if (data->hasImage())
        return qvariant_cast<QImage>(data->imageData());
    QImageReader reader(data->urls().value(0).toLocalFile());
    reader.setAutoTransform(true);
    return reader.read();
}

void DragDropImageView::dragEnterEvent(QDragEnterEvent* event) {
    if (!m_allowDrop || !(event->possibleActions() & Qt::CopyAction) ||
        !canMakeImage(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setHighlight(true);
}

void DragDropImageView::dragMoveEvent(QDragMoveEvent* event) {
    if (!m_highlight) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DragDropImageView::dragLeaveEvent(QDragLeaveEvent*) {
    setHighlight(false);
}

void DragDropImageView::dropEvent(QDropEvent* event) {
    setHighlight(false);
    const QMimeData* data = event->mimeData();
    if (!m_allowDrop || !canMakeImage(data)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The view's own picture dropped back onto it changes nothing.
    if (event->source() == this)
        return;
    setImage(imageFrom(data));
    const QUrl url = data->urls().value(0);
    emit dropComplete(url.isLocalFile() ? url.toLocalFile() : QString());
}

void DragDropImageView::copy() const {
    if (!m_image.isNull())
        QApplication::clipboard()->setImage(m_image);
}

void DragDropImageView::paste() {
    const QImage pasted = QApplication::clipboard()->image();
    if (!pasted.isNull())
        setImage(pasted);
}

void DragDropImageView::keyPressEvent(QKeyEvent* event) {
    if (m_editable && event->matches(QKeySequence::Copy))
        copy();
    else if (m_editable && event->matches(QKeySequence::Paste))
        paste();
    else if (m_editable && event->matches(QKeySequence::Cut)) {
        copy();
        setImage({});
    } else
        QWidget::keyPressEvent(event);
}

void DragDropImageView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("Copy"), this, &DragDropImageView::copy);
    copyAction->setEnabled(m_editable && !m_image.isNull());
    QAction* pasteAction = menu.addAction(tr("Paste"), this, &DragDropImageView::paste);
    pasteAction->setEnabled(m_editable && !QApplication::clipboard()->image().isNull());
    menu.addSeparator();
    menu.addAction(tr("Open"), this, &DragDropImageView::doubleClicked);
    menu.exec(event->globalPos());
}

} // namespace tessaly
