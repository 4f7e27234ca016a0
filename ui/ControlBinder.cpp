#include "ControlBinder.h"

#include "ControlTableModel.h"
#include "DragDropImageView.h"
#include "StyledTextDelegate.h"
#include "TSControls.h"
#include "controls/ImageView.h"
#include "controls/Matrix.h"
#include "controls/TextView.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QFile>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTextCursor>
#include <QTextEdit>

namespace tessaly {

namespace {

// Keeps a window model in step when the user closes the window itself.
class CloseWatcher : public QObject {
public:
    CloseWatcher(Window* model, QObject* parent) : QObject(parent), m_model(model) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close || event->type() == QEvent::Hide) {
            auto* widget = static_cast<QWidget*>(watched);
            if (!widget->isVisible() || event->type() == QEvent::Close)
                if (m_model->isVisible() && !widget->property("tessalySyncing").toBool())
                    m_model->orderOut();
        }
        return false;
    }

private:
    Window* m_model;
};

void syncCommon(QWidget* widget, const Control* model) {
    widget->setEnabled(model->isEnabled());
    widget->setVisible(!model->isHidden());
    if (!model->toolTip().isEmpty())
        widget->setToolTip(model->toolTip());
}

void bindWindowModel(QWidget* widget, Window* model, TSControls& controls) {
    if (model->title().isEmpty())
        model->setTitle(widget->windowTitle());
    widget->installEventFilter(new CloseWatcher(model, widget));
    auto sync = [widget, model, &controls] {
        widget->setWindowTitle(model->title());
        widget->setMouseTracking(model->acceptsMouseMovedEvents());
        if (auto* main = qobject_cast<QMainWindow*>(widget); main && main->centralWidget())
            main->centralWidget()->setMouseTracking(model->acceptsMouseMovedEvents());
        widget->setProperty("tessalySyncing", true);
        if (model->isVisible()) {
            const Qt::WindowModality modality = model->isModal()       ? Qt::ApplicationModal
                                                : model->sheetParent() ? Qt::WindowModal
                                                                       : Qt::NonModal;
            // Qt takes a new modality only from a hidden window.
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->windowModality() != modality) {
                dialog->hide();
                dialog->setWindowModality(modality);
            }
            widget->show();
            if (model->isKeyWindow()) {
                widget->raise();
                widget->activateWindow();
            }
        } else if (widget->isVisible()) {
            widget->hide();
        }
        widget->setProperty("tessalySyncing", false);
    };
    QObject::connect(model, &Control::changed, widget, sync);
    sync();
}

void bindButton(QAbstractButton* button, Button* model) {
    if (model->title().isEmpty())
        model->setTitle(button->text());
    // The interface file names a button's image in its "imageName" property.
    if (const QString image = button->property("imageName").toString();
        model->imageName().isEmpty() && !image.isEmpty())
        model->setImageName(image);
    auto sync = [button, model] {
        button->setText(model->title());
        if (button->isCheckable())
            button->setChecked(model->state() == Button::On);
        if (!model->imageName().isEmpty()) {
            const QString path = ":/images/" + model->imageName();
            if (QFile::exists(path))
                button->setIcon(QIcon(path));
        }
        syncCommon(button, model);
    };
    QObject::connect(model, &Control::changed, button, sync);
    QObject::connect(button, &QAbstractButton::clicked, model, [button, model] {
        if (button->isCheckable())
            model->setState(button->isChecked() ? Button::On : Button::Off);
        model->performClick();
    });
    sync();
}

