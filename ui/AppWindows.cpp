#include "AppWindows.h"

#include "CloseFilter.h"
#include "ControlBinder.h"
#include "TSAppDelegate.h"
#include "ui_addAccountSheet.h"
#include "ui_countSheet.h"
#include "ui_doneDownloadingSheet.h"
#include "ui_doneDownloadingSheet2.h"
#include "ui_permsOptionSheet.h"
#include "ui_doneSheet.h"
#include "ui_noAcctSheet.h"
#include "ui_prefPanel.h"
#include "ui_progressPanel.h"
#include "ui_verifySheet.h"
#include "ui_window.h"

#include <QDialog>
#include <QHeaderView>
#include <QTableView>
#include <QMainWindow>

namespace tessaly {

AppWindows::AppWindows(TSAppDelegate& app, QObject* parent) : QObject(parent) {
    m_mainWindow = std::make_unique<QMainWindow>();
    Ui::MainWindowForm mainForm;
    mainForm.setupUi(m_mainWindow.get());
    // A light grey: grey blended with white at 0.4.
    QPalette palette = m_mainWindow->palette();
    palette.setColor(QPalette::Window, QColor(178, 178, 178));
    m_mainWindow->setPalette(palette);

    m_prefPanel = new QDialog(m_mainWindow.get());
    Ui::PrefPanelForm prefForm;
    prefForm.setupUi(m_prefPanel);

    // Sheets are dialogs of the window they belong to.
    auto* addAccountSheet = new QDialog(m_prefPanel);
    Ui::AddAccountSheetForm addAccountForm;
    addAccountForm.setupUi(addAccountSheet);
    auto* doneSheet = new QDialog(m_mainWindow.get());
    Ui::DoneSheetForm doneForm;
    doneForm.setupUi(doneSheet);
    auto* noAcctSheet = new QDialog(m_mainWindow.get());
    Ui::NoAcctSheetForm noAcctForm;
    noAcctForm.setupUi(noAcctSheet);

    auto* progressPanel = new QDialog(m_mainWindow.get());
    Ui::ProgressPanelForm progressForm;
    progressForm.setupUi(progressPanel);
    QList<QDialog*> sheets = {addAccountSheet, doneSheet, noAcctSheet, progressPanel};
    const auto sheet = [&](auto form) {
        auto* dialog = new QDialog(m_mainWindow.get());
        form.setupUi(dialog);
        sheets << dialog;
    };
    sheet(Ui::PermsOptionSheetForm());
    sheet(Ui::CountSheetForm());
    sheet(Ui::DoneDownloadingSheetForm());
    sheet(Ui::DoneDownloadingSheet2Form());
    sheet(Ui::VerifySheetForm());

    prefForm.accountsTableView->setWordWrap(false);

    m_binder = new ControlBinder(app.controls(), this);
    m_binder->setTableHeaders("accountsTableView", {"Name", "Location", "Web Address"});
    m_binder->setMenuAboutToShow([&app] { app.revalidateMenuItems(); });
    m_binder->bindWindow(m_mainWindow.get());
    m_binder->bindWindow(m_prefPanel);
    // The location takes the room there is, shortened in the middle (its
    // tooltip has it whole); nothing scrolls sideways.
    QTableView* accounts = prefForm.accountsTableView;
    accounts->setTextElideMode(Qt::ElideMiddle);
    accounts->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* header = accounts->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::Interactive);
    header->resizeSection(2, 200);
    for (QDialog* dialog : std::as_const(sheets))
        m_binder->bindWindow(dialog);
    makeSearchWindow(app);
    makeViewerWindow(app);
    // The close button quits, but never while the quit item is disabled
    // (the information download runs): then the window stays.
    m_mainWindow->installEventFilter(
        new CloseFilter([&app] { return app.windowShouldClose(); }, m_mainWindow.get()));
}

AppWindows::~AppWindows() = default;

} // namespace tessaly
