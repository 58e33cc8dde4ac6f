#pragma once
// What the dialogs of the server's log-in demands (a two-factor code, its activation, a new
// password) share: the request's callbacks close the dialog on success and on a further demand
// of the server, whose dialog opens next; other failures are shown. A callback that arrives
// after the dialog has gone does nothing but hide the busy indicator.

#include <QString>
#include <functional>
#include <memory>

namespace keskor {

class EnterpriseStorage;
class Presenter;

class ServerDemandViewController {
public:
    struct View {
        /// Closes the dialog (the server took the answer, or asked for another step).
        std::function<void()> close;
    };

    ServerDemandViewController(const ServerDemandViewController&) = delete;
    ServerDemandViewController& operator=(const ServerDemandViewController&) = delete;

    void setView(View view) { m_view = std::move(view); }

protected:
    ServerDemandViewController(EnterpriseStorage& storage, Presenter& presenter);
    ~ServerDemandViewController() = default;

    /// A warning "error_input_required" and false when `given` is false.
    bool requireInput(bool given);
    /// The callbacks of the request; both hide the busy indicator the request showed.
    std::function<void()> succeeded();
    std::function<void(const QString&)> failed();

    EnterpriseStorage& m_storage;
    Presenter& m_presenter;

private:
    View m_view;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace keskor
