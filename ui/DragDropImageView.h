#pragma once

#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class QMimeData;
class QTemporaryDir;

namespace tessaly {

// The viewer's image view. The picture can be dragged out (a file manager
// receives a file named imageFileName), an image dragged in from elsewhere
// is shown with a grey frame while it hovers, and a double click asks for
// the picture to be opened. When editable, copy, cut and paste work on the
// shown image. A dropped or pasted image is only shown, never stored.
class DragDropImageView : public QWidget {
    Q_OBJECT
public:
    explicit DragDropImageView(QWidget* parent = nullptr);
    ~DragDropImageView() override;

    QImage image() const { return m_image; }
    // Shows the image at the display size (its pixel size when none is
    // given), scaled down to fit the view but never up past that size.
    void setImage(const QImage& image, QSize displaySize = {});
    QSize displaySize() const { return m_displaySize; }

    bool allowDrag() const { return m_allowDrag; }
    void setAllowDrag(bool allow) { m_allowDrag = allow; }
    bool allowDrop() const { return m_allowDrop; }
    void setAllowDrop(bool allow);
    bool isEditable() const { return m_editable; }
    void setEditable(bool editable) { m_editable = editable; }
    QString imageFileName() const { return m_imageFileName; }
    void setImageFileName(const QString& name) { m_imageFileName = name; }
    // Where the image sits in a view larger than it (centred by default).
    void setAlignment(Qt::Alignment alignment) { m_alignment = alignment; update(); }
    // An acceptable drag hovers over the view: the frame is drawn.
    bool highlight() const { return m_highlight; }

    // Writes the image into the folder under imageFileName (made safe as a
    // file name), all or nothing: JPEG, or the format the name's extension
    // names when that is one Qt writes. Answers the names written, none when
    // writing failed.
    QStringList namesOfPromisedFilesDroppedAtDestination(const QString& folder) const;
    // What a drag out carries: the image written to a fresh temporary
    // folder, as a file address, and the image itself.
    QMimeData* dragMimeData();
    // The drag image: the picture as the view shows it, at half opacity.
    QPixmap dragPixmap() const;
    // The window size at which the picture is shown at its display size,
    // within the screen.
    QSize zoomedWindowSize() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {160, 120}; }

    // Whether an image can be made from the data, and the image.
    static bool canMakeImage(const QMimeData* data);
    static QImage imageFrom(const QMimeData* data);

signals:
    void doubleClicked();
    // A drop finished; the path of the dropped file, if it was one.
    void dropComplete(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QRect imageRect() const;
    void setHighlight(bool highlight);
    void copy() const;
    void paste();

    QImage m_image;
    QSize m_displaySize;
    bool m_highlight = false;
    bool m_allowDrag = true;
    bool m_allowDrop = true;
    bool m_editable = false;
    QString m_imageFileName;
    Qt::Alignment m_alignment = Qt::AlignCenter;
    QPoint m_pressPosition;
    bool m_pressed = false;
    // Dragged-out files live here until the view goes, one folder per drag,
    // so a target still reading an earlier file is not disturbed.
    std::unique_ptr<QTemporaryDir> m_dragFolder;
    int m_drags = 0;
};

} // namespace tessaly
