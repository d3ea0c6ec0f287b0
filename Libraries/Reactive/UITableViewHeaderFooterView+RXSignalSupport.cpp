#include <Reactive/UITableViewHeaderFooterView+RXSignalSupport.h>

#include <Reactive/UIKit+RXSignalSupportPrivate.h>

Ref<RXSignal> rx_prepareForReuseSignal(const Ref<UITableViewHeaderFooterView>& view) {
    if (!view) {
        NSException::raise(NSInvalidArgumentException, "rx_prepareForReuseSignal needs a view");
    }
    return rx_associatedPrepareForReuseSignal(view);
}