void bindText(QWidget* widget, TextField* model) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (model->stringValue().isEmpty())
            model->setStringValue(label->text());
        // A label bound to a model shows data: literally, never as markup.
        label->setTextFormat(Qt::PlainText);
        auto sync = [label, model] {
            label->setText(model->stringValue());
            syncCommon(label, model);
        };
        QObject::connect(model, &Control::changed, label, sync);
        sync();
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        auto sync = [edit, model] {
            if (edit->text() != model->stringValue())
                edit->setText(model->stringValue());
            syncCommon(edit, model);
        };
        QObject::connect(model, &Control::changed, edit, sync);
        QObject::connect(edit, &QLineEdit::textChanged, model,
                         [model](const QString& text) { model->setStringValue(text); });
        QObject::connect(edit, &QLineEdit::returnPressed, model, [model] { model->performClick(); });
        sync();
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) {
        auto sync = [text, model] {
            if (text->toPlainText() != model->stringValue())
                text->setPlainText(model->stringValue());
            syncCommon(text, model);
        };
        QObject::connect(model, &Control::changed, text, sync);
        QObject::connect(text, &QPlainTextEdit::textChanged, model,
                         [text, model] { model->setStringValue(text->toPlainText()); });
        sync();
    }
}

void bindPopUp(QComboBox* combo, PopUpButton* model) {
    if (model->numberOfItems() == 0 && combo->count() > 0) {
        QStringList titles;
        for (int i = 0; i < combo->count(); ++i)
            titles << combo->itemText(i);
        model->addItemsWithTitles(titles);
        model->selectItemAtIndex(combo->currentIndex());
    }
    auto sync = [combo, model] {
        const QSignalBlocker blocker(combo);
        if (combo->count() != model->numberOfItems() ||
            [&] {
                for (int i = 0; i < combo->count(); ++i)
                    if (combo->itemText(i) != model->itemTitleAtIndex(i))
                        return true;
                return false;
            }()) {
            combo->clear();
            combo->addItems(model->itemTitles());
        }
        if (auto* items = qobject_cast<QStandardItemModel*>(combo->model()))
            for (int i = 0; i < items->rowCount(); ++i)
                if (QStandardItem* item = items->item(i))
                    item->setEnabled(model->isItemEnabled(i));
        combo->setCurrentIndex(model->indexOfSelectedItem());
        syncCommon(combo, model);
    };
    QObject::connect(model, &Control::changed, combo, sync);
    QObject::connect(combo, &QComboBox::activated, model, [model](int index) { model->pickItem(index); });
    QObject::connect(model, &PopUpButton::menuRequested, combo, [combo] { combo->showPopup(); });
    sync();
}

// A pop-up shown as a button: a click runs the pop-up's action, which fills
// the items and asks for the menu; a pick runs the item's action.
void bindPullDown(QAbstractButton* button, PopUpButton* model) {
    auto sync = [button, model] { syncCommon(button, model); };
    QObject::connect(model, &Control::changed, button, sync);
    QObject::connect(button, &QAbstractButton::clicked, model, [model] { model->performClick(); });
    QObject::connect(model, &PopUpButton::menuRequested, button, [button, model] {
        auto* menu = new QMenu(button);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        for (int i = 0; i < model->numberOfItems(); ++i) {
            // Titles are archive values: shown literally, never as mnemonics.
            QString title = model->itemTitleAtIndex(i);
            title.replace(QLatin1Char('&'), QStringLiteral("&&"));
            title.replace(QLatin1Char('\t'), QLatin1Char(' '));
            QAction* action = menu->addAction(title);
            action->setEnabled(model->isItemEnabled(i));
            QObject::connect(action, &QAction::triggered, model,
                             [model, i] { model->pickItem(i); });
        }
        menu->popup(button->mapToGlobal(QPoint(0, button->height())));
    });
    sync();
}

// A radio-button matrix: the radio buttons inside the widget, in order.
void bindMatrix(QWidget* box, Matrix* model) {
    const QList<QRadioButton*> cells = box->findChildren<QRadioButton*>();
    auto* group = new QButtonGroup(box);
    for (int i = 0; i < cells.size(); ++i) {
        group->addButton(cells[i], i);
        if (i < model->numberOfRows())
            cells[i]->setText(model->cellTitles()[i]);
    }
    auto sync = [cells, box, model] {
        if (model->selectedRow() >= 0 && model->selectedRow() < cells.size())
            cells[model->selectedRow()]->setChecked(true);
        syncCommon(box, model);
    };
    QObject::connect(model, &Control::changed, box, sync);
    QObject::connect(group, &QButtonGroup::idClicked, model, [model](int row) {
        model->selectCellAtRow(row);
        model->performClick();
    });
    sync();
}

