#pragma once
// Registers with the presenter every dialog the workflows, the bridge and the main window ask
// for by name, each opener building its dialog over the shared context.

namespace keskor {

class MainWindow;
class QtPresenter;
struct UiContext;

class DialogOpeners {
public:
    static void registerAll(QtPresenter& presenter, UiContext& ctx, MainWindow& window);
};

} // namespace keskor
