#pragma once

#include <QObject>

struct AppServices;
class FileBrowser;
class MibFixPage;

// Search of the selected files for a wildcard pattern.
class SearchInFiles : public QObject
{
    Q_OBJECT
public:
    SearchInFiles(MibFixPage &page, FileBrowser &browser, const AppServices &services,
                  QObject *parent = nullptr);

    void cmdSearch_Click();
    // Disables the nine buttons while a search runs and enables them again afterwards.
    void UpdateBusyButtons();
    bool isSearchBusy() const { return SearchBusy; }
    // Ends a running search after the file it is at: closing the window must not leave the
    // program reading files in the background.
    void cancelSearch() { m_cancelled = SearchBusy; }

private:
    void endSearch();

    MibFixPage &m_page;
    FileBrowser &m_browser;
    const AppServices &m_services;
    bool SearchBusy = false;
    bool m_cancelled = false;
};
