#pragma once
// The remote file browser's logic without its widgets: signing in to and out of one cloud
// location, listing its databases, creating and deleting them and handing the chosen one to
// the open workflow. Questions and errors go through the presenter; the widget shows
// `dbList()` and `controls()` whenever the view's reload hook runs.

#include "core/IRemoteStorage.h"
#include "core/Location.h"
#include "core/RemoteFileInfo.h"
#include "platform/AlertStyle.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace keskor {

class CloudDBManagerViewControllerDelegate;
class Presenter;

class CloudDBManagerViewController {
public:
    using TextLookup = std::function<QString(const QString& key)>;

    enum class SortKey { name, modified, size };

    /// Which controls the user may use now.
    struct Controls {
        bool signIn = false;
        bool signOut = false;
        bool refresh = false;
        bool newDatabase = false;
        bool deleteFiles = false;
        bool open = false;
    };

    /// What the widget does for the controller.
    struct View {
        /// Shows dbList(), controls() and fileName() again.
        std::function<void()> reload;
        /// Closes the browser (after a file was handed on).
        std::function<void()> close;
    };

    /// `storage` is the store of `location` and outlives the browser.
    CloudDBManagerViewController(IRemoteStorage& storage, Location location, Presenter& presenter,
                                 TextLookup text);
    CloudDBManagerViewController(const CloudDBManagerViewController&) = delete;
    CloudDBManagerViewController& operator=(const CloudDBManagerViewController&) = delete;

    void setView(View view) { m_view = std::move(view); }
    /// Weak: the delegate outlives the browser.
    void setDelegate(CloudDBManagerViewControllerDelegate* delegate) { m_delegate = delegate; }
    CloudDBManagerViewControllerDelegate* delegate() const noexcept { return m_delegate; }

    IRemoteStorage& storage() const noexcept { return m_storage; }
    Location location() const noexcept { return m_location; }
    const IRemoteStorage::FileList& dbList() const noexcept { return m_dbList; }
    const Controls& controls() const noexcept { return m_controls; }
    /// The localisation key of a cloud drive's name; empty for other locations.
    static QString titleKey(Location location);
    /// The localised name of the cloud drive; empty for other locations.
    QString title() const;
    /// The name of the selected file; empty without a selection.
    QString fileName() const;

    /// The first listing when the browser opens.
    void start();
    /// Lists the store when signed in, empties the list otherwise.
    void refresh();
    void signIn();
    void signOut();
    /// The sign-in control: 0 sign in, 1 sign out.
    void onLoginSegment(int segment);
    /// The tool control: 0 refresh, 1 new database, 2 delete.
    void onToolSegment(int segment);
    /// Opens the create dialog for this location; the list is read again afterwards.
    void newDatabase();
    /// Asks, then deletes the file of the selected row.
    void deleteSelected();

    /// The selected rows of the table; the last one is the selected row the actions use.
    void setSelectedRows(QList<int> rows);
    /// Hands the selected file to the delegate and closes; false without a selection.
    bool open();
    void sort(SortKey key, Qt::SortOrder order);

private:
    std::shared_ptr<RemoteFileInfo> selectedFile() const;
    void setSignedIn(bool signedIn);
    void setList(IRemoteStorage::FileList list);
    void reload();
    void error(AlertStyle style, const QString& message);
    /// Wraps a storage callback so that it does nothing once the browser is gone, except
    /// taking away the busy overlay (`hidesBusy`), which belongs to the window.
    template <typename F> auto guarded(F f, bool hidesBusy = true);

    IRemoteStorage& m_storage;
    Location m_location;
    Presenter& m_presenter;
    TextLookup m_text;
    CloudDBManagerViewControllerDelegate* m_delegate = nullptr;
    View m_view;
    IRemoteStorage::FileList m_dbList;
    QList<int> m_selectedRows;
    Controls m_controls;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace keskor