void bindTable(QTableView* view, TableView* model, const QStringList& headers) {
    auto* adapter = new ControlTableModel(*model, headers, view);
    view->setModel(adapter);
    auto syncing = std::make_shared<bool>(false);
    auto syncSelection = [view, model, syncing] {
        *syncing = true;
        QItemSelection selection;
        for (int row : model->selectedRowIndexes())
            selection.select(view->model()->index(row, 0),
                             view->model()->index(row, view->model()->columnCount() - 1));
        view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        *syncing = false;
        syncCommon(view, model);
    };
    QObject::connect(model, &TableView::dataReloaded, view, [adapter] { adapter->reload(); });
    QObject::connect(model, &Control::changed, view, syncSelection);
    QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, model,
                     [view, model, syncing] {
                         if (*syncing)
                             return;
                         QList<int> rows;
                         for (const QModelIndex& index : view->selectionModel()->selectedRows())
                             rows << index.row();
                         model->selectRowIndexes(rows);
                     });
    QObject::connect(view, &QTableView::doubleClicked, model, [model] { model->performClick(); });
    QObject::connect(model, &TableView::scrollRequested, view, [view](int row) {
        view->scrollTo(view->model()->index(row, 0));
    });
    syncSelection();
}

// The image the model shows replaces the view's only when the model sets a
// new one: an image dropped or pasted stays until then.
void bindImageView(DragDropImageView* view, ImageView* model) {
    auto shownSerial = std::make_shared<quint64>(0);
    auto sync = [view, model, shownSerial] {
        if (*shownSerial != model->imageSerial()) {
            *shownSerial = model->imageSerial();
            view->setImage(model->image(), model->displaySize());
        }
        view->setEditable(model->isEditable());
        view->setAllowDrag(model->allowDrag());
        view->setAllowDrop(model->allowDrop());
        view->setImageFileName(model->imageFileName());
        syncCommon(view, model);
    };
    QObject::connect(model, &Control::changed, view, sync);
    QObject::connect(view, &DragDropImageView::doubleClicked, model,
                     [model] { model->performClick(); });
    sync();
}

// Styled text as literal text with its coloured runs; selectable, not editable.
void bindTextView(QTextEdit* edit, TextView* model) {
    edit->setReadOnly(true);
    edit->setAcceptRichText(false);
    // Selected with the mouse; the keys scroll (no caret in a text that cannot change).
    edit->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto shown = std::make_shared<StyledText>();
    auto sync = [edit, model, shown] {
        if (const StyledText text = model->styledText(); text != *shown) {
            *shown = text;
            edit->clear();
            QTextCursor cursor(edit->document());
            const QTextCharFormat plain;
            int at = 0;
            for (const TextSpan& span : text.spans) {
                cursor.insertText(text.text.mid(at, span.start - at), plain);
                QTextCharFormat coloured;
                coloured.setForeground(styledTextColor(span.color));
                cursor.insertText(text.text.mid(span.start, span.length), coloured);
                at = span.start + span.length;
            }
            cursor.insertText(text.text.mid(at), plain);
            edit->moveCursor(QTextCursor::Start);
        }
        syncCommon(edit, model);
    };
    QObject::connect(model, &Control::changed, edit, sync);
    QObject::connect(model, &TextView::focusRequested, edit, [edit] { edit->setFocus(); });
    sync();
}

