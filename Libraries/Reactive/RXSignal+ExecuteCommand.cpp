// The deprecated -executeCommand: operation, apart from the other deprecated operators since it
// needs RXCommand, which is built on RXSignal.
#include <Reactive/RXCommand.h>
#include <Reactive/RXSignal.h>

Ref<RXDisposable> RXSignal::executeCommand(const Ref<RXCommand>& command) {
    if (!command) {
        NSException::raise(NSInvalidArgumentException, "executeCommand: needs a command");
    }
    return subscribeNext([command](const id& value) { command->execute(value); });
}
