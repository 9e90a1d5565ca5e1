#include "searchinfiles.h"

#include "common/core/appservices.h"
#include "common/core/messagepresenter.h"
#include "common/core/pause.h"
#include "common/core/textlines.h"
#include "filebrowser.h"
#include "mibfixpage.h"
#include "patternmatch.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

SearchInFiles::SearchInFiles(MibFixPage &page, FileBrowser &browser, const AppServices &services,
                             QObject *parent)
    : QObject(parent), m_page(page), m_browser(browser), m_services(services)
{
    connect(m_page.cmdSearch, &QPushButton::clicked, this, &SearchInFiles::cmdSearch_Click);
}

void SearchInFiles::UpdateBusyButtons()
{
    const bool enabled = !SearchBusy;
    for (QPushButton *button :
         {m_page.cmdRefresh, m_page.cmdFixCrLf, m_page.cmdRename, m_page.cmdSelectAll,
          m_page.cmdUnSelectAll, m_page.cmdSearch, m_page.cmdOpenLoadOrder,
          m_page.cmdDeleteLoadOrder, m_page.cmdCreateLoadOrder})
        button->setEnabled(enabled);
}

void SearchInFiles::endSearch()
{
    SearchBusy = false;
    UpdateBusyButtons();
}

void SearchInFiles::cmdSearch_Click()
{
    if (SearchBusy)
        return; // the pauses let events run; a second search must not start inside the first
    SearchBusy = true;
    m_cancelled = false;
    UpdateBusyButtons();
    m_page.lbxResult->clear();
    const QString patternText = m_page.txtFind->text();
    if (patternText.isEmpty()) {
        m_services.messages.showMessage(QStringLiteral("Please enter a word to lookup"));
        endSearch();
        return;
    }
    // The names are taken now; changing the selection during the search changes nothing.
    const QStringList names = m_browser.selectedFileNames();
    if (names.isEmpty())
        m_services.messages.showMessage(QStringLiteral("Please select one or more files to check"));

    const Result<CompiledPattern> pattern = CompiledPattern::compile(patternText);
    if (!pattern) {
        m_services.messages.showMessage(pattern.failure().description);
        endSearch();
        return;
    }
    const QString total = QString::number(names.size());
    for (qsizetype k = 0; k < names.size(); ++k) {
        const QString &name = names.at(k);
        // A file that cannot be opened or read (deleted meanwhile, no permission) is skipped.
        QFile file(m_browser.FullFilePath(name));
        const bool opened = file.open(QIODevice::ReadOnly);
        bool found = false;
        m_page.lblSearchCounter->setText(QString::number(k + 1) + QStringLiteral(" (") + total +
                                         QLatin1Char(')'));
        Pause(50);
        if (m_cancelled)
            break;
        if (!opened)
            continue;
        LineReader reader(file);
        QByteArrayView line;
        while (!found && reader.readLine(line)) {
            if (m_page.chkCaseSensitive->isChecked())
                modCompareBin::MatchesPattern(line, pattern.value(), found);
            else
                modCompareText::MatchesPattern(line, pattern.value(), found);
            if (found)
                m_page.lbxResult->addItem(name);
        }
    }
    m_page.lblSearchCounter->setText(QStringLiteral("Finished!  ") +
                                     QString::number(m_page.lbxResult->count()) +
                                     QStringLiteral(" Hits"));
    endSearch();
}