void bindProgress(QProgressBar* bar, ProgressIndicator* model) {
    auto sync = [bar, model] {
        // Qt animates a busy bar from the event loop; there is no threaded kind.
        bar->setRange(0, model->isIndeterminate() ? 0 : 100);
        bar->setEnabled(model->isEnabled());
        bar->setVisible(model->isShown());
    };
    QObject::connect(model, &Control::changed, bar, sync);
    sync();
}

void bindAction(QAction* action, MenuItem* model) {
    auto sync = [action, model] {
        action->setText(model->title());
        action->setEnabled(model->isEnabled());
        action->setVisible(!model->isHidden());
    };
    QObject::connect(model, &Control::changed, action, sync);
    QObject::connect(action, &QAction::triggered, model, [model] { model->performClick(); });
    sync();
}

} // namespace

ControlBinder::ControlBinder(TSControls& controls, QObject* parent)
    : QObject(parent), m_controls(controls) {}

void ControlBinder::setTableHeaders(const QString& table, const QStringList& headers) {
    m_headers.insert(table, headers);
}

void ControlBinder::bindWindow(QWidget* window) {
    bindObject(window);
    for (QObject* child : window->findChildren<QObject*>())
        bindObject(child);
}

void ControlBinder::bindObject(QObject* object) {
    // A dialog parented to another window is found from both.
    if (m_bound.contains(object))
        return;
    m_bound.insert(object);
    if (auto* menu = qobject_cast<QMenu*>(object)) {
        connect(menu, &QMenu::aboutToShow, this, [this] {
            if (m_menuAboutToShow)
                m_menuAboutToShow();
        });
        return;
    }
    const QString name = object->objectName();
    if (name.isEmpty())
        return;
    Control* control = m_controls.findControl(name);
    if (!control)
        return;
    auto* widget = qobject_cast<QWidget*>(object);
    if (auto* model = qobject_cast<Window*>(control); model && widget && widget->isWindow())
        bindWindowModel(widget, model, m_controls);
    else if (auto* model = qobject_cast<Button*>(control); model && qobject_cast<QAbstractButton*>(object))
        bindButton(qobject_cast<QAbstractButton*>(object), model);
    else if (auto* model = qobject_cast<TextField*>(control); model && widget)
        bindText(widget, model);
    else if (auto* model = qobject_cast<PopUpButton*>(control); model && qobject_cast<QComboBox*>(object))
        bindPopUp(qobject_cast<QComboBox*>(object), model);
    else if (auto* model = qobject_cast<PopUpButton*>(control); model && qobject_cast<QAbstractButton*>(object))
        bindPullDown(qobject_cast<QAbstractButton*>(object), model);
    else if (auto* model = qobject_cast<Matrix*>(control); model && widget)
        bindMatrix(widget, model);
    else if (auto* model = qobject_cast<TableView*>(control); model && qobject_cast<QTableView*>(object))
        bindTable(qobject_cast<QTableView*>(object), model, m_headers.value(name));
    else if (auto* model = qobject_cast<ProgressIndicator*>(control); model && qobject_cast<QProgressBar*>(object))
        bindProgress(qobject_cast<QProgressBar*>(object), model);
    else if (auto* model = qobject_cast<MenuItem*>(control); model && qobject_cast<QAction*>(object))
        bindAction(qobject_cast<QAction*>(object), model);
    else if (auto* model = qobject_cast<ImageView*>(control); model && qobject_cast<DragDropImageView*>(object))
        bindImageView(qobject_cast<DragDropImageView*>(object), model);
    else if (auto* model = qobject_cast<TextView*>(control); model && qobject_cast<QTextEdit*>(object))
        bindTextView(qobject_cast<QTextEdit*>(object), model);
    else if (control->metaObject() == &Control::staticMetaObject && widget) {
        // A plain view (a container): enabled and hidden.
        QObject::connect(control, &Control::changed, widget,
                         [widget, control] { syncCommon(widget, control); });
        syncCommon(widget, control);
    }
    else
        qWarning("Control %s has no binding for its widget", qPrintable(name));
}

} // namespace tessaly
