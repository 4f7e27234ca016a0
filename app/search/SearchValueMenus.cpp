// The value menus: the tags, camera makes, camera models and sets of the
// archive, offered for the builder rows.
#include "SearchController.h"

#include "TSAppDelegate.h"
#include "TSAppState.h"
#include "archive/ArchiveDatabase.h"

#include <QSet>

#include <algorithm>
#include <cstdio>

namespace tessaly {

namespace {

void reportFailure(const SqlResult& result) {
    std::fprintf(stderr, "SQL error: %s\n", result.message.toUtf8().constData());
}

} // namespace

void SearchController::setTagsField() {
    showValueMenu(m_c.listTagsButton, &m_state.tagsMenuFilled, "Populating tags menu...",
                  "SELECT DISTINCT tags FROM photos ORDER BY tags", true, "tags");
}

void SearchController::setMakeField() {
    showValueMenu(m_c.listMakeButton, &m_state.makeMenuFilled, "Populating make menu...",
                  "SELECT DISTINCT Make FROM photos ORDER BY Make", false, "camera make");
}

void SearchController::setModelField() {
    showValueMenu(m_c.listModelButton, &m_state.modelMenuFilled, "Populating model menu...",
                  "SELECT DISTINCT Model FROM photos ORDER BY Model", false, "camera model");
}

void SearchController::showValueMenu(PopUpButton* menu, bool* filled, const QString& progressTitle,
                                     const QString& statement, bool tagWords,
                                     const QString& field) {
    if (!*filled) {
        c.progressTextField->setHidden(true);
        m_app.doProgressPanel(progressTitle);
        QStringList values;
        QSet<QString> listed;
        const SqlResult result = m_database.exec(statement, [&](const SqlRow& row) {
            if (row.isNull(0))
                return 0;
            if (!tagWords) {
                values << row.value(0);
                return 0;
            }
            // Every word once, in order of first appearance.
            for (const QString& word : row.value(0).split(QLatin1Char(' ')))
                if (!word.isEmpty() && !listed.contains(word)) {
                    listed.insert(word);
                    values << word;
                }
            return 0;
        });
        if (!result.ok()) {
            reportFailure(result);
            closeProgressPanel();
            return;
        }
        if (tagWords)
            std::stable_sort(values.begin(), values.end(), [](const QString& a, const QString& b) {
                return a.compare(b, Qt::CaseInsensitive) < 0;
            });
        fillMenu(menu, values, field);
        closeProgressPanel();
        *filled = true;
    }
    menu->showMenu();
}

void SearchController::setSetsField() {
    c.progressTextField->setHidden(true);
    m_app.doProgressPanel("Populating sets menu...");
    m_sets = {};
    const SqlResult result = m_database.exec("SELECT setID,set_title FROM sets ORDER BY set_title",
                                             [&](const SqlRow& row) {
                                                 m_sets.setIDList << row.value(0);
                                                 m_sets.setTitleList << row.value(1);
                                                 return 0;
                                             });
    if (!result.ok()) {
        reportFailure(result);
        closeProgressPanel();
        return;
    }
    fillMenu(m_c.listSetsButton, m_sets.setTitleList, "sets");
    closeProgressPanel();
    m_c.listSetsButton->showMenu();
}

void SearchController::fillMenu(PopUpButton* menu, const QStringList& values,
                                const QString& field) {
    const auto copy = [this, menu, field] { copyMenuValue(menu, field); };
    menu->removeAllItems();
    if (values.size() == 1)
        menu->addItemWithTitle(QString(), copy);
    for (const QString& value : values)
        menu->addItemWithTitle(value, copy);
}

// The picked value goes into the first row that searches its field and is
// still empty; without such a row it goes nowhere.
void SearchController::copyMenuValue(PopUpButton* menu, const QString& field) {
    if (menu->indexOfSelectedItem() < 0)
        return;
    for (int i = 0; i < 6; ++i) {
        if (c.fieldButtons[i]->titleOfSelectedItem() == field &&
            c.searchTextFields[i]->stringValue().isEmpty()) {
            c.searchTextFields[i]->setStringValue(menu->titleOfSelectedItem());
            return;
        }
    }
}

} // namespace tessaly
