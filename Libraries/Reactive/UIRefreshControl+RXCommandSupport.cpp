#include <Reactive/UIRefreshControl+RXCommandSupport.h>

#include <Reactive/UIControl+RXSignalSupport.h>
#include <Reactive/UIKit+RXSignalSupportPrivate.h>

Ref<RXCommand> rx_command(const Ref<UIRefreshControl>& refreshControl) {
    return refreshControl ? rx_associatedCommand(refreshControl) : nullptr;
}

void setRx_command(const Ref<UIRefreshControl>& refreshControl, const Ref<RXCommand>& command) {
    if (!refreshControl) {
        NSException::raise(NSInvalidArgumentException, "setRx_command: needs a refresh control");
    }
    rx_associateCommand(refreshControl, command, [&refreshControl, &command]() -> Ref<RXDisposable> {
        return rx_signalForControlEvents(refreshControl, UIControlEventValueChanged)
            ->map([command](const id& control) -> id {
                return command->execute(control)->catchTo(RXSignal::empty())->then([control] {
                    return RXSignal::return_(control);
                });
            })
            ->concat()
            ->subscribeNext([](const id& control) {
                if (auto refreshing = cast<UIRefreshControl>(control)) {
                    refreshing->endRefreshing();
                }
            });
    });
}
